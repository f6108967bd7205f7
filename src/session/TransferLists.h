#pragma once

#include "transfer/TransferRequest.h"

#include <QStringList>

#include <span>
#include <vector>

struct ftpObject;

namespace transferLists
{

// One request of `kind` per server (host address, port and user) of the
// selection, on the site profile of its entries, in the order the servers
// first appear. Regular files and link files go into the files, UNIX links
// into the links, folders into the folders.
std::vector<TransferRequest> remoteRequests(
    std::span<const ftpObject* const> selection, OperationKind kind, const QString& destination);

// Local files (with their sizes, 0 when unreadable) and folders to upload.
// A folder named "." or "..", and a path that is neither a file nor a
// folder, are left out.
TransferItems localItems(const QStringList& paths);

} // namespace transferLists
