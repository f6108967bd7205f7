#pragma once

#include "transfer/TreeWalker.h"

#include <QByteArray>

#include <span>
#include <string>
#include <vector>

class WorkerContext;

// The delete branch: every folder tree of the operation, each folder's
// files and UNIX links before its subfolders and the folder itself after
// its content, then the operation's own files and links. A link is removed
// as the link it is, never followed: what it leads to lies outside what the
// user chose. The DELEs go out in batches; a batch with refusals names each
// refused path and ends the run, stopped. Worker thread only.
class DeleteBranch
{
public:
    explicit DeleteBranch(WorkerContext& worker);
    void run();

private:
    // The steps of run().
    void announceWalking();
    void deleteFolders();
    void deleteOwnFiles();
    void deleteOwnLinks();

    void deleteTree(const std::string& folder, int depth);
    // Files or links (fileEntry or linkEntry texts). False when the run ends
    // (a refusal or a stop).
    bool deleteEntries(const std::vector<TransferEntry>& entries);
    // One batch; false when the run ends.
    bool deleteBatch(std::span<const TransferEntry> entries, std::vector<QByteArray> commands);

    WorkerContext& worker_;
    TreeWalker walker_;
};
