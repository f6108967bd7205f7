#pragma once

#include "net/FtpLocalFile.h"
#include "net/FtpSocksRoute.h"
#include "net/FtpTypes.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class TWSocket;

// The data connection of the FTP component and the local file at its other
// end: it opens the connection (listening for the server, or connecting to
// it), moves the bytes between the connection and the file, and reports what
// happens. The control side (which command, which replies) stays with
// TCustomFtpCli, which owns one channel and reuses it for every transfer.
//
// The connection of a transfer goes: Idle -> Listening (active) or
// Connecting (passive) -> Established -> Closed. A transfer is over on the
// data side once the channel is Closed; the local file is released then.
//
// Lives in the thread of its component and moves with it (threadDetach,
// threadAttach); the events below run there, from the sockets' events
// (close() and failures may fire them inside the call).
class FtpDataChannel
{
public:
    enum class Phase { Idle, Listening, Connecting, Established, Closed };
    enum class Direction { Download, Upload };
    enum class LocalFailure { None, Write, Read };

    // Downloads take at most this much per read, uploads send blocks of
    // this size, each once the one before has left the outgoing buffer.
    static constexpr int blockSize = 256 * 1024;
    static constexpr int blocksPerEvent = 8;

    FtpDataChannel();
    ~FtpDataChannel();
    FtpDataChannel(const FtpDataChannel&) = delete;
    FtpDataChannel& operator=(const FtpDataChannel&) = delete;

    // Forgets the last transfer and prepares the next one.
    void begin(Direction direction);
    Direction direction() const { return direction_; }
    Phase phase() const { return phase_; }
    FtpLocalFile& file() { return file_; }

    // Received data goes to OnDisplayFile instead of the file.
    void setDisplay(bool on, TFtpDisplayFileMode mode);

    // Active mode: listens on an ephemeral port of all interfaces and
    // returns it; only a connection from `serverAddress` is taken, any
    // other is closed at once. 0 when listening failed (errorText() says why).
    quint16 listen(const QString& serverAddress);
    // Passive mode: connects to `host`:`port` from `localAddress`, through
    // the SOCKS server of `route` when it has one. False when the connect
    // call failed at once (errorText() says why; nothing else fires).
    bool connectTo(
        const QString& host, quint16 port, const QString& localAddress, const FtpSocksRoute& route);
    QString errorText() const { return errorText_; }

    // Uploads send once the server said so and the connection is up.
    void permitSending();
    // Ends the connection (gracefully, so what was sent arrives) and releases
    // the file. The Closed event fires if a connection was up.
    void close();

    qint64 byteCount() const { return byteCount_; }
    // Milliseconds since the connection was established (0 before).
    qint64 elapsedMs() const;
    // The error the connection closed with, the local failure that ended
    // it, and whether the application asked for the abort.
    int closeError() const { return closeError_; }
    LocalFailure localFailure() const { return localFailure_; }
    bool abortedByApplication() const { return aborted_; }
    // An upload reached the end of its file before the connection closed.
    bool sentWholeFile() const { return endOfFile_; }

    void threadDetach();
    void threadAttach();

    // Events. OnProgress gets the bytes moved so far, before each block;
    // returning true aborts the transfer.
    std::function<bool(qint64 count)> OnProgress;
    std::function<void(const QString& line)> OnDisplay;
    std::function<void(const QByteArray& data)> OnDisplayFile;
    std::function<void()> OnEstablished;
    std::function<void(int error)> OnConnectFailed;
    std::function<void(int error)> OnClosed;

private:
    void onSessionAvailable();
    void onSessionConnected(int error);
    void onDataAvailable();
    void onDataSent();
    void onSessionClosed(int error);
    void establish();
    void receiveBlock();
    void deliver(const char* data, qint64 length);
    void sendBlock();
    void postSendKick();
    bool askProgressAbort();
    void failLocally(const QString& logLine, LocalFailure failure);
    void closeListener();

    std::unique_ptr<TWSocket> socket_; // the data connection
    std::unique_ptr<TWSocket> listener_; // active mode, until the server connects
    FtpLocalFile file_;
    std::vector<char> block_;
    Phase phase_ = Phase::Idle;
    Direction direction_ = Direction::Download;
    bool display_ = false;
    TFtpDisplayFileMode displayMode_ = ftpLineByLine;
    QString serverAddress_;
    bool sendPermitted_ = false;
    bool sendStarted_ = false;
    bool endOfFile_ = false;
    bool aborted_ = false;
    qint64 byteCount_ = 0;
    QElapsedTimer established_;
    int closeError_ = 0;
    LocalFailure localFailure_ = LocalFailure::None;
    quint64 transferSerial_ = 0; // voids send kicks of an earlier transfer
    QString errorText_;
};
