#include "transfer/UploadBranch.h"

#include "net/TFtpClient.h"
#include "remote/RemotePath.h"
#include "transfer/FtpOperation.h"
#include "transfer/LoaderTexts.h"
#include "transfer/RemoteName.h"
#include "transfer/WorkerContext.h"

#include <QFile>
#include <QFileInfo>

namespace
{

// The folder that holds a local item, ending in "/".
QString folderOf(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    QString folder = QFileInfo(path).path();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

} // namespace

UploadBranch::UploadBranch(WorkerContext& worker)
    : worker_(worker)
    , walker_(worker)
{
}

void UploadBranch::run()
{
    using Step = void (UploadBranch::*)();
    static constexpr Step steps[] = {
        &UploadBranch::probeResume,
        &UploadBranch::takeOwnFiles,
        &UploadBranch::walkLocalFolders,
        &UploadBranch::announceWalking,
        &UploadBranch::uploadFiles,
    };
    for (const Step step : steps) {
        if (worker_.stopping())
            return;
        (this->*step)();
    }
}

void UploadBranch::probeResume()
{
    worker_.withOperation(
        [](ftpOperationObject& operation) { operation.request.kind = OperationKind::Upload; });
    worker_.setStatus(LoaderTexts::checkingServerResume());
    worker_.probeResume();
}

void UploadBranch::takeOwnFiles()
{
    for (const TransferEntry& file : worker_.items().files)
        localBases_.push_back(folderOf(QFile::decodeName(QByteArray::fromStdString(file.path))));
}

void UploadBranch::walkLocalFolders()
{
    worker_.setStatus(LoaderTexts::walkingLocal());
    TransferItems& items = worker_.items();
    for (const TransferEntry& entry : items.folders) {
        if (worker_.stopping())
            return;
        const QString folder = QFile::decodeName(QByteArray::fromStdString(entry.path));
        const QString base = folderOf(folder);
        walker_.walkLocalFolder(folder, base, items.files);
        localBases_.resize(items.files.size(), base);
    }
}

void UploadBranch::announceWalking()
{
    worker_.progressBlock().walkingStarted = true;
}

void UploadBranch::uploadFiles()
{
    const std::vector<TransferEntry>& files = worker_.items().files;
    for (std::size_t index = files.size(); index-- > 0 && !worker_.stopping();) {
        const QString localPath = QFile::decodeName(QByteArray::fromStdString(files[index].path));
        const QString& base = localBases_[index];
        const auto remotePath = walker_.remotePathOfLocal(localPath, base);
        if (!remotePath) {
            worker_.setStatus(LoaderTexts::unsafeName(localPath));
            continue;
        }
        uploadOne(localPath, base, *remotePath, files[index].size);
    }
}

void UploadBranch::uploadOne(
    const QString& localPath, const QString& localBase, const std::string& remotePath, std::uint64_t size)
{
    worker_.progressBlock().setCurrentFile(localPath);
    worker_.setStatus(LoaderTexts::changingMode());
    const QString remoteFolder = shownName(remotePath::parentOf(remotePath));
    worker_.withWindow([&](LoaderWindow& window) { window.showFolders(localBase, remoteFolder); });
    worker_.setStatus(LoaderTexts::walkingRemote());
    const RemoteState remote = remoteState(size, remotePath, firstCheck_);
    firstCheck_ = false;
    worker_.setTransferTypeFor(remotePath);
    if (worker_.stopping())
        return;

    WorkerContext::AllAnswers& all = worker_.allAnswers();
    switch (remote.existence) {
    case Existence::Missing:
        uploadWhole(localPath, remotePath, size);
        return;
    case Existence::Complete:
    case Existence::Longer: {
        if (all.skipComplete)
            return;
        OverwriteAnswer answer = OverwriteAnswer::Overwrite;
        if (!all.overwriteComplete)
            answer = worker_.askOverwrite(localPath, ExistenceKind::Completely);
        all.overwriteComplete |= answer == OverwriteAnswer::OverwriteAll;
        all.skipComplete |= answer == OverwriteAnswer::SkipAll;
        if (answer == OverwriteAnswer::Overwrite || answer == OverwriteAnswer::OverwriteAll)
            uploadWhole(localPath, remotePath, size);
        return;
    }
    case Existence::Partial: {
        if (all.skipPartial)
            return;
        OverwriteAnswer answer = all.overwritePartial ? OverwriteAnswer::Overwrite
            : all.resumePartial
            ? OverwriteAnswer::Resume
            : worker_.askOverwrite(
                localPath, worker_.supportsRest() ? ExistenceKind::Partially : ExistenceKind::Completely);
        all.overwritePartial |= answer == OverwriteAnswer::OverwriteAll;
        all.skipPartial |= answer == OverwriteAnswer::SkipAll;
        all.resumePartial |= answer == OverwriteAnswer::ResumeAll;
        if (answer == OverwriteAnswer::Resume || answer == OverwriteAnswer::ResumeAll)
            resumeUpload(localPath, remotePath, size, remote.size);
        else if (answer == OverwriteAnswer::Overwrite || answer == OverwriteAnswer::OverwriteAll)
            uploadWhole(localPath, remotePath, size);
        return;
    }
    }
}

UploadBranch::RemoteState UploadBranch::remoteState(
    std::uint64_t localSize, const std::string& remotePath, bool freshListing)
{
    std::uint64_t size = 0;
    walker_.latestRemoteSize(remotePath, size, false);
    if (size == 0) {
        walker_.listRemoteParent(remotePath::parentOf(remotePath), freshListing);
        size = walker_.listedRemoteSize(remotePath);
    }
    if (size == 0)
        return { Existence::Missing, 0 };
    if (size == localSize)
        return { Existence::Complete, size };
    return { localSize < size ? Existence::Longer : Existence::Partial, size };
}

bool UploadBranch::ensureConnected(const std::string& remotePath)
{
    if (worker_.connection0().GetConnected())
        return true;
    if (!worker_.connectAndLogIn(true))
        return false;
    worker_.setTransferTypeFor(remotePath);
    return true;
}

void UploadBranch::uploadWhole(const QString& localPath, const std::string& remotePath, std::uint64_t size)
{
    LoaderProgress& progress = worker_.progressBlock();
    worker_.setTransferring(true);
    const bool pausable = worker_.supportsRest();
    worker_.withWindow([&](LoaderWindow& window) { window.showPauseButton(pausable); });
    worker_.pauseWait(false);
    progress.clearConnectionBytes();
    progress.currentFileSize = static_cast<std::int64_t>(size);
    if (!ensureConnected(remotePath)) {
        worker_.setTransferring(false);
        return;
    }
    worker_.setStatus(LoaderTexts::uploadStarting());
    TFtpClient& client = worker_.connection0();
    client.SetHostFileName(QByteArray::fromStdString(remotePath));
    client.SetLocalFileName(localPath);
    client.SetResumeAt(0);
    const bool uploaded = client.Put();
    if (uploaded || worker_.stopping()) {
        worker_.setTransferring(false);
        countDone(size);
        return;
    }
    if (!worker_.pauseAsked()) {
        worker_.setTransferring(false);
        worker_.showServerError(LoaderTexts::uploadFailed(localPath));
        worker_.stopSelf();
        return;
    }
    // Paused: the server keeps what it got; continue from there.
    worker_.pauseWait(true);
    worker_.setStatus(LoaderTexts::walkingRemote());
    const RemoteState remote = remoteState(size, remotePath, true);
    if (remote.existence == Existence::Partial && worker_.supportsRest() && size != 0 && remote.size != 0
        && !worker_.stopping()) {
        resumeUpload(localPath, remotePath, size, remote.size);
        return;
    }
    worker_.setTransferring(false);
    countDone(size);
}

void UploadBranch::resumeUpload(
    const QString& localPath, const std::string& remotePath, std::uint64_t size, std::uint64_t offset)
{
    LoaderProgress& progress = worker_.progressBlock();
    worker_.setTransferring(true);
    TFtpClient& client = worker_.connection0();
    for (;;) {
        progress.currentFileBytes = progress.finishedBytes.load() + static_cast<std::int64_t>(offset);
        if (!ensureConnected(remotePath))
            break;
        client.SetHostFileName(QByteArray::fromStdString(remotePath));
        client.SetLocalFileName(localPath);
        client.SetResumeAt(static_cast<qint64>(offset));
        worker_.setStatus(LoaderTexts::uploadStarting());
        const bool uploaded = client.RestPut();
        if (!uploaded && !worker_.stopping() && !worker_.pauseAsked()) {
            worker_.showServerError(LoaderTexts::uploadResumeFailed(shownName(remotePath)));
            worker_.stopSelf();
            break;
        }
        if (uploaded || worker_.stopping())
            break;
        worker_.pauseWait(true);
        const RemoteState remote = remoteState(size, remotePath, true);
        if (remote.existence != Existence::Partial || size == 0 || !worker_.supportsRest()
            || worker_.stopping())
            break;
        offset = remote.size;
    }
    worker_.setTransferring(false);
    countDone(size);
}

void UploadBranch::countDone(std::uint64_t size)
{
    if (worker_.stopping())
        return;
    LoaderProgress& progress = worker_.progressBlock();
    progress.finishedBytes += static_cast<std::int64_t>(size);
    progress.clearConnectionBytes();
}
