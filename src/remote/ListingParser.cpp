#include "remote/ListingParser.h"

#include "remote/FileTypeText.h"
#include "remote/ListingDates.h"

#include <array>
#include <charconv>
#include <cstdint>

namespace
{

bool endsLine(char c)
{
    return c == '\0' || c == '\r' || c == '\n';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Fields of a line separated by runs of spaces (tabs are ordinary bytes).
class fieldReader
{
public:
    explicit fieldReader(std::string_view line)
        : line_(line)
    {
    }

    std::string_view next()
    {
        skipSpaces();
        const std::size_t start = at_;
        while (at_ < line_.size() && line_[at_] != ' ')
            ++at_;
        return line_.substr(start, at_ - start);
    }

    // The position just past the last field read.
    std::size_t position() const { return at_; }
    void rewindTo(std::size_t position) { at_ = position; }

    std::string_view restAfterSpaces()
    {
        skipSpaces();
        return line_.substr(at_);
    }

private:
    void skipSpaces()
    {
        while (at_ < line_.size() && line_[at_] == ' ')
            ++at_;
    }

    std::string_view line_;
    std::size_t at_ = 0;
};

// The columns of a line, before they become an entry.
struct lineColumns {
    lineKind kind = lineKind::File;
    std::string_view rights;
    std::int64_t size = 0;
    std::string_view name;
    std::string dateText;
};

// A byte count in digits. Nothing when the text is no such number: a size
// column that holds anything else means the columns are not where they
// seem. A number too large for any file counts as 0.
std::optional<std::int64_t> byteCount(std::string_view text)
{
    if (text.empty() || !isDigit(text.front()))
        return std::nullopt;
    std::int64_t value = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (stop != end)
        return std::nullopt;
    return error == std::errc() ? value : 0;
}

// A byte count that may be written in groups of three digits after a first
// group of one to three ("9,730", "4,294,967,296").
std::optional<std::int64_t> groupedByteCount(std::string_view text, char separator)
{
    if (text.find(separator) == std::string_view::npos)
        return byteCount(text);
    std::string digits;
    std::size_t groupStart = 0;
    for (std::size_t at = 0; at <= text.size(); ++at) {
        if (at < text.size() && text[at] != separator)
            continue;
        const std::string_view group = text.substr(groupStart, at - groupStart);
        const bool first = groupStart == 0;
        if ((first ? group.empty() || group.size() > 3 : group.size() != 3)
            || group.find_first_not_of("0123456789") != std::string_view::npos)
            return std::nullopt;
        digits += group;
        groupStart = at + 1;
    }
    return byteCount(digits);
}

// The letters of the nine permission columns, as a table: every line asks.
constexpr auto modeLetters = [] {
    std::array<bool, 256> letters {};
    for (const char c : std::string_view("-rwxsStTlL"))
        letters[static_cast<unsigned char>(c)] = true;
    return letters;
}();

// "drwxr-xr-x", "-rw-r--r--+" (an ACL), "-rw-r--r--@" (extended attributes).
// Other systems' lines may start with the same letters ("d [RWCEAFMS]").
bool isModeField(std::string_view field)
{
    if (field.size() == 11 && (field.back() == '+' || field.back() == '@' || field.back() == '.'))
        field.remove_suffix(1);
    if (field.size() != 10)
        return false;
    // Without a branch per letter: nearly every line passes.
    bool allLetters = true;
    for (std::size_t i = 1; i < 10; ++i)
        allLetters &= modeLetters[static_cast<unsigned char>(field[i])];
    return allLetters;
}

// Character and block devices, pipes and sockets in "ls -l" form: they name
// nothing that can be transferred.
bool isSpecialFileLine(std::string_view line)
{
    const char first = line.front();
    return (first == 'c' || first == 'b' || first == 'p' || first == 's')
        && isModeField(line.substr(0, line.find(' ')));
}

bool isUnixLine(std::string_view line)
{
    const char first = line.front();
    return first == '-' || first == 'd' || first == 'l';
}

// The name that follows the column ending at `end` after the given number
// of spaces; further spaces belong to the name.
std::string_view nameAfter(std::string_view line, std::size_t end, std::size_t spaces)
{
    const std::size_t start = end + spaces;
    if (start >= line.size() || line.substr(end, spaces).find_first_not_of(' ') != std::string_view::npos)
        return {};
    return line.substr(start);
}

std::optional<lineColumns> readUnixColumns(std::string_view line)
{
    lineColumns columns;
    fieldReader fields(line);
    columns.rights = fields.next();
    if (!isModeField(columns.rights))
        return std::nullopt;
    switch (columns.rights.front()) {
    case 'd':
        columns.kind = lineKind::Folder;
        break;
    case 'l':
        columns.kind = lineKind::SymbolicLink;
        break;
    default:
        columns.kind = lineKind::File;
    }
    fields.next(); // link count
    fields.next(); // owner
    const std::string_view fourth = fields.next();
    // The fifth field is the size unless the group column is missing; then
    // the fourth is the size and the date starts at the fifth.
    const std::size_t beforeFifth = fields.position();
    auto size = byteCount(fields.next());
    if (!size) {
        fields.rewindTo(beforeFifth);
        size = byteCount(fourth);
    }
    if (!size)
        return std::nullopt;
    columns.size = *size;

    std::array<std::string_view, 3> words;
    std::array<std::size_t, 3> ends {};
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = fields.next();
        ends[i] = fields.position();
    }
    const auto date = unixDateShapeOf(words[0], words[1], words[2]);
    if (date.words == 0)
        return std::nullopt;
    for (std::size_t i = 0; i < date.words; ++i) {
        if (i != 0)
            columns.dateText += ' ';
        columns.dateText += words[i];
    }
    columns.name = nameAfter(line, ends[date.words - 1], date.spacesBeforeName);
    return columns;
}

// Windows servers write the size right-aligned, or "<DIR>", in a column of
// 20 after a space, then one space and the name. When the line keeps to that
// column the name starts right after it, leading spaces included; otherwise
// only the spaces after the size field can separate it from the name.
std::string_view dosName(std::string_view line, std::size_t timeEnd, fieldReader& fields)
{
    constexpr std::size_t columnWidth = 20;
    const std::size_t nameStart = timeEnd + columnWidth + 2;
    const std::size_t sizeEnd = fields.position();
    if (line.size() > nameStart && sizeEnd <= nameStart - 1
        && line.substr(sizeEnd, nameStart - sizeEnd).find_first_not_of(' ') == std::string_view::npos)
        return line.substr(nameStart);
    return fields.restAfterSpaces();
}

// Only lines that start with a date and a time are DOS lines: the lines of
// other systems (VMS, MVS, OS/2, AS/400) also have a few columns, but would
// yield names that the server does not have.
std::optional<lineColumns> readDosColumns(std::string_view line)
{
    lineColumns columns;
    fieldReader fields(line);
    auto dateText = dosDateText(fields.next());
    if (!dateText || !isDosTime(fields.next()))
        return std::nullopt;
    const std::size_t timeEnd = fields.position();
    const std::string_view sizeOrFolder = fields.next();
    if (sizeOrFolder == "<DIR>") {
        columns.kind = lineKind::Folder;
    } else if (const auto size = groupedByteCount(sizeOrFolder, ',')) {
        columns.kind = lineKind::File;
        columns.size = *size;
    } else {
        return std::nullopt;
    }
    columns.dateText = std::move(*dateText);
    columns.rights = "???????";
    columns.name = dosName(line, timeEnd, fields);
    return columns;
}

// "name -> target" without the target. The last arrow is taken, so a name
// may hold an arrow when its target holds none.
std::string_view linkName(std::string_view field)
{
    const auto arrow = field.rfind(" -> ");
    return arrow == std::string_view::npos ? field : field.substr(0, arrow);
}

// A search result's name column holds the entry's full path.
void splitPath(std::string_view path, ftpObject& entry, std::string_view listedDirectory)
{
    if (path.ends_with('/'))
        path.remove_suffix(1);
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos) {
        entry.name.assign(path);
        entry.directory.assign(listedDirectory);
        return;
    }
    entry.name.assign(path.substr(slash + 1));
    entry.directory.assign(path.substr(0, slash + 1));
}

bool isDotFolder(std::string_view name)
{
    return name == "." || name == "..";
}

// What one line gave: an entry of its kind, nothing because it names no
// entry ("total", ".", devices), or nothing because it is of no form read
// here.
struct lineOutcome {
    std::optional<lineKind> kind;
    bool understood = true;
};

constexpr lineOutcome notUnderstood { std::nullopt, false };
constexpr lineOutcome noEntry { std::nullopt, true };

lineOutcome parseLine(std::string_view line, const listingSource& source, ftpObject& entry)
{
    if (line.size() < 4)
        return notUnderstood;
    if (line.starts_with("total") || isSpecialFileLine(line))
        return noEntry;
    auto columns = isUnixLine(line) ? readUnixColumns(line) : readDosColumns(line);
    if (!columns)
        return notUnderstood;

    std::string_view nameField = columns->name;
    if (columns->kind == lineKind::SymbolicLink)
        nameField = linkName(nameField);
    if (source.search) {
        splitPath(nameField, entry, source.directory);
    } else {
        entry.name.assign(nameField);
        entry.directory = source.directory;
    }
    if (entry.name.empty())
        return notUnderstood;
    // A name holding "/" is no entry of this folder, whatever the server says.
    if (entry.name.find('/') != std::string::npos
        || (columns->kind == lineKind::Folder && isDotFolder(entry.name)))
        return noEntry;

    entry.site = source.site;
    entry.size = columns->size;
    entry.dateText = std::move(columns->dateText);
    entry.rights.assign(columns->rights);
    switch (columns->kind) {
    case lineKind::Folder:
        entry.kind = ftpObject::Folder;
        entry.typeText = typeTexts::folder;
        break;
    case lineKind::SymbolicLink:
        entry.kind = ftpObject::UnixLink;
        entry.typeText = typeTexts::unixLink;
        break;
    case lineKind::File:
        if (extensionOf(entry.name) == ".wkt") {
            entry.kind = ftpObject::LinkFile;
            entry.typeText = typeTexts::linkFile;
        } else {
            entry.kind = ftpObject::RegularFile;
            if (source.fileTypeTexts)
                entry.typeText = fileTypeText(entry.name, source.listed);
        }
        break;
    }
    return { columns->kind, true };
}

} // namespace

std::optional<lineKind> parseListingLine(std::string_view line, const listingSource& source, ftpObject& entry)
{
    return parseLine(line, source, entry).kind;
}

std::optional<lineKind> parseListingLine(
    std::string_view line, const listingSource& source, ftpObject& entry, listingTally& tally)
{
    const auto outcome = parseLine(line, source, entry);
    ++tally.lines;
    if (outcome.kind)
        ++tally.entries;
    else if (!outcome.understood)
        ++tally.unreadLines;
    return outcome.kind;
}

std::string_view readListingLine(std::string_view listing, std::size_t& position)
{
    if (position >= listing.size()) {
        position = listing.size();
        return {};
    }
    std::size_t end = position;
    while (end < listing.size() && !endsLine(listing[end]))
        ++end;
    const std::string_view line = listing.substr(position, end - position);
    if (end < listing.size()) {
        ++end;
        if (end < listing.size() && (listing[end] == '\r' || listing[end] == '\n'))
            ++end;
    }
    position = end;
    return line;
}
