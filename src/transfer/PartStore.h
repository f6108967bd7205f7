#pragma once

#include "transfer/DigestFollower.h"
#include "transfer/PartPlan.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The result of a finished file: its MD5 digest as 32 upper-case
// hexadecimal characters, or why there is none.
struct MergeResult {
    std::optional<std::string> digest;
    QString error;
};

// Where the parts of one download are written, and what decides how much
// of each is there. One part goes straight into the target. Several go into
// the target's part file 0 ("report.pdf.0"), each at its own offset, so the
// finished file needs no copying: it is renamed to the target. Beside it
// the part record ("report.pdf.parts", PartRecord) says how much of each
// part was written; it is written before any part but the first touches
// the file, so without it the file holds part 0 alone from its start.
//
// Part files of one file each ("report.pdf.1", ...), as earlier versions
// wrote them, are taken over when resuming: their bytes are copied in at
// their parts' offsets and they are deleted.
//
// One part has a record too once its transfer has run for a while or has
// stopped short, so that a later run knows the file as its own; a short
// file fetched at once never needs one.
//
// The digest is computed while the parts arrive (DigestFollower). No path
// is followed through a symbolic link. Worker thread only.
class PartStore
{
public:
    // The remote file the bytes are of, named in the record.
    struct Origin {
        std::string remotePath;
        std::string date;
    };

    // `lengthUnknown`: one part of unknown length (an ASCII transfer, a file
    // the server gave no size for), written from its start.
    PartStore(QString target, std::vector<FilePart> parts, bool lengthUnknown, Origin origin = {});
    ~PartStore();
    PartStore(const PartStore&) = delete;
    PartStore& operator=(const PartStore&) = delete;

    // Opens the data file. `resume`: continue what an earlier run left;
    // otherwise start empty. False with error() set when the file cannot be
    // used.
    bool open(bool resume);

    std::vector<FilePart>& parts() { return parts_; }
    const std::vector<FilePart>& parts() const { return parts_; }
    const QString& dataFile() const { return dataFile_; }
    QString error() const { return error_; }
    // A write of the data failed (a full disk, a quota): error() says why.
    bool writeFailed() const { return writeFailed_; }
    // Where the next byte of `part` belongs.
    std::uint64_t nextPosition(int part) const;

    // Bytes of `part` at `position` of the remote file, which must be
    // nextPosition(part). False when they could not be written.
    bool write(int part, std::uint64_t position, const char* data, std::uint64_t length);
    // The bytes of `part` from `position` on are not the file's.
    void forgetFrom(int part, std::uint64_t position);
    // Updates the part record: at most every few seconds unless `now`. The
    // data reach the disk before the record does.
    void recordProgress(bool now);

    // Every part is complete: the digest over the whole file, then the data
    // file becomes the target. `onPartPassed(i)` follows each part the
    // digest passes here.
    MergeResult finish(const std::function<void(int)>& onPartPassed);

private:
    bool several() const { return parts_.size() > 1; }
    bool openDataFile(bool resume);
    std::uint64_t doneOfOnePart() const;
    bool resumeFromRecord();
    bool takeOverPartFiles();
    bool writeRecord();
    void close();

    QString target_;
    Origin origin_;
    QString dataFile_;
    std::vector<FilePart> parts_;
    bool lengthUnknown_;
    int fd_ = -1;
    DigestFollower digest_;
    std::chrono::steady_clock::time_point lastRecord_;
    QString error_;
    bool writeFailed_ = false;
};
