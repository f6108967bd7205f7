#include "session/ListingParser.h"

#include "session/FileTypeText.h"

#include <array>
#include <charconv>

namespace
{

constexpr std::array<std::string_view, 12> monthNames
    = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };

bool endsLine(char c)
{
    return c == '\0' || c == '\r' || c == '\n';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool allDigits(std::string_view text)
{
    for (const char c : text) {
        if (!isDigit(c))
            return false;
    }
    return !text.empty();
}

bool isMonthName(std::string_view word)
{
    for (const auto month : monthNames) {
        if (word == month)
            return true;
    }
    return false;
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

    // The rest of the line after the one space that ends the last field:
    // further spaces belong to the name, which may begin with spaces.
    std::string_view restAfterOneSpace() const
    {
        return at_ + 1 < line_.size() ? line_.substr(at_ + 1) : std::string_view();
    }

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
    std::string_view size;
    std::string_view name;
    std::string dateText;
};

// Pipes, sockets and block devices in "ls -l" form. Like character devices
// they name nothing that can be transferred; read as DOS lines they would
// turn into entries with a wrong name.
bool isSpecialFileLine(std::string_view line)
{
    if (line.size() < 10 || (line[0] != 'b' && line[0] != 'p' && line[0] != 's'))
        return false;
    return line.substr(1, 9).find_first_not_of("-rwxsStTlL") == std::string_view::npos;
}

bool isUnixLine(std::string_view line)
{
    const char first = line.front();
    return first == '-' || first == 'd' || first == 'l' || first == 'c';
}

void appendDatePart(std::string& date, std::string_view part)
{
    if (!date.empty())
        date += ' ';
    date += part;
}

lineColumns readUnixColumns(std::string_view line)
{
    lineColumns columns;
    fieldReader fields(line);
    columns.rights = fields.next();
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
    columns.size = fields.next();
    std::string_view month = fields.next();
    // Without a group column the fifth field is already the month.
    if (!isMonthName(month)) {
        columns.size = month;
        month = fields.next();
    }
    const std::string_view day = fields.next();
    const std::string_view timeOrYear = fields.next();
    columns.dateText.reserve(month.size() + day.size() + timeOrYear.size() + 2);
    appendDatePart(columns.dateText, month);
    appendDatePart(columns.dateText, day);
    appendDatePart(columns.dateText, timeOrYear);
    columns.name = fields.restAfterOneSpace();
    return columns;
}

// "MM-DD-YY" (or "MM-DD-YYYY") as "Mon DD YYYY"; a two-digit year above 69,
// or one that is no number, is of the 1900s.
std::string dosDateText(std::string_view date)
{
    std::string text;
    const std::string_view month = date.substr(0, 2);
    if (allDigits(month)) {
        const int number = (month[0] - '0') * 10 + (month[1] - '0');
        if (number >= 1 && number <= 12) {
            text += monthNames[static_cast<std::size_t>(number - 1)];
            text += ' ';
        }
    }
    text += date.substr(std::min<std::size_t>(3, date.size()), 2);
    text += ' ';
    const std::string_view year = date.substr(std::min<std::size_t>(6, date.size()));
    if (year.size() == 4 && allDigits(year)) {
        text += year;
        return text;
    }
    const std::string_view shortYear = year.substr(0, 2);
    const bool ofThe1900s = !allDigits(shortYear) || shortYear.size() != 2 || shortYear > "69";
    text += ofThe1900s ? "19" : "20";
    text += shortYear;
    return text;
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

std::optional<lineColumns> readDosColumns(std::string_view line)
{
    lineColumns columns;
    fieldReader fields(line);
    const std::string_view date = fields.next();
    fields.next(); // time
    const std::size_t timeEnd = fields.position();
    const std::string_view sizeOrFolder = fields.next();
    if (sizeOrFolder.empty())
        return std::nullopt;
    columns.dateText = dosDateText(date);
    columns.rights = "???????";
    if (sizeOrFolder == "<DIR>") {
        columns.kind = lineKind::Folder;
        columns.size = "0";
    } else {
        columns.kind = lineKind::File;
        columns.size = sizeOrFolder;
    }
    columns.name = dosName(line, timeEnd, fields);
    return columns;
}

// A byte count; 0 when the text is no number of bytes a file can have.
std::int64_t sizeFrom(std::string_view text)
{
    std::int64_t size = 0;
    if (text.empty() || !isDigit(text.front()))
        return 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
    if (error != std::errc() || end != text.data() + text.size())
        return 0;
    return size;
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

} // namespace

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

std::optional<lineKind> parseListingLine(std::string_view line, const listingSource& source, ftpObject& entry)
{
    if (line.size() < 4 || line.starts_with("total") || line.front() == 'c' || isSpecialFileLine(line))
        return std::nullopt;
    auto columns = isUnixLine(line) ? std::optional(readUnixColumns(line)) : readDosColumns(line);
    if (!columns)
        return std::nullopt;

    std::string_view nameField = columns->name;
    if (columns->kind == lineKind::SymbolicLink)
        nameField = linkName(nameField);
    if (source.search) {
        splitPath(nameField, entry, source.directory);
    } else {
        entry.name.assign(nameField);
        entry.directory = source.directory;
    }
    // A name holding "/" is no entry of this folder, whatever the server says.
    if (entry.name.empty() || entry.name.find('/') != std::string::npos)
        return std::nullopt;
    if (columns->kind == lineKind::Folder && isDotFolder(entry.name))
        return std::nullopt;

    entry.site = source.site;
    entry.size = sizeFrom(columns->size);
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
            entry.typeText = fileTypeText(entry.name, source.listed);
        }
        break;
    }
    return columns->kind;
}
