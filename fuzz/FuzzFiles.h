#pragma once

// Files for the fuzz targets whose parsers read from a path: one private
// folder per process, in memory when /dev/shm is there.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

inline QString fuzzFile(const QString& name)
{
    static QTemporaryDir folder(QDir(QStringLiteral("/dev/shm")).exists()
            ? QStringLiteral("/dev/shm/ranquil-fuzz-XXXXXX")
            : QDir::tempPath() + QStringLiteral("/ranquil-fuzz-XXXXXX"));
    return folder.filePath(name);
}

// Writes `bytes` as the whole file; false when it cannot.
inline bool writeFuzzFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}
