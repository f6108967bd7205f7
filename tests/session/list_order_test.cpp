// The remote list's order for each sort key, the shared header-click
// direction, and the rules of the properties dialog.

#include "remote/ListOrder.h"
#include "session/Permissions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>

namespace
{

struct dateCase {
    const char* name;
    const char* earlier;
    const char* later;
};

void PrintTo(const dateCase& row, std::ostream* out)
{
    *out << row.name;
}

class DateOrder : public testing::TestWithParam<dateCase>
{
};

TEST_P(DateOrder, EarlierDateComesFirst)
{
    const auto earlier = listOrder::readDate(GetParam().earlier);
    const auto later = listOrder::readDate(GetParam().later);
    EXPECT_LT(listOrder::compareDates(earlier, later), 0);
    EXPECT_GT(listOrder::compareDates(later, earlier), 0);
}

INSTANTIATE_TEST_SUITE_P(Dates, DateOrder,
    testing::Values(dateCase { "YearsBeforeMonths", "Dec 31  2002", "Jan  1  2003" },
        dateCase { "MonthWithinYear", "Feb 10  2003", "Mar  1  2003" },
        dateCase { "DayWithinMonth", "Mar  1  2003", "Mar 14  2003" },
        dateCase { "TimeFormLaterThanAnyYear", "Jan  1  2099", "Jan  1 00:01" },
        dateCase { "HoursThenMinutes", "Mar 14 09:59", "Mar 14 10:01" },
        dateCase { "MinutesWithinHour", "Mar 14 10:01", "Mar 14 10:22" },
        dateCase { "DecIsTheCatchAllAfterNov", "Nov 30  2003", "Dec  1  2003" },
        dateCase { "UnknownMonthWordCountsAsDec", "Nov 30  2003", "Xyz  1  2003" },
        dateCase { "ShortTextReadsAsJan2002", "abc", "Jan  2  2002" },
        dateCase { "DayThatIsNoNumberIsOne", "Mar xx 2003", "Mar  2  2003" }),
    [](const testing::TestParamInfo<dateCase>& info) { return std::string(info.param.name); });

TEST(DateOrder, SameDateComparesEqual)
{
    EXPECT_EQ(
        listOrder::compareDates(listOrder::readDate("Mar 14 10:22"), listOrder::readDate("Mar 14 10:22")), 0);
    EXPECT_EQ(listOrder::compareDates(listOrder::readDate("ab"), listOrder::readDate("Jan 1 2002")), 0);
}

// Entries kept alive for the prepared rows that point at them.
class EntryOrder : public testing::Test
{
protected:
    const ftpObject& entry(const std::string& name, std::int32_t kind, const std::string& type,
        std::int64_t size = 0, const std::string& date = "Jan  1  2003",
        const std::string& rights = "-rw-r--r--")
    {
        ftpObject made;
        made.name = name;
        made.kind = kind;
        made.typeText = type;
        made.size = size;
        made.dateText = date;
        made.rights = rights;
        return held.emplace_back(std::move(made));
    }

    // `ranked`: on the ranks of the texts the key reads, as a list sorts
    // again once its rows are known.
    std::vector<std::string> sorted(int key, bool ranked = false) const
    {
        std::vector<listOrder::sortable> rows;
        for (const ftpObject& made : held)
            rows.push_back(listOrder::prepare(made));
        if (ranked)
            listOrder::rank(rows, listOrder::textsOf(key));
        std::stable_sort(rows.begin(), rows.end(), [key, ranked](const auto& a, const auto& b) {
            return (ranked ? listOrder::compareRanked(a, b, key) : listOrder::compare(a, b, key)) < 0;
        });
        std::vector<std::string> names;
        for (const auto& row : rows)
            names.push_back(row.entry->name);
        return names;
    }

    std::deque<ftpObject> held;
};

TEST_F(EntryOrder, StartKeyShowsFoldersFirstAndInterleavesBothKindsOfLinks)
{
    entry("zeta.txt", ftpObject::RegularFile, "Plain text document");
    entry("b-link", ftpObject::UnixLink, "UNIX Link");
    entry("docs", ftpObject::Folder, "File Folder");
    entry("c-site.wkt", ftpObject::LinkFile, "Zelta Link");
    entry("a-site.wkt", ftpObject::LinkFile, "Zelta Link");
    entry("alpha.png", ftpObject::RegularFile, "PNG image");
    entry("Archive", ftpObject::Folder, "File Folder");
    // Link files and UNIX links fall into one run ordered by name; regular
    // files follow by type text, then name.
    EXPECT_EQ(sorted(listOrder::initialKey),
        (std::vector<std::string> {
            "Archive", "docs", "a-site.wkt", "b-link", "c-site.wkt", "zeta.txt", "alpha.png" }));
    EXPECT_EQ(sorted(listOrder::typeKey).front(), "alpha.png");
}

TEST_F(EntryOrder, NameIgnoresCaseAndSizeDateRightsFollowTheirColumns)
{
    entry("beta", ftpObject::RegularFile, "t", 30, "Mar 14 10:22", "-rw-r--r--");
    entry("Alpha", ftpObject::Folder, "File Folder", 0, "Mar 14  2001", "drwxr-xr-x");
    entry("gamma", ftpObject::UnixLink, "UNIX Link", 5, "Feb  1 08:00", "lrwxrwxrwx");
    entry("delta", ftpObject::RegularFile, "t", 7, "Mar 14  2003", "?????????");
    entry("Beta2", ftpObject::RegularFile, "t", 1, "Jan  1  2002", "-rw-------");
    using names = std::vector<std::string>;
    EXPECT_EQ(sorted(-listOrder::nameKey), (names { "Alpha", "beta", "Beta2", "delta", "gamma" }));
    EXPECT_EQ(sorted(listOrder::nameKey), (names { "gamma", "delta", "Beta2", "beta", "Alpha" }));
    EXPECT_EQ(sorted(-listOrder::sizeKey), (names { "Alpha", "Beta2", "gamma", "delta", "beta" }));
    EXPECT_EQ(sorted(-listOrder::dateKey), (names { "Alpha", "Beta2", "delta", "gamma", "beta" }));
    // Unknown rights first, then "-", "l", "d"; a tie by the caption, case-sensitively.
    EXPECT_EQ(sorted(-listOrder::rightsKey), (names { "delta", "Beta2", "beta", "gamma", "Alpha" }));
}

TEST_F(EntryOrder, RankedSortsGiveTheOrderOfTheTextsForEveryKey)
{
    // Equal names in other cases, equal types, links of both kinds and
    // unknown rights: the ties and the interleaving must come out the same.
    entry("Same", ftpObject::RegularFile, "Plain text", 3, "Mar 14 10:22", "-rw-r--r--");
    entry("same", ftpObject::RegularFile, "plain TEXT", 3, "Mar 14 10:22", "-rw-r--r--");
    entry("b-link", ftpObject::UnixLink, "UNIX Link", 1, "Jan  1  2003", "lrwxrwxrwx");
    entry("a-site.wkt", ftpObject::LinkFile, "Zelta Link", 9, "Feb  2 11:00", "-rw-------");
    entry("docs", ftpObject::Folder, "File Folder", 0, "Jan  1  2003", "drwxr-xr-x");
    entry("Docs", ftpObject::Folder, "File Folder", 0, "Dec 31  1999", "drwx------");
    entry("zip.zip", ftpObject::RegularFile, "ZIP archive", 700, "Jun  5  2010", "?????????");
    entry("\xc3\xa9t\xc3\xa9.txt", ftpObject::RegularFile, "Plain text", 2, "bad", "");
    for (const int column : { listOrder::nameKey, listOrder::sizeKey, listOrder::dateKey, listOrder::typeKey,
             listOrder::rightsKey }) {
        for (const int key : { column, -column })
            EXPECT_EQ(sorted(key, true), sorted(key)) << "key " << key;
    }
}

TEST(HeaderClicks, FirstClickAnywhereSortsUpThenEveryNextClickFlips)
{
    listOrder::resetHeaderClicks();
    EXPECT_EQ(listOrder::keyForHeaderClick(listOrder::dateKey), listOrder::dateKey);
    EXPECT_EQ(listOrder::keyForHeaderClick(listOrder::nameKey), -listOrder::nameKey);
    EXPECT_EQ(listOrder::keyForHeaderClick(listOrder::nameKey), listOrder::nameKey);
    listOrder::resetHeaderClicks();
}

// ---------------------------------------------------------------- properties

TEST(Permissions, BoxesOfOwnerAllAndGroupAndOthersReadExecuteGive755)
{
    EXPECT_EQ(permissions::modeFromBoxes({ true, true, true, true, false, true, true, false, true }), 755);
    EXPECT_EQ(permissions::chmodCommand(755, "my file.txt"), "SITE CHMOD 755 my file.txt");
}

TEST(Permissions, ManualTextFallsBackTo711AndRefusesDigitsAbove7)
{
    EXPECT_EQ(permissions::modeFromText(QString()), 711);
    EXPECT_EQ(permissions::modeFromText(QStringLiteral("x1")), 711);
    EXPECT_EQ(permissions::modeFromText(QStringLiteral("-5")), 711);
    EXPECT_EQ(permissions::modeFromText(QStringLiteral("640")), 640);
    EXPECT_EQ(permissions::modeFromText(QStringLiteral("789")), std::nullopt);
    EXPECT_EQ(permissions::modeFromText(QStringLiteral("77777")), std::nullopt);
}

// The extra question comes only where the owner loses reading or writing it
// has now, or, on a folder (or a link, which may lead to one), entering.
TEST(Permissions, TheOwnerIsAskedAboutOnlyWhenAModeTakesARightItHolds)
{
    const struct {
        const char* what;
        int mode;
        const char* rights;
        bool folderLike;
        bool asks;
    } cases[] = {
        { "644 on a file", 644, "-rw-r--r--", false, false },
        { "600 on a file", 600, "-rw-r--r--", false, false },
        { "755 on a file", 755, "-rw-r--r--", false, false },
        { "444 on a writable file", 444, "-rw-r--r--", false, true },
        { "244 on a readable file", 244, "-rw-r--r--", false, true },
        { "444 on a file already read-only", 444, "-r--r--r--", false, false },
        { "077 on a file", 77, "-rw-r--r--", false, true },
        { "1644 on a file reads the owner digit", 1644, "-rw-r--r--", false, false },
        { "755 on a folder", 755, "drwxr-xr-x", true, false },
        { "711 on a folder", 711, "drwxr-xr-x", true, false },
        { "644 on a folder", 644, "drwxr-xr-x", true, true },
        { "644 on a folder the owner cannot enter", 644, "drw-r--r--", true, false },
        { "644 on a link", 644, "lrwxrwxrwx", true, true },
        { "755 on a link", 755, "lrwxrwxrwx", true, false },
        { "444 without rights text", 444, "", false, true },
        { "644 without rights text", 644, "", false, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(permissions::locksOwnerOut(c.mode, { "/pub/x", c.rights, c.folderLike }), c.asks);
    }
}

TEST(Permissions, AChangeNamesTheEntryByItsWholePath)
{
    ftpObject file;
    file.name = "same.txt";
    file.directory = "/pub/one";
    file.rights = "-rw-r--r--";
    const permissions::chmodTarget target = permissions::targetOf(file);
    EXPECT_EQ(target.path, "/pub/one/same.txt");
    EXPECT_FALSE(target.folderLike);
    EXPECT_EQ(permissions::chmodCommand(600, target.path), "SITE CHMOD 600 /pub/one/same.txt");
    ftpObject link = file;
    link.kind = ftpObject::UnixLink;
    EXPECT_TRUE(permissions::targetOf(link).folderLike);
}

TEST(Permissions, UnchangedPathsAreListedVisiblyAndALongListIsCut)
{
    EXPECT_EQ(permissions::unchangedPathsText({ "/a", "/b\x1b[2J" }), QStringLiteral("/a\n/b\\x1B[2J"));
    std::vector<std::string> many;
    for (int i = 0; i < 25; ++i)
        many.push_back("/f" + std::to_string(i));
    const QStringList lines = permissions::unchangedPathsText(many).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 21);
    EXPECT_EQ(lines.front(), QStringLiteral("/f0"));
    EXPECT_EQ(lines.back(), QStringLiteral("... and 5 more"));
}

TEST(Permissions, QuestionShowsShortenedNameOrMultipleObjectsAndTheFirstEntrysRights)
{
    ftpObject one;
    one.name = "a-rather-long-file-name.tar.gz";
    one.size = 1000;
    one.rights = "-rwxr-x--x";
    ftpObject two;
    two.size = 24;
    two.rights = "drwxrwxrwx";
    const ftpObject* single[] = { &one };
    const permissionsQuestion first = permissions::questionFor(single);
    EXPECT_EQ(first.name, QStringLiteral("...-file-name.tar.gz"));
    EXPECT_EQ(first.sizeText, QStringLiteral("1000 Bytes"));
    EXPECT_EQ(
        first.checked, (std::array<bool, 9> { true, true, true, true, false, true, false, false, true }));
    const ftpObject* both[] = { &one, &two };
    const permissionsQuestion several = permissions::questionFor(both);
    EXPECT_EQ(several.name, QStringLiteral("Multiple Objects"));
    EXPECT_EQ(several.sizeText, QStringLiteral("1024 Bytes"));
    EXPECT_EQ(several.checked, first.checked);
}

} // namespace
