#include "transfer/DownloadBranch.h"

#include "common/Prompter.h"
#include "net/FtpTexts.h"
#include "net/TFtpClient.h"
#include "remote/RemotePath.h"
#include "transfer/DownloadTexts.h"
#include "transfer/FailureRule.h"
#include "transfer/FtpOperation.h"
#include "transfer/LocalName.h"
#include "transfer/PartDownload.h"
#include "transfer/PartRecord.h"
#include "transfer/PartStore.h"
#include "transfer/RemoteName.h"
#include "transfer/WorkerContext.h"

#include <algorithm>

namespace
{

std::string withSlash(std::string_view folder)
{
    std::string result(folder);
    if (result.empty() || result.back() != '/')
        result += '/';
    return result;
}

// Numbered names tried beside a taken one before the file is given up.
constexpr int maxNumberedNames = 1000;

} // namespace

DownloadBranch::DownloadBranch(WorkerContext& worker, std::int32_t firstFileIndex)
    : worker_(worker)
    , walker_(worker)
    , firstFileIndex_(std::max(firstFileIndex, 0))
{
}

void DownloadBranch::run()
{
    readResumeState();
    collectTargets();
    const auto count = static_cast<std::int32_t>(worker_.items().files.size());
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
    for (const TransferEntry& file : worker_.items().files) {
        if (const auto path = localPathOf(file.path))
            targets_.insert(*path);
    }
}

// A file of a walked folder keeps its place below the folder, which is made
// again below the local base; a file named by itself lands in the base. A
// link to a folder is such a folder (a restart from the cache has not
// resolved the links again).
std::optional<QString> DownloadBranch::localPathOf(const std::string& remotePath) const
{
    const TransferItems& items = worker_.items();
    for (const auto* roots : { &items.folders, &items.links }) {
        for (const TransferEntry& entry : *roots) {
            const std::string root = withSlash(entry.path);
            if (remotePath.size() > root.size() && remotePath.compare(0, root.size(), root) == 0)
                return localPathBelow(worker_.localBase(), remotePath::parentOf(root), remotePath);
        }
    }
    return localPathBelow(worker_.localBase(), remotePath::parentOf(remotePath), remotePath);
}

void DownloadBranch::processFile(std::int32_t index)
{
    const TransferEntry& file = worker_.items().files[static_cast<std::size_t>(index)];
    if (file.path.empty())
        return;
    FileJob job;
    job.index = index;
    job.remotePath = file.path;
    job.digest = file.digest;
    job.date = file.dateText;
    job.size = file.size;
    job.remoteFolder = remotePath::parentOf(job.remotePath);
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
    job.wantedPath = *local;
    if (!ensureConnected())
        return;
    worker_.setTransferTypeFor(job.remotePath);
    walker_.latestRemoteSize(job.remotePath, job.size, false);
    if (worker_.stopping())
        return;
    worker_.progressBlock().currentFileSize = static_cast<std::int64_t>(job.size);
    job.text = worker_.transferType() == TransferType::Ascii;
    if (!placeOnce(job))
        return;
    planParts(job);
    Check check = checkLocal(job);
    if (check == Check::KeepBoth) {
        if (!moveBeside(job, &DownloadTexts::savedBesideOtherFile))
            return;
        planParts(job);
        check = checkLocal(job);
        // Beside it is this file already.
        if (check == Check::KeepBoth)
            check = Check::Skip;
    }
    if (check == Check::Resume && job.nothingTrusted)
        check = Check::Download;
    if (check == Check::Skip) {
        skipFile(job);
        return;
    }
    if (!prepareFolder(job))
        return;
    if (check == Check::Download) {
        deleteLocal(job);
        if (job.ownTarget)
            freshParts(job);
    }
    download(job, check);
}

bool DownloadBranch::ensureConnected()
{
    if (worker_.isBorrowed() || worker_.connection0().GetConnected())
        return true;
    // Resuming from the cache with digests: the connection is made here.
    return worker_.connectAndLogIn(!worker_.supportsMd5());
}

bool DownloadBranch::placeOnce(FileJob& job)
{
    job.localPath = job.wantedPath;
    if (worker_.localNameClaims().claim(job.wantedPath))
        return true;
    return moveBeside(job, &DownloadTexts::savedBesideOtherItem);
}

// The first numbered name that nothing else of the run has and that is free
// or already holds this file (a later run finds its own work there again).
bool DownloadBranch::moveBeside(FileJob& job, NameNote noteText)
{
    LocalNameClaims& claims = worker_.localNameClaims();
    for (int number = 1; number <= maxNumberedNames && !worker_.stopping(); ++number) {
        const QString candidate = numberedLocalName(job.wantedPath, number);
        if (candidate == job.localPath || targets_.contains(candidate) || claims.taken(candidate)
            || !fitsBeside(job, candidate) || !claims.claim(candidate))
            continue;
        job.localPath = candidate;
        note(noteText(shownName(job.remotePath), shownLocalPath(candidate)));
        return true;
    }
    localFailure(job, DownloadTexts::noFreeLocalName());
    return false;
}

bool DownloadBranch::fitsBeside(FileJob& job, const QString& path)
{
    const auto record = readPartRecord(partRecordName(path));
    if (record && record->namesPath(job.remotePath))
        return true;
    if (record || lookAtLocal(partFileName(path, 0)).exists)
        return false; // another file's download
    const LocalEntry entry = lookAtLocal(path);
    if (!entry.exists)
        return true;
    return entry.file && entry.size == job.size && holdsThisFile(job, path);
}

// Whether a file of the remote size is this file: its digest when the
// server gave one (an ASCII transfer changes the bytes, so not then).
bool DownloadBranch::holdsThisFile(FileJob& job, const QString& path)
{
    if (job.text || !isKnownDigest(job.digest))
        return true;
    if (job.digestCheck && job.digestCheck->first == path)
        return job.digestCheck->second;
    worker_.setStatus(DownloadTexts::checkingDigest(shownLocalPath(localFileNameOf(path))));
    const auto digest = md5OfLocalFile(path);
    const bool same = digest
        && QString::fromStdString(*digest).compare(QString::fromStdString(job.digest), Qt::CaseInsensitive)
            == 0;
    job.digestCheck = std::make_pair(path, same);
    return same;
}

void DownloadBranch::planParts(FileJob& job)
{
    job.ownParts = job.ownTarget = job.nothingTrusted = false;
    job.partCount
        = worker_.supportsRest() && !job.text ? partCountFor(job.size, job.digest, worker_.isBorrowed()) : 1;
    const bool interrupted = job.index == resumeIndex_ && resumeConnections_ > 0 && resumePartLength_ > 0;
    if (job.partCount > 1 && interrupted) {
        // It goes on in the parts it was cut into, whatever the count would
        // be now: the digest that decides it may not be known this time, and
        // parts of another length would leave every byte fetched unused.
        job.partCount = partCountOfLength(job.size, static_cast<std::uint64_t>(resumePartLength_))
                            .value_or(job.partCount);
    }
    job.ownParts = job.partCount > 1 && interrupted
        && resumePartLength_ == static_cast<std::int64_t>(partLengthOf(job.size, job.partCount));
    // Fetched as one part into the target when the operation stopped.
    job.ownTarget = interrupted && resumePartLength_ == static_cast<std::int64_t>(job.size);

    const auto record = readPartRecord(partRecordName(job.localPath));
    if (record && record->namesPath(job.remotePath)) {
        const bool several = record->done.size() > 1;
        if (!record->describes(job.remotePath, job.size, job.date)) {
            // This program's, of the remote file as it was before.
            if (several)
                removeLocalFile(partFileName(job.localPath, 0));
            removeLocalFile(partRecordName(job.localPath));
            job.ownParts = false;
            job.ownTarget = !several;
            job.nothingTrusted = !several;
        } else if (!several) {
            job.ownTarget = true;
            job.nothingTrusted = record->done.front() == 0;
        } else if (worker_.supportsRest() && !job.text
            && partLengthOf(job.size, static_cast<int>(record->done.size())) == record->partLength) {
            job.partCount = static_cast<int>(record->done.size());
            job.ownParts = true;
        }
    }
    if (job.partCount > 1 && !partNamesFree(job)) {
        job.partCount = 1;
        job.ownParts = false;
    }
}

// After this program's own bytes of the file were let go.
void DownloadBranch::freshParts(FileJob& job)
{
    job.ownParts = job.ownTarget = job.nothingTrusted = false;
    job.partCount
        = worker_.supportsRest() && !job.text ? partCountFor(job.size, job.digest, worker_.isBorrowed()) : 1;
    if (job.partCount > 1 && !partNamesFree(job))
        job.partCount = 1;
}

QStringList DownloadBranch::localNames(const FileJob& job) const
{
    QStringList names { job.localPath, partRecordName(job.localPath) };
    for (int i = 0; job.partCount > 1 && i < job.partCount; ++i)
        names << partFileName(job.localPath, i);
    return names;
}

bool DownloadBranch::partNamesFree(const FileJob& job) const
{
    const QStringList names = localNames(job);
    const LocalNameClaims& claims = worker_.localNameClaims();
    for (const QString& name : names.mid(1)) {
        if (targets_.contains(name) || claims.taken(name))
            return false;
        if (lookAtLocal(name).exists && !job.ownParts)
            return false;
    }
    return true;
}

DownloadBranch::Check DownloadBranch::checkLocal(FileJob& job)
{
    job.differs = false;
    const LocalEntry target = lookAtLocal(job.localPath);
    if (target.link || (target.exists && !target.file)) {
        localFailure(job, QStringLiteral("it is not a plain file"));
        return Check::Skip;
    }
    const ExistenceKind partial
        = worker_.supportsRest() ? ExistenceKind::Partially : ExistenceKind::Completely;
    if (!target.exists) {
        bool partsThere = false;
        const QStringList names = localNames(job);
        for (const QString& name : names.mid(2))
            partsThere = partsThere || (job.ownParts && lookAtLocal(name).exists);
        return partsThere ? askAbout(job, partial) : Check::Download;
    }
    if (job.ownTarget) {
        // A partial target can only be resumed as one part.
        job.partCount = 1;
        job.ownParts = false;
        return askAbout(job, partial);
    }
    if (target.size == job.size && holdsThisFile(job, job.localPath))
        return askAbout(job, ExistenceKind::Completely);
    job.differs = target.size == job.size;
    return askAbout(job, ExistenceKind::Unrelated);
}

DownloadBranch::Check DownloadBranch::askAbout(const FileJob& job, ExistenceKind kind)
{
    if (kind == ExistenceKind::Unrelated) {
        if (unrelatedAnswer_)
            return *unrelatedAnswer_;
        const OverwriteAnswer answer = worker_.askOverwrite(shownName(job.remotePath), kind);
        const bool overwrite
            = answer == OverwriteAnswer::Overwrite || answer == OverwriteAnswer::OverwriteAll;
        const bool skip = answer == OverwriteAnswer::Skip || answer == OverwriteAnswer::SkipAll;
        // Resume is not offered: nothing of the file there is this one's.
        const Check check = overwrite ? Check::Download : skip ? Check::Skip : Check::KeepBoth;
        if (answer == OverwriteAnswer::OverwriteAll || answer == OverwriteAnswer::SkipAll
            || answer == OverwriteAnswer::KeepBothAll)
            unrelatedAnswer_ = check;
        return check;
    }
    WorkerContext::AllAnswers& all = worker_.allAnswers();
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
    case OverwriteAnswer::KeepBoth:
    case OverwriteAnswer::KeepBothAll:
        return Check::KeepBoth;
    }
    return Check::Skip;
}

bool DownloadBranch::prepareFolder(const FileJob& job)
{
    if (makeLocalFolders(localFolderOf(job.localPath)))
        return true;
    localFailure(job, QStringLiteral("the folder cannot be made"));
    return false;
}

// Only what is known to be this file's: the target, and its own record and
// part files.
void DownloadBranch::deleteLocal(const FileJob& job)
{
    const QStringList names = localNames(job);
    removeLocalFile(names[0]);
    if (job.ownTarget || job.ownParts)
        removeLocalFile(names[1]);
    for (const QString& name : names.mid(2)) {
        if (job.ownParts)
            removeLocalFile(name);
    }
}

// A file there of the remote size whose digest is not the server's is not
// this file: leaving it is never a success.
void DownloadBranch::skipFile(const FileJob& job)
{
    const QString shown = shownName(job.remotePath);
    if (!job.differs) {
        worker_.withWindow([&](LoaderWindow& window) { window.fileFinished(shown, FileOutcome::Skipped); });
        return;
    }
    ++worker_.progressBlock().digestMismatches;
    worker_.markIncomplete();
    worker_.setStatus(DownloadTexts::localFileDiffers(shown));
    worker_.withWindow(
        [&](LoaderWindow& window) { window.fileFinished(shown, FileOutcome::DigestMismatch); });
}

void DownloadBranch::download(FileJob& job, Check check)
{
    const bool resumable = worker_.supportsRest();
    worker_.withWindow([&](LoaderWindow& window) { window.showPauseButton(resumable); });
    worker_.pauseWait(false);
    const bool lengthUnknown = job.text || job.size == 0;
    PartStore store(job.localPath, splitIntoParts(job.size, job.partCount), lengthUnknown,
        PartStore::Origin { job.remotePath, job.date });
    if (!store.open(check == Check::Resume)) {
        localFailure(job, store.error());
        return;
    }
    PartDownload::Target target { job.remotePath, job.remoteFolder, job.localPath, job.size, lengthUnknown,
        job.text };
    PartDownload parts(worker_, std::move(target), store);
    storeResumeState(job, parts.parts().front().length(), parts.neededConnections());
    const PartDownload::Outcome outcome = parts.run();
    if (outcome == PartDownload::Outcome::Received) {
        worker_.progressBlock().finishedBytes += static_cast<std::int64_t>(job.size);
        finishFile(job, store);
        return;
    }
    Failure failure;
    failure.kind = outcome == PartDownload::Outcome::Stopped ? Failure::Kind::FileStopped
                                                             : Failure::Kind::FileIncomplete;
    failure.stopping = worker_.stopping();
    const QString shown = shownName(job.remotePath);
    if (nextStepAfter(failure) == NextStep::Ask) {
        if (!worker_.prompter().askYesNo(DownloadTexts::keepPartsQuestion(shown))) {
            for (const QString& name : localNames(job))
                removeLocalFile(name);
        }
        return;
    }
    if (store.writeFailed()) {
        localFailure(job, store.error());
        return;
    }
    // Not a byte came (a file the server refused): a later run has nothing
    // to resume, and nothing of it is left behind.
    const auto& held = store.parts();
    if (std::all_of(held.begin(), held.end(), [](const FilePart& part) { return part.done == 0; })) {
        for (const QString& name : localNames(job))
            removeLocalFile(name);
    }
    ++worker_.progressBlock().failedFiles;
    worker_.markIncomplete();
    worker_.prompter().showServerError(DownloadTexts::downloadError(shown),
        parts.timedOut() ? ftptext::timeout() : worker_.connection0().LastResponse());
    worker_.withWindow([&](LoaderWindow& window) { window.fileFinished(shown, FileOutcome::Failed); });
}

void DownloadBranch::storeResumeState(const FileJob& job, std::uint64_t partLength, int needed)
{
    const QString localBase = worker_.localBase();
    worker_.withOperation([&](ftpOperationObject& operation) {
        operation.lastFileIndex = job.index;
        operation.lastFileBytePeriod = static_cast<std::int64_t>(partLength);
        operation.lastFileConnections = needed;
        operation.request.destination = localBase;
    });
}

void DownloadBranch::finishFile(const FileJob& job, PartStore& store)
{
    const QString name = shownLocalPath(localFileNameOf(job.localPath));
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
    if (job.text && isKnownDigest(job.digest)) {
        // The server's digest is that of its bytes, which an ASCII transfer
        // changes.
        note(DownloadTexts::digestNotCheckedInAscii(shown));
    } else if (isKnownDigest(job.digest)
        && QString::fromStdString(job.digest)
                .compare(QString::fromStdString(*result.digest), Qt::CaseInsensitive)
            != 0) {
        keepAsUntrusted(job);
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

// The file stays for the user to look at; its record tells a later run that
// it is this program's and that none of its bytes can be trusted, so that
// run fetches it again instead of keeping it as complete.
void DownloadBranch::keepAsUntrusted(const FileJob& job)
{
    const PartRecord record { job.size, job.size, { 0 }, job.remotePath, job.date };
    writePartRecord(partRecordName(job.localPath), record, nullptr, false);
}

void DownloadBranch::localFailure(const FileJob& job, const QString& reason)
{
    ++worker_.progressBlock().localWriteFailures;
    worker_.markIncomplete();
    worker_.prompter().showErrorBox(DownloadTexts::localWriteError(shownLocalPath(job.localPath), reason));
    const QString shown = shownName(job.remotePath);
    worker_.withWindow(
        [&](LoaderWindow& window) { window.fileFinished(shown, FileOutcome::LocalWriteFailed); });
}

void DownloadBranch::note(const QString& text)
{
    worker_.withWindow([&](LoaderWindow& window) { window.note(text); });
}
