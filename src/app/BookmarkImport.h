#pragma once

#include "common/LinkFile.h"

#include <QString>

#include <string>
#include <string_view>
#include <vector>

// Bookmarks of another FTP client: FileZilla's "sitemanager.xml".
namespace bookmarkImport
{
// The largest site manager file read; FileZilla's own stay far below.
inline constexpr qint64 maxFileSize = 4 * 1024 * 1024;

struct site {
    std::vector<std::string> folders; // the site manager folders it lies in, outermost first
    std::string name;
    linkFileValues values;
};

struct siteManager {
    std::vector<site> sites;
    int skipped = 0; // SFTP, FTPS and other protocols this client does not speak
    QString error; // set when the file is not a site manager file
};

// Reads the sites of a site manager file's text. Plain FTP sites are kept;
// passwords stored in base64 are decoded (an encrypted one is left empty).
siteManager parseSiteManager(std::string_view xml);

// Writes the sites as link files below `targetFolder`, the site manager's
// folders as sub-folders. Names that cannot name a file are made safe, and a
// name already taken gets " (2)", " (3)"... so no bookmark is overwritten.
// The count of link files written; `error` is set when a file failed.
int writeSites(const siteManager& sites, const QString& targetFolder, QString* error = nullptr);

// The closing hint: how many were imported and skipped.
QString summary(int imported, int skipped);
} // namespace bookmarkImport
