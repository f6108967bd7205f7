#include "app/LinkFileRegistration.h"

#include "app/LinkFileTypeFiles.h"

#include "common/AtomicFile.h"
#include "common/ProgramFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>

namespace
{
// Writes the file only when its contents differ; true when it was written.
bool writeIfChanged(const QString& path, const QByteArray& contents)
{
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == contents)
        return false;
    QDir().mkpath(QFileInfo(path).absolutePath());
    return writeFileAtomically(
        path, std::string_view(contents.constData(), static_cast<size_t>(contents.size())), 0644);
}

// A path as one quoted argument of an Exec line: the quoting rule of
// desktop entries escapes " ` $ and \ with a backslash, the string rule of
// the file then doubles every backslash, and a literal % is written %%.
QByteArray execArgument(const QByteArray& path)
{
    QByteArray quoted = "\"";
    for (const char c : path) {
        if (c == '"' || c == '`' || c == '$')
            quoted += "\\\\";
        else if (c == '\\')
            quoted += "\\\\\\";
        quoted += c == '%' ? QByteArray("%%") : QByteArray(1, c);
    }
    return quoted + '"';
}

// The packaged entry runs "ranquil" from the PATH; this one runs this very
// executable.
QByteArray desktopEntryFor(const QString& executablePath)
{
    QList<QByteArray> lines = QByteArray(linkFileTypeFiles::desktopEntry).split('\n');
    for (QByteArray& line : lines)
        if (line.startsWith("Exec="))
            line = "Exec=" + execArgument(QFile::encodeName(executablePath)) + " %f";
    return lines.join('\n');
}

// A line break would end the Exec line inside the path.
bool holdsControlByte(const QByteArray& path)
{
    return std::any_of(path.begin(), path.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

void refresh(const QString& tool, const QString& folder)
{
    const QString program = QStandardPaths::findExecutable(tool);
    if (!program.isEmpty())
        QProcess::startDetached(program, { folder });
}
} // namespace

void registerLinkFileType(const QString& executablePath)
{
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty() || executablePath.isEmpty() || holdsControlByte(QFile::encodeName(executablePath)))
        return;
    const QString mimeFolder = joinPath(dataHome, QStringLiteral("mime"));
    const QString applications = joinPath(dataHome, QStringLiteral("applications"));
    if (writeIfChanged(joinPath(mimeFolder, QStringLiteral("packages/ranquil-link.xml")),
            QByteArray(linkFileTypeFiles::mimePackage)))
        refresh(QStringLiteral("update-mime-database"), mimeFolder);
    if (writeIfChanged(
            joinPath(applications, QStringLiteral("ranquil.desktop")), desktopEntryFor(executablePath)))
        refresh(QStringLiteral("update-desktop-database"), applications);
}
