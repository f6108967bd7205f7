#include "transfer/DownloadWalk.h"

#include "common/ProgramFolders.h"
#include "common/Prompter.h"
#include "transfer/EntryFields.h"
#include "transfer/LoaderTexts.h"
#include "transfer/LoaderThread.h"
#include "transfer/RemoteName.h"

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

std::string remotePathOf(const std::string& entry)
{
    const auto fields = parseRemoteFileEntry(entry);
    return fields ? fields->remotePath : std::string();
}

} // namespace

DownloadWalk::DownloadWalk(LoaderThread& worker)
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
    // Without its file there is nothing to resume from: the tree is walked.
    resumeFromCache_ = stored_ && worker_.prompter().askYesNo(LoaderTexts::cacheQuestion());
}

void DownloadWalk::prepareFromCache()
{
    if (!resumeFromCache_)
        return;
    bool rest = false, md5 = false;
    QString localPath;
    worker_.withOperation([&](ftpOperationObject& operation) {
        firstFileIndex_ = operation.lastFileIndex;
        localPath = operation.localPath;
        rest = operation.site.supportsRest;
        md5 = operation.site.supportsMd5;
    });
    if (!localPath.isEmpty())
        worker_.setLocalBase(localPath.endsWith(QLatin1Char('/')) ? localPath : localPath + QLatin1Char('/'));
    worker_.restoreCapabilities(rest, md5);
    worker_.files() = std::move(stored_->files);
    // The operation's own files no longer stand for what is to be fetched.
    std::int64_t total = 0;
    for (const std::string& entry : worker_.files()) {
        if (const auto fields = parseRemoteFileEntry(entry))
            total += static_cast<std::int64_t>(fields->size);
    }
    worker_.progressBlock().totalBytes = total;
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
    std::vector<std::string>& files = worker_.files();
    std::reverse(files.begin(), files.end());
    if (worker_.supportsMd5())
        fillDigests(files);
}

void DownloadWalk::fillDigests(std::vector<std::string>& files)
{
    std::vector<std::string*> entries;
    std::vector<std::string> paths;
    std::vector<remoteFileFields> fields;
    for (std::string& entry : files) {
        if (auto parsed = parseRemoteFileEntry(entry)) {
            entries.push_back(&entry);
            paths.push_back(parsed->remotePath);
            fields.push_back(std::move(*parsed));
        }
    }
    const std::vector<std::string> digests = worker_.queryDigests(paths);
    // A stop leaves the digests unasked: the entries keep the ones they had.
    if (worker_.stopping())
        return;
    for (std::size_t i = 0; i < entries.size(); ++i)
        *entries[i] = fileEntry(digests[i], fields[i].dateText, fields[i].remotePath, fields[i].size);
}

void DownloadWalk::announceWalking()
{
    worker_.progressBlock().walkingStarted = true;
}

void DownloadWalk::resolveLinks()
{
    if (resumeFromCache_ || worker_.links().empty())
        return;
    worker_.setStatus(LoaderTexts::resolvingLinksToDownload());
    walker_.resolveLinks(worker_.links(), worker_.files(), worker_.folders());
}

void DownloadWalk::walkFolders()
{
    std::vector<std::string> folders;
    if (resumeFromCache_) {
        folders = stored_->unwalkedFolders;
    } else {
        for (const std::string& folder : worker_.folders())
            folders.emplace_back(folderEntryPath(folder));
    }
    if (!folders.empty())
        worker_.setStatus(LoaderTexts::walkingRemote());
    walked_ = true;
    unwalked_ = walker_.walkRemoteFolders(folders, worker_.files());
}

std::int32_t DownloadWalk::resumeIndexAfterWalk(std::int32_t storedIndex) const
{
    if (resumeFromCache_ || !stored_ || storedIndex < 0
        || static_cast<std::size_t>(storedIndex) >= stored_->files.size())
        return storedIndex;
    const std::string path = remotePathOf(stored_->files[static_cast<std::size_t>(storedIndex)]);
    const std::vector<std::string>& files = worker_.files();
    const auto found = std::find_if(
        files.begin(), files.end(), [&](const std::string& entry) { return remotePathOf(entry) == path; });
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
    for (const std::string& entry : worker_.files())
        cache.add(entry);
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
        operation.site.supportsRest = rest;
        operation.site.supportsMd5 = md5;
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
