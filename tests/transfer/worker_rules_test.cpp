// The worker's rules that need no server: digests in replies, transfer
// types, entry fields, local paths from remote names, the cache file.

#include "TempHome.h"
#include "TransferEntries.h"
#include "remote/RemotePath.h"
#include "transfer/DigestReply.h"
#include "transfer/DirectoryCache.h"
#include "transfer/EntryText.h"
#include "transfer/FtpOperation.h"
#include "transfer/LoaderThread.h"
#include "transfer/RemoteName.h"
#include "transfer/TransferType.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace
{

struct DigestCase {
    const char* name;
    const char* reply;
    const char* digest;
};

class DigestReplies : public testing::TestWithParam<DigestCase>
{
};

TEST_P(DigestReplies, YieldTheDigestOrZeroDigest)
{
    EXPECT_EQ(digestFromReply(GetParam().reply), GetParam().digest);
}

INSTANTIATE_TEST_SUITE_P(Worker, DigestReplies,
    testing::Values(
        DigestCase { "hex", "200 0123456789ABCDEF0123456789abcdef", "0123456789ABCDEF0123456789ABCDEF" },
        DigestCase { "refused", "550 0123456789ABCDEF0123456789ABCDEF", "00000000000000000000000000000000" },
        DigestCase {
            "temporary", "450 0123456789ABCDEF0123456789ABCDEF", "00000000000000000000000000000000" },
        DigestCase { "short", "200 0123456789ABCDEF", "00000000000000000000000000000000" },
        DigestCase { "empty", "", "00000000000000000000000000000000" },
        DigestCase { "notHex", "200 0123456789ABCDEF0123456789ABCDEZ", "00000000000000000000000000000000" },
        DigestCase {
            "injected", "200 0123456789ABCDEF\r\nDELE x 23456789", "00000000000000000000000000000000" }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WorkerTransferType, AutomaticModeGoesByTheExtensionIgnoringCase)
{
    const std::vector<std::string> types { "txt", "htm" };
    EXPECT_EQ(wantedTransferType(0, types, "/pub/README.TXT"), TransferType::Ascii);
    EXPECT_EQ(wantedTransferType(0, types, "/pub/data.bin"), TransferType::Binary);
    EXPECT_EQ(wantedTransferType(0, types, "/pub.txt/README"), TransferType::Binary);
    EXPECT_EQ(wantedTransferType(1, types, "/pub/data.bin"), TransferType::Ascii);
    EXPECT_EQ(wantedTransferType(2, types, "/pub/a.txt"), TransferType::Binary);
}

TEST(WorkerEntries, SizesAreSixtyFourBitAndAQuestionMarkInThePathDoesNoHarm)
{
    const auto file = parseEntryText(
        entryText(listedEntry("/pub/a?b.iso", "Jan 1", 5368709120ull), EntryForm::RemoteFile),
        EntryForm::RemoteFile);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->path, "/pub/a?b.iso");
    EXPECT_EQ(file->size, 5368709120ull);
    const auto upload = parseEntryText(
        entryText(entryAt("/home/u/big.iso", 5368709120ull), EntryForm::UploadFile), EntryForm::UploadFile);
    ASSERT_TRUE(upload);
    EXPECT_EQ(upload->size, 5368709120ull);
    EXPECT_FALSE(parseEntryText("0?date?/pub/a?12x", EntryForm::RemoteFile));
    EXPECT_FALSE(parseEntryText("/pub/a?12", EntryForm::RemoteFile));
    EXPECT_EQ(remotePath::parentOf("/pub/a/"), "/pub/");
    EXPECT_EQ(remotePath::parentOf("/a"), "/");
}

// Commands sent as one batch before any reply is read stay within both
// bounds, whatever the names' lengths; a command longer than the byte bound
// still goes, alone.
TEST(WorkerBatches, StayWithinTheirCountAndTheirBytes)
{
    const auto lines = [](std::vector<int> lengths) {
        std::vector<QByteArray> commands;
        for (const int length : lengths)
            commands.push_back(QByteArray(length, 'x'));
        return commands;
    };
    const struct {
        const char* what;
        std::vector<QByteArray> commands;
        std::size_t first, end;
    } cases[] = {
        { "short commands: the count bounds", lines(std::vector<int>(120, 20)), 0, 50 },
        { "the last batch takes the rest", lines(std::vector<int>(120, 20)), 100, 120 },
        { "long names: the bytes bound", lines(std::vector<int>(50, 1400)), 0, 2 },
        { "exactly at the byte bound", lines({ 2046, 2046, 10 }), 0, 2 },
        { "one command beyond the byte bound goes alone", lines({ 5000, 10 }), 0, 1 },
        { "nothing left", lines({ 10 }), 1, 1 },
        { "a command too long for a line ends the batch before it", lines({ 10, 2049, 10 }), 0, 1 },
        { "and goes alone", lines({ 10, 2049, 10 }), 1, 2 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(LoaderThread::batchEnd(c.commands, c.first), c.end);
    }
}

TEST(WorkerLocalPaths, NamesThatWouldLeaveTheLocalBaseAreRefused)
{
    const QString base = QStringLiteral("/home/u/Downloads/");
    EXPECT_EQ(
        localPathBelow(base, "/pub/", "/pub/docs/a.txt"), QStringLiteral("/home/u/Downloads/docs/a.txt"));
    for (const char* path : { "/pub/../etc/passwd", "/pub/docs/..", "/pub/./a", "/pub/a\\..\\b", "/pub//a",
             "/other/a", "/pub/", "/pub/a\nb" })
        EXPECT_FALSE(localPathBelow(base, "/pub/", path)) << path;
    EXPECT_EQ(shownName("a\x1b[2Jb"), QStringLiteral("a\\x1B[2Jb"));
    EXPECT_EQ(shownName("caf\xe9"), QStringLiteral("caf\u00e9"));
}

TEST(WorkerCache, IsWrittenPrivatelyAndReadBackEntryByEntry)
{
    TempHome home;
    const auto first
        = createPrivateFile(cacheFolder(), QStringLiteral("directoryCache"), QStringLiteral(".fch"));
    const auto second
        = createPrivateFile(cacheFolder(), QStringLiteral("directoryCache"), QStringLiteral(".fch"));
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second) << "two names made in the same millisecond";
    EXPECT_TRUE(
        first->startsWith(QStringLiteral("directoryCache")) && first->endsWith(QStringLiteral(".fch")));

    directoryCache cache;
    cache.add(listedEntry("/pub/b", "Jan 1", 2));
    cache.add(listedEntry("/pub/a", "Jan 1", 1));
    const QString path = cacheFolder() + QLatin1Char('/') + *first;
    ASSERT_TRUE(cache.save(path));
    EXPECT_EQ(QFile(path).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(),
        QByteArray("00000000000000000000000000000000?Jan 1?/pub/b?2\r\n00000000000000000000000000000000?Jan "
                   "1?/pub/a?1\r\n"));
    const auto loaded = directoryCache::load(path);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->files.size(), 2u);
    EXPECT_EQ(loaded->files.front(), listedEntry("/pub/b", "Jan 1", 2));
}

// A walk that did not get through its tree keeps the folders it left; no
// line of one kind may read back as the other, whatever the names hold.
TEST(WorkerCache, KeepsTheFoldersAWalkLeftApartFromItsFiles)
{
    TempHome home;
    directoryCache cache;
    cache.add(listedEntry("/pub/a?1?2", "Jan 1", 3));
    cache.addUnwalkedFolder("/pub/b?1?2/");
    cache.addUnwalkedFolder("/pub/c");
    const QString path = cacheFolder() + QStringLiteral("/directoryCacheLeft.fch");
    ASSERT_TRUE(cache.save(path));
    const auto loaded = directoryCache::load(path);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->files, std::vector<TransferEntry> { listedEntry("/pub/a?1?2", "Jan 1", 3) });
    EXPECT_EQ(loaded->unwalkedFolders, (std::vector<std::string> { "/pub/b?1?2/", "/pub/c/" }));
}

// A restart walks the folders a cache names: a line no walk could have
// written (a control byte inside the path, which would reach a CWD or the
// screen) is left out, as a line of no known form is.
TEST(WorkerCache, FolderLinesHoldingControlBytesAreLeftOut)
{
    TempHome home;
    const QString path = cacheFolder() + QStringLiteral("/directoryCacheOdd.fch");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        QByteArray("?/pub/cr\r/\r\n?/pub/esc\x1b[2J/\r\n?/pub/del\x7f/\r\n?/pub/ok/\r\n?/pub/no-slash\r\n"));
    file.close();
    const auto loaded = directoryCache::load(path);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(loaded->files.empty());
    EXPECT_EQ(loaded->unwalkedFolders, std::vector<std::string> { "/pub/ok/" });
}

} // namespace
