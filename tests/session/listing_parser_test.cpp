#include "session/FileTypeText.h"
#include "session/ListingParser.h"
#include "session/PlatformTypeText.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace
{

listingSource sourceIn(std::string directory, bool search = false)
{
    ftpSite site;
    site.name = "test site";
    site.hostAddress = "127.0.0.1";
    listingSource source;
    source.site = sharedSite(site);
    source.directory = std::move(directory);
    source.search = search;
    return source;
}

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
    { "size that is no number", "-rw-r--r-- 1 u g 12ab Jan 1 12:00 x", lineKind::File, ftpObject::RegularFile,
        "x", 0, "Jan 1 12:00", "-rw-r--r--" },
    { "negative size", "12-31-99 11:59PM -5 x", lineKind::File, ftpObject::RegularFile, "x", 0, "Dec 31 1999",
        "???????" },
    { "non-ASCII name", "-rw-r--r-- 1 u g 5 Jan 1 12:00 \xC3\xBC \xE2\x82\xAC \xE6\x97\xA5.txt",
        lineKind::File, ftpObject::RegularFile, "\xC3\xBC \xE2\x82\xAC \xE6\x97\xA5.txt", 5, "Jan 1 12:00",
        "-rw-r--r--" },
};

TEST(ListingLine, AcceptedLinesGiveTheirColumns)
{
    for (const auto& c : acceptedLines) {
        const auto parsed = parse(c.line);
        ASSERT_TRUE(parsed.kind.has_value()) << c.what;
        EXPECT_EQ(*parsed.kind, c.kind) << c.what;
        EXPECT_EQ(parsed.entry.kind, c.entryKind) << c.what;
        EXPECT_EQ(parsed.entry.name, c.name) << c.what;
        EXPECT_EQ(parsed.entry.directory, "/pub/") << c.what;
        EXPECT_EQ(parsed.entry.size, c.size) << c.what;
        EXPECT_EQ(parsed.entry.dateText, c.dateText) << c.what;
        EXPECT_EQ(parsed.entry.rights, c.rights) << c.what;
        EXPECT_EQ(parsed.entry.treeNode, nullptr) << c.what;
        EXPECT_TRUE(parsed.entry.digest.empty()) << c.what;
    }
}

const struct {
    const char* what;
    const char* line;
} rejectedLines[] = {
    { "empty", "" },
    { "three characters", "abc" },
    { "three characters of a UNIX line", "drw" },
    { "total line", "total 1234" },
    { "character device", "crw-rw-rw- 1 root root 1, 3 Jan 1 12:00 null" },
    { "block device", "brw-rw---- 1 root disk 8, 0 Jan 1 12:00 sda" },
    { "named pipe", "prw-r--r-- 1 u g 0 Jan 1 12:00 fifo" },
    { "socket", "srwxrwxrwx 1 u g 0 Jan 1 12:00 socket" },
    { "current folder", "drwxr-xr-x 2 u g 4096 Jan 1 12:00 ." },
    { "parent folder", "drwxr-xr-x 2 u g 4096 Jan 1 12:00 .." },
    { "DOS parent folder", "01-05-03 02:15PM <DIR> .." },
    { "UNIX line without a name", "drwxr-xr-x 2 u g 4096 Mar 3 12:01" },
    { "UNIX line ending after the time", "drwxr-xr-x 2 u g 4096 Mar 3 12:01 " },
    { "DOS line of two fields", "01-05-03 02:15PM" },
    { "DOS line without a name", "01-05-03 02:15PM <DIR>" },
    { "name climbing out of the folder", "-rw-r--r-- 1 u g 5 Jan 1 12:00 ../../etc/passwd" },
    { "link named with a path", "lrwxrwxrwx 1 u g 5 Jan 1 12:00 a/b -> c" },
};

TEST(ListingLine, LinesThatNameNoEntryAreRejected)
{
    for (const auto& c : rejectedLines)
        EXPECT_FALSE(parse(c.line).kind.has_value()) << c.what;
}

TEST(ListingLine, DosDatesBecomeMonthDayAndFullYear)
{
    const struct {
        const char* date;
        const char* text;
    } dates[] = {
        { "12-31-99", "Dec 31 1999" },
        { "01-05-70", "Jan 05 1970" },
        { "01-05-69", "Jan 05 2069" },
        { "01-05-00", "Jan 05 2000" },
        { "01-05-2003", "Jan 05 2003" },
        { "12-31-1999", "Dec 31 1999" },
        { "13-05-03", "05 2003" },
        { "00-05-03", "05 2003" },
        { "ab-05-xy", "05 19xy" },
    };
    for (const auto& d : dates) {
        const auto parsed = parse(std::string(d.date) + " 02:15PM 7 x.bin");
        ASSERT_TRUE(parsed.kind.has_value()) << d.date;
        EXPECT_EQ(parsed.entry.dateText, d.text) << d.date;
    }
}

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
