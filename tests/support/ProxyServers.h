#pragma once

#include "ServerProcess.h"

#include <QString>
#include <QTemporaryDir>

// Application proxies on 127.0.0.1, each on a free port, stopped by
// process id when the object goes away and by themselves after a few
// minutes.

// Debian's tinyproxy, an HTTP proxy, optionally asking for Basic credentials.
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

// Debian's ftp-proxy in front of any FTP server: the login
// "USER user@host:port" tells it where to connect to.
class FtpProxyTestServer
{
public:
    bool start();
    QString error() const { return error_; }
    quint16 port() const { return process_.port(); }

private:
    QTemporaryDir dir_;
    ServerProcess process_;
    QString error_;
};
