#pragma once

#include "net/FtpDataSink.h"

class PartStore;

// The bytes of one part, from the FTP component into the part store. A
// transfer must start where the part stands; anything else (a server that
// ignored the resume position) is refused before a byte is written. Worker
// thread only.
class PartSink : public FtpDataSink
{
public:
    PartSink() = default;
    PartSink(PartStore& store, int part);

    bool start(qint64 position) override;
    bool writeAt(qint64 position, const char* data, qint64 length) override;
    void discardFrom(qint64 position) override;
    void finish() override;
    QString name() const override;
    QString failureText() const override;

private:
    PartStore* store_ = nullptr;
    int part_ = -1;
};
