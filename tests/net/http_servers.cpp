#include "http_servers.h"

#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>

#include <unistd.h>

namespace
{

// Every server stops by itself after this long, should a test never stop it.
const QString lifetimeSeconds = QStringLiteral("300");

// Servers started as root give their rights away; others run as they are.
bool runningAsRoot()
{
    return ::geteuid() == 0;
}

bool writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

// Runs `program` under timeout(1), which ends it after the lifetime and
// passes our SIGTERM on to it.
bool startBounded(ServerProcess& process, const QString& program, const QStringList& arguments, quint16 port,
    QString& error)
{
    if (port == 0) {
        error = QStringLiteral("no free port");
        return false;
    }
    if (!process.startOnPort(
            QStringLiteral("/usr/bin/timeout"), QStringList { lifetimeSeconds, program } + arguments, port)) {
        error = process.error();
        return false;
    }
    return true;
}

} // namespace

bool HttpFixtureServer::start()
{
    const QStringList arguments { sourcePath(QStringLiteral("testservers/http_fixture_server.py")),
        QStringLiteral("--lifetime"), lifetimeSeconds, QStringLiteral("--log"),
        dir_.filePath(QStringLiteral("requests.jsonl")) };
    if (!process_.start(QStringLiteral("/usr/bin/python3"), arguments,
            QRegularExpression(QStringLiteral("READY port=(\\d+)")))) {
        error_ = process_.error();
        return false;
    }
    return true;
}

QString HttpFixtureServer::url(const QString& pathAndQuery) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(pathAndQuery);
}

QList<QJsonObject> HttpFixtureServer::requests() const
{
    QFile log(dir_.filePath(QStringLiteral("requests.jsonl")));
    QList<QJsonObject> records;
    if (!log.open(QIODevice::ReadOnly))
        return records;
    for (const QByteArray& line : log.readAll().split('\n')) {
        if (!line.isEmpty())
            records.append(QJsonDocument::fromJson(line).object());
    }
    return records;
}

bool TinyProxy::start(const QString& user, const QString& password)
{
    const quint16 port = freeTcpPort();
    QByteArray config = "Listen 127.0.0.1\nPort " + QByteArray::number(port)
        + "\nTimeout 60\nMaxClients 20\nAllow 127.0.0.1\nLogLevel Warning\n";
    if (runningAsRoot())
        config += "User nobody\nGroup nogroup\n";
    if (!user.isEmpty())
        config += "BasicAuth " + user.toUtf8() + ' ' + password.toUtf8() + '\n';
    const QString configPath = dir_.filePath(QStringLiteral("tinyproxy.conf"));
    if (!writeFile(configPath, config)) {
        error_ = QStringLiteral("cannot write ") + configPath;
        return false;
    }
    return startBounded(process_, QStringLiteral("/usr/bin/tinyproxy"),
        { QStringLiteral("-d"), QStringLiteral("-c"), configPath }, port, error_);
}

bool DanteServer::start(bool requireUser)
{
    const quint16 port = freeTcpPort();
    QByteArray config = "logoutput: stderr\ninternal: 127.0.0.1 port = " + QByteArray::number(port)
        + "\nexternal: 127.0.0.1\nsocksmethod: " + (requireUser ? "username" : "none")
        + "\nclientmethod: none\n";
    // Checking system accounts takes root; the requests run unprivileged.
    // (Settings come before the rules.)
    if (runningAsRoot())
        config += "user.privileged: root\nuser.unprivileged: nobody\n";
    config += "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n"
              "socks pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n";
    const QString configPath = dir_.filePath(QStringLiteral("danted.conf"));
    if (!writeFile(configPath, config)) {
        error_ = QStringLiteral("cannot write ") + configPath;
        return false;
    }
    return startBounded(process_, QStringLiteral("/usr/sbin/danted"),
        { QStringLiteral("-f"), configPath, QStringLiteral("-N"), QStringLiteral("1"), QStringLiteral("-p"),
            dir_.filePath(QStringLiteral("danted.pid")) },
        port, error_);
}
