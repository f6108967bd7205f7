#include "net/FtpDataChannel.h"

#include "net/FtpTexts.h"
#include "net/TWSocket.h"
#include "net/WSocketResolve.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <utility>

namespace
{

QString peerAddressOf(int handle)
{
    sockaddr_in address {};
    socklen_t length = sizeof address;
    if (::getpeername(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0
        || address.sin_family != AF_INET)
        return {};
    return ipv4Text(ntohl(address.sin_addr.s_addr));
}

} // namespace

FtpDataChannel::FtpDataChannel()
    : socket_(std::make_unique<TWSocket>())
    , listener_(std::make_unique<TWSocket>())
    , block_(blockSize)
{
    // Socket failures are read from errorText() and the events' codes;
    // nothing may throw out of an event.
    const auto recordError = [this](const ESocketException& error) { errorText_ = error.message(); };
    socket_->OnError = recordError;
    listener_->OnError = recordError;
    socket_->SetBufSize(blockSize);
    socket_->SetComponentOptions(wsoTcpNoDelay);
    socket_->OnSessionConnected = [this](int error) { onSessionConnected(error); };
    socket_->OnDataAvailable = [this](int) { onDataAvailable(); };
    socket_->OnDataSent = [this](int) { onDataSent(); };
    socket_->OnSessionClosed = [this](int error) { onSessionClosed(error); };
    listener_->OnSessionAvailable = [this](int) { onSessionAvailable(); };
}

FtpDataChannel::~FtpDataChannel() = default;

void FtpDataChannel::begin(Direction direction)
{
    close();
    ++transferSerial_;
    phase_ = Phase::Idle;
    direction_ = direction;
    sendPermitted_ = sendStarted_ = endOfFile_ = false;
    byteCount_ = 0;
    limit_ = {};
    established_.invalidate();
    closeError_ = 0;
    stop_ = StopReason::None;
    errorText_.clear();
}

bool FtpDataChannel::receiveInto(FtpDataSink& sink, qint64 start, const FtpReceiveBounds& bounds)
{
    releaseEnds();
    limit_ = FtpReceiveLimit(bounds, start);
    if (!sink.start(start)) {
        sink.finish();
        return false;
    }
    sink_ = &sink;
    return true;
}

quint16 FtpDataChannel::listen(const QString& serverAddress)
{
    closeListener();
    errorText_.clear();
    serverAddress_ = serverAddress;
    listener_->SetAddr(QStringLiteral("0.0.0.0"));
    listener_->SetPort(QStringLiteral("0"));
    listener_->SetProto(QStringLiteral("tcp"));
    listener_->Listen();
    if (listener_->State() != wsListening)
        return 0;
    phase_ = Phase::Listening;
    return listener_->GetSockName().port;
}

void FtpDataChannel::onSessionAvailable()
{
    const int handle = listener_->Accept();
    if (handle < 0)
        return;
    const QString peer = peerAddressOf(handle);
    if (peer != serverAddress_) {
        // Anyone who can reach the port could otherwise feed a download or
        // receive an upload.
        ::close(handle);
        if (OnDisplay)
            OnDisplay(ftptext::strangerRefused(peer));
        return;
    }
    closeListener();
    socket_->SetLingerOnOff(wsLingerOff);
    socket_->Dup(handle);
    establish();
}

bool FtpDataChannel::connectTo(
    const QString& host, quint16 port, const QString& localAddress, const SocksRoute& route)
{
    errorText_.clear();
    socket_->SetAddr(host);
    socket_->SetPort(QString::number(port));
    socket_->SetProto(QStringLiteral("tcp"));
    socket_->SetLocalAddr(localAddress);
    // A graceful close, so that the end of an upload reaches the server.
    socket_->SetLingerOnOff(wsLingerOff);
    socket_->SetSocksRoute(route);
    socket_->Connect();
    if (socket_->State() == wsClosed)
        return false;
    phase_ = Phase::Connecting;
    return true;
}

void FtpDataChannel::onSessionConnected(int error)
{
    if (error != 0) {
        phase_ = Phase::Closed;
        releaseEnds();
        if (OnConnectFailed)
            OnConnectFailed(error);
        return;
    }
    establish();
}

void FtpDataChannel::establish()
{
    phase_ = Phase::Established;
    established_.start();
    if (direction_ == Direction::Upload && sendPermitted_)
        postSendKick();
}

qint64 FtpDataChannel::elapsedMs() const
{
    return established_.isValid() ? established_.elapsed() : 0;
}

// ---------------------------------------------------------------- download

void FtpDataChannel::onDataAvailable()
{
    if (direction_ == Direction::Download) {
        receiveBlock();
        return;
    }
    // Nothing is expected on an upload connection; whatever comes is
    // read so that it cannot stall the connection.
    char sink[2048];
    while (socket_->Receive(sink, sizeof sink) > 0) { }
}

bool FtpDataChannel::askProgressAbort()
{
    if (!OnProgress || !OnProgress(byteCount_))
        return false;
    stop(StopReason::AbortedByApplication, ftptext::abortRequested());
    return true;
}

void FtpDataChannel::receiveBlock()
{
    if (askProgressAbort())
        return;
    const int received = socket_->Receive(block_.data(), blockSize);
    if (received > 0) {
        store(block_.data(), received);
        return;
    }
    if (received == 0) {
        socket_->Close();
        return;
    }
    const int code = socket_->LastError();
    if (code == wsock::WouldBlock)
        return;
    if (OnDisplay)
        OnDisplay(ftptext::receiveError(code));
    closeError_ = code;
    socket_->Close();
}

void FtpDataChannel::store(const char* data, qint64 length)
{
    if (!sink_)
        return;
    const qint64 position = limit_.position();
    const FtpReceiveLimit::Decision decision = limit_.judge(data, length);
    if (decision.keep > 0) {
        if (!sink_->writeAt(position, data, decision.keep)) {
            stop(StopReason::WriteFailed, ftptext::errorWritingLocalFile());
            return;
        }
        byteCount_ += decision.keep;
    }
    switch (decision.verdict) {
    case FtpReceiveLimit::Verdict::Take:
        return;
    case FtpReceiveLimit::Verdict::PartComplete:
        stop(StopReason::PartComplete, ftptext::partComplete(limit_.position()));
        return;
    case FtpReceiveLimit::Verdict::BeyondExpectedEnd:
        // The server sends something else than the file we expected (a
        // changed file, or all of it despite the resume position): nothing
        // this transfer wrote can be trusted.
        sink_->discardFrom(limit_.start());
        stop(StopReason::BeyondExpectedEnd, ftptext::beyondExpectedEnd(limit_.expectedEnd()));
        return;
    case FtpReceiveLimit::Verdict::TooLong:
        stop(StopReason::TooLong, ftptext::listingLimitReached());
        return;
    }
}

void FtpDataChannel::stop(StopReason reason, const QString& logLine)
{
    if (OnDisplay)
        OnDisplay(logLine);
    stop_ = reason;
    socket_->Close();
}

// ---------------------------------------------------------------- upload

void FtpDataChannel::permitSending()
{
    sendPermitted_ = true;
    if (phase_ == Phase::Established)
        postSendKick();
}

void FtpDataChannel::postSendKick()
{
    // The first block leaves from an event of its own, never from inside
    // the handler that made sending possible.
    QMetaObject::invokeMethod(
        socket_.get(),
        [this, serial = transferSerial_] {
            if (serial == transferSerial_ && !sendStarted_)
                sendBlock();
        },
        Qt::QueuedConnection);
}

void FtpDataChannel::onDataSent()
{
    if (direction_ == Direction::Upload)
        sendBlock();
}

void FtpDataChannel::sendBlock()
{
    // While the system takes each block at once, the next one follows in
    // the same event (a few at most, so the thread stays responsive);
    // otherwise the drained buffer calls again.
    for (int block = 0; block < blocksPerEvent; ++block) {
        if (!sendPermitted_ || phase_ != Phase::Established || endOfFile_
            || socket_->BufferedByteCount() != 0)
            return;
        sendStarted_ = true;
        if (askProgressAbort())
            return;
        const qint64 read = source_.read(block_.data(), blockSize);
        if (read < 0) {
            stop(StopReason::ReadFailed, ftptext::errorReadingFile());
            return;
        }
        if (read == 0) {
            // Everything was handed to the system; the close lets it deliver
            // the rest and tells the server the file is complete.
            endOfFile_ = true;
            socket_->Close();
            return;
        }
        byteCount_ += read;
        socket_->Send(block_.data(), static_cast<int>(read));
    }
}

// ---------------------------------------------------------------- closing

void FtpDataChannel::onSessionClosed(int error)
{
    if (error != 0) {
        closeError_ = error;
        if (direction_ == Direction::Upload && !endOfFile_ && OnDisplay)
            OnDisplay(ftptext::sendError(error));
    }
    releaseEnds();
    phase_ = Phase::Closed;
    if (OnClosed)
        OnClosed(closeError_);
}

void FtpDataChannel::closeListener()
{
    if (listener_->State() != wsClosed)
        listener_->Close();
}

void FtpDataChannel::close()
{
    closeListener();
    if (socket_->State() != wsClosed)
        socket_->Close();
    releaseEnds();
    if (phase_ != Phase::Idle)
        phase_ = Phase::Closed;
}

void FtpDataChannel::releaseEnds()
{
    if (FtpDataSink* sink = std::exchange(sink_, nullptr))
        sink->finish();
    source_.release();
}

void FtpDataChannel::threadDetach()
{
    socket_->ThreadDetach();
    listener_->ThreadDetach();
}

void FtpDataChannel::threadAttach()
{
    socket_->ThreadAttach();
    listener_->ThreadAttach();
}
