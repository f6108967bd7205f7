// Downloads, uploads and deletions: the session builds the operation's item
// lists and hands them to the transfer engine, either on connections of the
// engine's own or on the session's connection, lent to the worker for the
// run and taken back afterwards.

#include "session/FtpClient.h"

#include "common/Notices.h"
#include "common/Prompter.h"
#include "net/TFtpClient.h"
#include "remote/RemotePath.h"
#include "session/SessionView.h"
#include "session/TransferLists.h"
#include "transfer/ActionsList.h"
#include "transfer/LoadFrame.h"

#include <QFile>
#include <QFileInfo>

namespace
{

namespace texts
{
QString notAFolder()
{
    return QStringLiteral("Cannot download to non-filesystem folder.");
}
QString selectToDownload()
{
    return QStringLiteral("Select a remote file to download.");
}
QString reallyDelete()
{
    return QStringLiteral("Do you really want to delete?");
}
QString launchingDownload()
{
    return QStringLiteral("Launching download thread..");
}
QString launchingUpload()
{
    return QStringLiteral("Launching upload thread..");
}
QString newConnectionQuestion(OperationKind kind)
{
    const QString operation = kind == OperationKind::Download ? QStringLiteral("download")
        : kind == OperationKind::Upload                       ? QStringLiteral("upload")
                                                              : QStringLiteral("delete");
    const QString completion = kind == OperationKind::Delete ? QStringLiteral("deletion") : operation;
    return QStringLiteral(
        "Do you want to launch a new connection (YES) or use the current connection for the %1 operation "
        "(NO)?\nIf your server has a limit for number of users from an IP address or if you want to connect "
        "to sites with UL/DL ratios, then you better choose (NO).\nIf you choose to use the existing "
        "connection, the connection will be blocked until the %2 operation is complete.")
        .arg(operation, completion);
}
} // namespace texts

std::int32_t& choiceFor(connectionOptions& options, OperationKind kind)
{
    switch (kind) {
    case OperationKind::Download:
        return options.UseSingleConnectionForDownloads;
    case OperationKind::Upload:
        return options.UseSingleConnectionForUploads;
    case OperationKind::Delete:
        break;
    }
    return options.UseSingleConnectionForDeletes;
}

} // namespace

void ftpClient::setTransfers(transferServices services, transferViews* views)
{
    transfers_ = std::move(services);
    transferViews_ = views;
}

bool ftpClient::askNewConnection(OperationKind kind)
{
    // The live options are saved at the end; the session's copy follows them
    // so that both give the same answer.
    connectionOptions& options = transfers_.options ? *transfers_.options : options_;
    std::int32_t& choice = choiceFor(options, kind);
    if (choice != connectionOptions::NewConnection && choice != connectionOptions::OwnConnection) {
        view_->setModal(true);
        choice = prompter_.askYesNo(texts::newConnectionQuestion(kind)) ? connectionOptions::NewConnection
                                                                        : connectionOptions::OwnConnection;
        view_->setModal(false);
    }
    choiceFor(options_, kind) = choice;
    return choice == connectionOptions::OwnConnection;
}

// ------------------------------------------------------------ the commands

void ftpClient::downloadSelected(std::span<const ftpObject* const> selection, const QString& localFolder)
{
    const commandScope scope(*this);
    if (selection.empty() || lentTo_)
        return;
    if (localFolder.isEmpty()) {
        showError(texts::notAFolder());
        return;
    }
    showStatus(texts::launchingDownload());
    setSessionState(sessionState::Transferring);
    for (TransferRequest& request :
        transferLists::remoteRequests(selection, OperationKind::Download, localFolder))
        startOperation(std::move(request));
    setSessionState(sessionState::IndeterminateStable);
}

void ftpClient::downloadSelectedTo(std::span<const ftpObject* const> selection)
{
    const commandScope scope(*this);
    if (selection.empty()) {
        showError(texts::selectToDownload());
        return;
    }
    if (!transferViews_ || lentTo_)
        return;
    // The entries may go while the chooser waits (a lost connection clears
    // the list): the lists are built first.
    std::vector<TransferRequest> requests
        = transferLists::remoteRequests(selection, OperationKind::Download, {});
    view_->setModal(true);
    const QString folder = transferViews_->chooseDownloadFolder();
    view_->setModal(false);
    if (folder.isEmpty() || closing_)
        return;
    setSessionState(sessionState::Transferring);
    showStatus(texts::launchingDownload());
    for (TransferRequest& request : requests) {
        request.destination = folder;
        startOperation(std::move(request));
    }
    setSessionState(sessionState::IndeterminateStable);
}

void ftpClient::uploadSelected(const QStringList& localPaths)
{
    const commandScope scope(*this);
    if (lentTo_)
        return;
    showStatus(texts::launchingUpload());
    TransferItems items = transferLists::localItems(localPaths);
    if (items.empty())
        return;
    if (ftp_->GetConnected()) {
        for (const QString& path : localPaths) {
            const QFileInfo info(path);
            if (info.isFile() || info.isDir())
                insertNewEntry(QFile::encodeName(info.fileName()).toStdString(), info.isFile());
        }
    }
    startOperation({ uploadSiteFor(currentDirectory_), OperationKind::Upload, {}, std::move(items) });
}

// The folder travels as the server's bytes: a name that is no UTF-8 text
// would lose them as a QString, and the files would land elsewhere.
ftpSite ftpClient::uploadSiteFor(const std::string& remoteFolder) const
{
    ftpSite site = site_;
    site.initialDirectory = remoteFolder;
    return site;
}

std::string ftpClient::uploadTargetOf(const dropPoint& point, bool& showInList) const
{
    showInList = false;
    if (point.onTree) {
        if (!point.node)
            return site_.initialDirectory;
        showInList = point.node == selectedNode_ && ftp_->GetConnected();
        return point.node->path;
    }
    if (!ftp_->GetConnected())
        return site_.initialDirectory;
    if (!point.entry || point.entry->kind == ftpObject::RegularFile
        || point.entry->kind == ftpObject::LinkFile) {
        showInList = true;
        return currentDirectory_;
    }
    return remotePath::join(point.entry->directory, point.entry->name);
}

void ftpClient::uploadDropped(const QStringList& localPaths, const dropPoint& point)
{
    const commandScope scope(*this);
    if (site_.hostAddress.empty() || lentTo_)
        return;
    showStatus(texts::launchingUpload());
    bool showInList = false;
    const std::string target = uploadTargetOf(point, showInList);
    QFile::remove(cacheFileOf(target));
    TransferItems items = transferLists::localItems(localPaths);
    if (items.empty())
        return;
    if (showInList) {
        for (const QString& path : localPaths) {
            const QFileInfo info(path);
            if (info.isFile() || info.isDir())
                insertNewEntry(QFile::encodeName(info.fileName()).toStdString(), info.isFile());
        }
    }
    if (point.onTree)
        setSessionState(sessionState::Transferring);
    startOperation({ uploadSiteFor(target), OperationKind::Upload, {}, std::move(items) });
    if (!lentTo_ && !ftp_->GetConnected())
        tearDownViews();
    else if (point.onTree && !lentTo_)
        setSessionState(sessionState::IndeterminateStable);
}

void ftpClient::deleteSelected(std::span<const ftpObject* const> selection)
{
    const commandScope scope(*this);
    if (selection.empty() || lentTo_ || !prompter_.askYesNo(texts::reallyDelete()) || closing_)
        return;
    std::vector<TransferRequest> requests
        = transferLists::remoteRequests(selection, OperationKind::Delete, {});
    // Only the first server's entries are deleted: only they leave the views.
    const ftpSite& first = requests.front().site;
    std::vector<const ftpObject*> deleted;
    for (const ftpObject* entry : selection) {
        if (entry->site->hostAddress == first.hostAddress && entry->site->port == first.port
            && entry->site->userId == first.userId)
            deleted.push_back(entry);
    }
    if (ftp_->GetConnected() && ftp_->State() == ftpReady) {
        ftp_->SetHostDirName(QByteArray::fromStdString(currentDirectory_));
        ftp_->Cwd();
        ftp_->SetHostDirName({});
        serverWorkingDirectory_.clear();
    }
    if (closing_)
        return;
    showStatus(QStringLiteral("Deleting.."));
    startOperation(std::move(requests.front()));
    removeEntries(deleted);
    if (selectedNode_)
        QFile::remove(cacheFileOf(selectedNode_->path));
}

// ------------------------------------------------------------ starting an operation

void ftpClient::startOperation(TransferRequest request)
{
    if (!transfers_.manager || !transfers_.windows || !transferViews_ || request.items.empty() || closing_)
        return;
    const bool own = askNewConnection(request.kind);

    LoadFrameSetup setup;
    if (transfers_.actions) {
        ftpOperationObject operation;
        operation.request = request;
        operation.status = OperationStatus::Running;
        setup.operation = transfers_.actions->addOperation(std::move(operation));
    }
    setup.actions = transfers_.actions;
    setup.manager = transfers_.manager;
    setup.options = transfers_.options ? transfers_.options : &options_;
    setup.prompter = &prompter_;
    setup.speedLabels = transfers_.speedLabels;
    setup.request = std::move(request);

    // The session's own connection serves only when it is there to lend.
    if (own && !lentTo_ && ftp_->GetConnected() && ftp_->State() == ftpReady && directoryCommandIdle_) {
        lendConnection(std::move(setup));
        return;
    }
    view_->setModal(true);
    transfers_.windows->openTransferWindow(std::move(setup));
    view_->setModal(false);
}

// ------------------------------------------------------------ lending the connection

void ftpClient::lendConnection(LoadFrameSetup setup)
{
    const OperationKind kind = setup.request.kind;
    setSessionState(sessionState::Transferring);
    keepAlive_.stop();
    // The worker drives the component on its own thread: the session's
    // handlers must not run there. Its log lines still reach the session's
    // log, through the main thread's queue.
    ftp_->OnDisplay = [this](const QString& line) {
        QMetaObject::invokeMethod(
            this, [this, line] { logLine(line); }, Qt::QueuedConnection);
    };
    ftp_->OnStateChange = nullptr;
    ftp_->OnUsageError = nullptr;
    ftp_->ThreadDetach();
    setup.embedded = true;
    setup.handBack = [this, kind](TFtpClient*) { takeBackConnection(kind); };
    lentTo_ = &transferViews_->embedTransferView(std::move(setup), *ftp_, noticeReceiver_.data());
}

void ftpClient::takeBackConnection(OperationKind kind)
{
    lentTo_ = nullptr;
    // The worker hands the component back attached to this thread; should
    // it have failed to, the component is still free to attach here.
    if (!ftp_->thread())
        ftp_->ThreadAttach();
    attachComponentEvents();
    // The worker changed the server's folder.
    serverWorkingDirectory_.clear();
    if (transferViews_)
        transferViews_->transferViewGone();
    if (reclaiming_)
        return;
    const commandScope scope(*this);
    if (!ftp_->GetConnected()) {
        disconnectSession(true);
        return;
    }
    if (options_.KeepAlivePeriod > 0)
        keepAlive_.start(options_.KeepAlivePeriod);
    if (kind == OperationKind::Download)
        setSessionState(sessionState::IndeterminateStable);
    else if (noticeReceiver_)
        postNotice(noticeReceiver_, Notice::RefreshSession, this);
    else
        QMetaObject::invokeMethod(
            this, [this] { refreshListing(); }, Qt::QueuedConnection);
}

void ftpClient::reclaimConnection()
{
    if (!lentTo_)
        return;
    reclaiming_ = true;
    TLoadFrame* transfer = lentTo_;
    transfer->destroy();
    reclaiming_ = false;
    if (lentTo_) {
        // The transfer never started its worker: nothing handed it back.
        lentTo_ = nullptr;
        if (!ftp_->thread())
            ftp_->ThreadAttach();
        attachComponentEvents();
        if (transferViews_)
            transferViews_->transferViewGone();
    }
}
