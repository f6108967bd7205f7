#pragma once

#include "ServerProcess.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

enum class FtpServerKind { Family, Vsftpd, Proftpd };

// A real FTP server over a folder, started on 127.0.0.1 with a generated
// configuration, a free port and a fixed block of passive ports, stopped by
// process id when the object goes away and by itself after a few minutes.
// Its account can download everything and upload into uploadFolder():
// - the family server (testservers/familyftpd.py): the user "tester" with
//   full rights on the root (anonymous logins work too, read-only);
// - vsftpd: anonymous, read-only except for the folder "incoming", which
//   is created in the root;
// - proftpd: the user "tester" of its own user file, full rights.
class FtpTestServer
{
public:
    // Starts the server; running() tells whether it came up. `switches` are
    // the family server's (see testservers/README.md: "--listing dos",
    // faults, ...) or extra lines of vsftpd's configuration
    // ("port_enable=NO"); proftpd takes none.
    FtpTestServer(FtpServerKind kind, const QString& root, const QStringList& switches = {});
    FtpTestServer(const FtpTestServer&) = delete;
    FtpTestServer& operator=(const FtpTestServer&) = delete;

    bool running() const { return error_.isEmpty(); }
    QString error() const { return error_; }
    quint16 port() const { return process_.port(); }
    // To stop and continue the server (SIGSTOP, SIGCONT): a server that
    // went silent.
    qint64 pid() const { return process_.pid(); }
    QByteArray user() const { return user_; }
    QByteArray password() const { return password_; }
    // Remote folder the account may write to, without a trailing "/".
    QByteArray uploadFolder() const { return uploadFolder_; }
    // Every command line the server received, one a line, as far as it has
    // logged them (vsftpd writes its log as it goes; proftpd logs a command
    // once it has answered it, and shows PASS's argument as "(hidden)").
    QByteArray commandLog() const;

    static QString kindName(FtpServerKind kind);

private:
    bool start(FtpServerKind kind, const QString& root, const QStringList& switches);
    bool startFamily(const QString& root, const QStringList& switches);
    bool startVsftpd(const QString& root, const QStringList& settings);
    bool startProftpd(const QString& root);
    bool fail(const QString& why);

    QTemporaryDir configFolder_;
    ServerProcess process_;
    QByteArray user_ = "tester";
    QByteArray password_ = "secret";
    QByteArray uploadFolder_;
    QString error_;
};
