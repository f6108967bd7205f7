#include "remote/ParallelListingParser.h"

#include <algorithm>

namespace
{

// Unparsed bytes the feeding thread may run ahead by: a few of the data
// channel's blocks, enough to keep every parsing thread busy.
constexpr std::size_t mostWaitingBytes = 2 * 1024 * 1024;
// Beside the receiving thread, more threads than this only wait for a core
// on the machines the program runs on.
constexpr unsigned mostThreads = 2;
// Buffers of parsed pieces kept for the next: as many as can wait unparsed
// in pieces of the data channel's size, and one per thread.
constexpr std::size_t mostSpareTexts = mostWaitingBytes / (256 * 1024) + mostThreads;

bool endsLine(char c)
{
    return c == '\r' || c == '\n' || c == '\0';
}

// Where the whole lines of `text` end: after the last line end that a line
// start follows, so that no line end (one or two bytes) is cut in two. 0
// when there is no such place. The first `unfinished` bytes are known to
// hold none, so that a long line arriving in small pieces costs linear time.
std::size_t wholeLinesEnd(std::string_view text, std::size_t unfinished)
{
    for (std::size_t at = text.size(); at-- > std::max<std::size_t>(unfinished, 1);) {
        if (!endsLine(text[at]) && endsLine(text[at - 1]))
            return at;
    }
    return 0;
}

std::size_t lineFeedsIn(std::string_view text)
{
    std::size_t count = 0;
    for (auto at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1))
        ++count;
    return count;
}

listingSource withoutTypeTexts(listingSource source)
{
    source.listed = nullptr;
    source.fileTypeTexts = false;
    return source;
}

} // namespace

parallelListingParser::parallelListingParser(listingSource source)
    : source_(withoutTypeTexts(std::move(source)))
{
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1U, mostThreads);
    for (unsigned i = 0; i < threads; ++i)
        threads_.emplace_back([this] { run(); });
}

parallelListingParser::~parallelListingParser()
{
    stop();
    for (std::thread& thread : threads_)
        thread.join();
}

void parallelListingParser::feed(std::string_view bytes)
{
    if (feedingEnded_ || bytes.empty())
        return;
    const std::size_t unfinished = unfinishedLine_.size();
    std::string text = std::move(unfinishedLine_);
    if (text.capacity() < unfinished + bytes.size()) {
        // A piece's buffer again rather than fresh memory, whose every page
        // would fault on first touch: 8 MB of listing make 2,000 faults.
        std::string spare = spareText();
        if (spare.capacity() >= unfinished + bytes.size())
            text = std::move(spare.assign(text));
    }
    text.append(bytes);
    const std::size_t whole = wholeLinesEnd(text, unfinished);
    if (whole == 0) {
        unfinishedLine_ = std::move(text);
    } else {
        unfinishedLine_.assign(text, whole);
        text.resize(whole);
        queue(std::move(text));
    }
    if (unfinishedLine_.size() > longestListingLine) {
        // No listing holds such a line: it ends here, as a line splitter's.
        unfinishedLine_.clear();
        finish();
    }
}

void parallelListingParser::finish()
{
    if (!feedingEnded_ && !unfinishedLine_.empty())
        queue(std::exchange(unfinishedLine_, {}));
    feedingEnded_ = true;
    const std::lock_guard lock(mutex_);
    finished_ = true;
    changed_.notify_all();
}

void parallelListingParser::stop()
{
    feedingEnded_ = true;
    const std::lock_guard lock(mutex_);
    stopped_ = true;
    waiting_.clear();
    waitingBytes_ = 0;
    parsed_.clear();
    changed_.notify_all();
}

parallelListingParser::entries parallelListingParser::take()
{
    entries taken;
    const std::lock_guard lock(mutex_);
    collect(taken);
    return taken;
}

parallelListingParser::entries parallelListingParser::waitForMore()
{
    entries taken;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] {
        collect(taken);
        return !taken.empty() || allTaken();
    });
    return taken;
}

void parallelListingParser::queue(std::string text)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return waitingBytes_ < mostWaitingBytes || stopped_; });
    if (stopped_)
        return;
    waitingBytes_ += text.size();
    waiting_.push_back(piece { numbered_++, std::move(text) });
    changed_.notify_all();
}

void parallelListingParser::run()
{
    for (;;) {
        piece next;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return !waiting_.empty() || finished_ || stopped_; });
            if (stopped_ || waiting_.empty())
                return;
            next = std::move(waiting_.front());
            waiting_.pop_front();
            waitingBytes_ -= next.text.size();
            changed_.notify_all();
        }
        parsedPiece result = parse(next.text);
        const std::lock_guard lock(mutex_);
        if (!stopped_)
            parsed_.emplace(next.number, std::move(result));
        if (spareTexts_.size() < mostSpareTexts) {
            next.text.clear();
            spareTexts_.push_back(std::move(next.text));
        }
        changed_.notify_all();
    }
}

std::string parallelListingParser::spareText()
{
    const std::lock_guard lock(mutex_);
    if (spareTexts_.empty())
        return {};
    std::string spare = std::move(spareTexts_.back());
    spareTexts_.pop_back();
    return spare;
}

parallelListingParser::parsedPiece parallelListingParser::parse(std::string_view text) const
{
    parsedPiece result;
    // Exact for the usual line ends; a listing ending its lines otherwise
    // only grows the block.
    result.parsed.reserve(lineFeedsIn(text) + 1);
    std::size_t position = 0;
    while (position < text.size()) {
        const std::string_view line = readListingLine(text, position);
        if (line.empty()) {
            result.endsListing = true;
            break;
        }
        if (!parseListingLine(line, source_, result.parsed.emplace_back(), result.tally))
            result.parsed.pop_back();
    }
    return result;
}

void parallelListingParser::collect(entries& into)
{
    while (!stopped_) {
        const auto next = parsed_.find(taken_);
        if (next == parsed_.end())
            return;
        parsedPiece& piece = next->second;
        tally_ += piece.tally;
        if (!piece.parsed.empty())
            into.push_back(std::move(piece.parsed));
        ++taken_;
        const bool endsListing = piece.endsListing;
        parsed_.erase(next);
        if (endsListing) {
            // What follows an empty line is no part of the listing.
            stopped_ = true;
            waiting_.clear();
            waitingBytes_ = 0;
            parsed_.clear();
            changed_.notify_all();
        }
    }
}

bool parallelListingParser::allTaken() const
{
    return stopped_ || (finished_ && taken_ == numbered_);
}
