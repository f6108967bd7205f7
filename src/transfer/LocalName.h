#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

// Local names of a download. Linux file names are bytes, and a remote name
// keeps its bytes in the local name even when they are not UTF-8 (two Latin-1
// names must not both become U+FFFD). Inside the program such a path is a
// QString in which each byte that is not part of valid UTF-8 is held as the
// lone surrogate U+DC00 + byte, which no valid UTF-8 gives, so the path
// turns back into the same bytes. Qt's file classes would write those as
// '?': every file operation on such a path goes through the functions here,
// none of which follows a symbolic link.

// The name for the bytes of a remote name.
QString localNameOf(std::string_view bytes);
// The bytes of the path, for the system.
QByteArray nativeLocalPath(const QString& path);
// The path as a person sees it (UTF-8 where valid, Latin-1 otherwise,
// controls escaped).
QString shownLocalPath(const QString& path);

struct LocalEntry {
    bool exists = false;
    bool link = false;
    bool file = false; // a regular file, not through a link
    std::uint64_t size = 0;
};
LocalEntry lookAtLocal(const QString& path);
// Removes a file (or a link itself); false when there is nothing to remove.
bool removeLocalFile(const QString& path);
// Makes the folder and its parents; false when it is not a folder afterwards.
bool makeLocalFolders(const QString& folder);
QString localFolderOf(const QString& path);
QString localFileNameOf(const QString& path);

// "name (n).ext": another name beside `path` for keeping two files, the
// number before the last extension ("report (1).pdf", ".profile (1)",
// "archive.tar (1).gz").
QString numberedLocalName(const QString& path, int number);

// The MD5 of a local file as 32 upper-case hexadecimal characters; nothing
// when it cannot be read.
std::optional<std::string> md5OfLocalFile(const QString& path);

// The local names the files of one operation are written to, so that no two
// of them go into the same file. The workers of one command line share it
// (ranquil-get's URLs run one after another). Safe from any thread.
class LocalNameClaims
{
public:
    // True when nobody had `path` and it is now taken.
    bool claim(const QString& path);
    bool taken(const QString& path) const;

private:
    mutable std::mutex mutex_;
    QSet<QString> names_;
};
