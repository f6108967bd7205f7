#pragma once

#include "transfer/DirectoryCache.h"
#include "transfer/TreeWalker.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class WorkerContext;

// The walking half of the download branch: the cache decision, the
// connection and probes, the links, the walk of every folder and the saved
// directory cache. What it leaves in the worker's file list is what the
// transfer of the files works through, from `firstFileIndex()`.
//
// The file list has one order, which the cache keeps and the operation's
// file index counts in: the operation's own files from the last to the
// first, the files of its links, then the files the walk finds. A walk that
// did not get through the whole tree is cached with the folders it left,
// and a restart that takes the cache walks those before anything is
// fetched. Worker thread only.
class DownloadWalk
{
public:
    explicit DownloadWalk(WorkerContext& worker);
    void run();
    // Where the transfer of the files begins: 0 after a fresh walk, the
    // stored file index when resuming from the cache.
    std::int32_t firstFileIndex() const { return firstFileIndex_; }
    // After the transfer: tells the user which folders could not be opened.
    void reportFoldersNotOpened();

private:
    // The steps of run().
    void decideOnCache();
    void prepareFromCache();
    void prepareAfresh();
    // The server's digest in place of each file entry's.
    void fillDigests(std::vector<TransferEntry>& files);
    void announceWalking();
    void resolveLinks();
    void walkFolders();
    void saveCache();

    // Whether a cache's path lies in the operation's tree: one of its own
    // files or links, or below one of its folders or links.
    bool inOperationTree(const std::string& path) const;
    bool cacheFitsOperation(const directoryCache::Entries& cache) const;

    // Where, in the new walk, the file lies that the stored file index
    // named in the stored cache: the tree may have changed since.
    std::int32_t resumeIndexAfterWalk(std::int32_t storedIndex) const;

    WorkerContext& worker_;
    TreeWalker walker_;
    // The operation's cache as it was before this run, when it could be read.
    std::optional<directoryCache::Entries> stored_;
    bool resumeFromCache_ = false;
    bool walked_ = false; // the walk of the folders ran, whole or not
    std::string cacheFile_;
    std::int32_t firstFileIndex_ = 0;
    // Folders this run did not walk (see TreeWalker::walkRemoteFolders).
    std::vector<std::string> unwalked_;
};
