#include "FtpTestServer.h"

#include "ServerLaunch.h"

#include <QDir>
#include <QFile>

using namespace serverLaunch;

namespace
{

const QString proftpdBinary = QStringLiteral("/opt/ranquil-tools/proftpd/usr/sbin/proftpd");

// "secret" in SHA-512 crypt, for proftpd's own user file: it cannot log in
// anonymous users without a system account.
const char* const secretHash
    = "$6$ranquil$7C7l9W6b2Z8Ia7yM3VapjBlQaOWg5C/PULlykzux.4EoNRa81Hg4czXp20yAwvdczpSqe3uc2cfTPWH75b8YX.";

} // namespace

FtpTestServer::FtpTestServer(FtpServerKind kind, const QString& root, const QStringList& switches)
{
    if (!start(kind, root, switches) && error_.isEmpty())
        error_ = kindName(kind) + QStringLiteral(" did not start");
}

bool FtpTestServer::start(FtpServerKind kind, const QString& root, const QStringList& switches)
{
    switch (kind) {
    case FtpServerKind::Family:
        return startFamily(root, switches);
    case FtpServerKind::Vsftpd:
        return startVsftpd(root, switches);
    case FtpServerKind::Proftpd:
        return switches.isEmpty() ? startProftpd(root) : fail(QStringLiteral("proftpd takes no switches"));
    }
    return fail(QStringLiteral("unknown server kind"));
}

bool FtpTestServer::fail(const QString& why)
{
    error_ = why;
    return false;
}

QString FtpTestServer::kindName(FtpServerKind kind)
{
    switch (kind) {
    case FtpServerKind::Family:
        return QStringLiteral("Family");
    case FtpServerKind::Vsftpd:
        return QStringLiteral("Vsftpd");
    case FtpServerKind::Proftpd:
        return QStringLiteral("Proftpd");
    }
    return {};
}

QByteArray FtpTestServer::commandLog() const
{
    QFile file(configFolder_.filePath(QStringLiteral("commands.log")));
    if (file.open(QIODevice::ReadOnly))
        return file.readAll();
    // vsftpd's protocol log: `... FTP command: Client "127.0.0.1", "LIST"`.
    QFile protocol(configFolder_.filePath(QStringLiteral("protocol.log")));
    if (!protocol.open(QIODevice::ReadOnly))
        return {};
    static const QByteArray marker = "FTP command: Client \"127.0.0.1\", \"";
    QByteArray commands;
    for (const QByteArray& line : protocol.readAll().split('\n')) {
        const qsizetype at = line.indexOf(marker);
        if (at >= 0 && line.endsWith('"'))
            commands += line.mid(at + marker.size()).chopped(1) + '\n';
    }
    return commands;
}

bool FtpTestServer::startFamily(const QString& root, const QStringList& switches)
{
    const QStringList arguments = QStringList {
        QStringLiteral("--root"),
        root,
        QStringLiteral("--user"),
        QStringLiteral("tester:secret"),
        QStringLiteral("--passive-ports"),
        portRange(freePortBlock(), u'-'),
        QStringLiteral("--command-log"),
        configFolder_.filePath(QStringLiteral("commands.log")),
    } + switches;
    return startPython(process_, QStringLiteral("familyftpd.py"), arguments, error_);
}

bool FtpTestServer::startVsftpd(const QString& root, const QStringList& settings)
{
    user_ = "anonymous";
    password_ = "guest@example.com";
    uploadFolder_ = "/incoming";
    // vsftpd serves anonymous users as the account "ftp" inside a chroot:
    // the root must be readable and, for vsftpd to accept it, not writable
    // by that account; the upload folder is writable by everyone.
    QDir(root).mkdir(QStringLiteral("incoming"));
    QFile::setPermissions(root,
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
            | QFile::ReadOther | QFile::ExeOther);
    QFile::setPermissions(root + QStringLiteral("/incoming"), QFile::Permissions(0x7777));
    const quint16 port = freeTcpPort();
    const quint16 passive = freePortBlock();
    QByteArray config = "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nbackground=NO\n"
                        "anonymous_enable=YES\nno_anon_password=YES\nlocal_enable=NO\n"
                        "write_enable=YES\nanon_upload_enable=YES\nanon_mkdir_write_enable=YES\n"
                        "anon_other_write_enable=YES\nanon_umask=022\n"
                        "pasv_enable=YES\nport_enable=YES\nconnect_from_port_20=NO\n"
                        // The seccomp sandbox kills vsftpd inside many containers.
                        "seccomp_sandbox=NO\nsyslog_enable=NO\n"
                        // Its protocol log is the command log.
                        "xferlog_enable=YES\nxferlog_std_format=NO\nlog_ftp_protocol=YES\n";
    config += "vsftpd_log_file=" + configFolder_.filePath(QStringLiteral("protocol.log")).toUtf8() + "\n";
    config += "listen_port=" + QByteArray::number(port) + "\n";
    config += "pasv_min_port=" + QByteArray::number(passive)
        + "\npasv_max_port=" + QByteArray::number(passive + passivePortCount - 1) + "\n";
    config += "anon_root=" + root.toUtf8() + "\n";
    config += "secure_chroot_dir=" + configFolder_.path().toUtf8() + "\n";
    if (!runningAsRoot())
        config += "run_as_launching_user=YES\n";
    // vsftpd takes the last value of a setting: these override the above.
    for (const QString& setting : settings)
        config += setting.toUtf8() + "\n";
    const QString file = configFolder_.filePath(QStringLiteral("vsftpd.conf"));
    error_ = writeConfig(file, config);
    return error_.isEmpty()
        && startBounded(process_, QStringLiteral("/usr/sbin/vsftpd"), { file }, port, error_);
}

bool FtpTestServer::startProftpd(const QString& root)
{
    if (!QFile::exists(proftpdBinary))
        return fail(proftpdBinary + QStringLiteral(" is missing: run scripts/install.sh"));
    const QByteArray folder = configFolder_.path().toUtf8();
    const QString users = configFolder_.filePath(QStringLiteral("passwd"));
    error_ = writeConfig(users,
        "tester:" + QByteArray(secretHash) + ':' + QByteArray::number(::getuid()) + ':'
            + QByteArray::number(::getgid()) + "::" + root.toUtf8() + ":/bin/sh\n");
    if (!error_.isEmpty())
        return false;
    const quint16 port = freeTcpPort();
    const QByteArray config
        = "ServerType standalone\nDefaultServer on\nDefaultAddress 127.0.0.1\nUseIPv6 off\n"
          "UseReverseDNS off\nUser "
        + currentUserName() + "\nGroup " + currentGroupName()
        + "\nWtmpLog off\nRootLogin on\nRequireValidShell off\nAuthPAM off\n"
          "AuthOrder mod_auth_file.c\nAuthUserFile "
        + users.toUtf8()
        + "\nTimesGMT on\nAllowOverwrite on\nAllowStoreRestart on\nAllowRetrieveRestart on\n"
          "ControlsEngine off\nDelayTable none\nTransferLog none\n"
          "LogFormat commands \"%r\"\nExtendedLog "
        + folder + "/commands.log ALL commands\nPidFile " + folder + "/proftpd.pid\nScoreboardFile " + folder
        + "/proftpd.scoreboard\nSystemLog " + folder + "/proftpd.log\nPort " + QByteArray::number(port)
        + "\nPassivePorts " + portRange(freePortBlock(), u' ').toUtf8()
        + "\n"
        // Locked into its home (when chroot is allowed), so that no path
        // of a test reaches the rest of the machine.
        + (runningAsRoot() ? "DefaultRoot ~\n" : "");
    const QString file = configFolder_.filePath(QStringLiteral("proftpd.conf"));
    error_ = writeConfig(file, config);
    return error_.isEmpty()
        && startBounded(
            process_, proftpdBinary, { QStringLiteral("-n"), QStringLiteral("-c"), file }, port, error_);
}
