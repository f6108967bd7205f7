#pragma once

#include "transfer/LoaderWindow.h"
#include "transfer/PartPlan.h"
#include "transfer/TreeWalker.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class WorkerContext;
class PartStore;

// The transfer half of the download branch: every file of the walked list
// from the first one due, each checked against the disk (asking about files
// that exist), fetched in parts, merged and checked against its digest.
// Worker thread only.
//
// Parts are written into the target's name with ".0", beside a record with
// ".parts" (PartStore); earlier versions wrote each part into the target's
// name with "." and its index. Such a name may also be another file: one
// of this operation (a remote folder holding "a.bin" and "a.bin.0") or one
// the user has. What is found on disk under these names is used only when
// the operation's resume state or the record says this file was being
// fetched in parts of this length; a file whose names are taken by anything
// else is fetched as one part into its target, so nothing else is ever
// merged, overwritten or deleted.
//
// A file already at the target is resumed only when this program wrote it
// for this remote file (its record, or the operation's resume state). One
// with the remote size (and digest, when known) is this file, complete.
// Anything else is another file: the overwrite question decides, and
// keeping both puts the download beside it under a numbered name. No two
// files of one operation are written to the same name: the second one goes
// beside the first under a numbered name.
class DownloadBranch
{
public:
    DownloadBranch(WorkerContext& worker, std::int32_t firstFileIndex);
    void run();

private:
    struct FileJob {
        std::int32_t index = 0;
        std::string remotePath;
        std::string digest;
        std::string date;
        std::uint64_t size = 0;
        QString wantedPath; // the local path of the remote path
        QString localPath; // where it goes: the wanted path or a numbered one
        std::string remoteFolder;
        int partCount = 1;
        bool ownParts = false; // part files on disk are this file's
        bool ownTarget = false; // the target holds this program's bytes of this file
        bool nothingTrusted = false; // ... but none worth keeping
        bool text = false; // fetched in ASCII mode
        bool differs = false; // the target has the remote size but another digest
        // The last local file whose digest was compared, and the result.
        std::optional<std::pair<QString, bool>> digestCheck;
    };
    enum class Check { Download, Resume, Skip, KeepBoth };
    using NameNote = QString (*)(const QString& remotePath, const QString& localPath);

    void readResumeState();
    void collectTargets();
    std::optional<QString> localPathOf(const std::string& remotePath) const;
    void processFile(std::int32_t index);
    bool ensureConnected();
    bool placeOnce(FileJob& job);
    bool moveBeside(FileJob& job, NameNote note);
    bool fitsBeside(FileJob& job, const QString& path);
    bool holdsThisFile(FileJob& job, const QString& path);
    void planParts(FileJob& job);
    void freshParts(FileJob& job);
    bool partNamesFree(const FileJob& job) const;
    Check checkLocal(FileJob& job);
    Check askAbout(const FileJob& job, ExistenceKind kind);
    bool prepareFolder(const FileJob& job);
    // Every name this file's download may have left: the target, its part
    // record and its part files.
    QStringList localNames(const FileJob& job) const;
    void deleteLocal(const FileJob& job);
    void skipFile(const FileJob& job);
    void download(FileJob& job, Check check);
    void storeResumeState(const FileJob& job, std::uint64_t partLength, int needed);
    void finishFile(const FileJob& job, PartStore& store);
    void keepAsUntrusted(const FileJob& job);
    void localFailure(const FileJob& job, const QString& reason);
    void note(const QString& text);

    WorkerContext& worker_;
    TreeWalker walker_;
    std::int32_t firstFileIndex_;
    // What the operation said when the run began.
    std::int32_t resumeIndex_ = -1;
    std::int64_t resumePartLength_ = 0;
    std::int32_t resumeConnections_ = 0;
    QSet<QString> targets_; // every local target of the run
    // An "All" answer about files that are not this download's.
    std::optional<Check> unrelatedAnswer_;
};
