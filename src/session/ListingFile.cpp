#include "session/ListingFile.h"

#include "session/ListingParser.h"

#include <QFile>

#include <algorithm>

namespace
{

constexpr qint64 blockSize = 256 * 1024;
// A line end is at most two bytes: one is known to be whole only when a
// byte follows it, or the bytes have ended.
constexpr std::size_t lineEndLookahead = 2;

} // namespace

namespace
{

bool endsLine(char c)
{
    return c == '\r' || c == '\n' || c == '\0';
}

} // namespace

void listingLineSplitter::feed(std::string_view bytes)
{
    if (ended_)
        return;
    if (pending_.empty()) {
        // Most blocks are cut where they lie; only their unfinished last line
        // is kept.
        const std::size_t used = cut(bytes, 0, false);
        if (!ended_)
            keep(bytes.substr(used));
        return;
    }
    // What is pending holds no line end that a byte followed, so only its
    // last bytes and the new ones need a look: a long line arriving in small
    // pieces costs linear time.
    const std::size_t searched = pending_.size() - std::min(pending_.size(), lineEndLookahead);
    pending_.append(bytes);
    const std::size_t used = cut(pending_, searched, false);
    if (ended_)
        return;
    pending_.erase(0, used);
    if (pending_.size() > longestListingLine)
        ended_ = true;
}

void listingLineSplitter::finish()
{
    if (!ended_)
        cut(pending_, 0, true);
    ended_ = true;
    pending_.clear();
}

std::size_t listingLineSplitter::cut(std::string_view text, std::size_t searched, bool atEnd)
{
    // Lines are whole up to the last line end that has a byte after it (a
    // line end is one or two bytes), or to the end of the bytes.
    std::size_t whole = text.size();
    if (!atEnd) {
        whole = 0;
        for (std::size_t i = text.size(); i-- > searched;) {
            if (i + lineEndLookahead < text.size() && endsLine(text[i])) {
                whole = i + 1;
                break;
            }
        }
    }
    std::size_t position = 0;
    while (position < whole) {
        const std::string_view line = readListingLine(text, position);
        if (line.empty() || !onLine_(line)) {
            ended_ = true;
            pending_.clear();
            return position;
        }
    }
    return position;
}

void listingLineSplitter::keep(std::string_view rest)
{
    if (rest.size() > longestListingLine) {
        ended_ = true;
        return;
    }
    pending_.assign(rest);
}

bool readListingFile(const QString& path, const listingLineSplitter::lineHandler& onLine)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    listingLineSplitter splitter(onLine);
    std::string block(static_cast<std::size_t>(blockSize), '\0');
    while (!splitter.ended()) {
        const qint64 got = file.read(block.data(), blockSize);
        if (got <= 0)
            break;
        splitter.feed(std::string_view(block.data(), static_cast<std::size_t>(got)));
    }
    splitter.finish();
    return true;
}
