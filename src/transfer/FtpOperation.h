#pragma once

#include "transfer/TransferRequest.h"

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TransferWindow;

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

// One download, upload or deletion: what to transfer, where, and the state
// needed to resume it. Owned by its row of the actions list; the running
// transfer window and its worker write progress and resume state back into it.
struct ftpOperationObject {
    // The site's capabilities are written back as the worker learns them.
    TransferRequest request;
    TransferWindow* window = nullptr; // the running transfer window; not stored
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

// The texts of the actions list's columns.
QString kindText(OperationKind kind);
QString siteColumnText(const ftpSite& site);
QString itemsColumnText(const std::vector<std::string>& displayNames);
// `percent` counts only for Running; an unknown status shows `previousText`.
QString statusText(OperationStatus status, int percent, const QString& previousText = {});
