#pragma once

#include "common/IniFile.h"
#include "common/ProgramFolders.h"

#include <QDeadlineTimer>
#include <QThread>

#include <string>

// The actions list writes the store on a thread of its own, so a change
// reaches Registry.ini shortly after it is made, without any further call.
// Waits (at most five seconds) until `section`'s `key` reads `value`.
inline bool registryShows(const std::string& section, const std::string& key, const std::string& value)
{
    const QDeadlineTimer deadline(5000);
    for (;;) {
        if (IniFile(registryFilePath()).readString(section, key, "\x01") == value)
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(5);
    }
}
