#include "ServerProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <csignal>
#include <sys/types.h>

ServerProcess::~ServerProcess()
{
    stop();
}

bool ServerProcess::launch(const QString& program, const QStringList& arguments)
{
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start(program, arguments);
    if (process_.waitForStarted(5000))
        return true;
    error_ = QStringLiteral("cannot start %1: %2").arg(program, process_.errorString());
    return false;
}

bool ServerProcess::start(const QString& program, const QStringList& arguments,
    const QRegularExpression& readyPattern, std::chrono::milliseconds wait)
{
    if (!launch(program, arguments))
        return false;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < wait.count()) {
        process_.waitForReadyRead(100);
        output_ += process_.readAll();
        const auto match = readyPattern.match(QString::fromUtf8(output_));
        if (match.hasMatch()) {
            port_ = static_cast<quint16>(match.captured(1).toUInt());
            return true;
        }
        if (process_.state() == QProcess::NotRunning) {
            error_ = QStringLiteral("%1 exited: %2").arg(program, QString::fromUtf8(output_));
            return false;
        }
    }
    error_ = QStringLiteral("%1 never became ready: %2").arg(program, QString::fromUtf8(output_));
    stop();
    return false;
}

bool ServerProcess::startOnPort(
    const QString& program, const QStringList& arguments, quint16 port, std::chrono::milliseconds wait)
{
    if (!launch(program, arguments))
        return false;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < wait.count()) {
        QTcpSocket probe;
        probe.connectToHost(QStringLiteral("127.0.0.1"), port);
        if (probe.waitForConnected(200)) {
            port_ = port;
            return true;
        }
        output_ += process_.readAll();
        if (process_.state() == QProcess::NotRunning) {
            error_ = QStringLiteral("%1 exited: %2").arg(program, QString::fromUtf8(output_));
            return false;
        }
        QThread::msleep(50);
    }
    error_ = QStringLiteral("%1 never listened on %2: %3")
                 .arg(program)
                 .arg(port)
                 .arg(QString::fromUtf8(output_));
    stop();
    return false;
}

void ServerProcess::stop()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    const auto id = static_cast<pid_t>(process_.processId());
    if (id > 0)
        ::kill(id, SIGTERM);
    if (!process_.waitForFinished(3000)) {
        if (id > 0)
            ::kill(id, SIGKILL);
        process_.waitForFinished(3000);
    }
}

QByteArray ServerProcess::output()
{
    output_ += process_.readAll();
    return output_;
}

quint16 freeTcpPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

QString sourcePath(const QString& relative)
{
    const QString root = QStringLiteral(RANQUIL_SOURCE_DIR);
    return relative.isEmpty() ? root : QDir(root).filePath(relative);
}

QString buildPath(const QString& relative)
{
    const QString root = QStringLiteral(RANQUIL_BUILD_DIR);
    return relative.isEmpty() ? root : QDir(root).filePath(relative);
}
