#include "net/TBuffer.h"

#include <algorithm>
#include <cstring>

TBuffer::TBuffer(int size)
    : data_(static_cast<size_t>(std::max(1, size)))
{
}

int TBuffer::Write(const char* data, int length)
{
    const int room = static_cast<int>(data_.size()) - writePos_;
    const int taken = std::min(room, length);
    if (taken > 0) {
        std::memcpy(data_.data() + writePos_, data, static_cast<size_t>(taken));
        writePos_ += taken;
    }
    return taken;
}

void TBuffer::Remove(int count)
{
    readPos_ += std::min(count, DataLength());
    if (readPos_ == writePos_)
        Clear();
}

void TBufferList::SetBlockSize(int size)
{
    blockSize_ = std::max(1, size);
}

void TBufferList::Append(const char* data, int length)
{
    while (length > 0) {
        if (blocks_.empty() || blocks_.back().IsFull())
            blocks_.emplace_back(blockSize_);
        const int taken = blocks_.back().Write(data, length);
        data += taken;
        length -= taken;
    }
}

bool TBufferList::IsEmpty() const
{
    return FrontLength() == 0;
}

qint64 TBufferList::ByteCount() const
{
    qint64 total = 0;
    for (const auto& block : blocks_)
        total += block.DataLength();
    return total;
}

void TBufferList::Consume(qint64 count)
{
    while (count > 0 && !blocks_.empty()) {
        const int taken = static_cast<int>(std::min<qint64>(count, blocks_.front().DataLength()));
        blocks_.front().Remove(taken);
        count -= taken;
        if (blocks_.front().DataLength() != 0 || blocks_.size() == 1)
            break;
        blocks_.pop_front();
    }
}

int TBufferList::Gather(iovec* parts, int maxParts) const
{
    int filled = 0;
    for (const auto& block : blocks_) {
        if (filled == maxParts || block.DataLength() == 0)
            break;
        parts[filled].iov_base = const_cast<char*>(block.Peek());
        parts[filled].iov_len = static_cast<size_t>(block.DataLength());
        ++filled;
    }
    return filled;
}

void TBufferList::Clear()
{
    while (blocks_.size() > 1)
        blocks_.pop_front();
    if (!blocks_.empty())
        blocks_.front().Clear();
}
