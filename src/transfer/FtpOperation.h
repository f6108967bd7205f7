#pragma once

#include "common/FtpSite.h"

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TransferWindow;

enum class OperationKind : std::int32_t { Download = -1, Delete = 0, Upload = 1 };

// Stored as a number; a value outside the named ones is kept as it is.
enum class OperationStatus : std::int32_t {
    Stopped = -1,
    Finished = 0, // all done, the transfer window still open
    Running = 1,
    Completed = 2, // all done, the window closed
    Connecting = 3,
    ConnectionError = 4, // the worker ended without ever starting its walk
};

enum class OperationPriority : std::int32_t { High = 0, Normal = 1, Low = 2 };

// The digest text that means "not known".
inline constexpr std::string_view zeroDigest = "00000000000000000000000000000000";

// One download, upload or deletion: what to transfer, where, and the state
// needed to resume it. Owned by its row of the actions list; the running
// transfer window and its worker write progress and resume state back into it.
struct ftpOperationObject {
    std::vector<std::string> files; // fileEntry texts
    std::vector<std::string> folders; // folderEntry texts
    std::vector<std::string> links; // linkEntry texts
    std::vector<std::string> displayNames;
    ftpSite site;
    TransferWindow* window = nullptr; // the running transfer window; not stored
    QString localPath;
    OperationKind kind = OperationKind::Download;
    OperationStatus status = OperationStatus::Stopped;
    std::string cacheFile; // file name inside the cache folder; empty when none
    std::int32_t lastFileIndex = 0;
    // Stored as a decimal number: 64-bit so that parts of files of 4 GiB and
    // more keep their length.
    std::int64_t lastFileBytePeriod = 0;
    std::int32_t lastFileConnections = 0;
    std::int32_t priority = static_cast<std::int32_t>(OperationPriority::Normal);
    bool autoTry = false;
};

// Entry texts, fields joined by "?" (so a remote path cannot hold one).
// A digest shorter than 32 characters is not a digest: zeroDigest stands in.
std::string fileEntry(
    std::string_view digest, std::string_view dateText, std::string_view remotePath, std::uint64_t size);
std::string linkEntry(std::string_view dateText, std::string_view remotePath, std::uint64_t size);
std::string folderEntry(std::string_view dateText, std::string_view remotePath);
std::string uploadFileEntry(std::string_view localPath, std::uint64_t size);
std::string uploadFolderEntry(std::string_view localPath);

// Which of the forms above an entry text has. The text alone cannot tell: a
// name may hold "?", and an upload's folder entry is a bare path.
enum class EntryForm { RemoteFile, RemoteFolder, UploadFile, UploadFolder };
// The form of each list of an operation of `kind` (links are remote files).
EntryForm fileEntryForm(OperationKind kind);
EntryForm folderEntryForm(OperationKind kind);

// The short name an entry shows in the actions list: "a.txt" for a file,
// "docs/" for a folder.
std::string displayNameOf(std::string_view entry, EntryForm form);

// The texts of the actions list's columns.
QString kindText(OperationKind kind);
QString siteColumnText(const ftpSite& site);
QString itemsColumnText(const std::vector<std::string>& displayNames);
// `percent` counts only for Running; an unknown status shows `previousText`.
QString statusText(OperationStatus status, int percent, const QString& previousText = {});
