#include "p2p/ResultLine.h"
#include "remote/FileTypeText.h"

#include <gtest/gtest.h>

namespace
{

p2pNetwork testNetwork()
{
    p2pNetwork network;
    network.name = "Quorvane P2P Network";
    network.baseUrl = "http://index.example/p2p/v6";
    network.userName = "me";
    network.password = "pw";
    network.indexUrl = "http://index.example/p2p";
    return network;
}

struct LineCase {
    const char* name;
    std::string line;
    bool isResult;
};

class ResultLineTest : public testing::TestWithParam<LineCase>
{
};

TEST_P(ResultLineTest, NeedsExactlyElevenStarsAndLength)
{
    EXPECT_EQ(isResultLine(GetParam().line), GetParam().isResult);
}

INSTANTIATE_TEST_SUITE_P(Lines, ResultLineTest,
    testing::Values(LineCase { "complete",
                        "alice*192.0.2.1*2121*3*1*DE*-*20240315120000*1024*/pub/*a.mp3*0123ABCD", true },
        LineCase { "emptyDigest", "alice*192.0.2.1*2121*3*1*DE*-*20240315*1024*/pub/*a.mp3*", true },
        LineCase { "tenStars", "alice*192.0.2.1*2121*3*1*DE*-*20240315*1024*/pub/a.mp3", false },
        LineCase { "twelveStars", "alice*192.0.2.1*2121*3*1*DE*-*20240315*1024*/pub/*a*.mp3*", false },
        LineCase { "twelveCharacters", "***********a", false },
        LineCase { "thirteenCharacters", "***********ab", true },
        LineCase { "serverMessage", "Index server is being updated, please retry", false }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ResultLineConversion, PersistentServerFile)
{
    const ftpObject entry = resultLineToObject("alice*192.0.2.1*2121*3*1*DE*-*20240315120000*5000000000*/pub/"
                                               "music/*a b.mp3*0123456789ABCDEF0123456789ABCDEF",
        testNetwork(), "guest@example.org");
    const ftpSite& site = *entry.site;
    EXPECT_EQ(site.name, "192.0.2.1");
    EXPECT_EQ(site.displayAddress, "192.0.2.1");
    EXPECT_EQ(site.hostAddress, "192.0.2.1");
    EXPECT_EQ(site.p2pUserName, "alice");
    EXPECT_TRUE(site.persistent);
    EXPECT_EQ(site.port, 2121u);
    EXPECT_EQ(site.connectionSpeed, 3);
    EXPECT_EQ(site.country, "DE");
    EXPECT_TRUE(site.anonymous);
    EXPECT_EQ(site.userId, "anonymous");
    EXPECT_EQ(site.password, "guest@example.org");
    EXPECT_TRUE(site.supportsMd5);
    EXPECT_EQ(site.pingMs, 4096);
    EXPECT_EQ(site.network.name, "Quorvane P2P Network");
    EXPECT_EQ(site.network.indexUrl, "http://index.example/p2p");
    EXPECT_EQ(entry.name, "a b.mp3");
    EXPECT_EQ(entry.directory, "/pub/music/");
    EXPECT_EQ(entry.size, 5000000000);
    EXPECT_EQ(entry.dateText, "Mar 15 2024");
    EXPECT_EQ(entry.rights, "-rwxr--r--");
    EXPECT_EQ(entry.kind, ftpObject::RegularFile);
    EXPECT_EQ(entry.typeText, fileTypeText("a b.mp3", nullptr));
    EXPECT_EQ(entry.digest, "0123456789ABCDEF0123456789ABCDEF");
}

TEST(ResultLineConversion, ServerReachedThroughItsUserName)
{
    const ftpObject entry
        = resultLineToObject("bob*198.51.100.4*21*0*0*UN*d*20231201*0*/*music*", testNetwork(), "x@y");
    const ftpSite& site = *entry.site;
    EXPECT_FALSE(site.persistent);
    EXPECT_EQ(site.name, "<bob>");
    EXPECT_EQ(site.displayAddress, "bob");
    EXPECT_EQ(site.p2pUserName, "bob");
    EXPECT_EQ(site.hostAddress, "198.51.100.4");
    EXPECT_EQ(site.shownAddress(), "<bob>");
    EXPECT_EQ(entry.kind, ftpObject::Folder);
    EXPECT_EQ(entry.typeText, "File Folder");
    EXPECT_EQ(entry.rights, "drwxr--r--");
    EXPECT_EQ(entry.dateText, "Dec 1 2023");
    EXPECT_TRUE(entry.digest.empty());
}

struct DigestCase {
    const char* name;
    const char* field;
    const char* digest;
};

class ResultLineDigest : public testing::TestWithParam<DigestCase>
{
};

TEST_P(ResultLineDigest, IsKeptOnlyWhenItIsADigest)
{
    const std::string line
        = std::string("alice*192.0.2.1*21*0*1*DE*-*20240315*5*/*a.txt*") + GetParam().field;
    ASSERT_TRUE(isResultLine(line));
    EXPECT_EQ(resultLineToObject(line, testNetwork(), "").digest, GetParam().digest);
}

INSTANTIATE_TEST_SUITE_P(Fields, ResultLineDigest,
    testing::Values(
        DigestCase { "upperCase", "0123456789ABCDEF0123456789ABCDEF", "0123456789ABCDEF0123456789ABCDEF" },
        DigestCase { "lowerCase", "0123456789abcdef0123456789abcdef", "0123456789abcdef0123456789abcdef" },
        DigestCase { "empty", "", "" }, DigestCase { "tooShort", "0123ABCD", "" },
        DigestCase { "notHexadecimal", "0123456789ABCDEF0123456789ABCDEG", "" },
        DigestCase { "formField", "&loginusername=mallory&x=0123456789", "" },
        DigestCase { "trailingCarriageReturn", "0123456789ABCDEF0123456789ABCDEF\r", "" }),
    [](const auto& info) { return std::string(info.param.name); });

struct KindCase {
    const char* name;
    const char* kindField;
    const char* fileName;
    std::int32_t kind;
    const char* typeText; // "" : the platform's text for the name
};

class ResultLineKinds : public testing::TestWithParam<KindCase>
{
};

TEST_P(ResultLineKinds, ComeFromTheKindFieldAndExtension)
{
    const KindCase& c = GetParam();
    const std::string line
        = std::string("u*h*21*0*1*UN*") + c.kindField + "*20240101*10*/*" + c.fileName + "*";
    const ftpObject entry = resultLineToObject(line, testNetwork(), "");
    EXPECT_EQ(entry.kind, c.kind);
    EXPECT_EQ(entry.typeText, *c.typeText ? std::string(c.typeText) : fileTypeText(c.fileName, nullptr));
}

INSTANTIATE_TEST_SUITE_P(Kinds, ResultLineKinds,
    testing::Values(KindCase { "folder", "d", "music", ftpObject::Folder, "File Folder" },
        KindCase { "linkFile", "-", "site.wkt", ftpObject::LinkFile, "Zelta Link" },
        KindCase { "linkFileExtensionIsCaseSensitive", "-", "site.WKT", ftpObject::RegularFile, "" },
        KindCase { "regularFile", "-", "notes.txt", ftpObject::RegularFile, "" },
        KindCase { "unixLink", "l", "current", ftpObject::UnixLink, "UNIX Link" },
        KindCase { "emptyKind", "", "x", ftpObject::UnixLink, "UNIX Link" }),
    [](const auto& info) { return std::string(info.param.name); });

struct NumberCase {
    const char* name;
    const char* port;
    const char* speed;
    const char* date;
    const char* size;
    std::uint32_t expectedPort;
    int expectedSpeed;
    const char* expectedDate;
    std::int64_t expectedSize;
};

class ResultLineNumbers : public testing::TestWithParam<NumberCase>
{
};

TEST_P(ResultLineNumbers, FallBackToTheirDefaults)
{
    const NumberCase& c = GetParam();
    const std::string line
        = std::string("u*h*") + c.port + '*' + c.speed + "*1*UN*-*" + c.date + '*' + c.size + "*/*f.bin*";
    const ftpObject entry = resultLineToObject(line, testNetwork(), "");
    EXPECT_EQ(entry.site->port, c.expectedPort);
    EXPECT_EQ(entry.site->connectionSpeed, c.expectedSpeed);
    EXPECT_EQ(entry.dateText, c.expectedDate);
    EXPECT_EQ(entry.size, c.expectedSize);
}

INSTANTIATE_TEST_SUITE_P(Numbers, ResultLineNumbers,
    testing::Values(NumberCase { "allGood", "2121", "8", "20240229", "77", 2121, 8, "Feb 29 2024", 77 },
        NumberCase { "notNumbers", "ftp", "fast", "soon", "big", 21, 0, "Jan 1 1970", 0 },
        NumberCase { "outOfRange", "70000", "9", "20241332", "-5", 21, 0, "32 2024", 0 },
        NumberCase { "shortDate", "21", "0", "2024", "0", 21, 0, "Jan 1 2024", 0 },
        NumberCase { "monthZero", "21", "0", "20240007", "0", 21, 0, "7 2024", 0 },
        NumberCase { "emptyFields", "", "", "", "", 21, 0, "Jan 1 1970", 0 }),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
