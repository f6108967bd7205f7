#include "net/FtpFileSink.h"

FtpFileSink::FtpFileSink(const QString& fileName, TFtpShareMode mode)
    : fileName_(fileName)
    , mode_(mode)
{
}

bool FtpFileSink::start(qint64 position)
{
    const bool append = position > 0;
    if (!file_.openForDownload(fileName_, append, mode_))
        return false;
    delta_ = append ? file_.size() - position : 0;
    return true;
}

bool FtpFileSink::writeAt(qint64 position, const char* data, qint64 length)
{
    return file_.writeAt(position + delta_, data, length);
}

void FtpFileSink::discardFrom(qint64 position)
{
    file_.truncate(position + delta_);
}

void FtpFileSink::finish()
{
    file_.release();
}
