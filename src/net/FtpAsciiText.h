#pragma once

#include <QByteArray>
#include <QtGlobal>

// The line ends of an ASCII (TYPE A) transfer: CR LF on the wire, LF in the
// files of this system. Every LF of a local file goes out as CR LF and every
// CR LF that comes in lands as LF; a CR on its own is an ordinary byte both
// ways, so a file sent and fetched again in ASCII mode keeps its bytes.

// CR LF to LF over the blocks of one transfer: a CR that ends a block waits
// for the next one.
class FtpAsciiDecoder
{
public:
    // Appends what `data` becomes to `out`.
    void decode(const char* data, qint64 length, QByteArray& out);
    // The data ended: a CR still waiting had no LF after it.
    void flush(QByteArray& out);
    void reset() { pendingCr_ = false; }

private:
    bool pendingCr_ = false;
};

// LF to CR LF in place: the first `length` bytes of `data` grow by one byte
// per LF, so the buffer must hold twice `length`. Returns the new length.
qint64 expandLineEnds(char* data, qint64 length);
