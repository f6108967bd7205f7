#include "transfer/TransferRequest.h"

#include "common/ProgramFolders.h"

#include <QFile>
#include <QFileInfo>

namespace
{

QString withSlash(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString folderOfLocal(const std::string& path)
{
    return QFileInfo(QFile::decodeName(QByteArray::fromStdString(path))).path();
}

// Stores of the older program hold local paths with "\\".
std::string_view lastComponent(std::string_view path)
{
    size_t cut = path.rfind('/');
    if (cut == std::string_view::npos)
        cut = path.rfind('\\');
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

} // namespace

TransferEntry entryAt(std::string path, std::uint64_t size)
{
    TransferEntry entry;
    entry.path = std::move(path);
    entry.size = size;
    return entry;
}

QString localBaseOf(const TransferRequest& request)
{
    const TransferItems& items = request.items;
    if (request.kind == OperationKind::Upload) {
        if (!items.files.empty())
            return withSlash(folderOfLocal(items.files.front().path));
        if (!items.folders.empty())
            return withSlash(folderOfLocal(items.folders.front().path));
        return {};
    }
    return withSlash(request.destination.isEmpty() ? defaultDownloadFolder() : request.destination);
}

std::vector<std::string> displayNamesOf(const TransferItems& items)
{
    std::vector<std::string> names;
    for (const TransferEntry& file : items.files)
        names.emplace_back(lastComponent(file.path));
    for (const TransferEntry& folder : items.folders) {
        std::string_view path = folder.path;
        while (path.size() > 1 && path.back() == '/')
            path.remove_suffix(1);
        names.push_back(std::string(lastComponent(path)) + '/');
    }
    for (const TransferEntry& link : items.links)
        names.emplace_back(lastComponent(link.path));
    return names;
}

std::uint64_t totalSizeOf(const std::vector<TransferEntry>& entries)
{
    std::uint64_t total = 0;
    for (const TransferEntry& entry : entries)
        total += entry.size;
    return total;
}
