// Directory-cache files as a restarted download reads them back: any bytes
// load, every file kept parses as a file entry, every folder left by a
// stopped walk is a folder path, and a cache rebuilt from what was read
// loads back to the same files and folders.

#include "FuzzFiles.h"
#include "FuzzInput.h"

#include "transfer/DirectoryCache.h"
#include "transfer/EntryFields.h"

#include <algorithm>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const FuzzInput input(data, size);
    const QString path = fuzzFile(QStringLiteral("cache.txt"));
    const QString again = fuzzFile(QStringLiteral("again.txt"));
    if (!writeFuzzFile(path, input.restBytes()))
        return 0;

    const auto entries = directoryCache::load(path);
    FUZZ_CHECK(entries.has_value());
    directoryCache rebuilt;
    for (const std::string& entry : entries->files) {
        FUZZ_CHECK(entry.find('\n') == std::string::npos && !entry.ends_with('\r'));
        const auto fields = parseRemoteFileEntry(entry);
        FUZZ_CHECK(fields.has_value());
        // The size is the text after the last "?": the path keeps any other.
        FUZZ_CHECK(fields->remotePath.size() < entry.size());
        parentFolderOf(fields->remotePath);
        parseUploadFileEntry(entry);
        folderEntryPath(entry);
        rebuilt.add(entry);
    }
    // A folder a stopped walk left is a path a restart walks on from: it
    // names a folder and holds no control byte.
    for (const std::string& folder : entries->unwalkedFolders) {
        FUZZ_CHECK(folder.starts_with('/') && folder.ends_with('/'));
        FUZZ_CHECK(std::none_of(folder.begin(), folder.end(),
            [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }));
        rebuilt.addUnwalkedFolder(folder);
    }
    FUZZ_CHECK(rebuilt.save(again));
    const auto reloaded = directoryCache::load(again);
    FUZZ_CHECK(reloaded.has_value() && *reloaded == *entries);
    return 0;
}
