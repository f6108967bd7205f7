#pragma once

#include <QString>
#include <QStringList>

// What a transfer worker says to its user: status lines and messages, kept
// together so that they can be found and checked.
namespace LoaderTexts
{
inline QString resolving(const QString& user)
{
    return QStringLiteral("Resolving P2P Username ") + user;
}
inline QString cannotResolve(const QString& host)
{
    return QStringLiteral("Unable to resolve IP address from the username,\nChances are the server ") + host
        + QStringLiteral(" may have gone offline");
}
inline QString connectingTo(const QString& host)
{
    return QStringLiteral("Connecting to ") + host;
}
inline QString cannotConnectToAddress(const QString& host)
{
    return QStringLiteral("Unable to connect to IP address ") + host;
}
inline QString cannotConnectToUser(const QString& host)
{
    return QStringLiteral("Unable to connect to P2P user <") + host + QLatin1Char('>');
}
inline QString sendingUser(const QString& host)
{
    return QStringLiteral("Connected, sending Username to ") + host;
}
inline QString sendingPassword()
{
    return QStringLiteral("Sending Password..");
}
inline QString loggedIn(const QString& host)
{
    return QStringLiteral("Logged in to ") + host;
}
inline QString wrongPassword(const QString& host)
{
    return QStringLiteral("Incorrect password or server does not support multiple connections.\nUnable to "
                          "connect and transfer to/from ")
        + host;
}
inline QString wrongUser(const QString& host)
{
    return QStringLiteral("Incorrect username. Unable to connect and transfer to/from ") + host;
}
inline QString connected()
{
    return QStringLiteral("Connected.");
}
inline QString checkingResume()
{
    return QStringLiteral("Checking resuming support..");
}
inline QString resumeDetected()
{
    return QStringLiteral("Resume (REST) support detected.");
}
inline QString checkingDigests()
{
    return QStringLiteral("Checking MD5 support..");
}
inline QString checkingServerResume()
{
    return QStringLiteral("Checking server's resume support..");
}
inline QString changingMode()
{
    return QStringLiteral("Changing transfer mode..");
}
inline QString quitting()
{
    return QStringLiteral("Quiting..");
}
inline QString abortingConnection()
{
    return QStringLiteral("Aborting connection..");
}
inline QString gettingDigest(const QString& path)
{
    return QStringLiteral("Getting MD5 of ") + path;
}
inline QString changingFolder(const QString& path)
{
    return QStringLiteral("Changing remote path to ") + path;
}
inline QString queryingListing(const QString& folder)
{
    return QStringLiteral("Querying directory listing ") + folder;
}
inline QString listingFailed(const QString& folder)
{
    return QStringLiteral("Directory listing retrieval error : \n") + folder;
}
inline QString creatingFolder(const QString& path)
{
    return QStringLiteral("Creating directory:") + path;
}
inline QString obtainingSize()
{
    return QStringLiteral("Obtaining latest remote file size..");
}
inline QString walkingRemote()
{
    return QStringLiteral("Retrieving remote directory structure..");
}
inline QString walkingLocal()
{
    return QStringLiteral("Retrieving local directory structure..");
}
inline QString resolvingLinksToDownload()
{
    return QStringLiteral("Resolving UNIX links to download..");
}
inline QString unsafeName(const QString& name)
{
    return QStringLiteral("Skipped a name that would leave the local folder: ") + name;
}
inline QString folderNotOpened(const QString& folder)
{
    return QStringLiteral("Could not open the folder ") + folder + QStringLiteral(", its files are left out");
}
// Shown once at the end of a download whose walk left folders out; names
// `folders`, the first of `count`.
inline QString foldersNotOpened(const QStringList& folders, int count)
{
    QString text = count == 1
        ? QStringLiteral("The download is not complete: a folder could not be opened, and its files were not "
                         "downloaded:\n")
        : QStringLiteral("The download is not complete: ") + QString::number(count)
            + QStringLiteral(" folders could not be opened, and their files were not downloaded:\n");
    text += folders.join(QLatin1Char('\n'));
    if (count > folders.size())
        text
            += QStringLiteral("\n(and ") + QString::number(count - folders.size()) + QStringLiteral(" more)");
    return text + QStringLiteral("\n\nRestart the operation to try them again.");
}
inline QString skippedLink(const QString& path)
{
    return QStringLiteral("Skipped a symbolic link that leaves the folder or loops: ") + path;
}
inline QString cacheNotOfThisOperation()
{
    return QStringLiteral(
        "The cached listing names paths outside this operation: the folders are walked again.");
}
inline QString cacheQuestion()
{
    return QStringLiteral(
        "This operation's directory listing already exists in cache.\n\nDo you want to use the "
        "cached file names/paths (RESUME / YES) or get the directory structure again and start "
        "from the beginning (RESTART / NO) ?");
}
inline QString uploadStarting()
{
    return QStringLiteral("Upload starting...");
}
inline QString uploadFailed(const QString& localPath)
{
    return QStringLiteral("File upload error : \n") + localPath + QStringLiteral("\ncould not be uploaded.");
}
inline QString uploadResumeFailed(const QString& remotePath)
{
    return QStringLiteral("File upload resume error : \n") + remotePath
        + QStringLiteral("\ncould not be resumed.");
}
inline QString deletingFile(const QString& path)
{
    return QStringLiteral("Deleting file:") + path;
}
// One refused path, or several, one a line.
inline QString fileRemovalFailed(const QString& paths)
{
    return QStringLiteral("File removal error : \n") + paths + QStringLiteral("\n could not be removed.");
}
inline QString fileNotRemoved(const QString& path)
{
    return QStringLiteral("Not removed: ") + path;
}
inline QString folderRemovalFailed(const QString& folder)
{
    return QStringLiteral("Directory removal error : \n") + folder
        + QStringLiteral("\ncould not be removed.");
}
} // namespace LoaderTexts
