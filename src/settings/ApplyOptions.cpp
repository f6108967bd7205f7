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
    SocksRoute socks; // its version is the connection type's
    if (type == ftpProxy) {
        client.SetProxyServer(QString::fromStdString(options.ProxyServer));
        client.SetProxyPort(
            options.ProxyPort != 0 ? QString::number(options.ProxyPort) : QStringLiteral("ftp"));
    } else if (type != ftpDirect) {
        socks.server = QString::fromStdString(options.SocksServer);
        socks.port = QString::number(options.SocksPort);
        socks.user = QString::fromStdString(options.SocksUser);
        socks.password = QString::fromStdString(options.SocksPassword);
    }
    client.SetSocksRoute(socks);
    client.SetPassive(type != ftpDirect || options.AlwaysUsePassiveMode);
}

void applyHttpProxy(THttpCli& http, const connectionOptions& options)
{
    http.SetProxy({});
    http.SetProxyUsername({});
    http.SetProxyPassword({});
    SocksRoute socks;
    switch (options.HTTPConnectionType) {
    case connectionOptions::HttpProxy:
        http.SetProxy(QString::fromStdString(options.HTTPProxyServer));
        http.SetProxyPort(QString::number(options.HTTPProxyPort));
        http.SetProxyUsername(QString::fromStdString(options.HTTPProxyUser));
        http.SetProxyPassword(QString::fromStdString(options.HTTPProxyPassword));
        break;
    case connectionOptions::HttpSocks4:
    case connectionOptions::HttpSocks5:
        socks.version = options.HTTPConnectionType == connectionOptions::HttpSocks4 ? SocksVersion::V4
                                                                                    : SocksVersion::V5;
        socks.server = QString::fromStdString(options.HTTPSOCKSServer);
        socks.port = QString::number(options.HTTPSOCKSPort);
        socks.user = QString::fromStdString(options.HTTPSOCKSUser);
        socks.password = QString::fromStdString(options.HTTPSOCKSPassword);
        break;
    default:
        break;
    }
    http.SetSocksRoute(socks);
    http.SetTimeout(std::chrono::seconds(options.TimeoutPeriod));
}
