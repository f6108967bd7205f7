#include "transfer/PartStore.h"

#include "transfer/LocalName.h"
#include "transfer/PartRecord.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

constexpr std::size_t copyBlock = 4 * 1024 * 1024;
constexpr auto recordPeriod = std::chrono::seconds(2);

// A file descriptor closed when it goes out of scope.
class Fd
{
public:
    Fd(const QString& path, int flags)
        : fd_(::open(nativeLocalPath(path).constData(), flags | O_NOFOLLOW | O_CLOEXEC))
    {
    }
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_;
};

QString systemError(const QString& what, const QString& path)
{
    return what + QStringLiteral(" \"") + shownLocalPath(path) + QStringLiteral("\": ")
        + QString::fromLocal8Bit(std::strerror(errno));
}

std::uint64_t sizeOf(int fd)
{
    struct stat status {
    };
    return ::fstat(fd, &status) == 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
}

bool writeAll(int fd, const char* data, std::uint64_t length, std::uint64_t at)
{
    while (length > 0) {
        const ssize_t n = ::pwrite(fd, data, length, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        at += static_cast<std::uint64_t>(n);
        length -= static_cast<std::uint64_t>(n);
    }
    return true;
}

// Copies [from, from + length) of `in` to `at` of `out`; the kernel moves
// the bytes where it can, a plain read and write where it cannot.
bool copyRange(int in, loff_t from, int out, loff_t at, std::uint64_t length)
{
    while (length > 0) {
        const ssize_t moved = ::copy_file_range(in, &from, out, &at, length, 0);
        if (moved > 0) {
            length -= static_cast<std::uint64_t>(moved);
            continue;
        }
        if (moved == 0) {
            errno = EIO; // the part file is shorter than it was
            return false;
        }
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
            return false;
        std::vector<char> block(std::min<std::uint64_t>(copyBlock, length));
        while (length > 0) {
            const ssize_t got
                = ::pread(in, block.data(), std::min<std::uint64_t>(block.size(), length), from);
            if (got <= 0) {
                if (got == 0)
                    errno = EIO;
                return false;
            }
            if (!writeAll(out, block.data(), static_cast<std::uint64_t>(got), static_cast<std::uint64_t>(at)))
                return false;
            from += got;
            at += got;
            length -= static_cast<std::uint64_t>(got);
        }
    }
    return true;
}

// Copies the first `length` bytes of `from` to `offset` of `to`, skipping
// the holes of a sparse part: that region of `to` was never written, so it
// reads as zeros already.
bool copyInto(int from, int to, std::uint64_t offset, std::uint64_t length)
{
    const auto end = static_cast<loff_t>(length);
    loff_t position = 0;
    while (position < end) {
        loff_t data = ::lseek(from, position, SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO)
                break; // a hole up to the end of the file
            data = position; // no hole support: copy everything
        }
        if (data >= end)
            break;
        loff_t hole = ::lseek(from, data, SEEK_HOLE);
        if (hole < 0 || hole > end)
            hole = end;
        if (!copyRange(
                from, data, to, static_cast<loff_t>(offset) + data, static_cast<std::uint64_t>(hole - data)))
            return false;
        position = hole;
    }
    return true;
}

} // namespace

PartStore::PartStore(QString target, std::vector<FilePart> parts, bool lengthUnknown, Origin origin)
    : target_(std::move(target))
    , origin_(std::move(origin))
    , parts_(std::move(parts))
    , lengthUnknown_(lengthUnknown)
{
    if (parts_.empty())
        parts_.resize(1);
    dataFile_ = several() ? partFileName(target_, 0) : target_;
}

PartStore::~PartStore()
{
    close();
}

void PartStore::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

std::uint64_t PartStore::nextPosition(int part) const
{
    const FilePart& p = parts_[static_cast<std::size_t>(part)];
    return p.start + p.done;
}

bool PartStore::open(bool resume)
{
    resume = resume && !lengthUnknown_;
    if (!openDataFile(resume))
        return false;
    if (several()) {
        if (resume && !resumeFromRecord()) {
            error_ = systemError(QStringLiteral("Cannot cut"), dataFile_);
            return false;
        }
        // Before any part but the first writes into the data file.
        if (!writeRecord() || (resume && !takeOverPartFiles()))
            return false;
    } else {
        parts_[0].done = resume ? doneOfOnePart() : 0;
        // The record is written once the transfer has run for a while.
        lastRecord_ = std::chrono::steady_clock::now();
    }
    if (!digest_.catchUp(fd_, parts_)) {
        error_ = systemError(QStringLiteral("Cannot read"), dataFile_);
        return false;
    }
    return true;
}

bool PartStore::openDataFile(bool resume)
{
    const int flags = O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (resume ? 0 : O_TRUNC);
    fd_ = ::open(nativeLocalPath(dataFile_).constData(), flags, 0666);
    if (fd_ < 0) {
        error_ = systemError(QStringLiteral("Cannot open"), dataFile_);
        return false;
    }
    struct stat status {
    };
    if (::fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode)) {
        errno = EINVAL;
        error_ = systemError(QStringLiteral("Cannot use"), dataFile_);
        close();
        return false;
    }
    return true;
}

// The record's count when there is one of this length; without it the
// size of the file, as earlier versions resumed one part.
std::uint64_t PartStore::doneOfOnePart() const
{
    std::uint64_t done = sizeOf(fd_);
    const auto record = readPartRecord(partRecordName(target_));
    if (record && record->size == parts_[0].end && record->partLength == parts_[0].length()
        && record->done.size() == 1)
        done = std::min(done, record->done[0]);
    return std::min(done, parts_[0].length());
}

bool PartStore::resumeFromRecord()
{
    const std::uint64_t fileSize = sizeOf(fd_);
    const auto record = readPartRecord(partRecordName(target_));
    const bool matches = record && record->size == parts_.back().end
        && record->partLength == parts_.front().length() && record->done.size() == parts_.size();
    for (std::size_t i = 0; i < parts_.size(); ++i) {
        FilePart& part = parts_[i];
        const std::uint64_t inFile = fileSize > part.start ? fileSize - part.start : 0;
        std::uint64_t done = 0;
        if (matches)
            done = record->done[i];
        else if (i == 0 && fileSize <= part.length())
            done = fileSize; // without a record the file holds part 0 alone
        part.done = std::min({ done, inFile, part.length() });
    }
    if (!matches && fileSize > parts_.front().length()) {
        // Longer than part 0 without a record: nobody can tell which of its
        // bytes were written, so none is trusted, and the part files taken
        // over land where it reads as zeros.
        if (::ftruncate(fd_, 0) != 0)
            return false;
    }
    return true;
}

bool PartStore::takeOverPartFiles()
{
    for (std::size_t i = 1; i < parts_.size(); ++i) {
        FilePart& part = parts_[i];
        const QString name = partFileName(target_, static_cast<int>(i));
        {
            Fd old(name, O_RDONLY);
            if (!old)
                continue; // missing, or a link that is nobody's part
            if (part.done == 0) {
                const std::uint64_t take = std::min(sizeOf(old.get()), part.length());
                // A hole at the end of the old part is not copied; the file
                // must still reach past it.
                const bool copied = copyInto(old.get(), fd_, part.start, take)
                    && (sizeOf(fd_) >= part.start + take
                        || ::ftruncate(fd_, static_cast<off_t>(part.start + take)) == 0);
                if (!copied) {
                    error_ = systemError(QStringLiteral("Cannot take over"), name);
                    return false;
                }
                part.done = take;
                if (!writeRecord())
                    return false;
            }
        }
        removeLocalFile(name);
    }
    return true;
}

bool PartStore::writeRecord()
{
    PartRecord record { parts_.back().end, parts_.front().length(), {}, std::nullopt, origin_.date };
    if (!origin_.remotePath.empty())
        record.source = origin_.remotePath;
    for (const FilePart& part : parts_)
        record.done.push_back(part.done);
    lastRecord_ = std::chrono::steady_clock::now();
    return writePartRecord(partRecordName(target_), record, &error_);
}

void PartStore::recordProgress(bool now)
{
    if (fd_ < 0)
        return;
    if (!now && std::chrono::steady_clock::now() - lastRecord_ < recordPeriod)
        return;
    // A record that reached the disk before the data would tell the next
    // run to skip bytes that were lost.
    if (::fdatasync(fd_) == 0)
        writeRecord();
    else
        lastRecord_ = std::chrono::steady_clock::now();
}

bool PartStore::write(int part, std::uint64_t position, const char* data, std::uint64_t length)
{
    FilePart& p = parts_[static_cast<std::size_t>(part)];
    if (fd_ < 0 || position != p.start + p.done || (!lengthUnknown_ && position + length > p.end))
        return false;
    if (!writeAll(fd_, data, length, position)) {
        writeFailed_ = true;
        error_ = systemError(QStringLiteral("Cannot write"), dataFile_);
        return false;
    }
    p.done += length;
    if (digest_.offer(position, data, length) && several() && digest_.position() == p.end)
        digest_.catchUp(fd_, parts_);
    return true;
}

void PartStore::forgetFrom(int part, std::uint64_t position)
{
    FilePart& p = parts_[static_cast<std::size_t>(part)];
    if (position < p.start || position >= p.start + p.done)
        return;
    p.done = position - p.start;
    digest_.forgetFrom(position);
    if (!several() && ::ftruncate(fd_, static_cast<off_t>(position)) != 0)
        p.done = 0;
}

MergeResult PartStore::finish(const std::function<void(int)>& onPartPassed)
{
    if (fd_ < 0)
        return { std::nullopt, error_ };
    if (lengthUnknown_)
        parts_[0].end = parts_[0].start + parts_[0].done;
    const std::uint64_t size = parts_.back().end;
    if (!digest_.catchUp(fd_, parts_, onPartPassed))
        return { std::nullopt, systemError(QStringLiteral("Cannot read"), dataFile_) };
    auto digest = digest_.result(size);
    if (!digest) {
        errno = EIO;
        return { std::nullopt, systemError(QStringLiteral("Incomplete"), dataFile_) };
    }
    if (sizeOf(fd_) != size && ::ftruncate(fd_, static_cast<off_t>(size)) != 0)
        return { std::nullopt, systemError(QStringLiteral("Cannot cut"), dataFile_) };
    close();
    if (several()
        && ::rename(nativeLocalPath(dataFile_).constData(), nativeLocalPath(target_).constData()) != 0)
        return { std::nullopt, systemError(QStringLiteral("Cannot rename"), dataFile_) };
    removeLocalFile(partRecordName(target_));
    return { std::move(digest), {} };
}
