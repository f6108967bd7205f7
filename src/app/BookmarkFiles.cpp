#include "app/BookmarkFiles.h"

#include "common/ProgramFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// Whether anything, even a dangling link, stands at `path`.
bool present(const QString& path)
{
    struct stat info {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

bool isRealFolder(const QString& path)
{
    struct stat info {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isLink(const QString& path)
{
    struct stat info {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

QFileInfoList entriesOf(const QString& folder)
{
    return QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
}

// A file or link in the way is replaced; a folder in the way is never
// removed to make room for a file.
bool clearedForFile(const QString& path)
{
    return !isRealFolder(path) && bookmarkFiles::removeFile(path);
}

// The link's own target text, relative links staying relative.
bool copyLink(const QString& from, const QString& to)
{
    QByteArray target(4096, '\0');
    const ssize_t length = ::readlink(QFile::encodeName(from).constData(), target.data(), target.size());
    if (length < 0 || length == target.size())
        return false;
    target.truncate(length);
    if (!clearedForFile(to))
        return false;
    return ::symlink(target.constData(), QFile::encodeName(to).constData()) == 0;
}
} // namespace

namespace bookmarkFiles
{
bool removeFile(const QString& path)
{
    return QFile::remove(path) || !present(path);
}

bool removeTree(const QString& path)
{
    if (!isRealFolder(path))
        return removeFile(path);
    bool removedAll = true;
    for (const QFileInfo& entry : entriesOf(path))
        removedAll = removeTree(entry.filePath()) && removedAll;
    return QDir().rmdir(path) && removedAll;
}

bool copyFile(const QString& from, const QString& to)
{
    return clearedForFile(to) && QFile::copy(from, to);
}

bool copyTree(const QString& from, const QString& to)
{
    if (isLink(from))
        return copyLink(from, to);
    if (!isRealFolder(from))
        return copyFile(from, to);
    if (!isRealFolder(to) && (!removeFile(to) || !makePrivateFolder(to)))
        return false;
    bool copiedAll = true;
    for (const QFileInfo& entry : entriesOf(from))
        copiedAll = copyTree(entry.filePath(), joinPath(to, entry.fileName())) && copiedAll;
    return copiedAll;
}
} // namespace bookmarkFiles
