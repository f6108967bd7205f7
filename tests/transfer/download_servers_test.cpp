// Downloads in parts against the family FTP server (digests, rate limit,
// dropped transfers, a connection limit) and vsftpd (no digests): part
// counts, REST offsets, resume, the stop question, the overwrite answers,
// and the files that must come out whole.

#include "FtpTestServer.h"
#include "TempHome.h"
#include "TransferEntries.h"
#include "loader_test_support.h"
#include "transfer/DirectoryCache.h"
#include "transfer/LoaderTexts.h"
#include "transfer/PartPlan.h"
#include "transfer/PartRecord.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace
{

QByteArray content(qint64 size, int seed = 1)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = static_cast<quint32>(seed) * 2654435761U + 1;
    for (qint64 i = 0; i < size; ++i) {
        state = state * 1103515245U + 12345U;
        bytes[i] = static_cast<char>(state >> 24);
    }
    return bytes;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

std::string md5Of(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex().toUpper().toStdString();
}

class DownloadServers : public testing::Test
{
protected:
    bool startServer(FtpServerKind kind, const QStringList& switches = {})
    {
        server = std::make_unique<FtpTestServer>(kind, remote.path(), switches);
        return server->running();
    }

    // A file on the server with its known bytes.
    QByteArray serve(const QString& remotePath, qint64 size, int seed = 1)
    {
        const QByteArray bytes = content(size, seed);
        writeBytes(remote.path() + remotePath, bytes);
        return bytes;
    }

    LoaderInputs inputs()
    {
        LoaderInputs in;
        in.request.site.hostAddress = "127.0.0.1";
        in.request.site.displayAddress = "127.0.0.1";
        in.request.site.port = server->port();
        in.request.site.anonymous = server->user() == "anonymous" || server->user().isEmpty();
        in.request.site.userId = server->user().toStdString();
        in.request.site.password = server->password().toStdString();
        in.request.site.initialDirectory = "/";
        in.options.Attempts = attempts;
        in.options.TimeoutPeriod = 20;
        in.request.kind = OperationKind::Download;
        in.operation = &operation;
        in.prompter = &prompter;
        in.window = &window;
        in.request.destination = local.path();
        return in;
    }

    // The files named by their remote paths (digest from the server when it
    // has them) and the folders.
    LoaderInputs inputsFor(const std::vector<std::string>& paths, const std::vector<std::string>& folders)
    {
        LoaderInputs in = inputs();
        for (const std::string& path : paths)
            in.request.items.files.push_back(entryAt(path,
                static_cast<std::uint64_t>(QFileInfo(remote.path() + QString::fromStdString(path)).size())));
        for (const std::string& folder : folders)
            in.request.items.folders.push_back(entryAt(folder));
        return in;
    }

    void download(const std::vector<std::string>& paths, const std::vector<std::string>& folders = {})
    {
        LoaderThread worker(inputsFor(paths, folders));
        ASSERT_TRUE(runToEnd(worker, std::chrono::seconds(120)));
        finished = worker.progress()->finished;
        failedFiles = worker.progress()->failedFiles;
    }

    // Runs a download until connection 0 shows `status` for the `nth` time,
    // stops it there and lets it end. Returns the file it was at then.
    QString downloadStoppedAt(LoaderInputs in, const QString& status, int nth = 1)
    {
        LoaderThread worker(std::move(in));
        int seen = 0;
        QString file;
        window.onStatus = [&](const QString& text) {
            if (text == status && ++seen == nth) {
                file = worker.progress()->currentFile();
                worker.requestStop();
            }
        };
        const bool ended = runToEnd(worker, std::chrono::seconds(120));
        window.onStatus = nullptr;
        EXPECT_TRUE(ended);
        EXPECT_EQ(seen, nth) << "it never came that far";
        EXPECT_TRUE(worker.progress()->stopped);
        return file;
    }

    QList<QByteArray> commands(const QByteArray& prefix) const
    {
        QList<QByteArray> lines;
        for (const QByteArray& line : server->commandLog().split('\n')) {
            if (line.trimmed().startsWith(prefix))
                lines << line.trimmed();
        }
        return lines;
    }
    QStringList localFiles() const
    {
        return QDir(local.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    TempHome home;
    QTemporaryDir remote;
    QTemporaryDir local;
    std::unique_ptr<FtpTestServer> server;
    ftpOperationObject operation;
    RecordingPrompter prompter;
    RecordingWindow window;
    bool finished = false;
    int failedFiles = 0;
    int attempts = 1; // the user's attempts, per connect and per part
};

// ---------------------------------------------------------------- part counts

struct CountCase {
    const char* name;
    qint64 size;
    bool digests;
    int parts;
};

class DownloadPartCounts : public DownloadServers, public testing::WithParamInterface<CountCase>
{
};

TEST_P(DownloadPartCounts, OneRetrPerPartAtItsStart)
{
    const CountCase& c = GetParam();
    const QByteArray bytes = serve(QStringLiteral("/pub/f.bin"), c.size);
    QStringList switches;
    if (!c.digests)
        switches << QStringLiteral("--refuse") << QStringLiteral("MD5");
    ASSERT_TRUE(startServer(FtpServerKind::Family, switches)) << server->error().toStdString();
    download({ "/pub/f.bin" });
    EXPECT_TRUE(finished) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(readAll(local.filePath(QStringLiteral("f.bin"))), bytes);
    EXPECT_EQ(commands("RETR").size(), c.parts);
    QList<QByteArray> expectedRests;
    const auto parts = splitIntoParts(static_cast<std::uint64_t>(c.size), c.parts);
    for (std::size_t i = 1; i < parts.size(); ++i)
        expectedRests << "REST " + QByteArray::number(static_cast<qulonglong>(parts[i].start));
    QList<QByteArray> rests = commands("REST");
    rests.removeAll("REST 100");
    rests.removeAll("REST 0");
    std::sort(rests.begin(), rests.end(), [](const QByteArray& a, const QByteArray& b) {
        return a.mid(5).toULongLong() < b.mid(5).toULongLong();
    });
    EXPECT_EQ(rests, expectedRests);
    EXPECT_EQ(localFiles(), QStringList { QStringLiteral("f.bin") });
    EXPECT_EQ(operation.lastFileBytePeriod, static_cast<std::int64_t>(parts[0].length()));
}

INSTANTIATE_TEST_SUITE_P(Download, DownloadPartCounts,
    testing::Values(CountCase { "below64k", 65535, true, 1 }, CountCase { "at64k", 65536, true, 2 },
        CountCase { "at128kDigest", 131072, true, 8 }, CountCase { "at128kNoDigest", 131072, false, 6 },
        CountCase { "oddSplit", 1000003, true, 8 }),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- servers

TEST_F(DownloadServers, VsftpdWithoutDigestsGivesSixPartsOfTheWholeFile)
{
    const QByteArray bytes = serve(QStringLiteral("/pub/v.bin"), 1000003);
    ASSERT_TRUE(startServer(FtpServerKind::Vsftpd)) << server->error().toStdString();
    download({ "/pub/v.bin" });
    EXPECT_TRUE(finished) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(readAll(local.filePath(QStringLiteral("v.bin"))), bytes);
    EXPECT_EQ(operation.lastFileBytePeriod, 166667);
    EXPECT_EQ(localFiles(), QStringList { QStringLiteral("v.bin") });
    // vsftpd logs anonymous in at USER: none of the six connections sends PASS.
    EXPECT_EQ(commands("USER").size(), 6);
    EXPECT_TRUE(commands("PASS").isEmpty()) << server->commandLog().toStdString();
}

TEST_F(DownloadServers, AServerWithoutResumeWritesOnePartIntoTheTarget)
{
    const QByteArray bytes = serve(QStringLiteral("/pub/n.bin"), 500000);
    ASSERT_TRUE(startServer(FtpServerKind::Family, { QStringLiteral("--refuse"), QStringLiteral("REST") }));
    writeBytes(local.filePath(QStringLiteral("n.bin.0")), "not a part of n.bin");
    download({ "/pub/n.bin" });
    EXPECT_TRUE(finished);
    EXPECT_EQ(readAll(local.filePath(QStringLiteral("n.bin"))), bytes);
    EXPECT_EQ(commands("RETR").size(), 1);
    EXPECT_EQ(commands("REST"), (QList<QByteArray> { "REST 100", "REST 0" })) << "only the probe";
    EXPECT_EQ(readAll(local.filePath(QStringLiteral("n.bin.0"))), "not a part of n.bin");
}

TEST_F(DownloadServers, ResumingWithPartsZeroAndThreeCompleteFetchesOnlyTheOthers)
{
    const qint64 size = 1000003;
    const QByteArray bytes = serve(QStringLiteral("/pub/r.bin"), size);
    ASSERT_TRUE(startServer(FtpServerKind::Family));
    const auto parts = splitIntoParts(static_cast<std::uint64_t>(size), 8);
    const QString target = local.filePath(QStringLiteral("r.bin"));
    auto slice = [&](int i, qint64 length) {
        return bytes.mid(static_cast<qint64>(parts[static_cast<std::size_t>(i)].start), length);
    };
    writeBytes(partFileName(target, 0), slice(0, 125000));
    writeBytes(partFileName(target, 3), slice(3, 125000));
    writeBytes(partFileName(target, 5), slice(5, 1000)); // partly there
    operation.lastFileIndex = 0;
    operation.lastFileBytePeriod = 125000;
    operation.lastFileConnections = 6;
    window.overwriteAnswer = OverwriteAnswer::Resume;
    download({ "/pub/r.bin" });
    EXPECT_TRUE(finished);
    EXPECT_EQ(window.questions, QList<ExistenceKind> { ExistenceKind::Partially });
    EXPECT_EQ(readAll(target), bytes);
    EXPECT_EQ(commands("RETR").size(), 6);
    EXPECT_TRUE(commands("REST").contains("REST " + QByteArray::number(5 * 125000 + 1000)));
    EXPECT_FALSE(commands("REST").contains("REST 375000"));
    EXPECT_EQ(localFiles(), QStringList { QStringLiteral("r.bin") });
    EXPECT_EQ(operation.lastFileConnections, 6);
}

TEST_F(DownloadServers, ResumingInEightPartsWhenTheDigestIsNoLongerKnownKeepsThem)
{
    // Cut into eight parts while the server gave its digest; without it a
    // new download would take six.
    const qint64 size = 1000003;
    const QByteArray bytes = serve(QStringLiteral("/pub/d.bin"), size);
    ASSERT_TRUE(startServer(FtpServerKind::Family, { QStringLiteral("--refuse"), QStringLiteral("MD5") }));
    const auto parts = splitIntoParts(static_cast<std::uint64_t>(size), 8);
    const QString target = local.filePath(QStringLiteral("d.bin"));
    const auto slice = [&](int i, qint64 length) {
        return bytes.mid(static_cast<qint64>(parts[static_cast<std::size_t>(i)].start), length);
    };
    writeBytes(partFileName(target, 0), slice(0, 125000));
    writeBytes(partFileName(target, 6), slice(6, 4000));
    operation.lastFileIndex = 0;
    operation.lastFileBytePeriod = 125000;
    operation.lastFileConnections = 7;
    window.overwriteAnswer = OverwriteAnswer::Resume;
    download({ "/pub/d.bin" });
    EXPECT_TRUE(finished) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(readAll(target), bytes);
    EXPECT_EQ(commands("RETR").size(), 7);
    EXPECT_TRUE(commands("REST").contains("REST " + QByteArray::number(6 * 125000 + 4000)));
    EXPECT_EQ(localFiles(), QStringList { QStringLiteral("d.bin") });
    EXPECT_EQ(operation.lastFileBytePeriod, 125000);
}

TEST_F(DownloadServers, APartFileThatIsALinkLeavesItsTargetUntouched)
{
    // A part file longer than its part is cut back on resume; a link planted
    // in its place must not pass the cut on to the file it points to. A cut
    // by path after a look at the link passes this too: only a link planted
    // between the look and the cut, which a test cannot time, got through it.
    const qint64 size = 1000003;
    const QByteArray bytes = serve(QStringLiteral("/pub/l.bin"), size);
    ASSERT_TRUE(startServer(FtpServerKind::Family));
    const auto parts = splitIntoParts(static_cast<std::uint64_t>(size), 8);
    const QString target = local.filePath(QStringLiteral("l.bin"));
    writeBytes(partFileName(target, 0), bytes.left(static_cast<qint64>(parts[0].length())));
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.filePath(QStringLiteral("victim"));
    const QByteArray victimBytes = content(300000, 7);
    writeBytes(victim, victimBytes);
    ASSERT_TRUE(QFile::link(victim, partFileName(target, 2)));
    operation.lastFileIndex = 0;
    operation.lastFileBytePeriod = static_cast<std::int64_t>(parts[0].length());
    operation.lastFileConnections = 8;
    window.overwriteAnswer = OverwriteAnswer::Resume;
    download({ "/pub/l.bin" });
    EXPECT_EQ(readAll(victim), victimBytes);
    EXPECT_TRUE(
        commands("REST").contains("REST " + QByteArray::number(static_cast<qulonglong>(parts[2].start))))
        << "the link's bytes never count as the part's";
}

TEST_F(DownloadServers, ACompleteFileAndSkipAllAskOnceAndFetchNothing)
{
    const QByteArray a = serve(QStringLiteral("/pub/a.bin"), 100, 1);
    const QByteArray b = serve(QStringLiteral("/pub/b.bin"), 200, 2);
    ASSERT_TRUE(startServer(FtpServerKind::Family));
    writeBytes(local.filePath(QStringLiteral("a.bin")), a);
    writeBytes(local.filePath(QStringLiteral("b.bin")), b);
    window.overwriteAnswer = OverwriteAnswer::SkipAll;
    download({ "/pub/a.bin", "/pub/b.bin" });
    EXPECT_EQ(window.questions, QList<ExistenceKind> { ExistenceKind::Completely });
    EXPECT_TRUE(commands("RETR").isEmpty());
    EXPECT_TRUE(finished);
    EXPECT_EQ(readAll(local.filePath(QStringLiteral("a.bin"))), a);
}

TEST_F(DownloadServers, APartDroppedMidwayIsFinishedByAnotherTransfer)
{
    const QByteArray bytes = serve(QStringLiteral("/pub/d.bin"), 2000000);
    ASSERT_TRUE(startServer(FtpServerKind::Family,
        { QStringLiteral("--drop-after"), QStringLiteral("50000"), QStringLiteral("--drop-transfers"),
            QStringLiteral("1") }));
    attempts = 2;
    download({ "/pub/d.bin" });
    EXPECT_TRUE(finished) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(md5Of(readAll(local.filePath(QStringLiteral("d.bin")))), md5Of(bytes));
    EXPECT_GE(commands("RETR").size(), 9) << "eight parts and the rest of the dropped one";
    EXPECT_EQ(localFiles(), QStringList { QStringLiteral("d.bin") });
}

// The user's attempts hold for each part: a server that drops every
// transfer gets each part asked for that many times, and the file ends
// not complete, named, instead of being tried on and on.
TEST_F(DownloadServers, EachPartIsTriedAsOftenAsTheAttemptsAllowAndNoMore)
{
    serve(QStringLiteral("/pub/e.bin"), 2000000);
    ASSERT_TRUE(startServer(FtpServerKind::Family,
        { QStringLiteral("--drop-after"), QStringLiteral("50000"), QStringLiteral("--drop-transfers"),
            QStringLiteral("1000") }));
    attempts = 2;
    download({ "/pub/e.bin" });
    EXPECT_FALSE(finished);
    EXPECT_EQ(failedFiles, 1);
    constexpr qsizetype parts = 8; // as for the file above
    EXPECT_LE(commands("RETR").size(), 2 * parts) << server->commandLog().toStdString();
    EXPECT_GE(commands("RETR").size(), parts + 1) << "a dropped part is asked for again";
}

TEST_F(DownloadServers, AServerTakingThreeConnectionsGetsEveryPartOverThem)
{
    const QByteArray bytes = serve(QStringLiteral("/pub/m.bin"), 1500000);
    ASSERT_TRUE(
        startServer(FtpServerKind::Family, { QStringLiteral("--max-connections"), QStringLiteral("3") }));
    download({ "/pub/m.bin" });
    EXPECT_TRUE(finished) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(readAll(local.filePath(QStringLiteral("m.bin"))), bytes);
    EXPECT_GE(commands("RETR").size(), 8);
    // Connections turned away with 421 are given up, not retried in a loop.
    EXPECT_EQ(commands("PASS").size(), 3) << server->commandLog().toStdString();
}

// ---------------------------------------------------------------- stop

class DownloadStop : public DownloadServers, public testing::WithParamInterface<bool>
{
};

TEST_P(DownloadStop, NoDeletesTargetAndPartsYesKeepsThemForTheNextRun)
{
    const bool keep = GetParam();
    const QByteArray bytes = serve(QStringLiteral("/pub/s.bin"), 4000000);
    ASSERT_TRUE(startServer(FtpServerKind::Family, { QStringLiteral("--rate"), QStringLiteral("200000") }));
    prompter.answer = keep;
    {
        LoaderInputs in = inputs();
        in.request.items.files = { entryAt("/pub/s.bin", 4000000) };
        LoaderThread worker(std::move(in));
        worker.start(OperationPriority::Normal);
        processEventsUntil(
            [&] { return worker.progress()->currentFileBytes > 800000 || worker.isFinished(); },
            QDeadlineTimer(std::chrono::seconds(30)));
        worker.stopAndWait();
        EXPECT_TRUE(worker.progress()->stopped);
    }
    ASSERT_FALSE(prompter.messages.isEmpty());
    EXPECT_TRUE(prompter.messages.last().startsWith(
        QStringLiteral("Do you prefer to be able to resume the file\n\"/pub/s.bin\"")));
    if (!keep) {
        EXPECT_TRUE(localFiles().isEmpty()) << localFiles().join(QLatin1Char(' ')).toStdString();
        return;
    }
    EXPECT_EQ(localFiles(), (QStringList { QStringLiteral("s.bin.0"), QStringLiteral("s.bin.parts") }));
    server.reset();
    ASSERT_TRUE(startServer(FtpServerKind::Family));
    window.overwriteAnswer = OverwriteAnswer::Resume;
    prompter.answer = true; // use the cache
    download({ "/pub/s.bin" });
    EXPECT_TRUE(finished) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(readAll(local.filePath(QStringLiteral("s.bin"))), bytes);
    const auto parts = splitIntoParts(4000000, 8);
    for (const QByteArray& rest : commands("REST")) {
        const qulonglong offset = rest.mid(5).toULongLong();
        if (offset == 0 || offset == 100)
            continue;
        EXPECT_TRUE(
            std::none_of(parts.begin(), parts.end(), [&](const FilePart& p) { return p.start == offset; }))
            << "every part resumes past its start: " << rest.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Download, DownloadStop, testing::Bool(),
    [](const auto& info) { return info.param ? std::string("Yes") : std::string("No"); });

// ---------------------------------------------------------------- mended faults

TEST_F(DownloadServers, ADigestThatDiffersIsReportedAndTheRunDoesNotFinish)
{
    const QByteArray bytes = serve(QStringLiteral("/pub/x.bin"), 300000);
    ASSERT_TRUE(startServer(FtpServerKind::Family));
    // A cached entry carries the digest the server gave earlier.
    const std::string wrong = "0123456789ABCDEF0123456789ABCDEF";
    directoryCache cache;
    cache.add(listedEntry("/pub/x.bin", "", 300000, wrong));
    QDir().mkpath(cacheFolder());
    ASSERT_TRUE(cache.save(cacheFolder() + QStringLiteral("/directoryCacheTest.fch")));
    operation.cacheFile = "directoryCacheTest.fch";
    operation.request.site.supportsRest = true;
    operation.request.site.supportsMd5 = true;
    prompter.answer = true;
    LoaderInputs in = inputs();
    in.request.items.files = { listedEntry("/pub/x.bin", "", 300000, wrong) };
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    EXPECT_FALSE(worker.progress()->finished);
    EXPECT_TRUE(worker.progress()->stopped);
    EXPECT_EQ(worker.progress()->digestMismatches, 1);
    EXPECT_EQ(readAll(local.filePath(QStringLiteral("x.bin"))), bytes) << "the file is kept";
    ASSERT_FALSE(prompter.messages.isEmpty());
    const QString message = prompter.messages.last();
    EXPECT_TRUE(message.contains(QStringLiteral("/pub/x.bin")));
    EXPECT_TRUE(message.contains(QString::fromStdString(wrong)));
    EXPECT_TRUE(message.contains(QString::fromStdString(md5Of(bytes))));
}

class DownloadLookAlikes : public DownloadServers, public testing::WithParamInterface<bool>
{
};

TEST_P(DownloadLookAlikes, AFileNamedLikeAnotherFilesPartComesOutIntact)
{
    const QByteArray whole = serve(QStringLiteral("/pub/a.bin"), 400000, 1);
    const QByteArray part = serve(QStringLiteral("/pub/a.bin.0"), 300000, 2);
    ASSERT_TRUE(startServer(FtpServerKind::Family));
    if (GetParam())
        download({ "/pub/a.bin", "/pub/a.bin.0" });
    else
        download({ "/pub/a.bin.0", "/pub/a.bin" });
    EXPECT_TRUE(finished) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(readAll(local.filePath(QStringLiteral("a.bin"))), whole);
    EXPECT_EQ(readAll(local.filePath(QStringLiteral("a.bin.0"))), part);
    EXPECT_EQ(localFiles(), (QStringList { QStringLiteral("a.bin"), QStringLiteral("a.bin.0") }));
}

INSTANTIATE_TEST_SUITE_P(Download, DownloadLookAlikes, testing::Bool(),
    [](const auto& info) { return info.param ? std::string("WholeFirst") : std::string("PartFirst"); });

TEST_F(DownloadServers, ALeftoverThatOnlyLooksLikeAPartIsNeitherMergedNorDeleted)
{
    const QByteArray bytes = serve(QStringLiteral("/pub/l.bin"), 400000);
    ASSERT_TRUE(startServer(FtpServerKind::Family));
    writeBytes(local.filePath(QStringLiteral("l.bin.0")), QByteArray(50000, 'u'));
    download({ "/pub/l.bin" });
    EXPECT_TRUE(finished);
    EXPECT_TRUE(window.questions.isEmpty());
    EXPECT_EQ(readAll(local.filePath(QStringLiteral("l.bin"))), bytes);
    EXPECT_EQ(readAll(local.filePath(QStringLiteral("l.bin.0"))), QByteArray(50000, 'u'));
}

TEST_F(DownloadServers, AnAsciiFileComesWholeInOnePartWithItsOwnLineEndsAndNoDigestCheck)
{
    // The server sends every LF as CR LF; thousands of them cross the
    // boundaries of the reads. A CR of its own stays what it is.
    QByteArray text;
    for (int i = 0; i < 40000; ++i)
        text += i % 1000 == 0 ? QByteArray("a lone \r in line ") + QByteArray::number(i) + '\n' : "line\n";
    writeBytes(remote.path() + QStringLiteral("/pub/t.txt"), text);
    ASSERT_TRUE(startServer(FtpServerKind::Family));
    download({ "/pub/t.txt" });
    EXPECT_TRUE(finished) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(prompter.messages.isEmpty());
    EXPECT_EQ(commands("RETR").size(), 1);
    EXPECT_TRUE(commands("TYPE").contains("TYPE A"));
    EXPECT_TRUE(commands("SITE MD5").contains("SITE MD5 /pub/t.txt")) << "the digest was known";
    const QByteArray arrived = readAll(local.filePath(QStringLiteral("t.txt")));
    EXPECT_EQ(arrived.size(), text.size());
    EXPECT_TRUE(arrived == text) << "the bytes of the server's file, LF line ends";
    EXPECT_TRUE(window.statuses.contains(
        QStringLiteral("MD5 digest of /pub/t.txt not checked: an ASCII transfer changed its line ends")))
        << window.statuses.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(localFiles(), QStringList { QStringLiteral("t.txt") });
}

TEST_F(DownloadServers, AFolderKeepsItsStructureBelowTheLocalBase)
{
    const QByteArray one = serve(QStringLiteral("/pub/tree/one.bin"), 70000, 3);
    const QByteArray two = serve(QStringLiteral("/pub/tree/sub/two.bin"), 10, 4);
    ASSERT_TRUE(startServer(FtpServerKind::Family));
    download({}, { "/pub/tree" });
    EXPECT_TRUE(finished);
    EXPECT_EQ(readAll(local.filePath(QStringLiteral("tree/one.bin"))), one);
    EXPECT_EQ(readAll(local.filePath(QStringLiteral("tree/sub/two.bin"))), two);
}

// The digests of a folder's files are asked a batch at a time: each file
// must still be checked against its own digest, across batch boundaries and
// in the operation's own list (asked from the last file to the first).
TEST_F(DownloadServers, EveryFileIsCheckedAgainstItsOwnDigestWhenTheyAreAskedTogether)
{
    std::map<QString, QByteArray> served;
    for (int i = 0; i < 120; ++i) {
        const QString name = QStringLiteral("many/f%1.bin").arg(i, 3, 10, QLatin1Char('0'));
        served[name] = serve(QStringLiteral("/pub/") + name, 200 + i, i + 10);
    }
    std::vector<std::string> ownFiles;
    for (int i = 0; i < 60; ++i) {
        const QString name = QStringLiteral("own%1.bin").arg(i, 2, 10, QLatin1Char('0'));
        served[name] = serve(QStringLiteral("/pub/") + name, 100 + i, i + 200);
        ownFiles.push_back("/pub/" + name.toStdString());
    }
    ASSERT_TRUE(startServer(FtpServerKind::Family));
    download(ownFiles, { "/pub/many" });
    EXPECT_TRUE(finished) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(failedFiles, 0);
    for (const auto& [name, bytes] : served)
        EXPECT_EQ(readAll(local.filePath(name)), bytes) << name.toStdString();
    const QList<QByteArray> queries = commands("SITE MD5 ");
    ASSERT_EQ(queries.size(), 180);
    EXPECT_EQ(queries.first(), "SITE MD5 /pub/own59.bin");
    EXPECT_EQ(queries[60], "SITE MD5 /pub/many/f000.bin");
    EXPECT_EQ(queries.last(), "SITE MD5 /pub/many/f119.bin");
}

// ---------------------------------------------------------------- walks and restarts

// The restart's cache question defaults to Yes, so an automatic restart
// takes the cache unattended: it must never stand for part of the tree.
TEST_F(DownloadServers, AWalkStoppedHalfwayIsWalkedOnByTheRestartAndEveryFileArrives)
{
    const std::map<QString, QByteArray> served {
        { QStringLiteral("t/0.bin"), serve(QStringLiteral("/pub/t/0.bin"), 100, 1) },
        { QStringLiteral("t/a/1.bin"), serve(QStringLiteral("/pub/t/a/1.bin"), 200, 2) },
        { QStringLiteral("t/b/2.bin"), serve(QStringLiteral("/pub/t/b/2.bin"), 300, 3) },
        { QStringLiteral("t/b/c/3.bin"), serve(QStringLiteral("/pub/t/b/c/3.bin"), 400, 4) },
    };
    ASSERT_TRUE(startServer(FtpServerKind::Family));
    downloadStoppedAt(inputsFor({}, { "/pub/t" }), QStringLiteral("Changing remote path to /pub/t/b"));
    EXPECT_TRUE(localFiles().isEmpty());

    prompter.answer = true; // as nobody answering the cache question
    LoaderThread restarted(inputsFor({}, { "/pub/t" }));
    ASSERT_TRUE(runToEnd(restarted));
    EXPECT_TRUE(restarted.progress()->finished) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(restarted.progress()->totalBytes, 100 + 200 + 300 + 400)
        << "the cached files and the walked ones";
    EXPECT_TRUE(prompter.messages.contains(LoaderTexts::cacheQuestion()));
    for (const auto& [name, bytes] : served)
        EXPECT_EQ(readAll(local.filePath(name)), bytes) << name.toStdString();
    EXPECT_EQ(commands("CWD /pub/t").count("CWD /pub/t"), 1)
        << "the restart walked on from where the walk stopped";
    const auto cached = directoryCache::load(
        cacheFolder() + QLatin1Char('/') + QString::fromStdString(operation.cacheFile));
    ASSERT_TRUE(cached);
    EXPECT_EQ(cached->files.size(), served.size());
    EXPECT_TRUE(cached->unwalkedFolders.empty());
}

TEST_F(DownloadServers, AnAnswerNoDiscardsTheCacheOnlyWhenTheNewWalkIsThere)
{
    serve(QStringLiteral("/pub/t/a/1.bin"), 200, 2);
    serve(QStringLiteral("/pub/t/b/2.bin"), 300, 3);
    ASSERT_TRUE(startServer(FtpServerKind::Family));
    download({}, { "/pub/t" });
    ASSERT_TRUE(finished);
    const std::string cacheFile = operation.cacheFile;
    const QString cachePath = cacheFolder() + QLatin1Char('/') + QString::fromStdString(cacheFile);
    const QByteArray cached = readAll(cachePath);
    const std::int32_t index = operation.lastFileIndex;
    ASSERT_FALSE(cached.isEmpty());

    prompter.answer = false; // walk the tree again
    downloadStoppedAt(inputsFor({}, { "/pub/t" }), QStringLiteral("Changing remote path to /pub/t/b"));
    EXPECT_EQ(operation.cacheFile, cacheFile);
    EXPECT_EQ(readAll(cachePath), cached);
    EXPECT_EQ(operation.lastFileIndex, index);

    serve(QStringLiteral("/pub/t/b/3.bin"), 400, 4);
    download({}, { "/pub/t" });
    EXPECT_TRUE(finished);
    EXPECT_EQ(operation.cacheFile, cacheFile);
    const auto walked = directoryCache::load(cachePath);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->files.size(), 3u) << "written under the same name once the walk was there";
}

TEST_F(DownloadServers, ARestartFromTheCacheGoesOnAtTheFileItStoppedIn)
{
    const std::vector<std::string> own { "/pub/f1.bin", "/pub/f2.bin", "/pub/f3.bin" };
    std::map<QString, QByteArray> served;
    for (int i = 1; i <= 3; ++i) {
        const QString name = QStringLiteral("f%1.bin").arg(i);
        served[name] = serve(QStringLiteral("/pub/") + name, 5000 * i, i);
    }
    ASSERT_TRUE(startServer(FtpServerKind::Family));
    prompter.answer = true; // keep what the stopped file has
    const QString stoppedIn
        = downloadStoppedAt(inputsFor(own, {}), QStringLiteral("Download starting..."), 2);
    const QList<QByteArray> firstRun = commands("RETR");

    window.overwriteAnswer = OverwriteAnswer::Resume;
    download(own);
    EXPECT_TRUE(finished) << prompter.messages.join(QLatin1Char('|')).toStdString();
    for (const auto& [name, bytes] : served)
        EXPECT_EQ(readAll(local.filePath(name)), bytes) << name.toStdString();
    const QList<QByteArray> retrs = commands("RETR");
    ASSERT_GT(retrs.size(), firstRun.size());
    EXPECT_EQ(retrs[firstRun.size()], "RETR " + stoppedIn.toUtf8())
        << "the restart begins with the file it stopped in";
}

// Answering No walks the tree again; the file stopped in must still be
// found, though a new file now comes before it, and go on in its parts.
TEST_F(DownloadServers, ARestartThatWalksAgainStillResumesThePartsOfTheFileItStoppedIn)
{
    const QByteArray small = serve(QStringLiteral("/pub/small.bin"), 100, 1);
    const QByteArray big = serve(QStringLiteral("/pub/big/sub/b.bin"), 4000000, 2);
    ASSERT_TRUE(startServer(FtpServerKind::Family, { QStringLiteral("--rate"), QStringLiteral("200000") }));
    prompter.answer = true; // keep the parts
    {
        LoaderThread worker(inputsFor({ "/pub/small.bin" }, { "/pub/big" }));
        worker.start(OperationPriority::Normal);
        processEventsUntil(
            [&] { return worker.progress()->currentFileBytes > 800000 || worker.isFinished(); },
            QDeadlineTimer(std::chrono::seconds(30)));
        worker.stopAndWait();
        ASSERT_TRUE(worker.progress()->stopped);
    }
    const QString target = local.filePath(QStringLiteral("big/sub/b.bin"));
    ASSERT_TRUE(QFileInfo::exists(partFileName(target, 0)));
    ASSERT_TRUE(QFileInfo::exists(partRecordName(target)));
    const QByteArray added = serve(QStringLiteral("/pub/big/new.bin"), 50, 3);

    server.reset();
    ASSERT_TRUE(startServer(FtpServerKind::Family));
    prompter.answer = false; // walk the tree again
    window.overwriteAnswer = OverwriteAnswer::Resume;
    download({ "/pub/small.bin" }, { "/pub/big" });
    EXPECT_TRUE(finished) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(readAll(target), big);
    EXPECT_EQ(readAll(local.filePath(QStringLiteral("big/new.bin"))), added);
    EXPECT_EQ(QDir(local.filePath(QStringLiteral("big/sub"))).entryList(QDir::Files),
        QStringList { QStringLiteral("b.bin") });
    const auto parts = splitIntoParts(4000000, 8);
    for (const QByteArray& rest : commands("REST")) {
        const qulonglong offset = rest.mid(5).toULongLong();
        EXPECT_TRUE(offset == 0 || offset == 100
            || std::none_of(parts.begin(), parts.end(), [&](const FilePart& p) { return p.start == offset; }))
            << "every part goes on past its start: " << rest.toStdString();
    }
}

// ---------------------------------------------------------------- files already there

struct ThereCase {
    const char* name;
    qint64 localSize; // of bytes that are not the remote file's
    bool windowShown; // false: nobody answers
    OverwriteAnswer answer;
    const char* keptAs; // where the remote file lands; "" nowhere
    bool localKept; // the file that was there is untouched
};

class DownloadFileThere : public DownloadServers, public testing::WithParamInterface<ThereCase>
{
};

// A file of the target's name that this program did not write for the
// remote file is never resumed, nor taken as complete when its digest is
// not the server's.
TEST_P(DownloadFileThere, IsAnotherFileUnlessItIsThisDownloadsOwn)
{
    const ThereCase& c = GetParam();
    const QByteArray bytes = serve(QStringLiteral("/pub/a.bin"), 300000);
    ASSERT_TRUE(startServer(FtpServerKind::Family));
    const QByteArray other = content(c.localSize, 9);
    writeBytes(local.filePath(QStringLiteral("a.bin")), other);
    window.overwriteAnswer = c.answer;
    LoaderInputs in = inputs();
    if (!c.windowShown)
        in.window = nullptr;
    in.request.items.files = { entryAt("/pub/a.bin", 300000) };
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    if (c.windowShown) {
        EXPECT_EQ(window.questions, QList<ExistenceKind> { ExistenceKind::Unrelated });
    }
    for (const QByteArray& rest : commands("REST"))
        EXPECT_NE(rest, "REST " + QByteArray::number(c.localSize)) << "nothing of it is resumed";
    if (c.localKept) {
        EXPECT_TRUE(readAll(local.filePath(QStringLiteral("a.bin"))) == other) << "the file there is kept";
    }
    if (*c.keptAs != '\0') {
        EXPECT_TRUE(readAll(local.filePath(QString::fromLatin1(c.keptAs))) == bytes);
        EXPECT_TRUE(worker.progress()->finished);
    } else {
        EXPECT_TRUE(commands("RETR").isEmpty());
    }
    // Skipping a file of the remote size whose digest differs is no success.
    const bool sameSizeSkipped = c.localSize == 300000 && *c.keptAs == '\0';
    EXPECT_EQ(worker.progress()->digestMismatches, sameSizeSkipped ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Download, DownloadFileThere,
    testing::Values(ThereCase { "smallerKeepBoth", 1000, true, OverwriteAnswer::KeepBoth, "a (1).bin", true },
        ThereCase { "smallerOverwrite", 1000, true, OverwriteAnswer::Overwrite, "a.bin", false },
        ThereCase { "smallerSkip", 1000, true, OverwriteAnswer::Skip, "", true },
        ThereCase { "smallerNobodyAnswers", 1000, false, OverwriteAnswer::Overwrite, "a (1).bin", true },
        ThereCase { "sameSizeOtherDigestNobodyAnswers", 300000, false, OverwriteAnswer::Overwrite,
            "a (1).bin", true },
        ThereCase { "sameSizeOtherDigestSkip", 300000, true, OverwriteAnswer::SkipAll, "", true },
        ThereCase { "largerNobodyAnswers", 400000, false, OverwriteAnswer::Overwrite, "a (1).bin", true }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DownloadServers, KeepingBothTakesTheFirstFreeNumberAndFindsItsCopyAgainLater)
{
    const QByteArray bytes = serve(QStringLiteral("/pub/r.bin"), 90000);
    ASSERT_TRUE(startServer(FtpServerKind::Family));
    writeBytes(local.filePath(QStringLiteral("r.bin")), "mine");
    writeBytes(local.filePath(QStringLiteral("r (1).bin")), "also mine");
    window.overwriteAnswer = OverwriteAnswer::KeepBothAll;
    download({ "/pub/r.bin" });
    EXPECT_TRUE(finished);
    EXPECT_EQ(readAll(local.filePath(QStringLiteral("r.bin"))), "mine");
    EXPECT_EQ(readAll(local.filePath(QStringLiteral("r (1).bin"))), "also mine");
    EXPECT_TRUE(readAll(local.filePath(QStringLiteral("r (2).bin"))) == bytes);
    EXPECT_TRUE(window.statuses.contains(
        QStringLiteral("/pub/r.bin saved as %1: a file that is not this download has its name")
            .arg(local.filePath(QStringLiteral("r (2).bin")))))
        << window.statuses.join(QLatin1Char('|')).toStdString();
    // The same download again: its copy is found and asked about as
    // complete, not a third one made.
    window.questions.clear();
    window.answerFor = [](ExistenceKind kind) {
        return kind == ExistenceKind::Unrelated ? OverwriteAnswer::KeepBoth : OverwriteAnswer::Skip;
    };
    const qsizetype retrs = commands("RETR").size();
    operation = ftpOperationObject();
    download({ "/pub/r.bin" });
    EXPECT_EQ(
        window.questions, (QList<ExistenceKind> { ExistenceKind::Unrelated, ExistenceKind::Completely }));
    EXPECT_EQ(commands("RETR").size(), retrs);
    EXPECT_TRUE(finished);
    EXPECT_FALSE(QFileInfo::exists(local.filePath(QStringLiteral("r (3).bin"))));
}

TEST_F(DownloadServers, AFileThisProgramLeftPartialIsResumedFromItsRecord)
{
    const QByteArray bytes = serve(QStringLiteral("/pub/p.bin"), 60000);
    ASSERT_TRUE(startServer(FtpServerKind::Family));
    const QString target = local.filePath(QStringLiteral("p.bin"));
    writeBytes(target, bytes.left(25000));
    ASSERT_TRUE(writePartRecord(
        partRecordName(target), PartRecord { 60000, 60000, { 20000 }, "/pub/p.bin", "" }, nullptr));
    window.overwriteAnswer = OverwriteAnswer::Resume;
    download({ "/pub/p.bin" });
    EXPECT_TRUE(finished) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(window.questions, QList<ExistenceKind> { ExistenceKind::Partially });
    EXPECT_TRUE(commands("REST").contains("REST 20000")) << "no more than the record says";
    EXPECT_TRUE(readAll(target) == bytes);
    EXPECT_EQ(localFiles(), QStringList { QStringLiteral("p.bin") });
}

TEST_F(DownloadServers, ARecordOfTheRemoteFileAsItWasBeforeResumesNothing)
{
    const QByteArray bytes = serve(QStringLiteral("/pub/c.bin"), 60000);
    ASSERT_TRUE(startServer(FtpServerKind::Family));
    const QString target = local.filePath(QStringLiteral("c.bin"));
    writeBytes(target, QByteArray(20000, 'o'));
    ASSERT_TRUE(writePartRecord(
        partRecordName(target), PartRecord { 50000, 50000, { 20000 }, "/pub/c.bin", "" }, nullptr));
    window.overwriteAnswer = OverwriteAnswer::Resume;
    download({ "/pub/c.bin" });
    EXPECT_TRUE(finished);
    EXPECT_FALSE(commands("REST").contains("REST 20000"));
    EXPECT_TRUE(readAll(target) == bytes);
    EXPECT_EQ(localFiles(), QStringList { QStringLiteral("c.bin") });
}

TEST_F(DownloadServers, TwoRemoteFilesOfOneLocalNameAreBothKept)
{
    const QByteArray first = serve(QStringLiteral("/pub/x/same.bin"), 70000, 1);
    const QByteArray second = serve(QStringLiteral("/pub/y/same.bin"), 70000, 2);
    ASSERT_TRUE(startServer(FtpServerKind::Family));
    download({ "/pub/x/same.bin", "/pub/y/same.bin" });
    EXPECT_TRUE(finished) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(window.questions.isEmpty());
    // The operation's own files go from the last to the first, as its cache
    // holds them: the second file takes the name first.
    EXPECT_TRUE(readAll(local.filePath(QStringLiteral("same.bin"))) == second);
    EXPECT_TRUE(readAll(local.filePath(QStringLiteral("same (1).bin"))) == first);
    EXPECT_TRUE(window.statuses.contains(
        QStringLiteral("/pub/x/same.bin saved as %1: another file of this download has its name")
            .arg(local.filePath(QStringLiteral("same (1).bin")))))
        << window.statuses.join(QLatin1Char('|')).toStdString();
}

// Names on the local disk, as bytes.
QList<QByteArray> nativeNames(const QString& folder)
{
    QList<QByteArray> names;
    if (DIR* dir = ::opendir(QFile::encodeName(folder).constData())) {
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..")
                names << name;
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(DownloadServers, Latin1NamesKeepTheirBytesLocally)
{
    // Two names that are not UTF-8 and differ in one byte: as text both
    // would read "caf\uFFFD.txt".
    const QByteArray folder = QFile::encodeName(remote.path()) + "/pub/l";
    QDir().mkpath(remote.path() + QStringLiteral("/pub/l"));
    const QList<QByteArray> names { QByteArray("caf\xe8.bin"), QByteArray("caf\xe9.bin") };
    for (int i = 0; i < names.size(); ++i) {
        const int fd = ::open((folder + '/' + names[i]).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        const QByteArray bytes = content(1000 + i, i + 30);
        ASSERT_EQ(::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
        ::close(fd);
    }
    ASSERT_TRUE(startServer(FtpServerKind::Vsftpd)) << server->error().toStdString();
    download({}, { "/pub/l" });
    EXPECT_TRUE(finished) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(window.questions.isEmpty());
    EXPECT_EQ(nativeNames(local.filePath(QStringLiteral("l"))), names);
    for (int i = 0; i < names.size(); ++i) {
        const int fd = ::open(
            (QFile::encodeName(local.filePath(QStringLiteral("l"))) + '/' + names[i]).constData(), O_RDONLY);
        ASSERT_GE(fd, 0);
        QByteArray got(5000, '\0');
        const ssize_t n = ::read(fd, got.data(), static_cast<size_t>(got.size()));
        ::close(fd);
        got.truncate(n);
        EXPECT_TRUE(got == content(1000 + i, i + 30)) << i;
    }
}

} // namespace
