#pragma once

#include <QString>

#include <cstdint>

enum class SizeMode {
    Short, // whole kilobytes below 1 MB, as the file lists show sizes
    Exact, // bytes below 1 KB, then two decimals, as the transfer window does
};

// The size text of a byte count: "512 Bytes", "1 KB", "1,023.50 KB",
// "4.00 GB" (with the separators of the default locale). Negative counts are
// shown as 0.
QString formatSize(std::int64_t bytes, SizeMode mode);
