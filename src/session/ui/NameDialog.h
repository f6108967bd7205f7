#pragma once

#include "session/CommandDialogs.h"

#include <QDialog>

class QLineEdit;

// The small modal name dialog of the file commands: the prompt is the
// window caption, one edit in a box "Name:", the confirming button and
// Cancel. Enter in the edit confirms.
class NameDialog : public QDialog
{
    Q_OBJECT

public:
    explicit NameDialog(const nameQuestion& question, QWidget* parent = nullptr);

    // The edited text; empty when cancelled.
    static QString ask(const nameQuestion& question, QWidget* parent);

    QLineEdit* edit() const { return edit_; }

private:
    QLineEdit* edit_;
};
