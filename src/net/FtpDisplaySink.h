#pragma once

#include "net/FtpDataSink.h"
#include "net/FtpTypes.h"

#include <QByteArray>

#include <functional>

// A download handed to OnDisplayFile instead of a file (DisplayFileFlag):
// in ftpBinary mode each block as it came, in ftpLineByLine mode cut at
// every run of CR and LF (a line may be cut where a block ends).
class FtpDisplaySink : public FtpDataSink
{
public:
    void setMode(TFtpDisplayFileMode mode) { mode_ = mode; }

    bool start(qint64) override { return true; }
    bool writeAt(qint64 position, const char* data, qint64 length) override;
    void discardFrom(qint64) override { }
    void finish() override { }
    QString name() const override { return QStringLiteral("OnDisplayFile"); }

    std::function<void(const QByteArray& data)> OnDisplayFile;

private:
    TFtpDisplayFileMode mode_ = ftpLineByLine;
};
