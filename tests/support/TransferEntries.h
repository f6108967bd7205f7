#pragma once

#include "transfer/TransferRequest.h"

#include <cstdint>
#include <ostream>
#include <string>

// An entry as a listing shows it: with its date, and its digest when the
// server has one.
inline TransferEntry listedEntry(std::string path, std::string dateText, std::uint64_t size = 0,
    std::string digest = std::string(zeroDigest))
{
    TransferEntry entry = entryAt(std::move(path), size);
    entry.dateText = std::move(dateText);
    entry.digest = std::move(digest);
    return entry;
}

// How a failed expectation shows an entry.
inline void PrintTo(const TransferEntry& entry, std::ostream* out)
{
    *out << '{' << entry.path << ", " << entry.dateText << ", " << entry.digest << ", " << entry.size << '}';
}
