#pragma once

#include "net/TCustomLineWSocket.h"

#include <chrono>
#include <optional>

// Blocking helpers over the event-driven socket, built on
// processEventsUntil() (net/EventWait.h).
class TCustomSyncWSocket : public TCustomLineWSocket
{
    Q_OBJECT

public:
    explicit TCustomSyncWSocket(QObject* parent = nullptr);

    // Waits for the next line (line mode must be on) while running this
    // thread's events; returns it with its line end, or nothing when the
    // time runs out, the connection ends or the application quits. Meant for
    // sockets without an OnDataAvailable handler, which would take the lines
    // first.
    std::optional<QByteArray> ReadLine(std::chrono::milliseconds timeout);
};

// The program's TCP socket: events (TCustomWSocket), SOCKS 4/4A/5
// (TCustomSocksWSocket), line mode (TCustomLineWSocket) and blocking helpers.
class TWSocket : public TCustomSyncWSocket
{
    Q_OBJECT

public:
    explicit TWSocket(QObject* parent = nullptr);
};
