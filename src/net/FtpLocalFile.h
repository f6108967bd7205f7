#pragma once

#include "net/FtpTypes.h"

#include <QString>

// The local file of one transfer, owned by the FTP component from the start
// of the transfer until it ends, fails or is aborted. Plain POSIX I/O: the
// data goes straight between the socket buffer and the file.
class FtpLocalFile
{
public:
    FtpLocalFile() = default;
    ~FtpLocalFile() { release(); }
    FtpLocalFile(const FtpLocalFile&) = delete;
    FtpLocalFile& operator=(const FtpLocalFile&) = delete;

    // For a download: `append` keeps what the file holds (creating it when
    // missing) and writes after it; otherwise the file is created or
    // emptied. Devices and pipes are written as they are. False when it
    // cannot be opened or its lock is taken.
    bool openForDownload(const QString& name, bool append, TFtpShareMode mode);
    // For an upload, read from the start (or from where seek() puts it).
    // False when it cannot be opened or its lock is taken.
    bool openForUpload(const QString& name, TFtpShareMode mode);
    bool seek(qint64 position);

    bool isOpen() const { return fd_ >= 0; }
    qint64 size() const;
    // Both return the bytes moved, or -1 on failure.
    qint64 write(const char* data, qint64 length);
    qint64 read(char* data, qint64 length);
    // Closes the file (and drops its lock); nothing happens when closed.
    void release();

private:
    bool open(const QString& name, int flags, TFtpShareMode mode);

    int fd_ = -1;
};
