#pragma once

#include <QString>

// The bookmark tree's file operations. Symbolic links are handled as links:
// removing a folder removes a link found inside it, never what it points to,
// and copying a folder copies its links as links.
namespace bookmarkFiles
{
// Removes a file, a link or a folder with all it holds. True when nothing is
// left at `path` (also when nothing was there).
bool removeTree(const QString& path);
// Removes one file; true when it is gone (also when it was not there).
bool removeFile(const QString& path);
// Copies a file, a link or a folder with all it holds to `to`, replacing
// files of the same names there. True when everything was copied.
bool copyTree(const QString& from, const QString& to);
// Copies one file over `to`.
bool copyFile(const QString& from, const QString& to);
} // namespace bookmarkFiles
