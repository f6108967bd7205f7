#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What this program has written of one download, kept beside its data file
// (the target followed by ".parts") so that a later run continues every part
// where it stopped. It never says more than what was written before it: a
// run that ends without it refetches bytes, never skips them.
//
// It is also how a later run knows that a local file is this program's own
// work for one remote file, and not a file of the same name that someone
// else put there. Records of version 2 name the remote file (its path and
// the date its listing gave); version 1 records name none.
struct PartRecord {
    std::uint64_t size = 0; // the remote file's
    std::uint64_t partLength = 0;
    std::vector<std::uint64_t> done; // per part, from its start
    std::optional<std::string> source; // the remote path (bytes)
    std::string date; // the listing's date text; empty when unknown

    // The record is of this remote file as it is now: same path, size and
    // date (when both dates are known).
    bool describes(std::string_view remotePath, std::uint64_t remoteSize, std::string_view remoteDate) const;
    // Of the same remote path, whatever its size or date.
    bool namesPath(std::string_view remotePath) const { return source && *source == remotePath; }
};

QString partRecordName(const QString& target);

// Nothing when the file is missing, a link, too long or not a record.
std::optional<PartRecord> readPartRecord(const QString& path);
// Written whole and renamed into place. `durable`: flushed to the disk
// first. False with `error` set on failure.
bool writePartRecord(const QString& path, const PartRecord& record, QString* error, bool durable = true);
