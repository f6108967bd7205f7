#include "HttpTestServers.h"

#include "ServerLaunch.h"

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
