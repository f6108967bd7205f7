#pragma once

#include "session/CommandDialogs.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QLineEdit;

// "Properties": the permissions of the selected remote entries as nine
// boxes, or a number typed in "CHMod (numerical):".
class PropertiesDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PropertiesDialog(const permissionsQuestion& question, QWidget* parent = nullptr);

    static permissionsAnswer ask(const permissionsQuestion& question, QWidget* parent);

    permissionsAnswer answer() const { return answer_; }
    QCheckBox* box(int index) const { return boxes_[static_cast<size_t>(index)]; }
    QLineEdit* manualEdit() const { return manual_; }

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::array<QCheckBox*, 9> boxes_ {};
    QLineEdit* manual_;
    permissionsAnswer answer_;
};
