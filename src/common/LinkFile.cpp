#include "common/LinkFile.h"

#include "common/IniFile.h"
#include "common/ProgramFolders.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace
{
constexpr unsigned linkFileMode = 0600;

bool isControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

std::string_view trimmed(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// An ini text is lines of sections, comments and key=value pairs; anything
// else (a binary file, an HTML page a server sent instead) is not a link.
bool looksLikeIniText(std::string_view text)
{
    if (std::any_of(text.begin(), text.end(),
            [](char c) { return isControl(c) && c != '\t' && c != '\r' && c != '\n'; }))
        return false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const bool understood = line.empty() || line.front() == ';' || line.front() == '#'
            || (line.front() == '[' && line.back() == ']') || line.find('=') != std::string_view::npos;
        if (!understood)
            return false;
    }
    return true;
}

QString shownName(std::string_view fileName)
{
    QString name = QString::fromUtf8(fileName.data(), static_cast<qsizetype>(fileName.size()));
    for (QChar& c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char('?');
    return name;
}

QString tooLargeText(std::string_view fileName)
{
    return QStringLiteral("The link file \"%1\" is larger than %2 KiB and was not opened.")
        .arg(shownName(fileName))
        .arg(linkFiles::maxFileSize / 1024);
}

QString notALinkText(std::string_view fileName)
{
    return QStringLiteral("The link file \"%1\" is not a Zelta link file and was not opened.")
        .arg(shownName(fileName));
}

std::string_view withoutExtension(std::string_view fileName)
{
    if (fileName.size() > linkFiles::extension.size() && fileName.ends_with(linkFiles::extension))
        fileName.remove_suffix(linkFiles::extension.size());
    return fileName;
}

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

// Reads at most one byte more than a link file may have, so an oversized
// file is noticed without reading all of it. A FIFO or device would block or
// never end, so only regular files are read.
std::optional<QByteArray> readBounded(const QString& path, QString* error)
{
    const std::string fileName = QFileInfo(path).fileName().toStdString();
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        setError(error,
            QStringLiteral("The link file \"%1\" cannot be read: %2")
                .arg(path, QFileInfo::exists(path) ? file.errorString() : QStringLiteral("no such file")));
        return std::nullopt;
    }
    QByteArray bytes = file.read(static_cast<qint64>(linkFiles::maxFileSize) + 1);
    if (bytes.size() > static_cast<qsizetype>(linkFiles::maxFileSize)) {
        setError(error, tooLargeText(fileName));
        return std::nullopt;
    }
    return bytes;
}
} // namespace

linkFileValues linkFileValues::of(const ftpSite& site)
{
    linkFileValues values;
    values.address = site.shownAddress();
    values.port = std::to_string(site.port);
    values.anonymous = site.anonymous;
    if (!site.anonymous) {
        values.userId = site.userId;
        values.password = site.password;
    }
    values.initialDirectory = site.initialDirectory;
    values.description = site.description;
    return values;
}

void setSiteAddress(ftpSite& site, const std::string& addressText)
{
    site.persistent = !(addressText.size() > 2 && addressText.front() == '<' && addressText.back() == '>');
    if (site.persistent) {
        site.hostAddress = addressText;
        site.displayAddress = addressText;
        site.p2pUserName.clear();
        return;
    }
    const std::string userName = addressText.substr(1, addressText.size() - 2);
    site.hostAddress = userName;
    site.displayAddress = userName;
    site.p2pUserName = userName;
}

std::uint32_t portFromText(std::string_view text)
{
    const auto number = IniFile::parseInteger(text);
    return number && *number >= 1 && *number <= 65535 ? static_cast<std::uint32_t>(*number) : 21;
}

bool isSafeLinkName(std::string_view name, QString* reason)
{
    if (name.empty() || name == "." || name == "..") {
        setError(reason, QStringLiteral("A name may not be empty, \".\" or \"..\"."));
        return false;
    }
    if (name.find_first_of("/\\") != std::string_view::npos) {
        setError(reason, QStringLiteral("A name may not contain \"/\" or \"\\\"."));
        return false;
    }
    if (std::any_of(name.begin(), name.end(), isControl)) {
        setError(reason, QStringLiteral("A name may not contain control characters."));
        return false;
    }
    return true;
}

std::optional<ftpSite> parseLinkFile(std::string_view bytes, std::string_view fileName, LinkFileUse use,
    std::string_view anonymousPassword, QString* error)
{
    if (bytes.size() > linkFiles::maxFileSize) {
        setError(error, tooLargeText(fileName));
        return std::nullopt;
    }
    const IniFile ini = IniFile::fromText(QString(), bytes);
    if (!looksLikeIniText(bytes) || !ini.hasSection(linkFiles::section)) {
        setError(error, notALinkText(fileName));
        return std::nullopt;
    }
    const auto read = [&](std::string_view key) { return ini.readString(linkFiles::section, key, ""); };
    ftpSite site;
    site.name = std::string(withoutExtension(fileName));
    if (use == LinkFileUse::Session)
        site.name = ini.value(linkFiles::section, "Name").value_or(site.name);
    setSiteAddress(site, read("Address"));
    site.port = portFromText(ini.readString(linkFiles::section, "Port", "21"));
    const bool anonymousByDefault = use == LinkFileUse::Session && read("UserID").empty();
    site.anonymous = ini.readInteger(linkFiles::section, "Anonymous", anonymousByDefault ? 1 : 0, 1) != 0;
    if (site.anonymous) {
        site.userId = "anonymous";
        site.password = std::string(anonymousPassword);
    } else {
        site.userId = read("UserID");
        site.password = read("Password");
    }
    site.initialDirectory = read("Initial_Directory");
    site.description = read("Description");
    return site;
}

std::optional<ftpSite> readLinkFile(
    const QString& path, LinkFileUse use, std::string_view anonymousPassword, QString* error)
{
    const auto bytes = readBounded(path, error);
    if (!bytes)
        return std::nullopt;
    return parseLinkFile(std::string_view(bytes->constData(), static_cast<size_t>(bytes->size())),
        QFileInfo(path).fileName().toStdString(), use, anonymousPassword, error);
}

QString linkFilePath(const QString& folder, std::string_view profileName)
{
    return joinPath(
        folder, QString::fromStdString(std::string(profileName) + std::string(linkFiles::extension)));
}

bool writeLinkFile(const QString& folder, std::string_view profileName, const linkFileValues& values,
    LinkFileUse use, QString* error)
{
    QString reason;
    if (!isSafeLinkName(profileName, &reason)) {
        setError(error, reason);
        return false;
    }
    const QString path = linkFilePath(folder, profileName);
    // Sections and keys of another program stay; a file that is no link file
    // is replaced whole.
    const auto existing = QFileInfo(path).isFile() ? readBounded(path, nullptr) : std::nullopt;
    const std::string_view existingText = existing
            && looksLikeIniText(
                std::string_view(existing->constData(), static_cast<size_t>(existing->size())))
        ? std::string_view(existing->constData(), static_cast<size_t>(existing->size()))
        : std::string_view();
    IniFile ini = IniFile::fromText(path, existingText, linkFileMode);
    const auto write = [&](std::string_view key, std::string_view value) {
        ini.writeString(linkFiles::section, key, value);
    };
    if (use == LinkFileUse::Session)
        write("Name", profileName);
    write("Address", values.address);
    write("Port", values.port);
    write("Anonymous", values.anonymous ? "1" : "0");
    write("UserID", values.anonymous ? std::string_view() : values.userId);
    write("Password", values.anonymous ? std::string_view() : values.password);
    write("Initial_Directory", values.initialDirectory);
    write("Description", values.description);
    return ini.update(error);
}
