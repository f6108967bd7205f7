#include "app/BuildInfo.h"

#include "app/BuildConstants.h"

#include <QDir>
#include <QFileInfo>

QString programVersion()
{
    return QString::fromLatin1(buildConstants::version);
}

QString programMajorMinor()
{
    return programVersion().section(QLatin1Char('.'), 0, 1);
}

QString builtInUpgradeInformationUrl()
{
    return QString::fromUtf8(buildConstants::upgradeInformationUrl);
}

bool runsFromBuildFolder(const QString& executableFolder)
{
    // Canonical on both sides: a build reached through a symbolic link is
    // still the build.
    const QString build = QFileInfo(QString::fromUtf8(buildConstants::buildFolder)).canonicalFilePath();
    const QString folder = QFileInfo(executableFolder).canonicalFilePath();
    if (build.isEmpty() || folder.isEmpty())
        return false;
    return folder == build || folder.startsWith(build + QLatin1Char('/'));
}

QString helpFilePath(const QString& executableFolder)
{
    const QString name = QStringLiteral("RanquilHelp.html");
    const QDir beside(executableFolder);
    for (const QString& candidate : { beside.filePath(name),
             QDir(beside.filePath(QString::fromUtf8(buildConstants::dataFromExecutable))).filePath(name) })
        if (QFileInfo::exists(candidate))
            return QDir::cleanPath(candidate);
    return {};
}
