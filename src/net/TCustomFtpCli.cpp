#include "net/TCustomFtpCli.h"

#include "net/FtpTexts.h"
#include "net/TWSocket.h"

#include <QLoggingCategory>
#include <QThread>

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

bool isTransferStep(TFtpFct step)
{
    return step == ftpFctGet || step == ftpFctDir || step == ftpFctPut;
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
    data_.OnDisplayFile = [this](const QByteArray& data) {
        if (OnDisplayFile)
            OnDisplayFile(data);
    };
    data_.OnEstablished = [this] { onDataEstablished(); };
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

FtpSocksRoute TCustomFtpCli::socksRoute() const
{
    if (!isSocksType(connectionType_))
        return {};
    FtpSocksRoute route = socks_;
    route.level = connectionType_ == ftpSocks4 ? QStringLiteral("4")
        : connectionType_ == ftpSocks4A        ? QStringLiteral("4A")
                                               : QStringLiteral("5");
    return route;
}

// ---------------------------------------------------------------- requests

bool TCustomFtpCli::startRequest(TFtpRequest request, std::vector<TFtpFct> steps, bool whileBusy)
{
    try {
        if (!whileBusy && (!requestDone_ || !isReadyState(state_)))
            throw FtpException(ftptext::notReady());
        if (steps.front() == ftpFctOpen && connected_)
            throw FtpException(ftptext::alreadyConnected());
        if (!requestDone_)
            giveUpRunningRequest();
        request_ = request;
        pendingSteps_ = std::move(steps);
        previousStep_ = ftpFctNone;
        previousReplyCode_ = 0;
        requestResult_ = 0;
        errorMessage_.clear();
        requestDone_ = false;
        runNextStep();
    } catch (const FtpException& error) {
        // Every step checks what it needs before it changes anything, so
        // the component is as it was.
        requestDone_ = true;
        stepDone_ = true;
        pendingSteps_.clear();
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
        return exec("RNTO " + localFileName_.toUtf8(), { 200, 250, 257 }, &TCustomFtpCli::handleCommandReply);
    case ftpFctQuote:
        return exec(localFileName_.toUtf8(), {}, &TCustomFtpCli::handleCommandReply);
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
    if (awaitingReply_) {
        // The server still answers the last command; that answer must not
        // be taken for the reply to the next one.
        ++owedReplies_;
        awaitingReply_ = false;
    }
    data_.close();
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
    if (awaitingReply_) {
        ++owedReplies_;
        awaitingReply_ = false;
    }
    data_.close();
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
    awaitingReply_ = false;
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
    awaitingReply_ = false;
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
    socksRoute().applyTo(*control_);
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
    lastResponse_ = QString::fromUtf8(line);
    if (OnResponse)
        OnResponse();
    display(QStringLiteral("< ") + lastResponse_);
    const FtpReplyClassifier::Line reply = classifier_.classify(line);
    if (!reply.final)
        return;
    if (owedReplies_ > 0) {
        if (reply.code >= 200)
            --owedReplies_;
        return;
    }
    switch (state_) {
    case ftpWaitingBanner:
        handleGreeting(reply.code);
        break;
    case ftpWaitingResponse:
        statusCode_ = reply.code;
        if (reply.code >= 200)
            awaitingReply_ = false;
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
    if (!anyState)
        checkReadyAndConnected();
    QByteArray line = command;
    if (OnCommand)
        OnCommand(line);
    if (!isSafeCommandLine(line))
        throw FtpException(ftptext::unsafeCommand());
    acceptedCodes_ = std::move(acceptedCodes);
    replyHandler_ = handler;
    errorMessage_.clear();
    setState(ftpWaitingResponse);
    display(QStringLiteral("> ") + QString::fromUtf8(line));
    if (control_->State() != wsConnected) {
        failWith(500, ftptext::controlClosed());
        completeStep(500);
        return;
    }
    awaitingReply_ = true;
    control_->SendStr(line + "\r\n");
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
        OnDisplay(line);
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
        errorMessage_ = message;
}

void TCustomFtpCli::TriggerProgress(qint64 count, bool& abort)
{
    if (OnProgress)
        OnProgress(count, abort);
}

// ---------------------------------------------------------------- data port

void TCustomFtpCli::startPort()
{
    checkReadyAndConnected();
    const bool upload
        = std::find(pendingSteps_.begin(), pendingSteps_.end(), ftpFctPut) != pendingSteps_.end();
    if (localFileName_.isEmpty() && (upload || !displayFileFlag_))
        throw FtpException(ftptext::localFileNameEmpty());
    data_.begin(upload ? FtpDataChannel::Direction::Upload : FtpDataChannel::Direction::Download);
    data_.setDisplay(displayFileFlag_ && !upload, displayFileMode_);
    transferFirstReply_ = false;
    transferReplyDone_ = false;
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

bool TCustomFtpCli::connectPassive(int failureCode)
{
    const std::optional<PassiveReply> reply = parsePassiveReply(passiveReply_);
    if (!reply) {
        failWith(500, ftptext::invalidPassiveReply(QString::fromUtf8(passiveReply_)));
        completeStep(500);
        return false;
    }
    // The data connection goes where the control connection went, never to
    // the address in the reply: a server must not send us to a third host.
    const FtpSocksRoute route = socksRoute();
    const QString host = route.isEnabled() ? hostName_ : controlPeer_;
    if (!data_.connectTo(host, reply->port, localAddr_, route)) {
        failWith(failureCode, ftptext::raised(failureCode, ESocketException::className(), data_.errorText()));
        completeStep(failureCode);
        return false;
    }
    return true;
}

bool TCustomFtpCli::transferRunning() const
{
    return isTransferStep(step_) && !stepDone_;
}

void TCustomFtpCli::onDataConnectFailed(int error)
{
    if (!transferRunning())
        return;
    failWith(550, ftptext::noDataConnection(error));
    completeStep(550);
}

void TCustomFtpCli::onDataClosed()
{
    if (transferRunning())
        completeTransferIfDone();
}

void TCustomFtpCli::failTransfer(int code, const QString& logLine)
{
    failRequest(code, lastResponse_);
    data_.close();
    if (!logLine.isEmpty())
        display(logLine);
    resumeAt_ = 0;
    completeStep(code);
}

void TCustomFtpCli::completeTransferIfDone()
{
    if (!transferReplyDone_ || data_.phase() != FtpDataChannel::Phase::Closed)
        return;
    display(ftptext::statistics(data_.byteCount(), data_.elapsedMs()));
    resumeAt_ = 0;
    completeStep(transferOutcome());
}

int TCustomFtpCli::transferOutcome()
{
    // The server's "226" only says what the server saw; a transfer that
    // this side cut short or could not store did not succeed.
    if (data_.abortedByApplication())
        failRequest(426, ftptext::transferAborted());
    else if (data_.localFailure() == FtpDataChannel::LocalFailure::Write)
        failRequest(550, ftptext::writeFailed(localFileName_));
    else if (data_.localFailure() == FtpDataChannel::LocalFailure::Read)
        failRequest(426, ftptext::readFailed(localFileName_));
    else if (data_.closeError() != 0)
        failRequest(data_.closeError(), ftptext::dataClosedWithError(data_.closeError()));
    else if (data_.direction() == FtpDataChannel::Direction::Upload && !data_.sentWholeFile())
        failRequest(426, ftptext::uploadCutShort());
    return requestResult_;
}

// ---------------------------------------------------------------- download

void TCustomFtpCli::startDownload(const QByteArray& command)
{
    if (!resumeWasAccepted())
        resumeAt_ = 0;
    if (!connected_)
        throw FtpException(ftptext::transferNotConnected(QString::fromLatin1(command)));
    if (!displayFileFlag_) {
        const bool append = resumeAt_ > 0;
        if (!data_.file().openForDownload(localFileName_, append, shareMode_)) {
            failWith(550, ftptext::cannotOpenForDownload(localFileName_));
            completeStep(550);
            return;
        }
        // The bytes of this transfer come after what the file holds; the
        // progress counts them alone.
        resumeAt_ = 0;
    }
    if (passive_ && !connectPassive(550))
        return;
    exec(transferCommand(command), {}, &TCustomFtpCli::handleDownloadReply);
}

void TCustomFtpCli::handleDownloadReply(int code)
{
    if (!transferFirstReply_) {
        transferFirstReply_ = true;
        if ((code >= 150 && code <= 159) || code == 125)
            return;
        failTransfer(code, {});
        return;
    }
    if (code == 125 || code == 226 || code == 250) {
        transferReplyDone_ = true;
        completeTransferIfDone();
        return;
    }
    failTransfer(code, ftptext::downloadFailed());
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
    if (!openUploadFile())
        return;
    if (passive_) {
        // STOR goes out once the data connection is up (onDataEstablished).
        connectPassive(426);
        return;
    }
    exec(transferCommand("STOR"), {}, &TCustomFtpCli::handleUploadReply);
}

bool TCustomFtpCli::openUploadFile()
{
    FtpLocalFile& file = data_.file();
    QString failure;
    if (!file.openForUpload(localFileName_, shareMode_))
        failure = ftptext::cannotOpenForUpload(localFileName_);
    else if (resumeAt_ > file.size())
        failure = ftptext::resumeBeyondEnd(localFileName_);
    else if (resumeAt_ > 0 && !file.seek(resumeAt_))
        failure = ftptext::cannotOpenForUpload(localFileName_);
    if (failure.isEmpty())
        return true;
    failWith(426, failure);
    display(QStringLiteral("! ") + failure);
    completeStep(426);
    return false;
}

void TCustomFtpCli::onDataEstablished()
{
    if (transferRunning() && step_ == ftpFctPut && passive_ && state_ != ftpWaitingResponse) {
        try {
            exec(transferCommand("STOR"), {}, &TCustomFtpCli::handleUploadReply);
        } catch (const FtpException& usage) {
            failWith(500, QStringLiteral("500 ") + usage.message());
            completeStep(500);
        }
    }
}

void TCustomFtpCli::handleUploadReply(int code)
{
    if (!transferFirstReply_) {
        transferFirstReply_ = true;
        if (code == 150 || code == 125) {
            data_.permitSending();
            return;
        }
        failTransfer(code, {});
        return;
    }
    if (code == 226 || code == 250) {
        transferReplyDone_ = true;
        completeTransferIfDone();
        return;
    }
    failTransfer(code, ftptext::uploadFailed());
}
