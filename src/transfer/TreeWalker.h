#pragma once

#include "remote/FtpObject.h"
#include "remote/ListingParser.h"

#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class LoaderThread;
class directoryCache;

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
    explicit TreeWalker(LoaderThread& worker);

    // The folder connection 0 was last changed to; starts as the remote base.
    const std::string& currentFolder() const { return currentFolder_; }
    void setCurrentFolder(std::string folder) { currentFolder_ = std::move(folder); }

    // CWD; true when it succeeded or the worker is stopping.
    bool changeRemoteFolder(std::string path);
    // LIST of the current folder into the worker's listing file. A failure
    // is shown to the user and stops the worker. True when it succeeded or
    // the worker is stopping.
    bool listRemoteFolder();
    // MKD; a refusal is not reported (uploads into it fail later).
    void createRemoteFolder(const std::string& path);
    // SIZE, when it is worth asking (see the .cpp); `size` becomes the
    // server's answer, or 0 when it failed.
    void latestRemoteSize(const std::string& path, std::uint64_t& size, bool force);

    // Downloads and deletions: lists the current folder and hands its files
    // (fileEntry texts, with digests when the server has them), its
    // subfolders (folderEntry texts) and its UNIX links (linkEntry texts;
    // walks never follow them, a deletion removes them as they are).
    struct Listed {
        std::vector<std::string> files;
        std::vector<std::string> folders;
        std::vector<std::string> links;
    };
    std::optional<Listed> listCurrentFolder();

    // Walks a remote tree depth first, each folder's files before those of
    // its subfolders; found files are appended to `files` and to `cache`
    // (when given) and counted in the operation total.
    void walkRemoteFolder(std::string path, std::vector<std::string>& files, directoryCache* cache);

    // UNIX links of the operation: a link to a folder joins `folders`, any
    // other link `files` (with an unknown digest).
    void resolveLinks(const std::vector<std::string>& links, std::vector<std::string>& files,
        std::vector<std::string>& folders);

    // Uploads: walks a local tree, appending its files (upload fileEntry
    // texts) to `files` and creating the remote folders that are missing. A
    // symbolic link is followed only to a file inside the local base; links
    // to folders are never followed, so no cycle can hold the walk.
    void walkLocalFolder(const QString& folder, std::vector<std::string>& files);
    // Lists a remote folder when it is not the one listed last (or when
    // `fresh`), remembering its folders and files.
    void listRemoteParent(const std::string& folder, bool fresh);
    bool remoteFolderExists(const std::string& folder) const;
    // The size a listing showed for this remote file; 0 when none.
    std::uint64_t listedRemoteSize(const std::string& path) const;
    // The remote path an upload's local file goes to; nothing when it does
    // not lie below the local base.
    std::optional<std::string> remotePathOfLocal(const QString& localPath) const;

private:
    template <typename Accept> bool readListing(Accept&& accept);
    bool acceptableName(const ftpObject& entry);
    void walkRemoteFolder(
        std::string path, std::vector<std::string>& files, directoryCache* cache, int depth);
    void walkLocalFolder(const QString& folder, std::vector<std::string>& files, int depth);

    LoaderThread& worker_;
    listingSource source_;
    std::string currentFolder_;
    std::string lastListedFolder_;
    QString canonicalLocalBase_;
    // Uploads: what the listings showed; folders with a trailing "/".
    std::set<std::string> remoteFolders_;
    std::map<std::string, std::uint64_t> remoteFiles_;
};
