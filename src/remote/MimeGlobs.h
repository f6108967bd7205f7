#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The file-name patterns of the MIME database, sorted by what part of a name
// they look at, so that a caller can tell which names the database must
// answer alike. Patterns are compared generously (ignoring ASCII case,
// whatever a pattern's own case rule): a pattern that might match is treated
// as matching. Read-only after construction, so any thread may use it.
class mimeGlobTable
{
public:
    // The patterns of the system's MIME database.
    mimeGlobTable();
    explicit mimeGlobTable(const QStringList& patterns);

    // False when a pattern holds what this table cannot judge (non-ASCII
    // text, escapes); then every name must go to the database.
    bool usable() const { return readable_; }

    // How many bytes at the end of the name the patterns other than "*.ext"
    // can see: 0 when none of them matches, the length of the longest
    // matching "*literal" pattern otherwise, and nothing when a pattern of
    // another form (a whole name, "README*", "*.so.[0-9]*", ...) might
    // match, or the name cannot be judged.
    std::optional<std::size_t> endSeenBy(std::string_view name) const;

    // Whether a "*.ext" pattern names this extension (".txt"), in any case.
    bool hasExtensionPattern(std::string_view extension) const;

private:
    // A pattern of neither simple form, with what makes trying it quick.
    struct otherGlob {
        std::string pattern;
        std::optional<std::size_t> tailBytes; // "*.[1-9]": only the last 2 bytes matter
        std::string required; // "*.so.[0-9]*": ".so."
        bool mayMatch(std::string_view name) const;
    };

    void add(const QString& pattern);

    QSet<QString> extensions_; // ".txt", lower case
    std::array<std::vector<std::string>, 256> endings_; // "*.tar.gz" as ".tar.gz", by last byte
    std::array<std::vector<otherGlob>, 256> othersEndingIn_; // by last byte, lower case
    std::vector<otherGlob> othersEndingInWildcard_;
    bool readable_ = true;
};
