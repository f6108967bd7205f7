#pragma once

#include <QString>

#include <optional>

// Where the program keeps its files. Every function may be called from any
// thread; none caches, so a changed RANQUIL_HOME is seen at once.

// The program folder, without a trailing "/": $RANQUIL_HOME when set; else
// the executable's folder when a "Ranquil.ini" lies there (a portable
// install); else $XDG_DATA_HOME/ranquil. Created (mode 0700) when missing.
QString programFolder();

// `folder` + "/" + `name`: a "/" is put between them unless the folder ends
// with one, and a leading "/" of the name is dropped when the folder is not
// empty.
QString joinPath(const QString& folder, const QString& name);

// The file in the program folder with this name.
QString programFile(const QString& name);

// "Ranquil.ini" of the program folder.
QString settingsFilePath();
// "Registry.ini" of the program folder: the per-user store of the upgrade
// flag and the operations.
QString registryFilePath();

// The user's download folder; it stands where the program's historic default
// "C:\My Downloads" would.
QString defaultDownloadFolder();

// The program's private temporary folder ($XDG_RUNTIME_DIR/Ranquil, else
// <temp>/Ranquil-<uid>), created 0700. Empty with `error` set when it cannot
// be made safe: it exists as a symbolic link, is no folder, or belongs to
// another user.
QString temporaryFolder(QString* error = nullptr);

// Creates `path` and its missing parents with mode 0700.
bool makePrivateFolder(const QString& path);
