#include "settings/ApplyOptions.h"

#include "net/TFtpClient.h"
#include "net/THttpCli.h"
#include "settings/ConnectionOptions.h"

#include <chrono>

void applyConnectionOptions(TFtpClient& client, const connectionOptions& options)
{
    client.SetTimeout(options.TimeoutPeriod);
    const TFtpConnectionType type = options.Type >= ftpDirect && options.Type <= ftpSocks5
        ? static_cast<TFtpConnectionType>(options.Type)
        : ftpDirect;
    client.SetConnectionType(type);
    if (type == ftpProxy) {
        client.SetProxyServer(QString::fromStdString(options.ProxyServer));
        client.SetProxyPort(
            options.ProxyPort != 0 ? QString::number(options.ProxyPort) : QStringLiteral("ftp"));
    } else if (type != ftpDirect) {
        client.SetSocksServer(QString::fromStdString(options.SocksServer));
        client.SetSocksPort(QString::number(options.SocksPort));
        client.SetSocksUserCode(QString::fromStdString(options.SocksUser));
        client.SetSocksPassword(QString::fromStdString(options.SocksPassword));
    }
    client.SetPassive(type != ftpDirect || options.AlwaysUsePassiveMode);
}

void applyHttpProxy(THttpCli& http, const connectionOptions& options)
{
    http.SetProxy({});
    http.SetProxyUsername({});
    http.SetProxyPassword({});
    http.SetSocksServer({});
    http.SetSocksPort({});
    http.SetSocksUsercode({});
    http.SetSocksPassword({});
    http.SetSocksAuthentication(socksNoAuthentication);
    switch (options.HTTPConnectionType) {
    case connectionOptions::HttpProxy:
        http.SetProxy(QString::fromStdString(options.HTTPProxyServer));
        http.SetProxyPort(QString::number(options.HTTPProxyPort));
        http.SetProxyUsername(QString::fromStdString(options.HTTPProxyUser));
        http.SetProxyPassword(QString::fromStdString(options.HTTPProxyPassword));
        break;
    case connectionOptions::HttpSocks4:
    case connectionOptions::HttpSocks5:
        http.SetSocksAuthentication(
            options.HTTPSOCKSUser.empty() ? socksNoAuthentication : socksAuthenticateUsercode);
        http.SetSocksLevel(options.HTTPConnectionType == connectionOptions::HttpSocks4 ? QStringLiteral("4")
                                                                                       : QStringLiteral("5"));
        http.SetSocksServer(QString::fromStdString(options.HTTPSOCKSServer));
        http.SetSocksPort(QString::number(options.HTTPSOCKSPort));
        http.SetSocksUsercode(QString::fromStdString(options.HTTPSOCKSUser));
        http.SetSocksPassword(QString::fromStdString(options.HTTPSOCKSPassword));
        break;
    default:
        break;
    }
    http.SetTimeout(std::chrono::seconds(options.TimeoutPeriod));
}
