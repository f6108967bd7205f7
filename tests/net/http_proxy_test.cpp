#include "HttpTestServers.h"
#include "ProxyServers.h"
#include "SocksServers.h"
#include "http_client_support.h"

#include "net/THttpCli.h"

#include <gtest/gtest.h>

namespace
{

class HttpThroughProxy : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(server.start()) << server.error().toStdString(); }

    HttpFixtureServer server;
    THttpCli http;
};

TEST_F(HttpThroughProxy, TinyproxyForwardsTheRequest)
{
    TinyProxy proxy;
    ASSERT_TRUE(proxy.start()) << proxy.error().toStdString();
    http.SetProxy(QStringLiteral("127.0.0.1"));
    http.SetProxyPort(QString::number(proxy.port()));
    const HttpReply reply = httpPost(http, server.url(QStringLiteral("/echo")), "query=x&category=0");
    ASSERT_FALSE(reply.raised) << reply.message.toStdString();
    EXPECT_TRUE(reply.body.startsWith("POST /echo HTTP/1.0\r\n")) << reply.body.constData();
    EXPECT_TRUE(reply.body.endsWith("\r\n\r\nquery=x&category=0"));
}

TEST_F(HttpThroughProxy, TinyproxyWithUserRefusesAClientWithoutProxyUser)
{
    TinyProxy proxy;
    ASSERT_TRUE(proxy.start(QStringLiteral("proxyuser"), QStringLiteral("proxypass")))
        << proxy.error().toStdString();
    http.SetProxy(QStringLiteral("127.0.0.1"));
    http.SetProxyPort(QString::number(proxy.port()));
    const HttpReply reply = httpGet(http, server.url(QStringLiteral("/echo")));
    EXPECT_TRUE(reply.raised);
    EXPECT_EQ(reply.code, 407);
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(HttpThroughProxy, TinyproxyWithUserLetsTheProxyUserThrough)
{
    TinyProxy proxy;
    ASSERT_TRUE(proxy.start(QStringLiteral("proxyuser"), QStringLiteral("proxypass")))
        << proxy.error().toStdString();
    http.SetProxy(QStringLiteral("127.0.0.1"));
    http.SetProxyPort(QString::number(proxy.port()));
    http.SetProxyUsername(QStringLiteral("proxyuser"));
    http.SetProxyPassword(QStringLiteral("proxypass"));
    const HttpReply reply = httpGet(http, server.url(QStringLiteral("/echo")));
    ASSERT_FALSE(reply.raised) << reply.message.toStdString();
    EXPECT_TRUE(reply.body.startsWith("GET /echo HTTP/1.0\r\n")) << reply.body.constData();
}

TEST_F(HttpThroughProxy, RedirectionThroughTheProxyStaysWithTheProxy)
{
    TinyProxy proxy;
    ASSERT_TRUE(proxy.start()) << proxy.error().toStdString();
    http.SetProxy(QStringLiteral("127.0.0.1"));
    http.SetProxyPort(QString::number(proxy.port()));
    const HttpReply reply = httpGet(http, server.url(QStringLiteral("/redirect?to=/echo%3Fredirected")));
    ASSERT_FALSE(reply.raised) << reply.message.toStdString();
    EXPECT_TRUE(reply.body.startsWith("GET /echo?redirected HTTP/1.0\r\n")) << reply.body.constData();
}

struct SocksCase {
    const char* name;
    SocksVersion version;
    bool requireUser;
};

SocksRoute danteRoute(const DanteServer& socks)
{
    SocksRoute route;
    route.server = QStringLiteral("127.0.0.1");
    route.port = QString::number(socks.port());
    return route;
}

class HttpThroughSocks : public HttpThroughProxy, public testing::WithParamInterface<SocksCase>
{
};

TEST_P(HttpThroughSocks, ReachesTheServer)
{
    DanteServer socks;
    ASSERT_TRUE(socks.start(GetParam().requireUser)) << socks.error().toStdString();
    SocksRoute route = danteRoute(socks);
    route.version = GetParam().version;
    if (GetParam().requireUser) {
        route.user = DanteServer::systemSocksUser();
        route.password = DanteServer::systemSocksPassword();
    }
    http.SetSocksRoute(route);
    const HttpReply reply = httpPost(http, server.url(QStringLiteral("/echo")), "md5=0123&action=others");
    ASSERT_FALSE(reply.raised) << reply.message.toStdString();
    EXPECT_TRUE(reply.body.startsWith("POST /echo HTTP/1.0\r\n")) << reply.body.constData();
    EXPECT_TRUE(reply.body.endsWith("md5=0123&action=others"));
    // Every later connection goes through the same server.
    const HttpReply again = httpGet(http, server.url(QStringLiteral("/body?size=5")));
    EXPECT_EQ(again.body, QByteArray("abcde"));
}

INSTANTIATE_TEST_SUITE_P(Levels, HttpThroughSocks,
    testing::Values(SocksCase { "socks4", SocksVersion::V4, false },
        SocksCase { "socks5", SocksVersion::V5, false },
        SocksCase { "socks5WithUser", SocksVersion::V5, true }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HttpThroughProxy, SocksServerRefusingTheLoginFailsTheRequest)
{
    DanteServer socks;
    ASSERT_TRUE(socks.start(true)) << socks.error().toStdString();
    SocksRoute route = danteRoute(socks);
    route.user = DanteServer::systemSocksUser();
    route.password = QStringLiteral("wrong password");
    http.SetSocksRoute(route);
    const HttpReply reply = httpGet(http, server.url(QStringLiteral("/echo")));
    EXPECT_TRUE(reply.raised);
    EXPECT_EQ(reply.code, 404);
    EXPECT_EQ(reply.message, QStringLiteral("socks authentication failed (Error #20015)"));
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(HttpThroughProxy, SocksServerWithoutLoginRefusesAClientThatWantsOne)
{
    DanteServer socks;
    ASSERT_TRUE(socks.start(false)) << socks.error().toStdString();
    SocksRoute route = danteRoute(socks);
    route.user = QStringLiteral("someone");
    http.SetSocksRoute(route);
    const HttpReply reply = httpGet(http, server.url(QStringLiteral("/echo")));
    EXPECT_TRUE(reply.raised);
    EXPECT_EQ(reply.message, QStringLiteral("authentification method not acceptable (Error #20003)"));
}

TEST_F(HttpThroughProxy, UnreachableSocksServerFails)
{
    SocksRoute route;
    route.server = QStringLiteral("127.0.0.1");
    route.port = QString::number(freeTcpPort());
    http.SetSocksRoute(route);
    const HttpReply reply = httpGet(http, server.url(QStringLiteral("/echo")));
    EXPECT_TRUE(reply.raised);
    EXPECT_EQ(reply.message, QStringLiteral("Connection refused (Error #10061)"));
}

} // namespace
