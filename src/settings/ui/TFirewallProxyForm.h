#pragma once

#include "settings/OptionDialogFields.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;

// "Firewall & Proxy Options" in its FTP or HTTP view: edits that view's
// settings of the record in place when the user confirms.
class TFirewallProxyForm : public QDialog
{
    Q_OBJECT

public:
    explicit TFirewallProxyForm(connectionOptions& options, QWidget* parent = nullptr);

    // The view the next exec() shows.
    void setView(firewallProxyFields::View view) { view_ = view; }
    firewallProxyFields::View view() const { return view_; }

    int exec() override;
    void accept() override;

private:
    void fill();
    QLineEdit* addField(class QFormLayout* form, const QString& label, const QString& hint);

    connectionOptions& options_;
    firewallProxyFields::View view_ = firewallProxyFields::Ftp;
    QComboBox* type_ = nullptr;
    QLineEdit* proxyServer_ = nullptr;
    QLineEdit* proxyPort_ = nullptr;
    QLineEdit* proxyUser_ = nullptr;
    QLineEdit* proxyPassword_ = nullptr;
    QLineEdit* socksServer_ = nullptr;
    QLineEdit* socksPort_ = nullptr;
    QLineEdit* socksUser_ = nullptr;
    QLineEdit* socksPassword_ = nullptr;
};
