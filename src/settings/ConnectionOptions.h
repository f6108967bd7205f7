#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class IniFile;

// The connection, transfer, proxy and firewall options, a plain value. The
// main window holds the live one and its dialogs edit it; a worker or a
// session takes a copy when it starts, so no thread ever reads a value that
// another thread writes. A default value holds the defaults of an empty file.
class connectionOptions
{
public:
    // FTP connection types, the values of the FTP component's connection type.
    enum FtpConnectionType : std::int32_t { Direct = 0, Proxy = 1, Socks4 = 2, Socks4A = 3, Socks5 = 4 };
    // HTTP has no SOCKS 4A.
    enum HttpConnectionType : std::int32_t { HttpDirect = 0, HttpProxy = 1, HttpSocks4 = 2, HttpSocks5 = 3 };
    enum TransferMode : std::int32_t { Auto = 0, Ascii = 1, Binary = 2 };
    // Values of the three UseSingleConnectionFor... choices.
    enum SingleConnectionChoice : std::int32_t { Ask = -1, NewConnection = 0, OwnConnection = 1 };

    static constexpr std::int32_t maxTimeoutPeriod = 10000;
    static constexpr std::int32_t defaultTimeoutPeriod = 100;
    static constexpr std::string_view defaultAsciiTypes
        = "ai c cpp eps wkt h hpp htm html php php3 php4 pl ps rtf rtx txt";
    static constexpr std::string_view defaultAnonymousPassword = "ranquil@user.example";

    // The stored form of ASCIITypes: every blank ends a token (so two blanks
    // make an empty entry), the last token counts only when non-empty.
    static std::vector<std::string> splitAsciiTypes(std::string_view text);
    static std::string joinAsciiTypes(const std::vector<std::string>& types);

    std::int32_t Type = Direct;
    std::string ProxyServer;
    std::int32_t ProxyPort = 0;
    std::string SocksPassword;
    std::int32_t SocksPort = 0;
    std::string SocksServer;
    std::string SocksUser;
    bool AlwaysUsePassiveMode = false;
    std::int32_t TimeoutPeriod = defaultTimeoutPeriod; // seconds; 0: no time-out
    std::int32_t KeepAlivePeriod = 0; // milliseconds; 0: none
    std::int32_t Mode = Auto;
    std::int32_t Attempts = 3;
    std::vector<std::string> ASCIITypes = splitAsciiTypes(defaultAsciiTypes);
    std::string AnonymousPassword { defaultAnonymousPassword };
    bool ShowLoadFormDetailsAtStartup = true;
    bool EnableLoadFormClosingAtStartup = false;
    std::int32_t HTTPConnectionType = HttpDirect;
    std::string HTTPProxyServer;
    std::int32_t HTTPProxyPort = 0;
    std::string HTTPProxyUser;
    std::string HTTPProxyPassword;
    std::string HTTPSOCKSServer;
    std::int32_t HTTPSOCKSPort = 0;
    std::string HTTPSOCKSUser;
    std::string HTTPSOCKSPassword;
    std::int32_t UseSingleConnectionForDownloads = Ask;
    std::int32_t UseSingleConnectionForUploads = Ask;
    std::int32_t UseSingleConnectionForDeletes = Ask;

    bool operator==(const connectionOptions&) const = default;
};

// Reads and writes connectionOptions in section "Connection" of an ini file
// (Ranquil.ini of the program folder by default). Main thread only.
class connectionOptionsStore
{
public:
    explicit connectionOptionsStore(QString iniPath = {});
    connectionOptions load() const;
    bool save(const connectionOptions& options) const;

private:
    QString iniPath_;
};
