// Directory-cache files as a restarted download reads them back: any bytes
// load, every entry kept parses as a file entry, and a cache rebuilt from
// those entries loads back to the same list.

#include "FuzzFiles.h"
#include "FuzzInput.h"

#include "transfer/DirectoryCache.h"
#include "transfer/EntryFields.h"

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
    for (const std::string& entry : *entries) {
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
    FUZZ_CHECK(rebuilt.save(again));
    const auto reloaded = directoryCache::load(again);
    FUZZ_CHECK(reloaded.has_value() && *reloaded == *entries);
    return 0;
}
