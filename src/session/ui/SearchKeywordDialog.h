#pragma once

#include "session/SessionView.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QLineEdit;

// The keyword dialog of a search on the connected server: the keywords and
// whether all of them or any must match.
class SearchKeywordDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SearchKeywordDialog(QWidget* parent = nullptr);

    // Nothing when cancelled.
    static std::optional<searchRequest> ask(QWidget* parent);

    QLineEdit* keywordEdit() const { return keyword_; }
    QComboBox* modeBox() const { return mode_; }

private:
    QLineEdit* keyword_;
    QComboBox* mode_;
};
