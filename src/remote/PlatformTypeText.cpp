#include "remote/PlatformTypeText.h"

#include "remote/FileTypeText.h"
#include "remote/MimeGlobs.h"

#include <QMimeDatabase>

#include <unordered_map>

namespace
{

std::string askDatabase(std::string_view name)
{
    const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(
        QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())), QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault() || type.comment().isEmpty())
        return std::string(typeTexts::unknown);
    return type.comment().toStdString();
}

// Texts already found, each under the key of all names the database must
// answer alike. One per thread, so no thread waits for another; bounded,
// since the names come from servers.
class rememberedTexts
{
public:
    const std::string* find(std::string_view key) const
    {
        const auto known = texts_.find(key);
        return known == texts_.end() ? nullptr : &known->second;
    }

    void remember(std::string_view key, const std::string& text)
    {
        if (key.size() > longestKey)
            return;
        if (texts_.size() >= capacity)
            texts_.clear();
        texts_.emplace(std::string(key), text);
    }

private:
    static constexpr std::size_t capacity = 4096;
    static constexpr std::size_t longestKey = 96;
    std::unordered_map<std::string, std::string, textHash, std::equal_to<>> texts_;
};

} // namespace

std::string platformTypeText(std::string_view name)
{
    static const mimeGlobTable globs;
    thread_local rememberedTexts remembered;
    // The database drops a folder part; names from listings have none.
    if (name.find('/') != std::string_view::npos)
        return askDatabase(name);
    const auto endSeen = globs.endSeenBy(name);
    if (!endSeen)
        return askDatabase(name);
    // Names alike in their extension and in the end that "*literal" patterns
    // ("*.tar.gz", "*~") see get the same answer.
    const std::string_view extension = extensionOf(name);
    std::string key;
    if (*endSeen > 0) {
        key.reserve(extension.size() + 1 + *endSeen);
        key.append(extension).append(1, '\0').append(name.substr(name.size() - *endSeen));
    }
    const std::string_view lookup = *endSeen > 0 ? std::string_view(key) : extension;
    if (const std::string* text = remembered.find(lookup))
        return *text;
    // With no pattern that could match, the database would try every one of
    // its complex patterns, slowly, only to give the default type.
    std::string text = (*endSeen == 0 && !globs.hasExtensionPattern(extension))
        ? std::string(typeTexts::unknown)
        : askDatabase(name);
    remembered.remember(lookup, text);
    return text;
}
