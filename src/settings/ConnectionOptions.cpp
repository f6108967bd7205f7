#include "settings/ConnectionOptions.h"

#include "common/IniFile.h"
#include "common/ProgramFolders.h"

namespace
{
constexpr std::string_view section = "Connection";
}

connectionOptions::connectionOptions(QString iniPath)
    : iniPath_(iniPath.isEmpty() ? settingsFilePath() : std::move(iniPath))
{
    load();
}

connectionOptions::~connectionOptions()
{
    save();
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

void connectionOptions::load()
{
    const IniFile ini(iniPath_);
    ASCIITypes = splitAsciiTypes(ini.readString(section, "ASCIITypes", defaultAsciiTypes));
    TimeoutPeriod = ini.readInteger(section, "TimeoutPeriod", defaultTimeoutPeriod);
    if (TimeoutPeriod > maxTimeoutPeriod)
        TimeoutPeriod = defaultTimeoutPeriod;
    KeepAlivePeriod = ini.readInteger(section, "KeepAlivePeriod", 0);
    Attempts = ini.readInteger(section, "Attempts", 3);
    Type = ini.readInteger(section, "Type", Direct);
    ProxyServer = ini.readString(section, "ProxyServer", "");
    ProxyPort = ini.readInteger(section, "ProxyPort", 0);
    SocksPassword = ini.readString(section, "SocksPassword", "");
    SocksPort = ini.readInteger(section, "SocksPort", 0);
    SocksServer = ini.readString(section, "SocksServer", "");
    SocksUser = ini.readString(section, "SocksUser", "");
    Mode = ini.readInteger(section, "Mode", Auto);
    AlwaysUsePassiveMode = ini.readBool(section, "AlwaysUsePassiveMode", false);
    ShowLoadFormDetailsAtStartup = ini.readBool(section, "ShowLoadFormDetailsAtStartup", true);
    EnableLoadFormClosingAtStartup = ini.readBool(section, "EnableLoadFormClosingAtStartup", false);
    AnonymousPassword = ini.readString(section, "AnonymousPassword", defaultAnonymousPassword);
    UseSingleConnectionForDownloads = ini.readInteger(section, "UseSingleConnectionForDownloads", Ask);
    UseSingleConnectionForUploads = ini.readInteger(section, "UseSingleConnectionForUploads", Ask);
    UseSingleConnectionForDeletes = ini.readInteger(section, "UseSingleConnectionForDeletes", Ask);
    HTTPConnectionType = ini.readInteger(section, "HTTPConnectionType", HttpDirect);
    HTTPProxyServer = ini.readString(section, "HTTPProxyServer", "");
    HTTPProxyPort = ini.readInteger(section, "HTTPProxyPort", 0);
    HTTPProxyUser = ini.readString(section, "HTTPProxyUser", "");
    HTTPProxyPassword = ini.readString(section, "HTTPProxyPassword", "");
    HTTPSOCKSServer = ini.readString(section, "HTTPSOCKSServer", "");
    HTTPSOCKSPort = ini.readInteger(section, "HTTPSOCKSPort", 0);
    HTTPSOCKSUser = ini.readString(section, "HTTPSOCKSUser", "");
    HTTPSOCKSPassword = ini.readString(section, "HTTPSOCKSPassword", "");
}

bool connectionOptions::save() const
{
    IniFile ini(iniPath_);
    ini.writeInteger(section, "TimeoutPeriod", TimeoutPeriod);
    ini.writeInteger(section, "KeepAlivePeriod", KeepAlivePeriod);
    ini.writeInteger(section, "Attempts", Attempts);
    ini.writeInteger(section, "Type", Type);
    ini.writeString(section, "ProxyServer", ProxyServer);
    ini.writeInteger(section, "ProxyPort", ProxyPort);
    ini.writeString(section, "SocksPassword", SocksPassword);
    ini.writeInteger(section, "SocksPort", SocksPort);
    ini.writeString(section, "SocksUser", SocksUser);
    ini.writeString(section, "SocksServer", SocksServer);
    ini.writeInteger(section, "Mode", Mode);
    ini.writeBool(section, "AlwaysUsePassiveMode", AlwaysUsePassiveMode);
    ini.writeBool(section, "ShowLoadFormDetailsAtStartup", ShowLoadFormDetailsAtStartup);
    ini.writeBool(section, "EnableLoadFormClosingAtStartup", EnableLoadFormClosingAtStartup);
    ini.writeString(section, "AnonymousPassword", AnonymousPassword);
    ini.writeInteger(section, "UseSingleConnectionForDownloads", UseSingleConnectionForDownloads);
    ini.writeInteger(section, "UseSingleConnectionForUploads", UseSingleConnectionForUploads);
    ini.writeInteger(section, "UseSingleConnectionForDeletes", UseSingleConnectionForDeletes);
    ini.writeInteger(section, "HTTPConnectionType", HTTPConnectionType);
    ini.writeString(section, "HTTPProxyServer", HTTPProxyServer);
    ini.writeInteger(section, "HTTPProxyPort", HTTPProxyPort);
    ini.writeString(section, "HTTPProxyUser", HTTPProxyUser);
    ini.writeString(section, "HTTPProxyPassword", HTTPProxyPassword);
    ini.writeString(section, "HTTPSOCKSServer", HTTPSOCKSServer);
    ini.writeInteger(section, "HTTPSOCKSPort", HTTPSOCKSPort);
    ini.writeString(section, "HTTPSOCKSUser", HTTPSOCKSUser);
    ini.writeString(section, "HTTPSOCKSPassword", HTTPSOCKSPassword);
    ini.writeString(section, "ASCIITypes", joinAsciiTypes(ASCIITypes));
    return ini.update();
}
