#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Where the date of an "ls -l" line ends: how many words it takes, starting
// with the word after the size, and how many spaces stand between it and the
// name (any further spaces are part of the name).
struct unixDateShape {
    std::size_t words = 0; // 0: no date form that servers are known to write
    std::size_t spacesBeforeName = 1;
};

// Recognises the date from the three words after the size column (words
// past the end of the line are empty):
// - three words in any language: "Mar 3 12:01", "Jan 10 2003", "3. Mär 12:01",
//   "3月 3 12:01" (a day, a month word and a time or year);
// - two: a numeric date and a time, "2005-06-07 21:22", "1999/10/12 17:12",
//   "24-04-2003 17:12", "09-26 13:45";
// - three, GNU ls's full-iso: "2005-06-07 21:22:33.123456789 +0200";
// - one, GNU ls's iso style for older files: "2002-03-30", padded with a
//   second space before the name (a line without it is no such date).
unixDateShape unixDateShapeOf(std::string_view first, std::string_view second, std::string_view third);

// The date text ("Mon DD YYYY") of a DOS listing's date column in the form
// MM-DD-YY, MM-DD-YYYY or YYYY-MM-DD; nothing when the column is no such
// date. Two-digit years above 69 are of the 1900s.
std::optional<std::string> dosDateText(std::string_view column);

// Whether a DOS listing's time column is one: HH:MM, optionally followed by
// AM or PM.
bool isDosTime(std::string_view column);
