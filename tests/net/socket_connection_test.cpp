#include "socket_support.h"

#include "ServerProcess.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace
{

using namespace std::chrono_literals;

QString errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const ESocketException& e) {
        return e.message();
    }
    return {};
}

// A socket connected to `peer`, with its events recorded.
struct Connected {
    TWSocket socket;
    SocketEvents events;

    explicit Connected(LoopbackPeer& peer)
    {
        events.attach(socket);
        aimAt(socket, peer.port());
        socket.Connect();
        EXPECT_TRUE(waitUntil([&] { return events.connectedCount > 0; }));
        EXPECT_EQ(events.connected, 0);
        EXPECT_TRUE(waitUntil([&] { return peer.last() != nullptr; }));
    }
};

TEST(SocketConnection, ConnectsSendsAndReceives)
{
    LoopbackPeer peer;
    TWSocket socket;
    SocketEvents events;
    events.attach(socket);
    std::vector<TSocketState> states;
    socket.OnChangeState = [&](TSocketState, TSocketState now) { states.push_back(now); };
    aimAt(socket, peer.port());
    socket.Connect();
    EXPECT_EQ(socket.State(), wsConnecting);
    EXPECT_EQ(events.connectedCount, 0) << "the outcome of a connect is always an event";
    ASSERT_TRUE(waitUntil([&] { return events.connectedCount == 1; }));
    EXPECT_EQ(events.connected, 0);
    EXPECT_EQ(socket.State(), wsConnected);
    EXPECT_EQ(states, (std::vector<TSocketState> { wsOpened, wsConnecting, wsConnected }));

    EXPECT_EQ(socket.SendStr("hello, peer\r\n"), 13);
    ASSERT_TRUE(waitUntil([&] { return events.received == "hello, peer\r\n"; }));
    EXPECT_EQ(events.dataSentCount, 1);
    EXPECT_EQ(socket.GetPeerName().port, peer.port());
    EXPECT_EQ(socket.GetSockName().address, QStringLiteral("127.0.0.1"));
}

TEST(SocketConnection, RefusedConnectionReports10061)
{
    TWSocket socket;
    SocketEvents events;
    events.attach(socket);
    aimAt(socket, freeTcpPort());
    socket.Connect();
    ASSERT_TRUE(waitUntil([&] { return events.connectedCount == 1; }));
    EXPECT_EQ(events.connected, 10061);
    EXPECT_EQ(WSocketErrorDesc(events.connected), QStringLiteral("Connection refused"));
    EXPECT_EQ(socket.State(), wsClosed);
    runEventsFor(100ms);
    EXPECT_EQ(events.closedCount, 0) << "a connection that never came up does not close";
    EXPECT_EQ(events.connectedCount, 1);
}

TEST(SocketConnection, UnresolvableNameReports11001)
{
    TWSocket socket;
    SocketEvents events;
    events.attach(socket);
    socket.DnsLookup(QStringLiteral("no-such-host.invalid"));
    EXPECT_EQ(events.dnsCount, 0);
    ASSERT_TRUE(waitUntil([&] { return events.dnsCount == 1; }));
    EXPECT_EQ(events.dnsError, 11001);
    EXPECT_EQ(WSocketErrorDesc(events.dnsError), QStringLiteral("Host not found"));
}

TEST(SocketConnection, ConnectToAnUnresolvableNameIsAUsageError)
{
    TWSocket socket;
    aimAt(socket, 21, QStringLiteral("no-such-host.invalid"));
    EXPECT_EQ(errorOf([&] { socket.Connect(); }),
        QStringLiteral("connect: WSocketResolveHost: Cannot convert host address 'no-such-host.invalid', "
                       "Error #11001"));
    EXPECT_EQ(socket.State(), wsClosed);
}

TEST(SocketConnection, DnsLookupOfADottedAddressAnswersInsideTheCall)
{
    TWSocket socket;
    SocketEvents events;
    events.attach(socket);
    socket.DnsLookup(QStringLiteral("192.168.1.2"));
    EXPECT_EQ(events.dnsCount, 1);
    EXPECT_EQ(events.dnsError, 0);
    EXPECT_EQ(socket.DnsResult(), QStringLiteral("192.168.1.2"));
}

TEST(SocketConnection, DnsLookupOfANameAnswersLater)
{
    TWSocket socket;
    SocketEvents events;
    events.attach(socket);
    socket.DnsLookup(QStringLiteral("localhost"));
    EXPECT_EQ(events.dnsCount, 0);
    ASSERT_TRUE(waitUntil([&] { return events.dnsCount == 1; }));
    EXPECT_EQ(events.dnsError, 0);
    EXPECT_EQ(socket.DnsResult(), QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(socket.DnsResultList().contains(QStringLiteral("127.0.0.1")));
}

TEST(SocketConnection, CancelledDnsLookupFiresNothing)
{
    TWSocket socket;
    SocketEvents events;
    events.attach(socket);
    socket.DnsLookup(QStringLiteral("localhost"));
    socket.CancelDnsLookup();
    runEventsFor(300ms);
    EXPECT_EQ(events.dnsCount, 0);
}

TEST(SocketConnection, EmptyDnsLookupIsAUsageError)
{
    TWSocket socket;
    SocketEvents events;
    events.attach(socket);
    EXPECT_EQ(errorOf([&] { socket.DnsLookup({}); }), QStringLiteral("DNS lookup: invalid host name."));

    QString reported;
    socket.OnError = [&](const ESocketException& e) { reported = e.message(); };
    socket.DnsLookup({});
    EXPECT_EQ(reported, QStringLiteral("DNS lookup: invalid host name."));
    EXPECT_EQ(events.dnsError, 10022);
}

TEST(SocketConnection, PeerCloseDeliversTheDataThenClosesOnce)
{
    LoopbackPeer peer;
    peer.onConnection = [](QTcpSocket* client) {
        client->write("last words\r\n");
        client->disconnectFromHost();
    };
    TWSocket socket;
    SocketEvents events;
    events.attach(socket);
    aimAt(socket, peer.port());
    socket.Connect();
    ASSERT_TRUE(waitUntil([&] { return events.closedCount == 1; }));
    EXPECT_EQ(events.received, "last words\r\n");
    EXPECT_EQ(events.closed, 0);
    EXPECT_EQ(events.log.back(), "closed 0") << "data comes before the close";
    EXPECT_EQ(socket.State(), wsClosed);
    socket.Close();
    runEventsFor(100ms);
    EXPECT_EQ(events.closedCount, 1);
}

TEST(SocketConnection, PeerCloseWaitsForAReaderThatTakesLittleAtATime)
{
    LoopbackPeer peer;
    const QByteArray payload(100000, 'q');
    peer.onConnection = [&](QTcpSocket* client) {
        client->write(payload);
        client->disconnectFromHost();
    };
    TWSocket socket;
    QByteArray received;
    int closed = 0;
    socket.OnDataAvailable = [&](int) {
        char piece[100];
        const int n = socket.Receive(piece, sizeof piece);
        if (n > 0)
            received.append(piece, n);
    };
    socket.OnSessionClosed = [&](int) { ++closed; };
    aimAt(socket, peer.port());
    socket.Connect();
    ASSERT_TRUE(waitUntil([&] { return closed == 1; }));
    EXPECT_EQ(received.size(), payload.size());
}

TEST(SocketConnection, PeerResetClosesWithError10054)
{
    LoopbackPeer peer;
    Connected c(peer);
    // A zero linger time makes Qt's close a reset.
    const int handle = static_cast<int>(peer.last()->socketDescriptor());
    linger reset { 1, 0 };
    ::setsockopt(handle, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    peer.last()->abort();
    ASSERT_TRUE(waitUntil([&] { return c.events.closedCount == 1; }));
    EXPECT_EQ(c.events.closed, 10054);
    EXPECT_EQ(c.socket.State(), wsClosed);
    EXPECT_EQ(errorOf([&] { c.socket.SendStr("too late"); }),
        QStringLiteral("Error 10057 in function Send\r\nSocket is not connected"));
    EXPECT_EQ(c.events.closedCount, 1);
}

TEST(SocketConnection, ExceptionFromAHandlerStaysInTheSocket)
{
    LoopbackPeer peer;
    Connected c(peer);
    int calls = 0;
    c.socket.OnDataAvailable = [&](int) {
        ++calls;
        c.socket.ReceiveStr();
        throw std::runtime_error("handler failed");
    };
    c.socket.SendStr("one");
    ASSERT_TRUE(waitUntil([&] { return calls == 1; }));
    c.socket.SendStr("two");
    ASSERT_TRUE(waitUntil([&] { return calls == 2; }));
    EXPECT_EQ(c.socket.State(), wsConnected);
}

TEST(SocketConnection, CloseFiresSessionClosedOnceAndRestoresTheDefaults)
{
    LoopbackPeer peer;
    Connected c(peer);
    c.socket.SetLingerOnOff(wsLingerOff);
    c.socket.Close();
    EXPECT_EQ(c.events.closedCount, 1);
    EXPECT_EQ(c.events.closed, 0);
    c.socket.Close();
    runEventsFor(100ms);
    EXPECT_EQ(c.events.closedCount, 1);
    EXPECT_EQ(c.socket.State(), wsClosed);
    EXPECT_EQ(c.socket.Addr(), QString());
    EXPECT_EQ(c.socket.Port(), QString());
    EXPECT_EQ(c.socket.Proto(), QStringLiteral("tcp"));
    EXPECT_EQ(c.socket.LocalAddr(), QStringLiteral("0.0.0.0"));
    EXPECT_EQ(c.socket.LocalPort(), QStringLiteral("0"));
    EXPECT_EQ(c.socket.LingerOnOff(), wsLingerOn);
    EXPECT_EQ(c.socket.LingerTimeout(), 0);
    EXPECT_TRUE(waitUntil([&] { return peer.disconnects() == 1; }));
}

TEST(SocketConnection, SessionClosedHandlerMayConnectAgain)
{
    LoopbackPeer peer;
    Connected c(peer);
    bool reconnected = false;
    c.socket.OnSessionClosed = [&](int) {
        if (reconnected)
            return;
        reconnected = true;
        aimAt(c.socket, peer.port());
        c.socket.Connect();
    };
    c.socket.Close();
    ASSERT_TRUE(waitUntil([&] { return c.events.connectedCount == 2; }));
    EXPECT_EQ(c.socket.State(), wsConnected);
    EXPECT_EQ(peer.connectionCount(), 2);
}

TEST(SocketConnection, DestroyedSocketFiresNothing)
{
    LoopbackPeer peer;
    SocketEvents events;
    int closedCount = 0;
    {
        auto socket = std::make_unique<TWSocket>();
        events.attach(*socket);
        socket->OnSessionClosed = [&](int) { ++closedCount; };
        aimAt(*socket, peer.port());
        socket->Connect();
        ASSERT_TRUE(waitUntil([&] { return events.connectedCount == 1; }));
        socket->SendStr("pending");
        socket->CloseDelayed();
    }
    runEventsFor(200ms);
    EXPECT_EQ(closedCount, 0);
    EXPECT_EQ(events.dataSentCount, 0);
    EXPECT_TRUE(waitUntil([&] { return peer.disconnects() == 1; }));
}

TEST(SocketConnection, CloseDelayedClosesAfterTheCurrentEvent)
{
    LoopbackPeer peer;
    Connected c(peer);
    TSocketState stateAfterCall = wsInvalidState;
    c.socket.OnDataAvailable = [&](int) {
        c.socket.ReceiveStr();
        c.socket.CloseDelayed();
        stateAfterCall = c.socket.State();
    };
    c.socket.SendStr("ping");
    ASSERT_TRUE(waitUntil([&] { return c.events.closedCount == 1; }));
    EXPECT_EQ(stateAfterCall, wsConnected);
    runEventsFor(100ms);
    EXPECT_EQ(c.events.closedCount, 1);
}

TEST(SocketConnection, CloseDelayedLeavesALaterConnectionAlone)
{
    LoopbackPeer peer;
    Connected c(peer);
    c.socket.CloseDelayed();
    c.socket.Close();
    aimAt(c.socket, peer.port());
    c.socket.Connect();
    ASSERT_TRUE(waitUntil([&] { return c.events.connectedCount == 2; }));
    runEventsFor(100ms);
    EXPECT_EQ(c.socket.State(), wsConnected);
    EXPECT_EQ(c.events.closedCount, 1);
}

TEST(SocketConnection, ProcessMessagesRunsPendingEvents)
{
    LoopbackPeer peer;
    Connected c(peer);
    c.socket.CloseDelayed();
    EXPECT_EQ(c.socket.State(), wsConnected);
    EXPECT_FALSE(c.socket.ProcessMessages());
    EXPECT_FALSE(c.socket.Terminated());
    EXPECT_EQ(c.socket.State(), wsClosed);
}

TEST(SocketConnection, AbortDropsUnsentDataAndClosesOnce)
{
    LoopbackPeer peer;
    Connected c(peer);
    c.socket.PutDataInSendBuffer("never sent", 10);
    EXPECT_EQ(c.socket.BufferedByteCount(), 10);
    c.socket.Abort();
    EXPECT_EQ(c.events.closedCount, 1);
    EXPECT_EQ(c.socket.BufferedByteCount(), 0);
    EXPECT_TRUE(waitUntil([&] { return peer.disconnects() == 1; }));
    EXPECT_TRUE(peer.received().isEmpty());
}

TEST(SocketConnection, LargeSendArrivesWholeInOrderWithOneDataSent)
{
    LoopbackPeer peer;
    peer.setEcho(false);
    Connected c(peer);
    QByteArray payload(8 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>((i * 7 + i / 1000) & 0xFF);
    c.socket.Send(payload.constData(), static_cast<int>(payload.size()));
    EXPECT_GT(c.socket.BufferedByteCount(), 0) << "the system cannot take 8 MiB at once";
    ASSERT_TRUE(waitUntil([&] { return peer.received().size() == payload.size(); }, 30s));
    EXPECT_EQ(QCryptographicHash::hash(peer.received(), QCryptographicHash::Md5),
        QCryptographicHash::hash(payload, QCryptographicHash::Md5));
    ASSERT_TRUE(waitUntil([&] { return c.events.dataSentCount >= 1; }));
    runEventsFor(100ms);
    EXPECT_EQ(c.events.dataSentCount, 1);
}

// A peer that reads to the end of the stream, then answers and closes: what
// a server does with a half-closed connection (Qt's own sockets close
// entirely when the other side ends, so this one is plain POSIX).
class HalfClosePeer
{
public:
    HalfClosePeer()
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
        thread_ = std::thread([this] {
            const int connection = ::accept(listener_, nullptr, nullptr);
            char chunk[65536];
            ssize_t n;
            while ((n = ::recv(connection, chunk, sizeof chunk, 0)) > 0)
                received_ += n;
            ::send(connection, "answer after your end", 21, MSG_NOSIGNAL);
            ::close(connection);
        });
    }
    ~HalfClosePeer()
    {
        ::shutdown(listener_, SHUT_RDWR);
        thread_.join();
        ::close(listener_);
    }
    quint16 port() const { return port_; }
    qint64 received() const { return received_; }

private:
    int listener_ = -1;
    quint16 port_ = 0;
    std::atomic<qint64> received_ { 0 };
    std::thread thread_;
};

TEST(SocketConnection, ShutdownOfSendingWaitsForBufferedDataAndKeepsReceiving)
{
    HalfClosePeer peer;
    TWSocket socket;
    SocketEvents events;
    events.attach(socket);
    aimAt(socket, peer.port());
    socket.Connect();
    ASSERT_TRUE(waitUntil([&] { return events.connectedCount == 1; }));
    const QByteArray payload(2 * 1024 * 1024, 'z');
    socket.Send(payload.constData(), static_cast<int>(payload.size()));
    socket.Shutdown(1);
    ASSERT_TRUE(waitUntil([&] { return events.closedCount == 1; }, 30s));
    EXPECT_EQ(peer.received(), payload.size());
    EXPECT_EQ(events.received, "answer after your end");
}

TEST(SocketConnection, ListenAcceptAndDupCarryAConnection)
{
    TWSocket listener;
    listener.SetAddr(QStringLiteral("0.0.0.0"));
    listener.SetPort(QStringLiteral("0"));
    int available = 0;
    listener.OnSessionAvailable = [&](int) { ++available; };
    listener.Listen();
    ASSERT_EQ(listener.State(), wsListening);
    const quint16 port = listener.GetSockName().port;
    ASSERT_NE(port, 0);

    TWSocket client;
    SocketEvents clientEvents;
    clientEvents.attach(client);
    aimAt(client, port);
    client.Connect();
    ASSERT_TRUE(waitUntil([&] { return available == 1 && clientEvents.connectedCount == 1; }));

    SocketEvents serverEvents;
    serverEvents.attach(listener);
    const int handle = listener.Accept();
    ASSERT_GE(handle, 0);
    EXPECT_EQ(listener.Accept(), -1);
    EXPECT_EQ(listener.LastError(), 10035);
    listener.Close();
    EXPECT_EQ(serverEvents.closedCount, 0) << "a listening socket has no session to close";
    listener.Dup(handle);
    EXPECT_EQ(listener.State(), wsConnected);
    EXPECT_EQ(listener.GetPeerName().port, client.GetSockName().port);

    client.SendStr("STOR data");
    listener.SendStr("RETR data");
    ASSERT_TRUE(waitUntil(
        [&] { return serverEvents.received == "STOR data" && clientEvents.received == "RETR data"; }));
    client.Close();
    ASSERT_TRUE(waitUntil([&] { return serverEvents.closedCount == 1; }));
}

TEST(SocketConnection, ListeningSocketAnnouncesEachConnectionOnce)
{
    TWSocket listener;
    listener.SetAddr(QStringLiteral("127.0.0.1"));
    listener.SetPort(QStringLiteral("0"));
    int available = 0;
    listener.OnSessionAvailable = [&](int) { ++available; };
    listener.Listen();
    TWSocket client;
    aimAt(client, listener.GetSockName().port);
    client.Connect();
    ASSERT_TRUE(waitUntil([&] { return available == 1; }));
    runEventsFor(100ms);
    EXPECT_EQ(available, 1) << "nobody accepted: the event waits for Accept";
    ::close(listener.Accept());
}

TEST(SocketConnection, ListenOnAPortInUseGoesToTheErrorEvent)
{
    LoopbackPeer peer;
    TWSocket listener;
    listener.SetAddr(QStringLiteral("127.0.0.1"));
    listener.SetPort(peer.portText());
    QString reported;
    int code = 0;
    listener.OnError = [&](const ESocketException& e) {
        reported = e.message();
        code = e.code();
    };
    listener.Listen();
    EXPECT_EQ(reported, QStringLiteral("Error 10048 in function bind\r\nAddress already in use"));
    EXPECT_EQ(code, 10048);
    EXPECT_EQ(listener.State(), wsClosed);
}

TEST(SocketConnection, UsageErrorsOfConnectListenAndAccept)
{
    TWSocket socket;
    EXPECT_EQ(errorOf([&] { socket.Connect(); }), QStringLiteral("Connect: No Port Specified"));
    socket.SetPort(QStringLiteral("21"));
    EXPECT_EQ(errorOf([&] { socket.Connect(); }), QStringLiteral("Connect: No IP Address Specified"));
    socket.SetAddr(QStringLiteral("127.0.0.1"));
    socket.SetProto({});
    EXPECT_EQ(errorOf([&] { socket.Connect(); }), QStringLiteral("Connect: No Protocol Specified"));
    EXPECT_EQ(errorOf([&] { socket.Listen(); }), QStringLiteral("listen: protocol not assigned"));
    EXPECT_EQ(errorOf([&] { socket.Accept(); }), QStringLiteral("not a listening socket"));
    EXPECT_EQ(errorOf([&] { socket.SendStr("x"); }),
        QStringLiteral("Error 10057 in function Send\r\nSocket is not connected"));

    TWSocket unset;
    EXPECT_EQ(errorOf([&] { unset.Listen(); }), QStringLiteral("listen: address not assigned"));
    unset.SetAddr(QStringLiteral("0.0.0.0"));
    EXPECT_EQ(errorOf([&] { unset.Listen(); }), QStringLiteral("listen: port not assigned"));
}

TEST(SocketConnection, ConnectWhileInUseIsRefused)
{
    LoopbackPeer peer;
    Connected c(peer);
    EXPECT_EQ(errorOf([&] { c.socket.Connect(); }), QStringLiteral("Connect: Socket already in use"));
    EXPECT_EQ(c.socket.State(), wsConnected);
}

struct SettingCase {
    const char* name;
    std::function<void(TWSocket&)> change;
    const char* message;
};

class SocketSettingWhileOpen : public ::testing::TestWithParam<SettingCase>
{
};

void PrintTo(const SettingCase& c, std::ostream* out)
{
    *out << c.name;
}

TEST_P(SocketSettingWhileOpen, IsRefused)
{
    TWSocket socket;
    socket.SetAddr(QStringLiteral("127.0.0.1"));
    socket.SetPort(QStringLiteral("0"));
    socket.Listen();
    ASSERT_EQ(socket.State(), wsListening);
    EXPECT_EQ(errorOf([&] { GetParam().change(socket); }), QString::fromLatin1(GetParam().message));
    QString reported;
    socket.OnError = [&](const ESocketException& e) { reported = e.message(); };
    GetParam().change(socket);
    EXPECT_EQ(reported, QString::fromLatin1(GetParam().message));
}

INSTANTIATE_TEST_SUITE_P(Socket, SocketSettingWhileOpen,
    ::testing::Values(SettingCase { "Addr", [](TWSocket& s) { s.SetAddr(QStringLiteral("10.0.0.1")); },
                          "Cannot change Addr if not closed" },
        SettingCase { "Port", [](TWSocket& s) { s.SetPort(QStringLiteral("21")); },
            "Cannot change Port if not closed" },
        SettingCase { "Proto", [](TWSocket& s) { s.SetProto(QStringLiteral("udp")); },
            "Cannot change Proto if not closed" },
        SettingCase { "LocalPort", [](TWSocket& s) { s.SetLocalPort(QStringLiteral("20")); },
            "Cannot change LocalPort if not closed" },
        SettingCase { "LocalAddr", [](TWSocket& s) { s.SetLocalAddr(QStringLiteral("127.0.0.1")); },
            "Cannot change LocalAddr if not closed" },
        SettingCase { "SocksServer", [](TWSocket& s) { s.SetSocksServer(QStringLiteral("proxy")); },
            "Can't change socks server if not closed" },
        SettingCase { "SocksPort", [](TWSocket& s) { s.SetSocksPort(QStringLiteral("1080")); },
            "Can't change socks port if not closed" },
        SettingCase { "SocksLevel", [](TWSocket& s) { s.SetSocksLevel(QStringLiteral("4")); },
            "Can't change socks level if not closed" },
        SettingCase { "SocksRoute", [](TWSocket& s) { s.SetSocksRoute({}); },
            "Can't change socks server if not closed" }),
    [](const ::testing::TestParamInfo<SettingCase>& info) { return std::string(info.param.name); });

TEST(SocketConnection, ChangingThePortOfAConnectedSocketIsRefused)
{
    LoopbackPeer peer;
    Connected c(peer);
    EXPECT_EQ(errorOf([&] { c.socket.SetPort(QStringLiteral("22")); }),
        QStringLiteral("Cannot change Port if not closed"));
    EXPECT_EQ(c.socket.Port(), peer.portText());
}

TEST(SocketConnection, SocksSettingsAreCheckedTrimmedAndKeptOverClose)
{
    TWSocket socket;
    socket.SetSocksServer(QStringLiteral("  proxy.example  "));
    socket.SetSocksPort(QStringLiteral(" 1080 "));
    socket.SetSocksLevel(QStringLiteral("4a"));
    EXPECT_EQ(socket.SocksServer(), QStringLiteral("proxy.example"));
    EXPECT_EQ(socket.SocksPort(), QStringLiteral("1080"));
    EXPECT_EQ(socket.SocksLevel(), QStringLiteral("4A"));
    EXPECT_EQ(errorOf([&] { socket.SetSocksLevel(QStringLiteral("6")); }),
        QStringLiteral("Invalid socks level. Must be 4, 4A or 5."));
    EXPECT_EQ(socket.SocksLevel(), QStringLiteral("4A"));
    socket.SetSocksAuthentication(static_cast<TSocksAuthentication>(7));
    EXPECT_EQ(socket.SocksAuthentication(), socksAuthenticateUsercode);
    EXPECT_EQ(
        errorOf([&] { socket.Listen(); }), QStringLiteral("Listening is not supported thru socks server"));
    socket.SetAddr(QStringLiteral("127.0.0.1"));
    socket.SetPort(QStringLiteral("21"));
    socket.SetProto(QStringLiteral("udp"));
    EXPECT_EQ(errorOf([&] { socket.Connect(); }),
        QStringLiteral("tcp is the only protocol supported thru socks server"));
    socket.Close();
    EXPECT_EQ(socket.SocksServer(), QStringLiteral("proxy.example"));
}

TEST(SocketConnection, ASocksRouteSetsEverySettingAtOnceAndAuthenticatesOnlyWithAUser)
{
    TWSocket socket;
    SocksRoute route;
    route.server = QStringLiteral(" proxy.example ");
    route.port = QStringLiteral("1080 ");
    route.version = SocksVersion::V4A;
    route.user = QStringLiteral("alice");
    route.password = QStringLiteral("wonder");
    socket.SetSocksRoute(route);
    EXPECT_EQ(socket.SocksServer(), QStringLiteral("proxy.example"));
    EXPECT_EQ(socket.SocksPort(), QStringLiteral("1080"));
    EXPECT_EQ(socket.SocksLevel(), QStringLiteral("4A"));
    EXPECT_EQ(socket.SocksUsercode(), QStringLiteral("alice"));
    EXPECT_EQ(socket.SocksPassword(), QStringLiteral("wonder"));
    EXPECT_EQ(socket.SocksAuthentication(), socksAuthenticateUsercode);

    route.user.clear();
    socket.SetSocksRoute(route);
    EXPECT_EQ(socket.SocksAuthentication(), socksNoAuthentication);
    socket.SetSocksRoute({});
    EXPECT_TRUE(socket.SocksServer().isEmpty());
    EXPECT_FALSE(socket.socksRoute().isEnabled());
}

TEST(SocksVersionText, NamesEachVersionAndReadsOnlyThose)
{
    EXPECT_EQ(socksVersionText(SocksVersion::V4), QStringLiteral("4"));
    EXPECT_EQ(socksVersionText(SocksVersion::V4A), QStringLiteral("4A"));
    EXPECT_EQ(socksVersionText(SocksVersion::V5), QStringLiteral("5"));
    EXPECT_EQ(socksVersionFromText(QStringLiteral("4a")), SocksVersion::V4A);
    EXPECT_EQ(socksVersionFromText(QStringLiteral("5")), SocksVersion::V5);
    EXPECT_FALSE(socksVersionFromText(QStringLiteral("6")).has_value());
    EXPECT_FALSE(socksVersionFromText(QStringLiteral("")).has_value());
}

TEST(SocketConnection, LocalAddressBindsTheConnection)
{
    LoopbackPeer peer;
    TWSocket socket;
    SocketEvents events;
    events.attach(socket);
    aimAt(socket, peer.port());
    const quint16 localPort = freeTcpPort();
    socket.SetLocalAddr(QStringLiteral("127.0.0.1"));
    socket.SetLocalPort(QString::number(localPort));
    socket.Connect();
    ASSERT_TRUE(waitUntil([&] { return events.connectedCount == 1; }));
    EXPECT_EQ(socket.GetSockName().port, localPort);
    ASSERT_TRUE(waitUntil([&] { return peer.last() != nullptr; }));
    EXPECT_EQ(peer.last()->peerPort(), localPort);
}

TEST(SocketConnection, LocalIPListHasTheLoopbackAddress)
{
    EXPECT_TRUE(TWSocket::LocalIPList().contains(QStringLiteral("127.0.0.1")));
}

TEST(SocketEventWait, StopsAtTheDeadline)
{
    const auto outcome = processEventsUntil([] { return false; }, QDeadlineTimer(50ms));
    EXPECT_EQ(outcome, WaitOutcome::TimedOut);
}

TEST(SocketEventWait, NoticesAConditionSetByAnotherThread)
{
    std::atomic<bool> flag { false };
    std::thread setter([&] {
        std::this_thread::sleep_for(50ms);
        flag = true;
    });
    const auto outcome = processEventsUntil([&] { return flag.load(); }, QDeadlineTimer(5s));
    setter.join();
    EXPECT_EQ(outcome, WaitOutcome::Ready);
}

TEST(SocketEventWait, EndsWhenTheWorkerIsAskedToStop)
{
    WaitOutcome outcome = WaitOutcome::Ready;
    QThread* worker = QThread::create(
        [&] { outcome = processEventsUntil([] { return false; }, QDeadlineTimer(QDeadlineTimer::Forever)); });
    worker->start();
    QThread::msleep(50);
    worker->requestInterruption();
    ASSERT_TRUE(worker->wait(5000));
    delete worker;
    EXPECT_EQ(outcome, WaitOutcome::Terminating);
}

TEST(SocketEventWait, DeadlineMovedByAHandlerIsHonoured)
{
    QDeadlineTimer deadline(30ms);
    int extensions = 0;
    QTimer pusher;
    QObject::connect(&pusher, &QTimer::timeout, &pusher, [&] {
        if (++extensions <= 5)
            deadline = QDeadlineTimer(30ms);
    });
    pusher.start(10);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(processEventsUntil([] { return false; }, deadline), WaitOutcome::TimedOut);
    EXPECT_GE(clock.elapsed(), 70);
}

} // namespace
