#include "transfer/OperationsStore.h"

#include "common/ProgramFolders.h"

#include "common/ComplementText.h"
#include "common/IniFile.h"
#include "transfer/EntryText.h"

#include <algorithm>
#include <charconv>

namespace
{
constexpr std::string_view countSection = "Operations";
// A damaged or hostile store must not make us build billions of empty
// entries; real stores stay far below these.
// Bounded so that a list read can be written back within the ini file's
// limits (every operation takes some 26 keys).
constexpr std::uint64_t maxOperations = 10000;
constexpr std::int32_t maxEntriesPerList = 1000000;

std::string sectionName(std::uint64_t index)
{
    return "Operation" + std::to_string(index);
}

std::uint64_t storedCount(const IniFile& store)
{
    const std::string text = store.readString(countSection, "Count", "0");
    std::uint64_t count = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), count);
    return ec == std::errc() && end == text.data() + text.size() ? count : 0;
}

std::int64_t readInt64(
    const IniFile& store, std::string_view section, std::string_view key, std::int64_t dflt)
{
    const auto text = store.value(section, key);
    if (!text)
        return dflt;
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
    return ec == std::errc() && end == text->data() + text->size() && !text->empty() ? value : dflt;
}

// An entry whose text is damaged names nothing that could be transferred:
// it is left out.
std::vector<TransferEntry> readEntries(const IniFile& store, const std::string& section,
    std::string_view countKey, std::string_view entryKey, EntryForm form)
{
    // A list never holds more entries than its section has keys: a count
    // beyond that would only add empty entries, as many as a damaged store
    // claims, and each of them is written back at shut-down.
    const auto present
        = static_cast<std::int32_t>(std::min<std::size_t>(store.keyCount(section), maxEntriesPerList));
    const std::int32_t count = std::clamp(store.readInteger(section, countKey, 0), 0, present);
    std::vector<TransferEntry> entries;
    for (std::int32_t i = 0; i < count; ++i) {
        const std::string text = store.readString(section, std::string(entryKey) + std::to_string(i), "");
        if (auto entry = parseEntryText(text, form))
            entries.push_back(std::move(*entry));
    }
    return entries;
}

void writeEntries(IniFile& store, const std::string& section, std::string_view entryKey,
    const std::vector<TransferEntry>& entries, EntryForm form)
{
    for (size_t i = 0; i < entries.size(); ++i)
        store.writeString(section, std::string(entryKey) + std::to_string(i), entryText(entries[i], form));
}

std::unique_ptr<ftpOperationObject> readOperation(
    const IniFile& store, const std::string& section, const std::string& anonymousPassword)
{
    auto op = std::make_unique<ftpOperationObject>();
    TransferRequest& request = op->request;
    request.kind = static_cast<OperationKind>(store.readInteger(section, "Operation", -1));
    TransferItems& items = request.items;
    items.files = readEntries(store, section, "FileCount", "File", fileEntryForm(request.kind));
    items.folders = readEntries(store, section, "FolderCount", "Folder", folderEntryForm(request.kind));
    items.links = readEntries(store, section, "LinkCount", "Link", EntryForm::RemoteFile);

    ftpSite& site = request.site;
    site.name = store.readString(section, "SiteName", "");
    site.persistent = store.readBool(section, "SitePersistent", false);
    const std::string address = store.readString(section, "SiteAddress", "");
    if (site.persistent)
        site.hostAddress = complementText(address);
    else
        site.p2pUserName = address;
    site.displayAddress = store.readString(section, "SitePseudoAddress", "");
    const std::int64_t port = readInt64(store, section, "SitePort", 21);
    site.port = port >= 1 && port <= 65535 ? static_cast<std::uint32_t>(port) : 21;
    site.anonymous = store.readBool(section, "SiteAnonymous", true);
    if (site.anonymous) {
        site.userId = "anonymous";
        site.password = anonymousPassword;
    } else {
        site.userId = store.readString(section, "SiteUserID", "");
        site.password = complementText(store.readString(section, "SitePassword", ""));
    }
    site.initialDirectory = store.readString(section, "SiteInitialDirectory", "");

    // The historic default "c:\" names no folder here: the user's download
    // folder stands in for it.
    const std::string localPath = store.readString(section, "LocalPath", "");
    request.destination = localPath.empty() ? defaultDownloadFolder() : QString::fromStdString(localPath);
    op->status = static_cast<OperationStatus>(store.readInteger(section, "Status", -1));
    op->cacheFile = store.readString(section, "CacheFile", "");
    op->lastFileIndex = store.readInteger(section, "LastFileIndex", 0);
    op->lastFileBytePeriod = readInt64(store, section, "LastFileBytePeriod", 0);
    op->lastFileConnections = store.readInteger(section, "LastFileConnections", 0);
    op->priority = store.readInteger(section, "Priority", 1);
    op->autoTry = store.readBool(section, "AutoTry", false);
    site.supportsMd5 = store.readBool(section, "SiteSupportsMD5", false);
    site.supportsRest = store.readBool(section, "SiteSupportsREST", false);
    site.supportsWebLink = store.readBool(section, "SiteSupportsWEBL", false);
    return op;
}

void writeOperation(IniFile& store, const std::string& section, const ftpOperationObject& op)
{
    const TransferRequest& request = op.request;
    const TransferItems& items = request.items;
    store.writeInteger(section, "FileCount", static_cast<std::int64_t>(items.files.size()));
    store.writeInteger(section, "FolderCount", static_cast<std::int64_t>(items.folders.size()));
    store.writeInteger(section, "LinkCount", static_cast<std::int64_t>(items.links.size()));
    writeEntries(store, section, "File", items.files, fileEntryForm(request.kind));
    writeEntries(store, section, "Folder", items.folders, folderEntryForm(request.kind));
    writeEntries(store, section, "Link", items.links, EntryForm::RemoteFile);
    const ftpSite& site = request.site;
    store.writeString(section, "SiteName", site.name);
    store.writeBool(section, "SitePersistent", site.persistent);
    store.writeString(
        section, "SiteAddress", site.persistent ? complementText(site.hostAddress) : site.p2pUserName);
    store.writeString(section, "SitePseudoAddress", site.displayAddress);
    store.writeInteger(section, "SitePort", site.port);
    store.writeBool(section, "SiteAnonymous", site.anonymous);
    if (!site.anonymous) {
        store.writeString(section, "SiteUserID", site.userId);
        store.writeString(section, "SitePassword", complementText(site.password));
    }
    store.writeString(section, "SiteInitialDirectory", site.initialDirectory);
    store.writeString(section, "LocalPath", request.destination.toStdString());
    store.writeInteger(section, "Operation", static_cast<std::int32_t>(request.kind));
    store.writeInteger(section, "Status", static_cast<std::int32_t>(op.status));
    store.writeString(section, "CacheFile", op.cacheFile);
    store.writeInteger(section, "LastFileIndex", op.lastFileIndex);
    store.writeInteger(section, "LastFileBytePeriod", op.lastFileBytePeriod);
    store.writeInteger(section, "LastFileConnections", op.lastFileConnections);
    store.writeInteger(section, "Priority", op.priority);
    store.writeBool(section, "AutoTry", op.autoTry);
    store.writeBool(section, "SiteSupportsMD5", site.supportsMd5);
    store.writeBool(section, "SiteSupportsREST", site.supportsRest);
    store.writeBool(section, "SiteSupportsWEBL", site.supportsWebLink);
}
} // namespace

operationsStore::operationsStore(QString registryPath)
    : path_(std::move(registryPath))
{
}

std::vector<std::unique_ptr<ftpOperationObject>> operationsStore::loadAll(
    const std::string& anonymousPassword)
{
    const IniFile store(path_);
    // Never more operations than the store has sections: a damaged count
    // would otherwise fill the list with empty rows, each written back.
    const std::uint64_t present = std::min(storedCount(store), std::uint64_t(store.sectionCount()));
    const std::uint64_t count = std::min(present, maxOperations);
    leftOut_ = present - count;
    knownSections_ = std::max(knownSections_, count);
    std::vector<std::unique_ptr<ftpOperationObject>> operations;
    for (std::uint64_t i = 0; i < count; ++i)
        operations.push_back(readOperation(store, sectionName(i), anonymousPassword));
    return operations;
}

bool operationsStore::storeAll(const std::vector<const ftpOperationObject*>& operations, QString* error)
{
    IniFile store(path_);
    for (std::uint64_t i = 0; i < knownSections_; ++i)
        store.eraseSection(sectionName(i));
    store.writeInteger(countSection, "Count", static_cast<std::int64_t>(operations.size()));
    for (size_t i = 0; i < operations.size(); ++i)
        writeOperation(store, sectionName(i), *operations[i]);
    knownSections_ = std::max<std::uint64_t>(knownSections_, operations.size());
    return store.update(error);
}
