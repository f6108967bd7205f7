// Listing lines as servers send them: the line reader and the UNIX and DOS
// line parser, in a plain folder and in a server-side search's results.

#include "FuzzInput.h"

#include "remote/ListingParser.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    listingSource source;
    source.directory = "/pub/";
    source.search = (input.takeByte() & 1) != 0;
    const std::string_view listing = input.rest();
    std::size_t position = 0;
    for (auto line = readListingLine(listing, position); !line.empty();
         line = readListingLine(listing, position)) {
        FUZZ_CHECK(position <= listing.size());
        ftpObject entry;
        listingTally tally;
        const auto kind = parseListingLine(line, source, entry, tally);
        if (!kind)
            continue;
        FUZZ_CHECK(tally.entries == 1);
        FUZZ_CHECK(!entry.name.empty());
        // Files named "." stay (servers list them); folders so named never.
        FUZZ_CHECK(*kind != lineKind::Folder || (entry.name != "." && entry.name != ".."));
        FUZZ_CHECK(entry.name.find('/') == std::string::npos);
        FUZZ_CHECK(entry.size >= 0);
    }
    return 0;
}
