#pragma once

#include <QtGlobal>
#include <deque>
#include <sys/uio.h>
#include <vector>

// One block of the outgoing buffer: a fixed-size area filled at its end and
// emptied from its front.
class TBuffer
{
public:
    explicit TBuffer(int size);

    // Appends as much of `data` as fits; returns how many bytes were taken.
    int Write(const char* data, int length);
    // The bytes not yet sent.
    const char* Peek() const { return data_.data() + readPos_; }
    int DataLength() const { return writePos_ - readPos_; }
    // Drops `count` bytes from the front.
    void Remove(int count);
    bool IsFull() const { return writePos_ == static_cast<int>(data_.size()); }
    void Clear() { readPos_ = writePos_ = 0; }

private:
    std::vector<char> data_;
    int readPos_ = 0;
    int writePos_ = 0;
};

// The outgoing buffer of a socket: a list of blocks. Data is appended to the
// last block and new blocks are added as needed; sending takes from the first
// block and drops emptied blocks, keeping the last one for reuse.
class TBufferList
{
public:
    explicit TBufferList(int blockSize)
        : blockSize_(blockSize)
    {
    }

    // Size of blocks added from now on (at least 1).
    void SetBlockSize(int size);
    int BlockSize() const { return blockSize_; }

    void Append(const char* data, int length);
    bool IsEmpty() const;
    qint64 ByteCount() const;
    // Bytes waiting in the first block.
    int FrontLength() const { return blocks_.empty() ? 0 : blocks_.front().DataLength(); }
    // Drops `count` sent bytes from the front, across blocks as needed.
    void Consume(qint64 count);
    // Points `parts` at the waiting data of the first `maxParts` blocks, for
    // one gathering send; returns how many parts were filled.
    int Gather(iovec* parts, int maxParts) const;
    void Clear();
    int BlockCount() const { return static_cast<int>(blocks_.size()); }

private:
    std::deque<TBuffer> blocks_;
    int blockSize_;
};
