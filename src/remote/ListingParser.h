#pragma once

#include "remote/FtpObject.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

class typeTextIndex;

// What a listing line describes; callers choose icons by it and add folders
// to their tree.
enum class lineKind { Folder = 0, File = 1, SymbolicLink = 2 };

// Where the lines of one listing come from.
struct listingSource {
    sharedSite site; // shared by every entry of the listing
    std::string directory; // the listed folder, as the caller names it
    // The lines are a server-side search's results: the name column holds a
    // full path, which gives each entry its own folder.
    bool search = false;
    // The session's list, to reuse type texts from; null on worker threads.
    const typeTextIndex* listed = nullptr;
    // Regular files get the platform's type text. A caller that never shows
    // it (a transfer worker) turns this off: it costs a MIME look-up per
    // extension, and loading the MIME database on the first one.
    bool fileTypeTexts = true;
};

// The next line of an in-memory listing from `position`, which moves to the
// start of the following line. Any one or two bytes of CR, LF (or a NUL
// followed by up to one of them) end a line. Returns an empty line at the
// end, and for an empty line, which ends a listing too. The line is a view
// into `listing`.
std::string_view readListingLine(std::string_view listing, std::size_t& position);

// No listing holds a longer line: one that grows past it ends the listing.
inline constexpr std::size_t longestListingLine = 64 * 1024;

// What the lines of one listing gave. A listing whose lines were all of
// forms this parser does not read (a VMS or MVS server's, say) is told apart
// from an empty folder, so the user is not shown one in its place.
struct listingTally {
    std::size_t lines = 0;
    std::size_t entries = 0;
    std::size_t unreadLines = 0; // lines of no form read here

    // The listing had lines and none of them gave an entry, because none was
    // understood; show `listingNotUnderstoodText` instead of an empty folder.
    bool notUnderstood() const { return entries == 0 && unreadLines > 0; }

    listingTally& operator+=(const listingTally& other)
    {
        lines += other.lines;
        entries += other.entries;
        unreadLines += other.unreadLines;
        return *this;
    }
};

inline constexpr std::string_view listingNotUnderstoodText = "The server's listing format is not understood.";

// Fills `entry` from one line of a UNIX ("ls -l") or DOS listing. Returns
// the line's kind, or nothing for a line that gives no entry, in which case
// the entry may be partly filled and is to be thrown away. A line gives no
// entry when it names none ("total" lines, devices, pipes and sockets, "."
// and "..", names holding "/") and when it cannot be read with confidence:
// a line of another system's form, a date of no known form, a size column
// that is no number. Never fails otherwise; safe on any thread when
// `source.listed` is null. The second form counts the line in `tally`.
std::optional<lineKind> parseListingLine(
    std::string_view line, const listingSource& source, ftpObject& entry);
std::optional<lineKind> parseListingLine(
    std::string_view line, const listingSource& source, ftpObject& entry, listingTally& tally);

// Reads a whole listing in the order callers use: one line after the other
// until the first empty line, handing each accepted entry and its kind to
// `accept`, which returns false to stop early. Returns what the lines read
// gave.
template <typename Accept>
listingTally forEachListingEntry(std::string_view listing, const listingSource& source, Accept&& accept)
{
    listingTally tally;
    std::size_t position = 0;
    for (auto line = readListingLine(listing, position); !line.empty();
         line = readListingLine(listing, position)) {
        ftpObject entry;
        const auto kind = parseListingLine(line, source, entry, tally);
        if (kind && !accept(std::move(entry), *kind))
            break;
    }
    return tally;
}
