#include "transfer/DigestFollower.h"

#include <unistd.h>

namespace
{
constexpr std::uint64_t readBlock = 4 * 1024 * 1024;
} // namespace

DigestFollower::DigestFollower()
    : hash_(QCryptographicHash::Md5)
{
}

bool DigestFollower::offer(std::uint64_t position, const char* data, std::uint64_t length)
{
    if (position != position_ || length == 0)
        return false;
    hash_.addData(QByteArrayView(data, static_cast<qsizetype>(length)));
    position_ += length;
    return true;
}

bool DigestFollower::catchUp(
    int fd, const std::vector<FilePart>& parts, const std::function<void(int)>& onPartPassed)
{
    std::vector<char> block;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const FilePart& part = parts[i];
        if (position_ >= part.end && part.end > part.start)
            continue;
        const std::uint64_t available = part.start + std::min(part.done, part.length());
        while (position_ < available) {
            if (block.empty())
                block.resize(readBlock);
            const auto wanted = std::min<std::uint64_t>(readBlock, available - position_);
            const ssize_t got = ::pread(fd, block.data(), wanted, static_cast<off_t>(position_));
            if (got <= 0)
                return false;
            hash_.addData(QByteArrayView(block.data(), got));
            position_ += static_cast<std::uint64_t>(got);
        }
        if (position_ < part.end)
            return true;
        if (onPartPassed)
            onPartPassed(static_cast<int>(i));
    }
    return true;
}

void DigestFollower::forgetFrom(std::uint64_t position)
{
    if (position >= position_)
        return;
    hash_.reset();
    position_ = 0;
}

std::optional<std::string> DigestFollower::result(std::uint64_t size)
{
    if (position_ != size)
        return std::nullopt;
    return hash_.result().toHex().toUpper().toStdString();
}
