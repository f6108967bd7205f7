// Directory-cache files as a restarted download reads them back: any bytes
// load, every file kept parses as a file entry, every folder left by a
// stopped walk is a folder path, and a cache rebuilt from what was read
// loads back to the same files and folders.

#include "FuzzFiles.h"
#include "FuzzInput.h"

#include "remote/RemotePath.h"
#include "transfer/DirectoryCache.h"
#include "transfer/EntryText.h"

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
    for (const TransferEntry& file : entries->files) {
        FUZZ_CHECK(file.path.find('\n') == std::string::npos && !file.path.ends_with('\r'));
        // Written back, the entry reads as the same file: the size is the
        // text after the last "?", the path keeps any other.
        const std::string text = entryText(file, EntryForm::RemoteFile);
        FUZZ_CHECK(parseEntryText(text, EntryForm::RemoteFile) == file);
        remotePath::parentOf(file.path);
        rebuilt.add(file);
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
