#pragma once

#include "net/FtpDataSink.h"
#include "remote/EntryList.h"
#include "remote/ListingParser.h"
#include "remote/ParallelListingParser.h"

#include <QIODevice>

#include <functional>
#include <string_view>

class TFtpClient;

// Where a listing's bytes go, from the FTP component as they arrive (the
// download sink of a Dir) or from a file read back: into the parallel
// parser, which cuts them into lines once, and out again as blocks of
// entries in listing order, handed to the taker while the bytes still come.
// Nothing keeps the listing whole: the parser holds a bounded run of
// unparsed bytes, and each block is the taker's as soon as it is parsed.
// Every call, the taker's included, runs on the thread that feeds the
// bytes (the one running the FTP request).
class listingSink : public FtpDataSink
{
public:
    // Takes the next block; false when it wants no more of the listing, whose
    // remaining bytes are then ignored.
    using taker = std::function<bool(entryBlock block)>;

    // `source` as for parallelListingParser.
    listingSink(listingSource source, taker take);

    // Every byte fed is written to `device` as well (a cache of the
    // listing); wholeCopy() tells whether all of them got there.
    void copyTo(QIODevice& device) { copy_ = &device; }
    bool wholeCopy() const { return copyWhole_; }

    // Dir on `client` (its host folder and options as set) into this sink,
    // then complete() when the listing came whole, abandon() when not.
    // Returns Dir's outcome; the client keeps no hold on the sink after.
    bool fetch(TFtpClient& client);

    // The next bytes, in pieces of any size.
    void feed(std::string_view bytes);
    // The listing has arrived whole: hands the entries still being parsed.
    // Again, it does nothing.
    void complete();
    // The listing could not be read whole: nothing more is handed.
    void abandon();

    // What the lines of the entries handed gave.
    const listingTally& tally() const { return parser_.tally(); }

    // A listing is read once from its start: another attempt after bytes
    // were handed would hand them again, so it is refused.
    bool start(qint64 position) override;
    bool writeAt(qint64 position, const char* data, qint64 length) override;
    // Listings have no expected end, so nothing is ever beyond it; should
    // bytes be disowned all the same, what they gave is not handed.
    void discardFrom(qint64 position) override;
    void finish() override { }
    QString name() const override { return QStringLiteral("directory listing"); }
    QString failureText() const override;

private:
    void hand(parallelListingParser::entries parsed);

    taker take_;
    parallelListingParser parser_;
    QIODevice* copy_ = nullptr;
    bool copyWhole_ = true;
    bool declined_ = false; // abandoned, or the taker wanted no more
    bool completed_ = false;
    qint64 fed_ = 0;
};
