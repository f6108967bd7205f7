#include "ProxyServers.h"

#include "ServerLaunch.h"

using namespace serverLaunch;

bool TinyProxy::start(const QString& user, const QString& password)
{
    const quint16 port = freeTcpPort();
    QByteArray config = "Listen 127.0.0.1\nPort " + QByteArray::number(port)
        + "\nTimeout 60\nMaxClients 20\nAllow 127.0.0.1\nLogLevel Warning\n";
    // Started as root it gives its rights away.
    if (runningAsRoot())
        config += "User nobody\nGroup nogroup\n";
    if (!user.isEmpty())
        config += "BasicAuth " + user.toUtf8() + ' ' + password.toUtf8() + '\n';
    const QString file = dir_.filePath(QStringLiteral("tinyproxy.conf"));
    error_ = writeConfig(file, config);
    return error_.isEmpty()
        && startBounded(process_, QStringLiteral("/usr/bin/tinyproxy"),
            { QStringLiteral("-d"), QStringLiteral("-c"), file }, port, error_);
}

bool FtpProxyTestServer::start()
{
    const quint16 port = freeTcpPort();
    const quint16 passive = freePortBlock();
    const QByteArray config = "[-Global-]\nServerType standalone\nListen 127.0.0.1\nPort "
        + QByteArray::number(port)
        + "\nDestinationAddress 127.0.0.1\nDestinationPort 21\nAllowMagicUser yes\n"
          "LogDestination "
        + dir_.filePath(QStringLiteral("ftp-proxy.log")).toUtf8() + "\nPidFile "
        + dir_.filePath(QStringLiteral("ftp-proxy.pid")).toUtf8() + "\nPassiveMinDataPort "
        + QByteArray::number(passive) + "\nPassiveMaxDataPort "
        + QByteArray::number(passive + passivePortCount - 1) + "\n";
    const QString file = dir_.filePath(QStringLiteral("ftp-proxy.conf"));
    error_ = writeConfig(file, config);
    return error_.isEmpty()
        && startBounded(process_, QStringLiteral("/usr/sbin/ftp-proxy"),
            { QStringLiteral("-d"), QStringLiteral("-n"), QStringLiteral("-f"), file }, port, error_);
}
