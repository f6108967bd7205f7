#include "FtpTestServer.h"
#include "listing_ftp_fetch.h"

#include "remote/FileTypeText.h"
#include "remote/ListingParser.h"
#include "remote/PlatformTypeText.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <map>
#include <set>
#include <sstream>

// The listing styles read here: vsftpd, proftpd, and the family server in
// both of its styles.
enum class realServer { Vsftpd, Proftpd, FamilyUnix, FamilyDos };

namespace
{

FtpServerKind kindOf(realServer server)
{
    switch (server) {
    case realServer::Vsftpd:
        return FtpServerKind::Vsftpd;
    case realServer::Proftpd:
        return FtpServerKind::Proftpd;
    case realServer::FamilyUnix:
    case realServer::FamilyDos:
        break;
    }
    return FtpServerKind::Family;
}

QStringList switchesOf(realServer server)
{
    switch (server) {
    case realServer::FamilyUnix:
        return { QStringLiteral("--listing"), QStringLiteral("unix") };
    case realServer::FamilyDos:
        return { QStringLiteral("--listing"), QStringLiteral("dos") };
    case realServer::Vsftpd:
    case realServer::Proftpd:
        break;
    }
    return {};
}

constexpr qint64 sparseSize = 5LL * 1024 * 1024 * 1024;

// A folder of names that trip up listing parsers, created fresh per test.
class awkwardFolder
{
public:
    awkwardFolder()
    {
        // Anonymous FTP users must be able to read it.
        QFile::setPermissions(path(),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
                | QFile::ReadOther | QFile::ExeOther);
        file("plain.txt", "hello\n");
        file("inner  double  spaces.txt", "12345");
        file("trailing spaces  ", "x");
        file("  leading spaces.txt", "ab");
        file("Jan 10  2003", "date");
        file("12-31-99  11:59PM", "dos date");
        file("a -> b.txt", "arrow");
        file("bookmark.wkt", "[Zelta Link]\n");
        file("UPPER.WKT", "[Zelta Link]\n");
        file("\xC3\xBCnic\xC3\xB8"
             "d\xC3\xA9 \xE2\x82\xAC \xE6\x97\xA5\xE6\x9C\xAC.txt",
            "utf-8");
        file(".hidden", "h");
        file("empty", "");
        file("old.txt", "old");
        setModified("old.txt", QDateTime(QDate(2003, 1, 10), QTime(12, 0), QTimeZone::utc()));
        folder("sub folder");
        folder("  leading folder");
        link("link to plain", "plain.txt");
        link("link to folder", "sub folder");
        link("arrow link", "target>with>gt");
        if (::mkfifo(at("pipe").constData(), 0644) != 0)
            error += "cannot make a pipe; ";
        // Sparse, so it costs no disk space; proves sizes beyond 32 bits.
        QFile big(QString::fromUtf8(at("sparse 5GiB.bin")));
        if (!big.open(QIODevice::WriteOnly) || !big.resize(sparseSize))
            error += "cannot make the sparse file; ";
    }

    QString path() const { return dir_.path(); }

    std::string error;

private:
    QByteArray at(const char* name) const { return QFile::encodeName(path()) + "/" + name; }

    void file(const char* name, const QByteArray& contents)
    {
        QFile out(QString::fromUtf8(at(name)));
        if (!out.open(QIODevice::WriteOnly) || out.write(contents) != contents.size())
            error += std::string("cannot write ") + name + "; ";
        out.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }

    void folder(const char* name)
    {
        if (::mkdir(at(name).constData(), 0755) != 0)
            error += std::string("cannot make ") + name + "; ";
    }

    void link(const char* name, const char* target)
    {
        if (::symlink(target, at(name).constData()) != 0)
            error += std::string("cannot link ") + name + "; ";
    }

    void setModified(const char* name, const QDateTime& when)
    {
        QFile out(QString::fromUtf8(at(name)));
        if (!out.open(QIODevice::ReadWrite) || !out.setFileTime(when, QFileDevice::FileModificationTime))
            error += std::string("cannot date ") + name + "; ";
    }

    QTemporaryDir dir_;
};

// What a listing line must say about an entry of the folder.
struct diskEntry {
    lineKind kind;
    std::int64_t size;
    std::string rights;
    std::time_t modified;
};

std::string modeText(mode_t mode)
{
    std::string text = S_ISDIR(mode) ? "d" : S_ISLNK(mode) ? "l" : "-";
    const char letters[] = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit)
        text += (mode & (0400 >> bit)) ? letters[bit] : '-';
    return text;
}

// The entries a server's listing must show. UNIX listings show links as
// links and leave out pipes (no entry can be made of them); DOS listings
// show what a link points at and lose dangling links.
std::map<std::string, diskEntry> entriesOnDisk(const QString& root, bool dosStyle)
{
    std::map<std::string, diskEntry> entries;
    const QByteArray folder = QFile::encodeName(root);
    DIR* listing = ::opendir(folder.constData());
    if (!listing)
        return entries;
    while (const dirent* item = ::readdir(listing)) {
        const std::string name = item->d_name;
        if (name == "." || name == "..")
            continue;
        const QByteArray path = folder + "/" + name.c_str();
        struct stat status {
        };
        if ((dosStyle ? ::stat(path.constData(), &status) : ::lstat(path.constData(), &status)) != 0)
            continue;
        if (dosStyle) {
            const bool isFolder = S_ISDIR(status.st_mode);
            entries[name] = { isFolder ? lineKind::Folder : lineKind::File, isFolder ? 0 : status.st_size,
                "???????", status.st_mtime };
        } else if (S_ISDIR(status.st_mode) || S_ISREG(status.st_mode) || S_ISLNK(status.st_mode)) {
            const lineKind kind = S_ISDIR(status.st_mode) ? lineKind::Folder
                : S_ISLNK(status.st_mode)                 ? lineKind::SymbolicLink
                                                          : lineKind::File;
            entries[name] = { kind, status.st_size, modeText(status.st_mode), status.st_mtime };
        }
    }
    ::closedir(listing);
    return entries;
}

std::vector<std::string> wordsOf(const std::string& text)
{
    std::istringstream stream(text);
    std::vector<std::string> words;
    for (std::string word; stream >> word;)
        words.push_back(word);
    return words;
}

// The date text names the modification time (in UTC, as the servers here
// write it): month, day, and the time of day or the year.
bool dateTextMatches(const std::string& dateText, std::time_t modified)
{
    std::tm when {};
    ::gmtime_r(&modified, &when);
    char month[8], time[8];
    std::strftime(month, sizeof month, "%b", &when);
    std::strftime(time, sizeof time, "%H:%M", &when);
    const auto words = wordsOf(dateText);
    if (words.size() != 3 || words[0] != month || std::stoi(words[1]) != when.tm_mday)
        return false;
    return words[2] == time || words[2] == std::to_string(when.tm_year + 1900);
}

std::string expectedTypeText(const std::string& name, lineKind kind)
{
    switch (kind) {
    case lineKind::Folder:
        return std::string(typeTexts::folder);
    case lineKind::SymbolicLink:
        return std::string(typeTexts::unixLink);
    case lineKind::File:
        break;
    }
    return extensionOf(name) == ".wkt" ? std::string(typeTexts::linkFile) : platformTypeText(name);
}

std::string serverName(const ::testing::TestParamInfo<realServer>& info);

struct listedEntry {
    ftpObject entry;
    lineKind kind;
};

template <typename Map> std::set<std::string> namesOf(const Map& entries)
{
    std::set<std::string> names;
    for (const auto& [name, entry] : entries)
        names.insert(name);
    return names;
}

class RealServerListing : public ::testing::TestWithParam<realServer>
{
};

TEST_P(RealServerListing, EveryEntryOnDiskComesBackAsItIs)
{
    awkwardFolder folder;
    ASSERT_TRUE(folder.error.empty()) << folder.error;
    FtpTestServer server(kindOf(GetParam()), folder.path(), switchesOf(GetParam()));
    ASSERT_TRUE(server.running()) << server.error().toStdString();

    const fetchedListing fetched = fetchListing(server.port(), server.user(), server.password(), "LIST -a");
    ASSERT_TRUE(fetched.error.isEmpty()) << fetched.error.toStdString();
    const std::string listing = fetched.data.toStdString();

    listingSource source;
    source.directory = "/";
    std::map<std::string, listedEntry> parsed;
    forEachListingEntry(listing, source, [&](ftpObject&& entry, lineKind kind) {
        const std::string name = entry.name;
        EXPECT_TRUE(parsed.emplace(name, listedEntry { std::move(entry), kind }).second) << "twice: " << name;
        return true;
    });

    const bool dosStyle = GetParam() == realServer::FamilyDos;
    const auto expected = entriesOnDisk(folder.path(), dosStyle);
    ASSERT_EQ(namesOf(parsed), namesOf(expected)) << "listing:\n" << listing;
    for (const auto& [name, disk] : expected) {
        const listedEntry& listed = parsed.at(name);
        const ftpObject& entry = listed.entry;
        EXPECT_EQ(listed.kind, disk.kind) << name;
        EXPECT_EQ(entry.size, disk.size) << name;
        EXPECT_EQ(entry.rights, disk.rights) << name;
        EXPECT_TRUE(dateTextMatches(entry.dateText, disk.modified)) << name << ": " << entry.dateText;
        EXPECT_EQ(entry.typeText, expectedTypeText(name, disk.kind)) << name;
        EXPECT_EQ(entry.directory, "/") << name;
    }
    EXPECT_EQ(parsed.at("sparse 5GiB.bin").entry.size, sparseSize);
    EXPECT_EQ(parsed.at("bookmark.wkt").entry.kind, ftpObject::LinkFile);
    EXPECT_EQ(parsed.at("UPPER.WKT").entry.kind, ftpObject::RegularFile);
}

// Everything below the root whose name holds the word, by full path as the
// server names it ("/docs/notes.txt"), with its kind as the listing style
// shows it.
std::map<std::string, lineKind> matchesOnDisk(const QString& root, const QString& word, bool dosStyle)
{
    std::map<std::string, lineKind> matches;
    QDirIterator walk(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QFileInfo item(walk.next());
        if (!item.fileName().contains(word, Qt::CaseInsensitive))
            continue;
        const std::string path = "/" + QDir(root).relativeFilePath(item.filePath()).toStdString();
        if (item.isSymLink() && !dosStyle)
            matches[path] = lineKind::SymbolicLink;
        else
            matches[path] = item.isDir() ? lineKind::Folder : lineKind::File;
    }
    return matches;
}

class FamilySearchListing : public ::testing::TestWithParam<realServer>
{
};

TEST_P(FamilySearchListing, ResultsNameEveryMatchByItsFolderAndName)
{
    QTemporaryDir root;
    for (const char* folder : { "docs/sub dir", "Notes folder", "other" })
        ASSERT_TRUE(QDir(root.path()).mkpath(QString::fromUtf8(folder)));
    for (const char* file : { "docs/notes one.txt", "docs/sub dir/  notes two.wkt", "other/unrelated.txt" }) {
        QFile out(root.filePath(QString::fromUtf8(file)));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write("x") == 1) << file;
    }
    ASSERT_EQ(::symlink("../docs/notes one.txt",
                  QFile::encodeName(root.filePath(QStringLiteral("other/notes link"))).constData()),
        0);

    FtpTestServer server(kindOf(GetParam()), root.path(), switchesOf(GetParam()));
    ASSERT_TRUE(server.running()) << server.error().toStdString();
    const fetchedListing fetched = fetchListing(
        server.port(), server.user(), server.password(), "LIST /<ZeltaSearchResults>", { "SITE SRCH notes" });
    ASSERT_TRUE(fetched.error.isEmpty()) << fetched.error.toStdString();
    const std::string listing = fetched.data.toStdString();

    listingSource source;
    source.directory = "/<ZeltaSearchResults>";
    source.search = true;
    std::map<std::string, lineKind> found;
    forEachListingEntry(listing, source, [&](ftpObject&& entry, lineKind kind) {
        found[entry.directory + entry.name] = kind;
        return true;
    });
    const bool dosStyle = GetParam() == realServer::FamilyDos;
    EXPECT_EQ(found, matchesOnDisk(root.path(), QStringLiteral("notes"), dosStyle)) << "listing:\n"
                                                                                    << listing;
}

INSTANTIATE_TEST_SUITE_P(Servers, FamilySearchListing,
    ::testing::Values(realServer::FamilyUnix, realServer::FamilyDos), serverName);

std::string serverName(const ::testing::TestParamInfo<realServer>& info)
{
    switch (info.param) {
    case realServer::Vsftpd:
        return "vsftpd";
    case realServer::Proftpd:
        return "proftpd";
    case realServer::FamilyUnix:
        return "FamilyUnix";
    case realServer::FamilyDos:
        return "FamilyDos";
    }
    return "unknown";
}

INSTANTIATE_TEST_SUITE_P(Servers, RealServerListing,
    ::testing::Values(realServer::Vsftpd, realServer::Proftpd, realServer::FamilyUnix, realServer::FamilyDos),
    serverName);

} // namespace

// Names the server in test names and failure messages.
void PrintTo(realServer server, std::ostream* out)
{
    *out << serverName(::testing::TestParamInfo<realServer>(server, 0));
}
