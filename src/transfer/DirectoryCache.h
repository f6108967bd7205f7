#pragma once

#include "transfer/TransferRequest.h"

#include <QString>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The file list of a download walk, kept so that a restarted operation need
// not walk the remote tree again: one remote file entry text per line, each ended by
// CR LF, in the folder "Cache" of the program folder, in the order the
// files are fetched. A walk that did not get through the whole tree (it was
// stopped, or a folder could not be opened) adds the folders it did not walk
// as remote folder entry texts with an empty date ("?/pub/b/"), so that a restart
// walks on from there instead of taking part of the tree for all of it.
// Such a line always ends in "/", a file's in its size: readers that know
// only files leave it out.
class directoryCache
{
public:
    void add(const TransferEntry& file);
    void addUnwalkedFolder(std::string_view path);
    const std::string& content() const { return content_; }

    // Writes the content atomically (a temporary file renamed into place)
    // with mode 0600, so a crash never leaves a half-written cache.
    bool save(const QString& path, QString* error = nullptr) const;

    struct Entries {
        std::vector<TransferEntry> files; // in order
        std::vector<std::string> unwalkedFolders; // paths ending in "/"
        bool operator==(const Entries&) const = default;
    };
    // What a cache file holds; other lines are left out. Nothing when the
    // file cannot be read.
    static std::optional<Entries> load(const QString& path);

private:
    std::string content_;
};

// The folder "Cache" of the program folder, created (0700) when missing.
QString cacheFolder();

// A new file name of the form prefix + the time of day as a fraction of a
// day + a part unique to this process and call + extension, created empty
// and exclusively (mode 0600, never through a symbolic link) in `folder`.
// Returns the file name without its folder, or nothing when it cannot be
// created.
std::optional<QString> createPrivateFile(
    const QString& folder, const QString& prefix, const QString& extension);
