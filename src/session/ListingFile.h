#pragma once

#include <QString>

#include <functional>
#include <string_view>

// Reads a listing file line by line, in blocks, so that a listing of any
// size costs little memory. Lines end as readListingLine says; the first
// empty line ends the listing, and so does a line longer than any listing
// holds. `onLine` returns false to stop. False when the file cannot be
// opened.
bool readListingFile(const QString& path, const std::function<bool(std::string_view line)>& onLine);
