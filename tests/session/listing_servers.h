#pragma once

#include "ServerProcess.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// The real FTP servers whose listings the parser is checked against, each
// started on a free port of 127.0.0.1 over a given folder, with a generated
// configuration, and stopped by process id when the object goes away. They
// also stop by themselves after a few minutes.
enum class realServer { Vsftpd, Proftpd, FamilyUnix, FamilyDos };

class realFtpServer
{
public:
    realFtpServer(realServer kind, const QString& root);

    bool running() const { return error_.isEmpty(); }
    QString error() const { return error_; }
    quint16 port() const { return process_.port(); }
    QByteArray user() const { return user_; }
    QByteArray password() const { return password_; }

private:
    void startVsftpd(const QString& root);
    void startProftpd(const QString& root);
    void startFamily(const QString& root, const char* style);
    // Appends the port setting for a free port to the configuration file and
    // starts the program, bounded in time, until it listens there.
    void startOnFreePort(const QString& program, QStringList arguments, const QString& configFile,
        const QByteArray& portSetting);
    QString writeConfig(const QString& name, const QByteArray& text);

    QTemporaryDir configFolder_;
    ServerProcess process_;
    QByteArray user_ = "anonymous";
    QByteArray password_ = "guest@example.com";
    QString error_;
};
