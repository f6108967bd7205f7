#include "listing_test_helpers.h"

#include "remote/ListingSink.h"
#include "remote/ParallelListingParser.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

listingSource plainSource()
{
    listingSource source = sourceIn("/pub");
    source.fileTypeTexts = false;
    return source;
}

std::string describe(const ftpObject& entry)
{
    return std::to_string(entry.kind) + '|' + entry.name + '|' + entry.directory + '|'
        + std::to_string(entry.size) + '|' + entry.dateText + '|' + entry.rights + '|' + entry.typeText;
}

struct parsedListing {
    std::vector<std::string> entries;
    std::size_t lines = 0;
    std::size_t unreadLines = 0;

    bool operator==(const parsedListing&) const = default;
};

// What reading the lines one after the other gives: up to the first empty
// line, the last line needing no line end.
parsedListing parsedInOrder(std::string_view listing)
{
    parsedListing result;
    listingTally tally;
    const listingSource source = plainSource();
    std::size_t position = 0;
    for (auto line = readListingLine(listing, position); !line.empty();
         line = readListingLine(listing, position)) {
        ftpObject entry;
        if (parseListingLine(line, source, entry, tally))
            result.entries.push_back(describe(entry));
    }
    result.lines = tally.lines;
    result.unreadLines = tally.unreadLines;
    return result;
}

// Feeds the listing in pieces of `piece` bytes, taking what is ready after
// each, as the session does while a listing arrives.
parsedListing parsedAlongside(std::string_view listing, std::size_t piece)
{
    parsedListing result;
    parallelListingParser parser(plainSource());
    const auto keep = [&](const parallelListingParser::entries& parsed) {
        for (const entryBlock& block : parsed) {
            for (const ftpObject& entry : block)
                result.entries.push_back(describe(entry));
        }
    };
    for (std::size_t at = 0; at < listing.size(); at += piece) {
        parser.feed(listing.substr(at, piece));
        keep(parser.take());
    }
    parser.finish();
    for (auto parsed = parser.waitForMore(); !parsed.empty(); parsed = parser.waitForMore())
        keep(parsed);
    result.lines = parser.tally().lines;
    result.unreadLines = parser.tally().unreadLines;
    return result;
}

// Numbered files and folders with every kind of line end, lines that give
// no entry and lines of no known form; the last line has no line end.
std::string mixedListing(int lines)
{
    static const char* const ends[] = { "\r\n", "\n", "\r", "\n\r", "\r\r" };
    std::string listing = "total 42\r\n";
    for (int i = 0; i < lines; ++i) {
        const std::string number = std::to_string(i);
        switch (i % 7) {
        case 0:
            listing += "drwxr-xr-x    2 ftp      ftp          4096 Mar 03 2021 folder " + number;
            break;
        case 1:
            listing += "02-14-23  10:15AM       <DIR>          dos folder " + number;
            break;
        case 2:
            listing += "02-14-23  10:15AM                9,730 dos file " + number + ".zip";
            break;
        case 3:
            listing
                += "lrwxrwxrwx    1 ftp      ftp            11 Dec 11 00:36 link " + number + " -> target";
            break;
        case 4:
            listing += "%SYSTEM-F-WEIRD, line of no known form " + number;
            break;
        default:
            listing
                += "-rw-r--r--    1 ftp      ftp      " + number + " Dec 11 00:36 file " + number + ".txt";
            break;
        }
        listing += i % 11 == 5 ? std::string("\0", 1) : ends[i % std::size(ends)];
    }
    return listing + "-rw-r--r-- 1 ftp ftp 5 Jan 1 12:00 last.txt";
}

struct listingCase {
    const char* what;
    std::string listing;
};

const listingCase listings[] = {
    { "mixed lines", mixedListing(3000) },
    { "empty line ends it", mixedListing(800) + "\r\n\r\n" + mixedListing(800) },
    { "starts with an empty line", "\r\n\r\n" + mixedListing(50) },
    { "one line", "-rw-r--r-- 1 ftp ftp 5 Jan 1 12:00 only.txt\r\n" },
};

struct pieceCase {
    const listingCase* listing;
    std::size_t piece;
};

std::vector<pieceCase> pieceCases()
{
    std::vector<pieceCase> cases;
    for (const listingCase& listing : listings) {
        for (const std::size_t piece : { 1u, 2u, 3u, 7u, 4096u, 256u * 1024u })
            cases.push_back({ &listing, piece });
    }
    return cases;
}

class ParallelListing : public ::testing::TestWithParam<pieceCase>
{
};

TEST_P(ParallelListing, GivesWhatReadingLineByLineGives)
{
    const pieceCase& c = GetParam();
    const parsedListing expected = parsedInOrder(c.listing->listing);
    const parsedListing parsed = parsedAlongside(c.listing->listing, c.piece);
    EXPECT_EQ(parsed.lines, expected.lines);
    EXPECT_EQ(parsed.unreadLines, expected.unreadLines);
    EXPECT_EQ(parsed.entries.size(), expected.entries.size());
    EXPECT_TRUE(parsed == expected);
}

INSTANTIATE_TEST_SUITE_P(ListingParser, ParallelListing, ::testing::ValuesIn(pieceCases()),
    [](const ::testing::TestParamInfo<pieceCase>& info) {
        return caseName(info.param.listing->what) + "In" + std::to_string(info.param.piece) + "BytePieces";
    });

TEST(ParallelListingParser, TheSameFilesEveryTime)
{
    // Pieces parsed side by side finish in any order; the entries must
    // still come out in the listing's.
    const std::string listing = mixedListing(60000);
    const parsedListing expected = parsedInOrder(listing);
    ASSERT_GT(expected.entries.size(), 40000u);
    for (int round = 0; round < 3; ++round)
        EXPECT_EQ(parsedAlongside(listing, 64 * 1024), expected) << round;
}

TEST(ParallelListingParser, ALineLongerThanAnyListingEndsIt)
{
    // Without a line end after 64 KiB, no listing is being read: the lines
    // before are all there is.
    const std::string before = mixedListing(300) + "\r\n";
    const std::string listing = before + "-rw-r--r-- 1 ftp ftp 5 Jan 1 12:00 " + std::string(100 * 1024, 'x')
        + "\r\n" + mixedListing(300);
    const parsedListing expected = parsedInOrder(before);
    for (const std::size_t piece : { 1u, 4096u, 16u * 1024u }) {
        const parsedListing parsed = parsedAlongside(listing, piece);
        EXPECT_EQ(parsed.entries, expected.entries) << piece;
        EXPECT_EQ(parsed.lines, expected.lines) << piece;
    }
}

TEST(ParallelListingParser, FeedingFarAheadOfTakingLosesNothing)
{
    // Many times the bytes it lets wait unparsed, none taken until the end.
    std::string listing;
    for (int i = 0; i < 150000; ++i)
        listing += "-rw-r--r--    1 ftp      ftp             0 Dec 11 00:36 file number " + std::to_string(i)
            + "\r\n";
    parallelListingParser parser(plainSource());
    for (std::size_t at = 0; at < listing.size(); at += 256 * 1024)
        parser.feed(std::string_view(listing).substr(at, 256 * 1024));
    parser.finish();
    std::size_t next = 0;
    bool inOrder = true;
    for (auto parsed = parser.waitForMore(); !parsed.empty(); parsed = parser.waitForMore()) {
        for (const entryBlock& block : parsed) {
            for (const ftpObject& entry : block)
                inOrder = inOrder && entry.name == "file number " + std::to_string(next++);
        }
    }
    EXPECT_EQ(next, 150000u);
    EXPECT_TRUE(inOrder);
}

TEST(ParallelListingParser, StoppedItGivesNoMoreAndEndsAtOnce)
{
    const std::string listing = mixedListing(20000);
    parallelListingParser parser(plainSource());
    parser.feed(std::string_view(listing).substr(0, listing.size() / 2));
    parser.stop();
    parser.feed(std::string_view(listing).substr(listing.size() / 2));
    EXPECT_TRUE(parser.waitForMore().empty());
    EXPECT_TRUE(parser.take().empty());
}

TEST(ParallelListingParser, EntriesTakenOutliveItWhenItGoesAwayMidListing)
{
    // Neither finished nor stopped: its threads are waiting for more bytes.
    const listingSource source = plainSource();
    auto parser = std::make_unique<parallelListingParser>(source);
    parser->feed("-rw-r--r-- 1 ftp ftp 5 Jan 1 12:00 first.txt\r\n-rw-r--r-- 1 ftp ftp 5 Jan 1 12:00 sec");
    const parallelListingParser::entries taken = parser->waitForMore();
    parser.reset();
    ASSERT_EQ(taken.size(), 1u);
    ASSERT_EQ(taken.front().size(), 1u);
    EXPECT_EQ(taken.front().front().name, "first.txt");
    EXPECT_TRUE(taken.front().front().site.sharesWith(source.site));
}

// ---------------------------------------------------------------- the sink

// Hands the listing to a sink in pieces of `piece` bytes at their
// positions, as the FTP component does, the taker keeping every block.
parsedListing parsedThroughSink(std::string_view listing, std::size_t piece)
{
    parsedListing result;
    listingSink sink(plainSource(), [&](entryBlock block) {
        for (const ftpObject& entry : block)
            result.entries.push_back(describe(entry));
        return true;
    });
    EXPECT_TRUE(sink.start(0));
    for (std::size_t at = 0; at < listing.size(); at += piece) {
        const std::string_view part = listing.substr(at, piece);
        EXPECT_TRUE(sink.writeAt(static_cast<qint64>(at), part.data(), static_cast<qint64>(part.size())));
    }
    sink.complete();
    sink.finish();
    result.lines = sink.tally().lines;
    result.unreadLines = sink.tally().unreadLines;
    return result;
}

class ListingSink : public ::testing::TestWithParam<pieceCase>
{
};

TEST_P(ListingSink, HandsWhatReadingLineByLineGives)
{
    const pieceCase& c = GetParam();
    EXPECT_EQ(parsedThroughSink(c.listing->listing, c.piece), parsedInOrder(c.listing->listing));
}

INSTANTIATE_TEST_SUITE_P(ListingParser, ListingSink, ::testing::ValuesIn(pieceCases()),
    [](const ::testing::TestParamInfo<pieceCase>& info) {
        return caseName(info.param.listing->what) + "In" + std::to_string(info.param.piece) + "BytePieces";
    });

std::string numberedFiles(int count)
{
    std::string listing;
    for (int i = 0; i < count; ++i)
        listing += "-rw-r--r--    1 ftp      ftp             0 Dec 11 00:36 file number " + std::to_string(i)
            + "\r\n";
    return listing;
}

TEST(ListingSinkTaker, ATakerThatWantsNoMoreIsHandedNoMoreWhileTheCopyGetsEveryByte)
{
    const std::string listing = numberedFiles(100000);
    int blocks = 0;
    QBuffer copy;
    copy.open(QIODevice::WriteOnly);
    listingSink sink(plainSource(), [&](entryBlock) { return ++blocks < 2; });
    sink.copyTo(copy);
    for (std::size_t at = 0; at < listing.size(); at += 4096)
        sink.feed(std::string_view(listing).substr(at, 4096));
    sink.complete();
    EXPECT_EQ(blocks, 2);
    EXPECT_TRUE(sink.wholeCopy());
    EXPECT_EQ(copy.data().toStdString(), listing);
}

TEST(ListingSinkTaker, AnAbandonedListingHandsNothingMore)
{
    const std::string listing = numberedFiles(20000);
    std::size_t handed = 0;
    listingSink sink(plainSource(), [&](entryBlock block) {
        handed += block.size();
        return true;
    });
    sink.feed(std::string_view(listing).substr(0, listing.size() / 2));
    const std::size_t beforeAbandon = handed;
    sink.abandon();
    sink.feed(std::string_view(listing).substr(listing.size() / 2));
    sink.complete();
    EXPECT_EQ(handed, beforeAbandon);
    EXPECT_LT(handed, 20000u);
}

TEST(ListingSinkTaker, ASecondAttemptAfterBytesArrivedIsRefused)
{
    // Its entries would be handed twice.
    const std::string listing = numberedFiles(10);
    listingSink sink(plainSource(), [](entryBlock) { return true; });
    ASSERT_TRUE(sink.start(0));
    ASSERT_TRUE(sink.writeAt(0, listing.data(), static_cast<qint64>(listing.size())));
    sink.finish();
    EXPECT_FALSE(sink.start(0));
    EXPECT_FALSE(sink.failureText().isEmpty());
}

} // namespace
