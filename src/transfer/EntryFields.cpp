#include "transfer/EntryFields.h"

#include <charconv>

std::optional<std::uint64_t> parseSize(std::string_view text)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<remoteFileFields> parseRemoteFileEntry(std::string_view entry)
{
    const size_t first = entry.find('?');
    const size_t second = first == std::string_view::npos ? first : entry.find('?', first + 1);
    const size_t last = entry.rfind('?');
    if (second == std::string_view::npos || last <= second)
        return std::nullopt;
    const auto size = parseSize(entry.substr(last + 1));
    if (!size)
        return std::nullopt;
    return remoteFileFields { std::string(entry.substr(0, first)),
        std::string(entry.substr(first + 1, second - first - 1)),
        std::string(entry.substr(second + 1, last - second - 1)), *size };
}

std::optional<uploadFileFields> parseUploadFileEntry(std::string_view entry)
{
    const size_t last = entry.rfind('?');
    if (last == std::string_view::npos)
        return std::nullopt;
    const auto size = parseSize(entry.substr(last + 1));
    if (!size)
        return std::nullopt;
    return uploadFileFields { std::string(entry.substr(0, last)), *size };
}

std::string_view folderEntryPath(std::string_view entry)
{
    const size_t mark = entry.find('?');
    return mark == std::string_view::npos ? entry : entry.substr(mark + 1);
}

std::string parentFolderOf(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return "/";
    return std::string(path.substr(0, slash + 1));
}
