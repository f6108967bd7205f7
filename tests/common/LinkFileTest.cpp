#include "common/LinkFile.h"

#include "TempHome.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace
{
constexpr std::string_view anonymousPassword = "guest@example.org";

struct ReadCase {
    const char* name;
    LinkFileUse use;
    std::string text;
    // What the site must hold; a field left at its marker is not checked.
    std::string profileName;
    std::string hostAddress;
    bool persistent;
    std::uint32_t port;
    bool anonymous;
    std::string userId;
    std::string password;
};

void PrintTo(const ReadCase& c, std::ostream* os)
{
    *os << c.name;
}

class LinkFileReading : public testing::TestWithParam<ReadCase>
{
};

TEST_P(LinkFileReading, FollowsTheLinkFileRules)
{
    const ReadCase& c = GetParam();
    QString error;
    const auto site = parseLinkFile(c.text, "Home Server.wkt", c.use, anonymousPassword, &error);
    ASSERT_TRUE(site) << error.toStdString();
    EXPECT_EQ(site->name, c.profileName);
    EXPECT_EQ(site->hostAddress, c.hostAddress);
    EXPECT_EQ(site->persistent, c.persistent);
    EXPECT_EQ(site->p2pUserName, c.persistent ? "" : c.hostAddress);
    EXPECT_EQ(site->port, c.port);
    EXPECT_EQ(site->anonymous, c.anonymous);
    EXPECT_EQ(site->userId, c.userId);
    EXPECT_EQ(site->password, c.password);
}

const std::string userSection = "[Zelta Link]\nAddress=ftp.example.org\nPort=2121\nAnonymous=0\nUserID=ann\n"
                                "Password=secret\nName=Ignored By Bookmarks\n";

INSTANTIATE_TEST_SUITE_P(Table, LinkFileReading,
    testing::Values(ReadCase { "UserLogin", LinkFileUse::Bookmark, userSection, "Home Server",
                        "ftp.example.org", true, 2121, false, "ann", "secret" },
        ReadCase { "AnonymousWordIsAnonymous", LinkFileUse::Bookmark,
            "[Zelta Link]\nAddress=h\nAnonymous=yes\nUserID=ann\nPassword=secret\n", "Home Server", "h", true,
            21, true, "anonymous", std::string(anonymousPassword) },
        ReadCase { "EmptyAnonymousValueIsAnonymous", LinkFileUse::Bookmark,
            "[Zelta Link]\nAddress=h\nAnonymous=\n", "Home Server", "h", true, 21, true, "anonymous",
            std::string(anonymousPassword) },
        ReadCase { "MissingAnonymousKeyIsNotAnonymous", LinkFileUse::Bookmark,
            "[Zelta Link]\nAddress=h\nUserID=ann\n", "Home Server", "h", true, 21, false, "ann", "" },
        ReadCase { "NonNumericPortIs21", LinkFileUse::Bookmark,
            "[Zelta Link]\nAddress=h\nPort=ftp\nAnonymous=0\n", "Home Server", "h", true, 21, false, "", "" },
        ReadCase { "PortOutOfRangeIs21", LinkFileUse::Bookmark,
            "[Zelta Link]\nAddress=h\nPort=65536\nAnonymous=0\n", "Home Server", "h", true, 21, false, "",
            "" },
        ReadCase { "BracketsAloneArePlainAddress", LinkFileUse::Bookmark,
            "[Zelta Link]\nAddress=<>\nAnonymous=1\n", "Home Server", "<>", true, 21, true, "anonymous",
            std::string(anonymousPassword) },
        ReadCase { "NameInBracketsIsP2pUser", LinkFileUse::Bookmark,
            "[Zelta Link]\nAddress=<bob>\nAnonymous=1\n", "Home Server", "bob", false, 21, true, "anonymous",
            std::string(anonymousPassword) },
        ReadCase { "KeysAndSectionIgnoreCase", LinkFileUse::Bookmark,
            "[zelta link]\naddress=h\nport=99\nanonymous=0\nuserid=u\n", "Home Server", "h", true, 99, false,
            "u", "" },
        ReadCase { "SessionTakesNameKey", LinkFileUse::Session, userSection, "Ignored By Bookmarks",
            "ftp.example.org", true, 2121, false, "ann", "secret" },
        ReadCase { "SessionWithoutNameTakesFileName", LinkFileUse::Session,
            "[Zelta Link]\nAddress=h\nAnonymous=1\n", "Home Server", "h", true, 21, true, "anonymous",
            std::string(anonymousPassword) },
        ReadCase { "SessionWithoutAnonymousKeyOrUserIsAnonymous", LinkFileUse::Session,
            "[Zelta Link]\nAddress=h\n", "Home Server", "h", true, 21, true, "anonymous",
            std::string(anonymousPassword) },
        ReadCase { "SessionWithoutAnonymousKeyButUserLogsIn", LinkFileUse::Session,
            "[Zelta Link]\nAddress=h\nUserID=ann\nPassword=pw\n", "Home Server", "h", true, 21, false, "ann",
            "pw" }),
    [](const testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST(LinkFile, FilesThatAreNoLinkFilesAreRefusedWithAMessage)
{
    const std::pair<const char*, std::string> refused[] = {
        { "no section", "Address=h\nPort=21\n" },
        { "other section only", "[Other]\nAddress=h\n" },
        { "html page", "<html><body>Not found</body></html>\n[Zelta Link]\nAddress=h\n" },
        { "binary", std::string("[Zelta Link]\nAddress=h\0\x01\x02", 20) },
        { "too large",
            "[Zelta Link]\nAddress=h\nDescription=" + std::string(linkFiles::maxFileSize, 'x') + "\n" },
    };
    for (const auto& [what, text] : refused) {
        QString error;
        EXPECT_FALSE(parseLinkFile(text, "x.wkt", LinkFileUse::Session, anonymousPassword, &error)) << what;
        EXPECT_TRUE(error.contains(QStringLiteral("\"x.wkt\""))) << what << ": " << error.toStdString();
    }
    QString error;
    parseLinkFile(refused[4].second, "x.wkt", LinkFileUse::Bookmark, anonymousPassword, &error);
    EXPECT_EQ(error, QStringLiteral("The link file \"x.wkt\" is larger than 8 KiB and was not opened."));
}

TEST(LinkFile, ANewFileHasTheKeysInOrderAndOnlyItsOwnerMayReadIt)
{
    TempHome home;
    linkFileValues values;
    values.address = "<carol>";
    values.port = "2121";
    values.anonymous = false;
    values.userId = "ann";
    values.password = "secret";
    values.initialDirectory = "/pub";
    values.description = "two\nlines";
    QString error;
    ASSERT_TRUE(writeLinkFile(home.path(), "Carol", values, LinkFileUse::Bookmark, &error))
        << error.toStdString();
    EXPECT_EQ(home.read(QStringLiteral("Carol.wkt")).toStdString(),
        "[Zelta Link]\nAddress=<carol>\nPort=2121\nAnonymous=0\nUserID=ann\nPassword=secret\n"
        "Initial_Directory=/pub\nDescription=\"two\\nlines\"\n");
    struct stat info {
    };
    ASSERT_EQ(::stat(QFile::encodeName(home.file(QStringLiteral("Carol.wkt"))).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    const auto site
        = readLinkFile(home.file(QStringLiteral("Carol.wkt")), LinkFileUse::Bookmark, anonymousPassword);
    ASSERT_TRUE(site);
    EXPECT_EQ(site->description, "two\nlines");
    EXPECT_EQ(linkFileValues::of(*site).address, "<carol>");
    EXPECT_EQ(linkFileValues::of(*site).port, "2121");
}

TEST(LinkFile, RewritingKeepsForeignSectionsAndKeysAndClearsCredentialsWhenAnonymous)
{
    TempHome home;
    home.write(QStringLiteral("Site.wkt"),
        "[Other Program]\nColour=blue\n\n[Zelta "
        "Link]\nAddress=old\nExtra=kept\nUserID=ann\nPassword=secret\n");
    ::chmod(QFile::encodeName(home.file(QStringLiteral("Site.wkt"))).constData(), 0644);
    linkFileValues values;
    values.address = "new.example.org";
    values.anonymous = true;
    values.userId = "ignored";
    values.password = "ignored";
    ASSERT_TRUE(writeLinkFile(home.path(), "Site", values, LinkFileUse::Session));
    EXPECT_EQ(home.read(QStringLiteral("Site.wkt")).toStdString(),
        "[Other Program]\nColour=blue\n\n[Zelta "
        "Link]\nAddress=new.example.org\nExtra=kept\nUserID=\nPassword=\n"
        "Name=Site\nPort=21\nAnonymous=1\nInitial_Directory=\nDescription=\n");
    struct stat info {
    };
    ASSERT_EQ(::stat(QFile::encodeName(home.file(QStringLiteral("Site.wkt"))).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(LinkFile, NamesThatWouldLeaveTheFolderAreRefused)
{
    TempHome home;
    QDir(home.path()).mkdir(QStringLiteral("links"));
    const QString links = home.file(QStringLiteral("links"));
    for (const char* name : { "", ".", "..", "../escape", "a/b", "a\\b", "tab\there" }) {
        QString error;
        EXPECT_FALSE(writeLinkFile(links, name, {}, LinkFileUse::Session, &error)) << name;
        EXPECT_FALSE(error.isEmpty()) << name;
    }
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files).size(), 0);
    EXPECT_EQ(QDir(links).entryList(QDir::Files).size(), 0);
    EXPECT_TRUE(isSafeLinkName("..."));
    EXPECT_TRUE(isSafeLinkName("My Server (home)"));
}

TEST(LinkFile, OnlyRegularFilesAreReadAndMissingOnesSaySo)
{
    TempHome home;
    QString error;
    EXPECT_FALSE(readLinkFile(home.file(QStringLiteral("none.wkt")), LinkFileUse::Session, "", &error));
    EXPECT_TRUE(error.contains(QStringLiteral("no such file"))) << error.toStdString();
    const QByteArray fifo = QFile::encodeName(home.file(QStringLiteral("pipe.wkt")));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    EXPECT_FALSE(readLinkFile(home.file(QStringLiteral("pipe.wkt")), LinkFileUse::Session, "", &error));
}
} // namespace
