#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// How one file is cut into parts that several connections fetch at once.

enum class PartState : std::uint8_t { Complete = 0, Partial = 1, Pending = 2, Taken = 255 };

struct FilePart {
    std::uint64_t start = 0;
    std::uint64_t end = 0; // one past the last byte
    std::uint64_t done = 0; // what its file holds
    std::uint64_t accounted = 0; // of done, already counted as completed
    PartState state = PartState::Pending;

    std::uint64_t length() const { return end - start; }
    std::uint64_t remaining() const { return done >= length() ? 0 : length() - done; }
};

// A digest the server or a search gave: 32 characters that are not all "0".
bool isKnownDigest(std::string_view digest);

// 1 below 64 KiB or on a borrowed connection, 2 below 128 KiB, otherwise 8
// when the digest is known (other sources may help) and 6 when it is not.
int partCountFor(std::uint64_t size, std::string_view digest, bool borrowed);

// `count` parts of equal length; the last one also takes the remainder.
std::vector<FilePart> splitIntoParts(std::uint64_t size, int count);

// The length of each part but the last when `size` is cut into `count`.
std::uint64_t partLengthOf(std::uint64_t size, int count);

// The count of parts of `length` that a file of `size` was cut into, if a
// count of several parts gives that length.
std::optional<int> partCountOfLength(std::uint64_t size, std::uint64_t length);

// The target followed by "." and the index: report.pdf.0, report.pdf.1, ...
QString partFileName(const QString& target, int index);
