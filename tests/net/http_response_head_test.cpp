#include "net/HttpResponseHead.h"
#include "net/HttpTexts.h"

#include <gtest/gtest.h>

#include <functional>

namespace
{

// Feeds `reply` to a fresh reader in pieces of `pieceSize` bytes (0: whole),
// as the bytes would come off a socket, until the reader decides.
struct Outcome {
    HttpHeadReader::Progress progress = HttpHeadReader::Progress::NeedMore;
    HttpResponseHead head;
    QString error;
    QByteArray rest; // what the buffer held after the header
};

Outcome readHead(const QByteArray& reply, qsizetype pieceSize)
{
    HttpHeadReader reader;
    QByteArray buffer;
    Outcome outcome;
    const qsizetype step = pieceSize == 0 ? qMax<qsizetype>(1, reply.size()) : pieceSize;
    for (qsizetype at = 0; at < reply.size(); at += step) {
        buffer += reply.mid(at, step);
        outcome.progress = reader.feed(buffer);
        if (outcome.progress != HttpHeadReader::Progress::NeedMore) {
            buffer += reply.mid(at + step);
            break;
        }
    }
    outcome.head = reader.head();
    outcome.error = reader.error();
    outcome.rest = buffer;
    return outcome;
}

struct HeadCase {
    const char* name;
    QByteArray reply;
    std::function<void(const Outcome&)> check;
};

class HttpResponseHeadReads : public testing::TestWithParam<std::tuple<HeadCase, int>>
{
};

TEST_P(HttpResponseHeadReads, WholeAndInPieces)
{
    const auto& [c, pieceSize] = GetParam();
    const Outcome outcome = readHead(c.reply, pieceSize);
    ASSERT_EQ(outcome.progress, HttpHeadReader::Progress::Complete) << outcome.error.toStdString();
    c.check(outcome);
}

const HeadCase headCases[] = {
    { "statusLineAndLength", "HTTP/1.1 404 Not Found\r\nContent-Length: 5\r\n\r\nbody!",
        [](const Outcome& o) {
            EXPECT_EQ(o.head.serverVersion, QStringLiteral("1.1"));
            EXPECT_EQ(o.head.statusCode, 404);
            EXPECT_EQ(o.head.reasonPhrase, QStringLiteral("Not Found"));
            EXPECT_EQ(o.head.contentLength, 5);
            EXPECT_EQ(o.rest, QByteArray("body!"));
            EXPECT_EQ(o.head.headerLines,
                QStringList(
                    { QStringLiteral("HTTP/1.1 404 Not Found"), QStringLiteral("Content-Length: 5") }));
        } },
    { "bareLineFeeds", "HTTP/1.0 200 OK\nContent-Type: Text/HTML; Charset=UTF-8\n\nx",
        [](const Outcome& o) {
            EXPECT_EQ(o.head.serverVersion, QStringLiteral("1.0"));
            EXPECT_EQ(o.head.statusCode, 200);
            EXPECT_EQ(o.head.contentType, QStringLiteral("text/html; charset=utf-8"));
            EXPECT_EQ(o.head.contentLength, -1);
            EXPECT_EQ(o.rest, QByteArray("x"));
        } },
    { "namesInAnyCaseAndBlanks",
        "HTTP/1.1 301 Moved\r\nLOCATION:   http://b.example/x  \r\ncontent-LENGTH:\t 12 \r\n\r\n",
        [](const Outcome& o) {
            EXPECT_TRUE(o.head.hasLocation);
            EXPECT_EQ(o.head.location, QStringLiteral("http://b.example/x"));
            EXPECT_EQ(o.head.contentLength, 12);
        } },
    { "authenticationAndRanges",
        "HTTP/1.1 206 Partial\r\nWWW-Authenticate: Basic realm=\"a\"\r\nWWW-Authenticate: Digest x\r\n"
        "Accept-Ranges: bytes\r\nContent-Range: bytes 100-199/1000\r\n\r\n",
        [](const Outcome& o) {
            EXPECT_EQ(o.head.wwwAuthenticate,
                QStringList({ QStringLiteral("Basic realm=\"a\""), QStringLiteral("Digest x") }));
            EXPECT_EQ(o.head.acceptRanges, QStringLiteral("bytes"));
            EXPECT_EQ(o.head.rangeBegin, 100);
            EXPECT_EQ(o.head.rangeEnd, 199);
        } },
    { "statusWithoutReason", "HTTP/1.1 204\r\n\r\n",
        [](const Outcome& o) {
            EXPECT_EQ(o.head.statusCode, 204);
            EXPECT_TRUE(o.head.reasonPhrase.isEmpty());
        } },
    { "lineWithoutColonIsKeptOnly", "HTTP/1.0 200 OK\r\nno colon here\r\n\r\n",
        [](const Outcome& o) {
            EXPECT_EQ(o.head.headerLines.size(), 2);
            EXPECT_EQ(o.head.contentLength, -1);
        } },
    { "bareHtmlDocumentHasNoHeader", "<html><body>\r\nHello\r\n</body></html>",
        [](const Outcome& o) {
            EXPECT_TRUE(o.head.headerless);
            EXPECT_EQ(o.head.statusCode, 0);
            EXPECT_EQ(o.head.contentType, QStringLiteral("text/html"));
            EXPECT_EQ(o.rest, QByteArray("<html><body>\r\nHello\r\n</body></html>"));
        } },
    { "noStatusLine", "Content-Type: text/plain\r\n\r\nabc",
        [](const Outcome& o) {
            EXPECT_EQ(o.head.statusCode, 0);
            EXPECT_TRUE(o.head.serverVersion.isEmpty());
            EXPECT_EQ(o.head.contentType, QStringLiteral("text/plain"));
            EXPECT_EQ(o.rest, QByteArray("abc"));
        } },
};

INSTANTIATE_TEST_SUITE_P(Replies, HttpResponseHeadReads,
    testing::Combine(testing::ValuesIn(headCases), testing::Values(0, 1, 7)),
    [](const testing::TestParamInfo<std::tuple<HeadCase, int>>& info) {
        return std::string(std::get<0>(info.param).name) + "_pieces"
            + std::to_string(std::get<1>(info.param));
    });

struct RefusedCase {
    const char* name;
    QByteArray reply;
    QString error;
};

class HttpResponseHeadRefuses : public testing::TestWithParam<std::tuple<RefusedCase, int>>
{
};

TEST_P(HttpResponseHeadRefuses, WithAClearReason)
{
    const auto& [c, pieceSize] = GetParam();
    const Outcome outcome = readHead(c.reply, pieceSize);
    EXPECT_EQ(outcome.progress, HttpHeadReader::Progress::Failed);
    EXPECT_EQ(outcome.error, c.error);
}

QByteArray manyHeaderLines(int count)
{
    QByteArray reply = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < count; ++i)
        reply += "X-Line-" + QByteArray::number(i) + ": v\r\n";
    return reply + "\r\n";
}

const RefusedCase refusedCases[] = {
    { "lineFillsTheBuffer", "HTTP/1.1 200 OK\r\nX-Long: " + QByteArray(9000, 'y') + "\r\n\r\n",
        httpTexts::lineTooLong() },
    { "endlessLineWithoutEnd", "HTTP/1.1 200 OK\r\nX-Long: " + QByteArray(20000, 'y'),
        httpTexts::lineTooLong() },
    { "tooManyLines", manyHeaderLines(HttpHeadReader::maxHeaderLines), httpTexts::tooManyHeaderLines() },
    { "statusNotANumber", "HTTP/1.1 2x0 OK\r\n\r\n", httpTexts::badStatusLine() },
    { "statusTooShort", "HTTP/1.1 20\r\n\r\n", httpTexts::badStatusLine() },
    { "statusTooLong", "HTTP/1.1 2000 OK\r\n\r\n", httpTexts::badStatusLine() },
    { "lengthWithLetters", "HTTP/1.1 200 OK\r\nContent-Length: 12abc\r\n\r\n",
        httpTexts::badContentLength() },
    { "negativeLength", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", httpTexts::badContentLength() },
    { "lengthOverflows", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n",
        httpTexts::badContentLength() },
    { "emptyLength", "HTTP/1.1 200 OK\r\nContent-Length:\r\n\r\n", httpTexts::badContentLength() },
};

INSTANTIATE_TEST_SUITE_P(Replies, HttpResponseHeadRefuses,
    testing::Combine(testing::ValuesIn(refusedCases), testing::Values(0, 1, 1000)),
    [](const testing::TestParamInfo<std::tuple<RefusedCase, int>>& info) {
        return std::string(std::get<0>(info.param).name) + "_pieces"
            + std::to_string(std::get<1>(info.param));
    });

TEST(HttpResponseHead, WaitsForTheEmptyLine)
{
    HttpHeadReader reader;
    QByteArray buffer = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n";
    EXPECT_EQ(reader.feed(buffer), HttpHeadReader::Progress::NeedMore);
    EXPECT_TRUE(buffer.isEmpty());
    buffer = "\r\nabc";
    EXPECT_EQ(reader.feed(buffer), HttpHeadReader::Progress::Complete);
    EXPECT_EQ(buffer, QByteArray("abc"));
}

TEST(HttpResponseHead, LastAllowedLineCountStillPasses)
{
    QByteArray buffer = manyHeaderLines(HttpHeadReader::maxHeaderLines - 1);
    HttpHeadReader reader;
    EXPECT_EQ(reader.feed(buffer), HttpHeadReader::Progress::Complete);
}

} // namespace
