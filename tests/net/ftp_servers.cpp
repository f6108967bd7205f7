#include "ftp_servers.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpServer>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <memory>
#include <vector>

namespace
{

// Every server stops by itself after this many seconds.
const QString lifetimeSeconds = QStringLiteral("300");
const QString proftpdBinary = QStringLiteral("/opt/ranquil-tools/proftpd/usr/sbin/proftpd");
constexpr int passivePortCount = 20;

// "secret" in SHA-512 crypt, for proftpd's own user file.
const char* const secretHash
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

// The first port of a block of free ports below the kernel's ephemeral
// range: servers with a fixed passive range do not compete with the
// thousands of short connections the tests make.
quint16 freePortBlock()
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        const auto first
            = static_cast<quint16>(QRandomGenerator::global()->bounded(20000, 32000 - passivePortCount));
        std::vector<std::unique_ptr<QTcpServer>> probes;
        bool allFree = true;
        for (int i = 0; i < passivePortCount && allFree; ++i) {
            probes.push_back(std::make_unique<QTcpServer>());
            allFree = probes.back()->listen(QHostAddress::LocalHost, static_cast<quint16>(first + i));
        }
        if (allFree)
            return first;
    }
    return 0;
}

// Owner-only: proftpd refuses a user file others can read.
bool writeFile(const QString& path, const QByteArray& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.setPermissions(QFile::ReadOwner | QFile::WriteOwner)
        && file.write(text) == text.size();
}

// `timeout` bounds the server's life even if the test dies.
bool startBounded(ServerProcess& process, const QString& program, const QStringList& arguments, quint16 port,
    QString& error)
{
    if (process.startOnPort(
            QStringLiteral("timeout"), QStringList { lifetimeSeconds, program } + arguments, port))
        return true;
    error = process.error();
    return false;
}

} // namespace

FtpTestServer::FtpTestServer(FtpServerKind kind, const QString& root, const QStringList& switches)
{
    switch (kind) {
    case FtpServerKind::Family:
        startFamily(root, switches);
        break;
    case FtpServerKind::Vsftpd:
        startVsftpd(root, switches);
        break;
    case FtpServerKind::Proftpd:
        startProftpd(root);
        break;
    }
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
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void FtpTestServer::startFamily(const QString& root, const QStringList& switches)
{
    const quint16 passive = freePortBlock();
    const QStringList arguments = QStringList {
        sourcePath(QStringLiteral("testservers/familyftpd.py")),
        QStringLiteral("--root"),
        root,
        QStringLiteral("--user"),
        QStringLiteral("tester:secret"),
        QStringLiteral("--passive-ports"),
        QStringLiteral("%1-%2").arg(passive).arg(passive + passivePortCount - 1),
        QStringLiteral("--command-log"),
        configFolder_.filePath(QStringLiteral("commands.log")),
        QStringLiteral("--lifetime"),
        lifetimeSeconds,
    } + switches;
    if (!process_.start(QStringLiteral("/usr/bin/python3"), arguments,
            QRegularExpression(QStringLiteral("READY port=(\\d+)"))))
        error_ = process_.error();
}

void FtpTestServer::startVsftpd(const QString& root, const QStringList& settings)
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
    QByteArray config
        = "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nbackground=NO\n"
          "anonymous_enable=YES\nno_anon_password=YES\nlocal_enable=NO\n"
          "write_enable=YES\nanon_upload_enable=YES\nanon_mkdir_write_enable=YES\n"
          "anon_other_write_enable=YES\nanon_umask=022\n"
          "pasv_enable=YES\nport_enable=YES\nconnect_from_port_20=NO\n"
          // The seccomp sandbox kills vsftpd inside many containers.
          "seccomp_sandbox=NO\nxferlog_enable=NO\nsyslog_enable=NO\nvsftpd_log_file=/dev/null\n";
    config += "listen_port=" + QByteArray::number(port) + "\n";
    config += "pasv_min_port=" + QByteArray::number(passive)
        + "\npasv_max_port=" + QByteArray::number(passive + passivePortCount - 1) + "\n";
    config += "anon_root=" + root.toUtf8() + "\n";
    config += "secure_chroot_dir=" + configFolder_.path().toUtf8() + "\n";
    if (::geteuid() != 0)
        config += "run_as_launching_user=YES\n";
    // vsftpd takes the last value of a setting: these override the above.
    for (const QString& setting : settings)
        config += setting.toUtf8() + "\n";
    const QString file = configFolder_.filePath(QStringLiteral("vsftpd.conf"));
    if (!writeFile(file, config)) {
        error_ = QStringLiteral("cannot write ") + file;
        return;
    }
    startBounded(process_, QStringLiteral("vsftpd"), { file }, port, error_);
}

void FtpTestServer::startProftpd(const QString& root)
{
    if (!QFile::exists(proftpdBinary)) {
        error_ = proftpdBinary + QStringLiteral(" is missing: run scripts/install.sh");
        return;
    }
    const QByteArray folder = configFolder_.path().toUtf8();
    const QString users = configFolder_.filePath(QStringLiteral("passwd"));
    if (!writeFile(users,
            "tester:" + QByteArray(secretHash) + ':' + QByteArray::number(::getuid()) + ':'
                + QByteArray::number(::getgid()) + "::" + root.toUtf8() + ":/bin/sh\n")) {
        error_ = QStringLiteral("cannot write ") + users;
        return;
    }
    const quint16 port = freeTcpPort();
    const quint16 passive = freePortBlock();
    const QByteArray config
        = "ServerType standalone\nDefaultServer on\nDefaultAddress 127.0.0.1\nUseIPv6 off\n"
          "UseReverseDNS off\nUser "
        + currentUserName() + "\nGroup " + currentGroupName()
        + "\nWtmpLog off\nRootLogin on\nRequireValidShell off\nAuthPAM off\n"
          "AuthOrder mod_auth_file.c\nAuthUserFile "
        + users.toUtf8()
        + "\nAllowOverwrite on\nAllowStoreRestart on\nAllowRetrieveRestart on\nControlsEngine off\n"
          "DelayTable none\nTransferLog none\nPidFile "
        + folder + "/proftpd.pid\nScoreboardFile " + folder + "/proftpd.scoreboard\nSystemLog " + folder
        + "/proftpd.log\nPort " + QByteArray::number(port) + "\nPassivePorts " + QByteArray::number(passive)
        + ' ' + QByteArray::number(passive + passivePortCount - 1)
        + "\n"
        // Locked into its home (when chroot is allowed), so that no path
        // of a test reaches the rest of the machine.
        + (::geteuid() == 0 ? "DefaultRoot ~\n" : "");
    const QString file = configFolder_.filePath(QStringLiteral("proftpd.conf"));
    if (!writeFile(file, config)) {
        error_ = QStringLiteral("cannot write ") + file;
        return;
    }
    startBounded(process_, proftpdBinary, { QStringLiteral("-n"), QStringLiteral("-c"), file }, port, error_);
}

SocksTestServer::SocksTestServer()
{
    const quint16 port = freeTcpPort();
    const QByteArray config = "logoutput: " + configFolder_.filePath(QStringLiteral("danted.log")).toUtf8()
        + "\ninternal: 127.0.0.1 port = " + QByteArray::number(port)
        + "\nexternal: 127.0.0.1\n"
          "clientmethod: none\n"
          // SOCKS 4 knows no authentication; SOCKS 5 clients choose.
          "socksmethod: username none\n"
          "user.privileged: root\nuser.unprivileged: nobody\n"
          "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n"
          "socks pass { from: 127.0.0.0/8 to: 0.0.0.0/0 command: connect }\n";
    const QString file = configFolder_.filePath(QStringLiteral("danted.conf"));
    if (!writeFile(file, config)) {
        error_ = QStringLiteral("cannot write ") + file;
        return;
    }
    startBounded(process_, QStringLiteral("danted"),
        { QStringLiteral("-f"), file, QStringLiteral("-p"),
            configFolder_.filePath(QStringLiteral("danted.pid")) },
        port, error_);
}

FtpProxyTestServer::FtpProxyTestServer()
{
    const quint16 port = freeTcpPort();
    const quint16 passive = freePortBlock();
    const QByteArray config = "[-Global-]\nServerType standalone\nListen 127.0.0.1\nPort "
        + QByteArray::number(port)
        + "\nDestinationAddress 127.0.0.1\nDestinationPort 21\nAllowMagicUser yes\n"
          "LogDestination "
        + configFolder_.filePath(QStringLiteral("ftp-proxy.log")).toUtf8() + "\nPidFile "
        + configFolder_.filePath(QStringLiteral("ftp-proxy.pid")).toUtf8() + "\nPassiveMinDataPort "
        + QByteArray::number(passive) + "\nPassiveMaxDataPort "
        + QByteArray::number(passive + passivePortCount - 1) + "\n";
    const QString file = configFolder_.filePath(QStringLiteral("ftp-proxy.conf"));
    if (!writeFile(file, config)) {
        error_ = QStringLiteral("cannot write ") + file;
        return;
    }
    startBounded(process_, QStringLiteral("/usr/sbin/ftp-proxy"),
        { QStringLiteral("-d"), QStringLiteral("-n"), QStringLiteral("-f"), file }, port, error_);
}
