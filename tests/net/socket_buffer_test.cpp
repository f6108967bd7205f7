#include "net/TBuffer.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

// Takes the buffer's data the way a socket sends it: gathered from the
// blocks, `piece` bytes per send.
std::string drain(TBufferList& buffer, int piece)
{
    std::string out;
    while (!buffer.IsEmpty()) {
        iovec parts[3];
        const int count = buffer.Gather(parts, 3);
        std::string gathered;
        for (int i = 0; i < count; ++i)
            gathered.append(static_cast<const char*>(parts[i].iov_base), parts[i].iov_len);
        const std::string sent = gathered.substr(0, static_cast<size_t>(piece));
        out += sent;
        buffer.Consume(static_cast<qint64>(sent.size()));
    }
    return out;
}

TEST(SocketTBuffer, TakesWhatFitsAndEmptiesFromTheFront)
{
    TBuffer block(4);
    EXPECT_EQ(block.Write("abcdef", 6), 4);
    EXPECT_TRUE(block.IsFull());
    block.Remove(3);
    EXPECT_EQ(std::string(block.Peek(), static_cast<size_t>(block.DataLength())), "d");
    block.Remove(1);
    EXPECT_EQ(block.DataLength(), 0);
    EXPECT_FALSE(block.IsFull()); // an emptied block is reused from its start
    EXPECT_EQ(block.Write("xy", 2), 2);
}

TEST(SocketTBufferList, SplitsDataIntoBlocksOfTheBlockSize)
{
    TBufferList buffer(4);
    buffer.Append("0123456789", 10);
    EXPECT_EQ(buffer.BlockCount(), 3);
    EXPECT_EQ(buffer.ByteCount(), 10);
    EXPECT_EQ(buffer.FrontLength(), 4);
}

TEST(SocketTBufferList, SendsInOrderAcrossPartialTakes)
{
    TBufferList buffer(5);
    std::string expected;
    for (int i = 0; i < 50; ++i) {
        const std::string piece = std::to_string(i) + ",";
        expected += piece;
        buffer.Append(piece.data(), static_cast<int>(piece.size()));
    }
    EXPECT_EQ(drain(buffer, 3), expected);
    EXPECT_EQ(buffer.ByteCount(), 0);
}

TEST(SocketTBufferList, GathersAtMostTheAskedNumberOfBlocks)
{
    TBufferList buffer(4);
    buffer.Append("abcdefghij", 10);
    iovec parts[2];
    ASSERT_EQ(buffer.Gather(parts, 2), 2);
    EXPECT_EQ(std::string(static_cast<const char*>(parts[1].iov_base), parts[1].iov_len), "efgh");
    buffer.Consume(6);
    EXPECT_EQ(buffer.BlockCount(), 2);
    EXPECT_EQ(buffer.ByteCount(), 4);
    EXPECT_EQ(drain(buffer, 100), "ghij");
}

TEST(SocketTBufferList, DropsEmptiedBlocksButKeepsTheLastForReuse)
{
    TBufferList buffer(4);
    buffer.Append("abcdefgh", 8);
    drain(buffer, 8);
    EXPECT_EQ(buffer.BlockCount(), 1);
    buffer.Append("ij", 2);
    EXPECT_EQ(buffer.BlockCount(), 1);
    EXPECT_EQ(drain(buffer, 10), "ij");
}

TEST(SocketTBufferList, ClearForgetsEverything)
{
    TBufferList buffer(3);
    buffer.Append("abcdefg", 7);
    buffer.Clear();
    EXPECT_TRUE(buffer.IsEmpty());
    EXPECT_EQ(buffer.ByteCount(), 0);
    buffer.Append("z", 1);
    EXPECT_EQ(drain(buffer, 1), "z");
}

TEST(SocketTBufferList, NewBlockSizeAppliesToNewBlocks)
{
    TBufferList buffer(2);
    buffer.SetBlockSize(0);
    EXPECT_EQ(buffer.BlockSize(), 1);
    buffer.SetBlockSize(1460);
    buffer.Append(std::string(3000, 'x').data(), 3000);
    EXPECT_EQ(buffer.BlockCount(), 3);
    EXPECT_EQ(buffer.FrontLength(), 1460);
}

} // namespace
