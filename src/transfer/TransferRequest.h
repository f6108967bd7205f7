#pragma once

#include "common/FtpSite.h"

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class OperationKind : std::int32_t { Download = -1, Delete = 0, Upload = 1 };

// The digest text that means "not known".
inline constexpr std::string_view zeroDigest = "00000000000000000000000000000000";

// One item of a transfer. For a download or a deletion the path is the
// server's full path, in the server's bytes; for an upload it is the local
// path, in the file system's bytes. Folders and uploads carry no date,
// digest or size.
struct TransferEntry {
    std::string path;
    std::string dateText; // as the listing showed it
    std::string digest = std::string(zeroDigest);
    std::uint64_t size = 0;

    bool operator==(const TransferEntry&) const = default;
};

// An entry known by its path (and its size) alone.
TransferEntry entryAt(std::string path, std::uint64_t size = 0);

// A transfer's items by what they are: links are the server's UNIX links,
// which a download resolves and a deletion removes as they are.
struct TransferItems {
    std::vector<TransferEntry> files, folders, links;

    bool empty() const { return files.empty() && folders.empty() && links.empty(); }
    bool operator==(const TransferItems&) const = default;
};

// What the user asked for, made once where the request starts (a session's
// selection, the actions list's restart, the command line) and carried
// whole by the operation, its window and its worker.
struct TransferRequest {
    ftpSite site; // an upload's remote folder is the site's initial directory
    OperationKind kind = OperationKind::Download;
    // A download's local folder; empty: the user's download folder.
    QString destination;
    TransferItems items;
};

// The local folder a request works in, ending in "/": a download's
// destination (or the user's download folder); for an upload, the folder of
// its first item, so that the items keep their names below the remote folder.
QString localBaseOf(const TransferRequest& request);

// The short names the actions list shows, in the order files, folders,
// links: "a.txt" for a file, "docs/" for a folder.
std::vector<std::string> displayNamesOf(const TransferItems& items);

std::uint64_t totalSizeOf(const std::vector<TransferEntry>& entries);
