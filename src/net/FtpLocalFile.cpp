#include "net/FtpLocalFile.h"

#include <QFile>

#include <cerrno>
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

} // namespace

bool FtpLocalFile::open(const QString& name, int flags, TFtpShareMode mode)
{
    release();
    if (name.isEmpty())
        return false;
    const QByteArray path = QFile::encodeName(name);
    int fd;
    do {
        fd = ::open(path.constData(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    if (locksOthersOut(mode) && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool FtpLocalFile::openForDownload(const QString& name, bool append, TFtpShareMode mode)
{
    // Emptying waits until the lock is ours: a file another transfer holds
    // keeps its contents.
    if (!open(name, O_WRONLY | O_CREAT, mode))
        return false;
    struct stat status {
    };
    const bool regular = ::fstat(fd_, &status) == 0 && S_ISREG(status.st_mode);
    // Devices and pipes (/dev/null, a FIFO) are written as they are.
    bool positioned = true;
    if (regular)
        positioned = append ? ::lseek(fd_, 0, SEEK_END) >= 0 : ::ftruncate(fd_, 0) == 0;
    if (!positioned)
        release();
    return positioned;
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

qint64 FtpLocalFile::write(const char* data, qint64 length)
{
    qint64 written = 0;
    while (written < length) {
        const ssize_t result = ::write(fd_, data + written, static_cast<size_t>(length - written));
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0)
            return -1;
        written += result;
    }
    return written;
}

qint64 FtpLocalFile::read(char* data, qint64 length)
{
    ssize_t result;
    do {
        result = ::read(fd_, data, static_cast<size_t>(length));
    } while (result < 0 && errno == EINTR);
    return result;
}

void FtpLocalFile::release()
{
    if (fd_ < 0)
        return;
    ::close(fd_);
    fd_ = -1;
}
