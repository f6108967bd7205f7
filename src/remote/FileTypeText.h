#pragma once

#include "remote/FtpObject.h"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

// Type texts that are not the platform's description of a file type.
namespace typeTexts
{
inline constexpr std::string_view folder = "File Folder";
inline constexpr std::string_view linkFile = "Zelta Link";
inline constexpr std::string_view unixLink = "UNIX Link";
inline constexpr std::string_view unknown = "Unknown Type";
} // namespace typeTexts

// Hash for maps keyed by text that are searched with string views.
struct textHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
};

// The text from the last "." of the name to its end ("" without a dot).
std::string_view extensionOf(std::string_view name);

// The type texts of a session's remote file list, so that a listing reuses
// the text of a file already listed with the same extension instead of
// asking the platform again. It answers what walking the list in display
// order would answer (the first regular file of that extension and another
// name), in constant time per name, so a folder of many files costs linear
// time. The owner of the list adds entries in display order and starts over
// (clear, then add again) when the order changes or entries go away.
// Main thread only, like the list it mirrors.
class typeTextIndex
{
public:
    void add(const ftpObject& entry);
    void clear() { byExtension_.clear(); }

    // The reused text for a regular file of this name, if any.
    std::optional<std::string_view> find(std::string_view name) const;

private:
    struct Candidates {
        std::string firstName;
        std::string firstText;
        // The first text of the extension under another name than firstName.
        std::optional<std::string> otherNameText;
    };
    std::unordered_map<std::string, Candidates, textHash, std::equal_to<>> byExtension_;
};

// The type text of a regular file: reused from `listed` when given and it
// holds one, else the platform's description of the file type, else
// "Unknown Type". Safe on any thread when `listed` is null.
std::string fileTypeText(std::string_view name, const typeTextIndex* listed);
