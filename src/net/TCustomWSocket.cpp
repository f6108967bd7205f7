#include "net/TCustomWSocket.h"

#include "net/EventWait.h"
#include "net/WSocketResolve.h"

#include <QCoreApplication>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace
{

bool isConnectedState(TSocketState state)
{
    return state == wsConnected || state == wsSocksConnected;
}

// Failures a non-blocking connect may report at once instead of later; they
// end the connect like a late failure would, through OnSessionConnected.
bool isConnectOutcome(int code)
{
    switch (code) {
    case wsock::ConnectionRefused:
    case wsock::TimedOut:
    case 10051: // network unreachable
    case 10065: // no route to host
    case 10064: // host is down
        return true;
    default:
        return false;
    }
}

// Send failures after which the connection is gone.
bool isFatalSendError(int code)
{
    switch (code) {
    case wsock::ConnectionReset:
    case wsock::NotSocket:
    case wsock::NotConnected:
    case wsock::InvalidArgument:
    case wsock::ConnectionAborted:
    case wsock::Shutdown: // the system's broken pipe
        return true;
    default:
        return false;
    }
}

// Data-available rounds one read event may run (see onReadable).
constexpr int receiveRounds = 8;

int lastSystemError()
{
    return wsocketErrorFromErrno(errno);
}

sockaddr_in ipv4SocketAddress(quint32 address, quint16 port)
{
    sockaddr_in result {};
    result.sin_family = AF_INET;
    result.sin_addr.s_addr = htonl(address);
    result.sin_port = htons(port);
    return result;
}

TSocketEndpoint endpointOf(const sockaddr_in& address)
{
    return { ipv4Text(ntohl(address.sin_addr.s_addr)), ntohs(address.sin_port) };
}

void setIntOption(int fd, int level, int name, int value)
{
    ::setsockopt(fd, level, name, &value, sizeof value);
}

} // namespace

TCustomWSocket::TCustomWSocket(QObject* parent)
    : QObject(parent)
{
    resetSettings();
}

TCustomWSocket::~TCustomWSocket()
{
    // A socket being destroyed tells nobody: its owner is going away.
    destroying_ = true;
    // A lookup still running is not aborted (see CancelDnsLookup): its answer
    // goes nowhere once its receiver, this socket, is gone.
    deleteNotifiers();
    if (fd_ >= 0)
        ::close(fd_);
}

template <typename F> void TCustomWSocket::dispatch(const char* where, F&& handler)
{
    // The event loop cannot carry exceptions; one that got this far has no
    // handler left to reach.
    try {
        handler();
    } catch (const std::exception& e) {
        qWarning("TWSocket: %s event: %s", where, e.what());
    }
}

// ---------------------------------------------------------------- settings

void TCustomWSocket::resetSettings()
{
    addr_.clear();
    port_.clear();
    proto_ = QStringLiteral("tcp");
    localAddr_ = QStringLiteral("0.0.0.0");
    localPort_ = QStringLiteral("0");
    lingerOnOff_ = wsLingerOn;
    lingerTimeout_ = 0;
}

bool TCustomWSocket::allowChange(const char* setting)
{
    if (state_ == wsClosed)
        return true;
    RaiseException(QStringLiteral("Cannot change %1 if not closed").arg(QLatin1String(setting)));
    return false;
}

void TCustomWSocket::SetAddr(const QString& addr)
{
    if (allowChange("Addr"))
        addr_ = addr;
}

void TCustomWSocket::SetPort(const QString& port)
{
    if (allowChange("Port"))
        port_ = port;
}

void TCustomWSocket::SetProto(const QString& proto)
{
    if (allowChange("Proto"))
        proto_ = proto;
}

void TCustomWSocket::SetLocalAddr(const QString& addr)
{
    if (allowChange("LocalAddr"))
        localAddr_ = addr;
}

void TCustomWSocket::SetLocalPort(const QString& port)
{
    if (allowChange("LocalPort"))
        localPort_ = port;
}

void TCustomWSocket::SetLingerOption()
{
    if (fd_ < 0 || lingerOnOff_ == wsLingerNoSet)
        return;
    linger value {};
    value.l_onoff = lingerOnOff_ == wsLingerOn ? 1 : 0;
    value.l_linger = lingerTimeout_;
    if (::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &value, sizeof value) != 0)
        SocketError(QStringLiteral("setsockopt(SO_LINGER)"), lastSystemError());
}

void TCustomWSocket::applySocketOptions()
{
    setIntOption(fd_, SOL_SOCKET, SO_REUSEADDR, 1);
    if (options_.testFlag(wsoTcpNoDelay))
        setIntOption(fd_, IPPROTO_TCP, TCP_NODELAY, 1);
    SetLingerOption();
    setIntOption(fd_, SOL_SOCKET, SO_KEEPALIVE, 1);
}

// ---------------------------------------------------------------- errors

void TCustomWSocket::RaiseException(const QString& message)
{
    const ESocketException error(message);
    if (OnError)
        OnError(error);
    else
        throw error;
}

void TCustomWSocket::SocketError(const QString& function, int code)
{
    lastError_ = code;
    if ((code == wsock::ConnectionReset || code == wsock::NotConnected) && sessionOpen_)
        CloseWithError(code);
    const ESocketException error(socketErrorText(function, code), code);
    if (OnError)
        OnError(error);
    else
        throw error;
}

void TCustomWSocket::failSetup(const char* function, int code)
{
    internalClose(code, false);
    SocketError(QLatin1String(function), code);
}

// ---------------------------------------------------------------- state

void TCustomWSocket::ChangeState(TSocketState newState)
{
    const TSocketState oldState = state_;
    if (oldState == newState)
        return;
    state_ = newState;
    if (newState == wsConnected && !deferredSend_.isEmpty()) {
        const QByteArray held = std::exchange(deferredSend_, {});
        sendBuffer_.Append(held.constData(), static_cast<int>(held.size()));
        tryToSend(DrainNotice::Post);
    }
    updateNotifiers();
    if (OnChangeState)
        OnChangeState(oldState, newState);
}

// ---------------------------------------------------------------- notifiers

void TCustomWSocket::createNotifiers()
{
    if (fd_ < 0 || readNotifier_ || IsDetached())
        return;
    readNotifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    writeNotifier_ = new QSocketNotifier(fd_, QSocketNotifier::Write, this);
    connect(readNotifier_, &QSocketNotifier::activated, this, &TCustomWSocket::onReadable);
    connect(writeNotifier_, &QSocketNotifier::activated, this, &TCustomWSocket::onWritable);
    updateNotifiers();
}

void TCustomWSocket::deleteNotifiers()
{
    delete readNotifier_;
    delete writeNotifier_;
    readNotifier_ = nullptr;
    writeNotifier_ = nullptr;
}

void TCustomWSocket::updateNotifiers()
{
    if (!readNotifier_)
        return;
    const bool reading = (isConnectedState(state_) || state_ == wsConnecting || state_ == wsListening);
    readNotifier_->setEnabled(reading && !readPaused_);
    writeNotifier_->setEnabled(
        state_ == wsConnecting || (isConnectedState(state_) && !sendBuffer_.IsEmpty()));
}

void TCustomWSocket::pauseReading()
{
    // Readiness is level-triggered: a read event nobody answered would come
    // back at once, forever. It waits for the next Receive or Accept instead.
    readPaused_ = true;
    updateNotifiers();
}

void TCustomWSocket::resumeReading()
{
    if (!readPaused_)
        return;
    readPaused_ = false;
    updateNotifiers();
}

// ---------------------------------------------------------------- resolution

void TCustomWSocket::DnsLookup(const QString& host)
{
    CancelDnsLookup();
    if (host.isEmpty()) {
        RaiseException(QStringLiteral("DNS lookup: invalid host name."));
        if (OnDnsLookupDone)
            OnDnsLookupDone(wsock::InvalidArgument);
        return;
    }
    dnsResult_.clear();
    dnsResultList_.clear();
    if (WSocketIsDottedIP(host)) {
        dnsResult_ = host;
        dnsResultList_ = QStringList { host };
        if (OnDnsLookupDone)
            OnDnsLookupDone(wsock::NoError);
        return;
    }
    if (isReservedInvalidName(host)) {
        QMetaObject::invokeMethod(
            this,
            [this, serial = dnsSerial_] {
                dispatch("name resolved", [&] {
                    if (serial == dnsSerial_ && OnDnsLookupDone)
                        OnDnsLookupDone(wsock::HostNotFound);
                });
            },
            Qt::QueuedConnection);
        return;
    }
    dnsLookupId_ = QHostInfo::lookupHost(host, this, &TCustomWSocket::onHostLookedUp);
}

void TCustomWSocket::CancelDnsLookup()
{
    ++dnsSerial_;
    // Forgetting the lookup's id is enough: onHostLookedUp drops an answer
    // that is not the one awaited. QHostInfo::abortHostLookup would leak the
    // lookup's result object on every cancel (Qt 6.4).
    dnsLookupId_ = -1;
}

void TCustomWSocket::onHostLookedUp(const QHostInfo& info)
{
    if (info.lookupId() != dnsLookupId_)
        return;
    dnsLookupId_ = -1;
    for (const QHostAddress& address : info.addresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            dnsResultList_ << address.toString();
    }
    int error = wsock::NoError;
    if (info.error() == QHostInfo::HostNotFound)
        error = wsock::HostNotFound;
    else if (info.error() != QHostInfo::NoError)
        error = wsock::TryAgain;
    else if (dnsResultList_.isEmpty())
        error = wsock::NoData; // the name exists, but has no IPv4 address
    if (!dnsResultList_.isEmpty())
        dnsResult_ = dnsResultList_.first();
    dispatch("name resolved", [&] {
        if (OnDnsLookupDone)
            OnDnsLookupDone(error);
    });
}

// ---------------------------------------------------------------- connecting

bool TCustomWSocket::CheckConnectSettings()
{
    if (state_ != wsClosed)
        RaiseException(QStringLiteral("Connect: Socket already in use"));
    else if (port_.isEmpty())
        RaiseException(QStringLiteral("Connect: No Port Specified"));
    else if (addr_.isEmpty())
        RaiseException(QStringLiteral("Connect: No IP Address Specified"));
    else if (proto_.isEmpty())
        RaiseException(QStringLiteral("Connect: No Protocol Specified"));
    else
        return true;
    return false;
}

void TCustomWSocket::Connect()
{
    if (!CheckConnectSettings())
        return;
    quint32 address = 0;
    quint16 port = 0;
    try {
        if (WSocketResolveProto(proto_) != IPPROTO_TCP) {
            SocketError(QStringLiteral("socket"), wsock::ProtocolNotSupported);
            return;
        }
        port = WSocketResolvePort(port_, proto_);
        address = WSocketResolveHost(addr_);
    } catch (const ESocketException& e) {
        RaiseException(QStringLiteral("connect: ") + e.message());
        return;
    }
    ConnectTo(address, port);
}

void TCustomWSocket::ConnectTo(quint32 address, quint16 port)
{
    quint32 localAddress = 0;
    quint16 localPort = 0;
    try {
        localAddress = WSocketResolveHost(localAddr_);
        localPort = WSocketResolvePort(localPort_, proto_);
    } catch (const ESocketException& e) {
        RaiseException(QStringLiteral("connect: ") + e.message());
        return;
    }
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        SocketError(QStringLiteral("socket"), lastSystemError());
        return;
    }
    ChangeState(wsOpened);
    applySocketOptions();
    if (localAddress != 0 || localPort != 0) {
        const sockaddr_in local = ipv4SocketAddress(localAddress, localPort);
        if (::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            failSetup("bind", lastSystemError());
            return;
        }
        ChangeState(wsBound);
    }
    const sockaddr_in remote = ipv4SocketAddress(address, port);
    int result;
    do {
        result = ::connect(fd_, reinterpret_cast<const sockaddr*>(&remote), sizeof remote);
    } while (result != 0 && errno == EINTR);
    const int code = result == 0 ? wsock::NoError : lastSystemError();
    if (code != wsock::NoError && code != wsock::InProgress && !isConnectOutcome(code)) {
        failSetup("connect", code);
        return;
    }
    ChangeState(wsConnecting);
    createNotifiers();
    if (isConnectOutcome(code))
        postConnectFailure(code);
}

void TCustomWSocket::postConnectFailure(int code)
{
    // The caller learns the outcome of every connect from the same event,
    // never from inside its own Connect call.
    deleteNotifiers();
    QMetaObject::invokeMethod(
        this,
        [this, serial = serial_, code] {
            dispatch("connect", [&] {
                if (serial == serial_ && state_ == wsConnecting)
                    HandleConnectFailed(code);
            });
        },
        Qt::QueuedConnection);
}

void TCustomWSocket::completeConnect()
{
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    if (error != 0)
        HandleConnectFailed(wsocketErrorFromErrno(error));
    else
        HandleConnected();
}

void TCustomWSocket::HandleConnected()
{
    ChangeState(wsConnected);
    TriggerSessionConnected(wsock::NoError);
}

void TCustomWSocket::HandleConnectFailed(int error)
{
    lastError_ = error;
    internalClose(error, false);
    TriggerSessionConnected(error);
}

void TCustomWSocket::HandleClosedBeforeSession(int error)
{
    internalClose(error, false);
}

// ---------------------------------------------------------------- listening

void TCustomWSocket::Listen()
{
    if (state_ != wsClosed) {
        RaiseException(QStringLiteral("listen: socket already in use"));
        return;
    }
    if (addr_.isEmpty()) {
        RaiseException(QStringLiteral("listen: address not assigned"));
        return;
    }
    if (port_.isEmpty()) {
        RaiseException(QStringLiteral("listen: port not assigned"));
        return;
    }
    if (proto_.isEmpty()) {
        RaiseException(QStringLiteral("listen: protocol not assigned"));
        return;
    }
    quint32 address = 0;
    quint16 port = 0;
    try {
        if (WSocketResolveProto(proto_) != IPPROTO_TCP) {
            SocketError(QStringLiteral("socket"), wsock::ProtocolNotSupported);
            return;
        }
        port = WSocketResolvePort(port_, proto_);
        address = WSocketResolveHost(addr_);
    } catch (const ESocketException& e) {
        RaiseException(QStringLiteral("listen: ") + e.message());
        return;
    }
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        SocketError(QStringLiteral("socket"), lastSystemError());
        return;
    }
    ChangeState(wsOpened);
    setIntOption(fd_, SOL_SOCKET, SO_REUSEADDR, 1);
    const sockaddr_in local = ipv4SocketAddress(address, port);
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        failSetup("bind", lastSystemError());
        return;
    }
    ChangeState(wsBound);
    if (::listen(fd_, listenBacklog_) != 0) {
        failSetup("listen", lastSystemError());
        return;
    }
    ChangeState(wsListening);
    createNotifiers();
}

int TCustomWSocket::Accept()
{
    if (state_ != wsListening) {
        RaiseException(QStringLiteral("not a listening socket"));
        return -1;
    }
    resumeReading();
    int handle;
    do {
        handle = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    } while (handle < 0 && errno == EINTR);
    if (handle < 0) {
        const int code = lastSystemError();
        lastError_ = code;
        if (code != wsock::WouldBlock)
            SocketError(QStringLiteral("accept"), code);
        return -1;
    }
    return handle;
}

void TCustomWSocket::Dup(int handle)
{
    if (handle < 0) {
        SocketError(QStringLiteral("Dup"), wsock::NotSocket);
        return;
    }
    if (state_ != wsClosed)
        Close();
    fd_ = handle;
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd_, F_SETFD, FD_CLOEXEC);
    if (options_.testFlag(wsoTcpNoDelay))
        setIntOption(fd_, IPPROTO_TCP, TCP_NODELAY, 1);
    SetLingerOption();
    sessionOpen_ = true;
    createNotifiers();
    ChangeState(wsConnected);
}

// ---------------------------------------------------------------- events in

void TCustomWSocket::onReadable()
{
    dispatch("read", [&] {
        if (state_ == wsConnecting) {
            completeConnect();
            return;
        }
        if (state_ == wsListening) {
            pauseReading();
            if (OnSessionAvailable)
                OnSessionAvailable(wsock::NoError);
            return;
        }
        if (!isConnectedState(state_))
            return;
        pollfd probe { fd_, POLLIN | POLLRDHUP, 0 };
        ::poll(&probe, 1, 0);
        if (probe.revents & (POLLRDHUP | POLLHUP | POLLERR)) {
            int error = 0;
            socklen_t length = sizeof error;
            ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length);
            deliverBeforeClose(error == 0 ? wsock::NoError : wsocketErrorFromErrno(error));
            return;
        }
        const QPointer<TCustomWSocket> alive(this);
        const quint64 serial = serial_;
        // A reader that takes its data in pieces gets a few rounds in one
        // event, without going through the event loop for each piece.
        for (int round = 0; round < receiveRounds; ++round) {
            receivedDuringEvent_ = false;
            TriggerDataAvailable(wsock::NoError);
            if (!alive || serial != serial_)
                return;
            if (!receivedDuringEvent_) {
                pauseReading();
                return;
            }
            if (options_.testFlag(wsoNoReceiveLoop) || availableBytes() == 0)
                return;
        }
    });
}

void TCustomWSocket::deliverBeforeClose(int error)
{
    const QPointer<TCustomWSocket> alive(this);
    const quint64 serial = serial_;
    // The peer is gone; whatever it sent before still goes to the reader
    // first, in as many rounds as the reader takes it.
    if (error == wsock::NoError) {
        int available = availableBytes();
        while (available > 0) {
            TriggerDataAvailable(wsock::NoError);
            if (!alive || serial != serial_)
                return;
            const int left = availableBytes();
            if (options_.testFlag(wsoNoReceiveLoop) || left >= available)
                break;
            available = left;
        }
    }
    if (sessionOpen_)
        CloseWithError(error);
    else
        HandleClosedBeforeSession(error);
}

void TCustomWSocket::onWritable()
{
    dispatch("write", [&] {
        if (state_ == wsConnecting)
            completeConnect();
        else if (isConnectedState(state_))
            tryToSend(DrainNotice::Fire);
        else
            updateNotifiers();
    });
}

// ---------------------------------------------------------------- sending

int TCustomWSocket::Send(const void* data, int length)
{
    if (!isConnectedState(state_)) {
        SocketError(QStringLiteral("Send"), wsock::NotConnected);
        return -1;
    }
    if (length <= 0)
        return 0;
    if (state_ == wsSocksConnected) {
        // The SOCKS server would read it as its own protocol: it leaves when
        // the negotiation is through.
        deferredSend_.append(static_cast<const char*>(data), length);
        return length;
    }
    sendBuffer_.Append(static_cast<const char*>(data), length);
    tryToSend(DrainNotice::Post);
    return length;
}

void TCustomWSocket::PutDataInSendBuffer(const void* data, int length)
{
    if (length > 0)
        sendBuffer_.Append(static_cast<const char*>(data), length);
}

void TCustomWSocket::SendQuietly(const QByteArray& data)
{
    sendBuffer_.Append(data.constData(), static_cast<int>(data.size()));
    tryToSend(DrainNotice::None);
}

void TCustomWSocket::tryToSend(DrainNotice notice)
{
    while (!sendBuffer_.IsEmpty()) {
        // Many small blocks leave in one system call.
        iovec parts[64];
        msghdr message {};
        message.msg_iov = parts;
        message.msg_iovlen = static_cast<size_t>(sendBuffer_.Gather(parts, 64));
        const ssize_t sent = ::sendmsg(fd_, &message, MSG_NOSIGNAL);
        if (sent > 0) {
            sendBuffer_.Consume(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        const int code = lastSystemError();
        if (code == wsock::WouldBlock) {
            updateNotifiers();
            return;
        }
        lastError_ = code;
        // After any other failure the stream has a gap: the connection
        // cannot go on, whether or not the failure is a known one.
        CloseWithError(code);
        if (!isFatalSendError(code))
            SocketError(QStringLiteral("TryToSend failed"), code);
        return;
    }
    updateNotifiers();
    if (pendingShutdown_ >= 0)
        shutdownNow(std::exchange(pendingShutdown_, -1));
    if (notice == DrainNotice::Post)
        postDataSent();
    else if (notice == DrainNotice::Fire)
        TriggerDataSent(wsock::NoError);
}

void TCustomWSocket::postDataSent()
{
    QMetaObject::invokeMethod(
        this,
        [this, serial = serial_] {
            dispatch("data sent", [&] {
                // A later Send still on its way will report its own drain.
                if (serial == serial_ && isConnectedState(state_) && sendBuffer_.IsEmpty())
                    TriggerDataSent(wsock::NoError);
            });
        },
        Qt::QueuedConnection);
}

// ---------------------------------------------------------------- receiving

int TCustomWSocket::Receive(void* buffer, int length)
{
    return ReceiveFromSocket(buffer, length);
}

int TCustomWSocket::ReceiveFromSocket(void* buffer, int length)
{
    if (fd_ < 0) {
        lastError_ = wsock::NotConnected;
        return -1;
    }
    receivedDuringEvent_ = true;
    resumeReading();
    ssize_t received;
    do {
        received = ::recv(fd_, buffer, static_cast<size_t>(std::max(0, length)), 0);
    } while (received < 0 && errno == EINTR);
    if (received >= 0)
        return static_cast<int>(received);
    const int code = lastSystemError();
    lastError_ = code;
    if (code != wsock::WouldBlock)
        SocketError(QStringLiteral("recv"), code);
    return -1;
}

QByteArray TCustomWSocket::ReceiveStr()
{
    QByteArray result;
    char chunk[8192];
    for (;;) {
        const int received = Receive(chunk, sizeof chunk);
        if (received <= 0)
            break;
        result.append(chunk, received);
        if (received < static_cast<int>(sizeof chunk))
            break;
    }
    return result;
}

int TCustomWSocket::availableBytes() const
{
    int count = 0;
    if (fd_ < 0 || ::ioctl(fd_, FIONREAD, &count) != 0)
        return 0;
    return count;
}

// ---------------------------------------------------------------- closing

void TCustomWSocket::Close()
{
    if (state_ == wsClosed && fd_ < 0)
        return;
    CloseWithError(wsock::NoError);
}

void TCustomWSocket::CloseWithError(int error)
{
    internalClose(error, true);
}

void TCustomWSocket::CloseDelayed()
{
    QMetaObject::invokeMethod(
        this,
        [this, serial = serial_] {
            dispatch("delayed close", [&] {
                if (serial == serial_)
                    Close();
            });
        },
        Qt::QueuedConnection);
}

void TCustomWSocket::Abort()
{
    CancelDnsLookup();
    sendBuffer_.Clear();
    if (fd_ >= 0 && isConnectedState(state_)) {
        linger reset { 1, 0 };
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }
    Close();
}

void TCustomWSocket::Shutdown(int how)
{
    if (fd_ < 0)
        return;
    if (how != 0 && !sendBuffer_.IsEmpty()) {
        pendingShutdown_ = how;
        return;
    }
    shutdownNow(how);
}

void TCustomWSocket::shutdownNow(int how)
{
    const int direction = how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR;
    if (::shutdown(fd_, direction) != 0)
        SocketError(QStringLiteral("shutdown"), lastSystemError());
}

void TCustomWSocket::internalClose(int error, bool fireSessionClosed)
{
    deleteNotifiers();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    sendBuffer_.Clear();
    deferredSend_.clear();
    pendingShutdown_ = -1;
    readPaused_ = false;
    ++serial_;
    ConnectionClosed();
    resetSettings();
    const bool report = fireSessionClosed && sessionOpen_ && !destroying_;
    sessionOpen_ = false;
    ChangeState(wsClosed);
    if (report)
        TriggerSessionClosed(error);
}

// ---------------------------------------------------------------- triggers

void TCustomWSocket::TriggerSessionConnected(int error)
{
    if (error == wsock::NoError)
        sessionOpen_ = true;
    if (OnSessionConnected)
        OnSessionConnected(error);
}

void TCustomWSocket::TriggerDataAvailable(int error)
{
    if (OnDataAvailable)
        OnDataAvailable(error);
}

void TCustomWSocket::TriggerDataSent(int error)
{
    if (OnDataSent)
        OnDataSent(error);
}

void TCustomWSocket::TriggerSessionClosed(int error)
{
    if (OnSessionClosed)
        OnSessionClosed(error);
}

// ---------------------------------------------------------------- addresses

TSocketEndpoint TCustomWSocket::GetSockName()
{
    sockaddr_in address {};
    socklen_t length = sizeof address;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        SocketError(QStringLiteral("getsockname"), lastSystemError());
        return {};
    }
    return endpointOf(address);
}

TSocketEndpoint TCustomWSocket::GetPeerName()
{
    sockaddr_in address {};
    socklen_t length = sizeof address;
    if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        SocketError(QStringLiteral("getpeername"), lastSystemError());
        return {};
    }
    return endpointOf(address);
}

QStringList TCustomWSocket::LocalIPList()
{
    QStringList result;
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            result << address.toString();
    }
    return result;
}

// ---------------------------------------------------------------- threads

bool TCustomWSocket::IsDetached() const
{
    return thread() == nullptr;
}

void TCustomWSocket::ThreadDetach()
{
    if (QThread::currentThread() != thread()) {
        RaiseException(QStringLiteral("Cannot detach from other thread"));
        return;
    }
    if (parent()) {
        RaiseException(QStringLiteral("Cannot detach a socket that has a parent"));
        return;
    }
    deleteNotifiers();
    moveToThread(nullptr);
}

void TCustomWSocket::ThreadAttach()
{
    if (!IsDetached()) {
        RaiseException(QStringLiteral("Cannot attach when not detached"));
        return;
    }
    moveToThread(QThread::currentThread());
    createNotifiers();
}

bool TCustomWSocket::ProcessMessages()
{
    QCoreApplication::processEvents();
    terminated_ = terminationRequested();
    return terminated_;
}
