#include "HttpTestServers.h"

#include "ServerLaunch.h"

#include <QJsonDocument>
#include <QTcpSocket>

using namespace serverLaunch;

bool HttpFixtureServer::start()
{
    return startPython(process_, QStringLiteral("http_fixture_server.py"),
        { QStringLiteral("--log"), dir_.filePath(QStringLiteral("requests.jsonl")) }, error_);
}

QString HttpFixtureServer::url(const QString& pathAndQuery) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(pathAndQuery);
}

QList<QJsonObject> HttpFixtureServer::requests() const
{
    return jsonLines(dir_.filePath(QStringLiteral("requests.jsonl")));
}

bool IndexTestServer::start(const QStringList& servers, const QStringList& switches)
{
    QStringList arguments { QStringLiteral("--request-log"),
        dir_.filePath(QStringLiteral("requests.jsonl")) };
    for (const QString& server : servers)
        arguments << QStringLiteral("--server") << server;
    return startPython(process_, QStringLiteral("indexserver.py"), arguments + switches, error_);
}

std::string IndexTestServer::origin() const
{
    return "http://127.0.0.1:" + std::to_string(port());
}

std::string IndexTestServer::base() const
{
    return origin() + "/p2p/v6";
}

QList<QJsonObject> IndexTestServer::requestsTo(const QString& path) const
{
    QList<QJsonObject> found;
    for (const QJsonObject& record : jsonLines(dir_.filePath(QStringLiteral("requests.jsonl")))) {
        if (record.value(QStringLiteral("path")).toString() == path)
            found.append(record);
    }
    return found;
}

QJsonArray IndexTestServer::records() const
{
    // A plain socket: the HTTP client under test does not check itself.
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port());
    if (!socket.waitForConnected(5000))
        return {};
    socket.write("GET /records HTTP/1.0\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    QByteArray reply;
    while (socket.waitForReadyRead(5000))
        reply += socket.readAll();
    reply += socket.readAll();
    const auto bodyStart = reply.indexOf("\r\n\r\n");
    return bodyStart < 0 ? QJsonArray() : QJsonDocument::fromJson(reply.mid(bodyStart + 4)).array();
}
