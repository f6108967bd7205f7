#include "common/MainThreadCall.h"
#include "socket_support.h"

#include <gtest/gtest.h>

namespace
{

using namespace std::chrono_literals;

QString errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const ESocketException& e) {
        return e.message();
    }
    return {};
}

// Runs `work` on a fresh QThread while the calling thread keeps serving its
// own events (the loopback peer lives there). The start and the end are
// announced to ThreadSanitizer, which cannot see into Qt's own thread start
// and wait.
void runOnWorker(const std::function<void()>& work)
{
    int handOver = 0;
    handOverRelease(&handOver);
    std::unique_ptr<QThread> worker(QThread::create([&] {
        handOverAcquire(&handOver);
        work();
        handOverRelease(&handOver);
    }));
    worker->start();
    ASSERT_TRUE(waitUntil([&] { return worker->isFinished(); }, 30s));
    worker->wait();
    handOverAcquire(&handOver);
}

TEST(SocketThreads, DetachedSocketMovesToAWorkerAndBackKeepingItsConnection)
{
    LoopbackPeer peer;
    TWSocket socket;
    SocketEvents events;
    events.attach(socket);
    aimAt(socket, peer.port());
    socket.Connect();
    ASSERT_TRUE(waitUntil([&] { return events.connectedCount == 1 && peer.last(); }));
    QThread* const mainThread = QThread::currentThread();

    socket.ThreadDetach();
    EXPECT_TRUE(socket.IsDetached());
    events.log.clear();
    peer.last()->write("sent while detached\r\n");
    runEventsFor(300ms);
    EXPECT_TRUE(events.log.empty()) << "no event while detached, got " << events.log.front();
    EXPECT_EQ(socket.State(), wsConnected);

    QThread* workerThread = nullptr;
    QByteArray workerReceived;
    std::vector<QThread*> workerEventThreads;
    runOnWorker([&] {
        workerThread = QThread::currentThread();
        socket.ThreadAttach();
        waitUntil([&] { return events.received.contains("sent while detached\r\n"); }, 10s);
        workerReceived = events.received;
        workerEventThreads = events.eventThreads;
        socket.ThreadDetach();
    });
    EXPECT_EQ(workerReceived, "sent while detached\r\n");
    ASSERT_FALSE(workerEventThreads.empty());
    EXPECT_EQ(workerEventThreads.back(), workerThread);

    socket.ThreadAttach();
    EXPECT_FALSE(socket.IsDetached());
    EXPECT_EQ(socket.thread(), mainThread);
    peer.last()->disconnectFromHost();
    ASSERT_TRUE(waitUntil([&] { return events.closedCount == 1; }));
    EXPECT_EQ(events.eventThreads.back(), mainThread);
    EXPECT_EQ(peer.connectionCount(), 1);
}

TEST(SocketThreads, EventPendingAtDetachWaitsForTheNextOwner)
{
    LoopbackPeer peer;
    TWSocket socket;
    SocketEvents events;
    events.attach(socket);
    aimAt(socket, peer.port());
    socket.Connect();
    ASSERT_TRUE(waitUntil([&] { return events.connectedCount == 1; }));
    socket.CloseDelayed();
    socket.ThreadDetach();
    runEventsFor(200ms);
    EXPECT_EQ(socket.State(), wsConnected);
    EXPECT_EQ(events.closedCount, 0);
    socket.ThreadAttach();
    ASSERT_TRUE(waitUntil([&] { return events.closedCount == 1; }));
    EXPECT_EQ(socket.State(), wsClosed);
}

TEST(SocketThreads, WorkerSendsAndReceivesOnTheBorrowedConnection)
{
    LoopbackPeer peer;
    TWSocket socket;
    SocketEvents events;
    events.attach(socket);
    aimAt(socket, peer.port());
    socket.Connect();
    ASSERT_TRUE(waitUntil([&] { return events.connectedCount == 1 && peer.last(); }));
    socket.ThreadDetach();

    bool echoed = false;
    int sentOnWorker = 0;
    runOnWorker([&] {
        socket.ThreadAttach();
        socket.SendStr("from the worker\r\n");
        echoed = waitUntil([&] { return events.received == "from the worker\r\n"; }, 10s);
        sentOnWorker = events.dataSentCount;
        socket.ThreadDetach();
    });
    EXPECT_TRUE(echoed);
    EXPECT_EQ(sentOnWorker, 1);

    socket.ThreadAttach();
    events.received.clear();
    socket.SendStr("back home\r\n");
    ASSERT_TRUE(waitUntil([&] { return events.received == "back home\r\n"; }));
    EXPECT_EQ(peer.connectionCount(), 1);
    EXPECT_EQ(events.closedCount, 0);
}

TEST(SocketThreads, DetachOnlyFromTheOwnerAttachOnlyWhenDetached)
{
    TWSocket socket;
    EXPECT_EQ(errorOf([&] { socket.ThreadAttach(); }), QStringLiteral("Cannot attach when not detached"));
    QString fromWorker;
    runOnWorker([&] { fromWorker = errorOf([&] { socket.ThreadDetach(); }); });
    EXPECT_EQ(fromWorker, QStringLiteral("Cannot detach from other thread"));
    EXPECT_FALSE(socket.IsDetached());
}

TEST(SocketThreads, ProcessMessagesTellsAWorkerToStop)
{
    bool before = true;
    bool after = false;
    bool remembered = false;
    runOnWorker([&] {
        TWSocket socket;
        before = socket.ProcessMessages();
        QThread::currentThread()->requestInterruption();
        after = socket.ProcessMessages();
        remembered = socket.Terminated();
    });
    EXPECT_FALSE(before);
    EXPECT_TRUE(after);
    EXPECT_TRUE(remembered);
}

} // namespace
