#pragma once

#include "net/FtpDataSink.h"
#include "net/FtpLocalFile.h"
#include "net/FtpTypes.h"

// A download into a local file by name, as Get, RestGet and Dir write by
// LocalFileName: a transfer from position 0 empties (or creates) the file;
// a resumed one appends to what the file holds, whatever its size, so its
// first byte lands at the file's end.
class FtpFileSink : public FtpDataSink
{
public:
    FtpFileSink(const QString& fileName, TFtpShareMode mode);

    bool start(qint64 position) override;
    bool writeAt(qint64 position, const char* data, qint64 length) override;
    void discardFrom(qint64 position) override;
    void finish() override;
    QString name() const override { return fileName_; }
    QString failureText() const override { return file_.errorText(); }

private:
    QString fileName_;
    TFtpShareMode mode_;
    FtpLocalFile file_;
    qint64 delta_ = 0; // local offset minus remote position
};
