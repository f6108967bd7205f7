#pragma once

#include "net/TCustomSocksWSocket.h"

// Line mode: with LineMode on, OnDataAvailable fires once a whole line
// (ending in LineEnd, CR LF by default) has arrived, and Receive returns that
// line with its end. A last line without end is delivered when the
// connection closes, just before OnSessionClosed. A line longer than
// LineLimit bytes ends the connection with error 10040 ("Message too long").
// Off by default: the FTP and HTTP components read their own lines.
class TCustomLineWSocket : public TCustomSocksWSocket
{
    Q_OBJECT

public:
    explicit TCustomLineWSocket(QObject* parent = nullptr);

    bool LineMode() const { return lineMode_; }
    void SetLineMode(bool on) { lineMode_ = on; }
    QByteArray LineEnd() const { return lineEnd_; }
    void SetLineEnd(const QByteArray& end);
    int LineLimit() const { return lineLimit_; }
    void SetLineLimit(int limit) { lineLimit_ = std::max(1, limit); }

    // Length of the next complete line with its end (0 when none is there).
    int NextLineLength() const;

    int Receive(void* buffer, int length) override;

protected:
    void TriggerDataAvailable(int error) override;
    void TriggerSessionClosed(int error) override;
    void ConnectionClosed() override;

private:
    bool fillLineBuffer();

    bool lineMode_ = false;
    QByteArray lineEnd_ = QByteArrayLiteral("\r\n");
    int lineLimit_ = 65536;
    QByteArray lineBuffer_;
    bool lastLine_ = false; // delivering what was left when the peer closed
};
