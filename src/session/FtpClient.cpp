#include "session/FtpClient.h"

#include "common/Notices.h"
#include "common/ProgramFolders.h"
#include "common/Prompter.h"
#include "net/TFtpClient.h"
#include "net/THttpCli.h"
#include "net/VisibleText.h"
#include "p2p/IndexServerClient.h"
#include "remote/RemotePath.h"
#include "session/SessionLog.h"
#include "session/SessionView.h"
#include "settings/ApplyOptions.h"

#include <QDateTime>

namespace
{

constexpr qsizetype captionLength = 10;
constexpr qsizetype shortenedCaptionLength = 7;
constexpr int abortTimeoutSeconds = 5;
constexpr int quitTimeoutSeconds = 3;

QByteArray toBytes(const std::string& text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

QString sessionFolderTemplate()
{
    return joinPath(::temporaryFolder(), QStringLiteral("session-XXXXXX"));
}

namespace texts
{
QString connectionFailed()
{
    return QStringLiteral(
        "Connection to server failed!\n\nPlease check\n\n 1) address/port \n\n 2) your TCP/IP "
        "network connection\n\nthen try again.");
}
QString userNameRefused()
{
    return QStringLiteral(
        "Authorization with server failed. Please check the username.\n\nOne possible reason "
        "is that the server refuses your IP address.");
}
QString passwordRefused()
{
    return QStringLiteral(
        "Authorization with server failed. Please check the username and the password.\n\nAnother possible "
        "reason is that the server cannot accept any more connections.\nIf you are trying to make an "
        "anonymous "
        "FTP connection, then try to enter your email address instead of the default one in Edit->Client->"
        "Connection Options.");
}
QString noP2pNetwork()
{
    return QStringLiteral(
        "The server's P2P username cannot be resolved: its P2P network has no index server.");
}
} // namespace texts

} // namespace

ftpClient::ftpClient(ftpSite site, std::shared_ptr<sessionView> view, environment environment)
    : site_(std::move(site))
    , view_(std::move(view))
    , prompter_(environment.prompter)
    , noticeReceiver_(environment.noticeReceiver)
    , options_(std::move(environment.options))
    , ftp_(std::make_unique<TFtpClient>())
    , http_(std::make_unique<THttpCli>())
    , folder_(sessionFolderTemplate())
    , searchResultsFile_(joinPath(
          folder_.path(), QStringLiteral("mainThreadSearch%1.tmp").arg(QDateTime::currentMSecsSinceEpoch())))
{
    ftp_->SetShareMode(ftpShareCompat);
    attachComponentEvents();
    keepAlive_.callOnTimeout(this, [this] { keepAliveTick(); });
    view_->setCaption(tabCaption(site_.name));
    view_->bringToFront();
    setSessionState(sessionState::Disconnected);
}

ftpClient::~ftpClient()
{
    reclaimConnection();
    loggingInOrClosing_ = true;
    closing_ = true;
    ftp_->OnDisplay = nullptr;
    ftp_->OnStateChange = nullptr;
    ftp_->OnSessionClosed = nullptr;
    ftp_->OnProgress = nullptr;
    treeEvents_ = false;
    keepAlive_.stop();
    ftp_->Abort();
    view_->setState(sessionState::BeginningState, commandsFor(sessionState::BeginningState, {}, {}));
    tree_.clear();
    view_->clearTree();
    clearList();
    // The session's folder (its listing caches and search results) goes with
    // the QTemporaryDir; other sessions keep theirs.
    indexAborted_ = true;
    http_->Abort();
}

QString ftpClient::tabCaption(const std::string& siteName)
{
    const QString name = decodeRemoteText(siteName);
    return name.size() <= captionLength ? name : name.left(shortenedCaptionLength) + QStringLiteral("...");
}

// ------------------------------------------------------------ component events

void ftpClient::attachComponentEvents()
{
    ftp_->OnDisplay = [this](const QString& line) { logLine(line); };
    ftp_->OnStateChange = [this](TFtpState state) { componentStateChanged(state); };
    ftp_->OnSessionClosed = [this](int) { componentSessionClosed(); };
    ftp_->OnProgress = [this](qint64 count, bool& abort) {
        abort = abort || closing_ || (downloadLimit_ >= 0 && count > downloadLimit_);
    };
    ftp_->OnUsageError = [this](const QString& message) { logLine(QStringLiteral("! ") + message); };
}

void ftpClient::componentStateChanged(int state)
{
    const commandScope scope(*this);
    switch (static_cast<TFtpState>(state)) {
    case ftpReady:
        setSessionState(sessionState::Connected);
        if (!closing_ && options_.KeepAlivePeriod > 0)
            keepAlive_.start(options_.KeepAlivePeriod);
        break;
    case ftpInternalReady:
    case ftpInternalAbort:
    case ftpWaitingBanner:
    case ftpWaitingResponse:
        setSessionState(sessionState::IndeterminateStable);
        break;
    case ftpDnsLookup:
        setSessionState(sessionState::IndeterminateStable);
        showStatus(QStringLiteral("Resolving IP address and connecting.."));
        break;
    case ftpConnected:
        showStatus(QStringLiteral("Connected."));
        break;
    case ftpAbort:
        setSessionState(sessionState::IndeterminateStable);
        showStatus(QStringLiteral("Aborted."));
        break;
    case ftpNotConnected:
        break;
    }
}

void ftpClient::componentSessionClosed()
{
    const commandScope scope(*this);
    logLine(QStringLiteral("! Disconnected from ") + pseudoAddress());
    if (loggingInOrClosing_)
        return;
    tearDownViews();
    if (established_)
        closeSession();
}

void ftpClient::keepAliveTick()
{
    const commandScope scope(*this);
    if (!ftp_->GetConnected() || ftp_->State() != ftpReady)
        return;
    showStatus(QStringLiteral("Sending Keep Alive Signal.."));
    setSessionState(sessionState::KeepingAlive);
    if (!closing_)
        quote("SYST");
    setSessionState(sessionState::IndeterminateStable);
    finishCommand();
}

// ------------------------------------------------------------ connecting

bool ftpClient::connectSession(bool list)
{
    const commandScope scope(*this);
    setSessionState(sessionState::Connecting);
    established_ = false;
    const int attempts = options_.Attempts;
    if (prepareSite()) {
        // Going back or forward keeps the other direction's entries.
        if (!skipHistory_)
            history_.dropForward();
        view_->clearLog();
        logLine(QStringLiteral("! Session with %1 on port %2, started %3")
                    .arg(pseudoAddress())
                    .arg(site_.port)
                    .arg(QDateTime::currentDateTime().toString(Qt::ISODate)));
        for (int attempt = 1; attempt <= attempts && !closing_; ++attempt) {
            const attemptFailure failure = runAttempt(attempt);
            if (failure == attemptFailure::None) {
                loggingInOrClosing_ = false;
                if (list) {
                    relist_ = true;
                    listFolder(site_.initialDirectory, false, true, false, false);
                    if (!closing_) {
                        established_ = true;
                        view_->expandTree();
                    }
                }
                setSessionState(sessionState::Connected);
                return true;
            }
            if (attempt == attempts && !closing_)
                showAttemptFailure(failure);
        }
        if (!closing_)
            setSessionState(sessionState::Disconnected);
    }
    loggingInOrClosing_ = false;
    disconnectSession(true);
    return false;
}

ftpClient::attemptFailure ftpClient::runAttempt(int attempt)
{
    const QString connecting
        = QStringLiteral("! Connecting to %1 - attempt #%2").arg(pseudoAddress()).arg(attempt);
    showStatus(connecting);
    logLine(connecting);
    if (attempt > 1)
        ftp_->SetPassive(true);
    loggingInOrClosing_ = true;
    // A connection kept from an earlier attempt is used again, starting at
    // USER; one that the server closed meanwhile is opened afresh.
    if (!ftp_->GetConnected()) {
        if (closing_ || !ftp_->Open()) {
            ftp_->Abort();
            return attemptFailure::Connection;
        }
    }
    showStatus(QStringLiteral("Sending username to ") + pseudoAddress());
    if (closing_ || !ftp_->GetConnected() || !ftp_->User())
        return attemptFailure::UserName;
    if (ftp_->LoggedInByUser())
        return attemptFailure::None;
    showStatus(QStringLiteral("Sending password to ") + pseudoAddress());
    if (closing_ || !ftp_->Pass())
        return attemptFailure::Password;
    return attemptFailure::None;
}

void ftpClient::showAttemptFailure(attemptFailure failure)
{
    switch (failure) {
    case attemptFailure::Connection:
        showServerError(texts::connectionFailed());
        break;
    case attemptFailure::UserName:
        showServerError(texts::userNameRefused());
        break;
    case attemptFailure::Password:
        showServerError(texts::passwordRefused());
        break;
    case attemptFailure::None:
        break;
    }
}

bool ftpClient::prepareSite()
{
    if (site_.hostAddress.empty())
        return false;
    if (!site_.persistent && !resolveP2pAddress())
        return false;
    configureComponent();
    return true;
}

bool ftpClient::resolveP2pAddress()
{
    showStatus(QStringLiteral("Resolving server's IP address and port from the P2P username.."));
    if (site_.network.baseUrl.empty() && site_.network.indexUrl.empty()) {
        showError(texts::noP2pNetwork());
        return false;
    }
    indexAborted_ = false;
    const std::optional<UserAddress> address
        = resolveUserAddress(IndexCaller { *http_, indexAborted_, closing_ ? nullptr : &prompter_ }, options_,
            site_.network, site_.displayAddress, true);
    if (!address)
        return false;
    site_.hostAddress = address->address;
    site_.port = address->port;
    return true;
}

void ftpClient::configureComponent()
{
    ftp_->SetHostName(decodeRemoteText(site_.hostAddress));
    ftp_->SetPort(QString::number(site_.port));
    ftp_->SetHostDirName(toBytes(site_.initialDirectory));
    if (site_.anonymous) {
        ftp_->SetUserName("anonymous");
        ftp_->SetPassWord(toBytes(options_.AnonymousPassword));
    } else {
        ftp_->SetUserName(toBytes(site_.userId));
        ftp_->SetPassWord(toBytes(site_.password));
    }
    if (!ftp_->GetConnected())
        applyConnectionOptions(*ftp_, options_);
    else
        ftp_->SetTimeout(options_.TimeoutPeriod);
    keepAlive_.stop();
}

// ------------------------------------------------------------ ending

void ftpClient::abortCommand()
{
    const commandScope scope(*this);
    showStatus(QStringLiteral("Trying to abort within 5 secs... (disconnecting if unsuccessful)"));
    if (lentTo_) {
        // The transfer holding the connection is what runs: it stops, and
        // its view hands the connection back as it goes.
        lentTo_->cancelClicked();
        return;
    }
    indexAborted_ = true;
    http_->Abort();
    if (loggingInOrClosing_) {
        ftp_->Abort();
        return;
    }
    ftp_->SetTimeout(abortTimeoutSeconds);
    ftp_->AbortXfer();
    if (ftp_->State() != ftpReady)
        ftp_->Abort();
    ftp_->SetTimeout(options_.TimeoutPeriod);
}

void ftpClient::disconnectSession(bool close, bool lastSession)
{
    const commandScope scope(*this);
    reclaimConnection();
    setSessionState(sessionState::Disconnecting);
    if (lastSession)
        lastSession_ = true;
    if (close)
        closing_ = true;
    established_ = false;
    if (ftp_->GetConnected() && (ftp_->State() != ftpReady || !directoryCommandIdle_)) {
        // A command is in flight: it unwinds, and its finishCommand closes.
        ftp_->Abort();
        return;
    }
    if (ftp_->GetConnected()) {
        showStatus(QStringLiteral("Trying gracefully disconnecting from %1 within 3 seconds..")
                       .arg(pseudoAddress()));
        ftp_->SetTimeout(quitTimeoutSeconds);
        ftp_->Quit();
    }
    ftp_->Abort();
    if (loggingInOrClosing_)
        return;
    tearDownViews();
    if (close)
        closeSession();
}

void ftpClient::finishCommand()
{
    const commandScope scope(*this);
    if (closing_)
        closeSession();
    else
        established_ = true;
}

void ftpClient::tearDownViews()
{
    keepAlive_.stop();
    clearList();
    selectedNode_ = nullptr;
    tree_.clear();
    view_->clearTree();
    if (!keepHistory_)
        history_.clear();
    site_.name.clear();
    site_.hostAddress.clear();
    site_.displayAddress.clear();
    site_.port = 0;
    site_.userId.clear();
    site_.password.clear();
    site_.initialDirectory.clear();
    ftp_->SetHostName({});
    ftp_->SetPort({});
    ftp_->SetHostDirName({});
    ftp_->SetUserName({});
    ftp_->SetPassWord({});
    ftp_->SetProxyServer({});
    ftp_->SetSocksRoute({});
    if (!ftp_->GetConnected())
        ftp_->SetConnectionType(ftpDirect);
    view_->setPathText({});
    serverWorkingDirectory_.clear();
    currentDirectory_.clear();
}

void ftpClient::closeSession()
{
    lastSessionCopy_ = lastSession_;
    closing_ = true;
    loggingInOrClosing_ = true;
    if (closePosted_)
        return;
    closePosted_ = true;
    noticeOwed_ = true;
    if (commandDepth_ == 0)
        postClosedNotice();
}

void ftpClient::postClosedNotice()
{
    noticeOwed_ = false;
    if (noticeReceiver_)
        postNotice(noticeReceiver_, Notice::SessionClosed, this, lastSessionCopy_ ? 1 : 0);
}

ftpClient::commandScope::commandScope(ftpClient& session)
    : session_(session)
{
    ++session_.commandDepth_;
}

ftpClient::commandScope::~commandScope()
{
    if (--session_.commandDepth_ == 0 && session_.noticeOwed_)
        session_.postClosedNotice();
}

// ------------------------------------------------------------ showing

void ftpClient::setSessionState(sessionState state)
{
    if (closing_)
        return;
    if (state == sessionState::ModalForm)
        return;
    const sessionActivity now = activity();
    state_ = resolvedState(state, now);
    commands_ = commandsFor(state_, now, commands_);
    if (commands_.connected && commands_.remoteViews)
        showStatus(QStringLiteral("Ready."));
    view_->setState(state_, commands_);
}

sessionActivity ftpClient::activity() const
{
    // A lent component belongs to the worker's thread: it counts as busy.
    if (lentTo_)
        return { true, false, directoryCommandIdle_, history_.canGoBack(), history_.canGoForward() };
    return { ftp_->GetConnected(), ftp_->State() == ftpReady, directoryCommandIdle_, history_.canGoBack(),
        history_.canGoForward() };
}

void ftpClient::showStatus(const QString& text)
{
    if (!closing_)
        view_->showStatus(text);
}

void ftpClient::logLine(const QString& line)
{
    if (line.isEmpty())
        return;
    const QString shown = loggableLine(line);
    view_->appendLog(shown, logColourOf(shown));
}

void ftpClient::showServerError(const QString& text)
{
    if (!closing_)
        prompter_.showServerError(text, ftp_->LastResponse());
}

void ftpClient::showError(const QString& text)
{
    if (!closing_)
        prompter_.showErrorBox(text);
}

QString ftpClient::pseudoAddress() const
{
    return decodeRemoteText(site_.displayAddress);
}

QString ftpClient::cacheFileOf(const std::string& folder) const
{
    return joinPath(folder_.path(),
        QString::fromStdString(remotePath::cacheFileName(site_.displayAddress, site_.port, folder)));
}

void ftpClient::treeNodeAdded(const ftpTreeViewObject& node)
{
    view_->addTreeNode(node);
}
