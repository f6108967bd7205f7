// Leaving the connected server from inside the views: link files fetched
// from it or read from the disk, UNIX links, P2P names resolved through the
// index server; and entries put into the list without a listing.

#include "../net/ftp_test_support.h"
#include "FtpTestServer.h"
#include "HttpTestServers.h"
#include "TempHome.h"
#include "session_test_support.h"

#include "common/ProgramFolders.h"
#include "net/TFtpClient.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <memory>

namespace
{

void makeFile(const QString& path, const QByteArray& contents = "x")
{
    QDir().mkpath(QFileInfo(path).path());
    writeLocalFile(path, contents);
}

QByteArray linkText(quint16 port, const QByteArray& address = "127.0.0.1")
{
    return "[Zelta Link]\nName=Linked server\nAddress=" + address + "\nPort=" + QByteArray::number(port)
        + "\nAnonymous=1\nInitial_Directory=/docs\n";
}

class LinkTest : public testing::Test
{
protected:
    void SetUp() override
    {
        options.TimeoutPeriod = 10;
        makeFile(root.path() + QStringLiteral("/pub/a.txt"));
        makeFile(otherRoot.path() + QStringLiteral("/docs/other.txt"));
        ASSERT_TRUE(server.running()) << qPrintable(server.error());
        ASSERT_TRUE(other.running()) << qPrintable(other.error());
    }

    ftpSite familySite() const
    {
        ftpSite site;
        site.name = "Family";
        site.hostAddress = site.displayAddress = "127.0.0.1";
        site.port = server.port();
        site.anonymous = false;
        site.userId = "tester";
        site.password = "secret";
        site.initialDirectory = "/pub";
        return site;
    }

    ftpClient& open(const ftpSite& site, bool connect = true)
    {
        session
            = std::make_unique<ftpClient>(site, view, ftpClient::environment { prompter, &notices, options });
        if (connect)
            session->start();
        return *session;
    }

    const ftpObject* entryNamed(const std::string& name) const
    {
        for (const auto& entry : session->entries()) {
            if (entry->name == name)
                return entry;
        }
        return nullptr;
    }

    TempHome home;
    connectionOptions options;
    QTemporaryDir root;
    QTemporaryDir otherRoot;
    FtpTestServer server { FtpServerKind::Family, root.path() };
    FtpTestServer other { FtpServerKind::Family, otherRoot.path() };
    std::shared_ptr<recordingView> view = std::make_shared<recordingView>();
    recordingPrompter prompter;
    noticeCounter notices;
    std::unique_ptr<ftpClient> session;
};

TEST_F(LinkTest, ALinkFileOnTheServerLeadsToItsServer)
{
    makeFile(root.path() + QStringLiteral("/pub/site.wkt"), linkText(other.port()));
    ftpClient& s = open(familySite());
    const ftpObject* link = entryNamed("site.wkt");
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->kind, ftpObject::LinkFile);
    s.openEntry(*link);
    EXPECT_TRUE(prompter.texts.isEmpty()) << qPrintable(prompter.texts.join(QLatin1Char('\n')));
    EXPECT_EQ(s.site().port, other.port());
    EXPECT_EQ(s.site().name, "Linked server");
    EXPECT_TRUE(s.site().anonymous);
    EXPECT_EQ(s.currentDirectory(), "/docs");
    EXPECT_EQ(entryNames(s), QStringList { QStringLiteral("other.txt") });
    EXPECT_TRUE(other.commandLog().contains("USER anonymous"));
    // The fetched file does not stay in the session's folder.
    EXPECT_FALSE(QFileInfo::exists(joinPath(s.temporaryFolder(), QStringLiteral("site.wkt"))));
}

struct badLinkCase {
    const char* name;
    QByteArray contents;
};

class BadLinks : public LinkTest, public testing::WithParamInterface<badLinkCase>
{
};

// A link file is untrusted: too large or not a link, it changes nothing.
TEST_P(BadLinks, LeaveTheSessionWhereItIs)
{
    makeFile(root.path() + QStringLiteral("/pub/bad.wkt"), GetParam().contents);
    ftpClient& s = open(familySite());
    const ftpObject* link = entryNamed("bad.wkt");
    ASSERT_NE(link, nullptr);
    s.openEntry(*link);
    ASSERT_FALSE(prompter.texts.isEmpty());
    EXPECT_TRUE(prompter.texts.last().contains(QStringLiteral("Unable to get link file.")));
    EXPECT_EQ(s.site().port, server.port());
    EXPECT_TRUE(s.component().GetConnected());
    EXPECT_FALSE(other.commandLog().contains("USER"));
}

INSTANTIATE_TEST_SUITE_P(Session, BadLinks,
    testing::Values(badLinkCase { "TooLarge", linkText(0) + QByteArray(100 * 1024, '#') },
        badLinkCase { "NotALink", QByteArray("hello\0world", 11) }),
    [](const testing::TestParamInfo<badLinkCase>& info) { return info.param.name; });

struct changedLinkCase {
    const char* name;
    QByteArray padding; // after the link text, listed
    QByteArray changedPadding; // after the link text, fetched
};

class ChangedLinks : public LinkTest, public testing::WithParamInterface<changedLinkCase>
{
};

// The listing said how long the file is; a file of another length when
// fetched is not the one listed, however sound it looks.
TEST_P(ChangedLinks, AreNotFollowed)
{
    const QString path = root.path() + QStringLiteral("/pub/site.wkt");
    makeFile(path, linkText(other.port()) + GetParam().padding);
    ftpClient& s = open(familySite());
    const ftpObject* link = entryNamed("site.wkt");
    ASSERT_NE(link, nullptr);
    writeLocalFile(path, linkText(other.port()) + GetParam().changedPadding);

    s.openEntry(*link);
    ASSERT_FALSE(prompter.texts.isEmpty());
    EXPECT_TRUE(prompter.texts.last().contains(QStringLiteral("Unable to get link file.")));
    EXPECT_EQ(s.site().port, server.port());
    EXPECT_TRUE(s.component().GetConnected());
    EXPECT_FALSE(other.commandLog().contains("USER"));
    EXPECT_TRUE(server.commandLog().contains("RETR /pub/site.wkt"));
}

INSTANTIATE_TEST_SUITE_P(Session, ChangedLinks,
    testing::Values(changedLinkCase { "Grown", "", "; changed since\n" },
        changedLinkCase { "Shrunk", "; to be cut\n", "" }),
    [](const testing::TestParamInfo<changedLinkCase>& info) { return info.param.name; });

TEST_F(LinkTest, ALocalLinkFileOpensItsSite)
{
    const QString path = home.file(QStringLiteral("local.wkt"));
    writeLocalFile(path, linkText(other.port()));
    ftpClient& s = open(ftpSite {}, false);
    EXPECT_TRUE(s.openLocalLinkFile(path));
    EXPECT_EQ(view->caption, QStringLiteral("Linked ..."));
    EXPECT_EQ(entryNames(s), QStringList { QStringLiteral("other.txt") });
    EXPECT_EQ(s.state(), sessionState::Connected);
}

TEST_F(LinkTest, AMissingLocalLinkFileClosesTheSession)
{
    ftpClient& s = open(ftpSite {}, false);
    EXPECT_FALSE(s.openLocalLinkFile(home.file(QStringLiteral("missing.wkt"))));
    EXPECT_EQ(prompter.texts.size(), 1);
    EXPECT_TRUE(runEventsUntil([&] { return notices.closed == 1; }));
}

TEST_F(LinkTest, UnixLinksToFoldersAreListedAndToFilesDownloaded)
{
    QDir(root.path()).mkpath(QStringLiteral("pub/real"));
    makeFile(root.path() + QStringLiteral("/pub/real/inside.txt"));
    ASSERT_TRUE(QFile::link(
        root.path() + QStringLiteral("/pub/real"), root.path() + QStringLiteral("/pub/folderlink")));
    ASSERT_TRUE(QFile::link(
        root.path() + QStringLiteral("/pub/a.txt"), root.path() + QStringLiteral("/pub/filelink")));
    ftpClient& s = open(familySite());
    int downloads = 0;
    s.downloadSelection = [&] { ++downloads; };
    const ftpObject* folderLink = entryNamed("folderlink");
    ASSERT_NE(folderLink, nullptr);
    ASSERT_EQ(folderLink->kind, ftpObject::UnixLink);
    s.openEntry(*folderLink);
    EXPECT_EQ(s.currentDirectory(), "/pub/folderlink");
    EXPECT_EQ(entryNames(s), QStringList { QStringLiteral("inside.txt") });
    EXPECT_EQ(downloads, 0);
    s.changeDirectoryAndList("/pub");
    const ftpObject* fileLink = entryNamed("filelink");
    ASSERT_NE(fileLink, nullptr);
    s.openEntry(*fileLink);
    EXPECT_EQ(downloads, 1);
    EXPECT_TRUE(prompter.texts.isEmpty());
}

TEST_F(LinkTest, NewEntriesJoinTheListAndTheFolderCacheIsDropped)
{
    ftpClient& s = open(familySite());
    const QString cache = s.cacheFileOf("/pub");
    ASSERT_TRUE(QFileInfo::exists(cache));
    s.insertNewEntry("new.wkt", true);
    s.insertNewEntry("newfolder", false);
    s.insertNewEntry("a.txt", true);
    EXPECT_FALSE(QFileInfo::exists(cache));
    EXPECT_EQ(entryNames(s).size(), 3);
    const ftpObject* link = entryNamed("new.wkt");
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->kind, ftpObject::LinkFile);
    EXPECT_EQ(link->typeText, "Zelta Link");
    EXPECT_EQ(link->rights, "-r--r--r--");
    EXPECT_TRUE(
        QString::fromStdString(link->dateText)
            .contains(QRegularExpression(QStringLiteral("^[A-Z][a-z]{2} [1-9][0-9]? [0-9]{2}:[0-9]{2}$"))));
    const ftpObject* folder = entryNamed("newfolder");
    ASSERT_NE(folder, nullptr);
    ASSERT_NE(folder->treeNode, nullptr);
    EXPECT_EQ(folder->treeNode->path, "/pub/newfolder");
}

// A site known by its owner's P2P name is found through the index server.
TEST_F(LinkTest, AP2pNameIsResolvedThroughTheIndexServer)
{
    IndexTestServer index;
    ASSERT_TRUE(
        index.start({ QStringLiteral("bob,127.0.0.1,%1,0,0,UN,%2").arg(server.port()).arg(root.path()) }))
        << qPrintable(index.error());
    ftpSite site = familySite();
    site.persistent = false;
    site.hostAddress = site.displayAddress = site.p2pUserName = "bob";
    site.port = 0;
    site.network.baseUrl = index.base();
    ftpClient& s = open(site);
    EXPECT_TRUE(prompter.texts.isEmpty()) << qPrintable(prompter.texts.join(QLatin1Char('\n')));
    EXPECT_EQ(s.site().hostAddress, "127.0.0.1");
    EXPECT_EQ(s.site().port, server.port());
    EXPECT_EQ(entryNames(s), QStringList { QStringLiteral("a.txt") });
    EXPECT_TRUE(view->log.contains(QStringLiteral("! Connecting to bob - attempt #1")));
}

TEST_F(LinkTest, AP2pNameWithoutAnIndexServerFailsClearly)
{
    ftpSite site = familySite();
    site.persistent = false;
    site.hostAddress = site.displayAddress = site.p2pUserName = "bob";
    open(site);
    ASSERT_EQ(prompter.texts.size(), 1);
    EXPECT_TRUE(prompter.texts.front().contains(QStringLiteral("index server")));
    EXPECT_TRUE(runEventsUntil([&] { return notices.closed == 1; }));
}

} // namespace

namespace
{

TEST(SessionFolders, EachSessionHasItsOwnAndTakesOnlyItsOwnAlong)
{
    TempHome home;
    recordingPrompter prompter;
    const auto view = std::make_shared<recordingView>();
    auto first
        = std::make_unique<ftpClient>(ftpSite {}, view, ftpClient::environment { prompter, nullptr, {} });
    auto second
        = std::make_unique<ftpClient>(ftpSite {}, view, ftpClient::environment { prompter, nullptr, {} });
    const QString firstFolder = first->temporaryFolder();
    const QString secondFolder = second->temporaryFolder();
    ASSERT_NE(firstFolder, secondFolder);
    EXPECT_TRUE(firstFolder.startsWith(::temporaryFolder() + QLatin1Char('/')));
    writeLocalFile(second->searchResultsFile(), "results");
    first.reset();
    EXPECT_FALSE(QFileInfo::exists(firstFolder));
    EXPECT_TRUE(QFileInfo::exists(second->searchResultsFile()));
    second.reset();
    EXPECT_FALSE(QFileInfo::exists(secondFolder));
}

} // namespace
