#pragma once

#include "ServerProcess.h"

#include <QString>
#include <QTemporaryDir>

#include <map>
#include <string>

// SOCKS servers on 127.0.0.1, each on a free port, stopped by process id
// when the object goes away and by themselves after a few minutes. They
// relay to loopback addresses only.

// Debian's dante-server: SOCKS 4 and SOCKS 5. With `requireUser` SOCKS 5
// clients must log in with a user name and password, without it they must
// not. The account is the system user that
// scripts/install.d/socket.sh creates; danted checks it only as root.
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

// microsocks: SOCKS 5 only, without authentication or with one account.
class MicroSocksServer
{
public:
    // An empty `user` runs it without authentication.
    bool start(const QString& user = {}, const QString& password = {});
    QString error() const { return error_; }
    quint16 port() const { return process_.port(); }

private:
    ServerProcess process_;
    QString error_;
};

// testservers/socks_script_server.py: one listening port per scripted
// scenario (canned SOCKS replies, refusals, odd packet boundaries).
class SocksScriptServer
{
public:
    bool start();
    QString error() const { return error_; }
    // The port of a scenario; 0 when the server has none of that name.
    quint16 port(const std::string& scenario) const;

private:
    ServerProcess process_;
    std::map<std::string, quint16> ports_;
    QString error_;
};
