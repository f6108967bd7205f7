#include "common/Prompter.h"
#include "net/THttpCli.h"
#include "p2p/IndexServerClient.h"
#include "p2p/IndexTexts.h"
#include "p2p/ResultLine.h"
#include "settings/ApplyOptions.h"
#include "settings/ConnectionOptions.h"

#include "HttpTestServers.h"
#include "ProxyServers.h"
#include "SocksServers.h"
#include "TempHome.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <mutex>

namespace
{

// Records every message instead of showing it.
class RecordingPrompter : public Prompter
{
public:
    bool prompt(const QString& title, const QString& text, const QString&, const QString&) override
    {
        messages.append(title + QStringLiteral(": ") + text);
        return true;
    }

    QStringList messages;
};

QString errorMessage(const QString& text)
{
    return MessageTexts::errorTitle() + QStringLiteral(": ") + text;
}

class MemoryUpdateIndexUrl : public UpdateIndexUrlStore
{
public:
    std::string getUpdateIndexUrl() const override
    {
        std::lock_guard guard(lock_);
        return url_;
    }
    void setUpdateIndexUrl(std::string url) override
    {
        std::lock_guard guard(lock_);
        url_ = std::move(url);
    }

private:
    mutable std::mutex lock_;
    std::string url_;
};

bool writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

QByteArray song()
{
    return QByteArrayLiteral("la la la, a free song");
}

std::string songDigest()
{
    return QCryptographicHash::hash(song(), QCryptographicHash::Md5).toHex().toUpper().toStdString();
}

class IndexClient : public testing::Test
{
protected:
    // A shared folder of three entries.
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(sharedFolder() + QStringLiteral("/music")));
        ASSERT_TRUE(writeFile(sharedFolder() + QStringLiteral("/free music.mp3"), song()));
        ASSERT_TRUE(writeFile(sharedFolder() + QStringLiteral("/notes.txt"), "notes"));
    }

    QString sharedFolder() const { return shared.filePath(QStringLiteral("shared")); }

    // The index server with "alice" (fixed address) and "bob" (reached by
    // his P2P name) sharing the folder.
    bool startIndex(IndexTestServer& server, const QStringList& faults = {}) const
    {
        return server.start({ QStringLiteral("alice,192.0.2.1,2121,1,3,DE,") + sharedFolder(),
                                QStringLiteral("bob,198.51.100.4,21,0,0,UN,") + sharedFolder() },
            faults);
    }

    p2pNetwork networkOf(const IndexTestServer& server) const
    {
        p2pNetwork network;
        network.name = "Quorvane P2P Network";
        network.baseUrl = server.base();
        network.userName = "me";
        network.password = "pw";
        return network;
    }

    IndexCaller caller() { return IndexCaller { http, aborted, &prompter }; }

    QTemporaryDir shared;
    TempHome home;
    connectionOptions options;
    RecordingPrompter prompter;
    THttpCli http;
    std::atomic<bool> aborted { false };
};

// A fixture server whose every answer below `base` is `reply`.
std::string fixedReplyBase(const HttpFixtureServer& server, const QByteArray& reply)
{
    return server.url(QStringLiteral("/reply/") + QString::fromLatin1(reply.toPercentEncoding()))
        .toStdString();
}

// ------------------------------------------------------------ resolveIndexServer

TEST_F(IndexClient, ResolvedIndexUrlIsTheReplyAsItStands)
{
    IndexTestServer server;
    ASSERT_TRUE(startIndex(server)) << server.error().toStdString();
    p2pNetwork network = networkOf(server);
    EXPECT_TRUE(resolveIndexServer(caller(), options, network, true));
    EXPECT_EQ(network.indexUrl, server.origin() + "/p2p");
    EXPECT_TRUE(prompter.messages.isEmpty());
    EXPECT_EQ(server.requestsTo(QStringLiteral("/p2p/v6/getsindex.php")).size(), 1);
}

TEST_F(IndexClient, FailedResolutionTellsTheUserAndLeavesNoAddress)
{
    IndexTestServer server;
    ASSERT_TRUE(startIndex(server,
        { QStringLiteral("--error-status"), QStringLiteral("500"), QStringLiteral("--fault-endpoint"),
            QStringLiteral("getsindex") }))
        << server.error().toStdString();
    p2pNetwork network = networkOf(server);
    network.indexUrl = "";
    EXPECT_FALSE(resolveIndexServer(caller(), options, network, true));
    EXPECT_EQ(network.indexUrl, "");
    EXPECT_EQ(prompter.messages,
        QStringList {
            errorMessage(QStringLiteral("Unable to determine optimal Index Server (HTTP) address")) });

    EXPECT_FALSE(resolveIndexServer(caller(), options, network, false));
    EXPECT_EQ(prompter.messages.size(), 1);
}

TEST_F(IndexClient, UnreachableIndexServerTellsTheUser)
{
    p2pNetwork network;
    network.baseUrl = "http://127.0.0.1:" + std::to_string(freeTcpPort()) + "/p2p/v6";
    EXPECT_FALSE(resolveIndexServer(caller(), options, network, true));
    EXPECT_EQ(prompter.messages.size(), 1);
}

struct ResolveReplyCase {
    const char* name;
    QByteArray reply;
    bool resolved;
    std::string indexUrl;
};

class IndexClientResolveReply : public IndexClient, public testing::WithParamInterface<ResolveReplyCase>
{
};

TEST_P(IndexClientResolveReply, IsTakenOnlyAsAnHttpUrlWithAHost)
{
    HttpFixtureServer fixture;
    ASSERT_TRUE(fixture.start()) << fixture.error().toStdString();
    p2pNetwork network;
    network.baseUrl = fixedReplyBase(fixture, GetParam().reply);
    EXPECT_EQ(resolveIndexServer(caller(), options, network, true), GetParam().resolved);
    EXPECT_EQ(network.indexUrl, GetParam().indexUrl);
    EXPECT_EQ(prompter.messages.size(), GetParam().resolved ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Replies, IndexClientResolveReply,
    testing::Values(
        ResolveReplyCase { "plain", "http://index.example/p2p", true, "http://index.example/p2p" },
        ResolveReplyCase { "nulEndsTheText", QByteArray("http://index.example/p2p\0junk", 29), true,
            "http://index.example/p2p" },
        ResolveReplyCase { "trailingLineFeed", "http://index.example/p2p\n", false, "" },
        ResolveReplyCase { "injectedHeader", "http://index.example/p2p\r\nX-Injected: 1", false, "" },
        ResolveReplyCase { "nothingBeforeNul", QByteArray("\0", 1), false, "" },
        ResolveReplyCase { "htmlPage", "<html><body>Index busy</body></html>", false, "" },
        ResolveReplyCase { "noScheme", "index.example/p2p", false, "" },
        ResolveReplyCase { "hostWithBlank", "http://index example/p2p", false, "" }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(IndexClient, AbortedResolutionSaysNothing)
{
    IndexTestServer server;
    ASSERT_TRUE(startIndex(server, { QStringLiteral("--delay"), QStringLiteral("3000") }))
        << server.error().toStdString();
    p2pNetwork network = networkOf(server);
    QTimer::singleShot(200, &http, [this] {
        aborted = true;
        http.Abort();
    });
    EXPECT_FALSE(resolveIndexServer(caller(), options, network, true));
    EXPECT_TRUE(prompter.messages.isEmpty());
}

// ------------------------------------------------------------ searchIndex

TEST_F(IndexClient, SearchFindsTheSharedEntries)
{
    IndexTestServer server;
    ASSERT_TRUE(startIndex(server)) << server.error().toStdString();
    p2pNetwork network = networkOf(server);
    ASSERT_TRUE(resolveIndexServer(caller(), options, network, true));
    SearchQuery query;
    query.keyword = "free music";
    const auto reply = searchIndex(caller(), options, network, query);
    ASSERT_TRUE(reply.has_value());
    const auto lines = replyLines(*reply);
    ASSERT_EQ(lines.size(), 2u) << *reply;
    for (const auto line : lines) {
        ASSERT_TRUE(isResultLine(line)) << line;
        const ftpObject entry = resultLineToObject(line, network, options.AnonymousPassword);
        EXPECT_EQ(entry.name, "free music.mp3");
        EXPECT_EQ(entry.directory, "/");
        EXPECT_EQ(entry.size, song().size());
        EXPECT_EQ(entry.digest, songDigest());
        EXPECT_EQ(entry.site->network.indexUrl, server.origin() + "/p2p");
    }
    EXPECT_EQ(resultLineToObject(lines[0], network, "").site->name, "192.0.2.1");
    EXPECT_EQ(resultLineToObject(lines[1], network, "").site->name, "<bob>");

    const auto requests = server.requestsTo(QStringLiteral("/p2p/v6/search.php"));
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0][QStringLiteral("body")].toString(),
        QStringLiteral("query=free+music&category=0&country=UN&record=0&logic=0&username=me&password=pw"));
    EXPECT_EQ(requests[0][QStringLiteral("content_type")].toString(),
        QStringLiteral("application/x-www-form-urlencoded"));
    EXPECT_TRUE(prompter.messages.isEmpty());
}

TEST_F(IndexClient, FailedSearchTellsTheUser)
{
    IndexTestServer server;
    ASSERT_TRUE(startIndex(server,
        { QStringLiteral("--error-status"), QStringLiteral("503"), QStringLiteral("--fault-endpoint"),
            QStringLiteral("search") }))
        << server.error().toStdString();
    p2pNetwork network = networkOf(server);
    ASSERT_TRUE(resolveIndexServer(caller(), options, network, true));
    SearchQuery query;
    query.keyword = "music";
    EXPECT_FALSE(searchIndex(caller(), options, network, query).has_value());
    EXPECT_EQ(prompter.messages,
        QStringList {
            errorMessage(QStringLiteral("Unable to connect Index Server The error occurred either "
                                        "because:\n1) due to a problem in your Internet connection, "
                                        "2)A problem in Quorvane servers.")) });
}

TEST_F(IndexClient, SilentIndexServerEndsTheSearchAtTheDeadline)
{
    IndexTestServer server;
    ASSERT_TRUE(startIndex(server,
        { QStringLiteral("--delay"), QStringLiteral("4000"), QStringLiteral("--fault-endpoint"),
            QStringLiteral("search") }))
        << server.error().toStdString();
    p2pNetwork network = networkOf(server);
    ASSERT_TRUE(resolveIndexServer(caller(), options, network, true));
    options.TimeoutPeriod = 1;
    SearchQuery query;
    query.keyword = "music";
    EXPECT_FALSE(searchIndex(caller(), options, network, query).has_value());
    EXPECT_EQ(prompter.messages, QStringList { errorMessage(indexTexts::searchFailed()) });
    EXPECT_EQ(http.State(), httpReady);
}

struct ProxyCase {
    const char* name;
    std::int32_t connectionType;
    bool withUser;
};

class IndexClientThroughProxy : public IndexClient, public testing::WithParamInterface<ProxyCase>
{
};

TEST_P(IndexClientThroughProxy, SearchesWithTheHttpSettings)
{
    IndexTestServer server;
    ASSERT_TRUE(startIndex(server)) << server.error().toStdString();
    TinyProxy tinyproxy;
    DanteServer dante;
    const ProxyCase& c = GetParam();
    if (c.connectionType == connectionOptions::HttpProxy) {
        ASSERT_TRUE(c.withUser ? tinyproxy.start(QStringLiteral("proxyuser"), QStringLiteral("proxypass"))
                               : tinyproxy.start())
            << tinyproxy.error().toStdString();
        options.HTTPProxyServer = "127.0.0.1";
        options.HTTPProxyPort = tinyproxy.port();
        if (c.withUser) {
            options.HTTPProxyUser = "proxyuser";
            options.HTTPProxyPassword = "proxypass";
        }
    } else {
        ASSERT_TRUE(dante.start(c.withUser)) << dante.error().toStdString();
        options.HTTPSOCKSServer = "127.0.0.1";
        options.HTTPSOCKSPort = dante.port();
        if (c.withUser) {
            options.HTTPSOCKSUser = DanteServer::systemSocksUser().toStdString();
            options.HTTPSOCKSPassword = DanteServer::systemSocksPassword().toStdString();
        }
    }
    options.HTTPConnectionType = c.connectionType;
    p2pNetwork network = networkOf(server);
    ASSERT_TRUE(resolveIndexServer(caller(), options, network, true))
        << prompter.messages.join(u'\n').toStdString();
    SearchQuery query;
    query.keyword = "notes";
    const auto reply = searchIndex(caller(), options, network, query);
    ASSERT_TRUE(reply.has_value()) << prompter.messages.join(u'\n').toStdString();
    EXPECT_EQ(replyLines(*reply).size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Settings, IndexClientThroughProxy,
    testing::Values(ProxyCase { "httpProxy", connectionOptions::HttpProxy, false },
        ProxyCase { "httpProxyWithUser", connectionOptions::HttpProxy, true },
        ProxyCase { "socks4", connectionOptions::HttpSocks4, false },
        ProxyCase { "socks5", connectionOptions::HttpSocks5, false },
        ProxyCase { "socks5WithUser", connectionOptions::HttpSocks5, true }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(IndexClient, ProxyWithUserRefusesASearchWithoutProxyUser)
{
    IndexTestServer server;
    ASSERT_TRUE(startIndex(server)) << server.error().toStdString();
    TinyProxy tinyproxy;
    ASSERT_TRUE(tinyproxy.start(QStringLiteral("proxyuser"), QStringLiteral("proxypass")))
        << tinyproxy.error().toStdString();
    options.HTTPConnectionType = connectionOptions::HttpProxy;
    options.HTTPProxyServer = "127.0.0.1";
    options.HTTPProxyPort = tinyproxy.port();
    p2pNetwork network = networkOf(server);
    EXPECT_FALSE(resolveIndexServer(caller(), options, network, true));
    EXPECT_TRUE(server.requestsTo(QStringLiteral("/p2p/v6/getsindex.php")).isEmpty());
}

TEST_F(IndexClient, DirectSettingsDropAnEarlierProxy)
{
    IndexTestServer server;
    ASSERT_TRUE(startIndex(server)) << server.error().toStdString();
    options.HTTPConnectionType = connectionOptions::HttpProxy;
    options.HTTPProxyServer = "127.0.0.1";
    options.HTTPProxyPort = freeTcpPort();
    applyHttpProxy(http, options);
    EXPECT_EQ(http.Proxy(), QStringLiteral("127.0.0.1"));
    options.HTTPConnectionType = connectionOptions::HttpDirect;
    p2pNetwork network = networkOf(server);
    EXPECT_TRUE(resolveIndexServer(caller(), options, network, true));
    EXPECT_TRUE(http.Proxy().isEmpty());
    EXPECT_FALSE(http.socksRoute().isEnabled());
}

// ------------------------------------------------------------ resolveUserAddress

TEST_F(IndexClient, UserAddressResolvesTheIndexServerFirst)
{
    IndexTestServer server;
    ASSERT_TRUE(startIndex(server)) << server.error().toStdString();
    p2pNetwork network = networkOf(server);
    const auto address = resolveUserAddress(caller(), options, network, "alice", true);
    ASSERT_TRUE(address.has_value()) << prompter.messages.join(u'\n').toStdString();
    EXPECT_EQ(address->address, "192.0.2.1");
    EXPECT_EQ(address->port, 2121);
    EXPECT_EQ(network.indexUrl, server.origin() + "/p2p");
    const auto requests = server.requestsTo(QStringLiteral("/p2p/v6/resume.php"));
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0][QStringLiteral("body")].toString(),
        QStringLiteral("username=alice&action=getIPFromUsername&loginusername=me&loginpassword=pw"));
}

TEST_F(IndexClient, OfflineUserIsReported)
{
    IndexTestServer server;
    ASSERT_TRUE(startIndex(server, { QStringLiteral("--offline-user"), QStringLiteral("bob") }))
        << server.error().toStdString();
    p2pNetwork network = networkOf(server);
    EXPECT_FALSE(resolveUserAddress(caller(), options, network, "bob", true).has_value());
    EXPECT_EQ(prompter.messages,
        QStringList { errorMessage(
            QStringLiteral("Unable to resolve server's IP address and port from the P2P username.\n\n"
                           "It seems that the user \"bob\" is offline.")) });
    EXPECT_FALSE(resolveUserAddress(caller(), options, network, "bob", false).has_value());
    EXPECT_EQ(prompter.messages.size(), 1);
}

struct UserReplyCase {
    const char* name;
    QByteArray reply;
    bool found;
    std::string address;
    std::uint16_t port;
};

class IndexClientUserReply : public IndexClient, public testing::WithParamInterface<UserReplyCase>
{
};

TEST_P(IndexClientUserReply, FollowsTheResumeRule)
{
    HttpFixtureServer fixture;
    ASSERT_TRUE(fixture.start()) << fixture.error().toStdString();
    p2pNetwork network;
    network.indexUrl = fixedReplyBase(fixture, GetParam().reply);
    const auto address = resolveUserAddress(caller(), options, network, "carol", false);
    ASSERT_EQ(address.has_value(), GetParam().found);
    if (address) {
        EXPECT_EQ(address->address, GetParam().address);
        EXPECT_EQ(address->port, GetParam().port);
    }
}

INSTANTIATE_TEST_SUITE_P(Replies, IndexClientUserReply,
    testing::Values(UserReplyCase { "addressAndPort", "203.0.113.9*2121", true, "203.0.113.9", 2121 },
        UserReplyCase { "noPort", "203.0.113.9*", true, "203.0.113.9", 21 },
        UserReplyCase { "errorLine", "5ab offline", false, "", 0 },
        UserReplyCase { "threeBytes", "a*b", false, "", 0 },
        UserReplyCase { "noStar", "somewhere", false, "", 0 },
        UserReplyCase { "lineBreakInAddress", "203.0.113.9\r\nX-Injected: 1*21", false, "", 0 },
        UserReplyCase { "portOutOfRange", "203.0.113.9*70000", false, "", 0 },
        UserReplyCase { "htmlPage", "<html><body>*</body></html>", false, "", 0 }),
    [](const auto& info) { return std::string(info.param.name); });

// ------------------------------------------------------------ findOtherSources

TEST_F(IndexClient, OtherSourcesOfADigest)
{
    IndexTestServer server;
    ASSERT_TRUE(startIndex(server)) << server.error().toStdString();
    p2pNetwork network = networkOf(server);
    ASSERT_TRUE(resolveIndexServer(caller(), options, network, false));
    const auto reply = findOtherSources(caller(), network, songDigest());
    ASSERT_TRUE(reply.has_value());
    const auto lines = replyLines(*reply);
    ASSERT_EQ(lines.size(), 2u);
    const ftpObject first = resultLineToObject(lines[0], network, options.AnonymousPassword);
    EXPECT_EQ(first.site->hostAddress, "192.0.2.1");
    EXPECT_EQ(first.site->port, 2121u);
    EXPECT_TRUE(first.site->supportsMd5);
    EXPECT_EQ(first.digest, songDigest());

    EXPECT_FALSE(findOtherSources(caller(), network, "00000000000000000000000000000000").has_value());
    EXPECT_TRUE(prompter.messages.isEmpty());
}

TEST_F(IndexClient, OtherSourcesFromALoaderThread)
{
    IndexTestServer server;
    ASSERT_TRUE(startIndex(server)) << server.error().toStdString();
    p2pNetwork network = networkOf(server);
    std::optional<std::string> reply;
    QThread* worker = QThread::create([&] {
        THttpCli own;
        own.SetMultiThreaded(true);
        applyHttpProxy(own, options);
        const std::atomic<bool> stopping { false };
        IndexCaller loader { own, stopping };
        if (resolveIndexServer(loader, options, network, false))
            reply = findOtherSources(loader, network, songDigest());
    });
    worker->start();
    while (!worker->wait(10))
        QCoreApplication::processEvents();
    delete worker;
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(replyLines(*reply).size(), 2u);
}

// ------------------------------------------------------------ findUpdateIndex and publishMd5

TEST_F(IndexClient, UpdateIndexIsFoundAndKept)
{
    IndexTestServer server;
    ASSERT_TRUE(startIndex(server)) << server.error().toStdString();
    MemoryUpdateIndexUrl store;
    EXPECT_TRUE(findUpdateIndex(caller(), networkOf(server), store));
    EXPECT_EQ(store.getUpdateIndexUrl(), server.origin() + "/p2p/v6");
}

TEST_F(IndexClient, FailedUpdateIndexEmptiesTheKeptAddress)
{
    IndexTestServer server;
    ASSERT_TRUE(startIndex(server, { QStringLiteral("--error-status"), QStringLiteral("404") }))
        << server.error().toStdString();
    MemoryUpdateIndexUrl store;
    store.setUpdateIndexUrl("http://old.example/p2p/v6");
    EXPECT_FALSE(findUpdateIndex(caller(), networkOf(server), store));
    EXPECT_EQ(store.getUpdateIndexUrl(), "");
}

struct UpdateReplyCase {
    const char* name;
    QByteArray reply;
    bool found;
    std::string stored;
};

class IndexClientUpdateReply : public IndexClient, public testing::WithParamInterface<UpdateReplyCase>
{
};

TEST_P(IndexClientUpdateReply, FollowsTheStatusLikeRule)
{
    HttpFixtureServer fixture;
    ASSERT_TRUE(fixture.start()) << fixture.error().toStdString();
    p2pNetwork network;
    network.baseUrl = fixedReplyBase(fixture, GetParam().reply);
    MemoryUpdateIndexUrl store;
    store.setUpdateIndexUrl("http://old.example/p2p/v6");
    EXPECT_EQ(findUpdateIndex(caller(), network, store), GetParam().found);
    EXPECT_EQ(store.getUpdateIndexUrl(), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(Replies, IndexClientUpdateReply,
    testing::Values(UpdateReplyCase { "twoCharacters", "ab", false, "" },
        UpdateReplyCase { "address", "http://u.example/", true, "http://u.example/p2p/v6" },
        UpdateReplyCase { "addressAndPort", "http://192.0.2.9:8080", true, "http://192.0.2.9:8080/p2p/v6" },
        UpdateReplyCase { "fourLetters", "abcd", false, "" },
        UpdateReplyCase { "htmlPage", "<html>moved</html>", false, "" },
        UpdateReplyCase { "errorLine", "404 gone", false, "" },
        UpdateReplyCase { "lineBreak", "http://u.example/\r\n", false, "" }),
    [](const auto& info) { return std::string(info.param.name); });

Md5Report songReport()
{
    Md5Report report;
    report.remotePath = "/pub/music/free music.mp3";
    report.port = 2121;
    report.size = song().size();
    report.md5 = songDigest();
    report.dateText = "Mar 15 12:30";
    return report;
}

TEST_F(IndexClient, DigestIsPublishedWithThePublicAddress)
{
    IndexTestServer server;
    ASSERT_TRUE(startIndex(server)) << server.error().toStdString();
    MemoryUpdateIndexUrl store;
    ASSERT_TRUE(findUpdateIndex(caller(), networkOf(server), store));
    EXPECT_TRUE(publishMd5(caller(), store, songReport(),
        { QStringLiteral("127.0.0.1"), QStringLiteral("192.168.1.5"), QStringLiteral("203.0.113.7"),
            QStringLiteral("198.51.100.1") }));
    const auto requests = server.requestsTo(QStringLiteral("/p2p/v6/updatemd5.php"));
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0][QStringLiteral("content_type")].toString(),
        QStringLiteral("application/x-www-form-urlencoded"));
    EXPECT_EQ(requests[0][QStringLiteral("body")].toString(),
        QStringLiteral("protocol=0&filename=free+music%2Emp3&pathname=%2Fpub%2Fmusic%2F&ip=203%2E0%2E113%2E7"
                       "&port=2121&filesize=")
            + QString::number(song().size()) + QStringLiteral("&md5=") + QString::fromStdString(songDigest())
            + QStringLiteral("&date=Mar+15+12%3A30&action=update"));
}

TEST_F(IndexClient, NothingIsPublishedWithoutAPublicAddress)
{
    IndexTestServer server;
    ASSERT_TRUE(startIndex(server)) << server.error().toStdString();
    MemoryUpdateIndexUrl store;
    ASSERT_TRUE(findUpdateIndex(caller(), networkOf(server), store));
    EXPECT_FALSE(publishMd5(caller(), store, songReport(),
        { QStringLiteral("127.0.0.1"), QStringLiteral("10.0.0.3"), QStringLiteral("172.20.0.2") }));
    EXPECT_TRUE(server.requestsTo(QStringLiteral("/p2p/v6/updatemd5.php")).isEmpty());
}

TEST_F(IndexClient, ARecordTheServerRefusesFailsThePublication)
{
    HttpFixtureServer fixture;
    ASSERT_TRUE(fixture.start()) << fixture.error().toStdString();
    MemoryUpdateIndexUrl store;
    store.setUpdateIndexUrl(fixedReplyBase(fixture, "500 Missing or wrong fields: md5."));
    EXPECT_FALSE(publishMd5(caller(), store, songReport(), { QStringLiteral("203.0.113.7") }));
    ASSERT_EQ(fixture.requests().size(), 1);
}

TEST_F(IndexClient, NamesInAPublishedRecordStayInTheirOwnFields)
{
    IndexTestServer server;
    ASSERT_TRUE(startIndex(server)) << server.error().toStdString();
    MemoryUpdateIndexUrl store;
    ASSERT_TRUE(findUpdateIndex(caller(), networkOf(server), store));
    Md5Report report = songReport();
    report.remotePath = "/x&md5=00000000000000000000000000000000/a&ip=6.6.6.6";
    report.dateText = "Mar 1&action=delete";
    EXPECT_TRUE(publishMd5(caller(), store, report, { QStringLiteral("203.0.113.7") }));
    const QJsonArray records = server.records();
    ASSERT_EQ(records.size(), 1);
    const QJsonObject record = records[0].toObject();
    EXPECT_EQ(record[QStringLiteral("filename")].toString(), QStringLiteral("a&ip=6.6.6.6"));
    EXPECT_EQ(record[QStringLiteral("pathname")].toString(),
        QStringLiteral("/x&md5=00000000000000000000000000000000/"));
    EXPECT_EQ(record[QStringLiteral("ip")].toString(), QStringLiteral("203.0.113.7"));
    EXPECT_EQ(record[QStringLiteral("md5")].toString(), QString::fromStdString(songDigest()));
    EXPECT_EQ(record[QStringLiteral("date")].toString(), QStringLiteral("Mar 1&action=delete"));
    EXPECT_EQ(record[QStringLiteral("action")].toString(), QStringLiteral("update"));
}

struct BadDigestCase {
    const char* name;
    std::string md5;
};

class IndexClientBadDigest : public IndexClient, public testing::WithParamInterface<BadDigestCase>
{
};

TEST_P(IndexClientBadDigest, IsNeverSent)
{
    IndexTestServer server;
    ASSERT_TRUE(startIndex(server)) << server.error().toStdString();
    p2pNetwork network = networkOf(server);
    ASSERT_TRUE(resolveIndexServer(caller(), options, network, false));
    EXPECT_FALSE(findOtherSources(caller(), network, GetParam().md5).has_value());
    MemoryUpdateIndexUrl store;
    ASSERT_TRUE(findUpdateIndex(caller(), network, store));
    Md5Report report = songReport();
    report.md5 = GetParam().md5;
    EXPECT_FALSE(publishMd5(caller(), store, report, { QStringLiteral("203.0.113.7") }));

    EXPECT_TRUE(server.requestsTo(QStringLiteral("/p2p/v6/resume.php")).isEmpty());
    EXPECT_TRUE(server.requestsTo(QStringLiteral("/p2p/v6/updatemd5.php")).isEmpty());
    EXPECT_TRUE(server.records().isEmpty());
    EXPECT_TRUE(prompter.messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Digests, IndexClientBadDigest,
    testing::Values(BadDigestCase { "empty", "" }, BadDigestCase { "formField", "&loginusername=mallory" },
        BadDigestCase { "digestAndFormField", songDigest() + "&loginusername=mallory" },
        BadDigestCase { "notHexadecimal", "0123456789ABCDEF0123456789ABCDEZ" }),
    [](const auto& info) { return std::string(info.param.name); });

// A search result whose digest field carries a form field: the entry's
// digest is unknown, and looking for other sources of it sends nothing.
TEST_F(IndexClient, AnOtherSourcesRequestCarriesNoFieldOfASearchResult)
{
    HttpFixtureServer fixture;
    ASSERT_TRUE(fixture.start()) << fixture.error().toStdString();
    IndexTestServer server;
    ASSERT_TRUE(startIndex(server)) << server.error().toStdString();
    p2pNetwork searched;
    searched.indexUrl = fixedReplyBase(fixture,
        "mallory*192.0.2.66*21*0*1*UN*-*20240101*5*/*bait.mp3*&loginusername=mallory&loginpassword=x\r\n");
    const auto reply = searchIndex(caller(), options, searched, SearchQuery {});
    ASSERT_TRUE(reply.has_value());
    const auto lines = replyLines(*reply);
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_TRUE(isResultLine(lines[0]));
    const ftpObject bait = resultLineToObject(lines[0], searched, "");
    EXPECT_EQ(bait.digest, "");

    p2pNetwork network = networkOf(server);
    ASSERT_TRUE(resolveIndexServer(caller(), options, network, false));
    EXPECT_FALSE(findOtherSources(caller(), network, bait.digest).has_value());
    EXPECT_TRUE(server.requestsTo(QStringLiteral("/p2p/v6/resume.php")).isEmpty());
}

TEST_F(IndexClient, AUserNameIsSentAsOneField)
{
    IndexTestServer server;
    ASSERT_TRUE(startIndex(server)) << server.error().toStdString();
    p2pNetwork network = networkOf(server);
    network.password = "p&w";
    EXPECT_FALSE(
        resolveUserAddress(caller(), options, network, "bob&loginusername=alice", false).has_value());
    const auto requests = server.requestsTo(QStringLiteral("/p2p/v6/resume.php"));
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0][QStringLiteral("body")].toString(),
        QStringLiteral("username=bob%26loginusername%3Dalice&action=getIPFromUsername&loginusername=me"
                       "&loginpassword=p%26w"));
}

TEST_F(IndexClient, AnOversizedUserAddressIsAFailedLookup)
{
    IndexTestServer server;
    const QString hugeAddress(100 * 1024, u'a');
    ASSERT_TRUE(server.start(
        { QStringLiteral("carol,") + hugeAddress + QStringLiteral(",2121,0,0,UN,") + sharedFolder() }))
        << server.error().toStdString();
    p2pNetwork network = networkOf(server);
    EXPECT_FALSE(resolveUserAddress(caller(), options, network, "carol", true).has_value());
    EXPECT_EQ(
        prompter.messages, QStringList { errorMessage(indexTexts::userOffline(QStringLiteral("carol"))) });
    EXPECT_EQ(server.requestsTo(QStringLiteral("/p2p/v6/resume.php")).size(), 1);
}

} // namespace
