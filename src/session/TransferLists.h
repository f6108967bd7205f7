#pragma once

#include "common/FtpSite.h"

#include <QStringList>

#include <span>
#include <string>
#include <vector>

struct ftpObject;

// The item lists a session hands to the transfer engine: one text per item
// in the forms of transfer/FtpOperation.h, and the names the actions list
// shows ("[docs]" for a folder).
struct transferItems {
    std::vector<std::string> files, folders, links, displayNames;

    bool empty() const { return files.empty() && folders.empty() && links.empty(); }
};

// The selected entries of one server (host address, port and user): one
// operation, on the site profile of its entries.
struct siteGroup {
    ftpSite site;
    transferItems items;
};

namespace transferLists
{

// The selection split by server, in the order the servers first appear.
// Regular files and link files go into the files, UNIX links into the
// links, folders into the folders.
std::vector<siteGroup> remoteGroups(std::span<const ftpObject* const> selection);

// Local files (with their sizes, 0 when unreadable) and folders to upload.
// A folder named "." or "..", and a path that is neither a file nor a
// folder, are left out.
transferItems localItems(const QStringList& paths);

} // namespace transferLists
