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
//
// A damaged or hostile file may not take unbounded memory: the file is read
// line by line, and one that breaks a limit below, holds a NUL byte (no file
// this program writes does), is no regular file or cannot be read is not
// read at all. `readProblem()` then says why, the object holds nothing, and
// `update()` refuses to replace the file, so what the user may still want
// back is never overwritten.
class IniFile
{
public:
    // Far above what any store of this program holds.
    static constexpr std::size_t maxLineLength = 64 * 1024;
    static constexpr std::size_t maxSections = 50'000;
    static constexpr std::size_t maxKeys = 400'000;
    static constexpr std::int64_t maxFileSize = std::int64_t(16) << 20;

    // Reads `path` when it exists; a missing file is empty.
    // `mode` is given to the file whenever it is written; the default suits
    // files that hold passwords (the settings hold proxy passwords).
    explicit IniFile(QString path, unsigned mode = 0600);
    // The file's text as already read; `update()` writes to `path`.
    static IniFile fromText(QString path, std::string_view text, unsigned mode = 0600);

    const QString& path() const { return path_; }
    // Why the file could not be read ("" when it was read or did not exist).
    const QString& readProblem() const { return readProblem_; }

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
    // Writes the file atomically with its mode. False (with `error`) on
    // failure, when the file could not be read, and when what it would write
    // is beyond the limits above (nothing is written then).
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

    // Where a read stands between lines.
    struct ReadState {
        static constexpr std::size_t noSection = std::size_t(-1);
        std::size_t section = noSection; // index in sections_
        std::size_t keys = 0;
    };
    void read();
    void parse(std::string_view text);
    // False (with readProblem_) when the line shows a file this reader does not take.
    bool takeLine(std::string_view line, ReadState& state);
    void reject(QString problem);
    const Section* findSection(std::string_view name) const;
    // The section's index in sections_, added when missing.
    std::size_t sectionPosition(std::string_view name);
    Section& sectionFor(std::string_view name);

    QString path_;
    unsigned mode_;
    std::vector<Section> sections_;
    NameIndex sectionIndex_;
    QString readProblem_;
};
