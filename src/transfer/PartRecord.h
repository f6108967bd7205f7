#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// What a download in parts has stored of each part, kept beside its data
// file (the target followed by ".parts") so that a later run continues
// every part where it stopped. It never says more than what was written
// before it: a run that ends without it refetches bytes, never skips them.
struct PartRecord {
    std::uint64_t size = 0; // the remote file's
    std::uint64_t partLength = 0;
    std::vector<std::uint64_t> done; // per part, from its start
};

QString partRecordName(const QString& target);

// Nothing when the file is missing, a link, too long or not a record.
std::optional<PartRecord> readPartRecord(const QString& path);
// Written whole and renamed into place. False with `error` set on failure.
bool writePartRecord(const QString& path, const PartRecord& record, QString* error);
