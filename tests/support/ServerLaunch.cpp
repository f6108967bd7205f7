#include "ServerLaunch.h"

#include <QFile>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpServer>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <memory>
#include <vector>

namespace serverLaunch
{

QString writeConfig(const QString& path, const QByteArray& text)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.setPermissions(QFile::ReadOwner | QFile::WriteOwner)
        && file.write(text) == text.size())
        return {};
    return QStringLiteral("cannot write ") + path;
}

bool startBounded(ServerProcess& process, const QString& program, const QStringList& arguments, quint16 port,
    QString& error)
{
    if (port == 0) {
        error = QStringLiteral("no free port for ") + program;
        return false;
    }
    if (process.startOnPort(
            QStringLiteral("/usr/bin/timeout"), QStringList { lifetimeSeconds, program } + arguments, port))
        return true;
    error = process.error();
    return false;
}

bool startPython(ServerProcess& process, const QString& script, const QStringList& arguments, QString& error)
{
    const QStringList all = QStringList {
        sourcePath(QStringLiteral("testservers/") + script), QStringLiteral("--lifetime"), lifetimeSeconds
    } + arguments;
    if (process.start(
            QStringLiteral("/usr/bin/python3"), all, QRegularExpression(QStringLiteral("READY port=(\\d+)"))))
        return true;
    error = process.error();
    return false;
}

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

QString portRange(quint16 first, QChar separator)
{
    return QString::number(first) + separator + QString::number(first + passivePortCount - 1);
}

QList<QJsonObject> jsonLines(const QString& path)
{
    QList<QJsonObject> records;
    QFile log(path);
    if (!log.open(QIODevice::ReadOnly))
        return records;
    for (const QByteArray& line : log.readAll().split('\n')) {
        if (!line.isEmpty())
            records.append(QJsonDocument::fromJson(line).object());
    }
    return records;
}

bool runningAsRoot()
{
    return ::geteuid() == 0;
}

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

} // namespace serverLaunch
