// Whole sessions against the family FTP server, vsftpd and a scripted
// server: connecting with its attempts, the log, keep-alive, disconnect,
// navigation through the listing cache, and server search.

#include "../net/ftp_test_support.h"
#include "FtpTestServer.h"
#include "ScriptedFtpServer.h"
#include "TempHome.h"
#include "session_test_support.h"

#include "common/ProgramFolders.h"
#include "net/TFtpClient.h"
#include "remote/RemotePath.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace
{

void makeFile(const QString& path, const QByteArray& contents = "x")
{
    QDir().mkpath(QFileInfo(path).path());
    writeLocalFile(path, contents);
}

// /pub with files and folders, /pub/docs/readme.txt, /incoming.
void fillServerRoot(const QString& root)
{
    makeFile(root + QStringLiteral("/pub/alpha.txt"));
    makeFile(root + QStringLiteral("/pub/Beta.bin"));
    makeFile(root + QStringLiteral("/pub/docs/readme.txt"));
    makeFile(root + QStringLiteral("/pub/docs/manual.pdf"));
    makeFile(root + QStringLiteral("/top.txt"));
    QDir().mkpath(root + QStringLiteral("/empty"));
}

ftpSite siteOf(const FtpTestServer& server, const std::string& name = "Family site")
{
    ftpSite site;
    site.name = name;
    site.hostAddress = "127.0.0.1";
    site.displayAddress = "127.0.0.1";
    site.port = server.port();
    site.anonymous = false;
    site.userId = server.user().toStdString();
    site.password = server.password().toStdString();
    return site;
}

class SessionTest : public testing::Test
{
protected:
    void SetUp() override { options.TimeoutPeriod = 10; }

    // A session on `site`; it connects (and lists) when `connect` is set.
    ftpClient& open(const ftpSite& site, const std::string& initialDirectory = "/pub", bool connect = true)
    {
        ftpSite withFolder = site;
        withFolder.initialDirectory = initialDirectory;
        session = std::make_unique<ftpClient>(
            withFolder, view, ftpClient::environment { prompter, &notices, options });
        if (connect)
            session->start();
        return *session;
    }

    bool closedNoticeArrives()
    {
        return runEventsUntil([this] { return notices.closed > 0; }, std::chrono::seconds(10));
    }

    static QByteArrayList commandsOf(const FtpTestServer& server)
    {
        QByteArrayList lines = server.commandLog().split('\n');
        lines.removeAll(QByteArray());
        return lines;
    }

    TempHome home;
    connectionOptions options;
    std::shared_ptr<recordingView> view = std::make_shared<recordingView>();
    recordingPrompter prompter;
    noticeCounter notices;
    std::unique_ptr<ftpClient> session;
};

// ---------------------------------------------------------------- connecting

TEST_F(SessionTest, ThreeAttemptsAgainstAClosedPortThenOneMessageAndTheTabCloses)
{
    options.Attempts = 3;
    ftpSite site;
    site.name = "Nowhere";
    site.hostAddress = site.displayAddress = "127.0.0.1";
    site.port = freeTcpPort();
    ftpClient& s = open(site, "/", false);
    EXPECT_FALSE(s.connectSession(true));
    EXPECT_EQ(view->logLinesStartingWith(QStringLiteral("! Connecting to 127.0.0.1 - attempt #")), 3);
    EXPECT_TRUE(view->log.contains(QStringLiteral("! Connecting to 127.0.0.1 - attempt #3")));
    EXPECT_TRUE(s.component().Passive());
    ASSERT_EQ(prompter.texts.size(), 1);
    EXPECT_TRUE(prompter.texts.front().contains(QStringLiteral("Connection to server failed!")));
    EXPECT_TRUE(prompter.texts.front().contains(QStringLiteral("Details from server:")));
    EXPECT_TRUE(s.closing());
    ASSERT_TRUE(closedNoticeArrives());
    EXPECT_EQ(notices.lastValue, 0);
}

TEST_F(SessionTest, PassiveModeOnlyFromTheSecondAttempt)
{
    options.Attempts = 1;
    ftpSite site;
    site.hostAddress = site.displayAddress = "127.0.0.1";
    site.port = freeTcpPort();
    EXPECT_FALSE(open(site, "/", false).connectSession(true));
    EXPECT_FALSE(session->component().Passive());
    EXPECT_EQ(prompter.texts.size(), 1);
}

TEST_F(SessionTest, NoAttemptsOrNoAddressCloseWithoutAMessage)
{
    for (const bool emptyAddress : { false, true }) {
        SCOPED_TRACE(emptyAddress);
        notices.closed = 0;
        options.Attempts = emptyAddress ? 3 : 0;
        ftpSite site;
        site.hostAddress = site.displayAddress = emptyAddress ? "" : "127.0.0.1";
        site.port = freeTcpPort();
        EXPECT_FALSE(open(site, "/", false).connectSession(true));
        EXPECT_EQ(view->logLinesStartingWith(QStringLiteral("! Connecting")), 0);
        EXPECT_TRUE(prompter.texts.isEmpty());
        EXPECT_TRUE(closedNoticeArrives());
    }
}

TEST_F(SessionTest, APasswordRefusedOnceIsSentAgainOnTheSameConnection)
{
    const QTemporaryDir root;
    fillServerRoot(root.path());
    FtpTestServer server(
        FtpServerKind::Family, root.path(), { QStringLiteral("--refuse-pass"), QStringLiteral("1") });
    ASSERT_TRUE(server.running()) << qPrintable(server.error());
    ftpClient& s = open(siteOf(server));
    EXPECT_TRUE(s.established());
    EXPECT_TRUE(prompter.texts.isEmpty());
    EXPECT_EQ(view->logLinesStartingWith(QStringLiteral("< 220")), 1); // one greeting: one connection
    const QByteArrayList commands = commandsOf(server);
    ASSERT_GE(commands.size(), 4);
    EXPECT_EQ(
        commands.mid(0, 4), (QByteArrayList { "USER tester", "PASS secret", "USER tester", "PASS secret" }));
    EXPECT_EQ(view->logLinesStartingWith(QStringLiteral("> PASS ********")), 2);
    EXPECT_FALSE(view->log.join(QLatin1Char('\n')).contains(QStringLiteral("secret")));
}

TEST_F(SessionTest, ARefusedPasswordOnTheLastAttemptShowsThePasswordMessage)
{
    const QTemporaryDir root;
    FtpTestServer server(
        FtpServerKind::Family, root.path(), { QStringLiteral("--refuse-pass"), QStringLiteral("5") });
    ASSERT_TRUE(server.running()) << qPrintable(server.error());
    options.Attempts = 2;
    EXPECT_FALSE(open(siteOf(server), "/", false).connectSession(true));
    ASSERT_EQ(prompter.texts.size(), 1);
    EXPECT_TRUE(
        prompter.texts.front().contains(QStringLiteral("Please check the username and the password.")));
    EXPECT_TRUE(closedNoticeArrives());
}

TEST_F(SessionTest, ThePasswordOfSiteChpwdNeverReachesTheLog)
{
    const QTemporaryDir root;
    FtpTestServer server(FtpServerKind::Family, root.path());
    ASSERT_TRUE(server.running()) << qPrintable(server.error());
    ftpClient& s = open(siteOf(server));
    s.component().SetQuoteCommand("SITE CHPWD n3wpassword");
    EXPECT_TRUE(s.component().Quote());
    EXPECT_TRUE(commandsOf(server).contains("SITE CHPWD n3wpassword"));
    EXPECT_TRUE(view->log.contains(QStringLiteral("> SITE CHPWD ********")));
    EXPECT_FALSE(view->log.join(QLatin1Char('\n')).contains(QStringLiteral("n3wpassword")));
}

TEST_F(SessionTest, KeepAliveSendsSystOnlyWithAPeriod)
{
    const QTemporaryDir root;
    for (const int period : { 0, 150 }) {
        SCOPED_TRACE(period);
        FtpTestServer server(FtpServerKind::Family, root.path());
        ASSERT_TRUE(server.running()) << qPrintable(server.error());
        options.KeepAlivePeriod = period;
        open(siteOf(server), "/");
        runEventsUntil(
            [&] { return commandsOf(server).count("SYST") >= 2; }, std::chrono::milliseconds(1500));
        EXPECT_EQ(commandsOf(server).count("SYST") >= 2, period > 0);
        session.reset();
    }
}

TEST_F(SessionTest, DisconnectClosesGracefullyWithQuit)
{
    const QTemporaryDir root;
    fillServerRoot(root.path());
    FtpTestServer server(FtpServerKind::Family, root.path());
    ASSERT_TRUE(server.running()) << qPrintable(server.error());
    ftpClient& s = open(siteOf(server));
    s.disconnectAndClose(true);
    EXPECT_TRUE(closedNoticeArrives());
    EXPECT_EQ(notices.lastValue, 1);
    EXPECT_EQ(commandsOf(server).last(), "QUIT");
    EXPECT_TRUE(s.entries().empty());
    EXPECT_EQ(s.tree().root(), nullptr);
}

TEST_F(SessionTest, DisconnectDuringAListingClosesWithoutQuit)
{
    const QTemporaryDir root;
    fillServerRoot(root.path());
    FtpTestServer server(
        FtpServerKind::Family, root.path(), { QStringLiteral("--reply-delay"), QStringLiteral("300") });
    ASSERT_TRUE(server.running()) << qPrintable(server.error());
    ftpClient& s = open(siteOf(server), "/");
    ASSERT_TRUE(s.established());
    QTimer::singleShot(100, &s, [&] { s.disconnectAndClose(false); });
    s.refreshListing();
    EXPECT_TRUE(closedNoticeArrives());
    EXPECT_FALSE(commandsOf(server).contains("QUIT"));
}

// A server that logs the user in at USER refuses a PASS that follows: the
// session is established without it.
TEST_F(SessionTest, AServerThatLogsInAtUserGetsNoPass)
{
    ScriptedFtpServer server;
    server.replies["USER"] = "230 Logged in without password\r\n";
    server.replies["PASS"] = "503 Login with USER first\r\n";
    ASSERT_TRUE(server.start());
    ftpSite site;
    site.hostAddress = site.displayAddress = "127.0.0.1";
    site.port = server.port();
    ftpClient& s = open(site, "/", false);
    ASSERT_TRUE(s.connectSession(false)) << prompter.texts.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(prompter.texts.isEmpty());
    EXPECT_FALSE(server.received("PASS"));
}

// A lost connection after the login closes the session. The server hangs up
// right after its reply to the keep-alive's SYST; the close often arrives
// with the reply, and the keep-alive's call must still end with that reply
// rather than hold the closed notice back until its time-out.
TEST_F(SessionTest, ALostConnectionAfterTheLoginClosesTheSession)
{
    ScriptedFtpServer server;
    server.replies["USER"] = "331 password\r\n";
    server.replies["PASS"] = "230 in\r\n";
    server.replies["SYST"] = "215 UNIX\r\n";
    server.closeAfter.insert("SYST");
    ASSERT_TRUE(server.start());
    options.KeepAlivePeriod = 100;
    ftpSite site;
    site.hostAddress = site.displayAddress = "127.0.0.1";
    site.port = server.port();
    ftpClient& s = open(site, "/", false);
    ASSERT_TRUE(s.connectSession(false));
    s.finishCommand();
    EXPECT_TRUE(closedNoticeArrives()) << view->log.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(view->log.contains(QStringLiteral("! Disconnected from 127.0.0.1")));
    EXPECT_TRUE(server.commands().contains("SYST"));
}

// A VMS server's listing gives no entry: the user is told so rather than
// shown an empty folder, both when it arrives and when it comes back from
// the cache; a truly empty folder says nothing.
TEST_F(SessionTest, AListingOfAnUnknownFormatIsSaidNotToBeUnderstood)
{
    const struct {
        const char* what;
        QByteArray listing;
        bool told;
    } cases[] = {
        { "VMS",
            "AAAREADME.TXT;3       12/18   14-MAR-2003 09:12:44.57  [SYSTEM]   (RWED,RWED,RE,RE)\r\n"
            "data.dir;1             1/3     2-FEB-2002 17:01:09.10  [SYSTEM]   (RWE,RWE,RE,RE)\r\n",
            true },
        { "empty", "total 0\r\n", false },
    };
    const QString notUnderstood = QStringLiteral("The server's listing format is not understood.");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        prompter.texts.clear();
        ScriptedFtpServer server;
        server.download = c.listing;
        ASSERT_TRUE(server.start());
        ftpSite site;
        site.hostAddress = site.displayAddress = "127.0.0.1";
        site.port = server.port();
        ftpClient& s = open(site, "/");
        EXPECT_TRUE(server.received("LIST"));
        EXPECT_TRUE(s.entries().empty());
        EXPECT_EQ(view->listed, 0);
        const int told = c.told ? 1 : 0;
        EXPECT_EQ(
            prompter.texts.count(MessageTexts::errorTitle() + QStringLiteral(": ") + notUnderstood), told)
            << prompter.texts.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(view->log.count(QStringLiteral("! ") + notUnderstood), told);
        const auto listed = server.commands().count("LIST");
        s.changeDirectoryAndList("/");
        EXPECT_EQ(server.commands().count("LIST"), listed) << "the second showing comes from the cache";
        EXPECT_EQ(view->log.count(QStringLiteral("! ") + notUnderstood), 2 * told);
        session.reset();
    }
}

// ---------------------------------------------------------------- navigation

class NavigationTest : public SessionTest
{
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        fillServerRoot(root.path());
        ASSERT_TRUE(server.running()) << qPrintable(server.error());
    }
    QByteArrayList newCommands()
    {
        const QByteArrayList all = commandsOf(server);
        const QByteArrayList fresh = all.mid(seen);
        seen = static_cast<int>(all.size());
        return fresh;
    }

    QTemporaryDir root;
    FtpTestServer server { FtpServerKind::Family, root.path() };
    int seen = 0;
};

TEST_F(NavigationTest, ASecondListingComesFromTheCacheWithoutAnyCommand)
{
    ftpClient& s = open(siteOf(server), "/pub");
    EXPECT_EQ(entryNames(s),
        (QStringList { QStringLiteral("Beta.bin"), QStringLiteral("alpha.txt"), QStringLiteral("docs") }));
    const QString cache = QStringLiteral("%127.0.0.1%%1%-pub.tmp").arg(server.port());
    EXPECT_TRUE(QFileInfo::exists(joinPath(s.temporaryFolder(), cache)));
    EXPECT_EQ(s.currentDirectory(), "/pub");
    EXPECT_EQ(view->pathText, QStringLiteral("/pub"));
    newCommands();
    s.changeDirectoryAndList("/pub/docs");
    EXPECT_EQ(entryNames(s), (QStringList { QStringLiteral("manual.pdf"), QStringLiteral("readme.txt") }));
    EXPECT_TRUE(newCommands().contains("LIST"));
    s.changeDirectoryAndList("/pub");
    EXPECT_TRUE(newCommands().isEmpty());
    EXPECT_EQ(entryNames(s).size(), 3);
    EXPECT_EQ(s.currentDirectory(), "/pub");
    // The folder entry found its tree node.
    const auto docs = std::find_if(
        s.entries().begin(), s.entries().end(), [](const auto& entry) { return entry->name == "docs"; });
    ASSERT_NE(docs, s.entries().end());
    ASSERT_NE((*docs)->treeNode, nullptr);
    EXPECT_EQ((*docs)->treeNode->path, "/pub/docs");
    s.refreshListing();
    EXPECT_TRUE(newCommands().contains("LIST"));
    EXPECT_EQ(s.history().entries().size(), 4u); // refresh records another entry
}

TEST_F(NavigationTest, EmptyAndTildePathsListTheWorkingDirectory)
{
    for (const std::string& path : { std::string(), std::string("~") }) {
        SCOPED_TRACE(path);
        ftpClient& s = open(siteOf(server), path);
        EXPECT_EQ(s.currentDirectory(), "/");
        EXPECT_TRUE(entryNames(s).contains(QStringLiteral("top.txt")));
        EXPECT_TRUE(newCommands().contains("PWD"));
        session.reset();
    }
}

TEST_F(NavigationTest, ARefusedCwdFallsBackToTheLastFolderOrTheRoot)
{
    ftpClient& s = open(siteOf(server), "/missing");
    ASSERT_EQ(prompter.texts.size(), 1);
    EXPECT_TRUE(prompter.texts.front().contains(
        QStringLiteral("Ranquil cannot access remote folder \n\n\"/missing/\"\n")));
    EXPECT_EQ(s.currentDirectory(), "/");
    EXPECT_TRUE(entryNames(s).contains(QStringLiteral("pub")));
    s.changeDirectoryAndList("/pub");
    newCommands();
    s.goToPath("/pub/nothing");
    EXPECT_EQ(prompter.texts.size(), 2);
    EXPECT_TRUE(newCommands().contains("CWD /pub/nothing"));
    EXPECT_EQ(s.currentDirectory(), "/pub");
    EXPECT_EQ(entryNames(s).size(), 3);
    ASSERT_NE(view->selected, nullptr);
    EXPECT_EQ(view->selected->path, "/pub");
}

TEST_F(NavigationTest, APathWithAColonIsSentInItsSlashForm)
{
    ftpClient& s = open(siteOf(server), "/");
    newCommands();
    s.changeDirectoryAndList("C:");
    EXPECT_TRUE(newCommands().contains("CWD C:/"));
}

TEST_F(NavigationTest, TheListIsFilledInBlocksOfFifty)
{
    for (int i = 0; i < 120; ++i)
        makeFile(root.path() + QStringLiteral("/many/file%1.txt").arg(i));
    ftpClient& s = open(siteOf(server), "/many");
    EXPECT_EQ(s.entries().size(), 120u);
    EXPECT_EQ(view->listed, 120);
    EXPECT_EQ(view->blocks, 3);
}

TEST_F(NavigationTest, HistoryAcrossTwoServersReconnects)
{
    const QTemporaryDir otherRoot;
    makeFile(otherRoot.path() + QStringLiteral("/docs/other.txt"));
    FtpTestServer other(FtpServerKind::Family, otherRoot.path());
    ASSERT_TRUE(other.running()) << qPrintable(other.error());
    ftpClient& s = open(siteOf(server), "/pub");
    ftpObject link;
    link.site = sharedSite(siteOf(other));
    link.site.edit().userId = "someone-else";
    link.kind = ftpObject::Folder;
    link.directory = "/";
    link.name = "docs";
    s.openEntry(link);
    EXPECT_EQ(s.site().port, other.port());
    EXPECT_EQ(s.site().userId, "anonymous");
    EXPECT_EQ(entryNames(s), QStringList { QStringLiteral("other.txt") });
    EXPECT_TRUE(s.history().canGoBack());
    s.goBack();
    EXPECT_EQ(s.site().port, server.port());
    EXPECT_EQ(s.currentDirectory(), "/pub");
    EXPECT_EQ(entryNames(s).size(), 3);
    EXPECT_TRUE(s.history().canGoForward());
    s.goForward();
    EXPECT_EQ(s.site().port, other.port());
    EXPECT_EQ(entryNames(s), QStringList { QStringLiteral("other.txt") });
}

TEST_F(NavigationTest, GoUpListsTheParent)
{
    ftpClient& s = open(siteOf(server), "/pub/docs");
    s.goUp();
    EXPECT_EQ(s.currentDirectory(), "/pub");
    EXPECT_EQ(entryNames(s).size(), 3);
}

// ---------------------------------------------------------------- search

TEST_F(NavigationTest, SearchModeIsSentOnlyWhenItChanges)
{
    ftpClient& s = open(siteOf(server), "/");
    newCommands();
    s.runServerSearch("readme", 0);
    QByteArrayList sent = newCommands();
    EXPECT_FALSE(sent.join('\n').contains("SRCHMODE"));
    EXPECT_TRUE(sent.contains("SITE SRCH readme"));
    ASSERT_EQ(s.entries().size(), 1u);
    EXPECT_EQ(s.entries().front()->name, "readme.txt");
    EXPECT_EQ(s.entries().front()->directory, "/pub/docs/");
    s.runServerSearch("alpha beta", 1);
    sent = newCommands();
    EXPECT_EQ(sent.first(), "SITE SRCHMODE 1");
    EXPECT_EQ(entryNames(s).size(), 2);
    s.runServerSearch("readme", 0);
    EXPECT_EQ(newCommands().first(), "SITE SRCHMODE 0");
    EXPECT_EQ(s.serverSearchMode(), 0);
    EXPECT_TRUE(prompter.texts.isEmpty());
}

TEST_F(NavigationTest, ASearchWithoutResultsSaysSo)
{
    ftpClient& s = open(siteOf(server), "/");
    s.runServerSearch("nothing-matches-this", 0);
    ASSERT_EQ(prompter.texts.size(), 1);
    EXPECT_TRUE(
        prompter.texts.front().contains(QStringLiteral("Connected server search query found no results.")));
    EXPECT_FALSE(prompter.texts.front().contains(QStringLiteral("Details from server")));
}

TEST_F(NavigationTest, TheKeywordDialogsCancelSendsNothing)
{
    ftpClient& s = open(siteOf(server), "/");
    newCommands();
    view->keyword.reset();
    s.searchServer();
    EXPECT_TRUE(newCommands().isEmpty());
    EXPECT_EQ(view->modalToggles, 2);
    view->keyword = searchRequest { QStringLiteral("readme"), 0 };
    s.searchServer();
    EXPECT_TRUE(newCommands().contains("SITE SRCH readme"));
}

struct refusalCase {
    const char* name;
    const char* refused;
    bool compliant;
};

class SearchRefusals : public SessionTest, public testing::WithParamInterface<refusalCase>
{
};

TEST_P(SearchRefusals, FallsBackToSrchOrSaysTheServerIsNotCompliant)
{
    const QTemporaryDir root;
    fillServerRoot(root.path());
    FtpTestServer server(FtpServerKind::Family, root.path(),
        { QStringLiteral("--refuse"), QString::fromLatin1(GetParam().refused) });
    ASSERT_TRUE(server.running()) << qPrintable(server.error());
    ftpClient& s = open(siteOf(server), "/");
    s.runServerSearch("readme", 0);
    const QByteArrayList commands = commandsOf(server);
    EXPECT_TRUE(commands.contains("SITE SRCH readme"));
    EXPECT_TRUE(commands.contains("SRCH readme"));
    if (GetParam().compliant) {
        EXPECT_TRUE(prompter.texts.isEmpty());
        EXPECT_EQ(entryNames(s), QStringList { QStringLiteral("readme.txt") });
    } else {
        ASSERT_EQ(prompter.texts.size(), 1);
        EXPECT_TRUE(
            prompter.texts.front().contains(QStringLiteral("The connected server is NOT Zelta compliant.")));
        EXPECT_TRUE(prompter.texts.front().contains(QStringLiteral("Details from server")));
    }
}

INSTANTIATE_TEST_SUITE_P(Session, SearchRefusals,
    testing::Values(refusalCase { "SiteSrchRefused", "SITE-SRCH", true },
        refusalCase { "SearchRefused", "SEARCH", false }),
    [](const testing::TestParamInfo<refusalCase>& info) { return info.param.name; });

} // namespace
