#include "remote/MimeGlobs.h"

#include <QMimeDatabase>

namespace
{

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

// Characters whose lower case is an ASCII letter (KELVIN SIGN, LATIN CAPITAL
// LETTER I WITH DOT ABOVE): the database folds case before it compares, so a
// name holding them could match a pattern in ways the byte test above misses.
bool foldsIntoAscii(std::string_view name)
{
    return name.find("\xE2\x84\xAA") != std::string_view::npos
        || name.find("\xC4\xB0") != std::string_view::npos;
}

enum class patternForm { Extension, Ending, Other };

patternForm formOf(std::string_view pattern)
{
    if (pattern.size() < 2 || pattern.front() != '*'
        || pattern.find_first_of("*?[\\", 1) != std::string_view::npos)
        return patternForm::Other;
    return pattern[1] == '.' && pattern.find('.', 2) == std::string_view::npos && pattern.size() > 2
        ? patternForm::Extension
        : patternForm::Ending;
}

bool readable(std::string_view pattern)
{
    for (const char c : pattern) {
        if (static_cast<unsigned char>(c) >= 0x80 || c == '\\')
            return false;
    }
    return true;
}

bool endsWithIgnoringCase(std::string_view name, std::string_view ending)
{
    if (ending.size() > name.size())
        return false;
    const auto tail = name.substr(name.size() - ending.size());
    for (std::size_t i = 0; i < ending.size(); ++i) {
        if (!sameLetter(tail[i], ending[i]))
            return false;
    }
    return true;
}

// Bytes that the part of a "*tail" pattern after its star always matches,
// when that is fixed (no "?", which may match a longer character, no second
// star); then only the end of a name needs trying.
std::optional<std::size_t> fixedTailBytes(std::string_view pattern)
{
    if (pattern.front() != '*' || pattern.find_first_of("*?", 1) != std::string_view::npos)
        return std::nullopt;
    std::size_t bytes = 0;
    for (std::size_t at = 1; at < pattern.size(); ++at, ++bytes) {
        if (pattern[at] != '[')
            continue;
        const auto close = pattern.find(']', at + 2);
        if (close == std::string_view::npos)
            continue;
        if (pattern[at + 1] == '!' || pattern[at + 1] == '^')
            return std::nullopt;
        at = close;
    }
    return bytes;
}

// The longest run of plain characters of the pattern, in lower case: a name
// without it cannot match.
std::string requiredText(std::string_view pattern)
{
    std::string longest, run;
    bool inBracket = false;
    for (const char c : pattern) {
        if (inBracket || c == '*' || c == '?' || c == '[') {
            inBracket = (inBracket && c != ']') || c == '[';
            run.clear();
            continue;
        }
        run += asciiLower(c);
        if (run.size() > longest.size())
            longest = run;
    }
    return longest;
}

bool containsIgnoringCase(std::string_view name, std::string_view text)
{
    if (text.size() > name.size())
        return false;
    for (std::size_t start = 0; start + text.size() <= name.size(); ++start) {
        std::size_t i = 0;
        while (i < text.size() && asciiLower(name[start + i]) == text[i])
            ++i;
        if (i == text.size())
            return true;
    }
    return false;
}

unsigned char lastByte(std::string_view text)
{
    return static_cast<unsigned char>(asciiLower(text.back()));
}

QStringList databasePatterns()
{
    QStringList patterns;
    const QMimeDatabase database;
    for (const QMimeType& type : database.allMimeTypes())
        patterns += type.globPatterns();
    return patterns;
}

} // namespace

mimeGlobTable::mimeGlobTable()
    : mimeGlobTable(databasePatterns())
{
}

mimeGlobTable::mimeGlobTable(const QStringList& patterns)
{
    for (const QString& pattern : patterns)
        add(pattern);
}

void mimeGlobTable::add(const QString& glob)
{
    const std::string pattern = glob.toStdString();
    if (pattern.empty())
        return;
    const patternForm form = formOf(pattern);
    if (form == patternForm::Extension) {
        // Compared in lower case, as the database compares it.
        extensions_.insert(glob.mid(1).toLower());
        return;
    }
    if (!readable(pattern))
        readable_ = false;
    if (form == patternForm::Ending) {
        endings_[lastByte(pattern)].push_back(pattern.substr(1));
        return;
    }
    otherGlob other { pattern, fixedTailBytes(pattern), requiredText(pattern) };
    const char last = pattern.back();
    if (last == '*' || last == '?' || last == ']')
        othersEndingInWildcard_.push_back(std::move(other));
    else
        othersEndingIn_[lastByte(pattern)].push_back(std::move(other));
}

std::optional<std::size_t> mimeGlobTable::endSeenBy(std::string_view name) const
{
    if (!readable_ || name.empty() || foldsIntoAscii(name))
        return std::nullopt;
    const unsigned char last = lastByte(name);
    for (const auto* group : { &othersEndingIn_[last], &othersEndingInWildcard_ }) {
        for (const otherGlob& other : *group) {
            if (other.mayMatch(name))
                return std::nullopt;
        }
    }
    std::size_t seen = 0;
    for (const std::string& ending : endings_[last]) {
        if (ending.size() > seen && endsWithIgnoringCase(name, ending))
            seen = ending.size();
    }
    return seen;
}

bool mimeGlobTable::otherGlob::mayMatch(std::string_view name) const
{
    if (tailBytes) {
        return name.size() >= *tailBytes
            && globMatches(std::string_view(pattern).substr(1), name.substr(name.size() - *tailBytes));
    }
    return containsIgnoringCase(name, required) && globMatches(pattern, name);
}

bool mimeGlobTable::hasExtensionPattern(std::string_view extension) const
{
    return !extension.empty()
        && extensions_.contains(
            QString::fromUtf8(extension.data(), static_cast<qsizetype>(extension.size())).toLower());
}
