#include "net/FtpAsciiText.h"

#include <algorithm>

void FtpAsciiDecoder::decode(const char* data, qint64 length, QByteArray& out)
{
    if (length <= 0)
        return;
    out.reserve(out.size() + length + 1);
    qint64 from = 0;
    if (pendingCr_) {
        pendingCr_ = false;
        if (data[0] != '\n')
            out += '\r';
    }
    for (;;) {
        const char* cr = std::find(data + from, data + length, '\r');
        const auto at = static_cast<qint64>(cr - data);
        out.append(data + from, at - from);
        if (at == length)
            return;
        if (at + 1 == length) {
            pendingCr_ = true;
            return;
        }
        if (data[at + 1] != '\n')
            out += '\r';
        from = at + 1;
    }
}

void FtpAsciiDecoder::flush(QByteArray& out)
{
    if (pendingCr_)
        out += '\r';
    pendingCr_ = false;
}

qint64 expandLineEnds(char* data, qint64 length)
{
    const auto lineEnds = static_cast<qint64>(std::count(data, data + length, '\n'));
    qint64 to = length + lineEnds;
    for (qint64 from = length; from-- > 0;) {
        data[--to] = data[from];
        if (data[from] == '\n')
            data[--to] = '\r';
    }
    return length + lineEnds;
}
