#include "common/ProgramFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

bool makePrivateFolder(const QString& path)
{
    if (QFileInfo(path).isDir())
        return true;
    if (!QDir().mkpath(path))
        return false;
    return ::chmod(QFile::encodeName(path).constData(), 0700) == 0;
}

QString programFolder()
{
    QString folder = qEnvironmentVariable("RANQUIL_HOME");
    if (folder.isEmpty()) {
        const QString executableFolder = QCoreApplication::applicationDirPath();
        if (!executableFolder.isEmpty()
            && QFileInfo::exists(joinPath(executableFolder, QStringLiteral("Ranquil.ini"))))
            folder = executableFolder;
    }
    if (folder.isEmpty())
        folder = joinPath(
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation), QStringLiteral("ranquil"));
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    makePrivateFolder(folder);
    return folder;
}

QString joinPath(const QString& folder, const QString& name)
{
    QString result = folder;
    if (!result.endsWith(QLatin1Char('/')))
        result += QLatin1Char('/');
    if (!folder.isEmpty() && name.startsWith(QLatin1Char('/')))
        return result + name.mid(1);
    return result + name;
}

QString programFile(const QString& name)
{
    return joinPath(programFolder(), name);
}

QString settingsFilePath()
{
    return programFile(QStringLiteral("Ranquil.ini"));
}

QString registryFilePath()
{
    return programFile(QStringLiteral("Registry.ini"));
}

QString defaultDownloadFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty())
        folder = joinPath(QDir::homePath(), QStringLiteral("Downloads"));
    return folder;
}

QString temporaryFolder(QString* error)
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString folder = runtime.isEmpty()
        ? joinPath(QDir::tempPath(), QStringLiteral("Ranquil-%1").arg(::getuid()))
        : joinPath(runtime, QStringLiteral("Ranquil"));
    const QByteArray native = QFile::encodeName(folder);
    struct stat info {
    };
    if (::lstat(native.constData(), &info) != 0 && ::mkdir(native.constData(), 0700) != 0
        && errno != EEXIST) {
        if (error)
            *error = QStringLiteral("Cannot create the temporary folder %1.").arg(folder);
        return {};
    }
    // lstat, not stat: a symbolic link planted in a shared /tmp must not
    // redirect our files elsewhere.
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
        if (error)
            *error = QStringLiteral("The temporary folder %1 is not a private folder of this user; "
                                    "remove it and try again.")
                         .arg(folder);
        return {};
    }
    return folder;
}
