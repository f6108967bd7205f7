#include "transfer/DownloadWalk.h"

#include "common/ProgramFolders.h"
#include "common/Prompter.h"
#include "transfer/FtpOperation.h"
#include "transfer/LoaderTexts.h"
#include "transfer/RemoteName.h"
#include "transfer/WorkerContext.h"

#include <QFile>

#include <algorithm>

namespace
{

// The message names this many folders; the rest are counted.
constexpr std::size_t foldersNamed = 10;

QString cachePath(const std::string& cacheFile)
{
    return joinPath(cacheFolder(), QString::fromStdString(cacheFile));
}

} // namespace

DownloadWalk::DownloadWalk(WorkerContext& worker)
    : worker_(worker)
    , walker_(worker)
{
}

void DownloadWalk::run()
{
    using Step = void (DownloadWalk::*)();
    static constexpr Step steps[] = {
        &DownloadWalk::decideOnCache,
        &DownloadWalk::prepareFromCache,
        &DownloadWalk::prepareAfresh,
        &DownloadWalk::announceWalking,
        &DownloadWalk::resolveLinks,
        &DownloadWalk::walkFolders,
    };
    for (const Step step : steps) {
        if (worker_.stopping())
            break;
        (this->*step)();
    }
    // Also after a stop: what was walked so far is kept, with the folders
    // still to walk. A stop before the walk began leaves the operation's
    // cache as it was; so does a stop of a walk that was to replace it,
    // since nothing of the new list was fetched and the old one goes with
    // the operation's file index.
    const bool replacesUnfetched = stored_ && !resumeFromCache_ && worker_.stopping();
    if (walked_ && !replacesUnfetched)
        saveCache();
    stored_.reset();
}

void DownloadWalk::decideOnCache()
{
    worker_.withOperation([&](ftpOperationObject& operation) { cacheFile_ = operation.cacheFile; });
    if (cacheFile_.empty())
        return;
    stored_ = directoryCache::load(cachePath(cacheFile_));
    // The cache is a file any program could have changed between runs: a
    // line that leads out of the operation's tree would be fetched, so such
    // a cache is not this walk's and the tree is walked again.
    if (stored_ && !cacheFitsOperation(*stored_)) {
        worker_.setStatus(LoaderTexts::cacheNotOfThisOperation());
        stored_.reset();
    }
    // Without its file there is nothing to resume from: the tree is walked.
    resumeFromCache_ = stored_ && worker_.prompter().askYesNo(LoaderTexts::cacheQuestion());
}

void DownloadWalk::prepareFromCache()
{
    if (!resumeFromCache_)
        return;
    bool rest = false, md5 = false;
    worker_.withOperation([&](ftpOperationObject& operation) {
        firstFileIndex_ = operation.lastFileIndex;
        rest = operation.request.site.supportsRest;
        md5 = operation.request.site.supportsMd5;
    });
    worker_.restoreCapabilities(rest, md5);
    std::vector<TransferEntry>& files = worker_.items().files;
    files = std::move(stored_->files);
    // The operation's own files no longer stand for what is to be fetched.
    worker_.progressBlock().totalBytes = static_cast<std::int64_t>(totalSizeOf(files));
    // With digests every file connects by itself, unless folders are left
    // to walk.
    if ((!md5 || !stored_->unwalkedFolders.empty()) && !worker_.isBorrowed())
        worker_.connectAndLogIn(true);
}

void DownloadWalk::prepareAfresh()
{
    if (resumeFromCache_)
        return;
    if (!worker_.isBorrowed() && !worker_.connectAndLogIn(true))
        return;
    worker_.probeResume();
    worker_.probeDigests();
    std::vector<TransferEntry>& files = worker_.items().files;
    std::reverse(files.begin(), files.end());
    if (worker_.supportsMd5())
        fillDigests(files);
}

void DownloadWalk::fillDigests(std::vector<TransferEntry>& files)
{
    std::vector<std::string> paths;
    for (const TransferEntry& file : files)
        paths.push_back(file.path);
    std::vector<std::string> digests = worker_.queryDigests(paths);
    // A stop leaves the digests unasked: the entries keep the ones they had.
    if (worker_.stopping())
        return;
    for (std::size_t i = 0; i < files.size(); ++i)
        files[i].digest = std::move(digests[i]);
}

void DownloadWalk::announceWalking()
{
    worker_.progressBlock().walkingStarted = true;
}

void DownloadWalk::resolveLinks()
{
    TransferItems& items = worker_.items();
    if (resumeFromCache_ || items.links.empty())
        return;
    worker_.setStatus(LoaderTexts::resolvingLinksToDownload());
    walker_.resolveLinks(items.links, items.files, items.folders);
}

void DownloadWalk::walkFolders()
{
    std::vector<std::string> folders;
    if (resumeFromCache_) {
        folders = stored_->unwalkedFolders;
    } else {
        for (const TransferEntry& folder : worker_.items().folders)
            folders.push_back(folder.path);
    }
    if (!folders.empty())
        worker_.setStatus(LoaderTexts::walkingRemote());
    walked_ = true;
    unwalked_ = walker_.walkRemoteFolders(folders, worker_.items().files);
}

bool DownloadWalk::inOperationTree(const std::string& path) const
{
    const TransferItems& items = worker_.items();
    // A relative link lies in the remote base, as the walk resolves it.
    const auto absolute
        = [&](const std::string& p) { return p.starts_with('/') ? p : worker_.remoteBase() + p; };
    for (const TransferEntry& file : items.files) {
        if (file.path == path)
            return true;
    }
    for (const auto* roots : { &items.folders, &items.links }) {
        for (const TransferEntry& root : *roots) {
            const std::string rootPath = absolute(root.path);
            const std::string base = rootPath.ends_with('/') ? rootPath : rootPath + '/';
            if (path == rootPath || path == base || localPathBelow({}, base, path))
                return true;
        }
    }
    return false;
}

bool DownloadWalk::cacheFitsOperation(const directoryCache::Entries& cache) const
{
    const auto fits = [this](const std::string& path) { return inOperationTree(path); };
    return std::all_of(cache.files.begin(), cache.files.end(), [&](const TransferEntry& file) {
        return fits(file.path);
    }) && std::all_of(cache.unwalkedFolders.begin(), cache.unwalkedFolders.end(), fits);
}

std::int32_t DownloadWalk::resumeIndexAfterWalk(std::int32_t storedIndex) const
{
    if (resumeFromCache_ || !stored_ || storedIndex < 0
        || static_cast<std::size_t>(storedIndex) >= stored_->files.size())
        return storedIndex;
    const std::string& path = stored_->files[static_cast<std::size_t>(storedIndex)].path;
    const std::vector<TransferEntry>& files = worker_.items().files;
    const auto found = std::find_if(
        files.begin(), files.end(), [&](const TransferEntry& file) { return file.path == path; });
    // A file no longer in the tree has nothing to resume.
    return found == files.end() ? -1 : static_cast<std::int32_t>(found - files.begin());
}

void DownloadWalk::saveCache()
{
    if (cacheFile_.empty()) {
        const auto name
            = createPrivateFile(cacheFolder(), QStringLiteral("directoryCache"), QStringLiteral(".fch"));
        if (name)
            cacheFile_ = name->toStdString();
    }
    directoryCache cache;
    for (const TransferEntry& file : worker_.items().files)
        cache.add(file);
    for (const std::string& folder : unwalked_)
        cache.addUnwalkedFolder(folder);
    // Unsaved, a cache would be taken for the tree on a restart; without
    // one the restart walks the tree again.
    if (!cacheFile_.empty() && !cache.save(cachePath(cacheFile_))) {
        QFile::remove(cachePath(cacheFile_));
        cacheFile_.clear();
    }
    const bool rest = worker_.supportsRest(), md5 = worker_.supportsMd5();
    const std::string cacheFile = cacheFile_;
    const std::int32_t first = firstFileIndex_;
    worker_.withOperation([&](ftpOperationObject& operation) {
        operation.cacheFile = cacheFile;
        // The file stopped in keeps its resume state: the transfer finds it
        // by this index.
        operation.lastFileIndex = resumeFromCache_ ? first : resumeIndexAfterWalk(operation.lastFileIndex);
        operation.request.site.supportsRest = rest;
        operation.request.site.supportsMd5 = md5;
    });
}

void DownloadWalk::reportFoldersNotOpened()
{
    if (unwalked_.empty() || worker_.stopping())
        return;
    QStringList named;
    for (std::size_t i = 0; i < unwalked_.size() && i < foldersNamed; ++i)
        named << shownName(unwalked_[i]);
    worker_.prompter().showErrorBox(LoaderTexts::foldersNotOpened(named, static_cast<int>(unwalked_.size())));
}
