#include "net/THttpCli.h"

#include "net/EventWait.h"
#include "net/HttpRequestHead.h"
#include "net/HttpTexts.h"
#include "net/TWSocket.h"
#include "net/VisibleText.h"

#include <QDeadlineTimer>
#include <QIODevice>

#include <algorithm>
#include <utility>

namespace
{

// A POST body leaves in blocks of this size, one per drained send buffer.
constexpr qint64 postBlockSize = 8193;
// The body of a redirection is skipped on a kept connection only when it is
// small; a larger one is cheaper to drop with the connection.
constexpr qint64 maxSkippedBody = 64 * 1024;

QString methodName(THttpRequest request)
{
    return request == httpPOST ? QStringLiteral("POST") : QStringLiteral("GET");
}

} // namespace

EHttpException::EHttpException(const QString& message, int errorCode)
    : std::runtime_error(message.toStdString())
    , message_(message)
    , errorCode_(errorCode)
{
}

THttpCli::THttpCli(QObject* parent)
    : QObject(parent)
    , socket_(new TWSocket(this))
{
    socket_->OnDnsLookupDone = [this](int error) { onDnsLookupDone(error); };
    socket_->OnSessionConnected = [this](int error) { onSessionConnected(error); };
    socket_->OnDataAvailable = [this](int) { onDataAvailable(); };
    socket_->OnDataSent = [this](int) { onDataSent(); };
    socket_->OnSessionClosed = [this](int error) { onSessionClosed(error); };
    // Socket errors become the outcome of the request instead of exceptions
    // thrown through the event loop.
    socket_->OnError = [this](const ESocketException& error) { socketError_ = error; };
    socket_->OnSocksError = [this](int, const QString& message) { socksErrorText_ = message; };
}

THttpCli::~THttpCli()
{
    socket_->OnSessionClosed = nullptr;
    delete socket_;
}

void THttpCli::SetMultiThreaded(bool value)
{
    multiThreaded_ = value;
    socket_->SetMultiThreaded(value);
}

void THttpCli::SetTimeout(std::chrono::milliseconds timeout)
{
    timeout_ = timeout > std::chrono::milliseconds::zero() ? timeout : defaultTimeout;
}

// ---------------------------------------------------------------- requests

void THttpCli::Get()
{
    GetASync();
    waitForRequest();
}

void THttpCli::Post()
{
    PostASync();
    waitForRequest();
}

void THttpCli::GetASync()
{
    startRequest(httpGET);
}

void THttpCli::PostASync()
{
    startRequest(httpPOST);
}

void THttpCli::waitForRequest()
{
    const auto outcome = processEventsUntil([this] { return state_ == httpReady; }, QDeadlineTimer(timeout_));
    if (outcome == WaitOutcome::TimedOut)
        abortWith(httpTexts::timedOut());
    else if (outcome == WaitOutcome::Terminating)
        Abort();
    if (statusCode_ >= 400)
        throw EHttpException(reasonPhrase_, statusCode_);
}

void THttpCli::Abort()
{
    if (state_ != httpReady) {
        abortWith(httpTexts::aborted());
        return;
    }
    closeQuietly();
    statusCode_ = 200;
    reasonPhrase_ = QStringLiteral("OK");
    if (OnRequestDone)
        OnRequestDone(httpABORT, 0);
}

void THttpCli::RequestAbort()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (state_ != httpReady)
                Abort();
        },
        Qt::QueuedConnection);
}

void THttpCli::abortWith(const QString& reason)
{
    setState(httpAborting);
    socket_->CancelDnsLookup();
    fail(reason);
}

void THttpCli::startRequest(THttpRequest request)
{
    if (state_ != httpReady)
        throw EHttpException(httpTexts::busy(), 0);
    if (request == httpPOST && !sendStream_)
        throw EHttpException(httpTexts::nothingToPost(), 0);
    request_ = request;
    roundRequest_ = request;
    statusCode_ = 0;
    reasonPhrase_.clear();
    head_ = {};
    location_.clear();
    rcvdCount_ = 0;
    redirections_ = 0;
    // Credentials of the URL are for its host and this request only.
    requestUser_ = username_;
    requestPassword_ = password_;
    bodyStart_ = request == httpPOST ? sendStream_->pos() : 0;
    startRound(url_);
}

void THttpCli::startRound(const QString& url)
{
    if (!prepareRound(url))
        return;
    retriedConnection_ = false;
    if (connectedEndpoint_ && socket_->State() == wsConnected && connectedEndpoint_->sameOrigin(endpoint_)) {
        reusedConnection_ = true;
        sendRequest();
        return;
    }
    openConnection();
}

bool THttpCli::prepareRound(const QString& url)
{
    const auto parts = splitHttpUrl(url);
    if (!parts) {
        fail(httpTexts::invalidUrl(url));
        return false;
    }
    // No TLS here: an https URL could only be sent in clear text.
    if (parts->scheme != QLatin1String("http")) {
        fail(httpTexts::unsupportedScheme(parts->scheme));
        return false;
    }
    target_ = *parts;
    if (!target_.user.isEmpty()) {
        requestUser_ = target_.user;
        requestPassword_ = target_.password;
    }

    HttpRequestFields fields;
    fields.method = methodName(roundRequest_);
    fields.version = requestVer_;
    if (proxy_.isEmpty()) {
        endpoint_ = target_;
        fields.target = target_.path;
    } else {
        const auto proxy = splitHttpUrl(proxy_, proxyPort_);
        if (!proxy) {
            fail(httpTexts::invalidUrl(proxy_ + QStringLiteral(" (proxy port ") + proxyPort_ + u')'));
            return false;
        }
        endpoint_ = *proxy;
        fields.target = target_.absoluteTarget();
        fields.proxyUser = proxyUsername_;
        fields.proxyPassword = proxyPassword_;
    }
    fields.sender = sender_;
    fields.accept = accept_;
    fields.reference = reference_;
    fields.connection = connection_;
    fields.acceptLanguage = acceptLanguage_;
    fields.agent = agent_;
    fields.host = target_.host;
    fields.noCache = noCache_;
    fields.modifiedSince = modifiedSince_;
    fields.user = requestUser_;
    fields.password = requestPassword_;
    fields.cookie = cookie_;
    fields.rangeBegin = std::exchange(rangeBegin_, 0);
    fields.rangeEnd = std::exchange(rangeEnd_, 0);
    if (roundRequest_ == httpPOST) {
        fields.contentType = contentTypePost_;
        fields.contentLength = qMax<qint64>(0, sendStream_->size() - bodyStart_);
    }

    const QList<QByteArray> lines = requestHeadLines(fields);
    const bool safe = isSafeRequestTarget(fields.target)
        && std::all_of(
            lines.begin(), lines.end(), [](const QByteArray& line) { return isSafeHeaderLine(line); });
    if (!safe) {
        fail(httpTexts::forbiddenCharacter());
        return false;
    }
    requestHead_ = lines.join("\r\n") + "\r\n\r\n";
    bodyLength_ = fields.contentLength;
    return true;
}

void THttpCli::openConnection()
{
    reusedConnection_ = false;
    closeQuietly();
    setState(httpNotConnected);
    setState(httpDnsLookup);
    socket_->DnsLookup(endpoint_.host);
}

// ---------------------------------------------------------------- connecting

void THttpCli::onDnsLookupDone(int error)
{
    if (state_ != httpDnsLookup)
        return;
    if (error != wsock::NoError || socket_->DnsResult().isEmpty()) {
        fail(httpTexts::cantResolve());
        return;
    }
    setState(httpDnsLookupDone);
    socketError_.reset();
    socksErrorText_.clear();
    socket_->SetAddr(socket_->DnsResult());
    socket_->SetPort(endpoint_.port);
    socket_->SetProto(QStringLiteral("tcp"));
    socket_->SetLocalAddr(localAddr_);
    socket_->SetSocksRoute(socks_);
    socket_->Connect();
    if (socketError_ && socket_->State() == wsClosed && state_ == httpDnsLookupDone)
        fail(httpTexts::cantConnect(
            socketError_->code() != 0 ? WSocketErrorDesc(socketError_->code()) : socketError_->message(),
            socketError_->code()));
}

void THttpCli::onSessionConnected(int error)
{
    if (state_ != httpDnsLookupDone)
        return;
    if (error != wsock::NoError) {
        // A SOCKS server's refusal has its own words; WinSock's table has none.
        fail(socksErrorText_.isEmpty() ? httpTexts::socketError(error)
                                       : QStringLiteral("%1 (Error #%2)").arg(socksErrorText_).arg(error));
        return;
    }
    connectedEndpoint_ = endpoint_;
    setState(httpConnected);
    sendRequest();
}

// ---------------------------------------------------------------- sending

void THttpCli::sendRequest()
{
    headReader_ = {};
    head_ = {};
    receiveBuffer_.clear();
    replyStarted_ = false;
    surplusReceived_ = false;
    discardBody_ = false;
    skippedCount_ = 0;
    setState(httpWaitingHeader);
    QByteArray first = requestHead_;
    bodyLeft_ = 0;
    if (roundRequest_ == httpPOST) {
        if (!sendStream_->seek(bodyStart_) && sendStream_->pos() != bodyStart_) {
            fail(httpTexts::unreadableBody());
            return;
        }
        bodyLeft_ = bodyLength_;
        const QByteArray block = nextBodyBlock();
        if (block.isEmpty() && bodyLeft_ > 0) {
            fail(httpTexts::unreadableBody());
            return;
        }
        first += block;
    }
    socket_->SendStr(first);
}

QByteArray THttpCli::nextBodyBlock()
{
    const QByteArray block = sendStream_->read(qMin(bodyLeft_, postBlockSize));
    bodyLeft_ -= block.size();
    return block;
}

void THttpCli::onDataSent()
{
    if (bodyLeft_ <= 0 || (state_ != httpWaitingHeader && state_ != httpWaitingBody))
        return;
    const QByteArray block = nextBodyBlock();
    if (block.isEmpty()) {
        // The stream ended before the length announced: the server would
        // wait for the rest until one side gives up.
        fail(httpTexts::unreadableBody());
        return;
    }
    socket_->SendStr(block);
}

// ---------------------------------------------------------------- receiving

void THttpCli::onDataAvailable()
{
    char chunk[8192];
    if (state_ != httpWaitingHeader && state_ != httpWaitingBody) {
        // Nothing was asked: a kept connection that talks on its own is not
        // worth keeping.
        if (socket_->Receive(chunk, sizeof chunk) > 0)
            closeQuietly();
        return;
    }
    while (state_ == httpWaitingHeader || state_ == httpWaitingBody) {
        const int received = socket_->Receive(chunk, sizeof chunk);
        if (received <= 0)
            return;
        replyStarted_ = true;
        if (state_ == httpWaitingBody) {
            QByteArray data(chunk, received);
            takeBody(data);
            continue;
        }
        receiveBuffer_.append(chunk, received);
        switch (headReader_.feed(receiveBuffer_)) {
        case HttpHeadReader::Progress::NeedMore:
            break;
        case HttpHeadReader::Progress::Failed:
            fail(headReader_.error());
            return;
        case HttpHeadReader::Progress::Complete:
            onHeaderComplete();
            break;
        }
    }
}

void THttpCli::onHeaderComplete()
{
    head_ = headReader_.head();
    statusCode_ = head_.statusCode;
    reasonPhrase_ = visibleText(head_.reasonPhrase);
    if (bodyLeft_ > 0) {
        // The server answered before taking the whole body: the rest is not
        // wanted, and the connection is out of step for another request.
        bodyLeft_ = 0;
        surplusReceived_ = true;
    }
    if (head_.hasLocation && followRedirection())
        return;
    if (head_.contentLength == 0) {
        surplusReceived_ = surplusReceived_ || !receiveBuffer_.isEmpty();
        onDocumentEnd();
        return;
    }
    setState(httpWaitingBody);
    QByteArray early = std::exchange(receiveBuffer_, {});
    takeBody(early);
    if (state_ == httpWaitingBody && statusCode_ >= 400) {
        // The error document is not worth waiting for.
        closeQuietly();
        complete();
    }
}

bool THttpCli::followRedirection()
{
    const QString next = resolveLocation(target_, head_.location);
    location_ = next;
    const auto parts = splitHttpUrl(next);
    if (!parts || parts->scheme != QLatin1String("http"))
        return false; // not followed: the answer stands as it came
    if (++redirections_ > maxRedirections) {
        fail(httpTexts::tooManyRedirections());
        return true;
    }
    if (!parts->sameOrigin(target_)) {
        requestUser_.clear();
        requestPassword_.clear();
    }
    // The body was meant for the first address only.
    if (roundRequest_ == httpPOST)
        roundRequest_ = httpGET;
    redirectUrl_ = next;
    // Through a proxy every URL shares the proxy's connection.
    const bool sameConnection = !proxy_.isEmpty() || parts->sameOrigin(endpoint_);
    if (!sameConnection || !keepsConnection() || head_.contentLength > maxSkippedBody) {
        closeQuietly();
        continueRedirection();
        return true;
    }
    discardBody_ = true;
    setState(httpWaitingBody);
    QByteArray early = std::exchange(receiveBuffer_, {});
    if (head_.contentLength == 0) {
        surplusReceived_ = !early.isEmpty();
        onDocumentEnd();
    } else {
        takeBody(early);
    }
    return true;
}

void THttpCli::continueRedirection()
{
    discardBody_ = false;
    startRound(std::exchange(redirectUrl_, {}));
}

void THttpCli::takeBody(QByteArray& data)
{
    qint64& received = discardBody_ ? skippedCount_ : rcvdCount_;
    qint64 take = data.size();
    if (head_.contentLength >= 0 && take > head_.contentLength - received) {
        take = head_.contentLength - received;
        surplusReceived_ = true;
    }
    if (!discardBody_) {
        if (rcvdCount_ + take > maxDocumentSize_) {
            fail(httpTexts::documentTooLarge(maxDocumentSize_));
            return;
        }
        if (rcvdStream_ && take > 0 && rcvdStream_->write(data.constData(), take) != take) {
            fail(httpTexts::unwritableDocument());
            return;
        }
    }
    received += take;
    if (head_.contentLength >= 0 && received == head_.contentLength)
        onDocumentEnd();
}

bool THttpCli::keepsConnection() const
{
    return head_.serverVersion == QLatin1String("1.1") && requestVer_ != QLatin1String("1.0")
        && head_.contentLength >= 0 && !surplusReceived_;
}

void THttpCli::onDocumentEnd()
{
    setState(httpBodyReceived);
    if (!keepsConnection())
        closeQuietly();
    if (!redirectUrl_.isEmpty()) {
        continueRedirection();
        return;
    }
    complete();
}

void THttpCli::onSessionClosed(int error)
{
    if (closing_)
        return;
    connectedEndpoint_.reset();
    if (state_ == httpWaitingHeader) {
        // A kept connection may have been closed by the server just as the
        // request went out: that one gets a fresh connection, once.
        if (reusedConnection_ && !replyStarted_ && !retriedConnection_) {
            retriedConnection_ = true;
            openConnection();
            return;
        }
        fail(error != wsock::NoError ? httpTexts::socketError(error) : httpTexts::closedBeforeReply());
    } else if (state_ == httpWaitingBody) {
        if (!redirectUrl_.isEmpty())
            continueRedirection();
        else if (error != wsock::NoError)
            fail(httpTexts::socketError(error));
        else if (head_.contentLength < 0)
            onDocumentEnd();
        else
            fail(httpTexts::closedBeforeEnd());
    }
}

// ---------------------------------------------------------------- ending

void THttpCli::complete()
{
    finish(0);
}

void THttpCli::fail(const QString& reason)
{
    statusCode_ = 404;
    // The reason may quote the server (a redirection's URL).
    reasonPhrase_ = visibleText(reason);
    redirectUrl_.clear();
    bodyLeft_ = 0;
    closeQuietly();
    finish(statusCode_);
}

void THttpCli::finish(int error)
{
    setState(httpReady);
    QMetaObject::invokeMethod(
        this,
        [this, request = request_, error] {
            if (OnRequestDone)
                OnRequestDone(request, error);
        },
        Qt::QueuedConnection);
}

void THttpCli::closeQuietly()
{
    connectedEndpoint_.reset();
    socket_->CancelDnsLookup();
    if (socket_->State() == wsClosed)
        return;
    closing_ = true;
    socket_->Abort();
    closing_ = false;
}

void THttpCli::setState(THttpState state)
{
    if (state_ == state)
        return;
    state_ = state;
    if (OnStateChange)
        OnStateChange(state);
}
