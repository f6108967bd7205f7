#include "common/AtomicFile.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
bool writeAll(int fd, std::string_view contents)
{
    while (!contents.empty()) {
        const ssize_t n = ::write(fd, contents.data(), contents.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        contents.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

QString systemError(const QString& what, const QString& path)
{
    return QStringLiteral("%1 %2: %3").arg(what, path, QString::fromLocal8Bit(std::strerror(errno)));
}
} // namespace

bool writeFileAtomically(const QString& path, std::string_view contents, unsigned mode, QString* error)
{
    return writeFileAtomically(QFile::encodeName(path), contents, mode, true, error);
}

bool writeFileAtomically(
    const QByteArray& nativePath, std::string_view contents, unsigned mode, bool durable, QString* error)
{
    const QString path = QFile::decodeName(nativePath);
    // The temporary file is created exclusively under a fresh name, so no
    // link planted beside the target is ever opened; the rename then
    // replaces a link at the target itself instead of writing through it.
    QByteArray pattern = nativePath + ".XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = systemError(QStringLiteral("Cannot create a file beside"), path);
        return false;
    }
    bool ok = ::fchmod(fd, static_cast<mode_t>(mode)) == 0 && writeAll(fd, contents)
        && (!durable || ::fsync(fd) == 0);
    const int savedErrno = errno;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(pattern.constData(), nativePath.constData()) == 0)
        return true;
    errno = ok ? errno : savedErrno;
    if (error)
        *error = systemError(QStringLiteral("Cannot write"), path);
    ::unlink(pattern.constData());
    return false;
}
