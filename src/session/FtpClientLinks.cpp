// Link files (".wkt"): a site profile that leads the session to another
// server, fetched from the connected server or read from the local disk.

#include "session/FtpClient.h"

#include "common/LinkFile.h"
#include "common/ProgramFolders.h"
#include "net/TFtpClient.h"
#include "remote/RemotePath.h"
#include "session/SessionView.h"

#include <QFile>

namespace
{

QString unableToGetLinkFile()
{
    return QStringLiteral("Unable to get link file.");
}

} // namespace

void ftpClient::openLinkFile(const ftpObject& entry)
{
    const commandScope scope(*this);
    setSessionState(sessionState::Transferring);
    const std::string remote = remotePath::join(entry.directory, entry.name);
    // The server names the file; it is stored under that name only when the
    // name is one plain file name.
    const QString localName
        = isSafeLinkName(entry.name) ? QString::fromStdString(entry.name) : QStringLiteral("link.wkt");
    const QString local = joinPath(folder_.path(), localName);
    QFile::remove(local);
    showStatus(QStringLiteral("Downloading ") + QString::fromStdString(remote));
    ftp_->SetHostFileName(QByteArray(remote.data(), static_cast<qsizetype>(remote.size())));
    ftp_->SetLocalFileName(local);
    ftp_->SetBinary(true);
    // Only in binary mode does the file arrive with the length listed; of
    // another length it has changed since and is not the one chosen. The
    // next listing switches back to ASCII.
    const bool binary = ftp_->TypeSet();
    ftp_->SetExpectedSize(binary && entry.size > 0 ? entry.size : -1);
    downloadLimit_ = static_cast<qint64>(linkFiles::maxFileSize);
    const bool fetched = ftp_->Get();
    downloadLimit_ = -1;
    ftp_->SetHostFileName({});
    ftp_->SetLocalFileName({});
    if (!fetched) {
        showServerError(QStringLiteral("Unable to download file ") + QString::fromStdString(remote));
        setSessionState(sessionState::IndeterminateStable);
        showError(unableToGetLinkFile());
    } else if (!closing_) {
        const std::optional<ftpSite> link
            = readLinkFile(local, LinkFileUse::Session, options_.AnonymousPassword);
        if (link) {
            leaveServer();
            takeOverLink(*link);
            setSessionState(sessionState::Linking);
            connectSession(true);
        } else {
            showError(unableToGetLinkFile());
        }
    }
    QFile::remove(local);
    setSessionState(sessionState::IndeterminateStable);
    finishCommand();
}

bool ftpClient::openLocalLinkFile(const QString& path)
{
    const commandScope scope(*this);
    QString error;
    const std::optional<ftpSite> link
        = readLinkFile(path, LinkFileUse::Session, options_.AnonymousPassword, &error);
    if (!link) {
        showError(unableToGetLinkFile() + QStringLiteral("\n\n") + error);
        disconnectSession(true);
        return false;
    }
    takeOverLink(*link);
    view_->setCaption(tabCaption(site_.name));
    if (!closing_) {
        setSessionState(sessionState::Linking);
        connectSession(true);
    }
    setSessionState(closing_ ? sessionState::Connected : sessionState::IndeterminateStable);
    return true;
}

void ftpClient::takeOverLink(const ftpSite& link)
{
    // The link names a server; the P2P network stays the session's.
    p2pNetwork network = site_.network;
    site_ = link;
    site_.network = std::move(network);
}
