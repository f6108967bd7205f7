// Browsing sessions against vsftpd, proftpd and the family FTP server, for
// what differs between real servers: their PWD replies, listing forms and
// refusals. Each case checks the commands the server logged.

#include "../net/ftp_test_support.h"
#include "FtpTestServer.h"
#include "TempHome.h"
#include "session_test_support.h"

#include "net/TFtpClient.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace
{

void makeFile(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(path).path());
    writeLocalFile(path, contents);
}

class RealServerSession : public testing::TestWithParam<FtpServerKind>
{
protected:
    void SetUp() override
    {
        makeFile(root.path() + QStringLiteral("/pub/alpha.txt"), "alpha");
        makeFile(root.path() + QStringLiteral("/pub/Beta.bin"), "beta");
        makeFile(root.path() + QStringLiteral("/pub/docs/readme.txt"), "read me");
        makeFile(root.path() + QStringLiteral("/pub/docs/manual.pdf"), "manual");
        makeFile(root.path() + QStringLiteral("/top.txt"), "top");
        server = std::make_unique<FtpTestServer>(GetParam(), root.path());
        ASSERT_TRUE(server->running()) << qPrintable(server->error());
        options.TimeoutPeriod = 10;
    }

    ftpClient& open(const std::string& initialDirectory)
    {
        ftpSite site;
        site.name = "Real server";
        site.hostAddress = site.displayAddress = "127.0.0.1";
        site.port = server->port();
        site.anonymous = false;
        site.userId = server->user().toStdString();
        site.password = server->password().toStdString();
        site.initialDirectory = initialDirectory;
        session
            = std::make_unique<ftpClient>(site, view, ftpClient::environment { prompter, nullptr, options });
        session->start();
        return *session;
    }

    // The commands the server logged since the last call. A NOOP sent now
    // marks the end: once it is in the log, so is everything before it
    // (proftpd logs a command only after answering it).
    QByteArrayList commandsSinceLastCall()
    {
        session->component().SetQuoteCommand("NOOP");
        EXPECT_TRUE(session->component().Quote());
        QByteArrayList all;
        runEventsUntil(
            [&] {
                all = server->commandLog().split('\n');
                all.removeAll(QByteArray());
                return all.count("NOOP") > noops;
            },
            std::chrono::seconds(5));
        ++noops;
        QByteArrayList fresh = all.mid(seen);
        seen = static_cast<int>(all.size());
        fresh.removeAll("NOOP");
        return fresh;
    }

    static QStringList sorted(QStringList names)
    {
        names.sort();
        return names;
    }

    TempHome home;
    QTemporaryDir root;
    std::unique_ptr<FtpTestServer> server;
    connectionOptions options;
    std::shared_ptr<recordingView> view = std::make_shared<recordingView>();
    recordingPrompter prompter;
    std::unique_ptr<ftpClient> session;
    int seen = 0;
    int noops = 0;
};

TEST_P(RealServerSession, ConnectsListsAndNavigatesThroughTheCache)
{
    ftpClient& s = open("/pub");
    ASSERT_TRUE(s.established()) << prompter.texts.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(s.currentDirectory(), "/pub");
    EXPECT_EQ(sorted(entryNames(s)),
        (QStringList { QStringLiteral("Beta.bin"), QStringLiteral("alpha.txt"), QStringLiteral("docs") }));
    for (const auto& entry : s.entries()) {
        if (entry->name == "alpha.txt") {
            EXPECT_EQ(entry->size, 5);
        }
        if (entry->name == "docs") {
            EXPECT_EQ(entry->kind, ftpObject::Folder);
            ASSERT_NE(entry->treeNode, nullptr);
            EXPECT_EQ(entry->treeNode->path, "/pub/docs");
        }
    }
    const QByteArrayList login = commandsSinceLastCall();
    EXPECT_TRUE(login.contains("CWD /pub")) << login.join('|').toStdString();
    EXPECT_TRUE(login.contains("LIST")) << login.join('|').toStdString();

    s.changeDirectoryAndList("/pub/docs");
    EXPECT_EQ(s.currentDirectory(), "/pub/docs");
    EXPECT_EQ(
        sorted(entryNames(s)), (QStringList { QStringLiteral("manual.pdf"), QStringLiteral("readme.txt") }));
    const QByteArrayList intoDocs = commandsSinceLastCall();
    EXPECT_TRUE(intoDocs.contains("CWD /pub/docs")) << intoDocs.join('|').toStdString();
    EXPECT_TRUE(intoDocs.contains("LIST")) << intoDocs.join('|').toStdString();

    // Back up: the listing comes from the cache, without a single command.
    s.goUp();
    EXPECT_EQ(s.currentDirectory(), "/pub");
    EXPECT_EQ(entryNames(s).size(), 3);
    EXPECT_EQ(commandsSinceLastCall(), QByteArrayList());

    s.refreshListing();
    EXPECT_TRUE(commandsSinceLastCall().contains("LIST"));
    EXPECT_TRUE(prompter.texts.isEmpty()) << prompter.texts.join(QLatin1Char('|')).toStdString();
}

TEST_P(RealServerSession, ARefusedCwdFallsBackToTheRoot)
{
    ftpClient& s = open("/missing");
    ASSERT_EQ(prompter.texts.size(), 1);
    EXPECT_TRUE(prompter.texts.front().contains(
        QStringLiteral("Ranquil cannot access remote folder \n\n\"/missing/\"\n")));
    EXPECT_EQ(s.currentDirectory(), "/");
    EXPECT_TRUE(entryNames(s).contains(QStringLiteral("pub")));
    EXPECT_TRUE(entryNames(s).contains(QStringLiteral("top.txt")));
    const QByteArrayList sent = commandsSinceLastCall();
    EXPECT_TRUE(sent.contains("CWD /missing")) << sent.join('|').toStdString();
    EXPECT_TRUE(sent.contains("CWD /")) << sent.join('|').toStdString();
}

TEST_P(RealServerSession, EmptyAndTildePathsListTheWorkingDirectory)
{
    for (const std::string& path : { std::string(), std::string("~") }) {
        SCOPED_TRACE(path);
        seen = noops = 0;
        ftpClient& s = open(path);
        EXPECT_EQ(s.currentDirectory(), "/");
        EXPECT_TRUE(entryNames(s).contains(QStringLiteral("top.txt")));
        EXPECT_TRUE(prompter.texts.isEmpty()) << prompter.texts.join(QLatin1Char('|')).toStdString();
        const QByteArrayList sent = commandsSinceLastCall();
        EXPECT_TRUE(sent.contains("PWD")) << sent.join('|').toStdString();
        EXPECT_TRUE(sent.contains("LIST")) << sent.join('|').toStdString();
        session.reset();
        // A fresh server log for the next round.
        server = std::make_unique<FtpTestServer>(GetParam(), root.path());
        ASSERT_TRUE(server->running()) << qPrintable(server->error());
    }
}

INSTANTIATE_TEST_SUITE_P(Session, RealServerSession,
    testing::Values(FtpServerKind::Vsftpd, FtpServerKind::Proftpd, FtpServerKind::Family),
    [](const testing::TestParamInfo<FtpServerKind>& info) {
        return FtpTestServer::kindName(info.param).toStdString();
    });

} // namespace
