#include "transfer/PartMerge.h"

#include <QCryptographicHash>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{

constexpr std::size_t blockSize = 4 * 1024 * 1024;

// A file descriptor closed when it goes out of scope.
class Fd
{
public:
    Fd(const QString& path, int flags)
        : fd_(::open(QFile::encodeName(path).constData(), flags | O_NOFOLLOW | O_CLOEXEC))
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
    return what + QStringLiteral(" \"") + path + QStringLiteral("\": ")
        + QString::fromLocal8Bit(std::strerror(errno));
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
        std::vector<char> block(std::min<std::uint64_t>(blockSize, length));
        while (length > 0) {
            const ssize_t got
                = ::pread(in, block.data(), std::min<std::uint64_t>(block.size(), length), from);
            if (got <= 0) {
                if (got == 0)
                    errno = EIO;
                return false;
            }
            if (::pwrite(out, block.data(), static_cast<std::size_t>(got), at) != got)
                return false;
            from += got;
            at += got;
            length -= static_cast<std::uint64_t>(got);
        }
    }
    return true;
}

// Copies the first `length` bytes of `from` to `offset` of `to`, skipping
// the holes of a sparse part: the result has not been written there yet,
// so it reads as zeros already.
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
    // A part file shorter than its part is not whole.
    struct stat status {
    };
    if (::fstat(from, &status) != 0)
        return false;
    if (static_cast<std::uint64_t>(status.st_size) < length) {
        errno = EIO;
        return false;
    }
    return true;
}

std::optional<std::string> digestOf(int fd)
{
    QCryptographicHash hash(QCryptographicHash::Md5);
    std::vector<char> block(blockSize);
    off_t at = 0;
    for (;;) {
        const ssize_t got = ::pread(fd, block.data(), block.size(), at);
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        hash.addData(QByteArrayView(block.data(), got));
        at += got;
    }
    return hash.result().toHex().toUpper().toStdString();
}

} // namespace

MergeResult mergeParts(
    const QString& target, const std::vector<FilePart>& parts, const std::function<void(int)>& onPartMerged)
{
    if (parts.empty())
        return { std::nullopt, QStringLiteral("no parts") };
    const QString first = partFileName(target, 0);
    Fd result(first, O_RDWR);
    if (!result)
        return { std::nullopt, systemError(QStringLiteral("Cannot open"), first) };
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const QString name = partFileName(target, static_cast<int>(i));
        {
            Fd part(name, O_RDONLY);
            if (!part)
                return { std::nullopt, systemError(QStringLiteral("Cannot open"), name) };
            if (!copyInto(part.get(), result.get(), parts[i].start, parts[i].length()))
                return { std::nullopt, systemError(QStringLiteral("Cannot merge"), name) };
        }
        QFile::remove(name);
        if (onPartMerged)
            onPartMerged(static_cast<int>(i));
    }
    if (::ftruncate(result.get(), static_cast<off_t>(parts.back().end)) != 0)
        return { std::nullopt, systemError(QStringLiteral("Cannot cut"), first) };
    auto digest = digestOf(result.get());
    if (!digest)
        return { std::nullopt, systemError(QStringLiteral("Cannot read"), first) };
    if (::rename(QFile::encodeName(first).constData(), QFile::encodeName(target).constData()) != 0)
        return { std::nullopt, systemError(QStringLiteral("Cannot rename"), first) };
    return { std::move(digest), {} };
}

MergeResult fileDigest(const QString& path)
{
    Fd file(path, O_RDONLY);
    if (!file)
        return { std::nullopt, systemError(QStringLiteral("Cannot open"), path) };
    auto digest = digestOf(file.get());
    if (!digest)
        return { std::nullopt, systemError(QStringLiteral("Cannot read"), path) };
    return { std::move(digest), {} };
}
