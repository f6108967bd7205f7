#include "socket_support.h"

#include "RowNames.h"
#include "SocksServers.h"

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <pwd.h>
#include <unistd.h>

namespace
{

using namespace std::chrono_literals;

// The account scripts/install.d/socket.sh creates for danted's user check.
const QString systemUser = DanteServer::systemSocksUser();
const QString systemPassword = DanteServer::systemSocksPassword();

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int value : values)
        out.append(static_cast<char>(value));
    return out;
}

struct SocksTarget {
    QString level = QStringLiteral("5");
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 2121;
    bool authenticate = false;
    QString user;
    QString password;
};

// One connection through a SOCKS server, with everything it reported.
struct SocksConnection {
    TWSocket socket;
    SocketEvents events;
    std::vector<int> socksConnected;

    SocksConnection(quint16 socksPort, const SocksTarget& target)
    {
        events.attach(socket);
        socket.OnSocksConnected = [this](int error) { socksConnected.push_back(error); };
        socket.SetSocksServer(QStringLiteral("127.0.0.1"));
        socket.SetSocksPort(QString::number(socksPort));
        socket.SetSocksLevel(target.level);
        socket.SetSocksAuthentication(
            target.authenticate ? socksAuthenticateUsercode : socksNoAuthentication);
        socket.SetSocksUsercode(target.user);
        socket.SetSocksPassword(target.password);
        aimAt(socket, target.port, target.host);
    }

    // Connects and waits for the outcome; true when the session is up.
    bool connect()
    {
        socket.Connect();
        return waitUntil([&] { return events.connectedCount > 0; }, 20s) && events.connected == 0;
    }

    // Sends `text` and waits for it to come back (after whatever the
    // destination sent first).
    bool echoes(const QByteArray& text)
    {
        socket.SendStr(text);
        return waitUntil([&] { return events.received.endsWith(text); }, 10s);
    }
};

// ------------------------------------------------------------ scripted server

class ScriptedSocks : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        server_ = new SocksScriptServer;
        ASSERT_TRUE(server_->start()) << server_->error().toStdString();
    }

    static void TearDownTestSuite()
    {
        delete server_;
        server_ = nullptr;
    }

    static quint16 port(const std::string& scenario)
    {
        const quint16 found = server_ ? server_->port(scenario) : 0;
        EXPECT_NE(found, 0) << scenario;
        return found;
    }

    static inline SocksScriptServer* server_ = nullptr;
};

struct FailureCase {
    const char* scenario;
    const char* level;
    bool authenticate;
    const char* password;
    int code;
    const char* text;
};

void PrintTo(const FailureCase& c, std::ostream* out)
{
    *out << c.scenario << " level " << c.level;
}

class ScriptedSocksFailure : public ScriptedSocks, public ::testing::WithParamInterface<FailureCase>
{
};

TEST_P(ScriptedSocksFailure, FailsTheConnectionWithTheCodeAndText)
{
    const FailureCase& c = GetParam();
    SocksTarget target;
    target.level = QString::fromLatin1(c.level);
    target.authenticate = c.authenticate;
    target.user = QStringLiteral("alice");
    target.password = QString::fromLatin1(c.password);
    SocksConnection connection(port(c.scenario), target);
    EXPECT_FALSE(connection.connect());
    EXPECT_EQ(connection.events.socksError, c.code);
    EXPECT_EQ(connection.events.socksMessage, QString::fromLatin1(c.text));
    EXPECT_EQ(connection.events.connected, c.code) << "the session event carries the SOCKS code";
    EXPECT_EQ(connection.socksConnected, std::vector<int> { 0 });
    EXPECT_EQ(connection.socket.State(), wsClosed);
    runEventsFor(100ms);
    EXPECT_EQ(connection.events.closedCount, 0);
    EXPECT_EQ(connection.events.connectedCount, 1);
}

INSTANTIATE_TEST_SUITE_P(Socket, ScriptedSocksFailure,
    ::testing::Values(FailureCase { "s4-reply-91", "4", false, "", 20016, "request rejected or failed" },
        FailureCase { "s4-reply-92", "4", false, "", 20008, "connection refused" },
        FailureCase { "s4-reply-93", "4", false, "", 20015, "authentification failed" },
        FailureCase { "s4-reply-77", "4", false, "", 20012, "unassigned error #77" },
        FailureCase { "s4-reply-91", "4A", false, "", 20016, "request rejected or failed" },
        FailureCase { "s4-bad-version", "4", false, "", 20002, "socks version error" },
        FailureCase { "s5-reply-1", "5", false, "", 20004, "general SOCKS server failure" },
        FailureCase { "s5-reply-2", "5", false, "", 20005, "connection not allowed by ruleset" },
        FailureCase { "s5-reply-3", "5", false, "", 20006, "network unreachable" },
        FailureCase { "s5-reply-4", "5", false, "", 20007, "host unreachable" },
        FailureCase { "s5-reply-5", "5", false, "", 20008, "connection refused" },
        FailureCase { "s5-reply-6", "5", false, "", 20009, "time to live expired" },
        FailureCase { "s5-reply-7", "5", false, "", 20010, "command not supported" },
        FailureCase { "s5-reply-8", "5", false, "", 20011, "address type not supported" },
        FailureCase { "s5-reply-9", "5", false, "", 20012, "unassigned error #9" },
        FailureCase { "s5-bad-reply-version", "5", false, "", 20002, "socks version error" },
        FailureCase { "s5-address-type-9", "5", false, "", 20011, "address type not supported" },
        FailureCase { "s5-bad-method-version", "5", false, "", 20002, "socks version error" },
        FailureCase {
            "s5-no-acceptable-method", "5", false, "", 20003, "authentification method not acceptable" },
        FailureCase { "s5-auth-bad-version", "5", true, "secret", 20002, "socks version error" },
        FailureCase { "s5-auth-extra-bytes", "5", true, "secret", 20001, "too much data availaible" },
        FailureCase { "s5-ipv4", "5", true, "wrong", 20015, "socks authentication failed" },
        FailureCase { "s5-hangup", "5", false, "", 10053, "data receive error" }),
    [](const auto& info) { return rowName(info.param.scenario) + "_level" + info.param.level; });

TEST_F(ScriptedSocks, Socks4SendsTheResolvedAddressAndUserId)
{
    SocksTarget target;
    target.level = QStringLiteral("4");
    target.host = QStringLiteral("localhost");
    target.user = QStringLiteral("alice");
    SocksConnection connection(port("s4-granted"), target);
    ASSERT_TRUE(connection.connect());
    const QByteArray request = bytes({ 4, 1, 0x08, 0x49, 127, 0, 0, 1 }) + QByteArray("alice") + bytes({ 0 });
    ASSERT_TRUE(waitUntil([&] { return connection.events.received.size() >= request.size(); }));
    EXPECT_EQ(connection.events.received, request);
    EXPECT_EQ(connection.socket.BoundAddr(), QStringLiteral("10.0.0.9"));
    EXPECT_EQ(connection.socket.BoundPort(), 8080);
    EXPECT_EQ(connection.socket.State(), wsConnected);
    EXPECT_TRUE(connection.echoes("through SOCKS 4\r\n"));
}

TEST_F(ScriptedSocks, Socks4ALetsTheServerResolveTheName)
{
    SocksTarget target;
    target.level = QStringLiteral("4A");
    target.host = QStringLiteral("files.example.org");
    target.user = QStringLiteral("alice");
    SocksConnection connection(port("s4-granted"), target);
    ASSERT_TRUE(connection.connect());
    const QByteArray request = bytes({ 4, 1, 0x08, 0x49, 0, 0, 0, 1 }) + QByteArray("alice") + bytes({ 0 })
        + QByteArray("files.example.org") + bytes({ 0 });
    ASSERT_TRUE(waitUntil([&] { return connection.events.received.size() >= request.size(); }));
    EXPECT_EQ(connection.events.received, request);
    EXPECT_TRUE(connection.echoes("through SOCKS 4A\r\n"));
}

TEST_F(ScriptedSocks, Socks4WithAnUnresolvableDestinationFailsWith20017)
{
    SocksTarget target;
    target.level = QStringLiteral("4");
    target.host = QStringLiteral("no-such-host.invalid");
    SocksConnection connection(port("s4-granted"), target);
    EXPECT_FALSE(connection.connect());
    EXPECT_EQ(connection.events.connected, 20017);
    EXPECT_EQ(connection.events.socksMessage,
        QStringLiteral("ESocketException: WSocketResolveHost: Cannot convert host address "
                       "'no-such-host.invalid', Error #11001"));
}

TEST_F(ScriptedSocks, Socks5SendsTheHostAsTextWithoutAuthentication)
{
    SocksTarget target;
    target.host = QStringLiteral("files.example.org");
    SocksConnection connection(port("s5-ipv4"), target);
    ASSERT_TRUE(connection.connect());
    const QByteArray exchange = bytes({ 5, 1, 0 }) + bytes({ 5, 1, 0, 3, 17 })
        + QByteArray("files.example.org") + bytes({ 0x08, 0x49 });
    ASSERT_TRUE(waitUntil([&] { return connection.events.received.size() >= exchange.size(); }));
    EXPECT_EQ(connection.events.received, exchange);
    EXPECT_EQ(connection.socket.BoundAddr(), QStringLiteral("10.1.2.3"));
    EXPECT_EQ(connection.socket.BoundPort(), 4321);
    EXPECT_TRUE(connection.events.authStates.empty());
    EXPECT_TRUE(connection.echoes("through SOCKS 5\r\n"));
}

TEST_F(ScriptedSocks, Socks5AuthenticatesWithUserCodeAndPassword)
{
    SocksTarget target;
    target.authenticate = true;
    target.user = QStringLiteral("alice");
    target.password = QStringLiteral("secret");
    SocksConnection connection(port("s5-ipv4"), target);
    std::vector<TSocksState> statesSeen;
    connection.socket.OnSocksAuthState = [&](TSocksAuthState authState) {
        connection.events.authStates.push_back(authState);
        statesSeen.push_back(connection.socket.SocksState());
    };
    ASSERT_TRUE(connection.connect());
    EXPECT_EQ(statesSeen, (std::vector<TSocksState> { socksAuthenticate, socksConnect }));
    EXPECT_EQ(connection.socket.SocksState(), socksData);
    const QByteArray exchange = bytes({ 5, 1, 2 }) + bytes({ 1, 5 }) + QByteArray("alice") + bytes({ 6 })
        + QByteArray("secret") + bytes({ 5, 1, 0, 3, 9 }) + QByteArray("127.0.0.1") + bytes({ 0x08, 0x49 });
    ASSERT_TRUE(waitUntil([&] { return connection.events.received.size() >= exchange.size(); }));
    EXPECT_EQ(connection.events.received, exchange);
    EXPECT_EQ(
        connection.events.authStates, (std::vector<TSocksAuthState> { socksAuthStart, socksAuthSuccess }));
}

TEST_F(ScriptedSocks, WrongPasswordReportsTheAuthenticationFailure)
{
    SocksTarget target;
    target.authenticate = true;
    target.user = QStringLiteral("alice");
    target.password = QStringLiteral("guess");
    SocksConnection connection(port("s5-ipv4"), target);
    EXPECT_FALSE(connection.connect());
    EXPECT_EQ(
        connection.events.authStates, (std::vector<TSocksAuthState> { socksAuthStart, socksAuthFailure }));
}

TEST_F(ScriptedSocks, ServerWithoutAuthenticationIsReportedAsNotRequired)
{
    SocksTarget target;
    target.authenticate = true;
    target.user = QStringLiteral("alice");
    target.password = QStringLiteral("secret");
    SocksConnection connection(port("s5-auth-not-required"), target);
    ASSERT_TRUE(connection.connect());
    EXPECT_EQ(connection.events.authStates, std::vector<TSocksAuthState> { socksAuthNotRequired });
}

struct BoundCase {
    const char* scenario;
    const char* address;
    quint16 port;
};

void PrintTo(const BoundCase& c, std::ostream* out)
{
    *out << c.scenario;
}

class ScriptedSocksBound : public ScriptedSocks, public ::testing::WithParamInterface<BoundCase>
{
};

TEST_P(ScriptedSocksBound, StoresTheBoundAddress)
{
    SocksConnection connection(port(GetParam().scenario), SocksTarget {});
    ASSERT_TRUE(connection.connect());
    EXPECT_EQ(connection.socket.BoundAddr(), QString::fromLatin1(GetParam().address));
    EXPECT_EQ(connection.socket.BoundPort(), GetParam().port);
    EXPECT_TRUE(connection.echoes("bound\r\n"));
}

INSTANTIATE_TEST_SUITE_P(Socket, ScriptedSocksBound,
    ::testing::Values(BoundCase { "s5-ipv4", "10.1.2.3", 4321 },
        BoundCase { "s5-domain", "bound.example.org", 2222 },
        BoundCase { "s5-ipv6", "0:0:0:0:0:0:0:1", 1234 },
        BoundCase { "s5-fragmented", "bound.example", 2222 }),
    [](const auto& info) { return rowName(info.param.scenario); });

struct SamePacketCase {
    const char* scenario;
    const char* level;
};

void PrintTo(const SamePacketCase& c, std::ostream* out)
{
    *out << c.scenario;
}

class ScriptedSocksSamePacket : public ScriptedSocks, public ::testing::WithParamInterface<SamePacketCase>
{
};

TEST_P(ScriptedSocksSamePacket, DataAfterTheReplyIsOrdinaryData)
{
    SocksTarget target;
    target.level = QString::fromLatin1(GetParam().level);
    SocksConnection connection(port(GetParam().scenario), target);
    ASSERT_TRUE(connection.connect());
    ASSERT_TRUE(waitUntil([&] { return connection.events.received == "hello from target\r\n"; }));
    ASSERT_GE(connection.events.log.size(), 2u);
    EXPECT_EQ(connection.events.log[0], "connected 0");
    EXPECT_EQ(connection.events.log[1], "data 0");
    EXPECT_TRUE(connection.echoes("and then some\r\n"));
}

INSTANTIATE_TEST_SUITE_P(Socket, ScriptedSocksSamePacket,
    ::testing::Values(SamePacketCase { "s5-same-packet", "5" }, SamePacketCase { "s4-same-packet", "4" },
        SamePacketCase { "s5-fragmented", "5" }),
    [](const auto& info) { return rowName(info.param.scenario); });

TEST_F(ScriptedSocks, DataSentBeforeTheNegotiationEndsWaitsForIt)
{
    SocksConnection connection(port("s5-ipv4"), SocksTarget {});
    connection.socket.OnSocksConnected = [&](int error) {
        if (error == 0)
            connection.socket.SendStr("early bird\r\n");
    };
    ASSERT_TRUE(connection.connect());
    const QByteArray exchange
        = bytes({ 5, 1, 0 }) + bytes({ 5, 1, 0, 3, 9 }) + QByteArray("127.0.0.1") + bytes({ 0x08, 0x49 });
    ASSERT_TRUE(waitUntil([&] { return connection.events.received == exchange + "early bird\r\n"; }));
}

TEST_F(ScriptedSocks, UnreachableSocksServerFailsTheConnect)
{
    SocksConnection connection(freeTcpPort(), SocksTarget {});
    EXPECT_FALSE(connection.connect());
    EXPECT_EQ(connection.socksConnected, std::vector<int> { 10061 });
    EXPECT_EQ(connection.events.connected, 10061);
}

TEST_F(ScriptedSocks, EveryConnectionGoesThroughTheSameServer)
{
    SocksConnection connection(port("s5-ipv4"), SocksTarget {});
    ASSERT_TRUE(connection.connect());
    connection.socket.Close();
    EXPECT_EQ(connection.events.closedCount, 1);
    aimAt(connection.socket, 2121);
    connection.events.received.clear();
    connection.socket.Connect();
    ASSERT_TRUE(waitUntil([&] { return connection.events.connectedCount == 2; }, 20s));
    EXPECT_EQ(connection.events.connected, 0);
    EXPECT_TRUE(waitUntil([&] { return connection.events.received.startsWith(bytes({ 5, 1, 0 })); }));
}

// ------------------------------------------------------------ real servers

// Loopback peer and a SOCKS server in front of it.
class RealSocksServer : public ::testing::Test
{
protected:
    void expectEchoThrough(const SocksTarget& base)
    {
        SocksTarget target = base;
        target.port = peer_.port();
        SocksConnection connection(socksPort_, target);
        ASSERT_TRUE(connection.connect()) << "SOCKS error " << connection.events.socksError << " "
                                          << connection.events.socksMessage.toStdString();
        EXPECT_EQ(connection.socket.State(), wsConnected);
        EXPECT_TRUE(connection.echoes("first line through the proxy\r\n"));
        EXPECT_TRUE(connection.echoes(QByteArray(200000, 'p')));
        connection.socket.Close();
        EXPECT_EQ(connection.events.closedCount, 1);
        EXPECT_TRUE(waitUntil([&] { return peer_.disconnects() == 1; }));
    }

    int failureThrough(const SocksTarget& base)
    {
        SocksTarget target = base;
        if (target.port == 2121)
            target.port = peer_.port();
        SocksConnection connection(socksPort_, target);
        EXPECT_FALSE(connection.connect());
        EXPECT_EQ(connection.events.connected, connection.events.socksError);
        return connection.events.socksError;
    }

    LoopbackPeer peer_;
    quint16 socksPort_ = 0;
};

class Dante : public RealSocksServer
{
protected:
    void startDante(bool requireUser)
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "danted needs root to switch users (CI runs as root)";
        ASSERT_TRUE(dante_.start(requireUser)) << dante_.error().toStdString();
        socksPort_ = dante_.port();
    }

    void requireSystemUser()
    {
        if (!::getpwnam(systemUser.toUtf8().constData()))
            GTEST_SKIP() << "account " << systemUser.toStdString() << " missing: run scripts/install.sh";
    }

    DanteServer dante_;
};

TEST_F(Dante, Socks5WithoutAuthentication)
{
    startDante(false);
    expectEchoThrough(SocksTarget {});
}

TEST_F(Dante, Socks4)
{
    startDante(false);
    SocksTarget target;
    target.level = QStringLiteral("4");
    target.user = QStringLiteral("anyone");
    expectEchoThrough(target);
}

TEST_F(Dante, Socks5RefusedDestinationIs20008)
{
    startDante(false);
    SocksTarget target;
    target.port = freeTcpPort();
    EXPECT_EQ(failureThrough(target), 20008);
}

TEST_F(Dante, Socks5WithUserNameAndPassword)
{
    requireSystemUser();
    startDante(true);
    SocksTarget target;
    target.authenticate = true;
    target.user = systemUser;
    target.password = systemPassword;
    expectEchoThrough(target);
}

TEST_F(Dante, Socks5WithAWrongPasswordIs20015)
{
    requireSystemUser();
    startDante(true);
    SocksTarget target;
    target.authenticate = true;
    target.user = systemUser;
    target.password = QStringLiteral("not-the-password");
    EXPECT_EQ(failureThrough(target), 20015);
}

TEST_F(Dante, Socks5WithoutAuthenticationAgainstAUserCheckingServerIs20003)
{
    requireSystemUser();
    startDante(true);
    EXPECT_EQ(failureThrough(SocksTarget {}), 20003);
}

class MicroSocks : public RealSocksServer
{
protected:
    // Without a user name it asks for no authentication.
    void startMicroSocks(const QString& user = {}, const QString& password = {})
    {
        ASSERT_TRUE(microSocks_.start(user, password)) << microSocks_.error().toStdString();
        socksPort_ = microSocks_.port();
    }

    void startMicroSocksWithAccount() { startMicroSocks(QStringLiteral("bob"), QStringLiteral("hunter2")); }

    MicroSocksServer microSocks_;
};

TEST_F(MicroSocks, Socks5WithoutAuthentication)
{
    startMicroSocks();
    expectEchoThrough(SocksTarget {});
}

TEST_F(MicroSocks, Socks5WithUserNameAndPassword)
{
    startMicroSocksWithAccount();
    SocksTarget target;
    target.authenticate = true;
    target.user = QStringLiteral("bob");
    target.password = QStringLiteral("hunter2");
    expectEchoThrough(target);
}

TEST_F(MicroSocks, Socks5WithAWrongPasswordIs20015)
{
    startMicroSocksWithAccount();
    SocksTarget target;
    target.authenticate = true;
    target.user = QStringLiteral("bob");
    target.password = QStringLiteral("hunter3");
    EXPECT_EQ(failureThrough(target), 20015);
}

TEST_F(MicroSocks, AuthenticationOfferedToAServerWithoutItIs20003)
{
    startMicroSocks();
    SocksTarget target;
    target.authenticate = true;
    target.user = QStringLiteral("bob");
    target.password = QStringLiteral("hunter2");
    EXPECT_EQ(failureThrough(target), 20003);
}

} // namespace
