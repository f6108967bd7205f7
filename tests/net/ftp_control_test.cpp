// The FTP component against a scripted server: replies real servers give
// only when something is wrong, and the exact commands the component sends.

#include "ScriptedFtpServer.h"
#include "ServerProcess.h"
#include "ftp_test_support.h"
#include "net/FtpLocalFile.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace
{

class FtpScripted : public testing::Test
{
protected:
    void SetUp() override
    {
        log.attach(client);
        client.SetTimeout(20);
    }

    // Starts the server as configured and logs in.
    bool startAndLogIn()
    {
        if (!server.start())
            return false;
        aimAt(client, server.port());
        return logIn(client);
    }

    QString local(const QString& name) const { return folder.filePath(name); }

    // Longer than the component waits before it takes a closed data
    // connection for a dropped one.
    static constexpr int dropGrace = TCustomFtpCli::droppedDataGraceMs + 500;

    ScriptedFtpServer server;
    TFtpClient client;
    FtpLog log;
    QTemporaryDir folder;
};

// ---------------------------------------------------------------- greeting and replies

TEST_F(FtpScripted, AMultiLineGreetingEndsOnlyAtItsLastLine)
{
    server.greeting = "220-Welcome\r\n220-331 is not a reply here\r\n220 Ready\r\n";
    ASSERT_TRUE(server.start());
    aimAt(client, server.port());

    ASSERT_TRUE(client.Open()) << client.ErrorMessage().toStdString();
    EXPECT_EQ(client.StatusCode(), 220);
    EXPECT_EQ(client.LastResponse(), QStringLiteral("220 Ready"));
    EXPECT_TRUE(client.GetConnected());
    EXPECT_TRUE(log.contains(QStringLiteral("< 220-Welcome")));
    ASSERT_TRUE(client.User());
    EXPECT_EQ(client.StatusCode(), 331);
}

TEST_F(FtpScripted, AGreetingWith421FailsOpenAndLeavesNoConnection)
{
    server.greeting = "421 Too many users, try later\r\n";
    server.closeAfterGreeting = true;
    ASSERT_TRUE(server.start());
    aimAt(client, server.port());

    EXPECT_FALSE(client.Open());
    EXPECT_EQ(client.StatusCode(), 421);
    EXPECT_EQ(client.RequestResult(), 421);
    EXPECT_EQ(client.ErrorMessage(), QStringLiteral("421 Too many users, try later"));
    EXPECT_FALSE(client.GetConnected());
    EXPECT_EQ(client.State(), ftpReady);
}

TEST_F(FtpScripted, LinesEndedByLineFeedAloneAreUnderstoodByDefault)
{
    server.greeting = "220 LF server\n";
    server.replies["USER"] = "230-Hello\n230 Logged in\n";
    ASSERT_TRUE(server.start());
    aimAt(client, server.port());

    ASSERT_TRUE(client.Open());
    ASSERT_TRUE(client.User());
    EXPECT_EQ(client.StatusCode(), 230);
    EXPECT_EQ(client.LastResponse(), QStringLiteral("230 Logged in"));
}

TEST_F(FtpScripted, WithoutAcceptLfALineFeedAloneEndsNoLine)
{
    server.greeting = "220 LF server\n";
    ASSERT_TRUE(server.start());
    aimAt(client, server.port());
    client.SetOptions({});
    client.SetTimeout(1);

    EXPECT_FALSE(client.Open());
    EXPECT_EQ(client.StatusCode(), 426);
    EXPECT_EQ(client.ErrorMessage(), QStringLiteral("426 Timeout"));
}

TEST_F(FtpScripted, ATwoLine230ToUserEndsUserWithSuccessAndPassIsStillSent)
{
    server.replies["USER"] = "230-Welcome back\r\n230 Logged in without password\r\n";
    server.replies["PASS"] = "503 Already logged in\r\n";
    ASSERT_TRUE(server.start());
    aimAt(client, server.port());

    ASSERT_TRUE(client.Open());
    ASSERT_TRUE(client.User());
    EXPECT_EQ(client.StatusCode(), 230);
    EXPECT_TRUE(client.LoggedInByUser()) << "the caller may leave PASS out";
    EXPECT_FALSE(client.Pass());
    EXPECT_EQ(client.StatusCode(), 503);
    EXPECT_TRUE(server.received("PASS guest@example.com"));
    EXPECT_FALSE(client.LoggedInByUser());
}

TEST_F(FtpScripted, AUserAnswered331IsNotLoggedInYet)
{
    ASSERT_TRUE(server.start());
    aimAt(client, server.port());
    ASSERT_TRUE(client.Open());
    ASSERT_TRUE(client.User());
    EXPECT_EQ(client.StatusCode(), 331);
    EXPECT_FALSE(client.LoggedInByUser());
}

TEST_F(FtpScripted, RenStopsAtAFailedRnfr)
{
    server.replies["RNFR"] = "550 No such file\r\n";
    ASSERT_TRUE(startAndLogIn());
    client.SetHostFileName("missing.txt");
    client.SetRenameTarget("new.txt");

    EXPECT_FALSE(client.Ren());
    EXPECT_EQ(client.RequestResult(), 550);
    EXPECT_EQ(client.ErrorMessage(), QStringLiteral("550 No such file"));
    EXPECT_FALSE(server.received("RNTO"));
    EXPECT_TRUE(client.Pwd()) << "the connection stays usable";
}

TEST_F(FtpScripted, RenSendsRntoAfter350)
{
    server.replies["RNFR"] = "350 Ready for destination\r\n";
    server.replies["RNTO"] = "250 Renamed\r\n";
    ASSERT_TRUE(startAndLogIn());
    client.SetHostFileName("old.txt");
    client.SetRenameTarget("new.txt");

    EXPECT_TRUE(client.Ren());
    EXPECT_TRUE(server.received("RNTO new.txt"));
}

TEST_F(FtpScripted, QuoteSucceedsOnAnyReplyBelow500)
{
    server.replies["SITE"] = "200 0123456789ABCDEF0123456789ABCDEF\r\n";
    server.replies["XYZZY"] = "502 Not implemented\r\n";
    ASSERT_TRUE(startAndLogIn());

    client.SetQuoteCommand("SITE MD5 /pub/file.bin");
    ASSERT_TRUE(client.Quote());
    EXPECT_EQ(client.LastResponse(), QStringLiteral("200 0123456789ABCDEF0123456789ABCDEF"));
    EXPECT_TRUE(server.received("SITE MD5 /pub/file.bin"));

    client.SetQuoteCommand("XYZZY");
    EXPECT_FALSE(client.Quote());
    EXPECT_EQ(client.RequestResult(), 502);
}

// ---------------------------------------------------------------- commands sent together

std::vector<std::pair<int, QString>> repliesOf(const TFtpClient& client)
{
    std::vector<std::pair<int, QString>> replies;
    for (const TCustomFtpCli::QuoteReply& reply : client.QuoteReplies())
        replies.emplace_back(reply.code, reply.text);
    return replies;
}

TEST_F(FtpScripted, QuoteEachTakesOneFinalReplyPerCommandInOrderAndStaysInStep)
{
    server.replies["SITE"] = "200 0123456789ABCDEF0123456789ABCDEF\r\n";
    server.replies["XYZZY"] = "502 Not implemented\r\n";
    server.replies["STAT"] = "211-Status follows\r\n 213 is not the end\r\n211 End of status\r\n";
    server.replies["HELP"] = "150 Thinking\r\n214 Help given\r\n";
    server.replies["PWD"] = "257 \"/after\"\r\n";
    ASSERT_TRUE(startAndLogIn());

    client.SetQuoteCommands({ "SITE MD5 /a.bin", "XYZZY", "STAT", "HELP", "SITE MD5 /b.bin" });
    ASSERT_TRUE(client.QuoteEach()) << client.ErrorMessage().toStdString();

    const std::vector<std::pair<int, QString>> expected {
        { 200, QStringLiteral("200 0123456789ABCDEF0123456789ABCDEF") },
        { 502, QStringLiteral("502 Not implemented") },
        { 211, QStringLiteral("211 End of status") },
        { 214, QStringLiteral("214 Help given") },
        { 200, QStringLiteral("200 0123456789ABCDEF0123456789ABCDEF") },
    };
    EXPECT_EQ(repliesOf(client), expected);
    EXPECT_EQ(server.commands().mid(server.commands().size() - 5),
        (QList<QByteArray> { "SITE MD5 /a.bin", "XYZZY", "STAT", "HELP", "SITE MD5 /b.bin" }));
    ASSERT_TRUE(client.Pwd());
    EXPECT_EQ(client.DirResult(), QByteArray("/after")) << "the next request gets its own reply";
}

TEST_F(FtpScripted, QuoteEachWithAnUnsafeLineSendsNothing)
{
    ASSERT_TRUE(startAndLogIn());
    const qsizetype sentBefore = server.commands().size();

    client.SetQuoteCommands({ "SITE MD5 /a.bin", "SITE MD5 /b.bin\r\nDELE important.txt" });
    EXPECT_FALSE(client.QuoteEach());
    client.SetQuoteCommands({});
    EXPECT_FALSE(client.QuoteEach());

    ASSERT_TRUE(client.Pwd()) << "the connection stays usable";
    EXPECT_EQ(server.commands().size(), sentBefore + 1);
    EXPECT_FALSE(server.received("SITE"));
    EXPECT_FALSE(server.received("DELE"));
}

// A server that stops answering, or goes away, part-way: the call fails
// instead of waiting for ever, and keeps the replies that came.
TEST_F(FtpScripted, QuoteEachCutShortFailsWithTheRepliesThatCame)
{
    server.replies["SITE"] = "200 0123456789ABCDEF0123456789ABCDEF\r\n";
    server.replies["NOOP"] = "";
    server.replies["XYZZY"] = "502 Not implemented\r\n";
    server.closeAfter.insert("XYZZY");
    ASSERT_TRUE(startAndLogIn());
    client.SetTimeout(1);

    client.SetQuoteCommands({ "SITE MD5 /a.bin", "NOOP", "SITE MD5 /b.bin" });
    EXPECT_FALSE(client.QuoteEach());
    EXPECT_EQ(client.ErrorMessage(), QStringLiteral("426 Timeout"));
    EXPECT_EQ(client.QuoteReplies().size(), 2u);

    client.SetTimeout(20);
    ASSERT_TRUE(logIn(client));
    client.SetQuoteCommands({ "SITE MD5 /a.bin", "XYZZY", "SITE MD5 /b.bin" });
    EXPECT_FALSE(client.QuoteEach());
    EXPECT_EQ(client.RequestResult(), 500);
    EXPECT_EQ(client.QuoteReplies().size(), 2u);
    EXPECT_FALSE(client.GetConnected());
}

TEST_F(FtpScripted, PwdReducesDoubledQuotesAndIgnoresTheRest)
{
    server.replies["PWD"] = "257 \"/pub/say \"\"hi\"\"\" is the current directory\r\n";
    ASSERT_TRUE(startAndLogIn());

    ASSERT_TRUE(client.Pwd());
    EXPECT_EQ(client.DirResult(), QByteArray("/pub/say \"hi\""));
}

TEST_F(FtpScripted, SizeReadsSizesAbove4GiB)
{
    server.replies["SIZE"] = "213 5000000123\r\n";
    ASSERT_TRUE(startAndLogIn());
    client.SetHostFileName("big.iso");

    ASSERT_TRUE(client.Size());
    EXPECT_EQ(client.SizeResult(), 5000000123LL);
}

TEST_F(FtpScripted, AMalformedSizeFailsInsteadOfReadingAsZero)
{
    server.replies["SIZE"] = "213 lots\r\n";
    ASSERT_TRUE(startAndLogIn());
    client.SetHostFileName("big.iso");

    EXPECT_FALSE(client.Size());
    EXPECT_EQ(client.RequestResult(), 500);
    EXPECT_EQ(client.SizeResult(), -1);
    EXPECT_TRUE(client.ErrorMessage().startsWith(QStringLiteral("500 Invalid size in reply")));
}

TEST_F(FtpScripted, AReplyLineLongerThanTheBufferFailsAndClosesWithoutHanging)
{
    server.replies["CWD"] = QByteArray(6000, 'x');
    ASSERT_TRUE(startAndLogIn());
    client.SetHostDirName("/pub");

    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(client.Cwd());
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_EQ(client.RequestResult(), 500);
    EXPECT_EQ(
        client.ErrorMessage(), QStringLiteral("500 Reply line longer than 4095 bytes: connection closed"));
    EXPECT_FALSE(client.GetConnected());
}

TEST_F(FtpScripted, ASilentServerTimesOutWith426AndLeavesTheComponentDisconnected)
{
    server.replies["CWD"] = "";
    ASSERT_TRUE(startAndLogIn());
    client.SetHostDirName("/pub");
    client.SetTimeout(1);

    EXPECT_FALSE(client.Cwd());
    EXPECT_EQ(client.StatusCode(), 426);
    EXPECT_EQ(client.ErrorMessage(), QStringLiteral("426 Timeout"));
    EXPECT_FALSE(client.GetConnected());
    EXPECT_EQ(client.State(), ftpReady);

    client.SetTimeout(20);
    EXPECT_TRUE(logIn(client)) << "a new connection can be made after the time-out";
}

TEST_F(FtpScripted, AConnectionClosedBeforeTheReplyIsAFailure)
{
    server.replies["CWD"] = "";
    server.closeAfter.insert("CWD");
    ASSERT_TRUE(startAndLogIn());
    client.SetHostDirName("/pub");

    EXPECT_FALSE(client.Cwd());
    EXPECT_EQ(client.RequestResult(), 500);
    EXPECT_EQ(client.LastResponse(), QStringLiteral("500 Control connection closed."));
    EXPECT_FALSE(client.GetConnected());
}

// The reply and the close often arrive in one read; the call must end with
// the reply, not sit out its time-out (which would turn it into "426
// Timeout").
TEST_F(FtpScripted, AReplyFollowedAtOnceByTheCloseEndsTheCallWithThatReply)
{
    server.replies["SYST"] = "215 UNIX\r\n";
    server.closeAfter.insert("SYST");
    ASSERT_TRUE(startAndLogIn());
    client.SetTimeout(5);
    client.SetQuoteCommand("SYST");

    EXPECT_TRUE(client.Quote()) << client.ErrorMessage().toStdString();
    EXPECT_EQ(client.StatusCode(), 215);
    EXPECT_TRUE(server.commands().contains("SYST"));
    ASSERT_TRUE(runEventsUntil([&] { return !client.GetConnected(); }, std::chrono::seconds(5)));
    EXPECT_TRUE(client.Idle());
    // The state stays behind at ftpInternalReady: a wait for ftpReady or
    // ftpNotConnected would sit out its whole time-out here, so waits ask
    // whether a request is still running instead.
    EXPECT_NE(client.State(), ftpReady);
    EXPECT_NE(client.State(), ftpNotConnected);
    EXPECT_FALSE(client.RequestRunning());
}

TEST_F(FtpScripted, QuitClosesTheConnectionAfter221)
{
    ASSERT_TRUE(startAndLogIn());

    EXPECT_TRUE(client.Quit());
    EXPECT_EQ(client.StatusCode(), 221);
    EXPECT_FALSE(client.GetConnected());
}

TEST_F(FtpScripted, RequestDoneIsPostedOnceAfterTheCallReturns)
{
    ASSERT_TRUE(server.start());
    aimAt(client, server.port());
    std::vector<std::pair<TFtpRequest, int>> done;
    bool insideCall = true;
    bool firedInsideCall = false;
    client.OnRequestDone = [&](TFtpRequest request, int error) {
        done.emplace_back(request, error);
        firedInsideCall = firedInsideCall || insideCall;
    };

    ASSERT_TRUE(client.Open());
    insideCall = false;
    ASSERT_TRUE(runEventsUntil([&] { return !done.empty(); }));
    runEventsUntil([] { return false; }, std::chrono::milliseconds(200));
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].first, ftpOpenAsync);
    EXPECT_EQ(done[0].second, 0);
    EXPECT_FALSE(firedInsideCall);
}

TEST_F(FtpScripted, StatesFollowTheRequestsThroughConnectionCommandsAndClose)
{
    ASSERT_TRUE(server.start());
    aimAt(client, server.port());
    std::vector<TFtpState> states;
    client.OnStateChange = [&](TFtpState state) { states.push_back(state); };

    ASSERT_TRUE(client.Open());
    EXPECT_EQ(states, std::vector<TFtpState>({ ftpDnsLookup, ftpWaitingBanner, ftpConnected, ftpReady }));
    states.clear();
    ASSERT_TRUE(client.User());
    EXPECT_EQ(states, std::vector<TFtpState>({ ftpWaitingResponse, ftpReady }));
    states.clear();
    ASSERT_TRUE(client.Quit());
    EXPECT_EQ(
        states, std::vector<TFtpState>({ ftpWaitingResponse, ftpNotConnected, ftpInternalReady, ftpReady }));
}

TEST_F(FtpScripted, AListingCanGoToOnDisplayFileLineByLineOrAsItCame)
{
    server.download = "line one\r\nline two\r\n\r\nline three";
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    client.SetHostFileName({});
    client.SetLocalFileName({});
    client.SetDisplayFileFlag(true);
    QList<QByteArray> pieces;
    client.OnDisplayFile = [&](const QByteArray& data) { pieces << data; };

    ASSERT_TRUE(client.Dir()) << client.ErrorMessage().toStdString();
    EXPECT_EQ(pieces, QList<QByteArray>({ "line one", "line two", "line three" }));

    pieces.clear();
    client.SetDisplayFileMode(ftpBinary);
    ASSERT_TRUE(client.Dir());
    EXPECT_EQ(pieces.join(), server.download);
}

TEST_F(FtpScripted, ATransferWithoutLocalFileOrDisplayIsAUsageError)
{
    ASSERT_TRUE(startAndLogIn());
    client.SetLocalFileName({});

    EXPECT_FALSE(client.Get());
    EXPECT_FALSE(client.Dir());
    EXPECT_FALSE(client.Put());
    EXPECT_FALSE(server.received("PASV") || server.received("PORT"));
}

TEST_F(FtpScripted, AnExceptionFromOnRequestDoneGoesToOnBgExceptionWhichMayTearDown)
{
    ASSERT_TRUE(startAndLogIn());
    // The notices of the login are delivered first.
    runEventsUntil([] { return false; }, std::chrono::milliseconds(100));
    QString caught;
    client.OnRequestDone = [](TFtpRequest, int) { throw std::runtime_error("handler failed"); };
    client.OnBgException = [&](const std::exception& error, bool& canAbort) {
        caught = QString::fromLatin1(error.what());
        canAbort = true;
    };

    ASSERT_TRUE(client.Pwd());
    ASSERT_TRUE(runEventsUntil([&] { return !caught.isEmpty(); }));
    EXPECT_EQ(caught, QStringLiteral("handler failed"));
    EXPECT_FALSE(client.GetConnected());
}

TEST(FtpWithoutConnection, QuitAndAbortXferEndAtOnceInsteadOfWaitingForAReply)
{
    TFtpClient client;
    client.SetTimeout(20);
    QElapsedTimer timer;
    timer.start();

    EXPECT_FALSE(client.Quit());
    EXPECT_FALSE(client.AbortXfer());
    EXPECT_EQ(client.LastResponse(), QStringLiteral("500 Control connection closed."));
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_TRUE(client.Abort());
    EXPECT_EQ(client.State(), ftpReady);
}

// ---------------------------------------------------------------- unsafe input

TEST_F(FtpScripted, ACommandWithALineBreakIsRefusedAndNothingIsSent)
{
    ASSERT_TRUE(startAndLogIn());
    const int sentBefore = static_cast<int>(server.commands().size());

    client.SetHostFileName("innocent.txt\r\nDELE important.txt");
    EXPECT_FALSE(client.Dele());
    client.SetHostDirName(QByteArray("a\0b", 3));
    EXPECT_FALSE(client.Cwd());
    client.SetQuoteCommand("SITE X\nDELE y");
    EXPECT_FALSE(client.Quote());

    ASSERT_TRUE(client.Pwd()) << "the connection stays usable";
    EXPECT_EQ(server.commands().size(), sentBefore + 1);
    EXPECT_FALSE(server.received("DELE"));
}

TEST_F(FtpScripted, ADownloadOfAnUnsafeNameLeavesTheLocalFileAlone)
{
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    const QString target = local(QStringLiteral("kept.bin"));
    ASSERT_TRUE(writeLocalFile(target, "kept contents"));
    client.SetHostFileName("file.bin\r\nDELE important.txt");
    client.SetLocalFileName(target);

    EXPECT_FALSE(client.Get());
    EXPECT_EQ(readLocalFile(target), QByteArray("kept contents"));
    EXPECT_FALSE(server.received("RETR"));
    EXPECT_FALSE(server.received("DELE"));
    EXPECT_TRUE(client.Pwd()) << "the connection stays usable";
}

TEST_F(FtpScripted, AUsageErrorGoesToItsHandlerWhenOneIsSet)
{
    ASSERT_TRUE(startAndLogIn());
    QStringList messages;
    client.OnUsageError = [&](const QString& message) { messages << message; };

    client.SetHostDirName({});
    EXPECT_FALSE(client.Cwd());
    EXPECT_FALSE(client.OpenAsync());
    EXPECT_EQ(messages,
        QStringList(
            { QStringLiteral("HostDirName emtpy"), QStringLiteral("FTP component already connected") }));
}

TEST_F(FtpScripted, UsageErrorsAreThrownWithoutAHandler)
{
    ASSERT_TRUE(server.start());
    aimAt(client, server.port());
    client.SetUserName({});

    EXPECT_THROW(client.CwdAsync(), FtpException);
    ASSERT_TRUE(client.Open());
    try {
        client.UserAsync();
        FAIL() << "no exception";
    } catch (const FtpException& error) {
        EXPECT_EQ(error.message(), QStringLiteral("UserName emtpy"));
    }
    EXPECT_THROW(client.SetConnectionType(ftpSocks5), FtpException);
}

// ---------------------------------------------------------------- data connections

TEST_F(FtpScripted, APassiveDataConnectionGoesToTheControlPeerWhateverTheReplyNames)
{
    server.passiveAddress = "10,255,255,1";
    server.download = patternBytes(300000);
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(local(QStringLiteral("file.bin")));
    client.SetTimeout(10);

    ASSERT_TRUE(client.Get()) << client.ErrorMessage().toStdString();
    EXPECT_EQ(readLocalFile(local(QStringLiteral("file.bin"))), server.download);
    EXPECT_EQ(client.ByteCount(), 300000);
}

TEST_F(FtpScripted, AMalformedPassiveReplyFailsTheTransferBeforeRetr)
{
    server.replies["PASV"] = "227 Entering Passive Mode (127,0,0,1,300,1)\r\n";
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(local(QStringLiteral("file.bin")));

    EXPECT_FALSE(client.Get());
    EXPECT_EQ(client.RequestResult(), 500);
    EXPECT_EQ(client.ErrorMessage(),
        QStringLiteral("500 Invalid passive mode reply: 227 Entering Passive Mode (127,0,0,1,300,1)"));
    EXPECT_FALSE(server.received("RETR"));
    EXPECT_TRUE(client.Pwd()) << "the connection stays usable";
}

TEST_F(FtpScripted, ActiveModeClosesADataConnectionFromAnotherHost)
{
    server.strangerSources = { QStringLiteral("127.0.0.2") };
    server.download = patternBytes(20000, 1);
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(false);
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(local(QStringLiteral("file.bin")));

    ASSERT_TRUE(client.Get()) << client.ErrorMessage().toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Data connection from 127.0.0.2 refused")))
        << log.text().toStdString();
    EXPECT_EQ(readLocalFile(local(QStringLiteral("file.bin"))), server.download);
    EXPECT_TRUE(server.received("PORT 127,0,0,1,"));
}

TEST_F(FtpScripted, TheFinalReplyBeforeTheLastDataStillYieldsTheWholeFile)
{
    server.finalReplyBeforeData = true;
    server.download = patternBytes(2 * 1024 * 1024, 2);
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(local(QStringLiteral("file.bin")));

    ASSERT_TRUE(client.Get()) << client.ErrorMessage().toStdString();
    EXPECT_EQ(readLocalFile(local(QStringLiteral("file.bin"))), server.download);
    EXPECT_TRUE(log.contains(QStringLiteral("! 2097152 bytes received/sent in ")))
        << log.text().toStdString();
}

struct RestCase {
    const char* name;
    QByteArray restReply;
    bool succeeds;
    QByteArray expectedFile; // what the local file holds afterwards
};

class FtpScriptedRest : public FtpScripted, public testing::WithParamInterface<RestCase>
{
};

TEST_P(FtpScriptedRest, RestGetKeepsTheResumePositionOnlyAfter350)
{
    const RestCase& c = GetParam();
    server.replies["REST"] = c.restReply;
    server.download = "NEW-BYTES";
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    const QString target = local(QStringLiteral("part.bin"));
    ASSERT_TRUE(writeLocalFile(target, "OLD"));
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(target);
    client.SetResumeAt(1000);

    EXPECT_EQ(client.RestGet(), c.succeeds) << client.ErrorMessage().toStdString();
    EXPECT_EQ(readLocalFile(target), c.expectedFile);
    EXPECT_TRUE(server.received("REST 1000"));
    if (c.succeeds) {
        EXPECT_EQ(client.ResumeAt(), 0) << "the resume position is used up";
    }
}

INSTANTIATE_TEST_SUITE_P(Rest, FtpScriptedRest,
    testing::Values(RestCase { "accepted_appends", "350 Restarting at 1000\r\n", true, "OLDNEW-BYTES" },
        RestCase { "answered_200_starts_over", "200 REST ignored\r\n", true, "NEW-BYTES" },
        RestCase { "refused_fails", "502 REST not implemented\r\n", false, "OLD" }),
    [](const testing::TestParamInfo<RestCase>& info) { return std::string(info.param.name); });

TEST_F(FtpScripted, RestGetFromZeroSendsNoRestAndReplacesTheFile)
{
    server.download = "WHOLE";
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    const QString target = local(QStringLiteral("whole.bin"));
    ASSERT_TRUE(writeLocalFile(target, "stale contents"));
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(target);
    client.SetResumeAt(0);

    ASSERT_TRUE(client.RestGet());
    EXPECT_EQ(readLocalFile(target), QByteArray("WHOLE"));
    EXPECT_FALSE(server.received("REST"));
}

TEST_F(FtpScripted, ARetrAnswered550FailsAndLeavesAnEmptyLocalFile)
{
    server.replies["RETR"] = "550 No such file\r\n";
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    const QString target = local(QStringLiteral("missing.bin"));
    client.SetHostFileName("missing.bin");
    client.SetLocalFileName(target);

    EXPECT_FALSE(client.Get());
    EXPECT_EQ(client.RequestResult(), 550);
    EXPECT_TRUE(QFile::exists(target));
    EXPECT_EQ(QFileInfo(target).size(), 0);
    EXPECT_TRUE(client.Pwd()) << "the connection stays usable";
}

TEST_F(FtpScripted, RestPutSendsTheWholeFileWhenTheServerDidNotAcceptRest)
{
    server.replies["REST"] = "200 REST ignored\r\n";
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    const QString source = local(QStringLiteral("up.bin"));
    const QByteArray contents = patternBytes(50000, 3);
    ASSERT_TRUE(writeLocalFile(source, contents));
    client.SetHostFileName("up.bin");
    client.SetLocalFileName(source);
    client.SetResumeAt(10000);

    ASSERT_TRUE(client.RestPut()) << client.ErrorMessage().toStdString();
    EXPECT_TRUE(runEventsUntil([&] { return server.uploaded().size() == contents.size(); }));
    EXPECT_EQ(server.uploaded(), contents);
}

TEST_F(FtpScripted, AnUploadTheServerCutsShortIsAFailureDespite226)
{
    server.uploadCutAfter = 1000;
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    const QString source = local(QStringLiteral("up.bin"));
    ASSERT_TRUE(writeLocalFile(source, patternBytes(32 * 1024 * 1024, 4)));
    client.SetHostFileName("up.bin");
    client.SetLocalFileName(source);

    EXPECT_FALSE(client.Put());
    EXPECT_NE(client.RequestResult(), 0);
    EXPECT_FALSE(client.ErrorMessage().isEmpty());
}

TEST_F(FtpScripted, WhatArrivedBeforeTheServerGaveUpIsKeptForAResume)
{
    server.finalReply = "426 Connection lost; transfer aborted\r\n";
    server.finalReplyBeforeData = true;
    server.download = patternBytes(50000, 17);
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(local(QStringLiteral("file.bin")));

    EXPECT_FALSE(client.Get());
    EXPECT_EQ(client.RequestResult(), 426);
    EXPECT_EQ(client.ErrorMessage(), QStringLiteral("426 Connection lost; transfer aborted"));
    EXPECT_TRUE(log.contains(QStringLiteral("! RETR/LIST/NLST Failed")));
    EXPECT_EQ(readLocalFile(local(QStringLiteral("file.bin"))), server.download);
    client.SetHostDirName("/pub");
    EXPECT_TRUE(client.Cwd()) << "the connection stays in step";
}

TEST_F(FtpScripted, AnAbortRequestedThroughProgressFailsTheTransferDespite226)
{
    server.finalReplyBeforeData = true;
    server.download = patternBytes(4 * 1024 * 1024, 5);
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(local(QStringLiteral("file.bin")));
    client.OnProgress = [](qint64 count, bool& abort) { abort = count > 0; };

    EXPECT_FALSE(client.Get());
    EXPECT_EQ(client.RequestResult(), 426);
    EXPECT_EQ(client.ErrorMessage(), QStringLiteral("426 Transfer aborted by application"));
    EXPECT_TRUE(log.contains(QStringLiteral("! Abort requested")));
    EXPECT_LT(QFileInfo(local(QStringLiteral("file.bin"))).size(), server.download.size());
}

TEST_F(FtpScripted, AWriteFailureFailsTheDownloadDespite226)
{
    server.download = patternBytes(100000, 6);
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(QStringLiteral("/dev/full"));
    client.SetShareMode(ftpShareCompat);

    EXPECT_FALSE(client.Get());
    EXPECT_EQ(client.RequestResult(), 550);
    EXPECT_EQ(client.ErrorMessage(), QStringLiteral("550 Error writing local file /dev/full"));
    EXPECT_TRUE(log.contains(QStringLiteral("! Error writing local file")));
}

TEST_F(FtpScripted, AnUploadWhoseFileCannotBeReadFailsDespite226)
{
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    client.SetHostFileName("up.bin");
    client.SetLocalFileName(folder.path()); // opens, but reads fail

    EXPECT_FALSE(client.Put());
    EXPECT_EQ(client.RequestResult(), 426);
    EXPECT_EQ(client.ErrorMessage(), QStringLiteral("426 Error reading local file ") + folder.path());
    EXPECT_TRUE(log.contains(QStringLiteral("! Error reading file")));
}

TEST_F(FtpScripted, ALocalFileThatCannotBeCreatedFailsWith550)
{
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(local(QStringLiteral("no/such/folder/file.bin")));

    EXPECT_FALSE(client.Get());
    EXPECT_EQ(client.StatusCode(), 550);
    EXPECT_TRUE(client.LastResponse().startsWith(
        QStringLiteral("Unable to open local file ") + local(QStringLiteral("no/such/folder/file.bin"))))
        << client.LastResponse().toStdString();
    EXPECT_FALSE(server.received("RETR"));
}

TEST_F(FtpScripted, AnExclusiveLocalFileHeldByAnotherTransferIsNotTouched)
{
    server.download = "fresh";
    ASSERT_TRUE(startAndLogIn());
    const QString target = local(QStringLiteral("held.bin"));
    ASSERT_TRUE(writeLocalFile(target, "kept contents"));
    FtpLocalFile holder;
    ASSERT_TRUE(holder.openForDownload(target, true, ftpShareExclusive));
    client.SetPassive(true);
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(target);

    EXPECT_FALSE(client.Get());
    EXPECT_EQ(client.StatusCode(), 550);
    EXPECT_EQ(readLocalFile(target), QByteArray("kept contents"));

    client.SetShareMode(ftpShareCompat);
    EXPECT_TRUE(client.Get()) << "without a lock of its own the transfer goes ahead";
    EXPECT_EQ(readLocalFile(target), QByteArray("fresh"));
}

TEST_F(FtpScripted, CancellingBeforeTransmitFailsWith426AndSendsNoStor)
{
    ASSERT_TRUE(startAndLogIn());
    const QString source = local(QStringLiteral("up.bin"));
    ASSERT_TRUE(writeLocalFile(source, "data"));
    client.SetPassive(true);
    client.SetHostFileName("up.bin");
    client.SetLocalFileName(source);
    client.OnReadyToTransmit = [](bool& cancel) { cancel = true; };

    EXPECT_FALSE(client.Put());
    EXPECT_EQ(client.StatusCode(), 426);
    EXPECT_EQ(client.ErrorMessage(), QStringLiteral("426 Transmit cancelled by application"));
    EXPECT_TRUE(log.contains(QStringLiteral("! 426 Transmit cancelled by application")));
    EXPECT_FALSE(server.received("STOR"));
}

// ---------------------------------------------------------------- dropped passive connections

// The commands of the transfer, from its PASV on, without their arguments.
QList<QByteArray> transferVerbs(const QList<QByteArray>& commands)
{
    QList<QByteArray> verbs;
    bool started = false;
    for (const QByteArray& line : commands) {
        const qsizetype blank = line.indexOf(' ');
        const QByteArray verb = blank < 0 ? line : line.left(blank);
        started = started || verb == "PASV";
        if (started)
            verbs << verb;
    }
    return verbs;
}

TEST_F(FtpScripted, ADroppedPassiveConnectionIsRetriedOnceOnAFreshOne)
{
    server.dropPassiveConnections = 1;
    server.download = patternBytes(200000, 11);
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(local(QStringLiteral("file.bin")));
    QElapsedTimer timer;
    timer.start();

    ASSERT_TRUE(client.Get()) << client.ErrorMessage().toStdString() << "\n" << log.text().toStdString();
    EXPECT_LT(timer.elapsed(), 10000) << "no time-out was waited for";
    EXPECT_EQ(readLocalFile(local(QStringLiteral("file.bin"))), server.download);
    EXPECT_EQ(
        transferVerbs(server.commands()), QList<QByteArray>({ "PASV", "RETR", "ABOR", "PASV", "RETR" }));
    EXPECT_TRUE(log.contains(QStringLiteral("trying once more")));
    client.SetHostDirName("/pub");
    EXPECT_TRUE(client.Cwd()) << "ABOR's reply was not taken for a later command's";
}

TEST_F(FtpScripted, ARetriedResumeSendsItsRestAgain)
{
    server.dropPassiveConnections = 1;
    server.download = patternBytes(50000, 12);
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    const QString target = local(QStringLiteral("part.bin"));
    ASSERT_TRUE(writeLocalFile(target, server.download.left(1234)));
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(target);
    client.SetResumeAt(1234);
    client.SetExpectedSize(server.download.size());

    ASSERT_TRUE(client.RestGet()) << client.ErrorMessage().toStdString() << "\n" << log.text().toStdString();
    EXPECT_EQ(readLocalFile(target), server.download);
    EXPECT_EQ(transferVerbs(server.commands()),
        QList<QByteArray>({ "PASV", "REST", "RETR", "ABOR", "PASV", "REST", "RETR" }));
    EXPECT_EQ(server.commands().count("REST 1234"), 2);
}

TEST_F(FtpScripted, ADroppedUploadConnectionIsRetriedToo)
{
    server.dropPassiveConnections = 1;
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    const QString source = local(QStringLiteral("up.bin"));
    const QByteArray contents = patternBytes(300000, 13);
    ASSERT_TRUE(writeLocalFile(source, contents));
    client.SetHostFileName("up.bin");
    client.SetLocalFileName(source);

    ASSERT_TRUE(client.Put()) << client.ErrorMessage().toStdString() << "\n" << log.text().toStdString();
    EXPECT_TRUE(runEventsUntil([&] { return server.uploaded().size() == contents.size(); }));
    EXPECT_EQ(server.uploaded(), contents);
    EXPECT_EQ(
        transferVerbs(server.commands()), QList<QByteArray>({ "PASV", "STOR", "ABOR", "PASV", "STOR" }));
}

TEST_F(FtpScripted, AServerThatDropsEveryPassiveConnectionFailsClearlyAfterOneRetry)
{
    server.dropPassiveConnections = 1000;
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(local(QStringLiteral("file.bin")));
    QElapsedTimer timer;
    timer.start();

    EXPECT_FALSE(client.Get());
    EXPECT_LT(timer.elapsed(), 10000) << "no time-out was waited for: " << log.text().toStdString();
    EXPECT_EQ(client.RequestResult(), 426);
    EXPECT_EQ(client.ErrorMessage(),
        QStringLiteral("426 The server closed the data connection twice before a byte moved"));
    EXPECT_EQ(
        transferVerbs(server.commands()), QList<QByteArray>({ "PASV", "RETR", "ABOR", "PASV", "RETR" }));
    EXPECT_FALSE(client.GetConnected()) << "the server still holds a transfer nothing completes";
    EXPECT_TRUE(logIn(client)) << "the caller can connect again";
}

TEST_F(FtpScripted, AnEmptyFileIsNoDroppedConnection)
{
    server.download.clear();
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    client.SetHostFileName("empty.bin");
    client.SetLocalFileName(local(QStringLiteral("empty.bin")));
    client.SetExpectedSize(0);

    ASSERT_TRUE(client.Get()) << client.ErrorMessage().toStdString();
    EXPECT_TRUE(QFileInfo::exists(local(QStringLiteral("empty.bin"))));
    runEventsUntil([] { return false; }, std::chrono::milliseconds(FtpScripted::dropGrace));
    EXPECT_EQ(transferVerbs(server.commands()), QList<QByteArray>({ "PASV", "RETR" }));
}

TEST_F(FtpScripted, AbortXferDuringATransferKeepsLaterRepliesInStep)
{
    server.stallTransfers = true;
    server.replies["ABOR"] = "426 Transfer aborted\r\n226 ABOR successful\r\n";
    server.replies["PWD"] = "257 \"/after-abort\"\r\n";
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(local(QStringLiteral("file.bin")));

    ASSERT_TRUE(client.GetAsync());
    ASSERT_TRUE(runEventsUntil([&] { return log.contains(QStringLiteral("< 150")); }));
    EXPECT_TRUE(client.AbortXfer());
    EXPECT_EQ(client.StatusCode(), 226);
    ASSERT_TRUE(client.Pwd());
    EXPECT_EQ(client.DirResult(), QByteArray("/after-abort"));
}

TEST_F(FtpScripted, ARequestRefusedWhileAnotherRunsLeavesThatOneRunning)
{
    server.download = patternBytes(300000, 15);
    server.stallTransfers = true;
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(local(QStringLiteral("file.bin")));
    QStringList usageErrors;
    client.OnUsageError = [&](const QString& message) { usageErrors << message; };

    ASSERT_TRUE(client.GetAsync());
    ASSERT_TRUE(runEventsUntil([&] { return log.contains(QStringLiteral("< 150")); }));
    EXPECT_FALSE(client.PwdAsync());
    EXPECT_EQ(usageErrors, QStringList { QStringLiteral("FTP component not ready") });
    EXPECT_TRUE(client.RequestRunning()) << "the download was not taken for ended";
    EXPECT_FALSE(client.Idle());
    EXPECT_TRUE(client.AbortXfer());
    EXPECT_TRUE(client.Pwd()) << client.ErrorMessage().toStdString();
}

TEST_F(FtpScripted, ABlockingCallTakenOverByAbortXferReportsFailure)
{
    server.stallTransfers = true;
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(local(QStringLiteral("file.bin")));
    bool aborted = false;
    client.OnDisplay = [&](const QString& line) {
        if (line.startsWith(QStringLiteral("< 150")) && !aborted) {
            aborted = true;
            QMetaObject::invokeMethod(
                &client, [&] { client.AbortXfer(); }, Qt::QueuedConnection);
        }
    };

    EXPECT_FALSE(client.Get());
    EXPECT_TRUE(aborted);
}

// ---------------------------------------------------------------- the size a download must reach

struct SizeCheckCase {
    const char* name;
    qint64 served; // bytes of the file the server sends (from the resume position, unless ignoreRest)
    qint64 resumeAt;
    bool ignoreRest;
    bool succeeds;
    qint64 localSize; // what the local file holds afterwards
    const char* error; // start of ErrorMessage() on failure
};

class FtpScriptedSize : public FtpScripted, public testing::WithParamInterface<SizeCheckCase>
{
};

TEST_P(FtpScriptedSize, ADownloadMustEndExactlyWhereTheFileEnds)
{
    const SizeCheckCase& c = GetParam();
    // The server holds more than its SIZE says, as a changed file would.
    const QByteArray file = patternBytes(200000, 14);
    server.replies["SIZE"] = "213 100000\r\n";
    server.download = file.left(c.served);
    server.ignoreRest = c.ignoreRest;
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    const QString target = local(QStringLiteral("file.bin"));
    ASSERT_TRUE(writeLocalFile(target, file.left(c.resumeAt)));
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(target);
    ASSERT_TRUE(client.Size());
    client.SetExpectedSize(client.SizeResult());
    client.SetResumeAt(c.resumeAt);

    EXPECT_EQ(client.RestGet(), c.succeeds) << client.ErrorMessage().toStdString();
    EXPECT_EQ(readLocalFile(target), file.left(c.localSize));
    if (!c.succeeds) {
        EXPECT_EQ(client.RequestResult(), 426);
        EXPECT_TRUE(client.ErrorMessage().startsWith(QString::fromLatin1(c.error)))
            << client.ErrorMessage().toStdString();
    }
    EXPECT_TRUE(server.received("SIZE file.bin"));
    EXPECT_TRUE(server.received("RETR file.bin"));
    EXPECT_EQ(server.received("REST"), c.resumeAt > 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FtpScriptedSize,
    testing::Values(SizeCheckCase { "whole", 100000, 0, false, true, 100000, "" },
        SizeCheckCase { "short_is_kept_for_a_resume", 60000, 0, false, false, 60000,
            "426 Transfer ended at byte 60000 of 100000" },
        SizeCheckCase { "long_is_never_written", 100001, 0, false, false, 0,
            "426 The server sent more than the 100000 bytes expected" },
        SizeCheckCase { "resumed", 100000, 40000, false, true, 100000, "" },
        SizeCheckCase { "resumed_short", 70000, 40000, false, false, 70000,
            "426 Transfer ended at byte 70000 of 100000" },
        SizeCheckCase { "rest_accepted_but_whole_file_sent", 100000, 40000, true, false, 40000,
            "426 The server sent more than the 100000 bytes expected" }),
    [](const testing::TestParamInfo<SizeCheckCase>& info) { return std::string(info.param.name); });

TEST_F(FtpScripted, TheExpectedSizeIsUsedUpByItsDownload)
{
    server.download = "0123456789";
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(local(QStringLiteral("file.bin")));
    client.SetExpectedSize(5);
    EXPECT_FALSE(client.Get());

    EXPECT_TRUE(client.Get()) << "the next download expects nothing: " << client.ErrorMessage().toStdString();
    EXPECT_EQ(readLocalFile(local(QStringLiteral("file.bin"))), server.download);
}

// ---------------------------------------------------------------- sinks

// Keeps what a download delivers, where it says it belongs.
class MemorySink : public FtpDataSink
{
public:
    bool start(qint64 position) override
    {
        starts << position;
        return refuseStart.isEmpty();
    }
    bool writeAt(qint64 position, const char* data, qint64 length) override
    {
        if (position != next && next >= 0)
            gaps = true;
        if (bytes.isEmpty())
            first = position;
        bytes.append(data, length);
        next = position + length;
        return true;
    }
    void discardFrom(qint64 position) override { bytes.truncate(std::max<qint64>(0, position - first)); }
    void finish() override { ++finishes; }
    QString name() const override { return QStringLiteral("memory"); }
    QString failureText() const override { return refuseStart; }

    QList<qint64> starts;
    QByteArray bytes;
    qint64 first = -1;
    qint64 next = -1;
    bool gaps = false;
    int finishes = 0;
    QString refuseStart;
};

TEST_F(FtpScripted, APartStopsAtItsEndAndSucceedsHoweverTheServerTakesIt)
{
    server.download = patternBytes(6 * 1024 * 1024, 15);
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    client.SetHostFileName("file.bin");
    MemorySink sink;
    client.SetDownloadSink(&sink);
    client.SetResumeAt(1000000);
    client.SetPartEnd(3000000);
    client.SetExpectedSize(server.download.size());

    ASSERT_TRUE(client.RestGet()) << client.ErrorMessage().toStdString() << "\n" << log.text().toStdString();
    EXPECT_EQ(sink.starts, QList<qint64>({ 1000000 }));
    EXPECT_EQ(sink.first, 1000000);
    EXPECT_FALSE(sink.gaps);
    EXPECT_EQ(sink.bytes, server.download.mid(1000000, 2000000));
    EXPECT_EQ(sink.finishes, 1);
    EXPECT_EQ(client.ByteCount(), 2000000);
    EXPECT_TRUE(server.received("REST 1000000"));
    client.SetHostDirName("/pub");
    EXPECT_TRUE(client.Cwd()) << "the server's reply to the early close was not taken for CWD's";
}

TEST_F(FtpScripted, APartThatEndsBeforeItsEndFails)
{
    server.download = patternBytes(5000, 16);
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    client.SetHostFileName("file.bin");
    MemorySink sink;
    client.SetDownloadSink(&sink);
    client.SetPartEnd(8000);

    EXPECT_FALSE(client.Get());
    EXPECT_TRUE(client.ErrorMessage().startsWith(QStringLiteral("426 Transfer ended at byte 5000 of 8000")))
        << client.ErrorMessage().toStdString();
    EXPECT_EQ(sink.bytes, server.download);
}

TEST_F(FtpScripted, ASinkThatCannotStartFailsTheDownloadBeforeRetr)
{
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    client.SetHostFileName("file.bin");
    MemorySink sink;
    sink.refuseStart = QStringLiteral("disk full");
    client.SetDownloadSink(&sink);

    EXPECT_FALSE(client.Get());
    EXPECT_EQ(client.StatusCode(), 550);
    EXPECT_EQ(client.LastResponse(), QStringLiteral("Unable to open local file memory: disk full"));
    EXPECT_EQ(sink.finishes, 1);
    EXPECT_FALSE(server.received("RETR"));
}

// ---------------------------------------------------------------- symbolic links

class FtpScriptedLink : public FtpScripted, public testing::WithParamInterface<qint64>
{
};

TEST_P(FtpScriptedLink, ADownloadIsNeverWrittenThroughASymbolicLink)
{
    QTemporaryDir outside;
    const QString victim = outside.filePath(QStringLiteral("victim.txt"));
    ASSERT_TRUE(writeLocalFile(victim, "precious"));
    const QString target = local(QStringLiteral("file.bin"));
    ASSERT_TRUE(QFile::link(victim, target));
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(target);
    client.SetResumeAt(GetParam());

    EXPECT_FALSE(client.RestGet());
    EXPECT_EQ(client.StatusCode(), 550);
    EXPECT_EQ(client.LastResponse(),
        QStringLiteral("Unable to open local file ") + target + QStringLiteral(": it is a symbolic link"));
    EXPECT_EQ(readLocalFile(victim), QByteArray("precious"));
    EXPECT_TRUE(QFileInfo(target).isSymLink());
    EXPECT_FALSE(server.received("RETR"));
}

INSTANTIATE_TEST_SUITE_P(
    Links, FtpScriptedLink, testing::Values(0, 3), [](const testing::TestParamInfo<qint64>& info) {
        return std::string(info.param == 0 ? "new_file" : "resumed_file");
    });

// ---------------------------------------------------------------- names and texts from the server

TEST_F(FtpScripted, RemoteNamesReachTheServerAsTheBytesTheyAre)
{
    server.replies["RNFR"] = "350 Ready\r\n";
    server.replies["RNTO"] = "250 Renamed\r\n";
    server.replies["SITE"] = "200 OK\r\n";
    ASSERT_TRUE(startAndLogIn());
    const QByteArray latin1Name = "caf\xe9 \xabmenu\xbb.txt";
    const QByteArray utf8Name = "d\xc3\xa9j\xc3\xa0.txt";

    client.SetHostFileName(latin1Name);
    client.SetRenameTarget(utf8Name);
    ASSERT_TRUE(client.Ren());
    client.SetQuoteCommand("SITE CHMOD 644 " + latin1Name);
    ASSERT_TRUE(client.Quote());
    client.SetHostDirName(latin1Name);
    ASSERT_TRUE(client.Cwd());

    EXPECT_TRUE(server.commands().contains("RNFR " + latin1Name));
    EXPECT_TRUE(server.commands().contains("RNTO " + utf8Name));
    EXPECT_TRUE(server.commands().contains("SITE CHMOD 644 " + latin1Name));
    EXPECT_TRUE(server.commands().contains("CWD " + latin1Name));
    // What is shown is decoded: UTF-8 where it is valid, Latin-1 otherwise.
    EXPECT_TRUE(log.lines.contains(QStringLiteral("> RNFR caf\u00e9 \u00abmenu\u00bb.txt")))
        << log.text().toStdString();
    EXPECT_TRUE(log.lines.contains(QStringLiteral("> RNTO d\u00e9j\u00e0.txt")));
}

TEST_F(FtpScripted, ControlCharactersFromTheServerAreShownEscaped)
{
    server.replies["PWD"] = "257 \"/red\x1b[31mfolder\x7f\" is current\r\n";
    server.replies["CWD"] = "550 No \x1b]0;owned\x07 folder\r\n";
    ASSERT_TRUE(startAndLogIn());

    ASSERT_TRUE(client.Pwd());
    EXPECT_EQ(client.DirResult(), QByteArray("/red\x1b[31mfolder\x7f")) << "the name itself stays as it is";
    client.SetHostDirName("x");
    EXPECT_FALSE(client.Cwd());
    EXPECT_EQ(client.ErrorMessage(), QStringLiteral("550 No \\x1B]0;owned\\x07 folder"));
    EXPECT_TRUE(log.lines.contains(QStringLiteral("< 257 \"/red\\x1B[31mfolder\\x7F\" is current")))
        << log.text().toStdString();
    for (const QString& line : log.lines) {
        for (const QChar c : line)
            EXPECT_FALSE(c.unicode() < 0x20 || c.unicode() == 0x7f) << line.toStdString();
    }
}

struct MalformedCase {
    const char* name;
    QByteArray reply;
};

class FtpScriptedMalformed : public FtpScripted, public testing::WithParamInterface<MalformedCase>
{
};

TEST_P(FtpScriptedMalformed, AReplyLineThatIsNotThreeDigitsFailsAndCloses)
{
    server.replies["CWD"] = GetParam().reply + "250 Directory changed\r\n";
    ASSERT_TRUE(startAndLogIn());
    client.SetHostDirName("/pub");
    QElapsedTimer timer;
    timer.start();

    EXPECT_FALSE(client.Cwd());
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_EQ(client.RequestResult(), 500);
    EXPECT_TRUE(
        client.ErrorMessage().startsWith(QStringLiteral("500 Malformed reply line, connection closed: ")))
        << client.ErrorMessage().toStdString();
    EXPECT_FALSE(client.GetConnected());
    EXPECT_TRUE(server.received("CWD /pub"));
}

INSTANTIATE_TEST_SUITE_P(Replies, FtpScriptedMalformed,
    testing::Values(MalformedCase { "one_digit", "2 short code\r\n" },
        MalformedCase { "four_digits", "2300 done\r\n" }, MalformedCase { "below_100", "099 odd\r\n" },
        MalformedCase { "letter_after_code", "250x changed\r\n" }),
    [](const testing::TestParamInfo<MalformedCase>& info) { return std::string(info.param.name); });

TEST_F(FtpScripted, AListingThatNeverEndsIsCutAtItsLimit)
{
    server.endlessDownload = true;
    server.download = "x\n";
    ASSERT_TRUE(startAndLogIn());
    client.SetPassive(true);
    client.SetHostFileName({});
    client.SetLocalFileName(local(QStringLiteral("listing.txt")));

    EXPECT_FALSE(client.Dir());
    EXPECT_EQ(client.RequestResult(), 426);
    EXPECT_EQ(client.ErrorMessage(),
        QStringLiteral("426 Listing longer than 1073741824 bytes or 10000000 lines: "
                       "transfer stopped"));
    EXPECT_LE(QFileInfo(local(QStringLiteral("listing.txt"))).size(), 2 * TCustomFtpCli::listingMaxLines);
    EXPECT_TRUE(server.received("LIST"));
}

// ---------------------------------------------------------------- proxy login and modes

struct ProxyLoginCase {
    const char* name;
    QString sitePort;
    QByteArray userLine;
};

class FtpScriptedProxy : public FtpScripted, public testing::WithParamInterface<ProxyLoginCase>
{
};

TEST_P(FtpScriptedProxy, TheProxyLoginNamesTheSiteAndItsPortUnlessItIs21)
{
    ASSERT_TRUE(server.start());
    client.SetConnectionType(ftpProxy);
    client.SetProxyServer(QStringLiteral("127.0.0.1"));
    client.SetProxyPort(QString::number(server.port()));
    client.SetHostName(QStringLiteral("ftp.example.com"));
    client.SetPort(GetParam().sitePort);
    client.SetUserName("joe");
    client.SetPassWord("secret");

    ASSERT_TRUE(logIn(client)) << client.ErrorMessage().toStdString();
    EXPECT_EQ(server.commands().value(0), GetParam().userLine);
    EXPECT_TRUE(client.Passive());
}

INSTANTIATE_TEST_SUITE_P(Proxy, FtpScriptedProxy,
    testing::Values(ProxyLoginCase { "other_port", QStringLiteral("2121"), "USER joe@ftp.example.com:2121" },
        ProxyLoginCase { "port_21", QStringLiteral("21"), "USER joe@ftp.example.com" },
        ProxyLoginCase { "service_name", QStringLiteral("FTP"), "USER joe@ftp.example.com" }),
    [](const testing::TestParamInfo<ProxyLoginCase>& info) { return std::string(info.param.name); });

TEST(FtpModes, EveryTypeButDirectKeepsPassiveOn)
{
    for (const TFtpConnectionType type : { ftpProxy, ftpSocks4, ftpSocks4A, ftpSocks5 }) {
        TFtpClient client;
        client.SetConnectionType(type);
        client.SetPassive(false);
        EXPECT_TRUE(client.Passive()) << type;
    }
    TFtpClient direct;
    direct.SetPassive(true);
    direct.SetPassive(false);
    EXPECT_FALSE(direct.Passive());
    direct.SetConnectionType(static_cast<TFtpConnectionType>(9));
    EXPECT_EQ(direct.ConnectionType(), ftpDirect);
}

TEST(FtpModes, ARefusedConnectionReportsTheSocketError)
{
    TFtpClient client;
    aimAt(client, freeTcpPort());
    EXPECT_FALSE(client.Open());
    EXPECT_EQ(client.StatusCode(), 500);
    EXPECT_EQ(client.LastResponse(), QStringLiteral("500 Connection refused (Winsock error #10061)"));
    EXPECT_EQ(client.State(), ftpReady);
}

TEST(FtpModes, AConnectCallThatFailsAtOnceReportsItsException)
{
    TFtpClient client;
    client.SetHostName(QStringLiteral("127.0.0.1"));
    client.SetPort(QStringLiteral("70000"));
    EXPECT_FALSE(client.Open());
    EXPECT_EQ(client.StatusCode(), 500);
    EXPECT_EQ(client.LastResponse(),
        QStringLiteral("500 ESocketException: connect: WSocketResolvePort: Invalid Port."));
    EXPECT_EQ(client.State(), ftpReady);
}

TEST(FtpModes, AnUnknownHostReportsTheResolverError)
{
    TFtpClient client;
    client.SetHostName(QStringLiteral("no-such-host.invalid"));
    EXPECT_FALSE(client.Open());
    EXPECT_EQ(client.StatusCode(), 500);
    EXPECT_EQ(client.LastResponse(), QStringLiteral("500 Host not found (Winsock error #11001)"));
}

} // namespace
