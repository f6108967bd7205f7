#include "app/LinkFileRegistration.h"

#include "common/AtomicFile.h"
#include "common/ProgramFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace
{
const char mimePackage[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="application/x-zelta-link">
    <comment>Ranquil FTP link</comment>
    <glob pattern="*.wkt"/>
  </mime-type>
</mime-info>
)";

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
    if (dataHome.isEmpty() || executablePath.isEmpty())
        return;
    const QString mimeFolder = joinPath(dataHome, QStringLiteral("mime"));
    const QString applications = joinPath(dataHome, QStringLiteral("applications"));
    const QByteArray desktopEntry = "[Desktop Entry]\n"
                                    "Type=Application\n"
                                    "Name=Quorvane Ranquil\n"
                                    "Comment=FTP client with peer-to-peer search\n"
                                    "Exec=\""
        + QFile::encodeName(executablePath)
        + "\" %f\n"
          "MimeType=application/x-zelta-link;\n"
          "Categories=Network;FileTransfer;\n"
          "Terminal=false\n";
    if (writeIfChanged(
            joinPath(mimeFolder, QStringLiteral("packages/ranquil-link.xml")), QByteArray(mimePackage)))
        refresh(QStringLiteral("update-mime-database"), mimeFolder);
    if (writeIfChanged(joinPath(applications, QStringLiteral("ranquil.desktop")), desktopEntry))
        refresh(QStringLiteral("update-desktop-database"), applications);
}
