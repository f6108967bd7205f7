#pragma once

// The ranquil-get program run as a user runs it, against a real FTP server
// over a temporary folder, with its program folder in a temporary home.

#include "FtpTestServer.h"
#include "TempHome.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

inline QByteArray md5File(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Md5);
    hash.addData(&file);
    return hash.result().toHex();
}

class GetProgram : public testing::Test
{
protected:
    void SetUp() override
    {
        QDir().mkpath(remote.filePath(QStringLiteral("pub")));
        environment.insert(QStringLiteral("RANQUIL_HOME"), home.path());
    }
    void serve(const QString& name, qint64 size)
    {
        QFile file(remote.filePath(QStringLiteral("pub/") + name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QByteArray block(1 << 16, Qt::Uninitialized);
        quint32 state = 7;
        for (qint64 written = 0; written < size; written += block.size()) {
            for (auto& byte : block) {
                state = state * 1103515245U + 12345U;
                byte = static_cast<char>(state >> 24);
            }
            file.write(block.constData(), std::min<qint64>(block.size(), size - written));
        }
    }
    QString url(const QString& path) const
    {
        const auto encoded
            = [](const QByteArray& text) { return QUrl::toPercentEncoding(QString::fromUtf8(text)); };
        const QString login
            = QString::fromUtf8(encoded(server->user()) + ':' + encoded(server->password()) + '@');
        return QStringLiteral("ftp://") + login + QStringLiteral("127.0.0.1:%1").arg(server->port()) + path;
    }
    void startGet(QProcess& process, const QStringList& arguments)
    {
        process.setProcessEnvironment(environment);
        const QStringList line = wrapper
            + QStringList { QStringLiteral(RANQUIL_GET), QStringLiteral("--timeout"), QStringLiteral("20") }
            + arguments;
        process.start(line.first(), line.mid(1));
        ASSERT_TRUE(process.waitForStarted());
    }
    int runGet(const QStringList& arguments, QByteArray* errors = nullptr)
    {
        QProcess process;
        startGet(process, arguments);
        EXPECT_TRUE(process.waitForFinished(120000));
        if (errors)
            *errors = process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QList<QByteArray> commands(const QByteArray& prefix) const
    {
        QList<QByteArray> lines;
        for (const QByteArray& line : server->commandLog().split('\n'))
            if (line.startsWith(prefix))
                lines << line.trimmed();
        return lines;
    }

    TempHome home;
    QTemporaryDir remote, local;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    std::unique_ptr<FtpTestServer> server;
    QStringList wrapper; // run before the program, which it is given with its arguments
};

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
