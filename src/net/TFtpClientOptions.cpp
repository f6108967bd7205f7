#include "net/TFtpClientOptions.h"

#include "net/TFtpClient.h"
#include "settings/ConnectionOptions.h"

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
