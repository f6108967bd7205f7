// The FTP component on worker threads: created there, or lent by the main
// thread for a while and taken back.

#include "FtpTestServer.h"
#include "ftp_test_support.h"

#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

#include <memory>
#include <set>

namespace
{

class FtpThreads : public testing::Test
{
protected:
    void SetUp() override
    {
        contents = patternBytes(2 * 1024 * 1024 + 5, 11);
        ASSERT_TRUE(writeLocalFile(remote.filePath(QStringLiteral("file.bin")), contents));
        server = std::make_unique<FtpTestServer>(FtpServerKind::Family, remote.path());
        ASSERT_TRUE(server->running()) << server->error().toStdString();
    }

    void prepare(TFtpClient& client, const QString& localName)
    {
        client.SetTimeout(30);
        aimAt(client, server->port(), server->user(), server->password());
        client.SetPassive(true);
        client.SetHostFileName("file.bin");
        client.SetLocalFileName(local.filePath(localName));
    }

    // Runs `work` on a new thread and keeps this thread's events going
    // until it is done, as the main thread does while a worker runs. The
    // start and the end are announced to ThreadSanitizer, which cannot see
    // into Qt's own thread start and wait.
    static void runOnWorker(const std::function<void()>& work)
    {
        int handOver = 0;
        announceRelease(&handOver);
        std::unique_ptr<QThread> worker(QThread::create([&] {
            announceAcquire(&handOver);
            work();
            announceRelease(&handOver);
        }));
        worker->start();
        ASSERT_TRUE(runEventsUntil([&] { return worker->isFinished(); }, std::chrono::seconds(60)));
        worker->wait();
        announceAcquire(&handOver);
    }

#if defined(__SANITIZE_THREAD__)
    static void announceRelease(void* address)
    {
        __tsan_release(address);
    }
    static void announceAcquire(void* address)
    {
        __tsan_acquire(address);
    }
#else
    static void announceRelease(void*)
    {
    }
    static void announceAcquire(void*)
    {
    }
#endif

    QTemporaryDir remote;
    QTemporaryDir local;
    QByteArray contents;
    std::unique_ptr<FtpTestServer> server;
};

TEST_F(FtpThreads, ABlockingCallOnAWorkerWorksAsOnTheMainThread)
{
    bool loggedIn = false, downloaded = false, quit = false;
    std::set<QThread*> eventThreads;
    QThread* workerThread = nullptr;
    int requestsDone = 0;

    runOnWorker([&] {
        workerThread = QThread::currentThread();
        TFtpClient client;
        client.SetMultiThreaded(true);
        client.SetShareMode(ftpShareCompat);
        prepare(client, QStringLiteral("worker.bin"));
        client.OnDisplay = [&](const QString&) { eventThreads.insert(QThread::currentThread()); };
        client.OnProgress = [&](qint64, bool&) { eventThreads.insert(QThread::currentThread()); };
        client.OnRequestDone = [&](TFtpRequest, int) {
            eventThreads.insert(QThread::currentThread());
            ++requestsDone;
        };
        loggedIn = logIn(client) && client.TypeSet();
        downloaded = loggedIn && client.Get();
        quit = client.Quit();
        runEventsUntil([&] { return requestsDone == 6; }, std::chrono::seconds(10));
    });

    EXPECT_TRUE(loggedIn);
    EXPECT_TRUE(downloaded);
    EXPECT_TRUE(quit);
    EXPECT_EQ(requestsDone, 6);
    EXPECT_EQ(readLocalFile(local.filePath(QStringLiteral("worker.bin"))), contents);
    EXPECT_EQ(eventThreads, std::set<QThread*>({ workerThread }));
}

TEST_F(FtpThreads, TheMainThreadLendsItsConnectionToAWorkerAndTakesItBack)
{
    TFtpClient client;
    prepare(client, QStringLiteral("lent.bin"));
    ASSERT_TRUE(logIn(client) && client.TypeSet());
    std::set<QThread*> eventThreads;
    client.OnDisplay = [&](const QString&) { eventThreads.insert(QThread::currentThread()); };

    client.ThreadDetach();
    EXPECT_EQ(client.thread(), nullptr);
    bool downloaded = false;
    QThread* workerThread = nullptr;
    runOnWorker([&] {
        workerThread = QThread::currentThread();
        client.ThreadAttach();
        downloaded = client.Get();
        client.ThreadDetach();
    });
    client.ThreadAttach();

    EXPECT_TRUE(downloaded) << client.ErrorMessage().toStdString();
    EXPECT_EQ(readLocalFile(local.filePath(QStringLiteral("lent.bin"))), contents);
    EXPECT_EQ(eventThreads, std::set<QThread*>({ workerThread }));

    eventThreads.clear();
    ASSERT_TRUE(client.Pwd()) << "the same connection goes on on the main thread";
    EXPECT_EQ(eventThreads, std::set<QThread*>({ QThread::currentThread() }));
}

TEST_F(FtpThreads, OnlyTheOwningThreadMayLendAndOnlyADetachedComponentBeTaken)
{
    TFtpClient client;
    QStringList messages;
    client.OnUsageError = [&](const QString& message) { messages << message; };

    client.ThreadAttach();
    runOnWorker([&] { client.ThreadDetach(); });

    EXPECT_EQ(messages,
        QStringList({ QStringLiteral("Cannot attach when not detached"),
            QStringLiteral("Cannot detach from other thread") }));
    EXPECT_EQ(client.thread(), QThread::currentThread());
}

} // namespace
