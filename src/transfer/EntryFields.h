#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The fields of the operation entries (see FtpOperation.h for their forms).

// fileEntry and linkEntry: digest ? date text ? remote path ? size. The size
// is the text after the last "?", so a "?" inside the path does no harm.
struct remoteFileFields {
    std::string digest;
    std::string dateText;
    std::string remotePath;
    std::uint64_t size = 0;
};
std::optional<remoteFileFields> parseRemoteFileEntry(std::string_view entry);

// The upload fileEntry: local path ? size.
struct uploadFileFields {
    std::string localPath;
    std::uint64_t size = 0;
};
std::optional<uploadFileFields> parseUploadFileEntry(std::string_view entry);

// The path of a folderEntry: the text after its first "?" (the whole text
// when it has none, as an upload's folder entry).
std::string_view folderEntryPath(std::string_view entry);

// The parent of a "/"-separated path, with its trailing "/" ("/pub/a" and
// "/pub/a/" give "/pub/"; "/" gives "/").
std::string parentFolderOf(std::string_view path);

// A number of decimal digits only, within 64 bits.
std::optional<std::uint64_t> parseSize(std::string_view text);
