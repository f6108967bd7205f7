#pragma once

// The real servers the FTP component is tested against, each started by the
// test on 127.0.0.1 with a generated configuration and a free port, stopped
// by process id when the object goes away, and gone by itself after a few
// minutes at the latest.

#include "ServerProcess.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

enum class FtpServerKind { Family, Vsftpd, Proftpd };

// An FTP server over `root`. Its account can download everything and upload
// into uploadFolder():
// - the family server (testservers/familyftpd.py, with `switches`): the user
//   "tester" with full rights on `root`;
// - vsftpd: anonymous, read-only except for the folder "incoming", which is
//   created in `root`; `switches` are extra lines of its configuration
//   ("port_enable=NO");
// - proftpd: the local user "tester" of its own user file, full rights.
class FtpTestServer
{
public:
    FtpTestServer(FtpServerKind kind, const QString& root, const QStringList& switches = {});

    bool running() const { return error_.isEmpty(); }
    QString error() const { return error_; }
    quint16 port() const { return process_.port(); }
    QByteArray user() const { return user_; }
    QByteArray password() const { return password_; }
    // Remote folder the account may write to, without a trailing "/".
    QByteArray uploadFolder() const { return uploadFolder_; }
    // The family server's --command-log (empty for the others).
    QByteArray commandLog() const;
    static QString kindName(FtpServerKind kind);

private:
    void startFamily(const QString& root, const QStringList& switches);
    void startVsftpd(const QString& root, const QStringList& settings);
    void startProftpd(const QString& root);

    QTemporaryDir configFolder_;
    ServerProcess process_;
    QByteArray user_ = "tester";
    QByteArray password_ = "secret";
    QByteArray uploadFolder_;
    QString error_;
};

// danted on 127.0.0.1, SOCKS 4 and 4A without authentication, SOCKS 5
// with or without a user name and password; the account is the system user
// that scripts/install.d/socket.sh creates.
class SocksTestServer
{
public:
    static constexpr const char* user = "ranquil-socks";
    static constexpr const char* password = "ranquil-socks-pw";

    SocksTestServer();

    bool running() const { return error_.isEmpty(); }
    QString error() const { return error_; }
    quint16 port() const { return process_.port(); }

private:
    QTemporaryDir configFolder_;
    ServerProcess process_;
    QString error_;
};

// Debian's ftp-proxy on 127.0.0.1 in front of any server: the login
// "USER user@host:port" tells it where to connect to.
class FtpProxyTestServer
{
public:
    FtpProxyTestServer();

    bool running() const { return error_.isEmpty(); }
    QString error() const { return error_; }
    quint16 port() const { return process_.port(); }

private:
    QTemporaryDir configFolder_;
    ServerProcess process_;
    QString error_;
};
