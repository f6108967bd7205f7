#pragma once

#include "transfer/TreeWalker.h"

#include <string>

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
    void deleteFiles();

    void deleteTree(const std::string& folder, int depth);
    void deleteFile(const std::string& entry);

    LoaderThread& worker_;
    TreeWalker walker_;
};
