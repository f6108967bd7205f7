#include "ScriptedFtpServer.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace
{

#if defined(__SANITIZE_THREAD__)
void announceRelease(void* address)
{
    __tsan_release(address);
}
void announceAcquire(void* address)
{
    __tsan_acquire(address);
}
#else
void announceRelease(void*)
{
}
void announceAcquire(void*)
{
}
#endif

} // namespace

// One control connection and its data connections, in the server thread.
class ScriptedControlSession : public QObject
{
public:
    ScriptedControlSession(ScriptedFtpServer& server, QTcpSocket* control)
        : QObject(control)
        , server_(server)
        , control_(control)
    {
        connect(control_, &QTcpSocket::readyRead, this, [this] { onReadyRead(); });
        control_->write(server_.greeting);
        if (server_.closeAfterGreeting)
            control_->disconnectFromHost();
    }

private:
    void onReadyRead()
    {
        buffer_ += control_->readAll();
        for (qsizetype end = buffer_.indexOf('\n'); end >= 0; end = buffer_.indexOf('\n')) {
            QByteArray line = buffer_.left(end);
            buffer_.remove(0, end + 1);
            if (line.endsWith('\r'))
                line.chop(1);
            handle(line);
        }
    }

    void reply(const QByteArray& text)
    {
        if (control_->state() == QAbstractSocket::ConnectedState)
            control_->write(text);
    }

    void handle(const QByteArray& line)
    {
        server_.record(line);
        const qsizetype blank = line.indexOf(' ');
        const QByteArray verb = (blank < 0 ? line : line.left(blank)).toUpper();
        const QByteArray argument = blank < 0 ? QByteArray() : line.mid(blank + 1);
        const auto forLine = server_.lineReplies.find(line);
        const auto forVerb = server_.replies.find(verb);
        if (forLine != server_.lineReplies.end())
            reply(forLine->second);
        else if (forVerb != server_.replies.end())
            reply(forVerb->second);
        else
            builtIn(verb, argument);
        if (server_.closeAfter.count(verb) != 0)
            control_->disconnectFromHost();
    }

    void builtIn(const QByteArray& verb, const QByteArray& argument)
    {
        if (verb == "USER")
            reply("331 Password please\r\n");
        else if (verb == "PASS")
            reply("230 Logged in\r\n");
        else if (verb == "TYPE")
            reply("200 Type set\r\n");
        else if (verb == "PWD")
            reply("257 \"/\" is the current directory\r\n");
        else if (verb == "CWD")
            reply("250 Directory changed\r\n");
        else if (verb == "SIZE")
            reply("213 " + QByteArray::number(server_.download.size()) + "\r\n");
        else if (verb == "REST") {
            restOffset_ = argument.toLongLong();
            reply("350 Restarting at " + argument + "\r\n");
        } else if (verb == "PASV")
            startPassive();
        else if (verb == "PORT")
            takePort(argument);
        else if (verb == "RETR" || verb == "LIST")
            startDownload(verb == "RETR");
        else if (verb == "STOR")
            startUpload();
        else if (verb == "ABOR")
            reply(transferStalled_ && !transferDropped_ ? "426 Transfer aborted\r\n226 ABOR successful\r\n"
                                                        : "225 No transfer to abort\r\n");
        else if (verb == "QUIT") {
            reply("221 Goodbye\r\n");
            control_->disconnectFromHost();
        } else
            reply("500 Unknown command\r\n");
    }

    void startPassive()
    {
        delete dataListener_;
        dataListener_ = new QTcpServer(this);
        dataListener_->listen(QHostAddress::LocalHost, 0);
        readyConnection_ = nullptr;
        waitingUse_ = nullptr;
        transferDropped_ = false;
        connect(dataListener_, &QTcpServer::newConnection, this, [this] { takePassiveConnections(); });
        const quint16 port = dataListener_->serverPort();
        passive_ = true;
        reply("227 Entering Passive Mode (" + server_.passiveAddress + ',' + QByteArray::number(port >> 8)
            + ',' + QByteArray::number(port & 0xff) + ")\r\n");
    }

    void takePassiveConnections()
    {
        while (QTcpSocket* data = dataListener_->nextPendingConnection()) {
            if (passiveDrops_ < server_.dropPassiveConnections) {
                ++passiveDrops_;
                transferDropped_ = true;
                data->abort();
                data->deleteLater();
                continue;
            }
            if (waitingUse_)
                std::exchange(waitingUse_, nullptr)(data);
            else
                readyConnection_ = data;
        }
    }

    void takePort(const QByteArray& argument)
    {
        const QList<QByteArray> numbers = argument.split(',');
        if (numbers.size() != 6) {
            reply("501 Bad PORT\r\n");
            return;
        }
        activeHost_
            = QString::fromLatin1(numbers[0] + '.' + numbers[1] + '.' + numbers[2] + '.' + numbers[3]);
        activePort_ = static_cast<quint16>(numbers[4].toInt() * 256 + numbers[5].toInt());
        passive_ = false;
        reply("200 PORT command successful\r\n");
    }

    void withDataConnection(const std::function<void(QTcpSocket*)>& use)
    {
        if (!passive_) {
            connectActive(server_.strangerSources, use);
            return;
        }
        if (transferDropped_) {
            transferStalled_ = true;
            return;
        }
        if (readyConnection_)
            use(std::exchange(readyConnection_, nullptr));
        else
            waitingUse_ = use;
    }

    // Strangers one after the other (each once the client has dropped it),
    // then the real connection.
    void connectActive(QStringList sources, const std::function<void(QTcpSocket*)>& use)
    {
        auto* socket = new QTcpSocket(this);
        // A server reaching the client never goes through the desktop's proxy;
        // asking for it would start Qt's proxy look-up thread for nothing.
        socket->setProxy(QNetworkProxy::NoProxy);
        if (sources.isEmpty()) {
            connect(socket, &QTcpSocket::connected, this, [socket, use] { use(socket); });
            socket->connectToHost(activeHost_, activePort_);
            return;
        }
        socket->bind(QHostAddress(sources.takeFirst()));
        connect(
            socket, &QTcpSocket::disconnected, this, [this, sources, use] { connectActive(sources, use); });
        socket->connectToHost(activeHost_, activePort_);
    }

    void startDownload(bool file)
    {
        reply("150 Opening data connection\r\n");
        if (server_.stallTransfers) {
            transferStalled_ = true;
            return;
        }
        const qint64 offset = file && !server_.ignoreRest ? std::exchange(restOffset_, 0) : 0;
        const qint64 end = file && server_.cutAt >= 0 ? server_.cutAt : server_.download.size();
        const QByteArray contents = server_.download.mid(offset, std::max<qint64>(0, end - offset));
        withDataConnection([this, contents](QTcpSocket* data) {
            if (server_.endlessDownload) {
                sendForEver(data, contents);
                return;
            }
            if (server_.finalReplyBeforeData) {
                reply(server_.finalReply);
                QTimer::singleShot(200, data, [data, contents] {
                    data->write(contents);
                    data->disconnectFromHost();
                });
                return;
            }
            connect(data, &QTcpSocket::disconnected, this, [this] { reply(server_.finalReply); });
            data->write(contents);
            data->disconnectFromHost();
        });
    }

    // Keeps a few copies of `contents` queued until the client hangs up.
    void sendForEver(QTcpSocket* data, const QByteArray& contents)
    {
        const QByteArray chunk = contents.repeated(std::max<qsizetype>(1, 65536 / contents.size()));
        const auto topUp = [data, chunk] {
            while (
                data->state() == QAbstractSocket::ConnectedState && data->bytesToWrite() < 4 * chunk.size())
                data->write(chunk);
        };
        connect(data, &QTcpSocket::bytesWritten, data, topUp);
        connect(data, &QTcpSocket::disconnected, this, [this] { reply("426 Connection closed\r\n"); });
        topUp();
    }

    void startUpload()
    {
        reply("150 Ready to receive\r\n");
        withDataConnection([this](QTcpSocket* data) {
            auto received = std::make_shared<QByteArray>();
            auto finished = std::make_shared<bool>(false);
            const auto finish = [this, received, finished] {
                if (std::exchange(*finished, true))
                    return;
                server_.storeUpload(*received);
                reply("226 Transfer complete\r\n");
            };
            connect(data, &QTcpSocket::readyRead, this, [this, data, received, finish] {
                *received += data->readAll();
                if (server_.uploadCutAfter >= 0 && received->size() >= server_.uploadCutAfter) {
                    received->truncate(server_.uploadCutAfter);
                    finish();
                    data->abort();
                }
            });
            connect(data, &QTcpSocket::disconnected, this, [data, received, finished, finish] {
                if (!*finished)
                    *received += data->readAll();
                finish();
            });
        });
    }

    ScriptedFtpServer& server_;
    QTcpSocket* control_;
    QByteArray buffer_;
    QTcpServer* dataListener_ = nullptr;
    QTcpSocket* readyConnection_ = nullptr; // passive, arrived before its command
    std::function<void(QTcpSocket*)> waitingUse_; // a command waiting for its connection
    int passiveDrops_ = 0;
    bool transferDropped_ = false;
    qint64 restOffset_ = 0;
    bool passive_ = false;
    bool transferStalled_ = false;
    QString activeHost_;
    quint16 activePort_ = 0;
};

ScriptedFtpServer::~ScriptedFtpServer()
{
    quit();
    wait();
    // ThreadSanitizer cannot see into Qt's wait: the end of run() is
    // announced to it.
    announceAcquire(this);
}

bool ScriptedFtpServer::start()
{
    QThread::start();
    return listening_.tryAcquire(1, 10000) && port_ != 0;
}

void ScriptedFtpServer::run()
{
    QTcpServer server;
    if (server.listen(QHostAddress::LocalHost, 0))
        port_ = server.serverPort();
    listening_.release();
    QObject::connect(&server, &QTcpServer::newConnection, &server, [this, &server] {
        while (QTcpSocket* control = server.nextPendingConnection())
            new ScriptedControlSession(*this, control);
    });
    exec();
    announceRelease(this);
}

void ScriptedFtpServer::record(const QByteArray& line)
{
    const std::lock_guard lock(mutex_);
    commands_.append(line);
}

void ScriptedFtpServer::storeUpload(const QByteArray& data)
{
    const std::lock_guard lock(mutex_);
    uploaded_ = data;
}

QList<QByteArray> ScriptedFtpServer::commands() const
{
    const std::lock_guard lock(mutex_);
    return commands_;
}

bool ScriptedFtpServer::received(const QByteArray& prefix) const
{
    const std::lock_guard lock(mutex_);
    for (const QByteArray& line : commands_) {
        if (line.startsWith(prefix))
            return true;
    }
    return false;
}

QByteArray ScriptedFtpServer::uploaded() const
{
    const std::lock_guard lock(mutex_);
    return uploaded_;
}
