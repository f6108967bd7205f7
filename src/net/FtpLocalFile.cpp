#include "net/FtpLocalFile.h"

#include "net/FtpAsciiText.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Linux has no mandatory sharing: the modes that deny others take an
// advisory lock, which every transfer of this program honours.
bool locksOthersOut(TFtpShareMode mode)
{
    return mode != ftpShareCompat && mode != ftpShareDenyNone;
}

QString openErrorText(int error)
{
    if (error == ELOOP)
        return QStringLiteral("it is a symbolic link");
    if (error == EWOULDBLOCK)
        return QStringLiteral("another transfer holds it");
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

bool FtpLocalFile::open(const QString& name, int flags, TFtpShareMode mode)
{
    release();
    errorText_.clear();
    if (name.isEmpty()) {
        errorText_ = openErrorText(ENOENT);
        return false;
    }
    const QByteArray path = QFile::encodeName(name);
    int fd;
    do {
        fd = ::open(path.constData(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        errorText_ = openErrorText(errno);
        return false;
    }
    if (locksOthersOut(mode) && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        errorText_ = openErrorText(errno);
        ::close(fd);
        return false;
    }
    struct stat status {
    };
    fd_ = fd;
    regular_ = ::fstat(fd_, &status) == 0 && S_ISREG(status.st_mode);
    return true;
}

bool FtpLocalFile::openForDownload(const QString& name, bool append, TFtpShareMode mode)
{
    // Emptying waits until the lock is ours: a file another transfer holds
    // keeps its contents.
    if (!open(name, O_WRONLY | O_CREAT | O_NOFOLLOW, mode))
        return false;
    // Devices and pipes (/dev/null, a FIFO) are written as they are.
    if (!regular_ || append || ::ftruncate(fd_, 0) == 0)
        return true;
    errorText_ = openErrorText(errno);
    release();
    return false;
}

bool FtpLocalFile::openForUpload(const QString& name, TFtpShareMode mode)
{
    return open(name, O_RDONLY, mode);
}

bool FtpLocalFile::seek(qint64 position)
{
    return fd_ >= 0 && ::lseek(fd_, position, SEEK_SET) == position;
}

qint64 FtpLocalFile::size() const
{
    struct stat status {
    };
    if (fd_ < 0 || ::fstat(fd_, &status) != 0)
        return -1;
    return status.st_size;
}

bool FtpLocalFile::writeAt(qint64 offset, const char* data, qint64 length)
{
    qint64 written = 0;
    while (written < length) {
        const auto left = static_cast<size_t>(length - written);
        const ssize_t result = regular_ ? ::pwrite(fd_, data + written, left, offset + written)
                                        : ::write(fd_, data + written, left);
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0)
            return false;
        written += result;
    }
    return true;
}

qint64 FtpLocalFile::read(char* data, qint64 length)
{
    // Half a block at most: each byte may become two.
    const qint64 wanted = text_ ? std::max<qint64>(length / 2, 1) : length;
    ssize_t result;
    do {
        result = ::read(fd_, data, static_cast<size_t>(wanted));
    } while (result < 0 && errno == EINTR);
    if (result <= 0 || !text_)
        return result;
    return expandLineEnds(data, result);
}

bool FtpLocalFile::truncate(qint64 length)
{
    return fd_ >= 0 && (!regular_ || ::ftruncate(fd_, length) == 0);
}

void FtpLocalFile::release()
{
    if (fd_ < 0)
        return;
    ::close(fd_);
    fd_ = -1;
    text_ = false;
    regular_ = false;
}
