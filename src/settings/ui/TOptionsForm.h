#pragma once

#include "settings/OptionDialogFields.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QSpinBox;

// "Connection Options": edits the record it was given in place when the
// user confirms. Every exec() fills the fields from the record anew.
class TOptionsForm : public QDialog
{
    Q_OBJECT

public:
    explicit TOptionsForm(connectionOptions& options, QWidget* parent = nullptr);

    int exec() override;
    void accept() override;

private:
    void fill();
    optionsFormFields fields() const;
    void showAsciiTypes();
    void AddBtnClick();
    void DeleteBtnClick();
    QSpinBox* numberField(int maximum, const QString& hint);
    QComboBox* singleConnectionChoice();

    connectionOptions& options_;
    optionsFormFields shown_;
    QButtonGroup* mode_ = nullptr;
    QListWidget* asciiTypes_ = nullptr;
    QLineEdit* extension_ = nullptr;
    QSpinBox* timeout_ = nullptr;
    QSpinBox* keepAlive_ = nullptr;
    QCheckBox* passive_ = nullptr;
    QSpinBox* attempts_ = nullptr;
    QLineEdit* anonymousPassword_ = nullptr;
    QComboBox* downloads_ = nullptr;
    QComboBox* uploads_ = nullptr;
    QComboBox* deletes_ = nullptr;
};
