#include "net/FtpReceiveLimit.h"

#include <algorithm>
#include <cstring>

namespace
{

// Listing lines are tens of bytes long: memchr skips them many bytes at a
// time, where a count looks at every byte.
qint64 lineEnds(const char* data, qint64 length)
{
    qint64 count = 0;
    const char* const end = data + length;
    for (const char* at = data; (at = static_cast<const char*>(std::memchr(at, '\n', end - at))); ++at)
        ++count;
    return count;
}

} // namespace

FtpReceiveLimit::FtpReceiveLimit(const FtpReceiveBounds& bounds, qint64 start)
    : bounds_(bounds)
    , start_(start)
    , position_(start)
    , reached_(start)
{
}

FtpReceiveLimit::Decision FtpReceiveLimit::judge(const char* data, qint64 length)
{
    reached_ = std::max(reached_, position_ + length);
    if (bounds_.stopAt >= 0 && position_ + length >= bounds_.stopAt) {
        const qint64 keep = std::max<qint64>(0, bounds_.stopAt - position_);
        position_ += keep;
        return { keep, Verdict::PartComplete };
    }
    if (bounds_.expectedEnd >= 0 && position_ + length > bounds_.expectedEnd)
        return { 0, Verdict::BeyondExpectedEnd };
    if (bounds_.maxBytes >= 0 && position_ - start_ + length > bounds_.maxBytes)
        return { 0, Verdict::TooLong };
    if (bounds_.maxLines >= 0) {
        lines_ += lineEnds(data, length);
        if (lines_ > bounds_.maxLines)
            return { 0, Verdict::TooLong };
    }
    position_ += length;
    return { length, Verdict::Take };
}
