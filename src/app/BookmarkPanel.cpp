#include "app/BookmarkPanel.h"

#include "common/Prompter.h"

loginPanelValues loginPanelValues::blank(const std::string& anonymousPassword)
{
    loginPanelValues panel;
    panel.setAnonymous(true, anonymousPassword);
    return panel;
}

loginPanelValues loginPanelValues::of(const ftpSite& site, const std::string& anonymousPassword)
{
    loginPanelValues panel;
    panel.profileName = site.name;
    panel.address = site.shownAddress();
    panel.port = std::to_string(site.port);
    panel.setAnonymous(site.anonymous, anonymousPassword);
    if (!site.anonymous) {
        panel.userId = site.userId;
        panel.password = site.password;
    }
    panel.initialPath = site.initialDirectory;
    panel.description = site.description;
    return panel;
}

void loginPanelValues::setAnonymous(bool checked, const std::string& anonymousPassword)
{
    anonymous = checked;
    userId = checked ? "anonymous" : "";
    password = checked ? anonymousPassword : "";
}

linkFileValues loginPanelValues::linkValues() const
{
    linkFileValues values;
    values.address = address;
    values.port = port;
    values.anonymous = anonymous;
    values.userId = userId;
    values.password = password;
    values.initialDirectory = initialPath;
    values.description = description;
    return values;
}

QString loginTexts::loginHint()
{
    return QStringLiteral(
        "Enter a valid IP address of a FTP server to connect to.\n(Usually FTP servers operate on port "
        "21)\n\n"
        "Alternatively, you can choose from your links by clicking on any of them.\n\n"
        "If you know the Quorvane username of the P2P server you want to connect to, enter it in the format "
        "<username> with the \"<\" and \">\" included into the address field.\n\n"
        "If you want to search for files from Quorvane P2P Network, close this form\n"
        "and select the search tab and enter a keyword there.");
}

std::optional<ftpSite> siteToConnect(const loginPanelValues& panel, Prompter& prompter)
{
    if (panel.port.empty())
        return std::nullopt;
    if (panel.address.empty()) {
        prompter.showHint(loginTexts::loginHint());
        return std::nullopt;
    }
    ftpSite site;
    setSiteAddress(site, panel.address);
    site.name = panel.profileName.empty() ? site.displayAddress : panel.profileName;
    site.port = portFromText(panel.port);
    site.anonymous = panel.anonymous;
    site.userId = panel.userId;
    site.password = panel.password;
    site.initialDirectory = panel.initialPath;
    return site;
}
