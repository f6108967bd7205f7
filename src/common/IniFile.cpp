#include "common/IniFile.h"

#include "common/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <charconv>

namespace
{
// ASCII only: the locale a GUI program runs in must not change which keys
// are the same.
std::string folded(std::string_view name)
{
    std::string out(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (isBlank(s.front()) || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (isBlank(s.back()) || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool needsQuoting(std::string_view value)
{
    if (value.empty())
        return false;
    if (isBlank(value.front()) || isBlank(value.back()) || value.front() == '"')
        return true;
    return value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::string quotedValue(std::string_view value)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (char c : value) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\0':
            out += "\\0";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += "\\x";
                out += hex[(c >> 4) & 0xF];
                out += hex[c & 0xF];
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QString tooLargeText()
{
    return QStringLiteral("it is larger than %1 bytes").arg(IniFile::maxFileSize);
}

QString lineTooLongText()
{
    return QStringLiteral("a line is longer than %1 bytes").arg(IniFile::maxLineLength);
}

// The inverse of quotedValue(); anything it cannot read is kept as it stands.
std::string unquotedValue(std::string_view text)
{
    if (text.size() < 2 || text.front() != '"' || text.back() != '"')
        return std::string(text);
    const std::string_view body = text.substr(1, text.size() - 2);
    std::string out;
    for (size_t i = 0; i < body.size(); ++i) {
        if (body[i] != '\\' || i + 1 == body.size()) {
            out += body[i];
            continue;
        }
        const char e = body[++i];
        switch (e) {
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        case '0':
            out += '\0';
            break;
        case 'x':
            if (i + 2 < body.size() && hexDigit(body[i + 1]) >= 0 && hexDigit(body[i + 2]) >= 0) {
                out += static_cast<char>(hexDigit(body[i + 1]) * 16 + hexDigit(body[i + 2]));
                i += 2;
            } else {
                out += "\\x";
            }
            break;
        default:
            out += e;
        }
    }
    return out;
}
} // namespace

IniFile::IniFile(QString path, unsigned mode)
    : IniFile(std::move(path), mode, Unread {})
{
    read();
}

IniFile::IniFile(QString path, unsigned mode, Unread)
    : path_(std::move(path))
    , mode_(mode)
{
}

IniFile IniFile::fromText(QString path, std::string_view text, unsigned mode)
{
    IniFile ini(std::move(path), mode, Unread {});
    ini.parse(text);
    return ini;
}

void IniFile::read()
{
    const QFileInfo info(path_);
    if (!info.exists())
        return;
    // A folder, a device or a pipe in its place would block or never end.
    if (!info.isFile())
        return reject(QStringLiteral("it is not a regular file"));
    if (info.size() > maxFileSize)
        return reject(tooLargeText());
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        return reject(QStringLiteral("it cannot be opened: %1").arg(file.errorString()));
    ReadState state;
    std::int64_t total = 0;
    while (!file.atEnd()) {
        // Room for the longest line, its CR LF and one byte more (readLine
        // keeps one for a terminator), so that a longer line is seen as such.
        const QByteArray line = file.readLine(static_cast<qint64>(maxLineLength) + 3);
        if (line.isEmpty() && file.error() != QFileDevice::NoError)
            return reject(QStringLiteral("it cannot be read: %1").arg(file.errorString()));
        total += line.size();
        if (total > maxFileSize)
            return reject(tooLargeText());
        if (!line.endsWith('\n') && !file.atEnd())
            return reject(lineTooLongText());
        if (!takeLine(std::string_view(line.constData(), static_cast<size_t>(line.size())), state))
            return;
    }
}

void IniFile::parse(std::string_view text)
{
    if (text.size() > static_cast<std::uint64_t>(maxFileSize))
        return reject(tooLargeText());
    ReadState state;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!takeLine(line, state))
            return;
    }
}

bool IniFile::takeLine(std::string_view rawLine, ReadState& state)
{
    std::string_view content = rawLine.substr(0, rawLine.find('\n'));
    if (content.ends_with('\r'))
        content.remove_suffix(1);
    if (content.size() > maxLineLength) {
        reject(lineTooLongText());
        return false;
    }
    const std::string_view line = trimmed(content);
    if (line.find('\0') != std::string_view::npos) {
        reject(QStringLiteral("it holds binary data (a NUL byte)"));
        return false;
    }
    if (line.empty() || line.front() == ';')
        return true;
    if (line.front() == '[' && line.back() == ']') {
        const std::string_view name = trimmed(line.substr(1, line.size() - 2));
        if (sections_.size() == maxSections && !findSection(name)) {
            reject(QStringLiteral("it holds more than %1 sections").arg(maxSections));
            return false;
        }
        state.section = sectionPosition(name);
        return true;
    }
    const size_t eq = line.find('=');
    if (state.section == ReadState::noSection || eq == std::string_view::npos)
        return true;
    const std::string_view key = trimmed(line.substr(0, eq));
    if (key.empty())
        return true;
    if (state.keys == maxKeys) {
        reject(QStringLiteral("it holds more than %1 keys").arg(maxKeys));
        return false;
    }
    if (sections_[state.section].add(key, unquotedValue(trimmed(line.substr(eq + 1)))))
        ++state.keys;
    return true;
}

void IniFile::reject(QString problem)
{
    sections_.clear();
    sectionIndex_.clear();
    readProblem_ = std::move(problem);
}

IniFile::Entry* IniFile::Section::find(std::string_view key)
{
    const auto it = keyIndex.find(folded(key));
    return it == keyIndex.end() ? nullptr : &entries[it->second];
}

const IniFile::Entry* IniFile::Section::find(std::string_view key) const
{
    return const_cast<Section*>(this)->find(key);
}

bool IniFile::Section::add(std::string_view key, std::string value)
{
    if (!keyIndex.try_emplace(folded(key), entries.size()).second)
        return false;
    entries.push_back({ std::string(key), std::move(value) });
    return true;
}

const IniFile::Section* IniFile::findSection(std::string_view name) const
{
    const auto it = sectionIndex_.find(folded(name));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

std::size_t IniFile::sectionPosition(std::string_view name)
{
    const auto [it, added] = sectionIndex_.try_emplace(folded(name), sections_.size());
    if (added)
        sections_.push_back({ std::string(name), {}, {} });
    return it->second;
}

IniFile::Section& IniFile::sectionFor(std::string_view name)
{
    return sections_[sectionPosition(name)];
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const
{
    const Section* s = findSection(section);
    const Entry* e = s ? s->find(key) : nullptr;
    return e ? std::optional<std::string>(e->value) : std::nullopt;
}

std::string IniFile::readString(
    std::string_view section, std::string_view key, std::string_view defaultText) const
{
    return value(section, key).value_or(std::string(defaultText));
}

std::optional<std::int32_t> IniFile::parseInteger(std::string_view text)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    std::int32_t result = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), result);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return result;
}

std::int32_t IniFile::readInteger(
    std::string_view section, std::string_view key, std::int32_t defaultValue, std::int32_t fallback) const
{
    const auto text = value(section, key);
    if (!text)
        return defaultValue;
    return parseInteger(*text).value_or(fallback);
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value)
{
    Section& s = sectionFor(section);
    if (Entry* e = s.find(key))
        e->value = value;
    else
        s.add(key, std::string(value));
}

void IniFile::writeInteger(std::string_view section, std::string_view key, std::int64_t value)
{
    writeString(section, key, std::to_string(value));
}

void IniFile::writeBool(std::string_view section, std::string_view key, bool value)
{
    writeString(section, key, value ? "1" : "0");
}

bool IniFile::hasSection(std::string_view section) const
{
    return findSection(section) != nullptr;
}

std::size_t IniFile::keyCount(std::string_view section) const
{
    const Section* s = findSection(section);
    return s ? s->entries.size() : 0;
}

void IniFile::eraseSection(std::string_view section)
{
    const auto it = sectionIndex_.find(folded(section));
    if (it == sectionIndex_.end())
        return;
    const std::size_t erased = it->second;
    sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(erased));
    sectionIndex_.erase(it);
    for (auto& [name, position] : sectionIndex_)
        if (position > erased)
            --position;
}

std::string IniFile::text() const
{
    std::string out;
    for (const Section& s : sections_) {
        if (!out.empty())
            out += '\n';
        out += '[' + s.name + "]\n";
        for (const Entry& e : s.entries) {
            // "[key=value]" would read back as a section: the quotes keep it an entry.
            const bool looksLikeSection = e.key.starts_with('[') && e.value.ends_with(']');
            out += e.key + '=' + (needsQuoting(e.value) || looksLikeSection ? quotedValue(e.value) : e.value)
                + '\n';
        }
    }
    return out;
}

bool IniFile::update(QString* error) const
{
    if (!readProblem_.isEmpty()) {
        if (error)
            *error = QStringLiteral("%1 was not replaced: it could not be read, as %2.")
                         .arg(path_, readProblem_);
        return false;
    }
    const std::string out = text();
    // Escapes make a value up to four times longer: a file this reader would
    // refuse at the next start is not written at all.
    const QString unreadable = fromText(path_, out, mode_).readProblem();
    if (!unreadable.isEmpty()) {
        if (error)
            *error = QStringLiteral("%1 was not written: it could not be read back, as %2.")
                         .arg(path_, unreadable);
        return false;
    }
    return writeFileAtomically(path_, out, mode_, error);
}
