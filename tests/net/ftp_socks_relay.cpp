#include "ftp_socks_relay.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <utility>

// One client: the request, then the relay.
class Socks4aSession : public QObject
{
public:
    Socks4aSession(Socks4aRelay& relay, QTcpSocket* client)
        : QObject(client)
        , relay_(relay)
        , client_(client)
        , target_(new QTcpSocket(this))
    {
        connect(client_, &QTcpSocket::readyRead, this, [this] { onClientData(); });
        connect(client_, &QTcpSocket::disconnected, target_, &QTcpSocket::disconnectFromHost);
        connect(target_, &QTcpSocket::connected, this, [this] {
            client_->write(QByteArray("\0\x5a\0\0\0\0\0\0", 8));
            target_->write(std::exchange(early_, {}));
        });
        connect(target_, &QTcpSocket::readyRead, this, [this] { client_->write(target_->readAll()); });
        connect(target_, &QTcpSocket::disconnected, client_, &QTcpSocket::disconnectFromHost);
        connect(target_, &QTcpSocket::errorOccurred, this, [this] {
            if (target_->state() != QAbstractSocket::ConnectedState && !requested_.isEmpty())
                client_->write(QByteArray("\0\x5b\0\0\0\0\0\0", 8));
            client_->disconnectFromHost();
        });
    }

private:
    void onClientData()
    {
        if (target_->state() == QAbstractSocket::ConnectedState) {
            target_->write(client_->readAll());
            return;
        }
        if (!requested_.isEmpty()) {
            early_ += client_->readAll();
            return;
        }
        head_ += client_->readAll();
        // 4, 1, port (2), address (4), user id, 0, [host name, 0]
        if (head_.size() < 9)
            return;
        const qsizetype userEnd = head_.indexOf('\0', 8);
        if (userEnd < 0)
            return;
        const quint16 port = static_cast<quint16>((quint8(head_[2]) << 8) | quint8(head_[3]));
        QByteArray host;
        qsizetype end = userEnd;
        const bool named = head_[4] == 0 && head_[5] == 0 && head_[6] == 0 && head_[7] != 0;
        if (named) {
            end = head_.indexOf('\0', userEnd + 1);
            if (end < 0)
                return;
            host = head_.mid(userEnd + 1, end - userEnd - 1);
        } else {
            host = QByteArray::number(quint8(head_[4])) + '.' + QByteArray::number(quint8(head_[5])) + '.'
                + QByteArray::number(quint8(head_[6])) + '.' + QByteArray::number(quint8(head_[7]));
        }
        requested_ = host + ':' + QByteArray::number(port);
        relay_.record(requested_);
        early_ = head_.mid(end + 1);
        target_->connectToHost(QString::fromLatin1(host), port);
    }

    Socks4aRelay& relay_;
    QTcpSocket* client_;
    QTcpSocket* target_;
    QByteArray head_, requested_, early_;
};

Socks4aRelay::~Socks4aRelay()
{
    quit();
    wait();
}

bool Socks4aRelay::start()
{
    QThread::start();
    return listening_.tryAcquire(1, 10000) && port_ != 0;
}

void Socks4aRelay::run()
{
    QTcpServer server;
    if (server.listen(QHostAddress::LocalHost, 0))
        port_ = server.serverPort();
    listening_.release();
    QObject::connect(&server, &QTcpServer::newConnection, &server, [this, &server] {
        while (QTcpSocket* client = server.nextPendingConnection())
            new Socks4aSession(*this, client);
    });
    exec();
}

void Socks4aRelay::record(const QByteArray& request)
{
    const std::lock_guard lock(mutex_);
    requests_.append(request);
}

QList<QByteArray> Socks4aRelay::requests() const
{
    const std::lock_guard lock(mutex_);
    return requests_;
}
