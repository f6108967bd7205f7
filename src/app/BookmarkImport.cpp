#include "app/BookmarkImport.h"

#include "common/ProgramFolders.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <charconv>

namespace
{
// Beyond this the file is not a site manager a person made.
constexpr int maxFolderDepth = 32;

enum Protocol { Ftp = 0, InsecureFtp = 6 };

std::string text(QStringView value)
{
    return value.toString().toStdString();
}

// FileZilla keeps a remote path as "<type> <prefix length> [<prefix>] then
// <length> <segment>" pairs: "1 0 3 pub 4 docs" is "/pub/docs".
std::string remotePath(std::string_view serialized)
{
    const auto number = [&](std::size_t& value) {
        const auto [end, ec]
            = std::from_chars(serialized.data(), serialized.data() + serialized.size(), value);
        if (ec != std::errc() || end == serialized.data() + serialized.size() || *end != ' ')
            return false;
        serialized.remove_prefix(static_cast<std::size_t>(end - serialized.data()) + 1);
        return true;
    };
    std::size_t type = 0;
    std::size_t prefixLength = 0;
    if (!number(type) || !number(prefixLength) || prefixLength > serialized.size())
        return {};
    serialized.remove_prefix(prefixLength == 0 ? 0 : std::min(serialized.size(), prefixLength + 1));
    std::string path;
    while (!serialized.empty()) {
        std::size_t length = 0;
        if (!number(length) || length > serialized.size())
            return {};
        path += '/';
        path += serialized.substr(0, length);
        serialized.remove_prefix(std::min(serialized.size(), length + 1));
    }
    return path.empty() ? std::string("/") : path;
}

// One <Server> element, read up to its end tag.
bool readServer(QXmlStreamReader& xml, bookmarkImport::site& site)
{
    int protocol = Ftp;
    int logonType = 1;
    std::string host;
    while (xml.readNextStartElement()) {
        const QStringView tag = xml.name();
        const bool base64 = xml.attributes().value(QStringLiteral("encoding")) == QStringLiteral("base64");
        const bool encrypted = xml.attributes().value(QStringLiteral("encoding")) == QStringLiteral("crypt");
        const QString value = xml.readElementText(QXmlStreamReader::SkipChildElements);
        if (tag == QStringLiteral("Host"))
            host = value.toStdString();
        else if (tag == QStringLiteral("Port"))
            site.values.port = value.toStdString();
        else if (tag == QStringLiteral("Protocol"))
            protocol = value.toInt();
        else if (tag == QStringLiteral("Logontype"))
            logonType = value.toInt();
        else if (tag == QStringLiteral("User"))
            site.values.userId = value.toStdString();
        else if (tag == QStringLiteral("Pass") && !encrypted)
            site.values.password
                = base64 ? QByteArray::fromBase64(value.toLatin1()).toStdString() : text(value);
        else if (tag == QStringLiteral("Name"))
            site.name = value.toStdString();
        else if (tag == QStringLiteral("RemoteDir"))
            site.values.initialDirectory = remotePath(value.toStdString());
        else if (tag == QStringLiteral("Comments"))
            site.values.description = value.toStdString();
    }
    site.values.address = host;
    site.values.anonymous = logonType == 0;
    if (site.name.empty())
        site.name = host;
    return protocol == Ftp || protocol == InsecureFtp;
}

void readElement(QXmlStreamReader& xml, std::vector<std::string>& folders, bookmarkImport::siteManager& out);

// The children of <Servers>, up to its end tag.
void readEntries(QXmlStreamReader& xml, std::vector<std::string>& folders, bookmarkImport::siteManager& out)
{
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement)
            return;
        if (token == QXmlStreamReader::StartElement)
            readElement(xml, folders, out);
    }
}

// A <Folder>: its name is the text before its first child element.
void readFolder(QXmlStreamReader& xml, std::vector<std::string>& folders, bookmarkImport::siteManager& out)
{
    std::string name;
    bool childSeen = false;
    folders.emplace_back();
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::Characters && !childSeen) {
            name += text(xml.text().trimmed());
        } else if (token == QXmlStreamReader::StartElement) {
            childSeen = true;
            folders.back() = name;
            readElement(xml, folders, out);
        } else if (token == QXmlStreamReader::EndElement) {
            break;
        }
    }
    folders.pop_back();
}

void readElement(QXmlStreamReader& xml, std::vector<std::string>& folders, bookmarkImport::siteManager& out)
{
    if (xml.name() == QStringLiteral("Server")) {
        bookmarkImport::site site;
        site.folders = folders;
        if (readServer(xml, site))
            out.sites.push_back(std::move(site));
        else
            ++out.skipped;
    } else if (xml.name() == QStringLiteral("Folder") && folders.size() < maxFolderDepth) {
        readFolder(xml, folders, out);
    } else {
        xml.skipCurrentElement();
    }
}

std::string safeName(std::string name)
{
    for (char& c : name)
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '_';
    if (name.empty() || name == "." || name == "..")
        name = "_" + name;
    return name;
}

std::string unusedName(const QString& folder, const std::string& name)
{
    std::string candidate = name;
    for (int n = 2; QFileInfo::exists(linkFilePath(folder, candidate)); ++n)
        candidate = name + " (" + std::to_string(n) + ")";
    return candidate;
}
} // namespace

namespace bookmarkImport
{
siteManager parseSiteManager(std::string_view text)
{
    siteManager out;
    QXmlStreamReader xml(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    if (!xml.readNextStartElement() || xml.name() != QStringLiteral("FileZilla3")) {
        out.error = QStringLiteral("This is not a FileZilla site manager file.");
        return out;
    }
    while (xml.readNextStartElement()) {
        if (xml.name() != QStringLiteral("Servers")) {
            xml.skipCurrentElement();
            continue;
        }
        std::vector<std::string> folders;
        readEntries(xml, folders, out);
    }
    if (xml.hasError())
        out.error = QStringLiteral("The site manager file cannot be read: %1 (line %2)")
                        .arg(xml.errorString())
                        .arg(xml.lineNumber());
    return out;
}

int writeSites(const siteManager& sites, const QString& targetFolder, QString* error)
{
    int written = 0;
    for (const site& entry : sites.sites) {
        QString folder = targetFolder;
        for (const std::string& name : entry.folders)
            folder = joinPath(folder, QString::fromStdString(safeName(name)));
        makePrivateFolder(folder);
        const std::string name = unusedName(folder, safeName(entry.name));
        if (writeLinkFile(folder, name, entry.values, LinkFileUse::Bookmark, error))
            ++written;
    }
    return written;
}

QString summary(int imported, int skipped)
{
    QString text = QStringLiteral("%1 site(s) imported.").arg(imported);
    if (skipped > 0)
        text += QStringLiteral("\n%1 SFTP or FTPS site(s) skipped: this client speaks plain FTP only.")
                    .arg(skipped);
    return text;
}
} // namespace bookmarkImport
