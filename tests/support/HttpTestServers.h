#pragma once

#include "ServerProcess.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <string>

// Our own HTTP servers in testservers/, each on a free port of 127.0.0.1,
// stopped by process id when the object goes away and by themselves after
// a few minutes.

// testservers/http_fixture_server.py: answers chosen by the request path
// ("/reply/<percent-encoded body>/..." answers that body under any path),
// and a log of every request as it arrived.
class HttpFixtureServer
{
public:
    bool start();
    QString error() const { return error_; }
    quint16 port() const { return process_.port(); }
    // "http://127.0.0.1:<port>" + pathAndQuery.
    QString url(const QString& pathAndQuery) const;
    // Every request so far: connection, method, target, head, body.
    QList<QJsonObject> requests() const;

private:
    QTemporaryDir dir_;
    ServerProcess process_;
    QString error_;
};

// testservers/indexserver.py, the index server of a P2P network.
class IndexTestServer
{
public:
    // `servers`: one "USER,ADDRESS,PORT,PERSISTENT,SPEED,COUNTRY,FOLDER" per
    // FTP server it indexes; `switches`: faults (see testservers/README.md).
    bool start(const QStringList& servers, const QStringList& switches = {});
    QString error() const { return error_; }
    quint16 port() const { return process_.port(); }
    // "http://127.0.0.1:<port>" and the network's base URL below it.
    std::string origin() const;
    std::string base() const;
    // Requests to one endpoint path ("/p2p/v6/resume.php"), in order:
    // method, path, content_type, body.
    QList<QJsonObject> requestsTo(const QString& path) const;
    // What the server made of every updatemd5.php body (GET /records): the
    // decoded form fields and content_type, one object per request.
    QJsonArray records() const;

private:
    QTemporaryDir dir_;
    ServerProcess process_;
    QString error_;
};
