#pragma once

#include "session/FtpObject.h"

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
};

// The next line of an in-memory listing from `position`, which moves to the
// start of the following line. Any one or two bytes of CR, LF (or a NUL
// followed by up to one of them) end a line. Returns an empty line at the
// end, and for an empty line, which ends a listing too. The line is a view
// into `listing`.
std::string_view readListingLine(std::string_view listing, std::size_t& position);

// Fills `entry` from one line of a UNIX ("ls -l") or DOS listing. Returns
// the line's kind, or nothing for a line that names no entry ("total" lines,
// devices, pipes and sockets, "." and "..", too short or nameless lines), in
// which case the entry may be partly filled and is to be thrown away.
// Never fails otherwise; safe on any thread when `source.listed` is null.
std::optional<lineKind> parseListingLine(
    std::string_view line, const listingSource& source, ftpObject& entry);

// Reads a whole listing in the order callers use: one line after the other
// until the first empty line, handing each accepted entry and its kind to
// `accept`, which returns false to stop early.
template <typename Accept>
void forEachListingEntry(std::string_view listing, const listingSource& source, Accept&& accept)
{
    std::size_t position = 0;
    for (auto line = readListingLine(listing, position); !line.empty();
         line = readListingLine(listing, position)) {
        ftpObject entry;
        const auto kind = parseListingLine(line, source, entry);
        if (kind && !accept(std::move(entry), *kind))
            return;
    }
}
