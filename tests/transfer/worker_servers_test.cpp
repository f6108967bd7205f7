// The worker against the family FTP server, vsftpd and a scripted server:
// login and probes, the passive switch, walks and the directory cache, the
// transfer type, upload with pause and resume, delete, a stop, a borrowed
// connection, and a hostile listing.

#include "FakeWorker.h"
#include "FtpTestServer.h"
#include "ScriptedFtpServer.h"
#include "TempHome.h"
#include "TransferEntries.h"
#include "common/ProgramFolders.h"
#include "loader_test_support.h"
#include "net/TFtpClient.h"
#include "transfer/DeleteBranch.h"
#include "transfer/DirectoryCache.h"
#include "transfer/LoaderManager.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace
{

void writeFile(const QString& path, qint64 size)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(size, 'x'));
}

class WorkerServers : public testing::Test
{
protected:
    // A tree with nested folders, an awkward name, links to a file and to a
    // folder, and an empty folder.
    void makeTree()
    {
        const QString root = remote.path();
        writeFile(root + QStringLiteral("/pub/top.bin"), 10);
        writeFile(root + QStringLiteral("/pub/a/one.txt"), 11);
        writeFile(root + QStringLiteral("/pub/a/b/two words.bin"), 12);
        writeFile(root + QStringLiteral("/pub/a/b/c/three.bin"), 13);
        QDir().mkpath(root + QStringLiteral("/pub/empty"));
        QFile::link(root + QStringLiteral("/pub/top.bin"), root + QStringLiteral("/pub/a/filelink"));
        QFile::link(root + QStringLiteral("/pub/a/b"), root + QStringLiteral("/pub/a/folderlink"));
    }

    bool startServer(const QStringList& switches = {}, FtpServerKind kind = FtpServerKind::Family)
    {
        server = std::make_unique<FtpTestServer>(kind, remote.path(), switches);
        return server->running();
    }

    // For the server started last, or the scripted server on `port`.
    LoaderInputs inputs(OperationKind kind, quint16 port = 0)
    {
        LoaderInputs in;
        in.request.site.hostAddress = "127.0.0.1";
        in.request.site.displayAddress = "127.0.0.1";
        in.request.site.port = port != 0 ? port : server->port();
        in.request.site.anonymous = false;
        in.request.site.userId = "tester";
        in.request.site.password = "secret";
        in.request.site.initialDirectory = "/";
        in.options.Attempts = 1;
        in.options.TimeoutPeriod = 20;
        in.request.kind = kind;
        in.operation = &operation;
        in.prompter = &prompter;
        in.window = &window;
        in.request.destination = local.path();
        return in;
    }

    // A folder walked over passive data connections, as the scripted server
    // takes them.
    LoaderInputs passiveFolderInputs(OperationKind kind, quint16 port, const std::string& folder)
    {
        LoaderInputs in = inputs(kind, port);
        in.options.AlwaysUsePassiveMode = true;
        in.request.items.folders = { entryAt(folder) };
        return in;
    }

    QList<QByteArray> commands() const
    {
        QList<QByteArray> lines;
        for (const QByteArray& line : server->commandLog().split('\n')) {
            if (!line.isEmpty())
                lines << line.trimmed();
        }
        return lines;
    }

    // Starts the worker and stops it `afterMs` after connection 0 first
    // shows `status`; how long the stop took, or nothing when the status
    // never came.
    std::optional<qint64> stopAfterStatus(LoaderThread& worker, const QString& status, int afterMs)
    {
        bool shown = false;
        window.onStatus = [&](const QString& text) { shown |= text == status; };
        worker.start(OperationPriority::Normal);
        const bool came = processEventsUntil([&] { return shown; }, QDeadlineTimer(std::chrono::seconds(20)))
            == WaitOutcome::Ready;
        window.onStatus = nullptr;
        if (!came)
            return std::nullopt;
        QThread::msleep(static_cast<unsigned long>(afterMs));
        QElapsedTimer stopping;
        stopping.start();
        worker.stopAndWait();
        return stopping.elapsed();
    }

    // DELE and RMD, in the order the server received them.
    QList<QByteArray> removalCommands() const
    {
        QList<QByteArray> lines = commands();
        lines.removeIf(
            [](const QByteArray& line) { return !line.startsWith("DELE ") && !line.startsWith("RMD "); });
        return lines;
    }

    TempHome home;
    QTemporaryDir remote;
    QTemporaryDir local;
    std::unique_ptr<FtpTestServer> server;
    ftpOperationObject operation;
    RecordingPrompter prompter;
    RecordingWindow window;
};

TEST_F(WorkerServers, AWrongPasswordEndsTheRunWithTheMessageNamingTheHost)
{
    ASSERT_TRUE(startServer({ QStringLiteral("--refuse-pass"), QStringLiteral("5") }))
        << server->error().toStdString();
    LoaderInputs in = inputs(OperationKind::Delete);
    in.options.Attempts = 3;
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages[0].startsWith(QStringLiteral(
        "Incorrect password or server does not support multiple connections.\nUnable to connect and transfer "
        "to/from 127.0.0.1")))
        << prompter.messages[0].toStdString();
    EXPECT_TRUE(prompter.messages[0].contains(QStringLiteral("Details from server:\n530")));
    EXPECT_TRUE(worker.progress()->stopped);
    EXPECT_EQ(commands().count("PASS secret"), 3);
    EXPECT_FALSE(commands().contains("PASV")) << "no data connection was needed";
}

TEST_F(WorkerServers, NothingListeningGivesTheConnectMessageAfterEveryAttempt)
{
    ASSERT_TRUE(startServer());
    LoaderInputs in = inputs(OperationKind::Delete);
    in.request.site.port = freeTcpPort();
    in.options.Attempts = 2;
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages[0].startsWith(QStringLiteral("Unable to connect to IP address 127.0.0.1")));
    EXPECT_EQ(window.statuses.count(QStringLiteral("Connecting to 127.0.0.1")), 1);
}

TEST_F(WorkerServers, AServerRefusingRestHasNoResumeAndDigestsFollowTheProbe)
{
    makeTree();
    ASSERT_TRUE(startServer({ QStringLiteral("--refuse"), QStringLiteral("REST") }));
    LoaderInputs in = inputs(OperationKind::Download);
    in.request.items.folders = { entryAt("/pub/a") };
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    EXPECT_EQ(worker.progress()->resumeIndicator, -1);
    EXPECT_EQ(worker.progress()->digestIndicator, 1);
    EXPECT_FALSE(window.statuses.contains(QStringLiteral("Resume (REST) support detected.")));
    EXPECT_TRUE(commands().contains("REST 100"));
    EXPECT_TRUE(commands().contains("SITE MD5 /pub/a/one.txt"));
    EXPECT_FALSE(operation.request.site.supportsRest);
    EXPECT_TRUE(operation.request.site.supportsMd5);
}

// A path too long for the digest's command line keeps an unknown digest,
// and the files beside it in the same batch still get theirs; every file
// arrives.
TEST_F(WorkerServers, APathTooLongToAskItsDigestLeavesTheOthersOfItsBatchAsked)
{
    // "RETR " and the path still fit on a line; "SITE MD5 " and the path
    // do not.
    QString deep = QStringLiteral("/pub");
    while (deep.size() + 201 <= 2034)
        deep += QLatin1Char('/') + QString(200, QLatin1Char('d'));
    deep += QLatin1Char('/') + QString(2034 - deep.size() - 1, QLatin1Char('e'));
    writeFile(remote.path() + deep + QStringLiteral("/far.bin"), 21);
    writeFile(remote.path() + QStringLiteral("/pub/near.bin"), 22);
    ASSERT_TRUE(startServer());
    LoaderInputs in = inputs(OperationKind::Download);
    in.request.items.files
        = { entryAt((deep + QStringLiteral("/far.bin")).toStdString(), 21), entryAt("/pub/near.bin", 22) };
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    EXPECT_TRUE(commands().contains("SITE MD5 /pub/near.bin"));
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(worker.progress()->finished);
    EXPECT_EQ(QFileInfo(local.filePath(QStringLiteral("near.bin"))).size(), 22);
    EXPECT_EQ(QFileInfo(local.filePath(QStringLiteral("far.bin"))).size(), 21);
}

TEST_F(WorkerServers, ADownloadWalkListsTheTreeDepthFirstSkipsLinksAndCachesIt)
{
    makeTree();
    ASSERT_TRUE(startServer({ QStringLiteral("--refuse"), QStringLiteral("MD5") }));
    LoaderInputs in = inputs(OperationKind::Download);
    in.request.items.files = { entryAt("/pub/top.bin", 10) };
    in.request.items.folders = { entryAt("/pub/a") };
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(worker.progress()->finished);
    EXPECT_EQ(worker.progress()->digestIndicator, -1);
    EXPECT_EQ(worker.progress()->resumeIndicator, 1);
    ASSERT_FALSE(operation.cacheFile.empty());
    const auto cached = directoryCache::load(
        cacheFolder() + QLatin1Char('/') + QString::fromStdString(operation.cacheFile));
    ASSERT_TRUE(cached);
    EXPECT_TRUE(cached->unwalkedFolders.empty());
    std::vector<std::string> paths;
    for (const TransferEntry& file : cached->files)
        paths.push_back(file.path);
    EXPECT_EQ(paths,
        std::vector<std::string>(
            { "/pub/top.bin", "/pub/a/one.txt", "/pub/a/b/two words.bin", "/pub/a/b/c/three.bin" }));
    EXPECT_EQ(worker.progress()->totalBytes, 10 + 11 + 12 + 13);
    EXPECT_EQ(QFileInfo(cacheFolder() + QLatin1Char('/') + QString::fromStdString(operation.cacheFile))
                  .permissions()
            & (QFile::ReadOther | QFile::ReadGroup),
        QFile::Permissions());
    EXPECT_TRUE(QDir(QDir::tempPath()).entryList({ QStringLiteral("loaderThread*") }).isEmpty());

    // A restart that answers Yes walks nothing: the cache is the file list.
    const int listsBefore = commands().count("LIST");
    prompter.messages.clear();
    LoaderInputs again = inputs(OperationKind::Download);
    again.request.items.files = { entryAt("/pub/top.bin", 10) };
    again.request.items.folders = { entryAt("/pub/a") };
    LoaderThread resumed(std::move(again));
    ASSERT_TRUE(runToEnd(resumed));
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages[0].startsWith(
        QStringLiteral("This operation's directory listing already exists in cache.")));
    EXPECT_EQ(commands().count("LIST"), listsBefore);
    const auto recached = directoryCache::load(
        cacheFolder() + QLatin1Char('/') + QString::fromStdString(operation.cacheFile));
    EXPECT_EQ(recached, cached);
}

// The cache is a file of the program folder that anything could have
// changed between runs: a line naming a path outside the operation's tree
// makes the whole cache untrusted, and the tree is walked again.
TEST_F(WorkerServers, ACacheNamingAPathOutsideTheOperationIsNotTrusted)
{
    makeTree();
    writeFile(remote.path() + QStringLiteral("/pub/secret.bin"), 6);
    ASSERT_TRUE(startServer({ QStringLiteral("--refuse"), QStringLiteral("MD5") }));
    LoaderInputs in = inputs(OperationKind::Download);
    in.request.items.folders = { entryAt("/pub/a") };
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    ASSERT_FALSE(operation.cacheFile.empty());
    QFile cache(cacheFolder() + QLatin1Char('/') + QString::fromStdString(operation.cacheFile));
    ASSERT_TRUE(cache.open(QIODevice::Append));
    cache.write(QByteArray(zeroDigest.data(), zeroDigest.size())
        + "?"
          "?/pub/secret.bin?6\r\n");
    cache.close();
    QFile::remove(local.filePath(QStringLiteral("a/one.txt")));

    const int listsBefore = commands().count("LIST");
    LoaderInputs again = inputs(OperationKind::Download);
    again.request.items.folders = { entryAt("/pub/a") };
    LoaderThread resumed(std::move(again));
    ASSERT_TRUE(runToEnd(resumed));
    EXPECT_TRUE(window.statuses.contains(QStringLiteral(
        "The cached listing names paths outside this operation: the folders are walked again.")));
    EXPECT_GT(commands().count("LIST"), listsBefore) << "the tree is walked again";
    EXPECT_FALSE(commands().contains("RETR /pub/secret.bin"));
    EXPECT_FALSE(QFileInfo::exists(local.filePath(QStringLiteral("secret.bin"))));
    EXPECT_EQ(QFileInfo(local.filePath(QStringLiteral("a/one.txt"))).size(), 11);
}

TEST_F(WorkerServers, AnUploadCreatesTheMissingFoldersAndSendsEveryFileLastFirst)
{
    ASSERT_TRUE(startServer());
    writeFile(local.path() + QStringLiteral("/tree/x.bin"), 1000);
    writeFile(local.path() + QStringLiteral("/tree/sub/y.txt"), 20);
    QDir().mkpath(local.path() + QStringLiteral("/tree/hollow"));
    QFile::link(QStringLiteral("/etc"), local.path() + QStringLiteral("/tree/outside"));
    QFile::link(local.path() + QStringLiteral("/tree"), local.path() + QStringLiteral("/tree/sub/loop"));
    writeFile(local.path() + QStringLiteral("/single.bin"), 7);
    QDir().mkpath(remote.path() + QStringLiteral("/up/tree"));

    LoaderInputs in = inputs(OperationKind::Upload);
    in.request.site.initialDirectory = "/up";
    in.request.items.files = { entryAt((local.path() + QStringLiteral("/single.bin")).toStdString(), 7) };
    in.request.items.folders = { entryAt((local.path() + QStringLiteral("/tree")).toStdString()) };
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(QFileInfo(remote.path() + QStringLiteral("/up/tree/x.bin")).size(), 1000);
    EXPECT_EQ(QFileInfo(remote.path() + QStringLiteral("/up/tree/sub/y.txt")).size(), 20);
    EXPECT_EQ(QFileInfo(remote.path() + QStringLiteral("/up/single.bin")).size(), 7);
    EXPECT_TRUE(QFileInfo(remote.path() + QStringLiteral("/up/tree/hollow")).isDir());
    EXPECT_FALSE(QFileInfo::exists(remote.path() + QStringLiteral("/up/tree/outside")));
    EXPECT_FALSE(QFileInfo::exists(remote.path() + QStringLiteral("/up/tree/sub/loop")));
    const QList<QByteArray> sent = commands();
    EXPECT_FALSE(sent.contains("MKD /up/tree")) << "it exists already";
    EXPECT_TRUE(sent.contains("MKD /up/tree/sub"));
    const auto stores = [&] {
        QList<QByteArray> stored;
        for (const QByteArray& line : sent)
            if (line.startsWith("STOR "))
                stored << line;
        return stored;
    }();
    ASSERT_EQ(stores.size(), 3);
    EXPECT_EQ(stores.back(), "STOR /up/single.bin")
        << "the operation's own file is the first entry, sent last";
    EXPECT_EQ(worker.progress()->finishedBytes, 1027);
}

TEST_F(WorkerServers, AnUploadOfAPartialFileResumesFromTheServersSize)
{
    ASSERT_TRUE(startServer());
    writeFile(local.path() + QStringLiteral("/part.bin"), 5000);
    writeFile(remote.path() + QStringLiteral("/up/part.bin"), 1200);
    window.overwriteAnswer = OverwriteAnswer::Resume;
    LoaderInputs in = inputs(OperationKind::Upload);
    in.request.site.initialDirectory = "/up";
    in.request.items.files = { entryAt((local.path() + QStringLiteral("/part.bin")).toStdString(), 5000) };
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    EXPECT_EQ(window.questions, QList<ExistenceKind>({ ExistenceKind::Partially }));
    EXPECT_TRUE(commands().contains("REST 1200"));
    EXPECT_EQ(QFileInfo(remote.path() + QStringLiteral("/up/part.bin")).size(), 5000);
}

TEST_F(WorkerServers, ADeleteRemovesEachFoldersFilesBeforeItsSubfoldersAndTheFolderLast)
{
    makeTree();
    ASSERT_TRUE(startServer());
    LoaderInputs in = inputs(OperationKind::Delete);
    in.request.items.folders = { entryAt("/pub/a") };
    in.request.items.files = { entryAt("/pub/top.bin", 10) };
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(QFileInfo::exists(remote.path() + QStringLiteral("/pub/a")));
    EXPECT_FALSE(QFileInfo::exists(remote.path() + QStringLiteral("/pub/top.bin")));
    EXPECT_TRUE(QFileInfo::exists(remote.path() + QStringLiteral("/pub/empty")));
    const QList<QByteArray> removals = removalCommands();
    EXPECT_EQ(removals,
        QList<QByteArray>({ "DELE /pub/a/one.txt", "DELE /pub/a/filelink", "DELE /pub/a/folderlink",
            "DELE /pub/a/b/two words.bin", "DELE /pub/a/b/c/three.bin", "RMD /pub/a/b/c", "RMD /pub/a/b",
            "RMD /pub/a", "DELE /pub/top.bin" }));
    EXPECT_FALSE(commands().contains("CWD /pub/a/folderlink")) << "a link is never followed";
}

TEST_F(WorkerServers, AStopDuringARateLimitedUploadEndsItPromptly)
{
    ASSERT_TRUE(startServer({ QStringLiteral("--rate"), QStringLiteral("20000") }));
    writeFile(local.path() + QStringLiteral("/slow.bin"), 2'000'000);
    LoaderInputs in = inputs(OperationKind::Upload);
    in.request.items.files
        = { entryAt((local.path() + QStringLiteral("/slow.bin")).toStdString(), 2'000'000) };
    LoaderThread worker(std::move(in));
    const auto stopTook = stopAfterStatus(worker, QStringLiteral("Upload starting..."), 300);
    ASSERT_TRUE(stopTook);
    EXPECT_LT(*stopTook, 1000);
    EXPECT_TRUE(worker.progress()->stopped);
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.messages.join(QLatin1Char('|')).toStdString();
}

TEST_F(WorkerServers, TheManagerStopsThreeRunningWorkersAndTheirWindowsHearNothingMore)
{
    ASSERT_TRUE(startServer({ QStringLiteral("--rate"), QStringLiteral("20000") }));
    loaderManager manager;
    std::vector<std::unique_ptr<LoaderThread>> workers;
    std::vector<std::unique_ptr<RecordingWindow>> windows;
    for (int i = 0; i < 3; ++i) {
        const QString name = local.path() + QStringLiteral("/slow%1.bin").arg(i);
        writeFile(name, 2'000'000);
        windows.push_back(std::make_unique<RecordingWindow>());
        LoaderInputs in = inputs(OperationKind::Upload);
        in.window = windows.back().get();
        in.request.items.files = { entryAt(name.toStdString(), 2'000'000) };
        workers.push_back(std::make_unique<LoaderThread>(std::move(in)));
        manager.addWorker(workers.back().get());
        workers.back()->start(OperationPriority::Normal);
    }
    const auto uploading
        = [&](size_t i) { return windows[i]->statuses.contains(QStringLiteral("Upload starting...")); };
    // A worker that failed by itself (the server under load) ends on its own;
    // the others must be caught running.
    ASSERT_TRUE(processEventsUntil(
                    [&] {
                        for (size_t i = 0; i < workers.size(); ++i)
                            if (!uploading(i) && !workers[i]->isFinished())
                                return false;
                        return true;
                    },
                    QDeadlineTimer(std::chrono::seconds(60)))
        == WaitOutcome::Ready);
    int caughtRunning = 0;
    for (size_t i = 0; i < workers.size(); ++i) {
        caughtRunning += !workers[i]->isFinished();
        const int shown = windows[i]->calls;
        manager.stopWorker(workers[i].get());
        EXPECT_TRUE(workers[i]->isFinished());
        EXPECT_EQ(windows[i]->calls, shown) << "a stopped worker's window was written to";
        manager.removeWorker(workers[i].get());
    }
    EXPECT_GE(caughtRunning, 1);
    EXPECT_TRUE(manager.workers().empty());
}

TEST_F(WorkerServers, ABorrowedConnectionListsAgainAfterItIsHandedBack)
{
    makeTree();
    ASSERT_TRUE(startServer());
    TFtpClient session;
    session.SetHostName(QStringLiteral("127.0.0.1"));
    session.SetPort(QString::number(server->port()));
    session.SetUserName("tester");
    session.SetPassWord("secret");
    ASSERT_TRUE(session.Open() && session.User() && session.Pass());
    session.ThreadDetach();

    LoaderInputs in = inputs(OperationKind::Delete);
    in.borrowed = &session;
    in.request.items.files = { entryAt("/pub/a/one.txt", 11) };
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    ASSERT_EQ(worker.takeBackBorrowed(), &session);
    EXPECT_FALSE(QFileInfo::exists(remote.path() + QStringLiteral("/pub/a/one.txt")));

    QTemporaryDir listing;
    session.SetHostFileName({});
    session.SetLocalFileName(listing.filePath(QStringLiteral("list")));
    EXPECT_TRUE(session.Dir()) << session.ErrorMessage().toStdString();
    EXPECT_EQ(commands().count("USER tester"), 1) << "the same connection, not a new one";
}

TEST_F(WorkerServers, AFailedLoginSwitchesTheNextAttemptToPassive)
{
    makeTree();
    ASSERT_TRUE(startServer({ QStringLiteral("--refuse"), QStringLiteral("PORT,MD5"),
        QStringLiteral("--refuse-pass"), QStringLiteral("1") }));
    LoaderInputs in = inputs(OperationKind::Download);
    in.options.Attempts = 2;
    in.options.AlwaysUsePassiveMode = false;
    in.request.items.folders = { entryAt("/pub/a/b") };
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(worker.progress()->finished);
    EXPECT_EQ(QFileInfo(local.path() + QStringLiteral("/b/c/three.bin")).size(), 13);
    const QList<QByteArray> sent = commands();
    EXPECT_EQ(sent.count("PASS secret"), 2);
    EXPECT_EQ(sent.count("USER tester"), 2) << "the second attempt keeps the connection";
    EXPECT_TRUE(sent.contains("PASV"));
    EXPECT_FALSE(std::any_of(
        sent.begin(), sent.end(), [](const QByteArray& line) { return line.startsWith("PORT"); }));
}

// vsftpd with PORT disabled: active mode cannot list, passive mode can.
class WorkerPassiveOnly : public WorkerServers, public testing::WithParamInterface<bool>
{
};

TEST_P(WorkerPassiveOnly, ListsOnlyInPassiveMode)
{
    const bool passive = GetParam();
    writeFile(remote.path() + QStringLiteral("/pub/one.txt"), 11);
    ASSERT_TRUE(startServer({ QStringLiteral("port_enable=NO") }, FtpServerKind::Vsftpd))
        << server->error().toStdString();
    LoaderInputs in = inputs(OperationKind::Download);
    in.request.site.anonymous = true;
    in.request.site.password = server->password().toStdString();
    in.options.AlwaysUsePassiveMode = passive;
    in.options.Attempts = 1;
    in.request.items.folders = { entryAt("/pub") };
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    if (passive) {
        EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.messages.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(worker.progress()->finished);
        EXPECT_EQ(QFileInfo(local.path() + QStringLiteral("/pub/one.txt")).size(), 11);
    } else {
        ASSERT_EQ(prompter.messages.size(), 1);
        EXPECT_TRUE(
            prompter.messages[0].startsWith(QStringLiteral("Directory listing retrieval error : \n/pub")))
            << prompter.messages[0].toStdString();
        EXPECT_TRUE(worker.progress()->stopped);
        EXPECT_FALSE(QFileInfo::exists(local.path() + QStringLiteral("/pub/one.txt")));
    }
}

INSTANTIATE_TEST_SUITE_P(Worker, WorkerPassiveOnly, testing::Bool(),
    [](const testing::TestParamInfo<bool>& info) { return info.param ? "Passive" : "Active"; });

TEST_F(WorkerServers, ARefusedUserNameGivesTheUserNameMessage)
{
    ScriptedFtpServer scripted;
    scripted.replies["USER"] = "530 Not you\r\n";
    ASSERT_TRUE(scripted.start());
    LoaderInputs in = inputs(OperationKind::Delete, scripted.port());
    in.options.Attempts = 2;
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages[0].startsWith(
        QStringLiteral("Incorrect username. Unable to connect and transfer to/from 127.0.0.1")))
        << prompter.messages[0].toStdString();
    EXPECT_TRUE(prompter.messages[0].contains(QStringLiteral("530 Not you")));
    EXPECT_EQ(scripted.commands().count("USER tester"), 2);
    EXPECT_FALSE(scripted.received("PASS"));
    EXPECT_TRUE(worker.progress()->stopped);
}

// A server that logs the user in at USER refuses a PASS that follows.
TEST_F(WorkerServers, AServerThatLogsInAtUserGetsNoPass)
{
    ScriptedFtpServer scripted;
    scripted.replies["USER"] = "230 Logged in without password\r\n";
    scripted.replies["PASS"] = "503 Login with USER first\r\n";
    scripted.replies["DELE"] = "250 Deleted\r\n";
    ASSERT_TRUE(scripted.start());
    LoaderInputs in = inputs(OperationKind::Delete, scripted.port());
    in.request.items.files = { entryAt("/pub/a/one.txt", 11) };
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(scripted.received("DELE /pub/a/one.txt"));
    EXPECT_FALSE(scripted.received("PASS"));
    EXPECT_TRUE(window.statuses.contains(QStringLiteral("Logged in to 127.0.0.1")))
        << window.statuses.join(QLatin1Char('|')).toStdString();
}

TEST_F(WorkerServers, TwoAsciiFilesInAutomaticModeSendTypeOnce)
{
    writeFile(remote.path() + QStringLiteral("/pub/t/one.txt"), 0);
    writeFile(remote.path() + QStringLiteral("/pub/t/two.TXT"), 0);
    for (const QString& name : { QStringLiteral("one.txt"), QStringLiteral("two.TXT") }) {
        QFile file(remote.path() + QStringLiteral("/pub/t/") + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("first line\nsecond line\n");
    }
    ASSERT_TRUE(startServer({ QStringLiteral("--refuse"), QStringLiteral("MD5") }));
    LoaderInputs in = inputs(OperationKind::Download);
    in.options.Mode = connectionOptions::Auto;
    in.options.ASCIITypes = { "txt" };
    in.request.items.folders = { entryAt("/pub/t") };
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.messages.join(QLatin1Char('|')).toStdString();
    QList<QByteArray> types;
    for (const QByteArray& line : commands())
        if (line.startsWith("TYPE "))
            types << line;
    EXPECT_EQ(types, QList<QByteArray>({ "TYPE A" }));
    // The server's CR LF line ends land as LF: the files as the server has them.
    for (const QString& name : { QStringLiteral("one.txt"), QStringLiteral("two.TXT") }) {
        QFile file(local.path() + QStringLiteral("/t/") + name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), "first line\nsecond line\n");
    }
}

TEST_F(WorkerServers, APausedUploadResumesFromTheSizeTheServerHolds)
{
    // Large beside the loopback's socket buffers, so the pause comes while
    // the client is still sending.
    constexpr qint64 size = 24 << 20;
    ASSERT_TRUE(startServer({ QStringLiteral("--rate"), QStringLiteral("4000000") }));
    QByteArray content(size, '\0');
    for (qsizetype i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i % 251);
    {
        QFile file(local.path() + QStringLiteral("/paced.bin"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    const QString onServer = remote.path() + QStringLiteral("/paced.bin");
    LoaderInputs in = inputs(OperationKind::Upload);
    in.request.items.files = { entryAt((local.path() + QStringLiteral("/paced.bin")).toStdString(), size) };
    LoaderThread worker(std::move(in));
    worker.start(OperationPriority::Normal);
    const QDeadlineTimer limit(std::chrono::seconds(60));
    ASSERT_EQ(
        processEventsUntil([&] { return QFileInfo(onServer).size() > 4 << 20; }, limit), WaitOutcome::Ready);
    worker.pause();
    // The pause aborts the transfer; give the server time to settle the file.
    processEventsUntil([] { return false; }, QDeadlineTimer(1500));
    const qint64 heldWhilePaused = QFileInfo(onServer).size();
    EXPECT_LT(heldWhilePaused, size);
    worker.resume();
    ASSERT_EQ(processEventsUntil([&] { return worker.isFinished(); }, limit), WaitOutcome::Ready);
    worker.wait();
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(worker.progress()->finished);
    const QList<QByteArray> sent = commands();
    EXPECT_TRUE(sent.contains("REST " + QByteArray::number(heldWhilePaused)));
    EXPECT_EQ(sent.count("STOR /paced.bin"), 2);
    QFile uploaded(onServer);
    ASSERT_TRUE(uploaded.open(QIODevice::ReadOnly));
    EXPECT_TRUE(uploaded.readAll() == content) << "the resumed upload continued at the server's size";
    EXPECT_EQ(worker.progress()->finishedBytes, size);
}

// A folder download from a server whose listing this program cannot read
// (VMS): the walk says so in its status line instead of passing the folder
// off as empty, and fetches nothing.
TEST_F(WorkerServers, AWalkThroughAListingOfAnUnknownFormatSaysSo)
{
    ScriptedFtpServer scripted;
    scripted.download
        = "AAAREADME.TXT;3       12/18   14-MAR-2003 09:12:44.57  [SYSTEM]   (RWED,RWED,RE,RE)\r\n"
          "data.dir;1             1/3     2-FEB-2002 17:01:09.10  [SYSTEM]   (RWE,RWE,RE,RE)\r\n";
    ASSERT_TRUE(scripted.start());
    LoaderInputs in = passiveFolderInputs(OperationKind::Download, scripted.port(), "/pub");
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    EXPECT_TRUE(scripted.received("LIST"));
    EXPECT_FALSE(scripted.received("RETR"));
    EXPECT_TRUE(window.statuses.contains(QStringLiteral("The server's listing format is not understood.")))
        << window.statuses.join(QLatin1Char('|')).toStdString();
}

// A folder's DELE commands go out together, more than one batch of them:
// servers that read one command at a time must answer each in turn.
class WorkerDeleteServers : public WorkerServers, public testing::WithParamInterface<FtpServerKind>
{
};

TEST_P(WorkerDeleteServers, AFolderOfManyFilesIsDeletedWholeFilesFirst)
{
    ASSERT_TRUE(startServer({}, GetParam())) << server->error().toStdString();
    const QByteArray folder = server->uploadFolder() + "/many";
    const QString local = remote.path() + QString::fromUtf8(folder);
    for (int i = 0; i < 120; ++i)
        writeFile(local + QStringLiteral("/f%1.bin").arg(i), 1);
    writeFile(local + QStringLiteral("/sub/last.bin"), 1);
    // vsftpd's anonymous account is not the one that wrote them.
    for (const QString& made : { local, local + QStringLiteral("/sub") })
        QFile::setPermissions(made, QFile::Permissions(0x7777));
    LoaderInputs in = inputs(OperationKind::Delete);
    in.request.site.anonymous = server->user() == "anonymous";
    in.request.site.userId = server->user().toStdString();
    in.request.site.password = server->password().toStdString();
    in.options.AlwaysUsePassiveMode = true;
    in.request.items.folders = { entryAt(folder.toStdString()) };
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(QFileInfo::exists(local));
    const QList<QByteArray> removals = removalCommands();
    ASSERT_EQ(removals.size(), 123) << server->commandLog().toStdString();
    EXPECT_EQ(removals[120], "DELE " + folder + "/sub/last.bin");
    EXPECT_EQ(removals[121], "RMD " + folder + "/sub");
    EXPECT_EQ(removals[122], "RMD " + folder);
}

// A symbolic link on the server's disk, its target named relative to the
// link, so that it also holds inside vsftpd's chroot.
void makeLink(const QString& target, const QString& link)
{
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()), 0)
        << link.toStdString();
}

bool isLinkOnDisk(const QString& path)
{
    struct stat status {
    };
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISLNK(status.st_mode);
}

// A link chosen on its own, and links inside a deleted folder, go as links:
// the folders and files they lead to stay, and the deleted folder empties.
TEST_P(WorkerDeleteServers, LinksAreRemovedAsLinksAndWhatTheyLeadToStays)
{
    ASSERT_TRUE(startServer({}, GetParam())) << server->error().toStdString();
    const QByteArray base = server->uploadFolder();
    const QString onDisk = remote.path() + QString::fromUtf8(base);
    writeFile(onDisk + QStringLiteral("/kept/k1.bin"), 3);
    writeFile(onDisk + QStringLiteral("/kept/sub/k2.bin"), 4);
    writeFile(onDisk + QStringLiteral("/gone/own.bin"), 5);
    makeLink(QStringLiteral("../kept"), onDisk + QStringLiteral("/gone/folderlink"));
    makeLink(QStringLiteral("../kept/k1.bin"), onDisk + QStringLiteral("/gone/filelink"));
    makeLink(QStringLiteral("kept"), onDisk + QStringLiteral("/chosenlink"));
    for (const QString& made : { onDisk, onDisk + QStringLiteral("/gone"), onDisk + QStringLiteral("/kept"),
             onDisk + QStringLiteral("/kept/sub") })
        QFile::setPermissions(made, QFile::Permissions(0x7777));
    const auto deleting = [&](std::vector<TransferEntry> folders, std::vector<TransferEntry> links) {
        LoaderInputs in = inputs(OperationKind::Delete);
        in.request.site.anonymous = server->user() == "anonymous";
        in.request.site.userId = server->user().toStdString();
        in.request.site.password = server->password().toStdString();
        in.options.AlwaysUsePassiveMode = true;
        in.request.items.folders = std::move(folders);
        in.request.items.links = std::move(links);
        return in;
    };
    const auto keptIsWhole = [&] {
        return QFileInfo(onDisk + QStringLiteral("/kept/k1.bin")).size() == 3
            && QFileInfo(onDisk + QStringLiteral("/kept/sub/k2.bin")).size() == 4;
    };

    LoaderThread chosen(deleting({}, { entryAt((base + "/chosenlink").toStdString(), 4) }));
    ASSERT_TRUE(runToEnd(chosen));
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(chosen.progress()->finished);
    EXPECT_FALSE(isLinkOnDisk(onDisk + QStringLiteral("/chosenlink")));
    EXPECT_TRUE(keptIsWhole());
    EXPECT_EQ(removalCommands(), QList<QByteArray>({ "DELE " + base + "/chosenlink" }));

    LoaderThread folder(deleting({ entryAt((base + "/gone").toStdString()) }, {}));
    ASSERT_TRUE(runToEnd(folder));
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(folder.progress()->finished);
    EXPECT_FALSE(QFileInfo::exists(onDisk + QStringLiteral("/gone")));
    EXPECT_TRUE(keptIsWhole());
    EXPECT_EQ(removalCommands(),
        QList<QByteArray>({ "DELE " + base + "/chosenlink", "DELE " + base + "/gone/own.bin",
            "DELE " + base + "/gone/filelink", "DELE " + base + "/gone/folderlink",
            "RMD " + base + "/gone" }))
        << server->commandLog().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Worker, WorkerDeleteServers,
    testing::Values(FtpServerKind::Family, FtpServerKind::Vsftpd, FtpServerKind::Proftpd),
    [](const testing::TestParamInfo<FtpServerKind>& info) {
        return FtpTestServer::kindName(info.param).toStdString();
    });

// A folder's DELE commands go out in batches, each sent whole before its
// replies come back: a refusal cannot hold back the rest of its batch. Every
// refused file is named, the run ends stopped, and neither the next batch,
// nor the subfolder, nor the folder itself is touched.
TEST_F(WorkerServers, RefusedDeletesAreAllNamedAndEndTheRunAfterTheirBatch)
{
    ScriptedFtpServer scripted;
    scripted.download.clear();
    for (int i = 0; i < 60; ++i)
        scripted.download += QStringLiteral("-rw-r--r--   1 ftp ftp 10 Jan 01 12:00 f%1.bin\r\n")
                                 .arg(i, 2, 10, QLatin1Char('0'))
                                 .toLatin1();
    scripted.download += "drwxr-xr-x   2 ftp ftp 10 Jan 01 12:00 sub\r\n";
    scripted.replies["DELE"] = "250 Deleted\r\n";
    scripted.lineReplies["DELE /pub/gone/f01.bin"] = "550 f01.bin: Permission denied\r\n";
    scripted.lineReplies["DELE /pub/gone/f03.bin"] = "550 f03.bin: Permission denied\r\n";
    ASSERT_TRUE(scripted.start());
    LoaderInputs in = passiveFolderInputs(OperationKind::Delete, scripted.port(), "/pub/gone");
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages[0].startsWith(QStringLiteral(
        "File removal error : \n/pub/gone/f01.bin\n/pub/gone/f03.bin\n could not be removed.\n\nDetails from "
        "server:\n550 f01.bin: Permission denied")))
        << prompter.messages[0].toStdString();
    EXPECT_TRUE(window.statuses.contains(QStringLiteral("Not removed: /pub/gone/f01.bin")));
    EXPECT_TRUE(window.statuses.contains(QStringLiteral("Not removed: /pub/gone/f03.bin")));
    EXPECT_TRUE(worker.progress()->stopped);
    EXPECT_FALSE(worker.progress()->finished);
    EXPECT_TRUE(scripted.received("DELE /pub/gone/f49.bin")) << "the first batch went whole";
    EXPECT_FALSE(scripted.received("DELE /pub/gone/f50.bin")) << "the next batch was never sent";
    EXPECT_FALSE(scripted.received("CWD /pub/gone/sub"));
    EXPECT_FALSE(scripted.received("RMD"));
}

// vsftpd refuses the files of a folder its account may not write to and
// deletes the others of the same batch: the refused ones, and only they,
// are named, and the run does not pass for complete.
TEST_F(WorkerServers, OnVsftpdOnlyTheRefusedFilesOfABatchAreNamedAndTheRunEndsStopped)
{
    ASSERT_TRUE(startServer({}, FtpServerKind::Vsftpd)) << server->error().toStdString();
    const QString incoming = remote.path() + QStringLiteral("/incoming");
    for (const QString& name : { QStringLiteral("free/x.bin"), QStringLiteral("locked/a.bin"),
             QStringLiteral("free/y.bin"), QStringLiteral("locked/b.bin") })
        writeFile(incoming + QLatin1Char('/') + name, 1);
    QFile::setPermissions(incoming + QStringLiteral("/free"), QFile::Permissions(0x7777));
    QFile::setPermissions(incoming + QStringLiteral("/locked"), QFile::Permissions(0x5555));
    LoaderInputs in = inputs(OperationKind::Delete);
    in.request.site.anonymous = true;
    in.request.site.userId = server->user().toStdString();
    in.request.site.password = server->password().toStdString();
    in.options.AlwaysUsePassiveMode = true;
    in.request.items.files = { entryAt("/incoming/free/x.bin", 1), entryAt("/incoming/locked/a.bin", 1),
        entryAt("/incoming/free/y.bin", 1), entryAt("/incoming/locked/b.bin", 1) };
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages[0].startsWith(QStringLiteral(
        "File removal error : \n/incoming/locked/a.bin\n/incoming/locked/b.bin\n could not be removed.\n\n"
        "Details from server:\n550")))
        << prompter.messages[0].toStdString();
    EXPECT_TRUE(worker.progress()->stopped);
    EXPECT_FALSE(worker.progress()->finished);
    EXPECT_FALSE(QFileInfo::exists(incoming + QStringLiteral("/free/x.bin")));
    EXPECT_FALSE(QFileInfo::exists(incoming + QStringLiteral("/free/y.bin")));
    EXPECT_TRUE(QFileInfo::exists(incoming + QStringLiteral("/locked/a.bin")));
    EXPECT_TRUE(QFileInfo::exists(incoming + QStringLiteral("/locked/b.bin")));
}

// A listing whose names try to leave the local folder, and some that carry
// control bytes. The scripted server answers LIST and RETR with the same
// text, so the sizes it lists are that text's own length.
QByteArray hostileListing()
{
    const QList<QByteArray> names = { "good.bin", "..", "/etc/passwd", "a/b", "../escape.bin", "evil\x01name",
        "clear\x1b[2Jscreen", "nul\x7f" };
    const auto listing = [&](const QByteArray& size) {
        QByteArray text;
        for (const QByteArray& name : names)
            text += "-rw-r--r--   1 ftp ftp " + size + " Jan 01 12:00 " + name + "\r\n";
        text += "drwxr-xr-x   2 ftp ftp " + size + " Jan 01 12:00 ../up\r\n";
        text += "drwxr-xr-x   2 ftp ftp " + size + " Jan 01 12:00 /\r\n";
        return text;
    };
    const qsizetype length = listing("00000000").size();
    return listing(QByteArray::number(length).rightJustified(8, ' '));
}

TEST_F(WorkerServers, AHostileListingWritesNothingOutsideTheLocalBase)
{
    ScriptedFtpServer scripted;
    scripted.download = hostileListing();
    ASSERT_TRUE(scripted.start());
    LoaderInputs in = passiveFolderInputs(OperationKind::Download, scripted.port(), "/pub");
    in.request.destination = local.path() + QStringLiteral("/base");
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));

    QStringList written;
    QDirIterator found(local.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (found.hasNext())
        written << QDir(local.path()).relativeFilePath(found.next());
    written.sort();
    EXPECT_EQ(written,
        QStringList(
            { QStringLiteral("base"), QStringLiteral("base/pub"), QStringLiteral("base/pub/good.bin") }));
    EXPECT_EQ(
        QFileInfo(local.path() + QStringLiteral("/base/pub/good.bin")).size(), scripted.download.size());

    QList<QByteArray> retrieved;
    for (const QByteArray& line : scripted.commands())
        if (line.startsWith("RETR ") || line.startsWith("CWD "))
            retrieved << line;
    EXPECT_EQ(retrieved, QList<QByteArray>({ "CWD /pub", "RETR /pub/good.bin" }));
    for (const QString& status : window.statuses)
        EXPECT_FALSE(std::any_of(status.begin(), status.end(), [](QChar c) {
            return c.unicode() < 0x20 || c.unicode() == 0x7f;
        })) << status.toStdString();
}

TEST_F(WorkerServers, ATransferTheServerEndsEarlyStaysPartialForARetryAndIsNeverFinished)
{
    ScriptedFtpServer scripted;
    scripted.download.clear();
    for (int i = 0; scripted.download.size() < 40000; ++i)
        scripted.download += QByteArray::number(i) + ' ';
    scripted.download.truncate(40000);
    scripted.cutAt = 30000; // "226" after 30,000 bytes, every time
    ASSERT_TRUE(scripted.start());
    LoaderInputs in = inputs(OperationKind::Download, scripted.port());
    in.options.Attempts = 2; // the part is tried again once
    in.options.AlwaysUsePassiveMode = true;
    in.request.items.files = { entryAt("/pub/early.bin", 40000) };
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));

    EXPECT_FALSE(worker.progress()->finished);
    EXPECT_EQ(worker.progress()->failedFiles, 1);
    ASSERT_FALSE(prompter.messages.isEmpty());
    EXPECT_TRUE(prompter.messages.last().startsWith(QStringLiteral("File download error")))
        << prompter.messages.last().toStdString();
    // What arrived is kept for the next run, and nothing pretends to be the
    // whole file.
    QFile kept(local.filePath(QStringLiteral("early.bin")));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), scripted.download.left(30000));
    // Its record tells the next run that the bytes are this download's.
    EXPECT_EQ(QDir(local.path()).entryList(QDir::Files),
        (QStringList { QStringLiteral("early.bin"), QStringLiteral("early.bin.parts") }));
    // The retry continued where the data stopped instead of starting again.
    const QList<QByteArray> sent = scripted.commands();
    const qsizetype firstRetr = sent.indexOf("RETR /pub/early.bin");
    ASSERT_GE(firstRetr, 0);
    EXPECT_TRUE(sent.mid(firstRetr).contains("REST 30000"));
    EXPECT_GE(sent.count("RETR /pub/early.bin"), 2);
}

// ---------------------------------------------------------------- links, unreadable folders, dropped items

// Logs in as the server started last takes it (vsftpd: anonymous).
void loginAs(LoaderInputs& in, const FtpTestServer& server)
{
    in.request.site.anonymous = server.user() == "anonymous";
    in.request.site.userId = server.user().toStdString();
    in.request.site.password = server.password().toStdString();
}

class WorkerLinks : public WorkerServers, public testing::WithParamInterface<FtpServerKind>
{
};

// Links selected in a folder below "/", as the session names them (full
// paths), and one named relative to the folder the operation starts in.
TEST_P(WorkerLinks, LinksSelectedInASubfolderFetchTheFolderAndTheFilesTheyPointTo)
{
    const QString root = remote.path();
    writeFile(root + QStringLiteral("/pub/top.bin"), 10);
    writeFile(root + QStringLiteral("/pub/a/b/two.bin"), 12);
    writeFile(root + QStringLiteral("/pub/a/b/c/three.bin"), 13);
    writeFile(root + QStringLiteral("/pub/a/near.bin"), 14);
    // Relative targets: vsftpd serves its root as "/".
    ASSERT_TRUE(QFile::link(QStringLiteral("b"), root + QStringLiteral("/pub/a/folderlink")));
    ASSERT_TRUE(QFile::link(QStringLiteral("../top.bin"), root + QStringLiteral("/pub/a/filelink")));
    ASSERT_TRUE(QFile::link(QStringLiteral("near.bin"), root + QStringLiteral("/pub/a/nearlink")));
    ASSERT_TRUE(startServer({}, GetParam())) << server->error().toStdString();
    LoaderInputs in = inputs(OperationKind::Download);
    loginAs(in, *server);
    in.request.site.initialDirectory = "/pub/a";
    in.request.items.links
        = { entryAt("/pub/a/folderlink", 0), entryAt("/pub/a/filelink", 0), entryAt("nearlink", 0) };
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(worker.progress()->finished);
    EXPECT_EQ(QFileInfo(local.filePath(QStringLiteral("folderlink/two.bin"))).size(), 12);
    EXPECT_EQ(QFileInfo(local.filePath(QStringLiteral("folderlink/c/three.bin"))).size(), 13);
    EXPECT_EQ(QFileInfo(local.filePath(QStringLiteral("filelink"))).size(), 10);
    EXPECT_EQ(QFileInfo(local.filePath(QStringLiteral("nearlink"))).size(), 14);
    const QList<QByteArray> sent = commands();
    EXPECT_TRUE(std::none_of(sent.begin(), sent.end(), [](const QByteArray& line) {
        return line.contains("/pub/a/pub/a");
    })) << "no path is doubled";

    // A restart from the cache resolves no link; the file it goes on at (the
    // last one, below the folder link) still lands below the link.
    QDir(local.filePath(QStringLiteral("folderlink"))).removeRecursively();
    LoaderInputs again = inputs(OperationKind::Download);
    loginAs(again, *server);
    again.request.site.initialDirectory = "/pub/a";
    again.request.items.links
        = { entryAt("/pub/a/folderlink", 0), entryAt("/pub/a/filelink", 0), entryAt("nearlink", 0) };
    window.overwriteAnswer = OverwriteAnswer::Skip;
    LoaderThread resumed(std::move(again));
    ASSERT_TRUE(runToEnd(resumed));
    EXPECT_TRUE(resumed.progress()->finished);
    EXPECT_EQ(QFileInfo(local.filePath(QStringLiteral("folderlink/c/three.bin"))).size(), 13);
    EXPECT_FALSE(QFileInfo::exists(local.filePath(QStringLiteral("three.bin"))));
}

INSTANTIATE_TEST_SUITE_P(Worker, WorkerLinks, testing::Values(FtpServerKind::Family, FtpServerKind::Vsftpd),
    [](const testing::TestParamInfo<FtpServerKind>& info) {
        return FtpTestServer::kindName(info.param).toStdString();
    });

// vsftpd serves anonymous users as an unprivileged account, so a folder
// without rights cannot be opened even when the tests run as root.
TEST_F(WorkerServers, AFolderThatCannotBeOpenedIsNamedAndTheRunEndsIncompleteUntilARestartGetsIt)
{
    const QString root = remote.path();
    writeFile(root + QStringLiteral("/pub/t/ok/1.bin"), 100);
    writeFile(root + QStringLiteral("/pub/t/locked/2.bin"), 200);
    const QString locked = root + QStringLiteral("/pub/t/locked");
    ASSERT_TRUE(QFile::setPermissions(locked, QFile::Permissions()));
    ASSERT_TRUE(startServer({}, FtpServerKind::Vsftpd)) << server->error().toStdString();
    const auto download = [&] {
        LoaderInputs in = inputs(OperationKind::Download);
        loginAs(in, *server);
        in.request.items.folders = { entryAt("/pub/t") };
        auto worker = std::make_unique<LoaderThread>(std::move(in));
        EXPECT_TRUE(runToEnd(*worker));
        return worker;
    };
    {
        const auto worker = download();
        EXPECT_FALSE(worker->progress()->finished);
        EXPECT_TRUE(worker->progress()->stopped);
        EXPECT_EQ(worker->progress()->foldersNotOpened, 1);
    }
    EXPECT_EQ(QFileInfo(local.filePath(QStringLiteral("t/ok/1.bin"))).size(), 100);
    EXPECT_FALSE(QFileInfo::exists(local.filePath(QStringLiteral("t/locked/2.bin"))));
    EXPECT_TRUE(window.statuses.contains(
        QStringLiteral("Could not open the folder /pub/t/locked/, its files are left out")))
        << window.statuses.join(QLatin1Char('|')).toStdString();
    ASSERT_EQ(prompter.messages.size(), 1) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(prompter.messages[0].startsWith(
        QStringLiteral("The download is not complete: a folder could not be opened")));
    EXPECT_TRUE(prompter.messages[0].contains(QStringLiteral("\n/pub/t/locked/")));

    // Open again, the restart (the cache taken, as by nobody answering)
    // opens only the folder it could not, and gets the rest.
    ASSERT_TRUE(QFile::setPermissions(locked,
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
            | QFile::ReadOther | QFile::ExeOther));
    prompter.messages.clear();
    window.overwriteAnswer = OverwriteAnswer::Skip;
    {
        const auto worker = download();
        EXPECT_TRUE(worker->progress()->finished) << prompter.messages.join(QLatin1Char('|')).toStdString();
    }
    EXPECT_EQ(QFileInfo(local.filePath(QStringLiteral("t/locked/2.bin"))).size(), 200);
    EXPECT_EQ(commands().count("CWD /pub/t/ok"), 1);
}

TEST_F(WorkerServers, ItemsDroppedFromTwoLocalFoldersEachUploadBelowTheRemoteFolder)
{
    ASSERT_TRUE(startServer());
    writeFile(local.path() + QStringLiteral("/one/x.bin"), 100);
    writeFile(local.path() + QStringLiteral("/two/y.bin"), 200);
    writeFile(local.path() + QStringLiteral("/three/tree/z.bin"), 300);
    writeFile(local.path() + QStringLiteral("/three/tree/inner/w.bin"), 5);
    // Inside the first item's folder, outside its own.
    QFile::link(
        local.path() + QStringLiteral("/one/x.bin"), local.path() + QStringLiteral("/three/tree/away"));
    QDir().mkpath(remote.path() + QStringLiteral("/up"));
    LoaderInputs in = inputs(OperationKind::Upload);
    in.request.site.initialDirectory = "/up";
    in.request.items.files = { entryAt((local.path() + QStringLiteral("/one/x.bin")).toStdString(), 100),
        entryAt((local.path() + QStringLiteral("/two/y.bin")).toStdString(), 200) };
    in.request.items.folders = { entryAt((local.path() + QStringLiteral("/three/tree")).toStdString()) };
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(worker.progress()->finished);
    EXPECT_EQ(QFileInfo(remote.path() + QStringLiteral("/up/x.bin")).size(), 100);
    EXPECT_EQ(QFileInfo(remote.path() + QStringLiteral("/up/y.bin")).size(), 200);
    EXPECT_EQ(QFileInfo(remote.path() + QStringLiteral("/up/tree/z.bin")).size(), 300);
    EXPECT_EQ(QFileInfo(remote.path() + QStringLiteral("/up/tree/inner/w.bin")).size(), 5);
    EXPECT_FALSE(QFileInfo::exists(remote.path() + QStringLiteral("/up/tree/away")));
    EXPECT_EQ(worker.progress()->finishedBytes, 605);
}

TEST_F(WorkerServers, AnAsciiUploadSendsEveryLineEndAsCrLfAndTheServerKeepsTheBytes)
{
    // The family server stores every CR LF it receives as LF: only a local
    // CR LF sent as CR CR LF comes back as it was, and a lone CR stays.
    QByteArray text;
    for (int i = 0; i < 5000; ++i)
        text += i % 7 == 0 ? "dos line\r\n" : i % 11 == 0 ? "a lone \r here\n" : "unix line\n";
    writeFile(local.path() + QStringLiteral("/notes.txt"), 0);
    {
        QFile file(local.path() + QStringLiteral("/notes.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QDir().mkpath(remote.path() + QStringLiteral("/up"));
    ASSERT_TRUE(startServer());
    LoaderInputs in = inputs(OperationKind::Upload);
    in.options.Mode = connectionOptions::Auto;
    in.options.ASCIITypes = { "txt" };
    in.request.site.initialDirectory = "/up";
    in.request.items.files = { entryAt((local.path() + QStringLiteral("/notes.txt")).toStdString(),
        static_cast<std::uint64_t>(text.size())) };
    LoaderThread worker(std::move(in));
    ASSERT_TRUE(runToEnd(worker));
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(commands().contains("TYPE A"));
    QFile stored(remote.path() + QStringLiteral("/up/notes.txt"));
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    const QByteArray bytes = stored.readAll();
    EXPECT_EQ(bytes.size(), text.size());
    EXPECT_TRUE(bytes == text);
}

// ---------------------------------------------------------------- listings

// `count` files of one byte whose listing lines run some 60 bytes each.
void makeFolderOfFiles(const QString& folder, int count)
{
    for (int i = 0; i < count; ++i)
        writeFile(folder + QStringLiteral("/file number %1.bin").arg(i), 1);
}

// The walk's entries come from the listing as it arrives: nothing of it is
// written to the program's folders, which need not even be there.
TEST_F(WorkerServers, AWalkWritesNoListingFileAndNeedsNoTemporaryFolder)
{
    makeTree();
    ASSERT_TRUE(startServer());
    const auto download = [&] {
        LoaderInputs in = inputs(OperationKind::Download);
        in.request.items.folders = { entryAt("/pub/a") };
        LoaderThread worker(std::move(in));
        EXPECT_TRUE(runToEnd(worker));
        EXPECT_TRUE(worker.progress()->finished) << prompter.messages.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.messages.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(QFileInfo(local.filePath(QStringLiteral("a/b/c/three.bin"))).size(), 13);
    };
    const QString temporary = temporaryFolder();
    ASSERT_FALSE(temporary.isEmpty());
    QStringList seenWhileListing;
    window.onStatus = [&](const QString& text) {
        if (text.startsWith(QStringLiteral("Querying directory listing")))
            seenWhileListing << QDir(temporary).entryList(
                QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    };
    download();
    EXPECT_GE(window.statuses.filter(QStringLiteral("Querying directory listing")).size(), 3);
    EXPECT_TRUE(seenWhileListing.isEmpty()) << seenWhileListing.join(QLatin1Char('|')).toStdString();

    // A file where the temporary folder belongs: it cannot be made.
    ASSERT_TRUE(QDir(temporary).removeRecursively());
    writeFile(temporary, 1);
    ASSERT_TRUE(temporaryFolder().isEmpty());
    QDir(local.path()).removeRecursively();
    QDir().mkpath(local.path());
    operation = {};
    download();
}

// The server closes the listing's data connection part-way and answers 426:
// none of the entries that came is taken for the folder's.
TEST_F(WorkerServers, AListingCutShortIsReportedAndItsFolderWalkedWholeOnTheRestart)
{
    makeFolderOfFiles(remote.path() + QStringLiteral("/pub/big"), 100);
    ASSERT_TRUE(startServer(
        { QStringLiteral("--drop-after"), QStringLiteral("2000"), QStringLiteral("--drop-transfers"),
            QStringLiteral("0"), QStringLiteral("--drop-listings"), QStringLiteral("1") }));
    const auto download = [&] {
        LoaderInputs in = inputs(OperationKind::Download);
        in.request.items.folders = { entryAt("/pub/big") };
        auto worker = std::make_unique<LoaderThread>(std::move(in));
        EXPECT_TRUE(runToEnd(*worker));
        return worker;
    };
    {
        const auto worker = download();
        EXPECT_TRUE(worker->progress()->stopped);
        EXPECT_FALSE(worker->progress()->finished);
    }
    ASSERT_EQ(prompter.messages.size(), 1) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(
        prompter.messages[0].startsWith(QStringLiteral("Directory listing retrieval error : \n/pub/big")))
        << prompter.messages[0].toStdString();
    EXPECT_FALSE(commands().contains("RETR /pub/big/file number 0.bin"));
    ASSERT_FALSE(operation.cacheFile.empty());
    const auto cached = directoryCache::load(
        cacheFolder() + QLatin1Char('/') + QString::fromStdString(operation.cacheFile));
    ASSERT_TRUE(cached);
    EXPECT_TRUE(cached->files.empty());
    EXPECT_EQ(cached->unwalkedFolders, std::vector<std::string>({ "/pub/big/" }));

    prompter.messages.clear();
    {
        const auto worker = download();
        EXPECT_TRUE(worker->progress()->finished) << prompter.messages.join(QLatin1Char('|')).toStdString();
    }
    EXPECT_EQ(QDir(local.filePath(QStringLiteral("big"))).entryList(QDir::Files).size(), 100);
}

TEST_F(WorkerServers, AStopDuringAListingEndsPromptlyAndLeavesItsFolderToWalk)
{
    // Some 130 KB of listing at 20 KB/s: the stop comes while it arrives.
    makeFolderOfFiles(remote.path() + QStringLiteral("/pub/big"), 2000);
    ASSERT_TRUE(startServer({ QStringLiteral("--rate"), QStringLiteral("20000") }));
    LoaderInputs in = inputs(OperationKind::Download);
    in.request.items.folders = { entryAt("/pub/big") };
    LoaderThread worker(std::move(in));
    const auto stopTook
        = stopAfterStatus(worker, QStringLiteral("Querying directory listing /pub/big/"), 500);
    ASSERT_TRUE(stopTook);
    EXPECT_LT(*stopTook, 1000);
    EXPECT_TRUE(worker.progress()->stopped);
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(worker.items().files.empty());
    ASSERT_FALSE(operation.cacheFile.empty());
    const auto cached = directoryCache::load(
        cacheFolder() + QLatin1Char('/') + QString::fromStdString(operation.cacheFile));
    ASSERT_TRUE(cached);
    EXPECT_TRUE(cached->files.empty());
    EXPECT_EQ(cached->unwalkedFolders, std::vector<std::string>({ "/pub/big/" }));
}

} // namespace

namespace
{

// The deletion branch, on this thread through a worker of the test's own:
// a DELE line no server takes is refused before it leaves, alone in its
// batch, so the files before it are removed and it is the one named.
TEST_F(WorkerServers, ADeletionNamesTheFileWhoseCommandIsTooLongAndRemovesTheOthers)
{
    // "DELE " and this path are one byte too many for a command line.
    QString deep = QStringLiteral("/pub");
    while (deep.size() + 201 <= 2036)
        deep += QLatin1Char('/') + QString(200, QLatin1Char('d'));
    deep += QLatin1Char('/') + QString(2036 - deep.size() - 1, QLatin1Char('e'));
    const QString far = deep + QStringLiteral("/far.bin");
    ASSERT_EQ(far.size(), 2044);
    writeFile(remote.path() + QStringLiteral("/pub/near.bin"), 5);
    writeFile(remote.path() + far, 6);
    ASSERT_TRUE(startServer());

    FakeWorker worker(inputs(OperationKind::Delete).request);
    worker.items().files = { entryAt("/pub/near.bin", 5), entryAt(far.toStdString(), 6) };
    ASSERT_TRUE(worker.logIn()) << worker.client.ErrorMessage().toStdString();
    DeleteBranch(worker).run();

    EXPECT_FALSE(QFileInfo::exists(remote.path() + QStringLiteral("/pub/near.bin")));
    EXPECT_TRUE(QFileInfo::exists(remote.path() + far));
    EXPECT_TRUE(worker.stopping()) << "a deletion with a refusal does not end as finished";
    ASSERT_EQ(worker.recordingPrompter.messages.size(), 1);
    const QString message = worker.recordingPrompter.messages.front();
    EXPECT_TRUE(message.contains(QStringLiteral("far.bin"))) << message.toStdString();
    EXPECT_FALSE(message.contains(QStringLiteral("near.bin"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("2048")))
        << "the reason is the line's length, not an old reply";
}

} // namespace
