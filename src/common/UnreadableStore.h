#pragma once

#include <QString>

#include <optional>

// A store file (Ranquil.ini, Registry.ini) that exists but cannot be read.
// Left in place it would be replaced at the next save by a file of defaults;
// set aside, the program starts with its defaults and the user can still
// get back what it held.
struct UnreadableStore {
    QString path;
    QString problem; // why it could not be read (IniFile::readProblem)
    QString keptAs; // where it is now; empty when it could not be moved
    QString moveError; // why it could not be moved
};

// Reads the ini file at `path`; when it exists and cannot be read, renames it
// to `path` + ".bad" with mode 0600, replacing the one an earlier start set
// aside. Nothing when it reads (or does not exist).
std::optional<UnreadableStore> setAsideUnreadableStore(const QString& path);

// What the user is told about it.
QString unreadableStoreText(const UnreadableStore& store);
