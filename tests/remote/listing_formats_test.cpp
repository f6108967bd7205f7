#include "listing_test_helpers.h"
#include "remote/ListingParser.h"

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <map>
#include <ostream>
#include <set>
#include <string>

namespace
{

struct readListing {
    std::map<std::string, ftpObject> entries;
    listingTally tally;
};

readListing readWhole(std::string_view listing)
{
    readListing read;
    read.tally = forEachListingEntry(listing, sourceIn("/"), [&](ftpObject&& entry, lineKind) {
        const std::string name = entry.name;
        read.entries.emplace(name, std::move(entry));
        return true;
    });
    return read;
}

std::set<std::string> namesOf(const readListing& read)
{
    std::set<std::string> names;
    for (const auto& [name, entry] : read.entries)
        names.insert(name);
    return names;
}

// Listings of systems whose forms are not read here, after the layouts their
// servers are documented to send. Each has a few columns, dates and times,
// so a lax reader would fill the folder with names the server does not have.
struct ForeignCase {
    const char* what;
    const char* listing;
};

void PrintTo(const ForeignCase& c, std::ostream* out)
{
    *out << c.what;
}

const ForeignCase foreignListings[] = {
    { "VMS",
        "AAAREADME.TXT;3       12/18   14-MAR-2003 09:12:44.57  [SYSTEM]   (RWED,RWED,RE,RE)\r\n"
        "data.dir;1             1/3     2-FEB-2002 17:01:09.10  [SYSTEM]   (RWE,RWE,RE,RE)\r\n"
        "login.com;1            2/3     2-FEB-2002 17:02:11.00  [ANON]     (RWED,RWED,,)\r\n"
        "LONG_FILE_NAME_THAT_WRAPS.DAT;1\r\n"
        "                      40/42   28-DEC-2001 23:59:59.99  [ANON]     (RWED,RWED,,)\r\n"
        "Total of 4 files, 55/66 blocks.\r\n" },
    // The empty line after the heading ends the listing, as for every server.
    { "VMS with a heading",
        "Directory DKA100:[PUBLIC]\r\n"
        "\r\n"
        "AAAREADME.TXT;3       12/18   14-MAR-2003 09:12:44.57  [SYSTEM]   (RWED,RWED,RE,RE)\r\n" },
    { "MVS data sets",
        "Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname\r\n"
        "PUB001 3390   2003/05/21  1   15  FB      80 27920  PS  PAYROLL.DATA\r\n"
        "PUB002 3390   2002/11/02  2  120  VB     255 27998  PO  SOURCE.COBOL\r\n"
        "Migrated                                                ARCHIVE.OLD\r\n" },
    { "MVS members",
        " Name     VV.MM   Created       Changed      Size  Init   Mod   Id\r\n"
        "PAYCALC   01.03 2002/04/11 2003/05/21 13:12    52    40     0 JOHN\r\n"
        "TAXRATE   01.00 2003/01/02 2003/01/02 08:30    12    12     0 MARY\r\n" },
    { "OS/2",
        "                 0           DIR   05-12-97   16:44  PSFONTS\r\n"
        "             36611      A          04-23-03   12:10  README.TXT\r\n"
        "              1024                 01-01-03   00:00  CONFIG.SYS\r\n" },
    { "AS/400",
        "QSYS           77824 02/23/00 15:09:55 *DIR       QOpenSys/\r\n"
        "QDOC          139264 07/11/02 10:44:03 *FLR       QDLS/\r\n"
        "PAYROLL        53248 03/14/03 08:00:12 *FILE      PAYROLL\r\n"
        "PAYROLL                                *MEM       PAYROLL.FILE/JAN.MBR\r\n" },
    { "NetWare",
        "total 0\r\n"
        "d [RWCEAFMS] admin                    512 Jan 16 18:53    SYS\r\n"
        "- [RWCEAFMS] admin                 214059 Oct 20 15:27    readme.txt\r\n" },
};

class ForeignListing : public ::testing::TestWithParam<ForeignCase>
{
};

TEST_P(ForeignListing, IsNotUnderstoodRatherThanShownAsAnEmptyFolder)
{
    const auto read = readWhole(GetParam().listing);
    EXPECT_TRUE(read.entries.empty()) << "first invented name: " << read.entries.begin()->first;
    EXPECT_TRUE(read.tally.notUnderstood());
}

INSTANTIATE_TEST_SUITE_P(
    ListingTally, ForeignListing, ::testing::ValuesIn(foreignListings), describedCaseName());

TEST(ListingTally, TheUserIsToldTheListingFormatIsNotUnderstood)
{
    EXPECT_EQ(listingNotUnderstoodText, "The server's listing format is not understood.");
}

TEST(ListingTally, EmptyFoldersAreNoUnreadListings)
{
    const struct {
        const char* what;
        const char* listing;
    } empty[] = {
        { "nothing at all (IIS)", "" },
        { "a total line", "total 0\r\n" },
        { "the dot folders",
            "total 8\r\n"
            "drwxr-xr-x    2 ftp      ftp          4096 Jan 01 12:00 .\r\n"
            "drwxr-xr-x    9 ftp      ftp          4096 Jan 01 12:00 ..\r\n" },
        { "the DOS parent folder", "01-05-03  02:15PM       <DIR>          ..\r\n" },
    };
    for (const auto& c : empty) {
        const auto read = readWhole(c.listing);
        EXPECT_TRUE(read.entries.empty()) << c.what;
        EXPECT_EQ(read.tally.unreadLines, 0u) << c.what;
        EXPECT_FALSE(read.tally.notUnderstood()) << c.what;
    }
}

TEST(ListingTally, OneReadableLineMakesAListingUnderstood)
{
    const auto read
        = readWhole("total 2\r\n"
                    "d [RWCEAFMS] admin                    512 Jan 16 18:53    SYS\r\n"
                    "-rw-r--r--    1 ftp      ftp             5 Jan 01 12:00 a.txt\r\n"
                    "AAAREADME.TXT;3       12/18   14-MAR-2003 09:12:44.57  [SYSTEM]   (RWED,RE)\r\n");
    EXPECT_EQ(namesOf(read), std::set<std::string> { "a.txt" });
    EXPECT_EQ(read.tally.entries, 1u);
    EXPECT_EQ(read.tally.unreadLines, 2u);
    EXPECT_FALSE(read.tally.notUnderstood());
}

TEST(ListingTally, CountsOnlyTheLinesReadBeforeTheCallerStopped)
{
    const std::string listing = "-rw-r--r-- 1 u g 5 Jan 1 12:00 a\r\n"
                                "VMS.TXT;1  1/1  14-MAR-2003 09:12:44.57\r\n"
                                "-rw-r--r-- 1 u g 5 Jan 1 12:00 b\r\n";
    const auto tally
        = forEachListingEntry(listing, sourceIn("/"), [](ftpObject&&, lineKind) { return false; });
    EXPECT_EQ(tally.entries, 1u);
    EXPECT_EQ(tally.unreadLines, 0u);
}

// GNU ls, as servers that list through it send its output, in each of its
// time styles: every name on disk comes back whole, and the date text is what
// ls wrote.
struct TimeStyleCase {
    const char* what;
    const char* style;
    const char* olderDateText; // of a file last changed on 2003-01-10 12:00 UTC
};

void PrintTo(const TimeStyleCase& c, std::ostream* out)
{
    *out << c.style;
}

const TimeStyleCase timeStyles[] = {
    { "locale", "locale", "Jan 10 2003" },
    { "long iso", "long-iso", "2003-01-10 12:00" },
    { "iso", "iso", "2003-01-10" },
    { "full iso", "full-iso", "2003-01-10 12:00:00.000000000 +0000" },
    { "year month day with slashes", "+%Y/%m/%d %H:%M", "2003/01/10 12:00" },
    { "day month year", "+%d-%m-%Y %H:%M", "10-01-2003 12:00" },
    { "day month year with dots", "+%d.%m.%Y %H:%M", "10.01.2003 12:00" },
    { "month and day", "+%m-%d %H:%M", "01-10 12:00" },
};

class folderOnDisk
{
public:
    folderOnDisk()
    {
        for (const char* name : { "plain.txt", "two  inner  spaces", "  leading spaces", "trailing spaces  ",
                 "Jan 10  2003", "2005-06-07 21:22", "9,730 bytes",
                 "\xC3\xBC"
                 "ber \xE2\x82\xAC.txt" })
            file(name);
        for (const char* name : { "older.txt", "  older leading spaces" }) {
            file(name);
            makeOlder(name);
        }
        if (::mkdir(at("sub folder").c_str(), 0755) != 0
            || ::symlink("plain.txt", at("link to plain").c_str()) != 0)
            error += "cannot make the folder or the link; ";
    }

    std::string path() const { return dir_.path().toStdString(); }
    const std::set<std::string>& names() const { return names_; }
    std::string error;

private:
    std::string at(const std::string& name)
    {
        names_.insert(name);
        return path() + "/" + name;
    }

    void file(const std::string& name)
    {
        const int fd = ::open(at(name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0 || ::write(fd, "12345", 5) != 5)
            error += "cannot write " + name + "; ";
        if (fd >= 0)
            ::close(fd);
    }

    void makeOlder(const std::string& name)
    {
        const timespec older { 1042200000, 0 }; // 2003-01-10 12:00:00 UTC
        const timespec times[2] = { older, older };
        if (::utimensat(AT_FDCWD, at(name).c_str(), times, 0) != 0)
            error += "cannot date " + name + "; ";
    }

    QTemporaryDir dir_;
    std::set<std::string> names_;
};

class GnuLsTimeStyle : public ::testing::TestWithParam<TimeStyleCase>
{
};

TEST_P(GnuLsTimeStyle, NamesComeBackAsTheyAreOnDisk)
{
    folderOnDisk folder;
    ASSERT_TRUE(folder.error.empty()) << folder.error;

    QProcess ls;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    environment.insert(QStringLiteral("TZ"), QStringLiteral("UTC0"));
    ls.setProcessEnvironment(environment);
    ls.start(QStringLiteral("ls"),
        { QStringLiteral("-la"), QStringLiteral("--quoting-style=literal"),
            QStringLiteral("--time-style=") + QString::fromUtf8(GetParam().style),
            QString::fromStdString(folder.path()) });
    ASSERT_TRUE(ls.waitForFinished(10000)) << ls.errorString().toStdString();
    ASSERT_EQ(ls.exitCode(), 0) << ls.readAllStandardError().toStdString();
    const std::string listing = ls.readAllStandardOutput().toStdString();

    const auto read = readWhole(listing);
    EXPECT_EQ(namesOf(read), folder.names()) << listing;
    EXPECT_EQ(read.tally.unreadLines, 0u) << listing;
    ASSERT_TRUE(read.entries.count("older.txt")) << listing;
    EXPECT_EQ(read.entries.at("older.txt").dateText, GetParam().olderDateText);
    EXPECT_EQ(read.entries.at("older.txt").size, 5);
    ASSERT_TRUE(read.entries.count("sub folder") && read.entries.count("link to plain")) << listing;
    EXPECT_EQ(read.entries.at("sub folder").kind, ftpObject::Folder);
    EXPECT_EQ(read.entries.at("link to plain").kind, ftpObject::UnixLink);
}

INSTANTIATE_TEST_SUITE_P(ListingFormat, GnuLsTimeStyle, ::testing::ValuesIn(timeStyles), describedCaseName());

} // namespace
