#pragma once

#include "transfer/DirectoryCache.h"
#include "transfer/TreeWalker.h"

#include <cstdint>
#include <string>
#include <vector>

class LoaderThread;

// The walking half of the download branch: the cache decision, the
// connection and probes, the links, the walk of every folder and the saved
// directory cache. What it leaves in the worker's file list is what the
// transfer of the files works through, from `firstFileIndex()`.
// Worker thread only.
class DownloadWalk
{
public:
    explicit DownloadWalk(LoaderThread& worker);
    void run();
    // Where the transfer of the files begins: 0 after a fresh walk, the
    // stored file index when resuming from the cache.
    std::int32_t firstFileIndex() const { return firstFileIndex_; }

private:
    // The steps of run().
    void decideOnCache();
    void prepareFromCache();
    void prepareAfresh();
    // The server's digest in place of each file entry's.
    void fillDigests(std::vector<std::string>& files);
    void announceWalking();
    void resolveLinks();
    void walkFolders();
    void saveCache();

    LoaderThread& worker_;
    TreeWalker walker_;
    directoryCache cache_;
    bool resumeFromCache_ = false;
    std::string cacheFile_;
    std::int32_t firstFileIndex_ = 0;
};
