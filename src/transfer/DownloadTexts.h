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
inline QString checkingDigest(const QString& name)
{
    return QStringLiteral("Checking the MD5 digest of ") + name + QStringLiteral("..");
}
inline QString digestNotCheckedInAscii(const QString& remotePath)
{
    return QStringLiteral("MD5 digest of ") + remotePath
        + QStringLiteral(" not checked: an ASCII transfer changed its line ends");
}
inline QString savedBesideOtherItem(const QString& remotePath, const QString& localPath)
{
    return remotePath + QStringLiteral(" saved as ") + localPath
        + QStringLiteral(": another file of this download has its name");
}
inline QString savedBesideOtherFile(const QString& remotePath, const QString& localPath)
{
    return remotePath + QStringLiteral(" saved as ") + localPath
        + QStringLiteral(": a file that is not this download has its name");
}
inline QString noFreeLocalName()
{
    return QStringLiteral("every numbered name beside it is taken");
}
inline QString localFileDiffers(const QString& remotePath)
{
    return QStringLiteral("Skipped, but the local file is not the server's (MD5 differs): ") + remotePath;
}
} // namespace DownloadTexts
