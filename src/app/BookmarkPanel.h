#pragma once

#include "common/FtpSite.h"
#include "common/LinkFile.h"

#include <QString>

#include <optional>
#include <string>

class Prompter;

// The login panel of the Start tab as values. An empty site name or address
// is a box showing its placeholder.
struct loginPanelValues {
    std::string profileName;
    std::string address;
    std::string port = "21";
    std::string initialPath;
    bool anonymous = true;
    std::string userId;
    std::string password;
    std::string description;

    // "New Site": placeholders, port 21, anonymous.
    static loginPanelValues blank(const std::string& anonymousPassword);
    // A selected site.
    static loginPanelValues of(const ftpSite& site, const std::string& anonymousPassword);

    // "Anonymous FTP Site" checked fills the login with the anonymous one;
    // unchecked empties it.
    void setAnonymous(bool checked, const std::string& anonymousPassword);

    // What "Store Site" writes.
    linkFileValues linkValues() const;
};

namespace loginTexts
{
inline QString profilePlaceholder()
{
    return QStringLiteral("<Enter site ID (optional)>");
}
inline QString addressPlaceholder()
{
    return QStringLiteral("<Enter IP address here>");
}
QString loginHint();
// The characters the site-name box refuses.
inline constexpr std::string_view refusedNameCharacters = "'*/:<>?\\|";
} // namespace loginTexts

// "&Connect": the site to open a session on, or nothing (after the login
// hint when the address box shows its placeholder).
std::optional<ftpSite> siteToConnect(const loginPanelValues& panel, Prompter& prompter);
