#include "transfer/DownloadBranch.h"

#include "common/Prompter.h"
#include "net/TFtpClient.h"
#include "transfer/DownloadTexts.h"
#include "transfer/EntryFields.h"
#include "transfer/LoaderThread.h"
#include "transfer/PartDownload.h"
#include "transfer/PartRecord.h"
#include "transfer/PartStore.h"
#include "transfer/RemoteName.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace
{

std::string withSlash(std::string_view folder)
{
    std::string result(folder);
    if (result.empty() || result.back() != '/')
        result += '/';
    return result;
}

} // namespace

DownloadBranch::DownloadBranch(LoaderThread& worker, std::int32_t firstFileIndex)
    : worker_(worker)
    , walker_(worker)
    , firstFileIndex_(std::max(firstFileIndex, 0))
{
}

void DownloadBranch::run()
{
    readResumeState();
    collectTargets();
    const auto count = static_cast<std::int32_t>(worker_.files().size());
    for (std::int32_t index = firstFileIndex_; index < count && !worker_.stopping(); ++index)
        processFile(index);
}

void DownloadBranch::readResumeState()
{
    worker_.withOperation([&](ftpOperationObject& operation) {
        resumeIndex_ = operation.lastFileIndex;
        resumePartLength_ = operation.lastFileBytePeriod;
        resumeConnections_ = operation.lastFileConnections;
    });
}

void DownloadBranch::collectTargets()
{
    for (const std::string& entry : worker_.files()) {
        if (const auto fields = parseRemoteFileEntry(entry)) {
            if (const auto path = localPathOf(fields->remotePath))
                targets_.insert(*path);
        }
    }
}

// A file of a walked folder keeps its place below the folder, which is made
// again below the local base; a file named by itself lands in the base. A
// link to a folder is such a folder too (a restart from the cache has not
// resolved it).
// A file of a walked folder keeps its place below the folder, which is made
// again below the local base; a file named by itself lands in the base. A
// link to a folder is such a folder (a restart from the cache has not
// resolved the links again).
std::optional<QString> DownloadBranch::localPathOf(const std::string& remotePath) const
{
    std::vector<std::string> roots;
    for (const std::string& folder : worker_.folders())
        roots.push_back(withSlash(folderEntryPath(folder)));
    for (const std::string& link : worker_.links()) {
        if (const auto fields = parseRemoteFileEntry(link))
            roots.push_back(withSlash(fields->remotePath));
    }
    for (const std::string& root : roots) {
        if (remotePath.size() > root.size() && remotePath.compare(0, root.size(), root) == 0)
            return localPathBelow(worker_.localBase(), parentFolderOf(root), remotePath);
    }
    return localPathBelow(worker_.localBase(), parentFolderOf(remotePath), remotePath);
}

void DownloadBranch::processFile(std::int32_t index)
{
    const auto fields = parseRemoteFileEntry(worker_.files()[static_cast<std::size_t>(index)]);
    if (!fields || fields->remotePath.empty())
        return;
    FileJob job;
    job.index = index;
    job.remotePath = fields->remotePath;
    job.digest = fields->digest;
    job.size = fields->size;
    job.remoteFolder = parentFolderOf(job.remotePath);
    const QString shown = shownName(job.remotePath);
    worker_.progressBlock().setCurrentFile(shown);
    const auto local = localPathOf(job.remotePath);
    if (!local) {
        worker_.setStatus(DownloadTexts::unsafeLocalPath(shown));
        ++worker_.progressBlock().failedFiles;
        worker_.markIncomplete();
        worker_.withWindow([&](LoaderWindow& window) { window.fileFinished(shown, FileOutcome::Failed); });
        return;
    }
    job.localPath = *local;
    if (!ensureConnected())
        return;
    worker_.setTransferTypeFor(job.remotePath);
    walker_.latestRemoteSize(job.remotePath, job.size, false);
    if (worker_.stopping())
        return;
    worker_.progressBlock().currentFileSize = static_cast<std::int64_t>(job.size);

    job.text = worker_.transferType() == TransferType::Ascii;
    job.partCount
        = worker_.supportsRest() && !job.text ? partCountFor(job.size, job.digest, worker_.isBorrowed()) : 1;
    const bool interruptedInParts = index == resumeIndex_ && resumeConnections_ > 0 && resumePartLength_ > 0;
    if (job.partCount > 1 && interruptedInParts) {
        // It goes on in the parts it was cut into, whatever the count would
        // be now: the digest that decides it may not be known this time, and
        // parts of another length would leave every byte fetched unused.
        job.partCount = partCountOfLength(job.size, static_cast<std::uint64_t>(resumePartLength_))
                            .value_or(job.partCount);
    }
    job.ownParts = job.partCount > 1 && interruptedInParts
        && resumePartLength_ == static_cast<std::int64_t>(partLengthOf(job.size, job.partCount));
    if (job.partCount > 1 && !partNamesFree(job)) {
        job.partCount = 1;
        job.ownParts = false;
    }
    const Check check = checkLocal(job);
    if (check == Check::Skip) {
        worker_.withWindow([&](LoaderWindow& window) { window.fileFinished(shown, FileOutcome::Skipped); });
        return;
    }
    if (!prepareFolder(job))
        return;
    if (check == Check::Download)
        deleteLocal(job);
    download(job, check);
}

bool DownloadBranch::ensureConnected()
{
    if (worker_.isBorrowed() || worker_.connection0().GetConnected())
        return true;
    // Resuming from the cache with digests: the connection is made here.
    return worker_.connectAndLogIn(!worker_.supportsMd5());
}

QStringList DownloadBranch::localNames(const FileJob& job) const
{
    QStringList names { job.localPath };
    if (job.partCount > 1)
        names << partRecordName(job.localPath);
    for (int i = 0; job.partCount > 1 && i < job.partCount; ++i)
        names << partFileName(job.localPath, i);
    return names;
}

bool DownloadBranch::partNamesFree(const FileJob& job) const
{
    const QStringList names = localNames(job);
    for (const QString& name : names.mid(1)) {
        if (targets_.contains(name))
            return false;
        const QFileInfo info(name);
        if ((info.exists() || info.isSymLink()) && !job.ownParts)
            return false;
    }
    return true;
}

DownloadBranch::Check DownloadBranch::checkLocal(FileJob& job)
{
    const QFileInfo target(job.localPath);
    if (target.isSymLink() || (target.exists() && !target.isFile())) {
        localFailure(job, QStringLiteral("it is not a plain file"));
        return Check::Skip;
    }
    if (target.exists() && static_cast<std::uint64_t>(target.size()) >= job.size)
        return askAbout(job, ExistenceKind::Completely);
    bool partsThere = false;
    const QStringList names = localNames(job);
    for (const QString& name : names.mid(1))
        partsThere = partsThere || (job.ownParts && QFileInfo::exists(name));
    if (!target.exists() && !partsThere)
        return Check::Download;
    if (target.exists()) {
        // A partial target can only be resumed as one part.
        job.partCount = 1;
        job.ownParts = false;
    }
    return askAbout(job, worker_.supportsRest() ? ExistenceKind::Partially : ExistenceKind::Completely);
}

DownloadBranch::Check DownloadBranch::askAbout(const FileJob& job, ExistenceKind kind)
{
    LoaderThread::AllAnswers& all = worker_.allAnswers();
    const bool complete = kind == ExistenceKind::Completely;
    if (complete ? all.overwriteComplete : all.overwritePartial)
        return Check::Download;
    if (complete ? all.skipComplete : all.skipPartial)
        return Check::Skip;
    if (!complete && all.resumePartial)
        return Check::Resume;
    switch (worker_.askOverwrite(shownName(job.remotePath), kind)) {
    case OverwriteAnswer::OverwriteAll:
        (complete ? all.overwriteComplete : all.overwritePartial) = true;
        [[fallthrough]];
    case OverwriteAnswer::Overwrite:
        return Check::Download;
    case OverwriteAnswer::SkipAll:
        (complete ? all.skipComplete : all.skipPartial) = true;
        [[fallthrough]];
    case OverwriteAnswer::Skip:
        return Check::Skip;
    case OverwriteAnswer::ResumeAll:
        all.resumePartial = !complete;
        [[fallthrough]];
    case OverwriteAnswer::Resume:
        return complete ? Check::Download : Check::Resume;
    }
    return Check::Skip;
}

bool DownloadBranch::prepareFolder(const FileJob& job)
{
    const QString folder = QFileInfo(job.localPath).path();
    if (QDir().mkpath(folder))
        return true;
    localFailure(job, QStringLiteral("the folder cannot be made"));
    return false;
}

// Only what is known to be this file's: the target and its own part files.
void DownloadBranch::deleteLocal(const FileJob& job)
{
    const QStringList names = localNames(job);
    QFile::remove(names.front());
    for (const QString& name : names.mid(1)) {
        if (job.ownParts)
            QFile::remove(name);
    }
}

void DownloadBranch::download(FileJob& job, Check check)
{
    const bool resumable = worker_.supportsRest();
    worker_.withWindow([&](LoaderWindow& window) { window.showPauseButton(resumable); });
    worker_.pauseWait(false);
    const bool lengthUnknown = job.text || job.size == 0;
    PartStore store(job.localPath, splitIntoParts(job.size, job.partCount), lengthUnknown);
    if (!store.open(check == Check::Resume)) {
        localFailure(job, store.error());
        return;
    }
    PartDownload::Target target { job.remotePath, job.remoteFolder, job.localPath, job.size, lengthUnknown };
    PartDownload parts(worker_, std::move(target), store);
    storeResumeState(job, parts.parts().front().length(), parts.neededConnections());
    const PartDownload::Outcome outcome = parts.run();
    const QString shown = shownName(job.remotePath);
    if (outcome == PartDownload::Outcome::Stopped) {
        if (!worker_.prompter().askYesNo(DownloadTexts::keepPartsQuestion(shown))) {
            for (const QString& name : localNames(job))
                QFile::remove(name);
        }
        return;
    }
    if (outcome == PartDownload::Outcome::Incomplete) {
        ++worker_.progressBlock().failedFiles;
        worker_.markIncomplete();
        worker_.showServerError(DownloadTexts::downloadError(shown));
        worker_.withWindow([&](LoaderWindow& window) { window.fileFinished(shown, FileOutcome::Failed); });
        return;
    }
    worker_.progressBlock().finishedBytes += static_cast<std::int64_t>(job.size);
    finishFile(job, store);
}

void DownloadBranch::storeResumeState(const FileJob& job, std::uint64_t partLength, int needed)
{
    const QString localBase = worker_.localBase();
    worker_.withOperation([&](ftpOperationObject& operation) {
        operation.lastFileIndex = job.index;
        operation.lastFileBytePeriod = static_cast<std::int64_t>(partLength);
        operation.lastFileConnections = needed;
        operation.localPath = localBase;
    });
}

void DownloadBranch::finishFile(const FileJob& job, PartStore& store)
{
    const QString name = QFileInfo(job.localPath).fileName();
    const int count = static_cast<int>(store.parts().size());
    if (count > 1)
        worker_.setStatus(DownloadTexts::merging(name, 0));
    const MergeResult result = store.finish([&](int passed) {
        if (count > 1 && passed > 0)
            worker_.setStatus(DownloadTexts::merging(name, (passed * 100 + count / 2) / count));
    });
    const QString shown = shownName(job.remotePath);
    if (!result.digest) {
        localFailure(job, result.error);
        return;
    }
    // The server's digest is that of its bytes, which an ASCII transfer
    // changes.
    if (!job.text && isKnownDigest(job.digest)
        && QString::fromStdString(job.digest)
                .compare(QString::fromStdString(*result.digest), Qt::CaseInsensitive)
            != 0) {
        ++worker_.progressBlock().digestMismatches;
        worker_.markIncomplete();
        worker_.setStatus(DownloadTexts::digestMismatchStatus(shown));
        worker_.showServerError(DownloadTexts::digestMismatch(
            shown, QString::fromStdString(job.digest), QString::fromStdString(*result.digest)));
        worker_.withWindow(
            [&](LoaderWindow& window) { window.fileFinished(shown, FileOutcome::DigestMismatch); });
        return;
    }
    worker_.withWindow([&](LoaderWindow& window) { window.fileFinished(shown, FileOutcome::Arrived); });
}

void DownloadBranch::localFailure(const FileJob& job, const QString& reason)
{
    ++worker_.progressBlock().localWriteFailures;
    worker_.markIncomplete();
    worker_.prompter().showErrorBox(DownloadTexts::localWriteError(job.localPath, reason));
    const QString shown = shownName(job.remotePath);
    worker_.withWindow(
        [&](LoaderWindow& window) { window.fileFinished(shown, FileOutcome::LocalWriteFailed); });
}
