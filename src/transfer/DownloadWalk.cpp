#include "transfer/DownloadWalk.h"

#include "common/ProgramFolders.h"
#include "common/Prompter.h"
#include "transfer/EntryFields.h"
#include "transfer/LoaderTexts.h"
#include "transfer/LoaderThread.h"

#include <QFile>

#include <algorithm>

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
    // Also after a stop: what was walked so far is kept.
    saveCache();
}

void DownloadWalk::decideOnCache()
{
    worker_.withOperation([&](ftpOperationObject& operation) { cacheFile_ = operation.cacheFile; });
    resumeFromCache_ = !cacheFile_.empty() && worker_.prompter().askYesNo(LoaderTexts::cacheQuestion());
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
    if (const auto entries
        = directoryCache::load(joinPath(cacheFolder(), QString::fromStdString(cacheFile_)))) {
        worker_.files() = *entries;
        for (const std::string& entry : *entries)
            cache_.add(entry);
    }
    // With digests every file connects by itself.
    if (!md5 && !worker_.isBorrowed())
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
    if (worker_.supportsMd5())
        fillDigests(files);
    for (auto entry = files.rbegin(); entry != files.rend() && !worker_.stopping(); ++entry)
        cache_.add(*entry);
}

void DownloadWalk::fillDigests(std::vector<std::string>& files)
{
    // Asked from the last file to the first, the order the cache takes them.
    std::vector<std::string*> entries;
    std::vector<std::string> paths;
    std::vector<remoteFileFields> fields;
    for (auto entry = files.rbegin(); entry != files.rend(); ++entry) {
        if (auto parsed = parseRemoteFileEntry(*entry)) {
            entries.push_back(&*entry);
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
    if (resumeFromCache_)
        return;
    for (const std::string& folder : worker_.folders()) {
        if (worker_.stopping())
            return;
        worker_.setStatus(LoaderTexts::walkingRemote());
        const std::string path(folderEntryPath(folder));
        // The folder itself is made again below the local base.
        worker_.setRemoteBase(parentFolderOf(path));
        walker_.walkRemoteFolder(path, worker_.files(), &cache_);
    }
}

void DownloadWalk::saveCache()
{
    if (cacheFile_.empty()) {
        const auto name
            = createPrivateFile(cacheFolder(), QStringLiteral("directoryCache"), QStringLiteral(".fch"));
        if (!name)
            return;
        cacheFile_ = name->toStdString();
    }
    const QString path = joinPath(cacheFolder(), QString::fromStdString(cacheFile_));
    const bool saved = cache_.save(path);
    if (!saved) {
        QFile::remove(path);
        cacheFile_.clear();
    }
    const bool rest = worker_.supportsRest(), md5 = worker_.supportsMd5();
    const std::string cacheFile = cacheFile_;
    worker_.withOperation([&](ftpOperationObject& operation) {
        operation.cacheFile = cacheFile;
        operation.lastFileIndex = firstFileIndex_;
        operation.site.supportsRest = rest;
        operation.site.supportsMd5 = md5;
    });
}
