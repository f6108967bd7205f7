#pragma once

#include "remote/FtpObject.h"
#include "remote/ListingParser.h"
#include "transfer/TransferRequest.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class WorkerContext;

// The remote operations of a worker's walks and transfers on connection 0,
// and the walks themselves: remote trees for downloads and deletions, local
// trees for uploads. Worker thread only.
//
// Names from a listing are untrusted: an entry whose name could not be one
// local file name ("..", a "/" or "\" inside, control bytes) is skipped with
// a status line, so no walk ever yields a path that leaves its base.
class TreeWalker
{
public:
    explicit TreeWalker(WorkerContext& worker);

    // The folder connection 0 was last changed to; starts as the remote base.
    const std::string& currentFolder() const { return currentFolder_; }
    void setCurrentFolder(std::string folder) { currentFolder_ = std::move(folder); }

    // CWD; true when it succeeded or the worker is stopping.
    bool changeRemoteFolder(std::string path);
    // LIST of the current folder, each entry handed to `accept` while the
    // listing arrives, until it returns false. A failure is shown to the
    // user and stops the worker. True when it succeeded or the worker is
    // stopping; the entries handed are the folder's only when it succeeded.
    bool listRemoteFolder(const std::function<bool(ftpObject& entry)>& accept);
    // MKD; a refusal is not reported (uploads into it fail later).
    void createRemoteFolder(const std::string& path);
    // SIZE, when it is worth asking (see the .cpp); `size` becomes the
    // server's answer, or 0 when it failed.
    void latestRemoteSize(const std::string& path, std::uint64_t& size, bool force);

    // Downloads and deletions: lists the current folder and hands its files
    // (with digests when the server has them), its subfolders and its UNIX
    // links (walks never follow them, a deletion removes them as they are).
    std::optional<TransferItems> listCurrentFolder();

    // Walks remote trees (folder paths), one after the other, depth first,
    // each folder's files before those of its subfolders; found files are
    // appended to `files` and counted in the operation total. A folder that
    // cannot be opened is named in the window, counted in the progress block
    // and makes the run incomplete; its files are not there, so the walk is
    // not whole. Returns the folders not walked, in the order they would
    // have come: those, and after a stop every folder not yet listed whole,
    // so that a later run can walk on from there.
    std::vector<std::string> walkRemoteFolders(
        const std::vector<std::string>& folders, std::vector<TransferEntry>& files);

    // UNIX links of the operation: a link to a folder joins `folders`, any
    // other link `files` (with an unknown digest). A link's path is the
    // session's full path; a relative one lies in the current folder.
    void resolveLinks(const std::vector<TransferEntry>& links, std::vector<TransferEntry>& files,
        std::vector<TransferEntry>& folders);

    // Uploads: walks a local tree that lies below `localBase` (its dropped
    // item's own folder, ending in "/"), appending its files to `files` and
    // creating the remote folders that are
    // missing. A symbolic link is followed only to a file inside that base;
    // links to folders are never followed, so no cycle can hold the walk.
    void walkLocalFolder(const QString& folder, const QString& localBase, std::vector<TransferEntry>& files);
    // Lists a remote folder when it is not the one listed last (or when
    // `fresh`), remembering its folders and files.
    void listRemoteParent(const std::string& folder, bool fresh);
    bool remoteFolderExists(const std::string& folder) const;
    // The size a listing showed for this remote file; 0 when none.
    std::uint64_t listedRemoteSize(const std::string& path) const;
    // The remote path an upload's local file goes to: the remote base and
    // the file's path below `localBase`; nothing when it does not lie below.
    std::optional<std::string> remotePathOfLocal(const QString& localPath, const QString& localBase) const;

private:
    bool acceptableName(const ftpObject& entry);
    // CWD (unless connection 0 is there already) and listing of one folder.
    std::optional<TransferItems> openAndList(const std::string& folder);
    void reportNotOpened(const std::string& folder, const QString& serverReply);
    struct LocalWalk {
        QString base; // ends in "/"
        QString canonicalBase;
    };
    void walkLocalFolder(
        const QString& folder, const LocalWalk& walk, std::vector<TransferEntry>& files, int depth);

    WorkerContext& worker_;
    listingSource source_;
    std::string currentFolder_;
    std::string lastListedFolder_;
    // Uploads: what the listings showed; folders with a trailing "/".
    std::set<std::string> remoteFolders_;
    std::map<std::string, std::uint64_t> remoteFiles_;
};
