#include "session/TransferLists.h"

#include "remote/FtpObject.h"
#include "remote/RemotePath.h"
#include "transfer/FtpOperation.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace
{

std::string siteKey(const ftpSite& site)
{
    return site.hostAddress + "*" + std::to_string(site.port) + "*" + site.userId;
}

std::string shownName(const std::string& name, bool folder)
{
    return folder ? "[" + name + "]" : name;
}

void addRemote(transferItems& items, const ftpObject& entry)
{
    const std::string path = remotePath::join(entry.directory, entry.name);
    const auto size = static_cast<std::uint64_t>(std::max<std::int64_t>(0, entry.size));
    switch (entry.kind) {
    case ftpObject::Folder:
        items.folders.push_back(folderEntry(entry.dateText, path));
        break;
    case ftpObject::UnixLink:
        items.links.push_back(linkEntry(entry.dateText, path, size));
        break;
    default:
        items.files.push_back(fileEntry(entry.digest, entry.dateText, path, size));
        break;
    }
    items.displayNames.push_back(shownName(entry.name, entry.kind == ftpObject::Folder));
}

} // namespace

namespace transferLists
{

std::vector<siteGroup> remoteGroups(std::span<const ftpObject* const> selection)
{
    std::vector<siteGroup> groups;
    std::vector<std::string> keys;
    for (const ftpObject* entry : selection) {
        const std::string key = siteKey(*entry->site);
        const auto found = std::find(keys.begin(), keys.end(), key);
        siteGroup* group = nullptr;
        if (found == keys.end()) {
            keys.push_back(key);
            group = &groups.emplace_back(siteGroup { *entry->site, {} });
        } else {
            group = &groups[static_cast<std::size_t>(found - keys.begin())];
        }
        addRemote(group->items, *entry);
    }
    return groups;
}

transferItems localItems(const QStringList& paths)
{
    transferItems items;
    for (QString path : paths) {
        while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
            path.chop(1);
        const QFileInfo info(path);
        const QString name = info.fileName();
        const std::string localPath = QFile::encodeName(path).toStdString();
        if (info.isDir()) {
            if (name == QStringLiteral(".") || name == QStringLiteral(".."))
                continue;
            items.folders.push_back(uploadFolderEntry(localPath));
            items.displayNames.push_back(shownName(QFile::encodeName(name).toStdString(), true));
        } else if (info.isFile()) {
            const qint64 size = info.isReadable() ? info.size() : 0;
            items.files.push_back(uploadFileEntry(localPath, static_cast<std::uint64_t>(size)));
            items.displayNames.push_back(shownName(QFile::encodeName(name).toStdString(), false));
        }
    }
    return items;
}

} // namespace transferLists
