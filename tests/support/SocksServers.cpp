#include "SocksServers.h"

#include "ServerLaunch.h"

#include <QRegularExpression>

using namespace serverLaunch;

bool DanteServer::start(bool requireUser)
{
    const quint16 port = freeTcpPort();
    QByteArray config = "logoutput: stderr\ninternal: 127.0.0.1 port = " + QByteArray::number(port)
        + "\nexternal: 127.0.0.1\nclientmethod: none\nsocksmethod: " + (requireUser ? "username" : "none")
        + "\n";
    // Checking system accounts takes root; the requests run unprivileged.
    // (Settings come before the rules.)
    if (runningAsRoot())
        config += "user.privileged: root\nuser.unprivileged: nobody\n";
    config += "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n"
              "socks pass { from: 127.0.0.0/8 to: 127.0.0.0/8 command: connect }\n";
    const QString file = dir_.filePath(QStringLiteral("danted.conf"));
    error_ = writeConfig(file, config);
    return error_.isEmpty()
        && startBounded(process_, QStringLiteral("/usr/sbin/danted"),
            { QStringLiteral("-f"), file, QStringLiteral("-N"), QStringLiteral("1"), QStringLiteral("-p"),
                dir_.filePath(QStringLiteral("danted.pid")) },
            port, error_);
}

bool MicroSocksServer::start(const QString& user, const QString& password)
{
    const quint16 port = freeTcpPort();
    QStringList arguments { QStringLiteral("-i"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
        QString::number(port) };
    if (!user.isEmpty())
        arguments << QStringLiteral("-u") << user << QStringLiteral("-P") << password;
    return startBounded(process_, QStringLiteral("/usr/bin/microsocks"), arguments, port, error_);
}

bool SocksScriptServer::start()
{
    if (!process_.start(QStringLiteral("/usr/bin/python3"),
            { sourcePath(QStringLiteral("testservers/socks_script_server.py")), QStringLiteral("--lifetime"),
                lifetimeSeconds },
            QRegularExpression(QStringLiteral("socks script server ready (\\d+)")))) {
        error_ = process_.error();
        return false;
    }
    const QRegularExpression line(QStringLiteral("scenario (\\S+) (\\d+)"));
    auto matches = line.globalMatch(QString::fromUtf8(process_.output()));
    while (matches.hasNext()) {
        const auto match = matches.next();
        ports_[match.captured(1).toStdString()] = static_cast<quint16>(match.captured(2).toUInt());
    }
    return true;
}

quint16 SocksScriptServer::port(const std::string& scenario) const
{
    const auto found = ports_.find(scenario);
    return found == ports_.end() ? 0 : found->second;
}
