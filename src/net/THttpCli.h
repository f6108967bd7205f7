#pragma once

#include "net/HttpResponseHead.h"
#include "net/HttpUrl.h"
#include "net/SocketErrors.h"
#include "net/SocksRoute.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>

class QIODevice;
class TWSocket;

// A failed HTTP request or a usage error. `ErrorCode()` is the HTTP status
// (400 and above as the server sent it, 404 for a request that failed on
// the way) or 0 for a usage error.
class EHttpException : public std::runtime_error
{
public:
    EHttpException(const QString& message, int errorCode);

    QString message() const { return message_; }
    int ErrorCode() const { return errorCode_; }

private:
    QString message_;
    int errorCode_;
};

enum THttpRequest { httpABORT, httpGET, httpPOST, httpHEAD, httpCLOSE };

enum THttpState {
    httpReady,
    httpNotConnected,
    httpConnected,
    httpDnsLookup,
    httpDnsLookupDone,
    httpWaitingHeader,
    httpWaitingBody,
    httpBodyReceived,
    httpWaitingProxyConnect,
    httpClosing,
    httpAborting
};

// The program's HTTP/1.0 client: GET and form POST of http URLs, directly,
// through an HTTP proxy or through a SOCKS 4 or 5 server, with the document
// written to a stream of the caller's.
//
// It belongs to the thread that created it; every method runs there, except
// RequestAbort. Get and Post block: they run this thread's events (on the
// main thread that includes the user interface, so the caller may be
// re-entered) until the request ends, the Timeout passes or the application
// quits. GetASync and PostASync start the same request and return; it ends
// with OnRequestDone.
//
// What a server may make the client do is bounded: header lines fit into
// 8192 bytes and a header has at most 128 lines, the document is at most
// MaxDocumentSize bytes, at most maxRedirections redirections are followed
// and only to http URLs, the server's credentials never travel to another
// host, and no text that came from outside reaches the request header
// unless it is free of line breaks and control bytes.
class THttpCli : public QObject
{
    Q_OBJECT

public:
    static constexpr int maxRedirections = 5;
    static constexpr qint64 defaultMaxDocumentSize = 64 * 1024 * 1024;
    static constexpr std::chrono::seconds defaultTimeout { 100 };

    explicit THttpCli(QObject* parent = nullptr);
    ~THttpCli() override;

    // ------------------------------------------------------------ request
    // Absolute http URL; user and password may be embedded, and then apply
    // to this URL's host instead of Username/Password.
    QString URL() const { return url_; }
    void SetURL(const QString& url) { url_ = url; }
    // Body of a POST, sent from its current position to its end (not owned).
    QIODevice* SendStream() const { return sendStream_; }
    void SetSendStream(QIODevice* stream) { sendStream_ = stream; }
    // Receives the document (not owned); without one the document is only counted.
    QIODevice* RcvdStream() const { return rcvdStream_; }
    void SetRcvdStream(QIODevice* stream) { rcvdStream_ = stream; }

    // HTTP proxy: host (also "http://host:port"), its port when the host
    // gives none, and Basic credentials sent to the proxy only.
    QString Proxy() const { return proxy_; }
    void SetProxy(const QString& proxy) { proxy_ = proxy; }
    QString ProxyPort() const { return proxyPort_; }
    void SetProxyPort(const QString& port) { proxyPort_ = port; }
    QString ProxyUsername() const { return proxyUsername_; }
    void SetProxyUsername(const QString& user) { proxyUsername_ = user; }
    QString ProxyPassword() const { return proxyPassword_; }
    void SetProxyPassword(const QString& password) { proxyPassword_ = password; }

    // Basic credentials for the server of the URL.
    QString Username() const { return username_; }
    void SetUsername(const QString& user) { username_ = user; }
    QString Password() const { return password_; }
    void SetPassword(const QString& password) { password_ = password; }

    QString ContentTypePost() const { return contentTypePost_; }
    void SetContentTypePost(const QString& type) { contentTypePost_ = type; }
    QString Accept() const { return accept_; }
    void SetAccept(const QString& accept) { accept_ = accept; }
    QString Agent() const { return agent_; }
    void SetAgent(const QString& agent) { agent_ = agent; }
    // The version written in the request line. With "1.0" every request
    // has a connection of its own; otherwise an HTTP/1.1 server's
    // connection is kept for the next request to the same place.
    QString RequestVer() const { return requestVer_; }
    void SetRequestVer(const QString& version) { requestVer_ = version; }
    QString Sender() const { return sender_; }
    void SetSender(const QString& sender) { sender_ = sender; }
    QString Reference() const { return reference_; }
    void SetReference(const QString& reference) { reference_ = reference; }
    QString Connection() const { return connection_; }
    void SetConnection(const QString& connection) { connection_ = connection; }
    QString AcceptLanguage() const { return acceptLanguage_; }
    void SetAcceptLanguage(const QString& language) { acceptLanguage_ = language; }
    QString Cookie() const { return cookie_; }
    void SetCookie(const QString& cookie) { cookie_ = cookie; }
    bool NoCache() const { return noCache_; }
    void SetNoCache(bool noCache) { noCache_ = noCache; }
    QDateTime ModifiedSince() const { return modifiedSince_; }
    void SetModifiedSince(const QDateTime& time) { modifiedSince_ = time; }
    // A Range line for the next request when either is non-zero; both are
    // cleared once it was sent.
    qint64 ContentRangeBegin() const { return rangeBegin_; }
    void SetContentRangeBegin(qint64 begin) { rangeBegin_ = begin; }
    qint64 ContentRangeEnd() const { return rangeEnd_; }
    void SetContentRangeEnd(qint64 end) { rangeEnd_ = end; }
    QString LocalAddr() const { return localAddr_; }
    void SetLocalAddr(const QString& address) { localAddr_ = address; }
    bool MultiThreaded() const { return multiThreaded_; }
    void SetMultiThreaded(bool value);

    // The SOCKS server of the connections (none by default); kept until
    // changed. SOCKS 5 authenticates when the route has a user.
    SocksRoute socksRoute() const { return socks_; }
    void SetSocksRoute(const SocksRoute& route) { socks_ = route; }

    // Limits: how long a blocking request may take in all (a non-positive
    // value means defaultTimeout), and how large a document may be.
    std::chrono::milliseconds Timeout() const { return timeout_; }
    void SetTimeout(std::chrono::milliseconds timeout);
    qint64 MaxDocumentSize() const { return maxDocumentSize_; }
    void SetMaxDocumentSize(qint64 bytes) { maxDocumentSize_ = bytes; }

    // ------------------------------------------------------------ results
    THttpState State() const { return state_; }
    THttpRequest RequestType() const { return request_; }
    int StatusCode() const { return statusCode_; }
    QString ReasonPhrase() const { return reasonPhrase_; }
    QString ServerVersion() const { return head_.serverVersion; }
    qint64 ContentLength() const { return head_.contentLength; }
    QString ContentType() const { return head_.contentType; }
    QStringList RcvdHeader() const { return head_.headerLines; }
    QStringList WWWAuthenticate() const { return head_.wwwAuthenticate; }
    QString AcceptRanges() const { return head_.acceptRanges; }
    // The URL of the last redirection ("" when none).
    QString Location() const { return location_; }
    qint64 RcvdCount() const { return rcvdCount_; }

    // ------------------------------------------------------------ requests
    // Blocking; raise EHttpException for a usage error, a failed request
    // (404 with the reason) or a status of 400 and above.
    void Get();
    void Post();
    // Start the request and return; usage errors raise at once.
    void GetASync();
    void PostASync();
    // Ends the running request (status 404 "Connection aborted on request");
    // when idle, drops the kept connection and reports 200 "OK".
    void Abort();
    // Callable from any thread: the abort runs on the owning thread as soon
    // as it processes its events (a blocking call there does).
    void RequestAbort();

    // Fires on the owning thread, from its event loop, when a request ended
    // (error: 0, or the status when it failed on the way).
    std::function<void(THttpRequest request, int error)> OnRequestDone;
    std::function<void(THttpState state)> OnStateChange;

private:
    void startRequest(THttpRequest request);
    void waitForRequest();
    void startRound(const QString& url);
    bool prepareRound(const QString& url);
    void openConnection();
    void sendRequest();
    QByteArray nextBodyBlock();

    void onDnsLookupDone(int error);
    void onSessionConnected(int error);
    void onDataAvailable();
    void onDataSent();
    void onSessionClosed(int error);

    void onHeaderComplete();
    bool followRedirection();
    void continueRedirection();
    void takeBody(QByteArray& data);
    void onDocumentEnd();
    bool keepsConnection() const;

    void complete();
    void fail(const QString& reason);
    void abortWith(const QString& reason);
    void closeQuietly();
    void finish(int error);
    void setState(THttpState state);

    TWSocket* socket_;

    // Request settings.
    QString url_;
    QIODevice* sendStream_ = nullptr;
    QIODevice* rcvdStream_ = nullptr;
    QString proxy_, proxyPort_ = QStringLiteral("80"), proxyUsername_, proxyPassword_;
    QString username_, password_;
    QString contentTypePost_ = QStringLiteral("application/x-www-form-urlencoded");
    QString accept_ = QStringLiteral("image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
    QString agent_ = QStringLiteral("Mozilla/4.0 (compatible; Ranquil)");
    QString requestVer_ = QStringLiteral("1.0");
    QString sender_, reference_, connection_, acceptLanguage_, cookie_;
    bool noCache_ = false;
    QDateTime modifiedSince_;
    qint64 rangeBegin_ = 0, rangeEnd_ = 0;
    QString localAddr_ = QStringLiteral("0.0.0.0");
    bool multiThreaded_ = false;
    SocksRoute socks_;
    std::chrono::milliseconds timeout_ = defaultTimeout;
    qint64 maxDocumentSize_ = defaultMaxDocumentSize;

    // The running request.
    THttpState state_ = httpReady;
    THttpRequest request_ = httpGET; // as the caller asked
    THttpRequest roundRequest_ = httpGET; // as sent now (a redirected POST is a GET)
    HttpUrl target_; // the URL of this round
    HttpUrl endpoint_; // where its connection goes (server or proxy)
    std::optional<HttpUrl> connectedEndpoint_; // where the open connection goes
    QString requestUser_, requestPassword_;
    QByteArray requestHead_;
    qint64 bodyStart_ = 0; // position of the POST body in the send stream
    qint64 bodyLength_ = 0;
    qint64 bodyLeft_ = 0; // POST bytes still to send
    int redirections_ = 0;
    QString redirectUrl_; // where to go once the redirection's reply is done
    bool discardBody_ = false; // the body is a redirection's, skipped
    bool reusedConnection_ = false;
    bool retriedConnection_ = false;
    bool replyStarted_ = false;
    bool surplusReceived_ = false; // more came than the reply announced
    bool closing_ = false; // our own close: no session-closed handling
    QString socksErrorText_;
    std::optional<ESocketException> socketError_;

    // The response.
    HttpHeadReader headReader_;
    HttpResponseHead head_;
    QByteArray receiveBuffer_;
    int statusCode_ = 0;
    QString reasonPhrase_;
    QString location_;
    qint64 rcvdCount_ = 0;
    qint64 skippedCount_ = 0;
};
