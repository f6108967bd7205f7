#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <chrono>

// A server that a test starts on 127.0.0.1 and stops by its process id when
// the object goes away. The server tells its port on a line of its output
// (stdout or stderr); `readyPattern` captures the port as its first group.
class ServerProcess
{
public:
    ServerProcess() = default;
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts the program and waits until a line matches the pattern. Returns
    // false (with `error()` telling why) when it exits or stays silent.
    bool start(const QString& program, const QStringList& arguments, const QRegularExpression& readyPattern,
        std::chrono::milliseconds wait = std::chrono::seconds(20));

    // For servers that take their port from the command line: waits until a
    // TCP connection to the port succeeds.
    bool startOnPort(const QString& program, const QStringList& arguments, quint16 port,
        std::chrono::milliseconds wait = std::chrono::seconds(20));

    void stop();

    quint16 port() const { return port_; }
    qint64 pid() const { return process_.processId(); }
    QString error() const { return error_; }
    // Everything the server wrote so far (stdout and stderr merged).
    QByteArray output();

private:
    bool launch(const QString& program, const QStringList& arguments);

    QProcess process_;
    QByteArray output_;
    quint16 port_ = 0;
    QString error_;
};

// A TCP port on 127.0.0.1 that nobody listened on a moment ago.
quint16 freeTcpPort();

// The source and build folders of the project.
QString sourcePath(const QString& relative = {});
QString buildPath(const QString& relative = {});
