#include "session/ui/NameDialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

NameDialog::NameDialog(const nameQuestion& question, QWidget* parent)
    : QDialog(parent)
    , edit_(new QLineEdit(question.initialText))
{
    setWindowTitle(question.prompt);
    setObjectName(QStringLiteral("NameDialog"));
    if (question.masked)
        edit_->setEchoMode(QLineEdit::Password);
    auto* box = new QGroupBox(QStringLiteral("Name:"));
    auto* boxLayout = new QVBoxLayout(box);
    boxLayout->addWidget(edit_);
    auto* buttons = new QDialogButtonBox;
    QPushButton* confirm = buttons->addButton(question.confirmButton, QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    confirm->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(edit_, &QLineEdit::returnPressed, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addWidget(buttons);
    resize(360, sizeHint().height());
}

QString NameDialog::ask(const nameQuestion& question, QWidget* parent)
{
    NameDialog dialog(question, parent);
    return dialog.exec() == QDialog::Accepted ? dialog.edit_->text() : QString();
}
