#include "net/TCustomLineWSocket.h"

#include <QPointer>

#include <cstring>

TCustomLineWSocket::TCustomLineWSocket(QObject* parent)
    : TCustomSocksWSocket(parent)
{
}

void TCustomLineWSocket::SetLineEnd(const QByteArray& end)
{
    if (!end.isEmpty())
        lineEnd_ = end;
}

int TCustomLineWSocket::NextLineLength() const
{
    const qsizetype end = lineBuffer_.indexOf(lineEnd_);
    if (end >= 0)
        return static_cast<int>(end + lineEnd_.size());
    return lastLine_ ? static_cast<int>(lineBuffer_.size()) : 0;
}

int TCustomLineWSocket::Receive(void* buffer, int length)
{
    if (!lineMode_ && lineBuffer_.isEmpty())
        return TCustomSocksWSocket::Receive(buffer, length);
    const int count = std::min(NextLineLength(), length);
    if (count <= 0) {
        SetLastError(wsock::WouldBlock);
        return -1;
    }
    std::memcpy(buffer, lineBuffer_.constData(), static_cast<size_t>(count));
    lineBuffer_.remove(0, count);
    ResumeReading();
    return count;
}

bool TCustomLineWSocket::fillLineBuffer()
{
    // Reads no further than one line past the limit, so a reader that does
    // not take its lines holds memory back at the socket, not here.
    char chunk[4096];
    while (lineBuffer_.size() <= lineLimit_) {
        const int received = TCustomSocksWSocket::Receive(chunk, sizeof chunk);
        if (received <= 0)
            break;
        lineBuffer_.append(chunk, received);
    }
    return lineBuffer_.size() <= lineLimit_ || lineBuffer_.indexOf(lineEnd_) >= 0;
}

void TCustomLineWSocket::TriggerDataAvailable(int error)
{
    if (!lineMode_ || State() == wsSocksConnected) {
        TCustomSocksWSocket::TriggerDataAvailable(error);
        return;
    }
    if (!fillLineBuffer()) {
        lineBuffer_.clear();
        CloseWithError(wsock::MessageTooLong);
        return;
    }
    const QPointer<TCustomLineWSocket> alive(this);
    const quint64 serial = ConnectionSerial();
    while (NextLineLength() > 0) {
        const qsizetype before = lineBuffer_.size();
        TCustomSocksWSocket::TriggerDataAvailable(error);
        if (!alive || serial != ConnectionSerial() || lineBuffer_.size() == before)
            return;
    }
}

void TCustomLineWSocket::ConnectionClosed()
{
    TCustomSocksWSocket::ConnectionClosed();
    // A last line without end is still the peer's data; it is handed over
    // just before the session-closed event.
    if (lineMode_ && !lineBuffer_.isEmpty() && lineBuffer_.indexOf(lineEnd_) < 0)
        lastLine_ = true;
    else
        lineBuffer_.clear();
}

void TCustomLineWSocket::TriggerSessionClosed(int error)
{
    if (lastLine_) {
        const QPointer<TCustomLineWSocket> alive(this);
        TCustomSocksWSocket::TriggerDataAvailable(0);
        if (!alive)
            return;
        lastLine_ = false;
        lineBuffer_.clear();
    }
    TCustomSocksWSocket::TriggerSessionClosed(error);
}
