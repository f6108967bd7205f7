#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class IniFile;

// The live connection, transfer, proxy and firewall options, section
// "Connection" of Ranquil.ini. Created on the main thread (it loads itself)
// and saved when destroyed; only the main thread writes it. Workers read its
// fields without a lock, which is safe because writes happen only while no
// worker is connecting (the option dialogs are modal).
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

    // Loads from `iniPath` (Ranquil.ini of the program folder by default).
    explicit connectionOptions(QString iniPath = {});
    // Saves to the file it was loaded from.
    ~connectionOptions();
    connectionOptions(const connectionOptions&) = delete;
    connectionOptions& operator=(const connectionOptions&) = delete;

    void load();
    bool save() const;

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
    std::int32_t TimeoutPeriod = 0; // seconds; 0: no time-out
    std::int32_t KeepAlivePeriod = 0; // milliseconds; 0: none
    std::int32_t Mode = Auto;
    std::int32_t Attempts = 0;
    std::vector<std::string> ASCIITypes;
    std::string AnonymousPassword;
    bool ShowLoadFormDetailsAtStartup = false;
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

private:
    QString iniPath_;
};
