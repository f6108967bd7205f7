#include "settings/ui/TFirewallProxyForm.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace
{
QString shown(const std::string& text)
{
    return QString::fromStdString(text);
}

std::string typed(const QLineEdit* edit)
{
    return edit->text().toStdString();
}

void acceptDigitsOnly(QLineEdit* edit)
{
    edit->setMaxLength(5);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
}
} // namespace

TFirewallProxyForm::TFirewallProxyForm(connectionOptions& options, QWidget* parent)
    : QDialog(parent)
    , options_(options)
{
    auto* layout = new QVBoxLayout(this);
    auto* typeForm = new QFormLayout;
    type_ = new QComboBox;
    type_->setToolTip(QStringLiteral("Select connection type by clicking here"));
    typeForm->addRow(QStringLiteral("Connection Type:"), type_);
    layout->addLayout(typeForm);
    layout->addWidget(new QLabel(QStringLiteral("Hint: Select connection type first.")));

    auto* proxyBox = new QGroupBox(QStringLiteral("Proxy Server Properties"));
    auto* proxyForm = new QFormLayout(proxyBox);
    proxyServer_
        = addField(proxyForm, QStringLiteral("Address:"), QStringLiteral("Enter proxy IP address here"));
    proxyPort_
        = addField(proxyForm, QStringLiteral("Port:"), QStringLiteral("Enter proxy IP port number here"));
    proxyUser_ = addField(proxyForm, QStringLiteral("Username"), QString());
    proxyPassword_ = addField(proxyForm, QStringLiteral("Password"), QString());
    layout->addWidget(proxyBox);

    auto* socksBox = new QGroupBox(QStringLiteral("Socks Server Properties"));
    auto* socksForm = new QFormLayout(socksBox);
    socksServer_
        = addField(socksForm, QStringLiteral("Address"), QStringLiteral("Enter SOCKS server address here"));
    socksPort_ = addField(socksForm, QStringLiteral("Port"), QStringLiteral("Enter SOCKS server port here"));
    socksUser_
        = addField(socksForm, QStringLiteral("Username"), QStringLiteral("Enter SOCKS server username here"));
    socksPassword_
        = addField(socksForm, QStringLiteral("Password"), QStringLiteral("Enter SOCKS server password here"));
    layout->addWidget(socksBox);
    proxyPassword_->setEchoMode(QLineEdit::Password);
    socksPassword_->setEchoMode(QLineEdit::Password);
    acceptDigitsOnly(proxyPort_);
    acceptDigitsOnly(socksPort_);

    layout->addWidget(new QLabel(QStringLiteral("Hint: If you can't connect without proxy\n"
                                                "and/or socks and don't know the values to\n"
                                                "enter here, consult your system administrator.\n"
                                                "Using proxy can increase performance.")));
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)
        ->setToolTip(QStringLiteral("Click to apply settings next time you connect"));
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole)
        ->setToolTip(QStringLiteral("Forget about settings"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QLineEdit* TFirewallProxyForm::addField(QFormLayout* form, const QString& label, const QString& hint)
{
    auto* edit = new QLineEdit;
    edit->setToolTip(hint);
    form->addRow(label, edit);
    return edit;
}

int TFirewallProxyForm::exec()
{
    fill();
    return QDialog::exec();
}

void TFirewallProxyForm::fill()
{
    const firewallProxyFields fields = firewallProxyFields::from(options_, view_);
    setWindowTitle(firewallProxyFields::title(view_));
    type_->clear();
    type_->addItems(firewallProxyFields::typeChoices(view_));
    type_->setCurrentIndex(fields.type);
    proxyServer_->setText(shown(fields.proxyServer));
    proxyPort_->setText(shown(fields.proxyPort));
    proxyUser_->setText(shown(fields.proxyUser));
    proxyPassword_->setText(shown(fields.proxyPassword));
    socksServer_->setText(shown(fields.socksServer));
    socksPort_->setText(shown(fields.socksPort));
    socksUser_->setText(shown(fields.socksUser));
    socksPassword_->setText(shown(fields.socksPassword));
    // The FTP proxy logs in through the server's own login: no user of its own.
    const bool http = view_ == firewallProxyFields::Http;
    for (QLineEdit* edit : { proxyUser_, proxyPassword_ }) {
        edit->setVisible(http);
        if (auto* form = qobject_cast<QFormLayout*>(edit->parentWidget()->layout()))
            if (QWidget* label = form->labelForField(edit))
                label->setVisible(http);
    }
}

void TFirewallProxyForm::accept()
{
    firewallProxyFields fields;
    fields.type = type_->currentIndex();
    fields.proxyServer = typed(proxyServer_);
    fields.proxyPort = typed(proxyPort_);
    fields.proxyUser = typed(proxyUser_);
    fields.proxyPassword = typed(proxyPassword_);
    fields.socksServer = typed(socksServer_);
    fields.socksPort = typed(socksPort_);
    fields.socksUser = typed(socksUser_);
    fields.socksPassword = typed(socksPassword_);
    fields.applyTo(options_, view_);
    QDialog::accept();
}
