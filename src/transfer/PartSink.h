#pragma once

#include "net/FtpAsciiText.h"
#include "net/FtpDataSink.h"

#include <QByteArray>

class PartStore;

// The bytes of one part, from the FTP component into the part store. A
// transfer must start where the part stands; anything else (a server that
// ignored the resume position) is refused before a byte is written. Worker
// thread only.
//
// In ASCII mode (`text`) the part is the whole file, fetched from its start:
// its CR LF line ends are stored as LF, so the local file is shorter than
// the server's byte count and no remote position maps to a local one.
class PartSink : public FtpDataSink
{
public:
    PartSink() = default;
    PartSink(PartStore& store, int part, bool text);

    bool start(qint64 position) override;
    bool writeAt(qint64 position, const char* data, qint64 length) override;
    void discardFrom(qint64 position) override;
    void finish() override;
    QString name() const override;
    QString failureText() const override;

private:
    bool writeText(const char* data, qint64 length);

    PartStore* store_ = nullptr;
    int part_ = -1;
    bool text_ = false;
    FtpAsciiDecoder decoder_;
    QByteArray converted_;
};
