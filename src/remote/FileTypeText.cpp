#include "remote/FileTypeText.h"

#include "remote/PlatformTypeText.h"

std::string_view extensionOf(std::string_view name)
{
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

void typeTextIndex::add(const ftpObject& entry)
{
    const std::string_view text = entry.typeText;
    if (text == typeTexts::unixLink || text == typeTexts::linkFile || text == typeTexts::folder)
        return;
    const auto extension = extensionOf(entry.name);
    auto known = byExtension_.find(extension);
    if (known == byExtension_.end()) {
        byExtension_.emplace(std::string(extension), Candidates { entry.name, entry.typeText, std::nullopt });
        return;
    }
    Candidates& candidates = known->second;
    if (!candidates.otherNameText && candidates.firstName != entry.name)
        candidates.otherNameText = entry.typeText;
}

std::optional<std::string_view> typeTextIndex::find(std::string_view name) const
{
    const auto known = byExtension_.find(extensionOf(name));
    if (known == byExtension_.end())
        return std::nullopt;
    const Candidates& candidates = known->second;
    if (candidates.firstName != name)
        return candidates.firstText;
    if (candidates.otherNameText)
        return *candidates.otherNameText;
    return std::nullopt;
}

std::string fileTypeText(std::string_view name, const typeTextIndex* listed)
{
    if (listed) {
        if (const auto reused = listed->find(name))
            return std::string(*reused);
    }
    return platformTypeText(name);
}
