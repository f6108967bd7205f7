#pragma once

#include "ServerProcess.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QTemporaryDir>

// Servers the HTTP tests talk to, each started on a free port of 127.0.0.1
// and stopped by its process id when the object goes away.

// testservers/http_fixture_server.py: answers chosen by the request path,
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

// Debian's tinyproxy, optionally asking for Basic credentials.
class TinyProxy
{
public:
    bool start(const QString& user = {}, const QString& password = {});
    QString error() const { return error_; }
    quint16 port() const { return process_.port(); }

private:
    QTemporaryDir dir_;
    ServerProcess process_;
    QString error_;
};

// Debian's dante-server for SOCKS 4 and 5. With `requireUser` SOCKS 5
// clients must log in with an account of the system (systemSocksUser).
class DanteServer
{
public:
    static QString systemSocksUser() { return QStringLiteral("ranquil-socks"); }
    static QString systemSocksPassword() { return QStringLiteral("ranquil-socks-pw"); }

    bool start(bool requireUser = false);
    QString error() const { return error_; }
    quint16 port() const { return process_.port(); }

private:
    QTemporaryDir dir_;
    ServerProcess process_;
    QString error_;
};
