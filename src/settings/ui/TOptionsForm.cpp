#include "settings/ui/TOptionsForm.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace
{
QString shown(const std::string& text)
{
    return QString::fromStdString(text);
}

QLabel* fixedText(const QStringList& lines)
{
    return new QLabel(lines.join(QLatin1Char('\n')));
}
} // namespace

TOptionsForm::TOptionsForm(connectionOptions& options, QWidget* parent)
    : QDialog(parent)
    , options_(options)
{
    setWindowTitle(QStringLiteral("Connection Options"));
    auto* layout = new QVBoxLayout(this);

    auto* modeBox = new QGroupBox(QStringLiteral("Transfer File Type"));
    modeBox->setToolTip(QStringLiteral("Select the transfer file type to be used"));
    auto* modeLayout = new QHBoxLayout(modeBox);
    mode_ = new QButtonGroup(this);
    const std::pair<QString, QString> modes[] = {
        { QStringLiteral("Auto"), QStringLiteral("Leave type decision as automatic") },
        { QStringLiteral("ASCII"), QStringLiteral("Transfer files in ASCII manner") },
        { QStringLiteral("Binary"), QStringLiteral("Transfer files in binary (image) mode") },
    };
    for (int i = 0; i < 3; ++i) {
        auto* choice = new QRadioButton(modes[i].first);
        choice->setToolTip(modes[i].second);
        mode_->addButton(choice, i);
        modeLayout->addWidget(choice);
    }
    layout->addWidget(modeBox);

    auto* typesRow = new QHBoxLayout;
    auto* typesColumn = new QVBoxLayout;
    typesColumn->addWidget(new QLabel(QStringLiteral("Auto mode ASCII file types:")));
    asciiTypes_ = new QListWidget;
    asciiTypes_->setToolTip(QStringLiteral("The list of ASCII type extensions"));
    typesColumn->addWidget(asciiTypes_);
    auto* addRow = new QHBoxLayout;
    addRow->addWidget(new QLabel(QStringLiteral(".")));
    extension_ = new QLineEdit;
    extension_->setToolTip(QStringLiteral("Enter extension to add to ASCII file types list"));
    addRow->addWidget(extension_);
    auto* add = new QPushButton(QStringLiteral("Add"));
    add->setToolTip(QStringLiteral("Add to the extension to ASCII extensions list"));
    add->setAutoDefault(false);
    addRow->addWidget(add);
    typesColumn->addLayout(addRow);
    auto* remove = new QPushButton(QStringLiteral("Delete file type"));
    remove->setToolTip(QStringLiteral("Delete file extension from ASCII moded extensions list"));
    remove->setAutoDefault(false);
    typesColumn->addWidget(remove);
    typesRow->addLayout(typesColumn);
    typesRow->addWidget(fixedText({ QStringLiteral("When auto mode is used ALL"),
        QStringLiteral("other files with extensions other "), QStringLiteral("than the ones seen in upper"),
        QStringLiteral("box will be treated as binary.") }));
    layout->addLayout(typesRow);
    connect(add, &QPushButton::clicked, this, &TOptionsForm::AddBtnClick);
    connect(remove, &QPushButton::clicked, this, &TOptionsForm::DeleteBtnClick);

    auto* form = new QFormLayout;
    timeout_ = numberField(optionsFormFields::maxTimeout, QStringLiteral("Set the period of timeout"));
    timeout_->setSuffix(QStringLiteral(" sec"));
    form->addRow(QStringLiteral("Timeout Waiting Period"), timeout_);
    form->addRow(fixedText({ QStringLiteral("Timeout value of 0 means NO"), QStringLiteral("timeout.") }));
    keepAlive_
        = numberField(optionsFormFields::maxKeepAlive, QStringLiteral("Set the period of keep-alive-signal"));
    keepAlive_->setSuffix(QStringLiteral(" msec"));
    form->addRow(QStringLiteral("Keep Alive Signal Period"), keepAlive_);
    form->addRow(fixedText(
        { QStringLiteral("Keep alive period of 0 means"), QStringLiteral("NO keep alive packets sent.") }));
    passive_ = new QCheckBox(QStringLiteral("Always use passive mode"));
    form->addRow(passive_);
    form->addRow(fixedText({ QStringLiteral("(even if there is no proxy/SOCKS)"),
        QStringLiteral("Check the above box if you"), QStringLiteral("are facing connection problems.") }));
    attempts_ = numberField(optionsFormFields::maxAttempts, QString());
    form->addRow(QStringLiteral("Connection attempts :"), attempts_);
    anonymousPassword_ = new QLineEdit;
    form->addRow(QStringLiteral("E-mail address as anonymous FTP password"), anonymousPassword_);
    downloads_ = singleConnectionChoice();
    form->addRow(QStringLiteral("Use the existing (single) connection for downloads"), downloads_);
    uploads_ = singleConnectionChoice();
    form->addRow(QStringLiteral("Use the existing (single) connection for uploads"), uploads_);
    deletes_ = singleConnectionChoice();
    form->addRow(QStringLiteral("Use the existing (single) connection for deletes"), deletes_);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)
        ->setToolTip(QStringLiteral("Confirm"));
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole)
        ->setToolTip(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

// An integer spin box takes digits only; its text may be emptied, which the
// record reads as the setting's fallback.
QSpinBox* TOptionsForm::numberField(int maximum, const QString& hint)
{
    auto* field = new QSpinBox;
    field->setRange(0, maximum);
    field->setToolTip(hint);
    return field;
}

QComboBox* TOptionsForm::singleConnectionChoice()
{
    auto* choice = new QComboBox;
    choice->addItems({ QStringLiteral("Ask"), QStringLiteral("No"), QStringLiteral("Yes") });
    return choice;
}

int TOptionsForm::exec()
{
    fill();
    return QDialog::exec();
}

void TOptionsForm::fill()
{
    shown_ = optionsFormFields::from(options_);
    mode_->button(shown_.modeChoice)->setChecked(true);
    showAsciiTypes();
    extension_->clear();
    timeout_->setValue(std::stoi(shown_.timeout));
    keepAlive_->setValue(std::stoi(shown_.keepAlive));
    attempts_->setValue(std::stoi(shown_.attempts));
    passive_->setChecked(shown_.alwaysPassive);
    anonymousPassword_->setText(shown(shown_.anonymousPassword));
    downloads_->setCurrentIndex(shown_.downloadsChoice);
    uploads_->setCurrentIndex(shown_.uploadsChoice);
    deletes_->setCurrentIndex(shown_.deletesChoice);
}

void TOptionsForm::showAsciiTypes()
{
    asciiTypes_->clear();
    for (const std::string& type : shown_.asciiTypes)
        asciiTypes_->addItem(shown(type));
}

void TOptionsForm::AddBtnClick()
{
    if (shown_.addAsciiType(extension_->text().toStdString()))
        showAsciiTypes();
}

void TOptionsForm::DeleteBtnClick()
{
    if (asciiTypes_->selectedItems().isEmpty())
        return;
    shown_.removeAsciiType(asciiTypes_->currentRow());
    showAsciiTypes();
}

optionsFormFields TOptionsForm::fields() const
{
    optionsFormFields fields = shown_;
    fields.modeChoice = mode_->checkedId();
    fields.timeout = timeout_->cleanText().toStdString();
    fields.keepAlive = keepAlive_->cleanText().toStdString();
    fields.attempts = attempts_->cleanText().toStdString();
    fields.alwaysPassive = passive_->isChecked();
    fields.anonymousPassword = anonymousPassword_->text().toStdString();
    fields.downloadsChoice = downloads_->currentIndex();
    fields.uploadsChoice = uploads_->currentIndex();
    fields.deletesChoice = deletes_->currentIndex();
    return fields;
}

void TOptionsForm::accept()
{
    fields().applyTo(options_);
    QDialog::accept();
}
