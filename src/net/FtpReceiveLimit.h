#pragma once

#include <QtGlobal>

// How much of the server's data a download takes. Positions are offsets in
// the remote file; -1 means no such bound.
struct FtpReceiveBounds {
    // The file ends here (its size): the data must end exactly there.
    qint64 expectedEnd = -1;
    // A part of the file ends here: the transfer stops there, which is its
    // success, however much more the server would send.
    qint64 stopAt = -1;
    // A listing may not be longer than this many bytes or lines.
    qint64 maxBytes = -1;
    qint64 maxLines = -1;
};

// Checks each received block against the bounds, before anything of it is
// written: bytes beyond an end are never stored.
class FtpReceiveLimit
{
public:
    enum class Verdict {
        Take, // keep the bytes and go on
        PartComplete, // keep the bytes; the part is complete
        BeyondExpectedEnd, // the server sends more than the file holds
        TooLong, // more than maxBytes or maxLines
    };
    struct Decision {
        qint64 keep = 0; // how many bytes of the block to store
        Verdict verdict = Verdict::Take;
    };

    FtpReceiveLimit() = default;
    FtpReceiveLimit(const FtpReceiveBounds& bounds, qint64 start);

    // Judges the next block and moves the position past what it keeps.
    Decision judge(const char* data, qint64 length);

    qint64 start() const { return start_; }
    // Where the next byte belongs.
    qint64 position() const { return position_; }
    // How far the server's data reached, kept or not: past position() when
    // it sent more than the file holds.
    qint64 reached() const { return reached_; }
    // Where the data should end (the part's end, else the file's); -1 when
    // unknown.
    qint64 expectedEnd() const { return bounds_.stopAt >= 0 ? bounds_.stopAt : bounds_.expectedEnd; }
    // The data ended before it.
    bool endedShort() const { return expectedEnd() >= 0 && position_ < expectedEnd(); }
    const FtpReceiveBounds& bounds() const { return bounds_; }

private:
    FtpReceiveBounds bounds_;
    qint64 start_ = 0;
    qint64 position_ = 0;
    qint64 reached_ = 0;
    qint64 lines_ = 0;
};
