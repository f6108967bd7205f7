#include "settings/OptionDialogFields.h"

#include "common/IniFile.h"

#include <algorithm>
#include <cctype>

namespace
{
std::int32_t numberOr(const std::string& text, std::int32_t fallback)
{
    return IniFile::parseInteger(text).value_or(fallback);
}

std::string portText(std::int32_t port)
{
    return port == 0 ? std::string() : std::to_string(port);
}

// A port field that holds no port (empty, not a number, out of range) stores
// 0, which means "none".
std::int32_t portOf(const std::string& text)
{
    const std::int32_t port = numberOr(text, 0);
    return port >= 0 && port <= 65535 ? port : 0;
}

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

int choiceOf(std::int32_t singleConnection)
{
    return std::clamp(singleConnection + 1, 0, 2);
}
} // namespace

optionsFormFields optionsFormFields::from(const connectionOptions& options)
{
    optionsFormFields fields;
    fields.modeChoice = options.Mode == connectionOptions::Auto ? 0
        : options.Mode == connectionOptions::Ascii              ? 1
                                                                : 2;
    fields.asciiTypes = options.ASCIITypes;
    std::sort(fields.asciiTypes.begin(), fields.asciiTypes.end());
    fields.timeout = std::to_string(options.TimeoutPeriod);
    fields.keepAlive = std::to_string(options.KeepAlivePeriod);
    fields.attempts = std::to_string(options.Attempts);
    fields.alwaysPassive = options.AlwaysUsePassiveMode;
    fields.anonymousPassword = options.AnonymousPassword;
    fields.downloadsChoice = choiceOf(options.UseSingleConnectionForDownloads);
    fields.uploadsChoice = choiceOf(options.UseSingleConnectionForUploads);
    fields.deletesChoice = choiceOf(options.UseSingleConnectionForDeletes);
    return fields;
}

void optionsFormFields::applyTo(connectionOptions& options) const
{
    options.Mode = modeChoice == 0 ? connectionOptions::Auto
        : modeChoice == 1          ? connectionOptions::Ascii
                                   : connectionOptions::Binary;
    options.ASCIITypes = asciiTypes;
    options.TimeoutPeriod
        = std::clamp(numberOr(timeout, connectionOptions::defaultTimeoutPeriod), 0, maxTimeout);
    options.KeepAlivePeriod = std::clamp(numberOr(keepAlive, 0), 0, maxKeepAlive);
    options.Attempts = std::clamp(numberOr(attempts, 3), 1, maxAttempts);
    options.AlwaysUsePassiveMode = alwaysPassive;
    options.AnonymousPassword = anonymousPassword;
    options.UseSingleConnectionForDownloads = downloadsChoice - 1;
    options.UseSingleConnectionForUploads = uploadsChoice - 1;
    options.UseSingleConnectionForDeletes = deletesChoice - 1;
}

bool optionsFormFields::addAsciiType(const std::string& extension)
{
    const std::string key = lowered(extension);
    if (std::any_of(
            asciiTypes.begin(), asciiTypes.end(), [&](const std::string& t) { return lowered(t) == key; }))
        return false;
    asciiTypes.insert(std::upper_bound(asciiTypes.begin(), asciiTypes.end(), extension), extension);
    return true;
}

void optionsFormFields::removeAsciiType(int index)
{
    if (index >= 0 && index < static_cast<int>(asciiTypes.size()))
        asciiTypes.erase(asciiTypes.begin() + index);
}

QString firewallProxyFields::title(View view)
{
    return view == Ftp ? QStringLiteral("Firewall & Proxy Options (FTP)")
                       : QStringLiteral("Firewall & Proxy Options (HTTP)");
}

QStringList firewallProxyFields::typeChoices(View view)
{
    if (view == Ftp)
        return { QStringLiteral("Direct"), QStringLiteral("Proxy"), QStringLiteral("Socks4"),
            QStringLiteral("Socks4A"), QStringLiteral("Socks5") };
    return { QStringLiteral("Direct"), QStringLiteral("Proxy"), QStringLiteral("Socks4"),
        QStringLiteral("Socks5") };
}

firewallProxyFields firewallProxyFields::from(const connectionOptions& options, View view)
{
    firewallProxyFields fields;
    const int choices = static_cast<int>(typeChoices(view).size());
    if (view == Ftp) {
        fields.type = options.Type;
        fields.proxyServer = options.ProxyServer;
        fields.proxyPort = portText(options.ProxyPort);
        fields.socksServer = options.SocksServer;
        fields.socksPort = portText(options.SocksPort);
        fields.socksUser = options.SocksUser;
        fields.socksPassword = options.SocksPassword;
    } else {
        fields.type = options.HTTPConnectionType;
        fields.proxyServer = options.HTTPProxyServer;
        fields.proxyPort = portText(options.HTTPProxyPort);
        fields.proxyUser = options.HTTPProxyUser;
        fields.proxyPassword = options.HTTPProxyPassword;
        fields.socksServer = options.HTTPSOCKSServer;
        fields.socksPort = portText(options.HTTPSOCKSPort);
        fields.socksUser = options.HTTPSOCKSUser;
        fields.socksPassword = options.HTTPSOCKSPassword;
    }
    // A stored type the list does not offer shows as "Direct".
    if (fields.type < 0 || fields.type >= choices)
        fields.type = 0;
    return fields;
}

void firewallProxyFields::applyTo(connectionOptions& options, View view) const
{
    if (view == Ftp) {
        options.Type = type;
        options.ProxyServer = proxyServer;
        options.ProxyPort = portOf(proxyPort);
        options.SocksServer = socksServer;
        options.SocksPort = portOf(socksPort);
        options.SocksUser = socksUser;
        options.SocksPassword = socksPassword;
        return;
    }
    options.HTTPConnectionType = type;
    options.HTTPProxyServer = proxyServer;
    options.HTTPProxyPort = portOf(proxyPort);
    options.HTTPProxyUser = proxyUser;
    options.HTTPProxyPassword = proxyPassword;
    options.HTTPSOCKSServer = socksServer;
    options.HTTPSOCKSPort = portOf(socksPort);
    options.HTTPSOCKSUser = socksUser;
    options.HTTPSOCKSPassword = socksPassword;
}
