#pragma once

#include "net/FtpDataChannel.h"
#include "net/FtpDisplaySink.h"
#include "net/FtpFileSink.h"
#include "net/FtpReply.h"
#include "net/FtpTypes.h"
#include "net/SocksRoute.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class TWSocket;

// The event-driven FTP client: every request is started by one of the
// ...Async methods below and ends later, through the control socket's
// events, with the state back at ftpReady and OnRequestDone posted.
// TFtpClient adds the blocking calls on top.
//
// A request is one or several steps (TFtpFct) run in order; the first step
// that fails ends it with that step's reply code as RequestResult(). Values
// from the server are range-checked (FtpReply.h) and never leave the host
// the control connection reached: the passive data connection goes to that
// host whatever the 227 reply names, and in active mode only that host may
// connect.
//
// Threads: a component belongs to the thread that created it (or that last
// called ThreadAttach); every method runs there and every event fires there,
// mostly from that thread's event loop (OnCommand, OnDisplay and
// OnStateChange also fire inside the call that sends a command).
// OnRequestDone is always posted, never fired from inside a socket event or
// a method of the component.
//
// Usage errors ("FTP component not ready", ...) go to OnUsageError when it is
// set and are thrown as FtpException otherwise; the request is then not
// started, and ErrorMessage() tells why. A usage error of a later step of a running request ends the
// request with status 500 instead.
//
// Remote names (HostFileName, HostDirName, RenameTarget, QuoteCommand) are
// bytes and reach the server as they are, so a name a listing gave can be
// named again whatever its encoding. What the component shows (OnDisplay,
// ErrorMessage) is decoded and has its control characters escaped.
class TCustomFtpCli : public QObject
{
    Q_OBJECT

public:
    explicit TCustomFtpCli(QObject* parent = nullptr);
    ~TCustomFtpCli() override;

    // ------------------------------------------------------------ settings
    QString HostName() const { return hostName_; }
    void SetHostName(const QString& host) { hostName_ = host; }
    // A number or a service name ("ftp" by default).
    QString Port() const { return port_; }
    void SetPort(const QString& port) { port_ = port; }
    QString LocalAddr() const { return localAddr_; }
    void SetLocalAddr(const QString& address) { localAddr_ = address; }
    QByteArray UserName() const { return userName_; }
    void SetUserName(const QByteArray& name) { userName_ = name; }
    QByteArray PassWord() const { return passWord_; }
    void SetPassWord(const QByteArray& password) { passWord_ = password; }
    QByteArray HostDirName() const { return hostDirName_; }
    void SetHostDirName(const QByteArray& folder) { hostDirName_ = folder; }
    // Remote file or folder of RETR, LIST, STOR, SIZE, MKD, RMD, DELE, RNFR.
    QByteArray HostFileName() const { return hostFileName_; }
    void SetHostFileName(const QByteArray& name) { hostFileName_ = name; }
    // The new name of RNTO.
    QByteArray RenameTarget() const { return renameTarget_; }
    void SetRenameTarget(const QByteArray& name) { renameTarget_ = name; }
    // The whole command line of Quote ("SITE MD5 <name>", ...).
    QByteArray QuoteCommand() const { return quoteCommand_; }
    void SetQuoteCommand(const QByteArray& line) { quoteCommand_ = line; }
    // The command lines of QuoteEach, sent together.
    void SetQuoteCommands(std::vector<QByteArray> lines) { quoteCommands_ = std::move(lines); }
    // Local file of a transfer.
    QString LocalFileName() const { return localFileName_; }
    void SetLocalFileName(const QString& name) { localFileName_ = name; }
    bool DisplayFileFlag() const { return displayFileFlag_; }
    void SetDisplayFileFlag(bool on) { displayFileFlag_ = on; }
    TFtpDisplayFileMode DisplayFileMode() const { return displayFileMode_; }
    void SetDisplayFileMode(TFtpDisplayFileMode mode)
    {
        displayFileMode_ = mode > ftpBinary ? ftpLineByLine : mode;
    }
    bool Binary() const { return binary_; }
    void SetBinary(bool binary) { binary_ = binary; }
    TFtpShareMode ShareMode() const { return shareMode_; }
    void SetShareMode(TFtpShareMode mode);
    TFtpOptions Options() const { return options_; }
    void SetOptions(TFtpOptions options) { options_ = options; }

    // Firewall and proxy modes. Every type but ftpDirect forces passive mode.
    TFtpConnectionType ConnectionType() const { return connectionType_; }
    // Usage error "FTP component connected" while connected.
    void SetConnectionType(TFtpConnectionType type);
    QString ProxyServer() const { return proxyServer_; }
    void SetProxyServer(const QString& server) { proxyServer_ = server; }
    // "ftp" by default; empty: the control connection uses Port().
    QString ProxyPort() const { return proxyPort_; }
    void SetProxyPort(const QString& port) { proxyPort_ = port; }
    // The SOCKS server of both connections under the SOCKS types; its
    // version is the type's.
    SocksRoute socksRoute() const { return socks_; }
    void SetSocksRoute(const SocksRoute& route) { socks_ = route; }
    bool Passive() const { return passive_; }
    // Stored as given under ftpDirect; every other type keeps it true.
    void SetPassive(bool passive);

    // Byte offset for REST, set by the caller before RestGet and RestPut.
    // A resumed download appends to the local file and clears it once the
    // file is positioned.
    qint64 ResumeAt() const { return resumeAt_; }
    void SetResumeAt(qint64 position) { resumeAt_ = position; }

    // What the next Get, RestGet or Dir does with the data; each is used up
    // by it (back to its default when it ends).
    //
    // The sink the data goes to instead of LocalFileName or OnDisplayFile
    // (not owned; it must live until the request ends).
    void SetDownloadSink(FtpDataSink* sink) { downloadSink_ = sink; }
    // The size of the remote file (from SIZE or a listing; -1: unknown).
    // A transfer that ends before it fails and keeps what arrived, for a
    // resume; bytes beyond it are never written, the transfer's bytes are
    // discarded and it fails.
    void SetExpectedSize(qint64 size) { expectedSize_ = size; }
    // A part of the file: the download stops when it reaches this position
    // of the remote file and succeeds (-1: it runs to the end of the file).
    void SetPartEnd(qint64 position) { partEnd_ = position; }

    // A listing that grows beyond either limit fails: a server may not
    // stream one for ever.
    static constexpr qint64 listingMaxBytes = qint64(1) << 30;
    static constexpr qint64 listingMaxLines = 10'000'000;
    // A longer command line is refused before it is sent: servers cut it
    // into several commands (pyftpdlib at 2048 bytes, vsftpd at 4096) or
    // hang up, and either leaves the replies out of step.
    static constexpr qsizetype commandLineMaxBytes = 2048;
    // A passive data connection that the server closed before a byte moved
    // and whose transfer then has no final reply for this long was dropped
    // (pyftpdlib does that to a connection that arrives before its
    // command): the transfer is tried once more on a fresh one.
    static constexpr int droppedDataGraceMs = 1000;

    // ------------------------------------------------------------ results
    bool GetConnected() const { return connected_; }
    TFtpState State() const { return state_; }
    // No request runs and a new one may start. The state alone does not say
    // so: a connection that closes after its request ended leaves
    // ftpInternalReady behind.
    bool Idle() const;
    // A request has started and not yet ended: its done event is still to
    // come, even when it is aborted now. A connection the server closed after
    // its last request is not running anything, whatever its state says.
    bool RequestRunning() const { return !requestDone_; }
    TFtpRequest RequestType() const { return request_; }
    QString LastResponse() const { return lastResponse_; }
    int StatusCode() const { return statusCode_; }
    // The server logged the user in at USER (230), without a password: a
    // PASS now would only be out of sequence, and some servers refuse it.
    bool LoggedInByUser() const { return request_ == ftpUserAsync && requestDone_ && statusCode_ == 230; }
    int RequestResult() const { return requestResult_; }
    // The first failure of the current request.
    QString ErrorMessage() const { return errorMessage_; }
    // From the last SIZE (-1 until one succeeded).
    qint64 SizeResult() const { return sizeResult_; }
    // From the last CWD, MKD or PWD.
    QByteArray DirResult() const { return dirResult_; }
    // Bytes moved by the last (or running) transfer.
    qint64 ByteCount() const { return data_.byteCount(); }
    // The final reply to each command of the last QuoteEach so far, in order.
    struct QuoteReply {
        int code = 0;
        QString text; // as LastResponse() shows it
    };
    const std::vector<QuoteReply>& QuoteReplies() const { return quoteReplies_; }

    // ------------------------------------------------------------ requests
    // Each starts its request, made of the steps listed, and returns true;
    // or returns false (after OnUsageError) or throws FtpException when it
    // cannot start.
    bool OpenAsync() { return startRequest(ftpOpenAsync, { ftpFctOpen }); }
    bool UserAsync() { return startRequest(ftpUserAsync, { ftpFctUser }); }
    bool PassAsync() { return startRequest(ftpPassAsync, { ftpFctPass }); }
    bool CwdAsync() { return startRequest(ftpCwdAsync, { ftpFctCwd }); }
    bool PwdAsync() { return startRequest(ftpPwdAsync, { ftpFctPwd }); }
    bool TypeSetAsync() { return startRequest(ftpTypeSetAsync, { ftpFctTypeSet }); }
    bool SizeAsync() { return startRequest(ftpSizeAsync, { ftpFctSize }); }
    bool MkdAsync() { return startRequest(ftpMkdAsync, { ftpFctMkd }); }
    bool RmdAsync() { return startRequest(ftpRmdAsync, { ftpFctRmd }); }
    bool DeleAsync() { return startRequest(ftpDeleAsync, { ftpFctDele }); }
    bool RenAsync() { return startRequest(ftpRenAsync, { ftpFctRenFrom, ftpFctRenTo }); }
    bool QuoteAsync() { return startRequest(ftpQuoteAsync, { ftpFctQuote }); }
    // Sends every line of SetQuoteCommands at once and ends when each has
    // its final reply, whatever the codes say (QuoteReplies tells): a round
    // trip for all instead of one per command.
    bool QuoteEachAsync() { return startRequest(ftpQuoteEachAsync, { ftpFctQuoteEach }); }
    bool DirAsync() { return startRequest(ftpDirAsync, { ftpFctPort, ftpFctDir }); }
    bool GetAsync() { return startRequest(ftpGetAsync, { ftpFctPort, ftpFctGet }); }
    bool RestGetAsync() { return startRequest(ftpRestGetAsync, { ftpFctPort, ftpFctRest, ftpFctGet }); }
    bool PutAsync() { return startRequest(ftpPutAsync, { ftpFctPort, ftpFctPut }); }
    bool RestPutAsync() { return startRequest(ftpRestPutAsync, { ftpFctPort, ftpFctRest, ftpFctPut }); }
    // ABOR and QUIT may start while another request runs: that request is
    // given up without OnRequestDone (its data connection closed, its reply
    // skipped when it comes) and this one takes its place.
    bool AbortXferAsync() { return startRequest(ftpAbortXferAsync, { ftpFctAbortXfer }, true); }
    bool QuitAsync() { return startRequest(ftpQuitAsync, { ftpFctQuit }, true); }
    // Tears everything down locally and sends nothing; a running request
    // ends with 426 "426 Operation aborted.".
    void AbortAsync();

    // Increases with every request started: tells a caller whether the
    // request that ended is still the one it started.
    quint64 RequestSerial() const { return requestSerial_; }

    // Lending the component to another thread: the owning thread calls
    // ThreadDetach (no request may be running), the new owner calls
    // ThreadAttach; in between nothing happens. The component must have no
    // QObject parent.
    void ThreadDetach();
    void ThreadAttach();

    // ------------------------------------------------------------ events
    std::function<void(const QString& line)> OnDisplay;
    std::function<void(const QByteArray& data)> OnDisplayFile;
    // The command about to be sent; the handler may change it.
    std::function<void(QByteArray& command)> OnCommand;
    // A reply line arrived (LastResponse() holds it).
    std::function<void()> OnResponse;
    // Before each block of a transfer: the bytes so far plus the resume
    // position. Setting `abort` ends the transfer with 426.
    std::function<void(qint64 count, bool& abort)> OnProgress;
    std::function<void(int error)> OnSessionConnected;
    std::function<void(int error)> OnSessionClosed;
    std::function<void(TFtpRequest request, int error)> OnRequestDone;
    std::function<void(TFtpState state)> OnStateChange;
    // Before an upload opens its file; setting `cancel` ends it with 426.
    std::function<void(bool& cancel)> OnReadyToTransmit;
    // An exception escaped OnRequestDone; setting `canAbort` tears the
    // connection down.
    std::function<void(const std::exception& error, bool& canAbort)> OnBgException;
    std::function<void(const QString& message)> OnUsageError;

protected:
    // Every progress report passes here (the blocking layer pushes its
    // deadline); the default fires OnProgress.
    virtual void TriggerProgress(qint64 count, bool& abort);
    // A reply of QuoteEach arrived and more are to come.
    virtual void TriggerReplyProgress() { }
    // A blocking call gave up waiting: tears down like AbortAsync and
    // reports "426 Timeout".
    void AbortWithTimeout();

private:
    using ReplyHandler = void (TCustomFtpCli::*)(int code);

    // Requests and steps.
    bool startRequest(TFtpRequest request, std::vector<TFtpFct> steps, bool whileBusy = false);
    void runNextStep();
    void startStep(TFtpFct step);
    void completeStep(int error);
    void finishRequest(int error);
    void giveUpRunningRequest();
    void deliverRequestDone(TFtpRequest request, int error);
    void usageError(const QString& message);
    void setState(TFtpState state);

    // Control connection.
    void startOpen();
    void connectControl(const QString& address);
    void onControlDnsLookupDone(int error);
    void onControlSessionConnected(int error);
    void onControlDataAvailable();
    void onControlSessionClosed(int error);
    void handleLine(const QByteArray& line);
    void handleGreeting(int code);
    void closeControl();

    // Commands.
    void exec(const QByteArray& command, std::vector<int> acceptedCodes, ReplyHandler handler,
        bool anyState = false);
    void send(std::vector<QByteArray> commands, std::vector<int> acceptedCodes, ReplyHandler handler,
        bool anyState = false);
    void checkReadyAndConnected() const;
    // Throws FtpException when `line` may not be sent as it is.
    static void checkCommandLine(const QByteArray& line);
    bool judgeReply(int code);
    void handleCommandReply(int code);
    void handleQuitReply(int code);
    void startQuoteEach();
    void handleQuoteEachReply(int code);
    void oweAwaitedReplies();
    void extractResult();
    QByteArray loginName() const;
    void display(const QString& line);
    void failWith(int code, const QString& reply);
    void failRequest(int code, const QString& message);

    // Data transfers.
    //
    // The stages of a transfer step (RETR, LIST, STOR): it ends once both
    // its final reply and the close of its data connection have come, in
    // either order.
    enum class TransferStage {
        Idle, // no transfer step runs
        AwaitingFirstReply, // the command is sent; data connection open or opening
        DataClosedEarly, // the data connection closed before the first reply
        Moving, // the server said 1xx; data moves
        AwaitingFinalReply, // the data connection closed; the final reply is due
        AwaitingDataClose, // the final reply came; the data is still arriving
    };
    static const char* transferStageName(TransferStage stage);
    void setTransferStage(TransferStage stage);
    void startPort();
    void startRest();
    void startDownload(const QByteArray& command);
    void startPut();
    bool resumeWasAccepted() const;
    FtpDataSink& downloadTarget();
    FtpReceiveBounds receiveBounds(const QByteArray& command) const;
    bool openUploadFile();
    void sendTransferCommand(const QByteArray& command, int connectFailureCode);
    QByteArray transferCommand(const QByteArray& command) const;
    void connectPassive(quint16 port, int failureCode);
    void handleTransferReply(int code);
    bool isFirstReplyPositive(int code) const;
    bool isFinalReplyPositive(int code) const;
    void failTransfer(int code, const QString& logLine);
    void onDataConnectFailed(int error);
    void onDataClosed();
    bool mayRetryTransfer() const;
    void onDroppedDataConnection();
    void retryTransfer();
    void completeTransfer();
    int transferOutcome();
    bool transferRunning() const { return transferStage_ != TransferStage::Idle; }
    void forgetDownloadOptions();
    SocksRoute effectiveSocksRoute() const;

    std::unique_ptr<TWSocket> control_;
    FtpDataChannel data_;
    FtpLineReader lineReader_;
    FtpReplyClassifier classifier_;

    // Settings.
    QString hostName_, port_ = QStringLiteral("ftp"), localAddr_ = QStringLiteral("0.0.0.0");
    QByteArray userName_, passWord_, hostDirName_, hostFileName_, renameTarget_, quoteCommand_;
    std::vector<QByteArray> quoteCommands_;
    QString localFileName_;
    bool displayFileFlag_ = false;
    TFtpDisplayFileMode displayFileMode_ = ftpLineByLine;
    bool binary_ = true;
    TFtpShareMode shareMode_ = ftpShareExclusive;
    TFtpOptions options_ = ftpAcceptLF;
    TFtpConnectionType connectionType_ = ftpDirect;
    QString proxyServer_, proxyPort_ = QStringLiteral("ftp");
    SocksRoute socks_;
    bool passive_ = false;
    qint64 resumeAt_ = 0;
    FtpDataSink* downloadSink_ = nullptr;
    qint64 expectedSize_ = -1;
    qint64 partEnd_ = -1;

    // State and results.
    TFtpState state_ = ftpReady;
    bool connected_ = false;
    QString controlPeer_; // the address the control connection reached
    QByteArray lastLine_; // the last reply line as it came
    QString lastResponse_, errorMessage_;
    int statusCode_ = 0;
    int requestResult_ = 0;
    qint64 sizeResult_ = -1;
    QByteArray dirResult_;
    QByteArray passiveReply_;
    std::vector<QuoteReply> quoteReplies_;
    QString socksErrorText_; // why the SOCKS server refused the connection
    QString socketErrorText_; // the last failed socket call

    // The running request.
    TFtpRequest request_ = ftpNone;
    quint64 requestSerial_ = 0;
    bool requestDone_ = true; // no request is running
    std::vector<TFtpFct> pendingSteps_;
    TFtpFct step_ = ftpFctNone;
    bool stepDone_ = true; // the latch: a step ends once
    int stepReplyCode_ = 0; // the final reply of the step
    TFtpFct previousStep_ = ftpFctNone;
    int previousReplyCode_ = 0;
    std::vector<int> acceptedCodes_; // empty: any code below 500
    ReplyHandler replyHandler_ = nullptr;
    int awaitedReplies_ = 0; // final replies of the running step still to come
    int owedReplies_ = 0; // final replies of given-up commands still to come
    bool closeExpected_ = false; // the component closes the control connection itself

    // The running transfer.
    TransferStage transferStage_ = TransferStage::Idle;
    quint64 stageSerial_ = 0; // voids the dropped-connection check of an earlier stage
    FtpDisplaySink displaySink_;
    std::optional<FtpFileSink> fileSink_;
    FtpDataSink* currentSink_ = nullptr;
    bool usedDownloadOptions_ = false;
    bool restSent_ = false; // the request sent REST, at restPosition_
    qint64 restPosition_ = 0;
    bool retried_ = false; // the request has had its second attempt
};
