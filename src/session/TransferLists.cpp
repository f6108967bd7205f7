#include "session/TransferLists.h"

#include "remote/FtpObject.h"
#include "remote/RemotePath.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace
{

std::string siteKey(const ftpSite& site)
{
    return site.hostAddress + "*" + std::to_string(site.port) + "*" + site.userId;
}

void addRemote(TransferItems& items, const ftpObject& entry)
{
    TransferEntry item = entryAt(remotePath::join(entry.directory, entry.name));
    item.dateText = entry.dateText;
    switch (entry.kind) {
    case ftpObject::Folder:
        items.folders.push_back(std::move(item));
        return;
    case ftpObject::UnixLink:
        item.size = static_cast<std::uint64_t>(std::max<std::int64_t>(0, entry.size));
        items.links.push_back(std::move(item));
        return;
    default:
        break;
    }
    item.size = static_cast<std::uint64_t>(std::max<std::int64_t>(0, entry.size));
    if (entry.digest.size() >= zeroDigest.size())
        item.digest = entry.digest;
    items.files.push_back(std::move(item));
}

} // namespace

namespace transferLists
{

std::vector<TransferRequest> remoteRequests(
    std::span<const ftpObject* const> selection, OperationKind kind, const QString& destination)
{
    std::vector<TransferRequest> requests;
    std::vector<std::string> keys;
    for (const ftpObject* entry : selection) {
        const std::string key = siteKey(*entry->site);
        const auto found = std::find(keys.begin(), keys.end(), key);
        TransferRequest* request = nullptr;
        if (found == keys.end()) {
            keys.push_back(key);
            request = &requests.emplace_back(TransferRequest { *entry->site, kind, destination, {} });
        } else {
            request = &requests[static_cast<std::size_t>(found - keys.begin())];
        }
        addRemote(request->items, *entry);
    }
    return requests;
}

TransferItems localItems(const QStringList& paths)
{
    TransferItems items;
    for (QString path : paths) {
        while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
            path.chop(1);
        const QFileInfo info(path);
        const QString name = info.fileName();
        TransferEntry item = entryAt(QFile::encodeName(path).toStdString());
        if (info.isDir()) {
            if (name == QStringLiteral(".") || name == QStringLiteral(".."))
                continue;
            items.folders.push_back(std::move(item));
        } else if (info.isFile()) {
            item.size = static_cast<std::uint64_t>(info.isReadable() ? info.size() : 0);
            items.files.push_back(std::move(item));
        }
    }
    return items;
}

} // namespace transferLists
