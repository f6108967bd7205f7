#pragma once

#include "net/FtpDataSink.h"
#include "net/FtpLocalFile.h"
#include "net/FtpReceiveLimit.h"
#include "net/SocksRoute.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class TWSocket;

// The data connection of the FTP component and what is at its other end: a
// sink for downloads, a local file for uploads. It opens the connection
// (listening for the server, or connecting to it), moves the bytes, keeps a
// download within its bounds, and reports what happens. The control side
// (which command, which replies, what the transfer's outcome is) stays with
// TCustomFtpCli, which owns one channel and reuses it for every transfer.
//
// The connection of a transfer goes: idle -> listening (active) or
// connecting (passive) -> established -> closed. Once it is closed the sink
// is finished (or the upload's file released) and OnClosed fires.
//
// Lives in the thread of its component and moves with it (threadDetach,
// threadAttach); the events below run there, from the sockets' events
// (close() and failures may fire them inside the call).
class FtpDataChannel
{
public:
    enum class Direction { Download, Upload };
    // Why this side ended the transfer, if it did.
    enum class StopReason {
        None,
        AbortedByApplication, // OnProgress asked for it
        WriteFailed, // the sink could not store a block
        ReadFailed, // the upload's file could not be read
        PartComplete, // a download reached the end of its part
        BeyondExpectedEnd, // the server sent more than the file holds
        TooLong, // a listing went past its limit
    };

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

    // A download: starts `sink` at `start` and stores what arrives there,
    // within `bounds`. False when the sink cannot start (it is finished
    // again at once).
    bool receiveInto(FtpDataSink& sink, qint64 start, const FtpReceiveBounds& bounds);
    // An upload's file, opened by the caller.
    FtpLocalFile& source() { return source_; }

    // Active mode: listens on an ephemeral port of all interfaces and
    // returns it; only a connection from `serverAddress` is taken, any
    // other is closed at once. 0 when listening failed (errorText() says why).
    quint16 listen(const QString& serverAddress);
    // Passive mode: connects to `host`:`port` from `localAddress`, through
    // the SOCKS server of `route` when it has one. False when the connect
    // call failed at once (errorText() says why; nothing else fires).
    bool connectTo(const QString& host, quint16 port, const QString& localAddress, const SocksRoute& route);
    QString errorText() const { return errorText_; }

    // Uploads send once the server said so and the connection is up.
    void permitSending();
    // Ends the connection (gracefully, so what was sent arrives) and
    // releases the sink or file. The Closed event fires if a connection
    // was up.
    void close();

    // Bytes moved by this transfer (a download's: those stored).
    qint64 byteCount() const { return byteCount_; }
    // Where a download's next byte belongs, and whether it ended before
    // the end it was expected to reach.
    qint64 position() const { return limit_.position(); }
    bool endedShort() const { return limit_.endedShort(); }
    qint64 expectedEnd() const { return limit_.expectedEnd(); }
    qint64 reached() const { return limit_.reached(); }
    // Milliseconds since the connection was established (0 before).
    qint64 elapsedMs() const;
    // The error the connection closed with, and why this side ended it.
    int closeError() const { return closeError_; }
    StopReason stopReason() const { return stop_; }
    // An upload reached the end of its file before the connection closed.
    bool sentWholeFile() const { return endOfFile_; }
    // The server closed the connection before a download brought a byte or
    // before an upload was complete, and this side stopped nothing: what a
    // server's early close of the data connection looks like (an empty
    // file's download looks the same until its final reply comes).
    bool droppedByServer() const
    {
        if (stop_ != StopReason::None)
            return false;
        return direction_ == Direction::Upload ? !endOfFile_ : byteCount_ == 0;
    }

    void threadDetach();
    void threadAttach();

    // Events. OnProgress gets the bytes moved so far, before each block;
    // returning true aborts the transfer.
    std::function<bool(qint64 count)> OnProgress;
    std::function<void(const QString& line)> OnDisplay;
    std::function<void(int error)> OnConnectFailed;
    std::function<void(int error)> OnClosed;

private:
    enum class Phase { Idle, Listening, Connecting, Established, Closed };

    void onSessionAvailable();
    void onSessionConnected(int error);
    void onDataAvailable();
    void onDataSent();
    void onSessionClosed(int error);
    void establish();
    void receiveBlock();
    void store(const char* data, qint64 length);
    void sendBlock();
    void postSendKick();
    bool askProgressAbort();
    void stop(StopReason reason, const QString& logLine);
    void releaseEnds();
    void closeListener();

    std::unique_ptr<TWSocket> socket_; // the data connection
    std::unique_ptr<TWSocket> listener_; // active mode, until the server connects
    FtpDataSink* sink_ = nullptr; // a download's, from receiveInto until closed
    FtpReceiveLimit limit_;
    FtpLocalFile source_;
    std::vector<char> block_;
    Phase phase_ = Phase::Idle;
    Direction direction_ = Direction::Download;
    QString serverAddress_;
    bool sendPermitted_ = false;
    bool sendStarted_ = false;
    bool endOfFile_ = false;
    qint64 byteCount_ = 0;
    QElapsedTimer established_;
    int closeError_ = 0;
    StopReason stop_ = StopReason::None;
    quint64 transferSerial_ = 0; // voids send kicks of an earlier transfer
    QString errorText_;
};
