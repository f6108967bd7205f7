#pragma once

#include "net/FtpTypes.h"

#include <QString>

// A local file of a transfer, held from the start of the transfer until it
// ends, fails or is aborted. Plain POSIX I/O: the data goes straight between
// the socket buffer and the file.
class FtpLocalFile
{
public:
    FtpLocalFile() = default;
    ~FtpLocalFile() { release(); }
    FtpLocalFile(const FtpLocalFile&) = delete;
    FtpLocalFile& operator=(const FtpLocalFile&) = delete;

    // For a download: `append` keeps what the file holds (creating it when
    // missing); otherwise the file is created or emptied. A symbolic link
    // is never followed: a link planted where the file should be is refused
    // and its target left alone. Devices and pipes are written as they are.
    // False when it cannot be opened or its lock is taken (errorText() says
    // why).
    bool openForDownload(const QString& name, bool append, TFtpShareMode mode);
    // For an upload, read from the start (or from where seek() puts it).
    // False when it cannot be opened or its lock is taken.
    bool openForUpload(const QString& name, TFtpShareMode mode);
    bool seek(qint64 position);
    // An ASCII upload: every LF read goes out as CR LF (FtpAsciiText.h).
    // Until the file is released.
    void setTextLineEnds(bool text) { text_ = text; }

    bool isOpen() const { return fd_ >= 0; }
    qint64 size() const;
    // Writes everything at `offset` (devices and pipes: where they stand).
    bool writeAt(qint64 offset, const char* data, qint64 length);
    // The bytes read, or -1 on failure. With text line ends at most
    // `length` bytes after their LFs became CR LF, which takes a `length`
    // of at least 2.
    qint64 read(char* data, qint64 length);
    // Cuts a regular file to `length` bytes (others are left as they are).
    bool truncate(qint64 length);
    // Closes the file (and drops its lock); nothing happens when closed.
    void release();
    // Why the last open failed.
    QString errorText() const { return errorText_; }

private:
    bool open(const QString& name, int flags, TFtpShareMode mode);

    int fd_ = -1;
    bool regular_ = false;
    bool text_ = false;
    QString errorText_;
};
