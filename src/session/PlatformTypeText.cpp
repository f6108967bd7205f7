#include "session/PlatformTypeText.h"

#include "session/FileTypeText.h"

#include <QMimeDatabase>

#include <array>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameLetter(char a, char b)
{
    return asciiLower(a) == asciiLower(b);
}

// Bytes of the UTF-8 character that starts at `at` (1 for stray bytes).
std::size_t characterLength(std::string_view text, std::size_t at)
{
    std::size_t end = at + 1;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        ++end;
    return end - at;
}

// Whether a bracket expression's set admits the character. A negated set
// admits anything: the test only has to be generous.
bool setAdmits(std::string_view set, std::string_view character)
{
    if (set.front() == '!' || set.front() == '^')
        return true;
    if (character.size() != 1)
        return false;
    const char c = asciiLower(character.front());
    for (std::size_t i = 0; i < set.size(); ++i) {
        if (i + 2 < set.size() && set[i + 1] == '-') {
            if (c >= asciiLower(set[i]) && c <= asciiLower(set[i + 2]))
                return true;
            i += 2;
        } else if (c == asciiLower(set[i])) {
            return true;
        }
    }
    return false;
}

// Matches one element of the pattern other than "*" ("?", "[...]" or a
// letter) at `p` against the character at `n`, moving both past it.
bool stepMatches(std::string_view pattern, std::size_t& p, std::string_view name, std::size_t& n)
{
    const std::size_t length = characterLength(name, n);
    if (pattern[p] == '?') {
        ++p;
        n += length;
        return true;
    }
    if (pattern[p] == '[') {
        const auto close = pattern.find(']', p + 2);
        if (close != std::string_view::npos) {
            if (!setAdmits(pattern.substr(p + 1, close - p - 1), name.substr(n, length)))
                return false;
            p = close + 1;
            n += length;
            return true;
        }
    }
    if (!sameLetter(pattern[p], name[n]))
        return false;
    ++p;
    ++n;
    return true;
}

// Shell-style matching ("*", "?", "[...]") that ignores ASCII case, so it
// says yes whenever the database would, whatever the pattern's case rule.
bool globMatches(std::string_view pattern, std::string_view name)
{
    std::size_t p = 0, n = 0;
    std::size_t starPattern = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = ++p;
            starName = n;
            continue;
        }
        if (p < pattern.size() && stepMatches(pattern, p, name, n))
            continue;
        if (starPattern == std::string_view::npos)
            return false;
        p = starPattern;
        starName += characterLength(name, starName);
        n = starName;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool isExtensionPattern(std::string_view pattern)
{
    return pattern.size() > 2 && pattern.starts_with("*.") && pattern.find_first_of("*?[.\\", 2) == std::string_view::npos;
}

// Characters whose lower case is an ASCII letter (KELVIN SIGN, LATIN CAPITAL
// LETTER I WITH DOT ABOVE): the database folds case before it compares, so a
// name holding them could match a pattern in ways the byte test above misses.
bool foldsIntoAscii(std::string_view name)
{
    return name.find("\xE2\x84\xAA") != std::string_view::npos || name.find("\xC4\xB0") != std::string_view::npos;
}

// The database's patterns that look at more than a name's last extension,
// sorted by their last character so a name is tried against a few of them.
class otherPatterns
{
public:
    otherPatterns()
    {
        const QMimeDatabase database;
        for (const QMimeType& type : database.allMimeTypes()) {
            for (const QString& glob : type.globPatterns()) {
                const std::string pattern = glob.toStdString();
                if (isExtensionPattern(pattern))
                    continue;
                if (!readable(pattern))
                    readable_ = false;
                const char last = pattern.back();
                if (last == '*' || last == '?' || last == ']')
                    anyEnding_.push_back(pattern);
                else
                    endingIn_[static_cast<unsigned char>(asciiLower(last))].push_back(pattern);
            }
        }
    }

    // False when the database holds a pattern this test cannot judge; then
    // no name may be answered from the extension.
    bool usable() const { return readable_; }

    bool mayMatch(std::string_view name) const
    {
        if (name.empty() || foldsIntoAscii(name))
            return true;
        const auto last = static_cast<unsigned char>(asciiLower(name.back()));
        for (const auto* group : { &endingIn_[last], &anyEnding_ }) {
            for (const std::string& pattern : *group) {
                if (globMatches(pattern, name))
                    return true;
            }
        }
        return false;
    }

private:
    static bool readable(std::string_view pattern)
    {
        for (const char c : pattern) {
            if (static_cast<unsigned char>(c) >= 0x80 || c == '\\')
                return false;
        }
        return true;
    }

    std::array<std::vector<std::string>, 256> endingIn_;
    std::vector<std::string> anyEnding_;
    bool readable_ = true;
};

std::string askDatabase(std::string_view name)
{
    const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())),
                                                    QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault() || type.comment().isEmpty())
        return std::string(typeTexts::unknown);
    return type.comment().toStdString();
}

// Texts by extension, shared by all threads; bounded, since the extensions
// come from servers.
class textsByExtension
{
public:
    std::optional<std::string> find(std::string_view extension)
    {
        const std::lock_guard lock(mutex_);
        const auto known = texts_.find(extension);
        if (known == texts_.end())
            return std::nullopt;
        return known->second;
    }

    void remember(std::string_view extension, const std::string& text)
    {
        if (extension.size() > longestExtension)
            return;
        const std::lock_guard lock(mutex_);
        if (texts_.size() >= capacity)
            texts_.clear();
        texts_.emplace(std::string(extension), text);
    }

private:
    static constexpr std::size_t capacity = 4096;
    static constexpr std::size_t longestExtension = 64;
    std::mutex mutex_;
    std::unordered_map<std::string, std::string, textHash, std::equal_to<>> texts_;
};

} // namespace

std::string platformTypeText(std::string_view name)
{
    static const otherPatterns patterns;
    static textsByExtension remembered;
    if (!patterns.usable() || patterns.mayMatch(name))
        return askDatabase(name);
    const auto extension = extensionOf(name);
    if (auto text = remembered.find(extension))
        return std::move(*text);
    std::string text = askDatabase(name);
    remembered.remember(extension, text);
    return text;
}
