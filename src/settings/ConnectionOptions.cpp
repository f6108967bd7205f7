#include "settings/ConnectionOptions.h"

#include "common/IniFile.h"
#include "common/ProgramFolders.h"

namespace
{
constexpr std::string_view section = "Connection";
}

connectionOptionsStore::connectionOptionsStore(QString iniPath)
    : iniPath_(iniPath.isEmpty() ? settingsFilePath() : std::move(iniPath))
{
}

std::vector<std::string> connectionOptions::splitAsciiTypes(std::string_view text)
{
    std::vector<std::string> types;
    std::string token;
    for (char c : text) {
        if (c == ' ') {
            types.push_back(std::move(token));
            token.clear();
        } else {
            token += c;
        }
    }
    if (!token.empty())
        types.push_back(std::move(token));
    return types;
}

std::string connectionOptions::joinAsciiTypes(const std::vector<std::string>& types)
{
    std::string text;
    for (size_t i = 0; i < types.size(); ++i) {
        if (i > 0)
            text += ' ';
        text += types[i];
    }
    return text;
}

connectionOptions connectionOptionsStore::load() const
{
    const IniFile ini(iniPath_);
    connectionOptions o;
    o.ASCIITypes = connectionOptions::splitAsciiTypes(
        ini.readString(section, "ASCIITypes", connectionOptions::defaultAsciiTypes));
    o.TimeoutPeriod = ini.readInteger(section, "TimeoutPeriod", connectionOptions::defaultTimeoutPeriod);
    if (o.TimeoutPeriod > connectionOptions::maxTimeoutPeriod)
        o.TimeoutPeriod = connectionOptions::defaultTimeoutPeriod;
    o.KeepAlivePeriod = ini.readInteger(section, "KeepAlivePeriod", 0);
    o.Attempts = ini.readInteger(section, "Attempts", 3);
    o.Type = ini.readInteger(section, "Type", connectionOptions::Direct);
    o.ProxyServer = ini.readString(section, "ProxyServer", "");
    o.ProxyPort = ini.readInteger(section, "ProxyPort", 0);
    o.SocksPassword = ini.readString(section, "SocksPassword", "");
    o.SocksPort = ini.readInteger(section, "SocksPort", 0);
    o.SocksServer = ini.readString(section, "SocksServer", "");
    o.SocksUser = ini.readString(section, "SocksUser", "");
    o.Mode = ini.readInteger(section, "Mode", connectionOptions::Auto);
    o.AlwaysUsePassiveMode = ini.readBool(section, "AlwaysUsePassiveMode", false);
    o.ShowLoadFormDetailsAtStartup = ini.readBool(section, "ShowLoadFormDetailsAtStartup", true);
    o.EnableLoadFormClosingAtStartup = ini.readBool(section, "EnableLoadFormClosingAtStartup", false);
    o.AnonymousPassword
        = ini.readString(section, "AnonymousPassword", connectionOptions::defaultAnonymousPassword);
    o.UseSingleConnectionForDownloads
        = ini.readInteger(section, "UseSingleConnectionForDownloads", connectionOptions::Ask);
    o.UseSingleConnectionForUploads
        = ini.readInteger(section, "UseSingleConnectionForUploads", connectionOptions::Ask);
    o.UseSingleConnectionForDeletes
        = ini.readInteger(section, "UseSingleConnectionForDeletes", connectionOptions::Ask);
    o.HTTPConnectionType = ini.readInteger(section, "HTTPConnectionType", connectionOptions::HttpDirect);
    o.HTTPProxyServer = ini.readString(section, "HTTPProxyServer", "");
    o.HTTPProxyPort = ini.readInteger(section, "HTTPProxyPort", 0);
    o.HTTPProxyUser = ini.readString(section, "HTTPProxyUser", "");
    o.HTTPProxyPassword = ini.readString(section, "HTTPProxyPassword", "");
    o.HTTPSOCKSServer = ini.readString(section, "HTTPSOCKSServer", "");
    o.HTTPSOCKSPort = ini.readInteger(section, "HTTPSOCKSPort", 0);
    o.HTTPSOCKSUser = ini.readString(section, "HTTPSOCKSUser", "");
    o.HTTPSOCKSPassword = ini.readString(section, "HTTPSOCKSPassword", "");
    return o;
}

bool connectionOptionsStore::save(const connectionOptions& o) const
{
    IniFile ini(iniPath_);
    ini.writeInteger(section, "TimeoutPeriod", o.TimeoutPeriod);
    ini.writeInteger(section, "KeepAlivePeriod", o.KeepAlivePeriod);
    ini.writeInteger(section, "Attempts", o.Attempts);
    ini.writeInteger(section, "Type", o.Type);
    ini.writeString(section, "ProxyServer", o.ProxyServer);
    ini.writeInteger(section, "ProxyPort", o.ProxyPort);
    ini.writeString(section, "SocksPassword", o.SocksPassword);
    ini.writeInteger(section, "SocksPort", o.SocksPort);
    ini.writeString(section, "SocksUser", o.SocksUser);
    ini.writeString(section, "SocksServer", o.SocksServer);
    ini.writeInteger(section, "Mode", o.Mode);
    ini.writeBool(section, "AlwaysUsePassiveMode", o.AlwaysUsePassiveMode);
    ini.writeBool(section, "ShowLoadFormDetailsAtStartup", o.ShowLoadFormDetailsAtStartup);
    ini.writeBool(section, "EnableLoadFormClosingAtStartup", o.EnableLoadFormClosingAtStartup);
    ini.writeString(section, "AnonymousPassword", o.AnonymousPassword);
    ini.writeInteger(section, "UseSingleConnectionForDownloads", o.UseSingleConnectionForDownloads);
    ini.writeInteger(section, "UseSingleConnectionForUploads", o.UseSingleConnectionForUploads);
    ini.writeInteger(section, "UseSingleConnectionForDeletes", o.UseSingleConnectionForDeletes);
    ini.writeInteger(section, "HTTPConnectionType", o.HTTPConnectionType);
    ini.writeString(section, "HTTPProxyServer", o.HTTPProxyServer);
    ini.writeInteger(section, "HTTPProxyPort", o.HTTPProxyPort);
    ini.writeString(section, "HTTPProxyUser", o.HTTPProxyUser);
    ini.writeString(section, "HTTPProxyPassword", o.HTTPProxyPassword);
    ini.writeString(section, "HTTPSOCKSServer", o.HTTPSOCKSServer);
    ini.writeInteger(section, "HTTPSOCKSPort", o.HTTPSOCKSPort);
    ini.writeString(section, "HTTPSOCKSUser", o.HTTPSOCKSUser);
    ini.writeString(section, "HTTPSOCKSPassword", o.HTTPSOCKSPassword);
    ini.writeString(section, "ASCIITypes", connectionOptions::joinAsciiTypes(o.ASCIITypes));
    return ini.update();
}
