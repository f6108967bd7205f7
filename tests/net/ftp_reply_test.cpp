#include "net/FtpReply.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace
{

// ---------------------------------------------------------------- line reader

struct LineCase {
    const char* name;
    QByteArray received;
    bool acceptLf;
    std::vector<QByteArray> lines;
    QByteArray leftOver; // an unfinished line still waiting
};

class FtpLineReaderTest : public testing::TestWithParam<LineCase>
{
};

std::vector<QByteArray> readAll(FtpLineReader& reader, bool acceptLf)
{
    std::vector<QByteArray> lines;
    while (const std::optional<QByteArray> line = reader.takeLine(acceptLf))
        lines.push_back(*line);
    return lines;
}

TEST_P(FtpLineReaderTest, CutsLinesWhetherTheBytesArriveWholeOrInPieces)
{
    const LineCase& c = GetParam();
    for (const int piece : { 1, 2, 3, 7, 4095 }) {
        FtpLineReader reader;
        std::vector<QByteArray> lines;
        for (qsizetype at = 0; at < c.received.size(); at += piece) {
            const QByteArray part = c.received.mid(at, piece);
            reader.append(part.constData(), static_cast<int>(part.size()));
            for (QByteArray& line : readAll(reader, c.acceptLf))
                lines.push_back(line);
        }
        EXPECT_EQ(lines, c.lines) << "pieces of " << piece;
        FtpLineReader rest;
        rest.append(c.leftOver.constData(), static_cast<int>(c.leftOver.size()));
        EXPECT_EQ(reader.freeSpace(), rest.freeSpace()) << "pieces of " << piece;
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, FtpLineReaderTest,
    testing::Values(
        LineCase { "crlf", "220 ready\r\n331 password\r\n", true, { "220 ready", "331 password" }, "" },
        LineCase { "lf_only_accepted", "220 ready\n230 in\n", true, { "220 ready", "230 in" }, "" },
        LineCase { "lf_only_without_accept_waits_for_crlf", "220 a\nb\r\n", false, { "220 a\nb" }, "" },
        LineCase { "trailing_cr_removed_in_lf_mode", "220 x\r\r\n", true, { "220 x" }, "" },
        LineCase { "trailing_cr_removed_in_crlf_mode", "220 x\r\r\n", false, { "220 x" }, "" },
        LineCase { "unfinished_line_kept", "220 one\r\n230 tw", true, { "220 one" }, "230 tw" },
        LineCase { "empty_line", "\r\n220 x\r\n", true, { "", "220 x" }, "" }),
    [](const testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

TEST(FtpLineReader, ALineThatFillsTheWholeBufferWithoutEndIsOverfull)
{
    FtpLineReader reader;
    const QByteArray longLine(FtpLineReader::capacity, 'x');
    reader.append(longLine.constData(), static_cast<int>(longLine.size()));
    EXPECT_EQ(reader.freeSpace(), 0);
    EXPECT_FALSE(reader.takeLine(true).has_value());
    EXPECT_TRUE(reader.isOverfull(true));
}

TEST(FtpLineReader, ALineOfTheLargestSizeIsStillRead)
{
    FtpLineReader reader;
    const QByteArray line = QByteArray(FtpLineReader::capacity - 2, 'y') + "\r\n";
    reader.append(line.constData(), static_cast<int>(line.size()));
    EXPECT_FALSE(reader.isOverfull(true));
    const std::optional<QByteArray> taken = reader.takeLine(true);
    ASSERT_TRUE(taken.has_value());
    EXPECT_EQ(taken->size(), FtpLineReader::capacity - 2);
}

TEST(FtpLineReader, TakesNoMoreThanItsFreeSpace)
{
    FtpLineReader reader;
    const QByteArray flood(FtpLineReader::capacity + 500, 'z');
    reader.append(flood.constData(), static_cast<int>(flood.size()));
    EXPECT_EQ(reader.freeSpace(), 0);
}

TEST(FtpLineReader, CrLfModeIsOverfullWhenTheBufferHoldsOnlyBareLineFeeds)
{
    FtpLineReader reader;
    const QByteArray lines = QByteArray(FtpLineReader::capacity - 1, 'a') + "\n";
    reader.append(lines.constData(), static_cast<int>(lines.size()));
    EXPECT_TRUE(reader.isOverfull(false));
    EXPECT_FALSE(reader.isOverfull(true));
}

// ---------------------------------------------------------------- replies

struct ReplyCase {
    const char* name;
    std::vector<QByteArray> lines;
    // The code of each line that ends a reply, 0 for text, -1 for a line
    // that is a protocol error.
    std::vector<int> finals;
};

class FtpReplyClassifierTest : public testing::TestWithParam<ReplyCase>
{
};

TEST_P(FtpReplyClassifierTest, EndsEachReplyAtItsLastLine)
{
    FtpReplyClassifier classifier;
    std::vector<int> finals;
    for (const QByteArray& line : GetParam().lines) {
        const FtpReplyClassifier::Line kind = classifier.classify(line);
        switch (kind.kind) {
        case FtpReplyClassifier::Kind::Final:
            finals.push_back(kind.code);
            break;
        case FtpReplyClassifier::Kind::Malformed:
            finals.push_back(-1);
            break;
        case FtpReplyClassifier::Kind::Text:
            finals.push_back(0);
            break;
        }
    }
    EXPECT_EQ(finals, GetParam().finals);
}

INSTANTIATE_TEST_SUITE_P(Replies, FtpReplyClassifierTest,
    testing::Values(ReplyCase { "single", { "220 ready" }, { 220 } },
        ReplyCase { "code_alone", { "230" }, { 230 } },
        ReplyCase { "two_line_greeting", { "220-welcome", "220 ready" }, { 0, 220 } },
        ReplyCase { "two_line_login", { "230-hello", "230 logged in" }, { 0, 230 } },
        ReplyCase {
            "text_lines_inside", { "220-a", "plain text", " 220 indented", "220 end" }, { 0, 0, 0, 220 } },
        ReplyCase {
            "other_codes_inside_do_not_end_it", { "230-motd", "150 users online", "230 ok" }, { 0, 0, 230 } },
        ReplyCase { "malformed_lines_inside_are_text", { "230-motd", "2 users", "2300", "230 ok" },
            { 0, 0, 0, 230 } },
        ReplyCase { "longer_code_inside_does_not_end_it", { "230-motd", "2300 x", "230 ok" }, { 0, 0, 230 } },
        ReplyCase { "same_code_with_hyphen_goes_on", { "211-a", "211-b", "211 end" }, { 0, 0, 211 } },
        ReplyCase { "text_before_a_reply", { "hello there", "220 ready" }, { 0, 220 } },
        ReplyCase { "next_reply_after_a_multi_line_one", { "220-a", "220 b", "331 pw" }, { 0, 220, 331 } },
        ReplyCase { "one_digit", { "2 short code" }, { -1 } },
        ReplyCase { "four_digits", { "2300 done" }, { -1 } },
        ReplyCase { "huge_code", { "12345678 x" }, { -1 } }, ReplyCase { "below_100", { "099 odd" }, { -1 } },
        ReplyCase { "above_599", { "600 odd" }, { -1 } },
        ReplyCase { "letter_after_the_code", { "220x ready" }, { -1 } },
        ReplyCase { "malformed_opening_line", { "22-a" }, { -1 } }),
    [](const testing::TestParamInfo<ReplyCase>& info) { return std::string(info.param.name); });

TEST(FtpReplyCode, IsThreeDigitsBeforeABlankAHyphenOrTheEnd)
{
    EXPECT_EQ(replyCodeOf("550 no such file"), 550);
    EXPECT_EQ(replyCodeOf("226-more"), 226);
    EXPECT_EQ(replyCodeOf("200"), 200);
    EXPECT_FALSE(replyCodeOf(" 550 indented").has_value());
    EXPECT_FALSE(replyCodeOf("").has_value());
    EXPECT_FALSE(replyCodeOf("20").has_value());
    EXPECT_FALSE(replyCodeOf("2000").has_value());
    EXPECT_FALSE(replyCodeOf("200\tok").has_value());
    EXPECT_FALSE(replyCodeOf("000 zero").has_value());
}

struct SizeCase {
    const char* name;
    QByteArray line;
    std::optional<qint64> size;
};

class FtpSizeReplyTest : public testing::TestWithParam<SizeCase>
{
};

TEST_P(FtpSizeReplyTest, ReadsTheSizeWithItsRangeChecked)
{
    EXPECT_EQ(sizeFromReply(GetParam().line), GetParam().size);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FtpSizeReplyTest,
    testing::Values(SizeCase { "plain", "213 1234", 1234 }, SizeCase { "zero", "213 0", 0 },
        SizeCase { "above_4_gib", "213 5000000000", 5000000000LL },
        SizeCase { "largest", "213 9223372036854775807", std::numeric_limits<qint64>::max() },
        SizeCase { "trailing_blank", "213 77 ", 77 },
        SizeCase { "overflow", "213 9223372036854775808", std::nullopt },
        SizeCase { "negative", "213 -5", std::nullopt }, SizeCase { "text", "213 big", std::nullopt },
        SizeCase { "number_then_text", "213 12 bytes", std::nullopt },
        SizeCase { "missing", "213", std::nullopt }),
    [](const testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.name); });

struct FolderCase {
    const char* name;
    QByteArray line;
    QByteArray folder;
};

class FtpFolderReplyTest : public testing::TestWithParam<FolderCase>
{
};

TEST_P(FtpFolderReplyTest, TakesTheFirstQuotedText)
{
    EXPECT_EQ(quotedDirectoryFromReply(GetParam().line), GetParam().folder);
}

INSTANTIATE_TEST_SUITE_P(Folders, FtpFolderReplyTest,
    testing::Values(FolderCase { "plain", "257 \"/pub/music\" is the current directory", "/pub/music" },
        FolderCase { "doubled_quotes", "257 \"/a \"\"quoted\"\" name\" is current", "/a \"quoted\" name" },
        FolderCase { "text_after_closing_quote_ignored", "257 \"/x\" created \"not this\"", "/x" },
        FolderCase { "no_quote", "257 /pub is current", "" },
        FolderCase { "quote_later_in_text", "250 CWD ok \"/pub\"", "" },
        FolderCase { "blanks_before_quote", "257   \"/b\"", "/b" },
        FolderCase { "unclosed_quote", "257 \"/open end", "/open end" },
        FolderCase { "root", "257 \"/\"", "/" }),
    [](const testing::TestParamInfo<FolderCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- passive mode

struct PassiveCase {
    const char* name;
    QByteArray line;
    std::optional<quint16> port;
    QString address;
};

class FtpPassiveReplyTest : public testing::TestWithParam<PassiveCase>
{
};

TEST_P(FtpPassiveReplyTest, AcceptsOnlyNumbersInRange)
{
    const PassiveCase& c = GetParam();
    const std::optional<PassiveReply> reply = parsePassiveReply(c.line);
    ASSERT_EQ(reply.has_value(), c.port.has_value());
    if (reply) {
        EXPECT_EQ(reply->port, *c.port);
        EXPECT_EQ(reply->address, c.address);
    }
}

INSTANTIATE_TEST_SUITE_P(Passive, FtpPassiveReplyTest,
    testing::Values(PassiveCase { "common", "227 Entering Passive Mode (192,168,1,2,19,137)", 5001,
                        QStringLiteral("192.168.1.2") },
        PassiveCase { "blanks_inside", "227 Entering Passive Mode (127, 0, 0, 1, 4, 1)", 1025,
            QStringLiteral("127.0.0.1") },
        PassiveCase { "highest_port", "227 ok (10,0,0,1,255,255)", 65535, QStringLiteral("10.0.0.1") },
        PassiveCase { "text_after", "227 ok (10,0,0,1,0,21). Go", 21, QStringLiteral("10.0.0.1") },
        PassiveCase { "port_zero", "227 ok (10,0,0,1,0,0)", std::nullopt, {} },
        PassiveCase { "port_byte_too_large", "227 ok (10,0,0,1,256,1)", std::nullopt, {} },
        PassiveCase { "address_byte_too_large", "227 ok (300,0,0,1,4,1)", std::nullopt, {} },
        PassiveCase { "negative", "227 ok (10,0,0,1,-1,4)", std::nullopt, {} },
        PassiveCase { "five_numbers", "227 ok (10,0,0,1,4)", std::nullopt, {} },
        PassiveCase { "seven_numbers", "227 ok (10,0,0,1,4,1,9)", std::nullopt, {} },
        PassiveCase { "empty_field", "227 ok (10,0,,1,4,1)", std::nullopt, {} },
        PassiveCase { "letters", "227 ok (a,b,c,d,e,f)", std::nullopt, {} },
        PassiveCase { "huge_number_not_truncated", "227 ok (10,0,0,1,4294967300,1)", std::nullopt, {} },
        PassiveCase { "no_parenthesis", "227 Entering Passive Mode 10,0,0,1,4,1", std::nullopt, {} },
        PassiveCase { "unclosed_parenthesis", "227 ok (10,0,0,1,4,1", std::nullopt, {} }),
    [](const testing::TestParamInfo<PassiveCase>& info) { return std::string(info.param.name); });

TEST(FtpPortCommand, WritesAddressAndPortBytes)
{
    EXPECT_EQ(portCommand(QStringLiteral("192.168.1.2"), 5001), QByteArray("PORT 192,168,1,2,19,137"));
    EXPECT_EQ(portCommand(QStringLiteral("127.0.0.1"), 65535), QByteArray("PORT 127,0,0,1,255,255"));
}

TEST(FtpCommandLine, RefusesLineBreaksAndNul)
{
    EXPECT_TRUE(isSafeCommandLine("RETR my file.txt"));
    EXPECT_FALSE(isSafeCommandLine("RETR a\r\nDELE b"));
    EXPECT_FALSE(isSafeCommandLine("RETR a\nDELE b"));
    EXPECT_FALSE(isSafeCommandLine("RETR a\rb"));
    EXPECT_FALSE(isSafeCommandLine(QByteArray("RETR a\0b", 8)));
}

} // namespace
