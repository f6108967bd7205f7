#pragma once

#include "transfer/TreeWalker.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

class WorkerContext;

// The upload branch: the local walk, then every file from the last entry to
// the first, each checked against the server first (SIZE, then the
// listing), uploaded whole or resumed with REST, and re-checked after a
// pause. Runs over connection 0 only. Worker thread only.
//
// Items dropped together may come from several local folders: each keeps
// its own local base (the folder that holds it), so a file lands in the
// remote folder as it lies below its item's base.
class UploadBranch
{
public:
    explicit UploadBranch(WorkerContext& worker);
    void run();

    // How a local file of size S stands on the server.
    enum class Existence : int { Missing = 0, Complete = -1, Longer = -2, Partial = 1 };

private:
    // The steps of run().
    void probeResume();
    void takeOwnFiles();
    void walkLocalFolders();
    void announceWalking();
    void uploadFiles();

    struct RemoteState {
        Existence existence = Existence::Missing;
        std::uint64_t size = 0;
    };
    RemoteState remoteState(std::uint64_t localSize, const std::string& remotePath, bool freshListing);
    void uploadOne(const QString& localPath, const QString& localBase, const std::string& remotePath,
        std::uint64_t size);
    void uploadWhole(const QString& localPath, const std::string& remotePath, std::uint64_t size);
    void resumeUpload(
        const QString& localPath, const std::string& remotePath, std::uint64_t size, std::uint64_t offset);
    bool ensureConnected(const std::string& remotePath);
    void countDone(std::uint64_t size);

    WorkerContext& worker_;
    TreeWalker walker_;
    // The local base of each entry of the worker's file list, by index.
    std::vector<QString> localBases_;
    bool firstCheck_ = true;
};
