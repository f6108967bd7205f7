#pragma once

#include <QByteArray>
#include <QList>
#include <QSemaphore>
#include <QThread>

#include <atomic>
#include <mutex>

// A SOCKS 4A relay on 127.0.0.1 (danted speaks only SOCKS 4 and 5): it
// takes a connect request, connects to the host it names and passes bytes
// both ways until either side closes. It records the host named by each
// request, so a test can see that the name (not an address) travelled.
class Socks4aRelay : public QThread
{
public:
    Socks4aRelay() = default;
    ~Socks4aRelay() override;

    bool start();
    quint16 port() const { return port_; }
    // "host:port" of every request, in order.
    QList<QByteArray> requests() const;

protected:
    void run() override;

private:
    friend class Socks4aSession;
    void record(const QByteArray& request);

    std::atomic<quint16> port_ { 0 };
    QSemaphore listening_;
    mutable std::mutex mutex_;
    QList<QByteArray> requests_;
};
