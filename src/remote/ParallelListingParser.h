#pragma once

#include "remote/EntryList.h"
#include "remote/ListingParser.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Parses a listing on threads of their own while its bytes arrive, so that
// the thread receiving them only files finished entries and little is left
// to do once the last byte is in. The bytes are cut into pieces of whole
// lines, which the threads parse side by side; the entries come out in
// listing order, exactly as reading the lines one after the other gives
// them (readListingLine's line ends, the first empty line ending the
// listing, and a line longer than any listing holds ending it too).
// Entries carry no type text for regular files: which one a file gets
// depends on the files before it, so the owner gives it while filing them.
// Bytes are fed and entries taken by the owner's thread alone.
class parallelListingParser
{
public:
    // Entries in listing order, a block per piece of the bytes that gave any.
    using entries = std::vector<entryBlock>;

    // `source.listed` and `source.fileTypeTexts` are not used.
    explicit parallelListingParser(listingSource source);
    // Stops the parsing and waits for the threads.
    ~parallelListingParser();

    parallelListingParser(const parallelListingParser&) = delete;
    parallelListingParser& operator=(const parallelListingParser&) = delete;

    // The next bytes, in pieces of any size. Waits while much is still
    // unparsed, so that memory stays bounded when parsing falls behind.
    void feed(std::string_view bytes);
    // The bytes have ended.
    void finish();
    // Drops what is not parsed yet; the threads end soon.
    void stop();

    // The entries that follow those taken before, as far as they are
    // parsed; empty when the next are not ready.
    entries take();
    // The entries that follow, waiting for them; empty once the listing has
    // ended (after finish, or at once after stop) and everything was taken.
    entries waitForMore();

    // What the lines of the entries taken so far gave.
    const listingTally& tally() const { return tally_; }

private:
    struct piece {
        std::size_t number;
        std::string text; // whole lines
    };
    struct parsedPiece {
        entryBlock parsed;
        listingTally tally;
        bool endsListing = false; // held an empty line
    };

    void queue(std::string text);
    // The buffer of a piece parsed before, if one is spare; empty if not.
    std::string spareText();
    void run();
    parsedPiece parse(std::string_view text) const;
    // Moves the parsed pieces that follow the last one taken into `into`.
    void collect(entries& into);
    bool allTaken() const;

    const listingSource source_;
    // The owner's: the unfinished last line of the bytes fed so far, and
    // what the pieces taken gave.
    std::string unfinishedLine_;
    bool feedingEnded_ = false;
    listingTally tally_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<piece> waiting_;
    std::size_t waitingBytes_ = 0;
    std::map<std::size_t, parsedPiece> parsed_; // by number, not yet taken
    std::vector<std::string> spareTexts_; // cleared, their memory kept
    std::size_t numbered_ = 0; // pieces queued so far
    std::size_t taken_ = 0; // the number of the next piece to take
    bool finished_ = false; // no more pieces will be queued
    bool stopped_ = false; // stopped, or the listing ended in a piece taken
    std::vector<std::thread> threads_;
};
