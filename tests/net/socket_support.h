#pragma once

// Helpers shared by the socket suites: a loopback peer built on Qt's own
// sockets (so the socket under test never talks to itself), an event
// recorder, and a wait that runs the thread's events.

#include "net/EventWait.h"
#include "net/TWSocket.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

inline bool waitUntil(
    const std::function<bool()>& ready, std::chrono::milliseconds limit = std::chrono::seconds(10))
{
    return processEventsUntil(ready, QDeadlineTimer(limit)) == WaitOutcome::Ready;
}

// Runs the thread's events for a while (to show that something does NOT happen).
inline void runEventsFor(std::chrono::milliseconds duration)
{
    processEventsUntil([] { return false; }, QDeadlineTimer(duration));
}

// A TCP server on 127.0.0.1 served by the test's own thread. Each accepted
// connection is handed to `onConnection`; by default it echoes.
class LoopbackPeer : public QObject
{
public:
    LoopbackPeer()
    {
        server_.listen(QHostAddress::LocalHost, 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* client = server_.nextPendingConnection()) {
                connections_.push_back(client);
                connect(client, &QTcpSocket::readyRead, this, [this, client] {
                    const QByteArray data = client->readAll();
                    received_ += data;
                    if (echo_)
                        client->write(data);
                });
                connect(client, &QTcpSocket::disconnected, this, [this] { ++disconnects_; });
                if (onConnection)
                    onConnection(client);
            }
        });
    }

    quint16 port() const { return server_.serverPort(); }
    QString portText() const { return QString::number(port()); }
    void setEcho(bool on) { echo_ = on; }
    QTcpSocket* last() const { return connections_.empty() ? nullptr : connections_.back(); }
    int connectionCount() const { return static_cast<int>(connections_.size()); }
    int disconnects() const { return disconnects_; }
    QByteArray received() const { return received_; }

    std::function<void(QTcpSocket*)> onConnection;

private:
    QTcpServer server_;
    std::vector<QTcpSocket*> connections_;
    QByteArray received_;
    bool echo_ = true;
    int disconnects_ = 0;
};

// Records every event of a socket; data is read as it arrives.
struct SocketEvents {
    std::vector<std::string> log;
    int connected = -1; // error of the last session-connected event
    int connectedCount = 0;
    int closed = -1; // error of the last session-closed event
    int closedCount = 0;
    int dataSentCount = 0;
    int dnsError = -1;
    int dnsCount = 0;
    int socksError = 0;
    QString socksMessage;
    std::vector<TSocksAuthState> authStates;
    QByteArray received;
    std::vector<QThread*> eventThreads;

    void attach(TWSocket& socket)
    {
        auto note = [this](const char* what, int error) {
            log.push_back(std::string(what) + " " + std::to_string(error));
            eventThreads.push_back(QThread::currentThread());
        };
        socket.OnSessionConnected = [this, note](int error) {
            note("connected", error);
            connected = error;
            ++connectedCount;
        };
        socket.OnDataAvailable = [this, note, &socket](int error) {
            note("data", error);
            received += socket.ReceiveStr();
        };
        socket.OnDataSent = [this, note](int error) {
            note("sent", error);
            ++dataSentCount;
        };
        socket.OnSessionClosed = [this, note](int error) {
            note("closed", error);
            closed = error;
            ++closedCount;
        };
        socket.OnDnsLookupDone = [this, note](int error) {
            note("dns", error);
            dnsError = error;
            ++dnsCount;
        };
        socket.OnSocksError = [this, note](int code, const QString& message) {
            note("socks-error", code);
            socksError = code;
            socksMessage = message;
        };
        socket.OnSocksAuthState = [this](TSocksAuthState state) { authStates.push_back(state); };
    }
};

// Sets a socket up for a plain connection to 127.0.0.1:`port`.
inline void aimAt(TWSocket& socket, quint16 port, const QString& host = QStringLiteral("127.0.0.1"))
{
    socket.SetAddr(host);
    socket.SetPort(QString::number(port));
    socket.SetProto(QStringLiteral("tcp"));
}
