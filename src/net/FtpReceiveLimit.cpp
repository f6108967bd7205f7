#include "net/FtpReceiveLimit.h"

#include <algorithm>

FtpReceiveLimit::FtpReceiveLimit(const FtpReceiveBounds& bounds, qint64 start)
    : bounds_(bounds)
    , start_(start)
    , position_(start)
{
}

FtpReceiveLimit::Decision FtpReceiveLimit::judge(const char* data, qint64 length)
{
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
        lines_ += std::count(data, data + length, '\n');
        if (lines_ > bounds_.maxLines)
            return { 0, Verdict::TooLong };
    }
    position_ += length;
    return { length, Verdict::Take };
}
