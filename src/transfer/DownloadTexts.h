#pragma once

#include <QString>

// The texts a download shows; the question and the messages keep their
// historic wording.
namespace DownloadTexts
{
inline QString connecting()
{
    return QStringLiteral("Connecting..");
}
inline QString changingFolder()
{
    return QStringLiteral("Changing directory..");
}
inline QString changingXferMode()
{
    return QStringLiteral("Changing Xfer mode..");
}
inline QString tryingToDownload()
{
    return QStringLiteral("Trying to download..");
}
inline QString downloadStarting()
{
    return QStringLiteral("Download starting...");
}
inline QString quitting()
{
    return QStringLiteral("Quiting..");
}
inline QString merging(const QString& name, int percent)
{
    return QStringLiteral("Merging ") + name + QLatin1Char(' ') + QString::number(percent)
        + QStringLiteral("% done");
}
inline QString downloadError(const QString& remotePath)
{
    return QStringLiteral("File download error : \n\n\"") + remotePath
        + QStringLiteral("\"\n\ncould not be downloaded.\n");
}
inline QString keepPartsQuestion(const QString& remotePath)
{
    return QStringLiteral("Do you prefer to be able to resume the file\n\"") + remotePath
        + QStringLiteral(
            "\"\nlater(YES) or do you want to delete the partially downloaded file permanantly(NO)?");
}
inline QString digestMismatch(const QString& remotePath, const QString& expected, const QString& received)
{
    return QStringLiteral("File download error : \n\n\"") + remotePath
        + QStringLiteral("\"\n\narrived with the MD5 digest ") + received
        + QStringLiteral(" but the server gave ") + expected
        + QStringLiteral(".\nThe file is kept; it is not the file the server has.\n");
}
inline QString digestMismatchStatus(const QString& name)
{
    return QStringLiteral("MD5 mismatch: ") + name;
}
inline QString localWriteError(const QString& localPath, const QString& reason)
{
    return QStringLiteral("File download error : \n\n\"") + localPath
        + QStringLiteral("\"\n\ncould not be written: ") + reason + QStringLiteral("\n");
}
inline QString unsafeLocalPath(const QString& remotePath)
{
    return QStringLiteral("Skipped, no safe local name: ") + remotePath;
}
} // namespace DownloadTexts
