#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// A whole ini file held in memory: read at open, written back whole by
// `update()`. Sections and keys keep the order and spelling they were first
// seen with and are looked up without regard to case. Values are bytes.
//
// A value that could not stand on one line as it is (CR, LF or NUL inside,
// blanks at either end, or a leading double quote) is written in double
// quotes with backslash escapes; every other value is written verbatim, so
// ordinary files stay as a person would write them.
class IniFile
{
public:
    // Reads `path` when it exists; a missing or unreadable file is empty.
    // `mode` is given to the file whenever it is written; the default suits
    // files that hold passwords (the settings hold proxy passwords).
    explicit IniFile(QString path, unsigned mode = 0600);
    // The file's text as already read; `update()` writes to `path`.
    static IniFile fromText(QString path, std::string_view text, unsigned mode = 0600);

    const QString& path() const { return path_; }

    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    std::string readString(
        std::string_view section, std::string_view key, std::string_view defaultText) const;
    // A missing key gives `defaultValue`; a present value that is not a
    // signed 32-bit decimal number gives `fallback`.
    std::int32_t readInteger(std::string_view section, std::string_view key, std::int32_t defaultValue,
        std::int32_t fallback) const;
    std::int32_t readInteger(std::string_view section, std::string_view key, std::int32_t defaultValue) const
    {
        return readInteger(section, key, defaultValue, defaultValue);
    }
    // Booleans are integers; any non-zero value is true.
    bool readBool(std::string_view section, std::string_view key, bool defaultValue) const;

    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInteger(std::string_view section, std::string_view key, std::int64_t value);
    void writeBool(std::string_view section, std::string_view key, bool value);

    bool hasSection(std::string_view section) const;
    std::size_t sectionCount() const { return sections_.size(); }
    // How many keys the section holds (0 when there is no such section).
    std::size_t keyCount(std::string_view section) const;
    void eraseSection(std::string_view section);

    // The whole file as it would be written.
    std::string text() const;
    // Writes the file atomically with its mode. False (with `error`) on failure.
    bool update(QString* error = nullptr) const;

    static std::optional<std::int32_t> parseInteger(std::string_view text);

private:
    struct Entry {
        std::string key;
        std::string value;
    };
    // Positions in the vectors by folded name, so that the files keep their
    // order while lookups stay constant-time.
    using NameIndex = std::unordered_map<std::string, std::size_t>;
    struct Section {
        std::string name;
        std::vector<Entry> entries;
        NameIndex keyIndex;

        Entry* find(std::string_view key);
        const Entry* find(std::string_view key) const;
        // False when the key was already there (its first value stays).
        bool add(std::string_view key, std::string value);
    };

    struct Unread {
    };
    IniFile(QString path, unsigned mode, Unread);

    void parse(std::string_view text);
    const Section* findSection(std::string_view name) const;
    Section& sectionFor(std::string_view name);

    QString path_;
    unsigned mode_;
    std::vector<Section> sections_;
    NameIndex sectionIndex_;
};
