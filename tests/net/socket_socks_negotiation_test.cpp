#include "net/SocketErrors.h"
#include "net/SocksNegotiation.h"

#include <gtest/gtest.h>

#include <ostream>

namespace
{

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int value : values)
        out.append(static_cast<char>(value));
    return out;
}

SocksSettings settingsFor(SocksVersion version, bool authenticate = false)
{
    SocksSettings settings;
    settings.version = version;
    settings.host = QStringLiteral("files.example.org");
    settings.port = 2121;
    settings.authenticate = authenticate;
    settings.userCode = "alice";
    settings.password = "secret";
    settings.resolveHost = [](const QString&) -> quint32 { return 0xC0A80102; };
    return settings;
}

const QByteArray socks5Request
    = bytes({ 5, 1, 0, 3, 17 }) + QByteArray("files.example.org") + bytes({ 0x08, 0x49 });
const QByteArray socks5Success = bytes({ 5, 0, 0, 1, 10, 1, 2, 3, 0x10, 0xE1 });

TEST(SocketSocksNegotiation, Socks4SendsTheLocallyResolvedAddressAndUserId)
{
    SocksNegotiation negotiation(settingsFor(SocksVersion::V4));
    const SocksStep step = negotiation.Start();
    EXPECT_EQ(step.toSend, bytes({ 4, 1, 0x08, 0x49, 192, 168, 1, 2 }) + QByteArray("alice") + bytes({ 0 }));
    EXPECT_EQ(negotiation.State(), socksConnect);
}

TEST(SocketSocksNegotiation, Socks4ALetsTheServerResolveTheName)
{
    auto settings = settingsFor(SocksVersion::V4A);
    settings.resolveHost
        = [](const QString&) -> quint32 { throw ESocketException(QStringLiteral("must not resolve")); };
    SocksNegotiation negotiation(settings);
    EXPECT_EQ(negotiation.Start().toSend,
        bytes({ 4, 1, 0x08, 0x49, 0, 0, 0, 1 }) + QByteArray("alice") + bytes({ 0 })
            + QByteArray("files.example.org") + bytes({ 0 }));
}

TEST(SocketSocksNegotiation, Socks4ResolutionFailureIsError20017)
{
    auto settings = settingsFor(SocksVersion::V4);
    settings.resolveHost = [](const QString&) -> quint32 {
        throw ESocketException(
            QStringLiteral("WSocketResolveHost: Cannot convert host address 'x', Error #11001"));
    };
    SocksNegotiation negotiation(settings);
    const SocksStep step = negotiation.Start();
    EXPECT_EQ(step.result, SocksStep::Failed);
    EXPECT_EQ(step.errorCode, 20017);
    EXPECT_EQ(step.errorText,
        QStringLiteral(
            "ESocketException: WSocketResolveHost: Cannot convert host address 'x', Error #11001"));
    EXPECT_TRUE(step.toSend.isEmpty());
}

TEST(SocketSocksNegotiation, Socks4RefusesAUserIdThatWouldEndEarly)
{
    auto settings = settingsFor(SocksVersion::V4A);
    settings.userCode = QByteArray("bob\0evil.example", 16);
    SocksNegotiation negotiation(settings);
    const SocksStep step = negotiation.Start();
    EXPECT_EQ(step.result, SocksStep::Failed);
    EXPECT_TRUE(step.toSend.isEmpty());
}

TEST(SocketSocksNegotiation, Socks5WithoutAuthenticationOffersMethodNone)
{
    SocksNegotiation negotiation(settingsFor(SocksVersion::V5));
    EXPECT_EQ(negotiation.Start().toSend, bytes({ 5, 1, 0 }));
    const SocksStep request = negotiation.Feed(bytes({ 5, 0 }));
    EXPECT_EQ(request.toSend, socks5Request);
    EXPECT_TRUE(request.authStates.empty());
    const SocksStep done = negotiation.Feed(socks5Success);
    EXPECT_EQ(done.result, SocksStep::Connected);
    EXPECT_EQ(negotiation.BoundAddr(), QStringLiteral("10.1.2.3"));
    EXPECT_EQ(negotiation.BoundPort(), 4321);
    EXPECT_EQ(negotiation.State(), socksData);
}

TEST(SocketSocksNegotiation, Socks5SendsADottedAddressAsText)
{
    auto settings = settingsFor(SocksVersion::V5);
    settings.host = QStringLiteral("10.9.8.7");
    SocksNegotiation negotiation(settings);
    negotiation.Start();
    EXPECT_EQ(negotiation.Feed(bytes({ 5, 0 })).toSend,
        bytes({ 5, 1, 0, 3, 8 }) + QByteArray("10.9.8.7") + bytes({ 0x08, 0x49 }));
}

TEST(SocketSocksNegotiation, Socks5AuthenticatesWithUserCodeAndPassword)
{
    SocksNegotiation negotiation(settingsFor(SocksVersion::V5, true));
    EXPECT_EQ(negotiation.Start().toSend, bytes({ 5, 1, 2 }));
    const SocksStep auth = negotiation.Feed(bytes({ 5, 2 }));
    EXPECT_EQ(auth.toSend, bytes({ 1, 5 }) + QByteArray("alice") + bytes({ 6 }) + QByteArray("secret"));
    EXPECT_EQ(auth.authStates, std::vector<TSocksAuthState> { socksAuthStart });
    EXPECT_EQ(negotiation.State(), socksAuthenticate);
    const SocksStep request = negotiation.Feed(bytes({ 1, 0 }));
    EXPECT_EQ(request.authStates, std::vector<TSocksAuthState> { socksAuthSuccess });
    EXPECT_EQ(request.toSend, socks5Request);
}

TEST(SocketSocksNegotiation, Socks5ServerWithoutAuthenticationIsReportedAsNotRequired)
{
    SocksNegotiation negotiation(settingsFor(SocksVersion::V5, true));
    negotiation.Start();
    const SocksStep request = negotiation.Feed(bytes({ 5, 0 }));
    EXPECT_EQ(request.authStates, std::vector<TSocksAuthState> { socksAuthNotRequired });
    EXPECT_EQ(request.toSend, socks5Request);
}

struct FailureCase {
    const char* name;
    bool authenticate;
    QByteArray methodReply;
    QByteArray authReply; // empty: no authentication step
    QByteArray connectReply; // empty: fails before
    int code;
    const char* text;
};

void PrintTo(const FailureCase& c, std::ostream* out)
{
    *out << c.name;
}

class SocketSocks5Failure : public ::testing::TestWithParam<FailureCase>
{
};

TEST_P(SocketSocks5Failure, EndsWithTheCodeAndText)
{
    const FailureCase& c = GetParam();
    SocksNegotiation negotiation(settingsFor(SocksVersion::V5, c.authenticate));
    negotiation.Start();
    SocksStep step = negotiation.Feed(c.methodReply);
    if (!c.authReply.isEmpty())
        step = negotiation.Feed(c.authReply);
    if (!c.connectReply.isEmpty())
        step = negotiation.Feed(c.connectReply);
    EXPECT_EQ(step.result, SocksStep::Failed);
    EXPECT_EQ(step.errorCode, c.code);
    EXPECT_EQ(step.errorText, QString::fromLatin1(c.text));
    EXPECT_EQ(negotiation.State(), socksData);
}

QByteArray replyWith(int code)
{
    return bytes({ 5, code, 0, 1, 0, 0, 0, 0, 0, 0 });
}

INSTANTIATE_TEST_SUITE_P(Socket, SocketSocks5Failure,
    ::testing::Values(
        FailureCase { "MethodVersion", false, bytes({ 4, 0 }), {}, {}, 20002, "socks version error" },
        FailureCase { "NoAcceptableMethod", false, bytes({ 5, 0xFF }), {}, {}, 20003,
            "authentification method not acceptable" },
        FailureCase { "AuthOfferedServerWantsGssapi", true, bytes({ 5, 1 }), {}, {}, 20003,
            "authentification method not acceptable" },
        FailureCase { "UserPasswordNotOffered", false, bytes({ 5, 2 }), {}, {}, 20003,
            "authentification method not acceptable" },
        FailureCase {
            "MethodReplyTooLong", false, bytes({ 5, 0, 0 }), {}, {}, 20001, "too much data availaible" },
        FailureCase {
            "AuthVersion", true, bytes({ 5, 2 }), bytes({ 5, 0 }), {}, 20002, "socks version error" },
        FailureCase { "AuthRejected", true, bytes({ 5, 2 }), bytes({ 1, 1 }), {}, 20015,
            "socks authentication failed" },
        FailureCase { "AuthReplyTooLong", true, bytes({ 5, 2 }), bytes({ 1, 0, 0 }), {}, 20001,
            "too much data availaible" },
        FailureCase { "ReplyVersion", false, bytes({ 5, 0 }), {}, bytes({ 4, 0, 0, 1, 0, 0, 0, 0, 0, 0 }),
            20002, "socks version error" },
        FailureCase {
            "Reply1", false, bytes({ 5, 0 }), {}, replyWith(1), 20004, "general SOCKS server failure" },
        FailureCase {
            "Reply2", false, bytes({ 5, 0 }), {}, replyWith(2), 20005, "connection not allowed by ruleset" },
        FailureCase { "Reply3", false, bytes({ 5, 0 }), {}, replyWith(3), 20006, "network unreachable" },
        FailureCase { "Reply4", false, bytes({ 5, 0 }), {}, replyWith(4), 20007, "host unreachable" },
        FailureCase { "Reply5", false, bytes({ 5, 0 }), {}, replyWith(5), 20008, "connection refused" },
        FailureCase { "Reply6", false, bytes({ 5, 0 }), {}, replyWith(6), 20009, "time to live expired" },
        FailureCase { "Reply7", false, bytes({ 5, 0 }), {}, replyWith(7), 20010, "command not supported" },
        FailureCase {
            "Reply8", false, bytes({ 5, 0 }), {}, replyWith(8), 20011, "address type not supported" },
        FailureCase {
            "Reply200", false, bytes({ 5, 0 }), {}, replyWith(200), 20012, "unassigned error #200" },
        FailureCase { "BoundAddressType", false, bytes({ 5, 0 }), {}, bytes({ 5, 0, 0, 9, 0, 0 }), 20011,
            "address type not supported" }),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

struct Socks4ReplyCase {
    int version;
    int code;
    int errorCode;
    const char* text;
};

void PrintTo(const Socks4ReplyCase& c, std::ostream* out)
{
    *out << "version " << c.version << " code " << c.code;
}

class SocketSocks4Failure : public ::testing::TestWithParam<Socks4ReplyCase>
{
};

TEST_P(SocketSocks4Failure, EndsWithTheCodeAndText)
{
    SocksNegotiation negotiation(settingsFor(SocksVersion::V4));
    negotiation.Start();
    const SocksStep step = negotiation.Feed(bytes({ GetParam().version, GetParam().code, 0, 0, 0, 0, 0, 0 }));
    EXPECT_EQ(step.result, SocksStep::Failed);
    EXPECT_EQ(step.errorCode, GetParam().errorCode);
    EXPECT_EQ(step.errorText, QString::fromLatin1(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Socket, SocketSocks4Failure,
    ::testing::Values(Socks4ReplyCase { 0, 91, 20016, "request rejected or failed" },
        Socks4ReplyCase { 0, 92, 20008, "connection refused" },
        Socks4ReplyCase { 0, 93, 20015, "authentification failed" },
        Socks4ReplyCase { 0, 94, 20012, "unassigned error #94" },
        Socks4ReplyCase { 4, 90, 20002, "socks version error" }),
    [](const auto& info) {
        const std::string reply = "reply" + std::to_string(info.param.code);
        return info.param.version == 0 ? reply : reply + "_version" + std::to_string(info.param.version);
    });

TEST(SocketSocksNegotiation, Socks4GrantedKeepsBoundAddressAndFollowingData)
{
    SocksNegotiation negotiation(settingsFor(SocksVersion::V4));
    negotiation.Start();
    const SocksStep step
        = negotiation.Feed(bytes({ 0, 90, 0x1F, 0x90, 10, 0, 0, 9 }) + QByteArray("220 ready\r\n"));
    EXPECT_EQ(step.result, SocksStep::Connected);
    EXPECT_EQ(step.leftover, QByteArray("220 ready\r\n"));
    EXPECT_EQ(negotiation.BoundAddr(), QStringLiteral("10.0.0.9"));
    EXPECT_EQ(negotiation.BoundPort(), 8080);
}

struct BoundCase {
    const char* name;
    QByteArray reply;
    const char* address;
    quint16 port;
};

void PrintTo(const BoundCase& c, std::ostream* out)
{
    *out << c.name;
}

class SocketSocks5Bound : public ::testing::TestWithParam<BoundCase>
{
};

TEST_P(SocketSocks5Bound, IsReadFedWholeOrByteByByte)
{
    for (const bool byteByByte : { false, true }) {
        SocksNegotiation negotiation(settingsFor(SocksVersion::V5));
        negotiation.Start();
        negotiation.Feed(bytes({ 5, 0 }));
        const QByteArray wire = GetParam().reply + QByteArray("DATA");
        SocksStep step;
        if (byteByByte) {
            for (qsizetype i = 0; i < wire.size() && step.result == SocksStep::Pending; ++i)
                step = negotiation.Feed(wire.mid(i, 1));
        } else {
            step = negotiation.Feed(wire);
        }
        ASSERT_EQ(step.result, SocksStep::Connected) << (byteByByte ? "byte by byte" : "whole");
        EXPECT_EQ(negotiation.BoundAddr(), QString::fromLatin1(GetParam().address));
        EXPECT_EQ(negotiation.BoundPort(), GetParam().port);
        EXPECT_EQ(step.leftover, byteByByte ? QByteArray() : QByteArray("DATA"));
    }
}

INSTANTIATE_TEST_SUITE_P(Socket, SocketSocks5Bound,
    ::testing::Values(BoundCase { "IPv4", socks5Success, "10.1.2.3", 4321 },
        BoundCase { "Domain", bytes({ 5, 0, 0, 3, 13 }) + QByteArray("bound.example") + bytes({ 0x08, 0xAE }),
            "bound.example", 2222 },
        BoundCase { "IPv6",
            bytes({ 5, 0, 0, 4, 0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 80 }),
            "2001:db8:0:0:0:0:0:1", 80 }),
    [](const ::testing::TestParamInfo<BoundCase>& info) { return std::string(info.param.name); });

TEST(SocketSocksNegotiation, Socks5RefusesCredentialsTooLongForTheWire)
{
    auto settings = settingsFor(SocksVersion::V5, true);
    settings.password = QByteArray(256, 'p');
    SocksNegotiation negotiation(settings);
    negotiation.Start();
    const SocksStep step = negotiation.Feed(bytes({ 5, 2 }));
    EXPECT_EQ(step.result, SocksStep::Failed);
    EXPECT_EQ(step.errorCode, 20015);
    EXPECT_TRUE(step.toSend.isEmpty());
}

TEST(SocketSocksNegotiation, Socks5RefusesAHostNameTooLongForTheWire)
{
    auto settings = settingsFor(SocksVersion::V5);
    settings.host = QString(256, QLatin1Char('h'));
    SocksNegotiation negotiation(settings);
    negotiation.Start();
    const SocksStep step = negotiation.Feed(bytes({ 5, 0 }));
    EXPECT_EQ(step.result, SocksStep::Failed);
    EXPECT_EQ(step.errorCode, 20011);
}

} // namespace
