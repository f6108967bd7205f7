#include "net/FtpDisplaySink.h"

bool FtpDisplaySink::writeAt(qint64, const char* data, qint64 length)
{
    if (!OnDisplayFile)
        return true;
    if (mode_ == ftpBinary) {
        OnDisplayFile(QByteArray(data, length));
        return true;
    }
    qint64 start = 0;
    for (qint64 i = 0; i <= length; ++i) {
        if (i < length && data[i] != '\r' && data[i] != '\n')
            continue;
        if (i > start)
            OnDisplayFile(QByteArray(data + start, i - start));
        start = i + 1;
    }
    return true;
}
