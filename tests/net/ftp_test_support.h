#pragma once

// Helpers shared by the FTP component suites.

#include "net/EventWait.h"
#include "net/TFtpClient.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>

// Every line the component shows in its log.
struct FtpLog {
    QStringList lines;

    void attach(TCustomFtpCli& client)
    {
        client.OnDisplay = [this](const QString& line) { lines << line; };
    }
    bool contains(const QString& text) const
    {
        for (const QString& line : lines) {
            if (line.contains(text))
                return true;
        }
        return false;
    }
    QString text() const { return lines.join(QLatin1Char('\n')); }
};

// Points a component at 127.0.0.1:`port` with a login.
inline void aimAt(TFtpClient& client, quint16 port, const QByteArray& user = "anonymous",
    const QByteArray& password = "guest@example.com")
{
    client.SetHostName(QStringLiteral("127.0.0.1"));
    client.SetPort(QString::number(port));
    client.SetUserName(user);
    client.SetPassWord(password);
}

// Open, User and Pass; false at the first that fails.
inline bool logIn(TFtpClient& client)
{
    return client.Open() && client.User() && client.Pass();
}

inline QByteArray readLocalFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeLocalFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

// Bytes that differ from position to position, so that a shifted or
// repeated block shows.
inline QByteArray patternBytes(qint64 size, int seed = 0)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = 2166136261u ^ static_cast<quint32>(seed);
    for (qint64 i = 0; i < size; ++i) {
        state = state * 16777619u + 0x9e3779b9u;
        bytes[i] = static_cast<char>(state >> 24);
    }
    return bytes;
}

// Runs this thread's events until `ready()` or `limit` passes.
inline bool runEventsUntil(
    const std::function<bool()>& ready, std::chrono::milliseconds limit = std::chrono::seconds(20))
{
    return processEventsUntil(ready, QDeadlineTimer(limit)) == WaitOutcome::Ready;
}
