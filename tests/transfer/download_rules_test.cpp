// The download's rules that need no server: how many parts, where they
// start and end, and the merge of part files into the target with its
// digest.

#include "transfer/PartMerge.h"
#include "transfer/PartPlan.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
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

class DownloadMerge : public testing::Test
{
protected:
    QByteArray content(qint64 size) const
    {
        QByteArray bytes(size, Qt::Uninitialized);
        for (qint64 i = 0; i < size; ++i)
            bytes[i] = static_cast<char>((i * 131 + i / 7) & 0xff);
        return bytes;
    }
    // Writes each part file with `extra` bytes of garbage beyond its end.
    void writeParts(const QByteArray& data, const std::vector<FilePart>& parts, qint64 extra)
    {
        for (std::size_t i = 0; i < parts.size(); ++i) {
            QFile file(partFileName(target(), static_cast<int>(i)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(data.mid(static_cast<qint64>(parts[i].start), static_cast<qint64>(parts[i].length())));
            file.write(QByteArray(extra, 'Z'));
        }
    }
    QString target() const { return folder.filePath(QStringLiteral("file.bin")); }
    static std::string md5(const QByteArray& data)
    {
        return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex().toUpper().toStdString();
    }

    QTemporaryDir folder;
};

TEST_F(DownloadMerge, JoinsThePartsIntoTheTargetWithItsDigestAndRemovesThem)
{
    const QByteArray data = content(1000003);
    const auto parts = splitIntoParts(1000003, 8);
    writeParts(data, parts, 0);
    std::vector<int> merged;
    const MergeResult result = mergeParts(target(), parts, [&](int i) { merged.push_back(i); });
    ASSERT_TRUE(result.digest) << result.error.toStdString();
    EXPECT_EQ(*result.digest, md5(data));
    QFile file(target());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), data);
    EXPECT_EQ(merged, std::vector<int>({ 1, 2, 3, 4, 5, 6, 7 }));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList { QStringLiteral("file.bin") });
}

TEST_F(DownloadMerge, BytesBeyondAPartsEndNeverReachTheResult)
{
    const QByteArray data = content(300000);
    const auto parts = splitIntoParts(300000, 6);
    writeParts(data, parts, 4096);
    const MergeResult result = mergeParts(target(), parts, {});
    ASSERT_TRUE(result.digest);
    EXPECT_EQ(*result.digest, md5(data));
    EXPECT_EQ(QFileInfo(target()).size(), 300000);
}

TEST_F(DownloadMerge, AMissingPartFailsAndLeavesTheTargetAlone)
{
    const QByteArray data = content(200000);
    const auto parts = splitIntoParts(200000, 6);
    writeParts(data, parts, 0);
    QFile::remove(partFileName(target(), 4));
    const MergeResult result = mergeParts(target(), parts, {});
    EXPECT_FALSE(result.digest);
    EXPECT_TRUE(result.error.contains(QStringLiteral("file.bin.4")));
    EXPECT_FALSE(QFileInfo::exists(target()));
    EXPECT_TRUE(QFileInfo::exists(partFileName(target(), 5)));
}

TEST_F(DownloadMerge, APartFileThatIsALinkIsNotFollowed)
{
    const QByteArray data = content(200000);
    const auto parts = splitIntoParts(200000, 2);
    writeParts(data, parts, 0);
    const QString outside = folder.filePath(QStringLiteral("outside"));
    QFile::rename(partFileName(target(), 0), outside);
    ASSERT_TRUE(QFile::link(outside, partFileName(target(), 0)));
    EXPECT_FALSE(mergeParts(target(), parts, {}).digest);
    EXPECT_EQ(QFileInfo(outside).size(), 100000);
}

TEST_F(DownloadMerge, ASparseFileOfFiveGiBMergesToItsDigest)
{
    // Eight sparse parts with one marked byte each: the merge must place
    // every part at its 64-bit offset.
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
    const MergeResult result = mergeParts(target(), parts, {});
    ASSERT_TRUE(result.digest) << result.error.toStdString();
    EXPECT_EQ(*result.digest, expected.result().toHex().toUpper().toStdString());
    EXPECT_EQ(static_cast<std::uint64_t>(QFileInfo(target()).size()), size);
}

} // namespace
