#pragma once

#include "transfer/TreeWalker.h"

#include <string>
#include <vector>

class LoaderThread;

// The delete branch: every folder tree of the operation, each folder's
// files before its subfolders and the folder itself after its content, then
// the operation's own files. The first refused DELE or RMD is shown and ends
// the run. Worker thread only.
class DeleteBranch
{
public:
    explicit DeleteBranch(LoaderThread& worker);
    void run();

private:
    // The steps of run().
    void announceWalking();
    void resolveLinks();
    void deleteFolders();
    void deleteOwnFiles();

    void deleteTree(const std::string& folder, int depth);
    // False when the run ends (a refusal or a stop).
    bool deleteFiles(const std::vector<std::string>& entries);

    LoaderThread& worker_;
    TreeWalker walker_;
};
