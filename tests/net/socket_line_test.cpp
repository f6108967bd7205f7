#include "socket_support.h"

#include <gtest/gtest.h>

namespace
{

using namespace std::chrono_literals;

struct LineReader {
    TWSocket socket;
    std::vector<QByteArray> lines;
    int closed = -1;
    int closedCount = 0;

    explicit LineReader(LoopbackPeer& peer)
    {
        socket.SetLineMode(true);
        socket.OnDataAvailable = [this](int) {
            char line[256];
            const int n = socket.Receive(line, sizeof line);
            if (n > 0)
                lines.emplace_back(line, n);
        };
        socket.OnSessionClosed = [this](int error) {
            closed = error;
            ++closedCount;
        };
        aimAt(socket, peer.port());
        socket.Connect();
    }
};

TEST(SocketLineMode, DeliversOneLineAtATimeWhateverThePieces)
{
    LoopbackPeer peer;
    peer.setEcho(false);
    LineReader reader(peer);
    ASSERT_TRUE(waitUntil([&] { return peer.last() != nullptr; }));
    peer.last()->write("220-first\r\n220 sec");
    peer.last()->flush();
    ASSERT_TRUE(waitUntil([&] { return reader.lines.size() == 1; }));
    runEventsFor(50ms);
    EXPECT_EQ(reader.lines.size(), 1u) << "half a line waits";
    peer.last()->write("ond\r\n");
    ASSERT_TRUE(waitUntil([&] { return reader.lines.size() == 2; }));
    EXPECT_EQ(reader.lines[0], "220-first\r\n");
    EXPECT_EQ(reader.lines[1], "220 second\r\n");
}

TEST(SocketLineMode, LastLineWithoutEndComesBeforeTheClose)
{
    LoopbackPeer peer;
    peer.onConnection = [](QTcpSocket* client) {
        client->write("one\r\ntail without end");
        client->disconnectFromHost();
    };
    LineReader reader(peer);
    ASSERT_TRUE(waitUntil([&] { return reader.closedCount == 1; }));
    ASSERT_EQ(reader.lines.size(), 2u);
    EXPECT_EQ(reader.lines[0], "one\r\n");
    EXPECT_EQ(reader.lines[1], "tail without end");
}

TEST(SocketLineMode, OverlongLineEndsTheConnection)
{
    LoopbackPeer peer;
    peer.setEcho(false);
    LineReader reader(peer);
    reader.socket.SetLineLimit(1000);
    ASSERT_TRUE(waitUntil([&] { return peer.last() != nullptr; }));
    peer.last()->write(QByteArray(5000, 'x'));
    ASSERT_TRUE(waitUntil([&] { return reader.closedCount == 1; }));
    EXPECT_EQ(reader.closed, 10040);
    EXPECT_TRUE(reader.lines.empty());
}

TEST(SocketLineMode, CustomLineEnd)
{
    LoopbackPeer peer;
    peer.setEcho(false);
    LineReader reader(peer);
    reader.socket.SetLineEnd("\n");
    ASSERT_TRUE(waitUntil([&] { return peer.last() != nullptr; }));
    peer.last()->write("a\nb\n");
    ASSERT_TRUE(waitUntil([&] { return reader.lines.size() == 2; }));
    EXPECT_EQ(reader.lines[1], "b\n");
}

TEST(SocketSyncReadLine, WaitsForTheNextLine)
{
    LoopbackPeer peer;
    peer.onConnection = [](QTcpSocket* client) { client->write("220 welcome\r\n230 in\r\n"); };
    peer.setEcho(false);
    TWSocket socket;
    socket.SetLineMode(true);
    int connected = -1;
    socket.OnSessionConnected = [&](int error) { connected = error; };
    aimAt(socket, peer.port());
    socket.Connect();
    ASSERT_TRUE(waitUntil([&] { return connected == 0; }));
    EXPECT_EQ(socket.ReadLine(5s).value_or("none"), "220 welcome\r\n");
    EXPECT_EQ(socket.ReadLine(5s).value_or("none"), "230 in\r\n");
    EXPECT_FALSE(socket.ReadLine(100ms).has_value());
}

} // namespace
