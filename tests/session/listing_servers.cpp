#include "listing_servers.h"

#include <QFile>
#include <QRegularExpression>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace
{

const char* const lifetimeSeconds = "300";
const char* const proftpdBinary = "/opt/ranquil-tools/proftpd/usr/sbin/proftpd";

// "tester" with the password "secret" (SHA-512 crypt), for proftpd's own
// user file: it cannot log in anonymous users without a system account.
const char* const proftpdPasswordHash
    = "$6$ranquil$7C7l9W6b2Z8Ia7yM3VapjBlQaOWg5C/PULlykzux.4EoNRa81Hg4czXp20yAwvdczpSqe3uc2cfTPWH75b8YX.";

QByteArray currentUserName()
{
    const passwd* entry = ::getpwuid(::getuid());
    return entry ? QByteArray(entry->pw_name) : QByteArray::number(::getuid());
}

QByteArray currentGroupName()
{
    const group* entry = ::getgrgid(::getgid());
    return entry ? QByteArray(entry->gr_name) : QByteArray::number(::getgid());
}

} // namespace

realFtpServer::realFtpServer(realServer kind, const QString& root)
{
    switch (kind) {
    case realServer::Vsftpd:
        startVsftpd(root);
        break;
    case realServer::Proftpd:
        startProftpd(root);
        break;
    case realServer::FamilyUnix:
        startFamily(root, "unix");
        break;
    case realServer::FamilyDos:
        startFamily(root, "dos");
        break;
    }
}

QString realFtpServer::writeConfig(const QString& name, const QByteArray& text)
{
    const QString path = configFolder_.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        error_ = QStringLiteral("cannot write ") + path;
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    return path;
}

void realFtpServer::startOnFreePort(
    const QString& program, QStringList arguments, const QString& configFile, const QByteArray& portSetting)
{
    if (!error_.isEmpty())
        return;
    const quint16 port = freeTcpPort();
    QFile config(configFile);
    if (!config.open(QIODevice::Append) || config.write(portSetting + QByteArray::number(port) + "\n") < 0) {
        error_ = QStringLiteral("cannot write ") + configFile;
        return;
    }
    config.close();
    arguments.prepend(program);
    arguments.prepend(QString::fromLatin1(lifetimeSeconds));
    if (!process_.startOnPort(QStringLiteral("timeout"), arguments, port))
        error_ = process_.error();
}

void realFtpServer::startVsftpd(const QString& root)
{
    QByteArray config = "listen=YES\n"
                        "listen_ipv6=NO\n"
                        "listen_address=127.0.0.1\n"
                        "background=NO\n"
                        "anonymous_enable=YES\n"
                        "no_anon_password=YES\n"
                        "local_enable=NO\n"
                        "write_enable=NO\n"
                        "anon_root="
        + root.toUtf8()
        + "\n"
          "secure_chroot_dir="
        + configFolder_.path().toUtf8()
        + "\n"
          // The seccomp sandbox kills vsftpd inside many containers.
          "seccomp_sandbox=NO\n"
          "xferlog_enable=NO\n"
          "syslog_enable=NO\n"
          "vsftpd_log_file=/dev/null\n";
    if (::geteuid() != 0)
        config += "run_as_launching_user=YES\n";
    const QString file = writeConfig(QStringLiteral("vsftpd.conf"), config);
    startOnFreePort(QStringLiteral("vsftpd"), { file }, file, "listen_port=");
}

void realFtpServer::startProftpd(const QString& root)
{
    if (!QFile::exists(QString::fromLatin1(proftpdBinary))) {
        error_
            = QStringLiteral("%1 is missing: run scripts/install.sh").arg(QString::fromLatin1(proftpdBinary));
        return;
    }
    user_ = "tester";
    password_ = "secret";
    const QByteArray folder = configFolder_.path().toUtf8();
    const QString users = writeConfig(QStringLiteral("passwd"),
        "tester:" + QByteArray(proftpdPasswordHash) + ":" + QByteArray::number(::getuid()) + ":"
            + QByteArray::number(::getgid()) + "::" + root.toUtf8() + ":/bin/sh\n");
    const QByteArray config = "ServerType standalone\n"
                              "DefaultServer on\n"
                              "DefaultAddress 127.0.0.1\n"
                              "UseIPv6 off\n"
                              "UseReverseDNS off\n"
                              "User "
        + currentUserName() + "\nGroup " + currentGroupName()
        + "\n"
          "WtmpLog off\n"
          "RootLogin on\n"
          "RequireValidShell off\n"
          "AuthPAM off\n"
          "AuthOrder mod_auth_file.c\n"
          "AuthUserFile "
        + users.toUtf8()
        + "\n"
          "TimesGMT on\n"
          "ControlsEngine off\n"
          "DelayTable none\n"
          "TransferLog none\n"
          "PidFile "
        + folder + "/proftpd.pid\nScoreboardFile " + folder + "/proftpd.scoreboard\nSystemLog " + folder
        + "/proftpd.log\n";
    const QString file = writeConfig(QStringLiteral("proftpd.conf"), config);
    startOnFreePort(QString::fromLatin1(proftpdBinary), { QStringLiteral("-n"), QStringLiteral("-c"), file },
        file, "Port ");
}

void realFtpServer::startFamily(const QString& root, const char* style)
{
    const QStringList arguments = {
        sourcePath(QStringLiteral("testservers/familyftpd.py")),
        QStringLiteral("--root"),
        root,
        QStringLiteral("--listing"),
        QString::fromLatin1(style),
        QStringLiteral("--lifetime"),
        QString::fromLatin1(lifetimeSeconds),
    };
    if (!process_.start(QStringLiteral("/usr/bin/python3"), arguments,
            QRegularExpression(QStringLiteral("READY port=(\\d+)"))))
        error_ = process_.error();
}
