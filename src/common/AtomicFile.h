#pragma once

#include <QByteArray>
#include <QString>
#include <string_view>

// Writes `contents` to `path` through a temporary file in the same folder that
// is renamed over the target, so a crash leaves either the old or the new file,
// never half of one. The file gets `mode` (e.g. 0600 for files with passwords)
// before any byte is written. Returns false with `error` set on failure; the
// old file is then untouched.
bool writeFileAtomically(
    const QString& path, std::string_view contents, unsigned mode, QString* error = nullptr);

// The same for a path given as the bytes of its name (a name that is not
// UTF-8 stays what it is). `durable` false leaves out the flush to the disk:
// for a file whose loss after a crash costs work, never data.
bool writeFileAtomically(const QByteArray& nativePath, std::string_view contents, unsigned mode, bool durable,
    QString* error = nullptr);
