#include "transfer/EntryText.h"

#include <charconv>

EntryForm fileEntryForm(OperationKind kind)
{
    return kind == OperationKind::Upload ? EntryForm::UploadFile : EntryForm::RemoteFile;
}

EntryForm folderEntryForm(OperationKind kind)
{
    return kind == OperationKind::Upload ? EntryForm::UploadFolder : EntryForm::RemoteFolder;
}

std::optional<std::uint64_t> parseSize(std::string_view text)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string entryText(const TransferEntry& entry, EntryForm form)
{
    std::string text;
    switch (form) {
    case EntryForm::RemoteFile:
        text = entry.digest.size() >= zeroDigest.size() ? entry.digest : std::string(zeroDigest);
        text += '?';
        text += entry.dateText;
        text += '?';
        text += entry.path;
        text += '?';
        text += std::to_string(entry.size);
        break;
    case EntryForm::RemoteFolder:
        text = entry.dateText;
        text += '?';
        text += entry.path;
        break;
    case EntryForm::UploadFile:
        text = entry.path;
        text += '?';
        text += std::to_string(entry.size);
        break;
    case EntryForm::UploadFolder:
        text = entry.path;
        break;
    }
    return text;
}

std::optional<TransferEntry> parseEntryText(std::string_view text, EntryForm form)
{
    TransferEntry entry;
    switch (form) {
    case EntryForm::RemoteFile: {
        const size_t first = text.find('?');
        const size_t second = first == std::string_view::npos ? first : text.find('?', first + 1);
        const size_t last = text.rfind('?');
        if (second == std::string_view::npos || last <= second)
            return std::nullopt;
        const auto size = parseSize(text.substr(last + 1));
        if (!size)
            return std::nullopt;
        if (first >= zeroDigest.size())
            entry.digest = text.substr(0, first);
        entry.dateText = text.substr(first + 1, second - first - 1);
        entry.path = text.substr(second + 1, last - second - 1);
        entry.size = *size;
        break;
    }
    case EntryForm::RemoteFolder: {
        const size_t mark = text.find('?');
        if (mark == std::string_view::npos) {
            entry.path = text;
        } else {
            entry.dateText = text.substr(0, mark);
            entry.path = text.substr(mark + 1);
        }
        break;
    }
    case EntryForm::UploadFile: {
        const size_t last = text.rfind('?');
        const auto size = last == std::string_view::npos ? std::nullopt : parseSize(text.substr(last + 1));
        if (!size)
            return std::nullopt;
        entry.path = text.substr(0, last);
        entry.size = *size;
        break;
    }
    case EntryForm::UploadFolder:
        entry.path = text;
        break;
    }
    return entry;
}
