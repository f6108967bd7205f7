// The download's rules that need no server: how many parts, where they
// start and end, how the part store writes them in place, resumes them from
// its record or from part files of earlier versions, and the digest it
// computes while they arrive; what a failure leads to, and which server
// each connection is at.

#include "transfer/FailureRule.h"
#include "transfer/PartPlan.h"
#include "transfer/PartRecord.h"
#include "transfer/PartSink.h"
#include "transfer/PartStore.h"
#include "transfer/SourceLedger.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace
{

constexpr const char* knownDigest = "0123456789ABCDEF0123456789ABCDEF";
constexpr const char* unknownDigest = "00000000000000000000000000000000";

struct CountCase {
    const char* name;
    std::uint64_t size;
    const char* digest;
    bool borrowed;
    int parts;
};

class PartCounts : public testing::TestWithParam<CountCase>
{
};

TEST_P(PartCounts, FollowTheSizeTheDigestAndTheConnection)
{
    const CountCase& c = GetParam();
    EXPECT_EQ(partCountFor(c.size, c.digest, c.borrowed), c.parts);
}

INSTANTIATE_TEST_SUITE_P(Download, PartCounts,
    testing::Values(CountCase { "empty", 0, unknownDigest, false, 1 },
        CountCase { "below64k", 65535, knownDigest, false, 1 },
        CountCase { "at64k", 65536, unknownDigest, false, 2 },
        CountCase { "below128k", 131071, knownDigest, false, 2 },
        CountCase { "at128kUnknown", 131072, unknownDigest, false, 6 },
        CountCase { "at128kKnown", 131072, knownDigest, false, 8 },
        CountCase { "emptyDigest", 131072, "", false, 6 }, CountCase { "zeroText", 131072, "0", false, 6 },
        CountCase { "borrowed", 1 << 30, knownDigest, true, 1 },
        CountCase { "fiveGiB", 5ULL << 30, knownDigest, false, 8 }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DownloadSplit, TheLastPartTakesTheRemainder)
{
    const auto parts = splitIntoParts(1000003, 8);
    ASSERT_EQ(parts.size(), 8U);
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(parts[i].start, i * 125000);
        EXPECT_EQ(parts[i].length(), 125000U);
    }
    EXPECT_EQ(parts[7].start, 875000U);
    EXPECT_EQ(parts[7].end, 1000003U);
    EXPECT_EQ(parts[7].length(), 125003U);
}

TEST(DownloadSplit, OffsetsOfFilesBeyondFourGiBStay64Bit)
{
    const std::uint64_t size = (5ULL << 30) + 7;
    const auto parts = splitIntoParts(size, 8);
    EXPECT_EQ(parts[7].end, size);
    EXPECT_EQ(parts[1].start, (size - 7) / 8);
    EXPECT_GT(parts[7].start, 0xFFFFFFFFULL);
}

TEST(DownloadSplit, PartFilesAreTheTargetWithDotAndIndex)
{
    EXPECT_EQ(partFileName(QStringLiteral("/d/report.pdf"), 0), QStringLiteral("/d/report.pdf.0"));
    EXPECT_EQ(partFileName(QStringLiteral("/d/report.pdf"), 7), QStringLiteral("/d/report.pdf.7"));
}

class DownloadStore : public testing::Test
{
protected:
    static QByteArray content(qint64 size)
    {
        QByteArray bytes(size, Qt::Uninitialized);
        for (qint64 i = 0; i < size; ++i)
            bytes[i] = static_cast<char>((i * 131 + i / 7) & 0xff);
        return bytes;
    }
    // Part files as earlier versions wrote them, each with `extra` bytes of
    // garbage beyond its part's end.
    void writeOldParts(const QByteArray& data, const std::vector<FilePart>& parts, qint64 extra)
    {
        for (std::size_t i = 0; i < parts.size(); ++i) {
            QFile file(partFileName(target(), static_cast<int>(i)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(data.mid(static_cast<qint64>(parts[i].start), static_cast<qint64>(parts[i].length())));
            file.write(QByteArray(extra, 'Z'));
        }
    }
    // Writes `part` on from where it stands up to `upTo` bytes of it, in
    // pieces of `piece`.
    static void feed(
        PartStore& store, const QByteArray& data, int part, std::uint64_t upTo, qint64 piece = 7000)
    {
        const FilePart& p = store.parts()[static_cast<std::size_t>(part)];
        while (p.done < std::min(upTo, p.length())) {
            const std::uint64_t at = p.start + p.done;
            const auto length
                = std::min<std::uint64_t>(static_cast<std::uint64_t>(piece), p.start + upTo - at);
            ASSERT_TRUE(store.write(part, at, data.constData() + at, std::min(length, p.end - at)));
        }
    }
    static std::vector<std::uint64_t> doneOf(const PartStore& store)
    {
        std::vector<std::uint64_t> done;
        for (const FilePart& part : store.parts())
            done.push_back(part.done);
        return done;
    }
    QByteArray readTarget() const
    {
        QFile file(target());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList files() const { return QDir(folder.path()).entryList(QDir::Files, QDir::Name); }
    QString target() const { return folder.filePath(QStringLiteral("file.bin")); }
    static std::string md5(const QByteArray& data)
    {
        return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex().toUpper().toStdString();
    }

    QTemporaryDir folder;
};

TEST_F(DownloadStore, PartsArrivingTogetherBecomeTheTargetInPlaceWithItsDigest)
{
    const QByteArray data = content(1000003);
    PartStore store(target(), splitIntoParts(1000003, 8), false);
    ASSERT_TRUE(store.open(false)) << store.error().toStdString();
    EXPECT_EQ(files(), (QStringList { QStringLiteral("file.bin.0"), QStringLiteral("file.bin.parts") }));
    // Round robin from the last part to the first, as connections deliver.
    for (std::uint64_t upTo = 20000; upTo <= 140000; upTo += 20000) {
        for (int part = 7; part >= 0; --part)
            feed(store, data, part, upTo);
    }
    std::vector<int> passed;
    const MergeResult result = store.finish([&](int part) { passed.push_back(part); });
    ASSERT_TRUE(result.digest) << result.error.toStdString();
    EXPECT_EQ(*result.digest, md5(data));
    EXPECT_EQ(readTarget(), data);
    EXPECT_EQ(files(), QStringList { QStringLiteral("file.bin") });
    EXPECT_TRUE(passed.empty()) << "the digest followed the parts while they arrived";
}

TEST_F(DownloadStore, ALaterRunContinuesEveryPartFromTheRecordNeverBeyondIt)
{
    const QByteArray data = content(600000);
    const auto parts = splitIntoParts(600000, 6);
    std::vector<std::uint64_t> recorded;
    {
        PartStore store(target(), parts, false);
        ASSERT_TRUE(store.open(false));
        feed(store, data, 0, 100);
        feed(store, data, 3, 100000);
        feed(store, data, 5, 1000);
        store.recordProgress(true);
        recorded = doneOf(store);
        // Written after the last record, as before a crash: not trusted.
        feed(store, data, 1, 5000);
        feed(store, data, 5, 9000);
    }
    PartStore store(target(), parts, false);
    ASSERT_TRUE(store.open(true)) << store.error().toStdString();
    EXPECT_EQ(doneOf(store), recorded);
    for (int part = 0; part < 6; ++part)
        feed(store, data, part, 100000);
    const MergeResult result = store.finish({});
    ASSERT_TRUE(result.digest);
    EXPECT_EQ(*result.digest, md5(data));
    EXPECT_EQ(readTarget(), data);
}

TEST_F(DownloadStore, PartFilesOfEarlierVersionsAreTakenOverWithoutWhatLiesBeyondTheirEnds)
{
    const QByteArray data = content(300000);
    const auto parts = splitIntoParts(300000, 6);
    writeOldParts(data, parts, 4096);
    QFile::remove(partFileName(target(), 4));
    QFile::resize(partFileName(target(), 2), 1234);
    PartStore store(target(), parts, false);
    ASSERT_TRUE(store.open(true)) << store.error().toStdString();
    // Part file 0 is longer than its part: without a record nobody can tell
    // its bytes from parts written in place, so it starts again.
    EXPECT_EQ(doneOf(store), (std::vector<std::uint64_t> { 0, 50000, 1234, 50000, 0, 50000 }));
    EXPECT_EQ(files(), (QStringList { QStringLiteral("file.bin.0"), QStringLiteral("file.bin.parts") }));
    feed(store, data, 0, 50000);
    feed(store, data, 2, 50000);
    feed(store, data, 4, 50000);
    const MergeResult result = store.finish({});
    ASSERT_TRUE(result.digest) << result.error.toStdString();
    EXPECT_EQ(*result.digest, md5(data));
    EXPECT_EQ(readTarget(), data);
}

TEST_F(DownloadStore, ADataFileLongerThanItsFirstPartWithoutARecordIsNotTrusted)
{
    const QByteArray data = content(200000);
    {
        QFile file(partFileName(target(), 0));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(150000, 'x')); // parts written in place, record lost
    }
    PartStore store(target(), splitIntoParts(200000, 2), false);
    ASSERT_TRUE(store.open(true)) << store.error().toStdString();
    EXPECT_EQ(doneOf(store), (std::vector<std::uint64_t> { 0, 0 }));
    feed(store, data, 0, 100000);
    feed(store, data, 1, 100000);
    const MergeResult result = store.finish({});
    ASSERT_TRUE(result.digest);
    EXPECT_EQ(*result.digest, md5(data));
}

TEST_F(DownloadStore, ADataFileThatIsALinkIsNotFollowed)
{
    const QString outside = folder.filePath(QStringLiteral("outside"));
    {
        QFile file(outside);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(1000, 'o'));
    }
    ASSERT_TRUE(QFile::link(outside, partFileName(target(), 0)));
    PartStore store(target(), splitIntoParts(200000, 2), false);
    EXPECT_FALSE(store.open(false));
    EXPECT_TRUE(store.error().contains(QStringLiteral("file.bin.0")));
    EXPECT_EQ(QFileInfo(outside).size(), 1000);
}

TEST_F(DownloadStore, ATransferIsHeldToWhereItsPartStandsAndEnds)
{
    const QByteArray data = content(200000);
    PartStore store(target(), splitIntoParts(200000, 2), false);
    ASSERT_TRUE(store.open(false));
    feed(store, data, 1, 500);
    PartSink sink(store, 1, false);
    EXPECT_FALSE(sink.start(100000)) << "a server that ignored the resume position";
    EXPECT_TRUE(sink.start(100500));
    EXPECT_FALSE(store.write(1, 100000, data.constData(), 10));
    EXPECT_FALSE(store.write(0, 99990, data.constData() + 99990, 20)) << "reaches into part 1";
    EXPECT_EQ(doneOf(store), (std::vector<std::uint64_t> { 0, 500 }));
}

TEST_F(DownloadStore, BytesTakenBackAfterTheyWereHashedAreHashedAgain)
{
    const QByteArray data = content(200000);
    QByteArray wrong = data;
    wrong.fill('w', 50000);
    PartStore store(target(), splitIntoParts(200000, 2), false);
    ASSERT_TRUE(store.open(false));
    ASSERT_TRUE(store.write(0, 0, wrong.constData(), 50000));
    store.forgetFrom(0, 20000);
    EXPECT_EQ(doneOf(store), (std::vector<std::uint64_t> { 20000, 0 }));
    feed(store, data, 1, 100000);
    // The first 20,000 bytes stay wrong on disk; the digest must show it.
    feed(store, data, 0, 100000);
    MergeResult result = store.finish({});
    ASSERT_TRUE(result.digest);
    QByteArray expected = data;
    expected.replace(0, 20000, wrong.left(20000));
    EXPECT_EQ(*result.digest, md5(expected));
    EXPECT_EQ(readTarget(), expected);
}

TEST_F(DownloadStore, OnePartGoesStraightIntoTheTargetAndResumesFromItsSize)
{
    const QByteArray data = content(50000);
    {
        QFile file(target());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data.left(12345));
    }
    PartStore store(target(), splitIntoParts(50000, 1), false);
    ASSERT_TRUE(store.open(true));
    EXPECT_EQ(store.nextPosition(0), 12345U);
    feed(store, data, 0, 50000);
    const MergeResult result = store.finish({});
    ASSERT_TRUE(result.digest);
    EXPECT_EQ(*result.digest, md5(data));
    EXPECT_EQ(files(), QStringList { QStringLiteral("file.bin") });
}

TEST_F(DownloadStore, ASparseFileOfFiveGiBFromEarlierPartFilesComesToItsDigest)
{
    // Eight sparse part files with one marked byte each: every part must
    // land at its 64-bit offset.
    const std::uint64_t size = 5ULL << 30;
    const auto parts = splitIntoParts(size, 8);
    QCryptographicHash expected(QCryptographicHash::Md5);
    const QByteArray zeros(1 << 20, '\0');
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const int fd = ::open(QFile::encodeName(partFileName(target(), static_cast<int>(i))).constData(),
            O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        const char mark = static_cast<char>('A' + i);
        ASSERT_EQ(::pwrite(fd, &mark, 1, 0), 1);
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(parts[i].length())), 0);
        ::close(fd);
        expected.addData(QByteArrayView(&mark, 1));
        for (std::uint64_t left = parts[i].length() - 1; left > 0;) {
            const auto n = std::min<std::uint64_t>(left, static_cast<std::uint64_t>(zeros.size()));
            expected.addData(QByteArrayView(zeros.constData(), static_cast<qsizetype>(n)));
            left -= n;
        }
    }
    PartStore store(target(), parts, false);
    ASSERT_TRUE(store.open(true)) << store.error().toStdString();
    const MergeResult result = store.finish({});
    ASSERT_TRUE(result.digest) << result.error.toStdString();
    EXPECT_EQ(*result.digest, expected.result().toHex().toUpper().toStdString());
    EXPECT_EQ(static_cast<std::uint64_t>(QFileInfo(target()).size()), size);
}

TEST_F(DownloadStore, AnAsciiTransferStoresLfForEveryCrLfWhereverTheBlocksAreCut)
{
    // As the server sends it, and as the file must be.
    const QByteArray wire("one\r\ntwo\r\r\nlone\rcr\r\n\r\nend\r");
    const QByteArray expected("one\ntwo\r\nlone\rcr\n\nend\r");
    for (qsizetype cut = 0; cut <= wire.size(); ++cut) {
        QFile::remove(target());
        PartStore store(target(), splitIntoParts(static_cast<std::uint64_t>(wire.size()), 1), true);
        ASSERT_TRUE(store.open(false));
        PartSink sink(store, 0, true);
        ASSERT_TRUE(sink.start(0));
        ASSERT_TRUE(sink.writeAt(0, wire.constData(), cut));
        ASSERT_TRUE(sink.writeAt(cut, wire.constData() + cut, wire.size() - cut));
        sink.finish();
        const MergeResult result = store.finish({});
        ASSERT_TRUE(result.digest) << result.error.toStdString();
        EXPECT_EQ(readTarget(), expected) << "cut at " << cut;
        EXPECT_EQ(*result.digest, md5(expected));
    }
}

TEST_F(DownloadStore, AnAsciiTransferThatStartsAgainKeepsNothingOfTheFirstAttempt)
{
    PartStore store(target(), splitIntoParts(100, 1), true);
    ASSERT_TRUE(store.open(false));
    PartSink sink(store, 0, true);
    ASSERT_TRUE(sink.start(0));
    ASSERT_TRUE(sink.writeAt(0, "half a line\r", 12));
    sink.finish();
    EXPECT_FALSE(sink.start(12)) << "no remote position has a local one";
    ASSERT_TRUE(sink.start(0));
    ASSERT_TRUE(sink.writeAt(0, "whole\r\n", 7));
    sink.finish();
    ASSERT_TRUE(store.finish({}).digest);
    EXPECT_EQ(readTarget(), "whole\n");
}

// ---------------------------------------------------------------- the part record

TEST(DownloadPartRecord, ReadsBackWhatWasWritten)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("f.parts"));
    const PartRecord record { 6000000000ULL, 750000000ULL, { 750000000ULL, 0, 17, 3 }, std::nullopt, {} };
    ASSERT_TRUE(writePartRecord(path, record, nullptr));
    const auto read = readPartRecord(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->size, record.size);
    EXPECT_EQ(read->partLength, record.partLength);
    EXPECT_EQ(read->done, record.done);
    EXPECT_FALSE(read->source);
}

TEST(DownloadPartRecord, NamesTheRemoteFileWithItsBytesAndDate)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("f.parts"));
    // Blanks, a percent sign, a line end and a byte that is not UTF-8.
    const std::string source = "/pub/a b%20\n\xe9.bin";
    const PartRecord record { 5000, 5000, { 1200 }, source, "Jan 01  2020" };
    ASSERT_TRUE(writePartRecord(path, record, nullptr, false));
    const auto read = readPartRecord(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->source, source);
    EXPECT_EQ(read->date, "Jan 01  2020");
    EXPECT_EQ(read->done, record.done);
    EXPECT_TRUE(read->describes(source, 5000, "Jan 01  2020"));
    EXPECT_TRUE(read->describes(source, 5000, "")) << "a date that is not known does not count";
    EXPECT_FALSE(read->describes(source, 5001, "Jan 01  2020"));
    EXPECT_FALSE(read->describes(source, 5000, "Feb 02  2021"));
    EXPECT_FALSE(read->describes("/pub/a b.bin", 5000, "Jan 01  2020"));
}

struct RecordCase {
    const char* name;
    const char* text;
};

class DownloadBadRecords : public testing::TestWithParam<RecordCase>
{
};

TEST_P(DownloadBadRecords, AreNotRecords)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("f.parts"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(GetParam().text);
    file.close();
    EXPECT_FALSE(readPartRecord(path));
}

INSTANTIATE_TEST_SUITE_P(Download, DownloadBadRecords,
    testing::Values(RecordCase { "OtherHeader", "RanquilParts 2\nsize 10\nlength 5\ndone 1 2\n" },
        RecordCase { "NegativeDone", "RanquilParts 1\nsize 10\nlength 5\ndone -1 2\n" },
        RecordCase { "SignedSize", "RanquilParts 1\nsize +10\nlength 5\ndone 1 2\n" },
        RecordCase { "NoDone", "RanquilParts 1\nsize 10\nlength 5\ndone\n" },
        RecordCase { "WordInsteadOfNumber", "RanquilParts 1\nsize ten\nlength 5\ndone 1 2\n" },
        RecordCase { "Overflow", "RanquilParts 1\nsize 99999999999999999999\nlength 5\ndone 1 2\n" },
        RecordCase { "FieldsSwapped", "RanquilParts 1\nlength 5\nsize 10\ndone 1 2\n" },
        RecordCase { "NoFinalLineEnd", "RanquilParts 1\nsize 10\nlength 5\ndone 1 2" },
        RecordCase { "ExtraLine", "RanquilParts 1\nsize 10\nlength 5\ndone 1 2\nmore\n" }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DownloadPartRecord, ALinkIsNotRead)
{
    QTemporaryDir folder;
    const QString real = folder.filePath(QStringLiteral("real"));
    ASSERT_TRUE(writePartRecord(real, PartRecord { 10, 5, { 5, 5 }, std::nullopt, {} }, nullptr));
    const QString link = folder.filePath(QStringLiteral("f.parts"));
    ASSERT_TRUE(QFile::link(real, link));
    EXPECT_FALSE(readPartRecord(link));
}

} // namespace

namespace
{

Failure failureOf(Failure::Kind kind, int failures, int replyCode = 0)
{
    Failure failure;
    failure.kind = kind;
    failure.failures = failures;
    failure.failuresAllowed = 3;
    failure.replyCode = replyCode;
    return failure;
}

} // namespace

TEST(DownloadFailures, EachLeadsToOneNextStep)
{
    using Kind = Failure::Kind;
    const struct {
        const char* what;
        Failure failure;
        NextStep next;
    } cases[] = {
        { "a part that ended goes on at its source", failureOf(Kind::PartEnded, 0), NextStep::SameSource },
        { "an incomplete part is tried again there", failureOf(Kind::PartEnded, 2), NextStep::SameSource },
        { "the third failure rests the connection", failureOf(Kind::PartEnded, 3), NextStep::Rest },
        { "a failed command moves on to the next source", failureOf(Kind::RequestFailed, 1),
            NextStep::NextSource },
        { "a stalled connection moves on too", failureOf(Kind::Stalled, 2), NextStep::NextSource },
        { "until its third failure", failureOf(Kind::Stalled, 3), NextStep::Rest },
        { "a server full of connections is left for the file", failureOf(Kind::RequestFailed, 1, 421),
            NextStep::Withdraw },
        { "even at its first failure", failureOf(Kind::Stalled, 0, 421), NextStep::Withdraw },
        { "missing parts fail the file", failureOf(Kind::FileIncomplete, 0), NextStep::FailFile },
        { "a stop asks whether the parts stay", failureOf(Kind::FileStopped, 0), NextStep::Ask },
        { "a wrong digest from the own server fails the file", failureOf(Kind::DigestMismatch, 0),
            NextStep::FailFile },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(nextStepAfter(c.failure), c.next);
    }
    Failure stopping = failureOf(Kind::RequestFailed, 0);
    stopping.stopping = true;
    EXPECT_EQ(nextStepAfter(stopping), NextStep::Rest) << "a stop starts nothing new";
    Failure paused = failureOf(Kind::PartEnded, 0);
    paused.paused = true;
    EXPECT_EQ(nextStepAfter(paused), NextStep::Rest) << "a pause takes no next part";
    Failure mixed = failureOf(Kind::DigestMismatch, 0);
    mixed.fromOtherSources = true;
    EXPECT_EQ(nextStepAfter(mixed), NextStep::RefetchFromOwnServer);
}

TEST(DownloadSources, AConnectionKeepsItsServerUntilItMovesOn)
{
    ftpSite own;
    own.hostAddress = "own.example";
    SourceLedger ledger(own);
    EXPECT_EQ(ledger.sourceOf(3).hostAddress, "own.example");
    ledger.moveOn(3);
    EXPECT_EQ(ledger.sourceOf(3).hostAddress, "own.example") << "one source: moving on stays there";

    ftpSite other;
    other.hostAddress = "other.example";
    ledger.addSource(other);
    ledger.setLoggedIn(3, true);
    ledger.moveOn(3);
    EXPECT_EQ(ledger.sourceOf(3).hostAddress, "other.example");
    EXPECT_FALSE(ledger.atOwnServer(3));
    EXPECT_FALSE(ledger.loggedIn(3)) << "not logged in at the new server yet";
    EXPECT_TRUE(ledger.atOwnServer(2)) << "the other connections stay where they are";
    ledger.moveOn(3);
    EXPECT_TRUE(ledger.atOwnServer(3)) << "the sources are taken in turn";
}
