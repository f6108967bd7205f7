#include "net/TCustomFtpCli.h"

#include "net/FtpTexts.h"
#include "net/TWSocket.h"
#include "net/VisibleText.h"

#include <QLoggingCategory>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace
{

Q_LOGGING_CATEGORY(ftpLog, "ranquil.ftp", QtWarningMsg)

bool isReadyState(TFtpState state)
{
    return state == ftpReady || state == ftpInternalReady;
}

bool isSocksType(TFtpConnectionType type)
{
    return type == ftpSocks4 || type == ftpSocks4A || type == ftpSocks5;
}

} // namespace

TCustomFtpCli::TCustomFtpCli(QObject* parent)
    : QObject(parent)
    , control_(std::make_unique<TWSocket>())
{
    // Socket failures come back as texts and event codes; nothing may
    // throw out of a socket event.
    control_->OnError = [this](const ESocketException& error) { socketErrorText_ = error.message(); };
    control_->OnSocksError = [this](int, const QString& message) { socksErrorText_ = message; };
    control_->OnDnsLookupDone = [this](int error) { onControlDnsLookupDone(error); };
    control_->OnSessionConnected = [this](int error) { onControlSessionConnected(error); };
    control_->OnDataAvailable = [this](int) { onControlDataAvailable(); };
    control_->OnSessionClosed = [this](int error) { onControlSessionClosed(error); };

    data_.OnProgress = [this](qint64 count) {
        bool abort = false;
        TriggerProgress(count + resumeAt_, abort);
        return abort;
    };
    data_.OnDisplay = [this](const QString& line) { display(line); };
    displaySink_.OnDisplayFile = [this](const QByteArray& data) {
        if (OnDisplayFile)
            OnDisplayFile(data);
    };
    data_.OnConnectFailed = [this](int error) { onDataConnectFailed(error); };
    data_.OnClosed = [this](int) { onDataClosed(); };
}

TCustomFtpCli::~TCustomFtpCli() = default;

// ---------------------------------------------------------------- settings

void TCustomFtpCli::SetShareMode(TFtpShareMode mode)
{
    shareMode_ = mode >= ftpShareCompat && mode <= ftpShareDenyNone ? mode : ftpShareExclusive;
}

void TCustomFtpCli::SetConnectionType(TFtpConnectionType type)
{
    if (connected_) {
        usageError(ftptext::connectedNoTypeChange());
        return;
    }
    connectionType_ = type >= ftpDirect && type <= ftpSocks5 ? type : ftpDirect;
    if (connectionType_ != ftpDirect)
        passive_ = true;
}

void TCustomFtpCli::SetPassive(bool passive)
{
    passive_ = connectionType_ == ftpDirect ? passive : true;
}

SocksRoute TCustomFtpCli::effectiveSocksRoute() const
{
    if (!isSocksType(connectionType_))
        return {};
    SocksRoute route = socks_;
    route.version = connectionType_ == ftpSocks4 ? SocksVersion::V4
        : connectionType_ == ftpSocks4A          ? SocksVersion::V4A
                                                 : SocksVersion::V5;
    return route;
}

// ---------------------------------------------------------------- requests

bool TCustomFtpCli::Idle() const
{
    return requestDone_ && isReadyState(state_);
}

bool TCustomFtpCli::startRequest(TFtpRequest request, std::vector<TFtpFct> steps, bool whileBusy)
{
    bool replacing = false;
    try {
        if (!whileBusy && !Idle())
            throw FtpException(ftptext::notReady());
        if (steps.front() == ftpFctOpen && connected_)
            throw FtpException(ftptext::alreadyConnected());
        replacing = true;
        if (!requestDone_)
            giveUpRunningRequest();
        request_ = request;
        restSent_ = false;
        retried_ = false;
        pendingSteps_ = std::move(steps);
        previousStep_ = ftpFctNone;
        previousReplyCode_ = 0;
        requestResult_ = 0;
        errorMessage_.clear();
        requestDone_ = false;
        runNextStep();
    } catch (const FtpException& error) {
        // Every step checks what it needs before it changes anything, so
        // the component is as it was; a request that was running when this
        // one was refused goes on.
        if (replacing) {
            requestDone_ = true;
            stepDone_ = true;
            pendingSteps_.clear();
            errorMessage_ = visibleText(error.message());
        }
        if (!OnUsageError)
            throw;
        OnUsageError(error.message());
        return false;
    }
    ++requestSerial_;
    return true;
}

void TCustomFtpCli::runNextStep()
{
    if (pendingSteps_.empty()) {
        finishRequest(0);
        return;
    }
    const TFtpFct step = pendingSteps_.front();
    pendingSteps_.erase(pendingSteps_.begin());
    startStep(step);
}

void TCustomFtpCli::startStep(TFtpFct step)
{
    step_ = step;
    stepDone_ = false;
    stepReplyCode_ = 0;
    switch (step) {
    case ftpFctOpen:
        return startOpen();
    case ftpFctUser:
        if (userName_.isEmpty())
            throw FtpException(ftptext::userNameEmpty());
        return exec("USER " + loginName(), { 331, 230 }, &TCustomFtpCli::handleCommandReply);
    case ftpFctPass:
        return exec("PASS " + passWord_, { 230 }, &TCustomFtpCli::handleCommandReply);
    case ftpFctCwd:
        if (hostDirName_.isEmpty())
            throw FtpException(ftptext::hostDirNameEmpty());
        return exec("CWD " + hostDirName_, { 200, 250, 257 }, &TCustomFtpCli::handleCommandReply);
    case ftpFctPwd:
        return exec("PWD", { 250, 257 }, &TCustomFtpCli::handleCommandReply);
    case ftpFctTypeSet:
        return exec(binary_ ? "TYPE I" : "TYPE A", { 200 }, &TCustomFtpCli::handleCommandReply);
    case ftpFctSize:
        sizeResult_ = -1;
        return exec("SIZE " + hostFileName_, { 213 }, &TCustomFtpCli::handleCommandReply);
    case ftpFctMkd:
        return exec("MKD " + hostFileName_, { 250, 257 }, &TCustomFtpCli::handleCommandReply);
    case ftpFctRmd:
        return exec("RMD " + hostFileName_, { 250, 257 }, &TCustomFtpCli::handleCommandReply);
    case ftpFctDele:
        return exec("DELE " + hostFileName_, { 250, 257 }, &TCustomFtpCli::handleCommandReply);
    case ftpFctRenFrom:
        return exec("RNFR " + hostFileName_, { 350 }, &TCustomFtpCli::handleCommandReply);
    case ftpFctRenTo:
        return exec("RNTO " + renameTarget_, { 200, 250, 257 }, &TCustomFtpCli::handleCommandReply);
    case ftpFctQuote:
        return exec(quoteCommand_, {}, &TCustomFtpCli::handleCommandReply);
    case ftpFctQuoteEach:
        return startQuoteEach();
    case ftpFctAbortXfer:
        return exec("ABOR", {}, &TCustomFtpCli::handleCommandReply, true);
    case ftpFctQuit:
        data_.close();
        return exec("QUIT", { 221 }, &TCustomFtpCli::handleQuitReply, true);
    case ftpFctPort:
        return startPort();
    case ftpFctRest:
        return startRest();
    case ftpFctGet:
        return startDownload("RETR");
    case ftpFctDir:
        return startDownload("LIST");
    case ftpFctPut:
        return startPut();
    default:
        throw FtpException(ftptext::notReady());
    }
}

void TCustomFtpCli::completeStep(int error)
{
    if (stepDone_)
        return;
    stepDone_ = true;
    if (error != 0 || pendingSteps_.empty()) {
        finishRequest(error);
        return;
    }
    setState(ftpInternalReady);
    previousStep_ = step_;
    previousReplyCode_ = stepReplyCode_;
    try {
        runNextStep();
    } catch (const FtpException& usage) {
        failWith(500, QStringLiteral("500 ") + usage.message());
        finishRequest(500);
    }
}

void TCustomFtpCli::finishRequest(int error)
{
    if (requestDone_)
        return;
    requestDone_ = true;
    stepDone_ = true;
    pendingSteps_.clear();
    // A failure must never read as success, whichever path reported it.
    if (error != 0 && requestResult_ == 0)
        requestResult_ = error;
    // The server still answers the last command; that answer must not be
    // taken for the reply to the next one.
    oweAwaitedReplies();
    setTransferStage(TransferStage::Idle);
    data_.close();
    forgetDownloadOptions();
    if (state_ != ftpAbort)
        setState(ftpReady);
    QMetaObject::invokeMethod(
        this, [this, request = request_, error] { deliverRequestDone(request, error); },
        Qt::QueuedConnection);
}

void TCustomFtpCli::giveUpRunningRequest()
{
    requestDone_ = true;
    stepDone_ = true;
    pendingSteps_.clear();
    oweAwaitedReplies();
    setTransferStage(TransferStage::Idle);
    data_.close();
    forgetDownloadOptions();
}

void TCustomFtpCli::deliverRequestDone(TFtpRequest request, int error)
{
    try {
        if (OnRequestDone)
            OnRequestDone(request, error);
    } catch (const std::exception& exception) {
        bool canAbort = false;
        if (OnBgException)
            OnBgException(exception, canAbort);
        if (canAbort)
            AbortAsync();
    }
}

void TCustomFtpCli::usageError(const QString& message)
{
    if (!OnUsageError)
        throw FtpException(message);
    OnUsageError(message);
}

void TCustomFtpCli::setState(TFtpState state)
{
    if (state == state_)
        return;
    qCDebug(ftpLog) << "state" << state_ << "->" << state;
    state_ = state;
    if (OnStateChange)
        OnStateChange(state);
}

// ---------------------------------------------------------------- abort

void TCustomFtpCli::AbortAsync()
{
    const bool running = !requestDone_;
    setState(ftpAbort);
    if (running)
        failWith(426, ftptext::operationAborted());
    control_->CancelDnsLookup();
    closeExpected_ = true;
    awaitedReplies_ = 0;
    owedReplies_ = 0;
    if (control_->State() != wsClosed)
        control_->Close();
    connected_ = false;
    finishRequest(426);
    data_.close();
    setState(ftpReady);
}

void TCustomFtpCli::AbortWithTimeout()
{
    AbortAsync();
    // The reply a caller shows names the time-out, not an abort it never asked for.
    lastResponse_ = ftptext::timeout();
    errorMessage_ = ftptext::timeout();
    statusCode_ = 426;
    requestResult_ = 426;
}

// ---------------------------------------------------------------- threads

void TCustomFtpCli::ThreadDetach()
{
    if (QThread::currentThread() != thread()) {
        usageError(QStringLiteral("Cannot detach from other thread"));
        return;
    }
    if (!requestDone_) {
        usageError(ftptext::notReady());
        return;
    }
    control_->ThreadDetach();
    data_.threadDetach();
    moveToThread(nullptr);
}

void TCustomFtpCli::ThreadAttach()
{
    if (thread() != nullptr) {
        usageError(QStringLiteral("Cannot attach when not detached"));
        return;
    }
    moveToThread(QThread::currentThread());
    control_->ThreadAttach();
    data_.threadAttach();
}

// ---------------------------------------------------------------- control connection

void TCustomFtpCli::startOpen()
{
    lineReader_.clear();
    classifier_.reset();
    controlPeer_.clear();
    socksErrorText_.clear();
    socketErrorText_.clear();
    closeExpected_ = false;
    awaitedReplies_ = 0;
    owedReplies_ = 0;
    setState(ftpDnsLookup);
    if (isSocksType(connectionType_)) {
        // The SOCKS layer reaches HostName itself (SOCKS 4A and 5 let the
        // SOCKS server resolve it), so no name is looked up here.
        connectControl(hostName_);
        return;
    }
    control_->DnsLookup(connectionType_ == ftpProxy ? proxyServer_ : hostName_);
}

void TCustomFtpCli::onControlDnsLookupDone(int error)
{
    if (state_ != ftpDnsLookup)
        return;
    if (error != 0) {
        failWith(500, ftptext::networkError(WSocketErrorDesc(error), error));
        completeStep(error);
        return;
    }
    connectControl(control_->DnsResult());
}

void TCustomFtpCli::connectControl(const QString& address)
{
    control_->SetAddr(address);
    control_->SetLocalAddr(localAddr_);
    control_->SetProto(QStringLiteral("tcp"));
    control_->SetPort(connectionType_ == ftpProxy && !proxyPort_.isEmpty() ? proxyPort_ : port_);
    control_->SetSocksRoute(effectiveSocksRoute());
    setState(ftpWaitingBanner);
    socketErrorText_.clear();
    control_->Connect();
    if (control_->State() == wsClosed) {
        failWith(500, ftptext::raised(500, ESocketException::className(), socketErrorText_));
        completeStep(500);
    }
}

void TCustomFtpCli::onControlSessionConnected(int error)
{
    if (error != 0) {
        const QString why = socksErrorText_.isEmpty() ? WSocketErrorDesc(error) : socksErrorText_;
        failWith(500, ftptext::networkError(why, error));
        pendingSteps_.clear();
        completeStep(error);
        return;
    }
    connected_ = true;
    controlPeer_ = control_->GetPeerName().address;
}

void TCustomFtpCli::onControlDataAvailable()
{
    char buffer[FtpLineReader::capacity];
    const int received = control_->Receive(buffer, lineReader_.freeSpace());
    if (received == 0) {
        control_->Close();
        return;
    }
    if (received < 0)
        return;
    lineReader_.append(buffer, received);
    const bool acceptLf = options_.testFlag(ftpAcceptLF);
    while (const std::optional<QByteArray> line = lineReader_.takeLine(acceptLf)) {
        handleLine(*line);
        if (control_->State() == wsClosed)
            return;
    }
    if (lineReader_.isOverfull(acceptLf)) {
        failWith(500, ftptext::replyLineTooLong());
        closeControl();
    }
}

void TCustomFtpCli::handleLine(const QByteArray& line)
{
    lastLine_ = line;
    lastResponse_ = decodeRemoteText(line);
    if (OnResponse)
        OnResponse();
    display(QStringLiteral("< ") + lastResponse_);
    const FtpReplyClassifier::Line reply = classifier_.classify(line);
    if (reply.kind == FtpReplyClassifier::Kind::Malformed) {
        // Whatever it was meant to answer, no later reply can be matched to
        // its command any more.
        failWith(500, ftptext::malformedReply(lastResponse_));
        closeControl();
        return;
    }
    if (reply.kind != FtpReplyClassifier::Kind::Final)
        return;
    if (owedReplies_ > 0 && reply.code >= 200) {
        // "225" answers an ABOR when the server had no transfer to end: the
        // reply owed for the given-up transfer will not come either.
        const bool abortFoundNoTransfer
            = reply.code == 225 && state_ == ftpWaitingResponse && step_ == ftpFctAbortXfer;
        if (!abortFoundNoTransfer) {
            --owedReplies_;
            return;
        }
        owedReplies_ = 0;
    }
    switch (state_) {
    case ftpWaitingBanner:
        handleGreeting(reply.code);
        break;
    case ftpWaitingResponse:
        statusCode_ = reply.code;
        if (reply.code >= 200 && awaitedReplies_ > 0)
            --awaitedReplies_;
        (this->*replyHandler_)(reply.code);
        break;
    default:
        // Nobody asked: shown in the log and otherwise ignored.
        break;
    }
}

void TCustomFtpCli::handleGreeting(int code)
{
    statusCode_ = code;
    stepReplyCode_ = code;
    if (code != 220) {
        failRequest(code, lastResponse_);
        // The request ends through the connection-closed path.
        closeControl();
        return;
    }
    setState(ftpConnected);
    if (OnSessionConnected)
        OnSessionConnected(0);
    completeStep(0);
}

void TCustomFtpCli::closeControl()
{
    closeExpected_ = true;
    control_->Close();
}

void TCustomFtpCli::onControlSessionClosed(int error)
{
    if (connected_) {
        connected_ = false;
        if (state_ != ftpAbort)
            setState(ftpNotConnected);
        if (OnSessionClosed)
            OnSessionClosed(error);
    }
    if (state_ == ftpAbort)
        return;
    setState(ftpInternalReady);
    if (requestDone_)
        return;
    if (error != 0)
        failWith(500, ftptext::controlClosedWithError(error));
    else if (!closeExpected_ && requestResult_ == 0)
        // The server went away in the middle of a request: that request
        // did not succeed, whatever it had received so far.
        failWith(500, ftptext::controlClosed());
    // Without its control connection no step can go on, so the request
    // ends here whatever step it was in.
    finishRequest(requestResult_);
}

// ---------------------------------------------------------------- commands

void TCustomFtpCli::checkReadyAndConnected() const
{
    if (!isReadyState(state_))
        throw FtpException(ftptext::notReady());
    if (!connected_)
        throw FtpException(ftptext::notConnected());
}

void TCustomFtpCli::exec(
    const QByteArray& command, std::vector<int> acceptedCodes, ReplyHandler handler, bool anyState)
{
    send({ command }, std::move(acceptedCodes), handler, anyState);
}

void TCustomFtpCli::send(
    std::vector<QByteArray> commands, std::vector<int> acceptedCodes, ReplyHandler handler, bool anyState)
{
    if (!anyState)
        checkReadyAndConnected();
    // Every line is checked before any leaves, so a refused one sends nothing.
    QByteArray lines;
    for (QByteArray& line : commands) {
        if (OnCommand)
            OnCommand(line);
        checkCommandLine(line);
        lines += line + "\r\n";
    }
    acceptedCodes_ = std::move(acceptedCodes);
    replyHandler_ = handler;
    errorMessage_.clear();
    setState(ftpWaitingResponse);
    for (const QByteArray& line : commands)
        display(QStringLiteral("> ") + decodeRemoteText(line));
    if (control_->State() != wsConnected) {
        failWith(500, ftptext::controlClosed());
        completeStep(500);
        return;
    }
    awaitedReplies_ = static_cast<int>(commands.size());
    control_->SendStr(lines);
}

void TCustomFtpCli::checkCommandLine(const QByteArray& line)
{
    if (!isSafeCommandLine(line))
        throw FtpException(ftptext::unsafeCommand());
    if (line.size() > commandLineMaxBytes)
        throw FtpException(ftptext::commandTooLong(line.size(), commandLineMaxBytes));
}

bool TCustomFtpCli::judgeReply(int code)
{
    stepReplyCode_ = code;
    const bool success = acceptedCodes_.empty()
        ? code < 500
        : std::find(acceptedCodes_.begin(), acceptedCodes_.end(), code) != acceptedCodes_.end();
    if (success)
        requestResult_ = 0;
    else
        failRequest(code, lastResponse_);
    return success;
}

void TCustomFtpCli::handleCommandReply(int code)
{
    if (passive_ && code == 227)
        passiveReply_ = lastLine_;
    if (judgeReply(code))
        extractResult();
    completeStep(requestResult_);
}

void TCustomFtpCli::startQuoteEach()
{
    if (quoteCommands_.empty())
        throw FtpException(ftptext::quoteCommandsEmpty());
    quoteReplies_.clear();
    send(quoteCommands_, {}, &TCustomFtpCli::handleQuoteEachReply);
}

void TCustomFtpCli::handleQuoteEachReply(int code)
{
    // A preliminary reply is not yet the answer.
    if (code < 200)
        return;
    quoteReplies_.push_back({ code, lastResponse_ });
    stepReplyCode_ = code;
    if (awaitedReplies_ > 0) {
        TriggerReplyProgress();
        return;
    }
    requestResult_ = 0;
    completeStep(0);
}

void TCustomFtpCli::oweAwaitedReplies()
{
    owedReplies_ += awaitedReplies_;
    awaitedReplies_ = 0;
}

void TCustomFtpCli::handleQuitReply(int code)
{
    judgeReply(code);
    // The request ends when the connection is closed.
    closeControl();
}

void TCustomFtpCli::extractResult()
{
    switch (step_) {
    case ftpFctSize:
        if (const std::optional<qint64> size = sizeFromReply(lastLine_))
            sizeResult_ = *size;
        else
            failRequest(500, ftptext::invalidSizeReply(lastResponse_));
        break;
    case ftpFctCwd:
    case ftpFctMkd:
    case ftpFctPwd:
        dirResult_ = quotedDirectoryFromReply(lastLine_);
        break;
    default:
        break;
    }
}

QByteArray TCustomFtpCli::loginName() const
{
    if (connectionType_ != ftpProxy)
        return userName_;
    // The proxy learns from the login where to connect to.
    QByteArray name = userName_ + '@' + hostName_.toUtf8();
    if (port_.compare(QLatin1String("ftp"), Qt::CaseInsensitive) != 0 && port_ != QLatin1String("21"))
        name += ':' + port_.toUtf8();
    return name;
}

void TCustomFtpCli::display(const QString& line)
{
    if (OnDisplay)
        OnDisplay(visibleText(line));
}

void TCustomFtpCli::failWith(int code, const QString& reply)
{
    lastResponse_ = reply;
    statusCode_ = code;
    failRequest(code, reply);
}

void TCustomFtpCli::failRequest(int code, const QString& message)
{
    requestResult_ = code;
    if (errorMessage_.isEmpty())
        errorMessage_ = visibleText(message);
}

void TCustomFtpCli::TriggerProgress(qint64 count, bool& abort)
{
    if (OnProgress)
        OnProgress(count, abort);
}

// ---------------------------------------------------------------- transfer stages

const char* TCustomFtpCli::transferStageName(TransferStage stage)
{
    switch (stage) {
    case TransferStage::Idle:
        return "Idle";
    case TransferStage::AwaitingFirstReply:
        return "AwaitingFirstReply";
    case TransferStage::DataClosedEarly:
        return "DataClosedEarly";
    case TransferStage::Moving:
        return "Moving";
    case TransferStage::AwaitingFinalReply:
        return "AwaitingFinalReply";
    case TransferStage::AwaitingDataClose:
        return "AwaitingDataClose";
    }
    return "?";
}

void TCustomFtpCli::setTransferStage(TransferStage stage)
{
    if (stage == transferStage_)
        return;
    qCDebug(ftpLog) << "transfer" << transferStageName(transferStage_) << "->" << transferStageName(stage);
    transferStage_ = stage;
    ++stageSerial_;
    const bool replyDueAfterClose
        = stage == TransferStage::DataClosedEarly || stage == TransferStage::AwaitingFinalReply;
    if (replyDueAfterClose && passive_ && data_.droppedByServer()) {
        QTimer::singleShot(droppedDataGraceMs, this, [this, serial = stageSerial_] {
            if (serial == stageSerial_)
                onDroppedDataConnection();
        });
    }
}

// ---------------------------------------------------------------- data port

void TCustomFtpCli::startPort()
{
    checkReadyAndConnected();
    const bool upload
        = std::find(pendingSteps_.begin(), pendingSteps_.end(), ftpFctPut) != pendingSteps_.end();
    const bool hasTarget
        = upload ? !localFileName_.isEmpty() : !localFileName_.isEmpty() || displayFileFlag_ || downloadSink_;
    if (!hasTarget)
        throw FtpException(ftptext::localFileNameEmpty());
    data_.begin(upload ? FtpDataChannel::Direction::Upload : FtpDataChannel::Direction::Download);
    if (passive_) {
        passiveReply_.clear();
        return exec("PASV", { 200, 227 }, &TCustomFtpCli::handleCommandReply);
    }
    const quint16 port = data_.listen(controlPeer_);
    if (port == 0) {
        failWith(550, ftptext::raised(550, ESocketException::className(), data_.errorText()));
        completeStep(550);
        return;
    }
    exec(
        portCommand(control_->GetSockName().address, port), { 200, 227 }, &TCustomFtpCli::handleCommandReply);
}

void TCustomFtpCli::startRest()
{
    if (resumeAt_ <= 0) {
        completeStep(0);
        return;
    }
    restSent_ = true;
    restPosition_ = resumeAt_;
    exec("REST " + QByteArray::number(resumeAt_), {}, &TCustomFtpCli::handleCommandReply);
}

bool TCustomFtpCli::resumeWasAccepted() const
{
    // Only "350" means the server will start at the offset; a server that
    // answers otherwise sends (or takes) the whole file.
    return previousStep_ == ftpFctRest && previousReplyCode_ == 350;
}

QByteArray TCustomFtpCli::transferCommand(const QByteArray& command) const
{
    return hostFileName_.isEmpty() ? command : command + ' ' + hostFileName_;
}

void TCustomFtpCli::sendTransferCommand(const QByteArray& command, int connectFailureCode)
{
    setTransferStage(TransferStage::AwaitingFirstReply);
    std::optional<PassiveReply> passive;
    if (passive_) {
        passive = parsePassiveReply(passiveReply_);
        if (!passive) {
            failWith(500, ftptext::invalidPassiveReply(decodeRemoteText(passiveReply_)));
            failTransfer(500, {});
            return;
        }
    }
    exec(transferCommand(command), {}, &TCustomFtpCli::handleTransferReply);
    // The command goes first and the data connection follows: a server may
    // close a passive connection that reaches it before its command
    // (pyftpdlib does), and every server waits for a late one.
    if (passive && transferRunning())
        connectPassive(passive->port, connectFailureCode);
}

void TCustomFtpCli::connectPassive(quint16 port, int failureCode)
{
    // The data connection goes where the control connection went, never to
    // the address in the reply: a server must not send us to a third host.
    const SocksRoute route = effectiveSocksRoute();
    const QString host = route.isEnabled() ? hostName_ : controlPeer_;
    if (!data_.connectTo(host, port, localAddr_, route)) {
        failWith(failureCode, ftptext::raised(failureCode, ESocketException::className(), data_.errorText()));
        failTransfer(failureCode, {});
    }
}

void TCustomFtpCli::onDataConnectFailed(int error)
{
    if (!transferRunning())
        return;
    failWith(550, ftptext::noDataConnection(error));
    failTransfer(550, {});
}

// ---------------------------------------------------------------- download

FtpDataSink& TCustomFtpCli::downloadTarget()
{
    if (downloadSink_)
        return *downloadSink_;
    if (displayFileFlag_) {
        displaySink_.setMode(displayFileMode_);
        return displaySink_;
    }
    fileSink_.emplace(localFileName_, shareMode_);
    return *fileSink_;
}

FtpReceiveBounds TCustomFtpCli::receiveBounds(const QByteArray& command) const
{
    FtpReceiveBounds bounds;
    if (command == "LIST") {
        bounds.maxBytes = listingMaxBytes;
        bounds.maxLines = listingMaxLines;
    } else {
        bounds.expectedEnd = expectedSize_;
        bounds.stopAt = partEnd_;
    }
    return bounds;
}

void TCustomFtpCli::startDownload(const QByteArray& command)
{
    if (!resumeWasAccepted())
        resumeAt_ = 0;
    if (!connected_)
        throw FtpException(ftptext::transferNotConnected(QString::fromLatin1(command)));
    // Refused before the sink starts, which may empty a local file.
    checkCommandLine(transferCommand(command));
    usedDownloadOptions_ = true;
    FtpDataSink& sink = downloadTarget();
    currentSink_ = &sink;
    if (!data_.receiveInto(sink, resumeAt_, receiveBounds(command))) {
        failWith(550, ftptext::cannotOpenForDownload(sink.name(), sink.failureText()));
        completeStep(550);
        return;
    }
    // The bytes of this transfer come after what the sink holds; the
    // progress counts them alone.
    resumeAt_ = 0;
    sendTransferCommand(command, 550);
}

// ---------------------------------------------------------------- upload

void TCustomFtpCli::startPut()
{
    request_ = ftpPutAsync;
    if (!resumeWasAccepted())
        resumeAt_ = 0;
    if (!connected_)
        throw FtpException(ftptext::uploadNotConnected());
    bool cancel = false;
    if (OnReadyToTransmit)
        OnReadyToTransmit(cancel);
    if (cancel) {
        failWith(426, ftptext::transmitCancelled());
        display(QStringLiteral("! ") + ftptext::transmitCancelled());
        completeStep(426);
        return;
    }
    if (openUploadFile())
        sendTransferCommand("STOR", 426);
}

bool TCustomFtpCli::openUploadFile()
{
    FtpLocalFile& file = data_.source();
    QString failure;
    if (!file.openForUpload(localFileName_, shareMode_))
        failure = ftptext::cannotOpenForUpload(localFileName_);
    else if (resumeAt_ > file.size())
        failure = ftptext::resumeBeyondEnd(localFileName_);
    else if (resumeAt_ > 0 && !file.seek(resumeAt_))
        failure = ftptext::cannotOpenForUpload(localFileName_);
    if (failure.isEmpty()) {
        // TYPE A: the file's LF line ends go out as CR LF.
        file.setTextLineEnds(!binary_);
        return true;
    }
    file.release();
    failWith(426, failure);
    display(QStringLiteral("! ") + failure);
    completeStep(426);
    return false;
}

// ---------------------------------------------------------------- replies and the data's end

bool TCustomFtpCli::isFirstReplyPositive(int code) const
{
    if (data_.direction() == FtpDataChannel::Direction::Upload)
        return code == 150 || code == 125;
    return (code >= 150 && code <= 159) || code == 125;
}

bool TCustomFtpCli::isFinalReplyPositive(int code) const
{
    if (data_.direction() == FtpDataChannel::Direction::Upload)
        return code == 226 || code == 250;
    return code == 125 || code == 226 || code == 250;
}

void TCustomFtpCli::handleTransferReply(int code)
{
    switch (transferStage_) {
    case TransferStage::AwaitingFirstReply:
    case TransferStage::DataClosedEarly:
        if (isFirstReplyPositive(code)) {
            if (data_.direction() == FtpDataChannel::Direction::Upload)
                data_.permitSending();
            setTransferStage(transferStage_ == TransferStage::AwaitingFirstReply
                    ? TransferStage::Moving
                    : TransferStage::AwaitingFinalReply);
            return;
        }
        // "425": the server could not use the data connection.
        if (code == 425 && mayRetryTransfer())
            return retryTransfer();
        return failTransfer(code, {});
    case TransferStage::Moving:
    case TransferStage::AwaitingFinalReply:
        // When this side ended the transfer, the server's answer to the
        // early close says nothing new: the reason decides the outcome.
        if (isFinalReplyPositive(code) || data_.stopReason() != FtpDataChannel::StopReason::None) {
            if (transferStage_ == TransferStage::Moving)
                setTransferStage(TransferStage::AwaitingDataClose);
            else
                completeTransfer();
            return;
        }
        if (code == 426 && transferStage_ == TransferStage::AwaitingFinalReply && mayRetryTransfer())
            return retryTransfer();
        if (data_.direction() == FtpDataChannel::Direction::Upload)
            return failTransfer(code, ftptext::uploadFailed());
        if (transferStage_ == TransferStage::Moving) {
            // What the server sent before it gave up is still on its way
            // and is the file's: it is kept for a resume.
            failRequest(code, lastResponse_);
            display(ftptext::downloadFailed());
            setTransferStage(TransferStage::AwaitingDataClose);
            return;
        }
        return failTransfer(code, ftptext::downloadFailed());
    case TransferStage::AwaitingDataClose:
    case TransferStage::Idle:
        break;
    }
}

void TCustomFtpCli::onDataClosed()
{
    switch (transferStage_) {
    case TransferStage::AwaitingFirstReply:
        setTransferStage(TransferStage::DataClosedEarly);
        break;
    case TransferStage::Moving:
        setTransferStage(TransferStage::AwaitingFinalReply);
        break;
    case TransferStage::AwaitingDataClose:
        completeTransfer();
        break;
    case TransferStage::Idle:
    case TransferStage::DataClosedEarly:
    case TransferStage::AwaitingFinalReply:
        break;
    }
}

bool TCustomFtpCli::mayRetryTransfer() const
{
    return passive_ && !retried_ && data_.droppedByServer();
}

void TCustomFtpCli::onDroppedDataConnection()
{
    if (mayRetryTransfer()) {
        retryTransfer();
        return;
    }
    // Dropped again: the server holds a transfer command that nothing will
    // complete, so no later reply could be matched to its command. The
    // request ends through the connection-closed path.
    failWith(426, ftptext::dataDropped());
    closeControl();
}

void TCustomFtpCli::retryTransfer()
{
    retried_ = true;
    display(ftptext::retryingTransfer());
    const TFtpFct step = step_;
    // Whatever the server still says to the abandoned command is not the
    // answer to the commands that follow.
    oweAwaitedReplies();
    setTransferStage(TransferStage::Idle);
    data_.close();
    std::vector<TFtpFct> again { ftpFctAbortXfer, ftpFctPort };
    if (restSent_) {
        again.push_back(ftpFctRest);
        resumeAt_ = restPosition_;
    }
    again.push_back(step);
    pendingSteps_.insert(pendingSteps_.begin(), again.begin(), again.end());
    completeStep(0);
}

void TCustomFtpCli::failTransfer(int code, const QString& logLine)
{
    failRequest(code, lastResponse_);
    setTransferStage(TransferStage::Idle);
    data_.close();
    if (!logLine.isEmpty())
        display(logLine);
    resumeAt_ = 0;
    completeStep(code);
}

void TCustomFtpCli::completeTransfer()
{
    display(ftptext::statistics(data_.byteCount(), data_.elapsedMs()));
    resumeAt_ = 0;
    setTransferStage(TransferStage::Idle);
    completeStep(transferOutcome());
}

int TCustomFtpCli::transferOutcome()
{
    // The server's own failure (its data drained) stays the outcome. Its
    // "226" only says what the server saw: a transfer that this side cut
    // short, could not store or found incomplete did not succeed.
    if (requestResult_ != 0)
        return requestResult_;
    const QString target = currentSink_ ? currentSink_->name() : localFileName_;
    switch (data_.stopReason()) {
    case FtpDataChannel::StopReason::PartComplete:
        return requestResult_;
    case FtpDataChannel::StopReason::AbortedByApplication:
        failRequest(426, ftptext::transferAborted());
        return requestResult_;
    case FtpDataChannel::StopReason::WriteFailed:
        failRequest(550, ftptext::writeFailed(target));
        return requestResult_;
    case FtpDataChannel::StopReason::ReadFailed:
        failRequest(426, ftptext::readFailed(localFileName_));
        return requestResult_;
    case FtpDataChannel::StopReason::BeyondExpectedEnd:
        failRequest(426, ftptext::moreThanExpected(data_.expectedEnd(), data_.reached()));
        return requestResult_;
    case FtpDataChannel::StopReason::TooLong:
        failRequest(426, ftptext::listingTooLong(listingMaxBytes, listingMaxLines));
        return requestResult_;
    case FtpDataChannel::StopReason::None:
        break;
    }
    if (data_.closeError() != 0)
        failRequest(data_.closeError(), ftptext::dataClosedWithError(data_.closeError()));
    else if (data_.direction() == FtpDataChannel::Direction::Upload && !data_.sentWholeFile())
        failRequest(426, ftptext::uploadCutShort());
    else if (data_.direction() == FtpDataChannel::Direction::Download && data_.endedShort())
        failRequest(426, ftptext::endedShort(data_.position(), data_.expectedEnd()));
    return requestResult_;
}

void TCustomFtpCli::forgetDownloadOptions()
{
    currentSink_ = nullptr;
    if (!std::exchange(usedDownloadOptions_, false))
        return;
    downloadSink_ = nullptr;
    expectedSize_ = -1;
    partEnd_ = -1;
}
