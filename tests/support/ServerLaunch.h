#pragma once

// What every launcher of the servers library shares: the lifetime that
// bounds a server even when its test dies, configuration files, and blocks
// of free ports. Used by the launchers only, not by tests.

#include "ServerProcess.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace serverLaunch
{

// Seconds after which every server stops by itself.
inline const QString lifetimeSeconds = QStringLiteral("300");

// Size of a server's fixed passive (data) port block.
constexpr int passivePortCount = 20;

// Writes a configuration file readable by its owner only (proftpd refuses
// a user file that others can read). Returns an error text, "" on success.
QString writeConfig(const QString& path, const QByteArray& text);

// Runs `program` under timeout(1), which ends it after the lifetime and
// passes our SIGTERM on, and waits until it listens on `port`.
bool startBounded(ServerProcess& process, const QString& program, const QStringList& arguments, quint16 port,
    QString& error);

// Runs one of our Python servers in testservers/ (which bound their own
// lifetime with --lifetime) and waits for its "READY port=<n>" line.
bool startPython(ServerProcess& process, const QString& script, const QStringList& arguments, QString& error);

// The first port of a block of passivePortCount free ports below the
// kernel's ephemeral range: servers with a fixed passive range do not
// compete with the thousands of short connections the tests make.
quint16 freePortBlock();

// "low-high" of the block starting at `first`.
QString portRange(quint16 first, QChar separator);

// The records of a request log that a server appends one JSON object a
// line to (none when the file is missing).
QList<QJsonObject> jsonLines(const QString& path);

bool runningAsRoot();
QByteArray currentUserName();
QByteArray currentGroupName();

} // namespace serverLaunch
