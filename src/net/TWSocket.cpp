#include "net/TWSocket.h"

#include "net/EventWait.h"

TCustomSyncWSocket::TCustomSyncWSocket(QObject* parent)
    : TCustomLineWSocket(parent)
{
}

std::optional<QByteArray> TCustomSyncWSocket::ReadLine(std::chrono::milliseconds timeout)
{
    const QDeadlineTimer deadline(timeout);
    processEventsUntil([this] { return NextLineLength() > 0 || State() == wsClosed; }, deadline);
    const int length = NextLineLength();
    if (length <= 0)
        return std::nullopt;
    QByteArray line(length, Qt::Uninitialized);
    const int received = Receive(line.data(), length);
    if (received <= 0)
        return std::nullopt;
    line.truncate(received);
    return line;
}

TWSocket::TWSocket(QObject* parent)
    : TCustomSyncWSocket(parent)
{
}
