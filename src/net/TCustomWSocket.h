#pragma once

#include "net/SocketErrors.h"
#include "net/TBuffer.h"

#include <QFlags>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QHostInfo;
class QSocketNotifier;

enum TSocketState {
    wsInvalidState,
    wsOpened,
    wsBound,
    wsConnecting,
    wsSocksConnected,
    wsConnected,
    wsAccepting,
    wsListening,
    wsClosed
};

enum TSocketLingerOnOff { wsLingerOff, wsLingerOn, wsLingerNoSet };

enum TWSocketOption { wsoNoReceiveLoop = 0x1, wsoTcpNoDelay = 0x2 };
Q_DECLARE_FLAGS(TWSocketOptions, TWSocketOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TWSocketOptions)

// An IPv4 address and port as a socket reports them.
struct TSocketEndpoint {
    QString address;
    quint16 port = 0;
};

// A non-blocking TCP socket whose network events arrive as callbacks on the
// thread that owns it (the thread that created it, or the one that last
// called ThreadAttach), through that thread's event loop. Every method must be
// called on the owning thread, except ThreadAttach (on the new owner) and the
// destructor of a detached socket (anywhere).
//
// Events are the public std::function members below; assign the ones you
// need, the others are simply not called. They always run on the owning
// thread from its event loop, with these exceptions made on purpose:
// DnsLookup of a dotted address answers inside the call, and Close, Abort
// and socket errors fire OnSessionClosed inside the call that closed.
//
// Connection life: OnSessionConnected(error) ends every Connect: 0 means the
// connection is usable, anything else means it failed and the socket is
// already closed. OnSessionClosed(error) fires exactly once for every
// connection that OnSessionConnected reported with 0 (or that Dup adopted),
// when it ends for whatever reason (peer, error, Close, CloseDelayed, Abort);
// when it runs the socket is already in wsClosed, so the handler may set the
// socket up and connect again. Nothing fires for a failed connect, for a
// listening socket, or while the socket is being destroyed.
//
// Errors: usage errors ("Cannot change Port if not closed", ...) and failed
// socket calls ("Error 10048 in function bind\r\nAddress already in use") go
// to OnError when it is assigned and are thrown as ESocketException
// otherwise. Exceptions never travel through the event loop: one that escapes
// a handler is caught where the event entered the socket and logged.
//
// Delete a socket from one of its own handlers only through deleteLater().
class TCustomWSocket : public QObject
{
    Q_OBJECT

public:
    explicit TCustomWSocket(QObject* parent = nullptr);
    ~TCustomWSocket() override;

    // Settings. Each may only change while the socket is closed; Close()
    // returns Addr, Port, Proto, LocalAddr, LocalPort and the linger setting
    // to their defaults, so set them again before every connection.
    QString Addr() const { return addr_; }
    void SetAddr(const QString& addr);
    QString Port() const { return port_; }
    void SetPort(const QString& port);
    QString Proto() const { return proto_; }
    void SetProto(const QString& proto);
    QString LocalAddr() const { return localAddr_; }
    void SetLocalAddr(const QString& addr);
    QString LocalPort() const { return localPort_; }
    void SetLocalPort(const QString& port);
    // Default: on with time-out 0, which resets the connection on close and
    // drops what the system had not sent yet; use wsLingerOff when the peer
    // must receive everything up to the close. Takes effect at the next
    // Connect/Dup or at SetLingerOption().
    TSocketLingerOnOff LingerOnOff() const { return lingerOnOff_; }
    void SetLingerOnOff(TSocketLingerOnOff value) { lingerOnOff_ = value; }
    int LingerTimeout() const { return lingerTimeout_; }
    void SetLingerTimeout(int seconds) { lingerTimeout_ = seconds; }
    void SetLingerOption();
    TWSocketOptions ComponentOptions() const { return options_; }
    void SetComponentOptions(TWSocketOptions options) { options_ = options; }
    // Kept for the components that pass it on; waits always run the calling
    // thread's own events, which on the main thread include the views.
    bool MultiThreaded() const { return multiThreaded_; }
    void SetMultiThreaded(bool value) { multiThreaded_ = value; }
    // Size of each block of the outgoing buffer (1460 by default).
    int BufSize() const { return sendBuffer_.BlockSize(); }
    void SetBufSize(int size) { sendBuffer_.SetBlockSize(size); }
    int ListenBacklog() const { return listenBacklog_; }
    void SetListenBacklog(int backlog) { listenBacklog_ = backlog; }

    // State and results.
    TSocketState State() const { return state_; }
    int LastError() const { return lastError_; }
    QString DnsResult() const { return dnsResult_; }
    QStringList DnsResultList() const { return dnsResultList_; }
    int Handle() const { return fd_; }
    // Bytes accepted by Send but not yet handed to the system.
    qint64 BufferedByteCount() const { return sendBuffer_.ByteCount(); }
    bool Terminated() const { return terminated_; }

    // Name resolution: a dotted address answers at once (OnDnsLookupDone(0)
    // inside the call); a name starts an asynchronous lookup whose end fires
    // OnDnsLookupDone with 0 (DnsResult() holds the first IPv4 address) or
    // the error code (11001 for an unknown name).
    void DnsLookup(const QString& host);
    void CancelDnsLookup();

    // Connects to Addr:Port (Addr may be a name, resolved here, blocking).
    virtual void Connect();
    // Listens on Addr:Port ("0.0.0.0" and "0" let the system choose the
    // port; GetSockName() tells it); OnSessionAvailable fires for each
    // incoming connection, and again only after Accept() was called.
    virtual void Listen();
    // Takes a pending incoming connection; returns its handle (-1 when none
    // is waiting, LastError() 10035). The caller owns the handle until it
    // gives it to Dup().
    int Accept();
    // Makes this socket use a connected handle from Accept(): state
    // wsConnected, no OnSessionConnected. A socket still open is closed first.
    void Dup(int handle);

    // Appends to the outgoing buffer and sends what the system takes now;
    // OnDataSent fires (posted) once the buffer has drained. Returns `length`,
    // or -1 when the socket is not connected (error 10057).
    int Send(const void* data, int length);
    int SendStr(const QByteArray& text) { return Send(text.constData(), static_cast<int>(text.size())); }
    // Only appends; the data leaves with the next Send or write readiness.
    void PutDataInSendBuffer(const void* data, int length);

    // Reads what is available: > 0 bytes read, 0 at the end of the stream,
    // -1 with LastError() 10035 when nothing is waiting.
    virtual int Receive(void* buffer, int length);
    QByteArray ReceiveStr();

    void Close();
    // Closes after the current event: the close is posted to the owning
    // thread's queue (and dropped if the socket meanwhile got a new connection).
    void CloseDelayed();
    // Drops unsent data, cancels a lookup and resets the connection.
    void Abort();
    // 0: no more receiving, 1: no more sending (the peer sees the end), 2: both.
    // When the outgoing buffer still holds data, the shutdown waits until it
    // has been sent.
    void Shutdown(int how);

    TSocketEndpoint GetSockName();
    TSocketEndpoint GetPeerName();

    // Moving between threads. The owner calls ThreadDetach; from then on no
    // event is delivered until the new owner calls ThreadAttach on its own
    // thread. The connection and anything pending stay as they were.
    void ThreadDetach();
    void ThreadAttach();
    // (A socket that moves between threads must not have a QObject parent.)
    bool IsDetached() const;

    // Runs the calling thread's pending events; returns (and remembers in
    // Terminated()) whether the application or thread is asked to end.
    bool ProcessMessages();

    // The IPv4 addresses of this machine's network interfaces.
    static QStringList LocalIPList();

    // Events (see the class comment for when they fire).
    std::function<void(int error)> OnSessionConnected;
    std::function<void(int error)> OnDataAvailable;
    std::function<void(int error)> OnDataSent;
    std::function<void(int error)> OnSessionClosed;
    std::function<void(int error)> OnSessionAvailable;
    std::function<void(int error)> OnDnsLookupDone;
    std::function<void(TSocketState oldState, TSocketState newState)> OnChangeState;
    std::function<void(const ESocketException& error)> OnError;

protected:
    // Hooks for the layers above; each default fires the matching event.
    virtual void TriggerSessionConnected(int error);
    virtual void TriggerDataAvailable(int error);
    virtual void TriggerDataSent(int error);
    virtual void TriggerSessionClosed(int error);
    // The TCP connection is up (state still wsConnecting); the default makes
    // it wsConnected and fires session connected.
    virtual void HandleConnected();
    // The peer ended a connection whose session was never reported.
    virtual void HandleClosedBeforeSession(int error);
    // The socket has just been closed; layers drop their per-connection state.
    virtual void ConnectionClosed() { }

    void ChangeState(TSocketState newState);
    // Checks the settings every Connect needs (usage errors if missing).
    bool CheckConnectSettings();
    // Creates the socket, binds it when asked and starts a non-blocking
    // connect to `address`:`port` (IPv4, host byte order).
    void ConnectTo(quint32 address, quint16 port);
    // A connect failed: the default closes without session closed, then
    // fires session connected with `error`.
    virtual void HandleConnectFailed(int error);
    // Sends bytes of this layer's own without a data-sent event.
    void SendQuietly(const QByteArray& data);
    // Reads from the system, bypassing the layers above.
    int ReceiveFromSocket(void* buffer, int length);
    // Usage error: OnError or throw.
    void RaiseException(const QString& message);
    // Failed socket call: closes on 10054/10057, then OnError or throw.
    void SocketError(const QString& function, int code);
    // Closes the connection and fires session closed once (when one was
    // reported) with `error`.
    void CloseWithError(int error);
    quint64 ConnectionSerial() const { return serial_; }
    void SetLastError(int code) { lastError_ = code; }
    // Lets read events come again after a layer above took buffered data.
    void ResumeReading() { resumeReading(); }

private:
    void onReadable();
    void onWritable();
    void onHostLookedUp(const QHostInfo& info);
    void completeConnect();
    void deliverBeforeClose(int error);
    enum class DrainNotice { Post, Fire, None };
    void tryToSend(DrainNotice notice);
    void shutdownNow(int how);
    void postDataSent();
    void flushDeferredSend();
    void pauseReading();
    void resumeReading();
    void createNotifiers();
    void deleteNotifiers();
    void updateNotifiers();
    void internalClose(int error, bool fireSessionClosed);
    void resetSettings();
    void applySocketOptions();
    int availableBytes() const;
    bool allowChange(const char* setting);
    void failSetup(const char* function, int code);
    void postConnectFailure(int code);
    // Runs one incoming event; exceptions stop here.
    template <typename F> void dispatch(const char* where, F&& handler);

    QString addr_, port_, proto_, localAddr_, localPort_;
    TSocketLingerOnOff lingerOnOff_ = wsLingerOn;
    int lingerTimeout_ = 0;
    TWSocketOptions options_;
    bool multiThreaded_ = false;
    int listenBacklog_ = 5;

    int fd_ = -1;
    TSocketState state_ = wsClosed;
    int lastError_ = 0;
    quint64 serial_ = 0; // bumps with every close, voids posted events
    bool sessionOpen_ = false; // OnSessionConnected(0) or Dup happened
    bool readPaused_ = false; // a read event went unanswered
    bool receivedDuringEvent_ = false;
    bool terminated_ = false;
    bool destroying_ = false;
    TBufferList sendBuffer_ { 1460 };
    QByteArray deferredSend_; // user data sent before SOCKS was through
    int pendingShutdown_ = -1; // Shutdown(how) waiting for the buffer to drain
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;

    int dnsLookupId_ = -1;
    quint64 dnsSerial_ = 0;
    QString dnsResult_;
    QStringList dnsResultList_;
};
