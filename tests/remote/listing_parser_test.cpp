#include "listing_test_helpers.h"
#include "remote/FileTypeText.h"
#include "remote/ListingParser.h"
#include "remote/PlatformTypeText.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace
{

struct ParsedLine {
    std::optional<lineKind> kind;
    ftpObject entry;
};

ParsedLine parse(std::string_view line, const listingSource& source = sourceIn("/pub/"))
{
    ParsedLine parsed;
    parsed.kind = parseListingLine(line, source, parsed.entry);
    return parsed;
}

struct AcceptedCase {
    const char* what;
    const char* line;
    lineKind kind;
    std::int32_t entryKind;
    const char* name;
    std::int64_t size;
    const char* dateText;
    const char* rights;
};

const AcceptedCase acceptedLines[] = {
    { "UNIX folder", "drwxr-xr-x 2 ftp ftp 4096 Mar 3 12:01 pub", lineKind::Folder, ftpObject::Folder, "pub",
        4096, "Mar 3 12:01", "drwxr-xr-x" },
    { "UNIX folder in ls columns", "drwxr-xr-x    2 ftp      ftp          4096 Mar  3 12:01 pub",
        lineKind::Folder, ftpObject::Folder, "pub", 4096, "Mar 3 12:01", "drwxr-xr-x" },
    { "no group column", "-rw-r--r-- 1 owner 12345 Jan 10 2003 file name.txt", lineKind::File,
        ftpObject::RegularFile, "file name.txt", 12345, "Jan 10 2003", "-rw-r--r--" },
    { "symbolic link", "lrwxrwxrwx 1 root root 11 Feb 2 2002 latest -> pub/release", lineKind::SymbolicLink,
        ftpObject::UnixLink, "latest", 11, "Feb 2 2002", "lrwxrwxrwx" },
    { "DOS folder", "01-05-03 02:15PM <DIR> Incoming", lineKind::Folder, ftpObject::Folder, "Incoming", 0,
        "Jan 05 2003", "???????" },
    { "DOS file", "12-31-99 11:59PM 1048576 big file.zip", lineKind::File, ftpObject::RegularFile,
        "big file.zip", 1048576, "Dec 31 1999", "???????" },
    { "IIS folder", "01-05-03  02:15PM       <DIR>          Incoming", lineKind::Folder, ftpObject::Folder,
        "Incoming", 0, "Jan 05 2003", "???????" },
    { "IIS file", "12-31-99  11:59PM              1048576 big file.zip", lineKind::File,
        ftpObject::RegularFile, "big file.zip", 1048576, "Dec 31 1999", "???????" },
    { "inner spaces stay", "-rw-r--r-- 1 u g 5 Jan 1 12:00 two  inner  gaps", lineKind::File,
        ftpObject::RegularFile, "two  inner  gaps", 5, "Jan 1 12:00", "-rw-r--r--" },
    { "trailing spaces stay", "-rw-r--r-- 1 u g 5 Jan 1 12:00 trail  ", lineKind::File,
        ftpObject::RegularFile, "trail  ", 5, "Jan 1 12:00", "-rw-r--r--" },
    { "leading spaces stay", "-rw-r--r-- 1 u g 5 Jan 1 12:00   lead", lineKind::File, ftpObject::RegularFile,
        "  lead", 5, "Jan 1 12:00", "-rw-r--r--" },
    { "leading spaces of an IIS folder stay", "01-05-03  02:15PM       <DIR>            lead",
        lineKind::Folder, ftpObject::Folder, "  lead", 0, "Jan 05 2003", "???????" },
    { "leading spaces of an IIS file stay", "01-05-03  02:15PM                    7   lead", lineKind::File,
        ftpObject::RegularFile, "  lead", 7, "Jan 05 2003", "???????" },
    { "a name that looks like a date", "-rw-r--r-- 1 u g 5 Jan 1 12:00 Feb 2  2002", lineKind::File,
        ftpObject::RegularFile, "Feb 2  2002", 5, "Jan 1 12:00", "-rw-r--r--" },
    { "a name that is a month", "-rw-r--r-- 1 u g 5 Jan 1 12:00 Mar", lineKind::File, ftpObject::RegularFile,
        "Mar", 5, "Jan 1 12:00", "-rw-r--r--" },
    { "a name of one space", "-rw-r--r-- 1 u g 5 Jan 1 12:00  ", lineKind::File, ftpObject::RegularFile, " ",
        5, "Jan 1 12:00", "-rw-r--r--" },
    { "tabs are part of a name", "-rw-r--r-- 1 u g 5 Jan 1 12:00 a\tb", lineKind::File,
        ftpObject::RegularFile, "a\tb", 5, "Jan 1 12:00", "-rw-r--r--" },
    { "a file named dot is kept", "-rw-r--r-- 1 u g 5 Jan 1 12:00 .", lineKind::File, ftpObject::RegularFile,
        ".", 5, "Jan 1 12:00", "-rw-r--r--" },
    { "link file", "-rw-r--r-- 1 u g 90 Jan 1 12:00 site.wkt", lineKind::File, ftpObject::LinkFile,
        "site.wkt", 90, "Jan 1 12:00", "-rw-r--r--" },
    { "link file extension is case-sensitive", "-rw-r--r-- 1 u g 90 Jan 1 12:00 SITE.WKT", lineKind::File,
        ftpObject::RegularFile, "SITE.WKT", 90, "Jan 1 12:00", "-rw-r--r--" },
    { "link target holding a '>'", "lrwxrwxrwx 1 u g 3 Jan 1 12:00 cur -> a>b", lineKind::SymbolicLink,
        ftpObject::UnixLink, "cur", 3, "Jan 1 12:00", "lrwxrwxrwx" },
    { "link name holding an arrow", "lrwxrwxrwx 1 u g 3 Jan 1 12:00 x -> y -> z", lineKind::SymbolicLink,
        ftpObject::UnixLink, "x -> y", 3, "Jan 1 12:00", "lrwxrwxrwx" },
    { "link shown without its target", "lrwxrwxrwx 1 u g 3 Jan 1 12:00 bare link", lineKind::SymbolicLink,
        ftpObject::UnixLink, "bare link", 3, "Jan 1 12:00", "lrwxrwxrwx" },
    { "sizes of 4 GiB and more", "-rw-r--r-- 1 u g 5368709120 Jan 1 12:00 big.iso", lineKind::File,
        ftpObject::RegularFile, "big.iso", 5368709120LL, "Jan 1 12:00", "-rw-r--r--" },
    { "DOS size above 32 bits", "12-31-99 11:59PM 3000000000 big.iso", lineKind::File, ftpObject::RegularFile,
        "big.iso", 3000000000LL, "Dec 31 1999", "???????" },
    { "largest 64-bit size", "-rw-r--r-- 1 u g 9223372036854775807 Jan 1 12:00 x", lineKind::File,
        ftpObject::RegularFile, "x", 9223372036854775807LL, "Jan 1 12:00", "-rw-r--r--" },
    { "size beyond 64 bits", "-rw-r--r-- 1 u g 9223372036854775808 Jan 1 12:00 x", lineKind::File,
        ftpObject::RegularFile, "x", 0, "Jan 1 12:00", "-rw-r--r--" },
    { "non-ASCII name", "-rw-r--r-- 1 u g 5 Jan 1 12:00 \xC3\xBC \xE2\x82\xAC \xE6\x97\xA5.txt",
        lineKind::File, ftpObject::RegularFile, "\xC3\xBC \xE2\x82\xAC \xE6\x97\xA5.txt", 5, "Jan 1 12:00",
        "-rw-r--r--" },
    { "mode with an ACL mark", "-rw-r--r--+ 1 u g 5 Jan 1 12:00 acl.txt", lineKind::File,
        ftpObject::RegularFile, "acl.txt", 5, "Jan 1 12:00", "-rw-r--r--+" },
    { "sticky folder", "drwxrwxrwt 9 root root 4096 Jan 1 12:00 tmp", lineKind::Folder, ftpObject::Folder,
        "tmp", 4096, "Jan 1 12:00", "drwxrwxrwt" },
    // Dates as servers with other time styles or locales write them.
    { "ISO date and time", "-rw-r--r-- 1 alice staff 1024 2005-06-07 21:22 report 2005.pdf", lineKind::File,
        ftpObject::RegularFile, "report 2005.pdf", 1024, "2005-06-07 21:22", "-rw-r--r--" },
    { "ISO date without a group column", "drwxr-xr-x 2 1000 4096 2005-06-07 21:22 My Docs", lineKind::Folder,
        ftpObject::Folder, "My Docs", 4096, "2005-06-07 21:22", "drwxr-xr-x" },
    { "ISO date of a link", "lrwxrwxrwx 1 u g 7 2005-06-07 21:22 current -> v2", lineKind::SymbolicLink,
        ftpObject::UnixLink, "current", 7, "2005-06-07 21:22", "lrwxrwxrwx" },
    { "date with slashes", "-rw-r--r-- 1 ftp ftp 512 1999/10/12 17:12 old notes.txt", lineKind::File,
        ftpObject::RegularFile, "old notes.txt", 512, "1999/10/12 17:12", "-rw-r--r--" },
    { "day month year", "-rw-r--r-- 1 ftp ftp 512 24-04-2003 17:12 Bericht April.doc", lineKind::File,
        ftpObject::RegularFile, "Bericht April.doc", 512, "24-04-2003 17:12", "-rw-r--r--" },
    { "day month year with dots", "-rw-r--r-- 1 ftp ftp 512 24.04.2003 17:12 Bericht.doc", lineKind::File,
        ftpObject::RegularFile, "Bericht.doc", 512, "24.04.2003 17:12", "-rw-r--r--" },
    { "recent date of the iso style", "-rw-r--r-- 1 ftp ftp 512 09-26 13:45 new file.txt", lineKind::File,
        ftpObject::RegularFile, "new file.txt", 512, "09-26 13:45", "-rw-r--r--" },
    { "older date of the iso style", "-rw-r--r-- 1 ftp ftp 512 2002-03-30  old file.txt", lineKind::File,
        ftpObject::RegularFile, "old file.txt", 512, "2002-03-30", "-rw-r--r--" },
    { "older iso date before leading spaces", "-rw-r--r-- 1 ftp ftp 512 2002-03-30    lead", lineKind::File,
        ftpObject::RegularFile, "  lead", 512, "2002-03-30", "-rw-r--r--" },
    { "full ISO time", "-rw-r--r-- 1 ftp ftp 512 2005-06-07 21:22:33.123456789 +0200 exact time.txt",
        lineKind::File, ftpObject::RegularFile, "exact time.txt", 512, "2005-06-07 21:22:33.123456789 +0200",
        "-rw-r--r--" },
    { "name that looks like an ISO date", "-rw-r--r-- 1 u g 5 2005-06-07 21:22 2005-06-07 21:22",
        lineKind::File, ftpObject::RegularFile, "2005-06-07 21:22", 5, "2005-06-07 21:22", "-rw-r--r--" },
    { "German day before month",
        "-rw-r--r-- 1 ftp ftp 512  3. M\xC3\xA4r 12:01 \xC3\x9C"
        "bersicht.txt",
        lineKind::File, ftpObject::RegularFile,
        "\xC3\x9C"
        "bersicht.txt",
        512, "3. M\xC3\xA4r 12:01", "-rw-r--r--" },
    { "French month word", "-rw-r--r-- 1 ftp ftp 512 f\xC3\xA9vr.  3  2003 budget.ods", lineKind::File,
        ftpObject::RegularFile, "budget.ods", 512, "f\xC3\xA9vr. 3 2003", "-rw-r--r--" },
    { "Japanese month", "-rw-r--r-- 1 ftp ftp 512  3\xE6\x9C\x88  3 12:01 memo.txt", lineKind::File,
        ftpObject::RegularFile, "memo.txt", 512, "3\xE6\x9C\x88 3 12:01", "-rw-r--r--" },
    { "DOS date with the year first", "2003-01-05  14:15       <DIR>          Incoming", lineKind::Folder,
        ftpObject::Folder, "Incoming", 0, "Jan 05 2003", "???????" },
    { "DOS size with thousands separators", "01-05-03  02:15PM                9,730 notes.txt",
        lineKind::File, ftpObject::RegularFile, "notes.txt", 9730, "Jan 05 2003", "???????" },
    { "DOS size beyond 4 GiB with separators", "01-05-03  02:15PM        4,294,967,296 disk.img",
        lineKind::File, ftpObject::RegularFile, "disk.img", 4294967296LL, "Jan 05 2003", "???????" },
    { "DOS time of a 24-hour clock", "01-05-2003  14:15                  512 report.txt", lineKind::File,
        ftpObject::RegularFile, "report.txt", 512, "Jan 05 2003", "???????" },
};

void PrintTo(const AcceptedCase& c, std::ostream* out)
{
    *out << c.line;
}

class AcceptedLine : public ::testing::TestWithParam<AcceptedCase>
{
};

TEST_P(AcceptedLine, GivesItsColumns)
{
    const AcceptedCase& c = GetParam();
    const auto parsed = parse(c.line);
    ASSERT_TRUE(parsed.kind.has_value());
    EXPECT_EQ(*parsed.kind, c.kind);
    EXPECT_EQ(parsed.entry.kind, c.entryKind);
    EXPECT_EQ(parsed.entry.name, c.name);
    EXPECT_EQ(parsed.entry.directory, "/pub/");
    EXPECT_EQ(parsed.entry.size, c.size);
    EXPECT_EQ(parsed.entry.dateText, c.dateText);
    EXPECT_EQ(parsed.entry.rights, c.rights);
    EXPECT_EQ(parsed.entry.treeNode, nullptr);
    EXPECT_TRUE(parsed.entry.digest.empty());
}

INSTANTIATE_TEST_SUITE_P(ListingLine, AcceptedLine, ::testing::ValuesIn(acceptedLines), describedCaseName());

enum class rejection { NamesNoEntry, NotUnderstood };

struct RejectedCase {
    const char* what;
    const char* line;
    rejection why = rejection::NamesNoEntry;
};

constexpr auto unread = rejection::NotUnderstood;

const RejectedCase rejectedLines[] = {
    { "empty", "", unread },
    { "three characters", "abc", unread },
    { "three characters of a UNIX line", "drw", unread },
    { "total line", "total 1234" },
    { "character device", "crw-rw-rw- 1 root root 1, 3 Jan 1 12:00 null" },
    { "block device", "brw-rw---- 1 root disk 8, 0 Jan 1 12:00 sda" },
    { "named pipe", "prw-r--r-- 1 u g 0 Jan 1 12:00 fifo" },
    { "socket", "srwxrwxrwx 1 u g 0 Jan 1 12:00 socket" },
    { "current folder", "drwxr-xr-x 2 u g 4096 Jan 1 12:00 ." },
    { "parent folder", "drwxr-xr-x 2 u g 4096 Jan 1 12:00 .." },
    { "DOS parent folder", "01-05-03 02:15PM <DIR> .." },
    { "name climbing out of the folder", "-rw-r--r-- 1 u g 5 Jan 1 12:00 ../../etc/passwd" },
    { "link named with a path", "lrwxrwxrwx 1 u g 5 Jan 1 12:00 a/b -> c" },
    { "UNIX line without a name", "drwxr-xr-x 2 u g 4096 Mar 3 12:01", unread },
    { "UNIX line ending after the time", "drwxr-xr-x 2 u g 4096 Mar 3 12:01 ", unread },
    { "DOS line of two fields", "01-05-03 02:15PM", unread },
    { "DOS line without a name", "01-05-03 02:15PM <DIR>", unread },
    // Columns that are not where they seem: reading on would invent a name.
    { "UNIX size that is no number", "-rw-r--r-- 1 u g 12ab Jan 1 12:00 x", unread },
    { "human-readable size", "-rw-r--r-- 1 u g 1.2K Jan 1 12:00 x", unread },
    { "extra number after the size", "-rw-r--r-- 1 u g 5 7 Jan 1 12:00 x", unread },
    { "extra word before the size", "-rw-r--r-- 1 u g staff 5 Jan 1 12:00 x", unread },
    { "mode of another system", "d [RWCEAFMS] admin 512 Jan 16 18:53 SYS", unread },
    { "mode too short", "-rw-r-- 1 u g 5 Jan 1 12:00 x", unread },
    { "English date without time or year", "-rw-r--r-- 1 u g 5 Jan 1 noon x", unread },
    { "date of words only", "-rw-r--r-- 1 u g 5 last week Friday x", unread },
    { "ISO date with an unknown time", "-rw-r--r-- 1 u g 5 2005-06-07 9pm x", unread },
    { "ISO date with month 13", "-rw-r--r-- 1 u g 5 2005-13-07 21:22 x", unread },
    { "older iso date with one space", "-rw-r--r-- 1 u g 5 2002-03-30 x", unread },
    { "month and day without a time", "-rw-r--r-- 1 u g 5 09-26 x y", unread },
    { "DOS month 13", "13-05-03 02:15PM 7 x.bin", unread },
    { "DOS month 00", "00-05-03 02:15PM 7 x.bin", unread },
    { "DOS day 32", "01-32-03 02:15PM 7 x.bin", unread },
    { "DOS date of letters", "ab-05-xy 02:15PM 7 x.bin", unread },
    { "DOS date with slashes", "01/05/03 02:15PM 7 x.bin", unread },
    { "DOS time with seconds", "01-05-03 10:30:13.64 7 x.bin", unread },
    { "DOS hour 24", "01-05-03 24:00 7 x.bin", unread },
    { "DOS hour 13 PM", "01-05-03 13:15PM 7 x.bin", unread },
    { "DOS half day apart", "01-05-03 02:15 PM 7 x.bin", unread },
    { "negative DOS size", "12-31-99 11:59PM -5 x", unread },
    { "DOS size with a short group", "01-05-03 02:15PM 9,73 x.bin", unread },
    { "DOS size with a long group", "01-05-03 02:15PM 1,2345 x.bin", unread },
    { "DOS size with a long first group", "01-05-03 02:15PM 1234,567 x.bin", unread },
    { "DOS size with a leading separator", "01-05-03 02:15PM ,730 x.bin", unread },
    { "DOS junction", "01-05-03 02:15PM <JUNCTION> x", unread },
};

void PrintTo(const RejectedCase& c, std::ostream* out)
{
    *out << c.line;
}

class RejectedLine : public ::testing::TestWithParam<RejectedCase>
{
};

TEST_P(RejectedLine, GivesNoEntry)
{
    listingTally tally;
    ftpObject entry;
    EXPECT_FALSE(parseListingLine(GetParam().line, sourceIn("/pub/"), entry, tally).has_value());
    EXPECT_EQ(tally.entries, 0u);
    EXPECT_EQ(tally.unreadLines, GetParam().why == rejection::NotUnderstood ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(ListingLine, RejectedLine, ::testing::ValuesIn(rejectedLines), describedCaseName());

struct DosDateCase {
    const char* what; // the date column
    const char* text;
};

class DosDate : public ::testing::TestWithParam<DosDateCase>
{
};

TEST_P(DosDate, BecomesMonthDayAndFullYear)
{
    const auto parsed = parse(std::string(GetParam().what) + " 02:15PM 7 x.bin");
    ASSERT_TRUE(parsed.kind.has_value());
    EXPECT_EQ(parsed.entry.dateText, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(ListingLine, DosDate,
    ::testing::Values(DosDateCase { "12-31-99", "Dec 31 1999" }, DosDateCase { "01-05-70", "Jan 05 1970" },
        DosDateCase { "01-05-69", "Jan 05 2069" }, DosDateCase { "01-05-00", "Jan 05 2000" },
        DosDateCase { "01-05-2003", "Jan 05 2003" }, DosDateCase { "12-31-1999", "Dec 31 1999" },
        DosDateCase { "2003-01-05", "Jan 05 2003" }, DosDateCase { "1999-12-31", "Dec 31 1999" }),
    describedCaseName());

TEST(ListingLine, SearchResultsTakeNameAndFolderFromThePath)
{
    const struct {
        const char* what;
        const char* line;
        const char* name;
        const char* directory;
    } cases[] = {
        { "file", "-rw-r--r-- 1 u g 5 Jan 1 12:00 /pub/docs/a.txt", "a.txt", "/pub/docs/" },
        { "folder ending in a slash", "drwxr-xr-x 2 u g 4096 Jan 1 12:00 /pub/docs/", "docs", "/pub/" },
        { "path with spaces", "-rw-r--r-- 1 u g 5 Jan 1 12:00 /my docs/a b.txt", "a b.txt", "/my docs/" },
        { "entry at the root", "-rw-r--r-- 1 u g 5 Jan 1 12:00 /a.txt", "a.txt", "/" },
        { "link", "lrwxrwxrwx 1 u g 5 Jan 1 12:00 /pub/latest -> /pub/v2", "latest", "/pub/" },
        { "DOS folder", "01-05-03 02:15PM <DIR> /pub/Incoming/", "Incoming", "/pub/" },
        { "path without a folder", "-rw-r--r-- 1 u g 5 Jan 1 12:00 a.txt", "a.txt", "/<ZeltaSearchResults>" },
    };
    const auto source = sourceIn("/<ZeltaSearchResults>", true);
    for (const auto& c : cases) {
        const auto parsed = parse(c.line, source);
        ASSERT_TRUE(parsed.kind.has_value()) << c.what;
        EXPECT_EQ(parsed.entry.name, c.name) << c.what;
        EXPECT_EQ(parsed.entry.directory, c.directory) << c.what;
    }
    EXPECT_FALSE(parse("drwxr-xr-x 2 u g 4096 Jan 1 12:00 /pub/..", source).kind.has_value());
    EXPECT_FALSE(parse("drwxr-xr-x 2 u g 4096 Jan 1 12:00 /", source).kind.has_value());
}

TEST(ListingLine, TypeTextsFollowTheKindOfEntry)
{
    EXPECT_EQ(parse("drwxr-xr-x 2 u g 4096 Jan 1 12:00 docs").entry.typeText, "File Folder");
    EXPECT_EQ(parse("01-05-03 02:15PM <DIR> docs").entry.typeText, "File Folder");
    EXPECT_EQ(parse("lrwxrwxrwx 1 u g 5 Jan 1 12:00 l.txt -> a.txt").entry.typeText, "UNIX Link");
    EXPECT_EQ(parse("-rw-r--r-- 1 u g 5 Jan 1 12:00 site.wkt").entry.typeText, "Zelta Link");
    EXPECT_EQ(
        parse("-rw-r--r-- 1 u g 5 Jan 1 12:00 notes.txt").entry.typeText, platformTypeText("notes.txt"));
    EXPECT_EQ(parse("-rw-r--r-- 1 u g 5 Jan 1 12:00 data.zzqx").entry.typeText, "Unknown Type");
}

// A worker never shows type texts: its files get none, and the rest of the
// entry is read as ever.
TEST(ListingLine, WithoutFileTypeTextsAFileIsStillReadWhole)
{
    auto source = sourceIn("/pub/");
    source.fileTypeTexts = false;
    const auto file = parse("-rw-r--r-- 1 u g 5 Jan 1 12:00 notes.txt", source);
    ASSERT_EQ(file.kind, lineKind::File);
    EXPECT_EQ(file.entry.kind, ftpObject::RegularFile);
    EXPECT_EQ(file.entry.typeText, "");
    EXPECT_EQ(file.entry.name, "notes.txt");
    EXPECT_EQ(file.entry.size, 5);
    EXPECT_EQ(parse("drwxr-xr-x 2 u g 4096 Jan 1 12:00 docs", source).entry.typeText, "File Folder");
}

TEST(ListingLine, FileTypesAreReusedFromTheSessionsList)
{
    auto source = sourceIn("/pub/");
    typeTextIndex listed;
    ftpObject earlier;
    earlier.name = "first.txt";
    earlier.typeText = "Text seen before";
    listed.add(earlier);
    source.listed = &listed;

    EXPECT_EQ(parse("-rw-r--r-- 1 u g 5 Jan 1 12:00 second.txt", source).entry.typeText, "Text seen before");
    // The entry itself is no source of its own type.
    EXPECT_EQ(parse("-rw-r--r-- 1 u g 5 Jan 1 12:00 first.txt", source).entry.typeText,
        platformTypeText("first.txt"));
    EXPECT_EQ(parse("-rw-r--r-- 1 u g 5 Jan 1 12:00 other.TXT", source).entry.typeText,
        platformTypeText("other.TXT"));
}

TEST(ListingLine, EntriesShareTheSiteProfileUntilOneChangesIt)
{
    const auto source = sourceIn("/pub/");
    auto first = parse("-rw-r--r-- 1 u g 5 Jan 1 12:00 a");
    auto second = parse("-rw-r--r-- 1 u g 5 Jan 1 12:00 b");
    first.entry.site = source.site;
    second.entry.site = source.site;
    EXPECT_TRUE(first.entry.site.sharesWith(source.site));
    EXPECT_TRUE(second.entry.site.sharesWith(first.entry.site));
    EXPECT_EQ(first.entry.site->name, "test site");

    first.entry.site.edit().name = "renamed";
    EXPECT_FALSE(first.entry.site.sharesWith(source.site));
    EXPECT_EQ(first.entry.site->name, "renamed");
    EXPECT_EQ(second.entry.site->name, "test site");
    EXPECT_EQ(source.site->name, "test site");
}

TEST(ListingLine, ParsedEntriesCarryTheCallersSite)
{
    const auto source = sourceIn("/pub/");
    ftpObject entry;
    ASSERT_TRUE(parseListingLine("-rw-r--r-- 1 u g 5 Jan 1 12:00 a", source, entry));
    EXPECT_TRUE(entry.site.sharesWith(source.site));
    EXPECT_EQ(entry.site->hostAddress, "127.0.0.1");
}

TEST(ListingLine, ANewEntryIsAnEmptyRegularFile)
{
    const ftpObject entry;
    EXPECT_EQ(entry.kind, ftpObject::RegularFile);
    EXPECT_EQ(entry.size, 0);
    EXPECT_EQ(entry.treeNode, nullptr);
    EXPECT_TRUE(entry.name.empty() && entry.directory.empty() && entry.typeText.empty()
        && entry.dateText.empty() && entry.rights.empty() && entry.digest.empty());
    EXPECT_EQ(entry.site->port, 21u);
}

std::vector<std::string> linesOf(std::string_view listing)
{
    std::vector<std::string> lines;
    std::size_t position = 0;
    for (auto line = readListingLine(listing, position); !line.empty();
         line = readListingLine(listing, position))
        lines.emplace_back(line);
    return lines;
}

TEST(ListingReader, AnyPairOfLineEndBytesEndsOneLine)
{
    const struct {
        const char* what;
        std::string listing;
        std::vector<std::string> lines;
    } cases[] = {
        { "CR LF", "one\r\ntwo\r\n", { "one", "two" } },
        { "LF", "one\ntwo\n", { "one", "two" } },
        { "CR", "one\rtwo\r", { "one", "two" } },
        { "LF CR", "one\n\rtwo", { "one", "two" } },
        { "CR CR", "one\r\rtwo", { "one", "two" } },
        { "LF LF", "one\n\ntwo", { "one", "two" } },
        { "NUL", std::string("one\0two", 7), { "one", "two" } },
        { "NUL LF", std::string("one\0\ntwo", 8), { "one", "two" } },
        { "last line without an end", "one\r\ntwo", { "one", "two" } },
        { "empty line ends the listing", "one\r\n\r\ntwo\r\n", { "one" } },
        { "three line ends make an empty line", "one\n\n\ntwo", { "one" } },
        { "listing starting with an empty line", "\r\n\r\none", {} },
        { "nothing", "", {} },
        { "trailing spaces stay", "a  \r\nb \n", { "a  ", "b " } },
    };
    for (const auto& c : cases)
        EXPECT_EQ(linesOf(c.listing), c.lines) << c.what;
}

TEST(ListingReader, PositionMovesPastTheLineEnd)
{
    const std::string_view listing = "ab\r\ncd";
    std::size_t position = 0;
    EXPECT_EQ(readListingLine(listing, position), "ab");
    EXPECT_EQ(position, 4u);
    EXPECT_EQ(readListingLine(listing, position), "cd");
    EXPECT_EQ(position, 6u);
    EXPECT_EQ(readListingLine(listing, position), "");
    EXPECT_EQ(position, 6u);
    std::size_t beyond = 99;
    EXPECT_EQ(readListingLine(listing, beyond), "");
    EXPECT_EQ(beyond, listing.size());
}

TEST(ListingReader, LongLinesComeBackWhole)
{
    const std::string name(5000, 'n');
    const std::string listing = "-rw-r--r-- 1 u g 5 Jan 1 12:00 " + name + "\r\n";
    std::vector<ftpObject> entries;
    forEachListingEntry(listing, sourceIn("/"), [&](ftpObject&& entry, lineKind) {
        entries.push_back(std::move(entry));
        return true;
    });
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries.front().name, name);
}

TEST(ListingReader, WholeListingsSkipRejectedLinesAndStopWhenAsked)
{
    const std::string listing = "total 3\r\n"
                                "drwxr-xr-x 2 u g 4096 Jan 1 12:00 .\r\n"
                                "drwxr-xr-x 2 u g 4096 Jan 1 12:00 docs\r\n"
                                "crw-rw-rw- 1 u g 1, 3 Jan 1 12:00 null\r\n"
                                "-rw-r--r-- 1 u g 5 Jan 1 12:00 a.txt\r\n"
                                "lrwxrwxrwx 1 u g 5 Jan 1 12:00 l -> a.txt\r\n";
    std::vector<std::pair<std::string, lineKind>> seen;
    forEachListingEntry(listing, sourceIn("/"), [&](ftpObject&& entry, lineKind kind) {
        seen.emplace_back(entry.name, kind);
        return true;
    });
    const std::vector<std::pair<std::string, lineKind>> expected
        = { { "docs", lineKind::Folder }, { "a.txt", lineKind::File }, { "l", lineKind::SymbolicLink } };
    EXPECT_EQ(seen, expected);

    int accepted = 0;
    forEachListingEntry(listing, sourceIn("/"), [&](ftpObject&&, lineKind) { return ++accepted < 2; });
    EXPECT_EQ(accepted, 2);
}

TEST(Extension, IsTheTextFromTheLastDot)
{
    const struct {
        const char* name;
        const char* extension;
    } cases[] = {
        { "a.txt", ".txt" },
        { "archive.tar.gz", ".gz" },
        { "Makefile", "" },
        { ".bashrc", ".bashrc" },
        { "ends.", "." },
        { "", "" },
        { "a.b c", ".b c" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(extensionOf(c.name), c.extension) << c.name;
}

} // namespace
