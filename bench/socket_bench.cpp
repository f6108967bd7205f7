// Loopback throughput of the socket layer, next to QTcpSocket as the peer to
// beat: receiving a 64 MiB stream (what an FTP download does) and sending
// one (an upload). The other end is a plain blocking socket on a thread.

#include "net/EventWait.h"
#include "net/TWSocket.h"

#include <QCoreApplication>
#include <QTcpSocket>
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{

constexpr qint64 streamBytes = 64LL * 1024 * 1024;

// Accepts one connection and either sends `bytes` then closes, or reads
// until the end of the stream.
class BlockingPeer
{
public:
    enum Mode { Send, Drain };

    explicit BlockingPeer(Mode mode)
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 1);
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this, mode] {
            const int connection = ::accept(listener_, nullptr, nullptr);
            std::vector<char> chunk(256 * 1024, 'd');
            if (mode == Send) {
                for (qint64 sent = 0; sent < streamBytes;) {
                    const ssize_t n = ::send(connection, chunk.data(),
                        static_cast<size_t>(std::min<qint64>(chunk.size(), streamBytes - sent)), 0);
                    if (n <= 0)
                        break;
                    sent += n;
                }
            } else {
                while (::recv(connection, chunk.data(), chunk.size(), 0) > 0) { }
            }
            ::close(connection);
        });
    }
    ~BlockingPeer()
    {
        thread_.join();
        ::close(listener_);
    }
    quint16 port() const { return port_; }

private:
    int listener_ = -1;
    quint16 port_ = 0;
    std::thread thread_;
};

void waitFor(const std::function<bool()>& ready)
{
    processEventsUntil(ready, QDeadlineTimer(std::chrono::seconds(60)));
}

void BM_ReceiveTWSocket(benchmark::State& state)
{
    for (auto _ : state) {
        BlockingPeer peer(BlockingPeer::Send);
        TWSocket socket;
        qint64 received = 0;
        bool closed = false;
        std::vector<char> buffer(65536);
        socket.OnDataAvailable = [&](int) {
            const int n = socket.Receive(buffer.data(), static_cast<int>(buffer.size()));
            if (n > 0)
                received += n;
        };
        socket.OnSessionClosed = [&](int) { closed = true; };
        socket.SetAddr(QStringLiteral("127.0.0.1"));
        socket.SetPort(QString::number(peer.port()));
        socket.Connect();
        waitFor([&] { return closed; });
        if (received != streamBytes)
            state.SkipWithError("stream incomplete");
    }
    state.SetBytesProcessed(state.iterations() * streamBytes);
}

void BM_ReceiveQTcpSocket(benchmark::State& state)
{
    for (auto _ : state) {
        BlockingPeer peer(BlockingPeer::Send);
        QTcpSocket socket;
        qint64 received = 0;
        bool closed = false;
        std::vector<char> buffer(65536);
        QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [&] {
            qint64 n;
            while ((n = socket.read(buffer.data(), static_cast<qint64>(buffer.size()))) > 0)
                received += n;
        });
        QObject::connect(&socket, &QTcpSocket::disconnected, &socket, [&] { closed = true; });
        socket.connectToHost(QHostAddress::LocalHost, peer.port());
        waitFor([&] { return closed; });
        if (received != streamBytes)
            state.SkipWithError("stream incomplete");
    }
    state.SetBytesProcessed(state.iterations() * streamBytes);
}

// Sends the stream in blocks of `state.range(0)` bytes, one block per
// data-sent event (the upload pattern), then closes.
void BM_SendTWSocket(benchmark::State& state)
{
    const int block = static_cast<int>(state.range(0));
    const std::vector<char> data(static_cast<size_t>(block), 'u');
    for (auto _ : state) {
        BlockingPeer peer(BlockingPeer::Drain);
        TWSocket socket;
        qint64 sent = 0;
        bool done = false;
        auto sendNext = [&] {
            if (sent >= streamBytes) {
                socket.SetLingerOnOff(wsLingerOff);
                socket.SetLingerOption();
                socket.Close();
                done = true;
                return;
            }
            sent += socket.Send(data.data(), block);
        };
        socket.OnSessionConnected = [&](int) { sendNext(); };
        socket.OnDataSent = [&](int) { sendNext(); };
        socket.SetAddr(QStringLiteral("127.0.0.1"));
        socket.SetPort(QString::number(peer.port()));
        socket.Connect();
        waitFor([&] { return done; });
    }
    state.SetBytesProcessed(state.iterations() * streamBytes);
}

void BM_SendQTcpSocket(benchmark::State& state)
{
    const int block = static_cast<int>(state.range(0));
    const QByteArray data(block, 'u');
    for (auto _ : state) {
        BlockingPeer peer(BlockingPeer::Drain);
        QTcpSocket socket;
        qint64 sent = 0;
        bool done = false;
        auto sendNext = [&] {
            if (sent >= streamBytes) {
                socket.disconnectFromHost();
                return;
            }
            sent += socket.write(data);
        };
        QObject::connect(&socket, &QTcpSocket::connected, &socket, sendNext);
        QObject::connect(&socket, &QTcpSocket::bytesWritten, &socket, [&] {
            if (socket.bytesToWrite() == 0)
                sendNext();
        });
        QObject::connect(&socket, &QTcpSocket::disconnected, &socket, [&] { done = true; });
        socket.connectToHost(QHostAddress::LocalHost, peer.port());
        waitFor([&] { return done; });
    }
    state.SetBytesProcessed(state.iterations() * streamBytes);
}

BENCHMARK(BM_ReceiveTWSocket)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReceiveQTcpSocket)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SendTWSocket)->Arg(1460)->Arg(65536)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SendQTcpSocket)->Arg(1460)->Arg(65536)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
