#include "transfer/LoaderThread.h"

#include "common/MainThreadCall.h"
#include "common/Prompter.h"
#include "net/EventWait.h"
#include "net/TFtpClient.h"
#include "net/THttpCli.h"
#include "p2p/IndexServerClient.h"
#include "settings/ApplyOptions.h"
#include "transfer/DeleteBranch.h"
#include "transfer/DigestReply.h"
#include "transfer/DirectoryCache.h"
#include "transfer/DownloadBranch.h"
#include "transfer/DownloadWalk.h"
#include "transfer/LoaderTexts.h"
#include "transfer/LocalName.h"
#include "transfer/RemoteName.h"
#include "transfer/UploadBranch.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>

#include <chrono>

namespace
{

constexpr std::chrono::milliseconds watchdogPeriod { 250 };
constexpr int quitTimeoutSeconds = 3;

std::string withSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

QThread::Priority threadPriority(OperationPriority priority)
{
    switch (priority) {
    case OperationPriority::High:
        return QThread::HighPriority;
    case OperationPriority::Low:
        return QThread::LowPriority;
    case OperationPriority::Normal:
        break;
    }
    return QThread::NormalPriority;
}

} // namespace

LoaderThread::LoaderThread(LoaderInputs inputs, QObject* parent)
    : QThread(parent)
    , kind_(inputs.request.kind)
    , options_(std::move(inputs.options))
    , borrowedClient_(inputs.borrowed)
    , prompter_(inputs.prompter)
    , progress_(inputs.progress ? std::move(inputs.progress) : std::make_shared<LoaderProgress>())
    , localNames_(inputs.localNames ? std::move(inputs.localNames) : std::make_shared<LocalNameClaims>())
    , localBase_(localBaseOf(inputs.request))
    , items_(std::move(inputs.request.items))
    , window_(inputs.window)
    , operation_(inputs.operation)
    , hasWindow_(inputs.window != nullptr)
    , onOperationChanged_(std::move(inputs.onOperationChanged))
    , site_(std::move(inputs.request.site))
{
    hostText_ = QString::fromStdString(site_.persistent ? site_.hostAddress : site_.p2pUserName);
    // An upload goes into its site's initial directory, which keeps the
    // server's bytes.
    remoteBase_ = withSlash(site_.initialDirectory);
    if (kind_ == OperationKind::Download)
        QDir().mkpath(localBase_);
    progress_->totalBytes = static_cast<std::int64_t>(totalSizeOf(items_.files));
}

LoaderThread::~LoaderThread()
{
    stopAndWait();
}

// ---------------------------------------------------------------- main thread

void LoaderThread::start(OperationPriority priority)
{
    QThread::start(threadPriority(priority));
}

void LoaderThread::setOperationPriority(OperationPriority priority)
{
    if (isRunning())
        setPriority(threadPriority(priority));
}

void LoaderThread::requestStop()
{
    terminated_ = true;
}

void LoaderThread::stopAndWait()
{
    requestStop();
    // The worker may be waiting for this thread in a synchronous call.
    while (!wait(QDeadlineTimer(std::chrono::milliseconds(5))))
        QCoreApplication::processEvents();
    // Pairs with the end of run(): what the worker did is done.
    handOverAcquire(this);
}

void LoaderThread::pause()
{
    resumeRequested_ = false;
    paused_ = true;
}

void LoaderThread::resume()
{
    paused_ = false;
    resumeRequested_ = true;
}

void LoaderThread::clearWindow()
{
    window_ = nullptr;
}

void LoaderThread::clearOperation()
{
    operation_ = nullptr;
}

TFtpClient* LoaderThread::takeBackBorrowed()
{
    if (!borrowedClient_ || !borrowedReturned_.load())
        return nullptr;
    borrowedClient_->ThreadAttach();
    return borrowedClient_;
}

// ---------------------------------------------------------------- the run

void LoaderThread::run()
{
    using Step = void (LoaderThread::*)();
    static constexpr Step steps[] = {
        &LoaderThread::createHttpClient,
        &LoaderThread::createWatchdog,
        &LoaderThread::setUpConnections,
        &LoaderThread::runBranch,
        &LoaderThread::quitUnlessStopped,
        &LoaderThread::reportOutcome,
        &LoaderThread::stopWatchdog,
        &LoaderThread::releaseConnections,
        &LoaderThread::releaseHttpClient,
    };
    for (const Step step : steps) {
        try {
            (this->*step)();
        } catch (const std::exception&) {
            // A component failed in a way its blocking call did not catch:
            // the operation cannot go on, but the clean-up steps still run.
            stopSelf();
        }
    }
    handOverRelease(this);
}

void LoaderThread::createHttpClient()
{
    http_ = std::make_unique<THttpCli>();
    http_->SetMultiThreaded(true);
    applyHttpProxy(*http_, options_);
}

void LoaderThread::createWatchdog()
{
    watchdog_ = std::make_unique<QTimer>();
    QObject::connect(watchdog_.get(), &QTimer::timeout, watchdog_.get(), [this] { watchdogTimeout(); });
    watchdog_->start(watchdogPeriod);
}

void LoaderThread::setUpConnections()
{
    if (borrowedClient_) {
        borrowedClient_->ThreadAttach();
        lenderState_ = { borrowedClient_->MultiThreaded(), borrowedClient_->OnSessionConnected,
            borrowedClient_->OnSessionClosed, borrowedClient_->OnRequestDone, borrowedClient_->OnProgress };
        borrowedClient_->SetMultiThreaded(true);
        connections_[0] = borrowedClient_;
        attachHandlers(0);
    } else {
        for (int i = 0; i < connectionCount; ++i) {
            owned_[i] = std::make_unique<TFtpClient>();
            applyConnectionOptions(*owned_[i], options_);
            owned_[i]->SetDisplayFileFlag(false);
            owned_[i]->SetShareMode(ftpShareDenyNone);
            owned_[i]->SetMultiThreaded(true);
            connections_[i] = owned_[i].get();
            attachHandlers(i);
        }
    }
}

void LoaderThread::attachHandlers(int index)
{
    TFtpClient* client = connections_[index];
    client->OnSessionConnected = [this, index](int error) {
        if (error != 0)
            return;
        const QString address = QString::fromStdString(site_.shownAddress());
        const int speed = site_.connectionSpeed;
        withWindow([&](LoaderWindow& window) {
            window.addConnectionRow(index, address, speed);
            window.setConnectionStatus(index, LoaderTexts::connected());
        });
    };
    client->OnSessionClosed = [this, index](int) {
        withWindow([&](LoaderWindow& window) { window.removeConnectionRow(index); });
    };
    client->OnRequestDone = [](TFtpRequest, int) {};
    client->OnProgress = [this, index](qint64 count, bool& abort) {
        if (transferring_)
            progress_->connectionBytes[static_cast<size_t>(index)] = count;
        abort = stopping() || (transferring_ && isPaused());
    };
}

void LoaderThread::runBranch()
{
    switch (kind_) {
    case OperationKind::Download: {
        DownloadWalk walk(*this);
        walk.run();
        if (!stopping())
            DownloadBranch(*this, walk.firstFileIndex()).run();
        walk.reportFoldersNotOpened();
        return;
    }
    case OperationKind::Upload:
        if (isBorrowed() || connectAndLogIn(true))
            UploadBranch(*this).run();
        return;
    case OperationKind::Delete:
        if (isBorrowed() || connectAndLogIn(true))
            DeleteBranch(*this).run();
        return;
    }
}

void LoaderThread::quitUnlessStopped()
{
    if (!stopping() && !isBorrowed())
        quitConnections();
}

void LoaderThread::reportOutcome()
{
    if (stopping() || incomplete_) {
        // Let the main thread finish what the worker asked of it first.
        callOnThreadOf(this, [] {});
        progress_->stopped = true;
    } else {
        progress_->finished = true;
    }
}

void LoaderThread::stopWatchdog()
{
    watchdog_.reset();
}

void LoaderThread::releaseConnections()
{
    if (borrowedClient_) {
        // An abort of the watchdog may still wait for its reply; the lender
        // needs a connection that is ready, or one that is closed.
        TFtpClient& client = *borrowedClient_;
        processEventsUntil([&] { return !client.RequestRunning(); },
            QDeadlineTimer(std::chrono::seconds(quitTimeoutSeconds)));
        if (client.RequestRunning())
            client.Abort();
        client.SetMultiThreaded(lenderState_.multiThreaded);
        client.OnSessionConnected = std::move(lenderState_.onConnected);
        client.OnSessionClosed = std::move(lenderState_.onClosed);
        client.OnRequestDone = std::move(lenderState_.onRequestDone);
        client.OnProgress = std::move(lenderState_.onProgress);
        client.ThreadDetach();
        borrowedReturned_ = true;
        return;
    }
    for (int i = connectionCount - 1; i >= 0; --i) {
        if (owned_[i]) {
            owned_[i]->OnSessionClosed = nullptr;
            owned_[i]->Abort();
            owned_[i].reset();
        }
        connections_[i] = nullptr;
    }
}

void LoaderThread::releaseHttpClient()
{
    if (http_) {
        http_->Abort();
        http_.reset();
    }
}

void LoaderThread::watchdogTimeout()
{
    if (!stopping())
        return;
    watchdog_->stop();
    httpAborted_ = true;
    http_->Abort();
    if (borrowedClient_) {
        // A transfer ends through its progress event; anything else is
        // abandoned with ABOR, which keeps the session's connection.
        TFtpClient& client = *borrowedClient_;
        const TFtpRequest request = client.RequestType();
        const bool transfer = request == ftpGetAsync || request == ftpRestGetAsync || request == ftpPutAsync
            || request == ftpRestPutAsync;
        if (!transfer && client.State() != ftpReady && client.GetConnected()) {
            client.SetTimeout(quitTimeoutSeconds);
            client.AbortXferAsync();
        }
        return;
    }
    for (int i = connectionCount - 1; i >= 0; --i) {
        if (connections_[i] && connections_[i]->State() != ftpNotConnected)
            connections_[i]->AbortAsync();
    }
}

// ---------------------------------------------------------------- services

void LoaderThread::setStatus(const QString& text, int connection)
{
    withWindow([&](LoaderWindow& window) { window.setConnectionStatus(connection, text); });
}

void LoaderThread::withWindow(const std::function<void(LoaderWindow&)>& call)
{
    if (!hasWindow_)
        return;
    callOnThreadOf(this, [&] {
        if (window_)
            call(*window_);
    });
}

void LoaderThread::withOperation(const std::function<void(ftpOperationObject&)>& call)
{
    callOnThreadOf(this, [&] {
        if (!operation_)
            return;
        call(*operation_);
        if (onOperationChanged_)
            onOperationChanged_(*operation_);
    });
}

OverwriteAnswer LoaderThread::askOverwrite(const QString& path, ExistenceKind kind)
{
    OverwriteAnswer answer = automaticAnswer(kind);
    withWindow([&](LoaderWindow& window) { answer = window.askOverwrite(path, kind); });
    return answer;
}

void LoaderThread::showServerError(const QString& text)
{
    prompter_->showServerError(text, connection0().LastResponse());
}

std::optional<QString> LoaderThread::lookUpAddress()
{
    const IndexCaller caller { *http_, httpAborted_, prompter_ };
    const auto address
        = resolveUserAddress(caller, options_, site_.network, site_.p2pUserName, /*showErrors=*/false);
    if (httpAborted_.load())
        stopSelf();
    if (!address)
        return std::nullopt;
    site_.hostAddress = address->address;
    site_.port = address->port;
    return QString::fromStdString(address->address);
}

bool LoaderThread::connectAndLogIn(bool lookUp)
{
    quitConnections();
    transferring_ = false;
    transferType_ = TransferType::Unknown;
    QString errorText;
    if (lookUp && !site_.persistent) {
        setStatus(LoaderTexts::resolving(QString::fromStdString(site_.p2pUserName)));
        if (!lookUpAddress() && !stopping())
            errorText = LoaderTexts::cannotResolve(hostText_);
    }
    progress_->setHostText(hostText_);
    const bool loggedIn = errorText.isEmpty() && !stopping() && [&] {
        TFtpClient& client = connection0();
        client.SetHostName(QString::fromStdString(site_.hostAddress));
        client.SetPort(QString::number(site_.port));
        client.SetUserName(
            QByteArray::fromStdString(site_.anonymous ? std::string("anonymous") : site_.userId));
        const std::string& password
            = site_.anonymous && site_.password.empty() ? options_.AnonymousPassword : site_.password;
        client.SetPassWord(QByteArray::fromStdString(password));
        client.SetHostFileName({});
        setStatus(LoaderTexts::connectingTo(hostText_));
        client.SetTimeout(options_.TimeoutPeriod);
        return logIn(errorText);
    }();
    if (!loggedIn && !stopping()) {
        showServerError(errorText);
        stopSelf();
    }
    return loggedIn && !stopping();
}

bool LoaderThread::logIn(QString& errorText)
{
    TFtpClient& client = connection0();
    const int attempts = std::max(1, options_.Attempts);
    for (int attempt = 1; attempt <= attempts && !stopping(); ++attempt) {
        const bool last = attempt == attempts;
        if (attempt >= 2)
            client.SetPassive(true);
        if (!client.GetConnected() && !client.Open() && !client.GetConnected()) {
            errorText = site_.persistent ? LoaderTexts::cannotConnectToAddress(hostText_)
                                         : LoaderTexts::cannotConnectToUser(hostText_);
            continue;
        }
        setStatus(LoaderTexts::sendingUser(hostText_));
        if (client.User()) {
            if (!client.LoggedInByUser())
                setStatus(LoaderTexts::sendingPassword());
            if (client.LoggedInByUser() || client.Pass()) {
                setStatus(LoaderTexts::loggedIn(hostText_));
                return true;
            }
            if (last)
                errorText = LoaderTexts::wrongPassword(hostText_);
        } else if (last) {
            errorText = LoaderTexts::wrongUser(hostText_);
        }
    }
    return false;
}

void LoaderThread::quitConnections()
{
    TFtpClient& main = connection0();
    if (!isBorrowed() && main.GetConnected() && !stopping()) {
        setStatus(LoaderTexts::quitting());
        main.SetTimeout(quitTimeoutSeconds);
        main.Quit();
    }
    if (isBorrowed())
        return;
    for (TFtpClient* client : connections_) {
        if (client && client->State() != ftpNotConnected)
            client->Abort();
    }
    withWindow([](LoaderWindow& window) {
        for (int i = 0; i < connectionCount; ++i)
            window.removeConnectionRow(i);
    });
}

void LoaderThread::probeResume()
{
    TFtpClient& client = connection0();
    setStatus(LoaderTexts::checkingResume());
    client.SetQuoteCommand("REST 100");
    supportsRest_ = client.Quote() && !stopping();
    progress_->resumeIndicator = supportsRest_ ? 1 : -1;
    if (supportsRest_)
        setStatus(LoaderTexts::resumeDetected());
    if (!stopping() && client.GetConnected()) {
        client.SetQuoteCommand("REST 0");
        client.Quote();
    }
}

void LoaderThread::probeDigests()
{
    TFtpClient& client = connection0();
    setStatus(LoaderTexts::checkingDigests());
    client.SetQuoteCommand("SITE MD5S");
    supportsMd5_ = client.Quote() && !stopping();
    progress_->digestIndicator = supportsMd5_ ? 1 : -1;
}

void LoaderThread::restoreCapabilities(bool rest, bool md5)
{
    supportsRest_ = rest;
    supportsMd5_ = md5;
}

std::vector<std::string> LoaderThread::queryDigests(const std::vector<std::string>& remotePaths)
{
    std::vector<std::string> digests(remotePaths.size(), std::string(zeroDigest));
    if (!supportsMd5_)
        return digests;
    // A path too long for a command line no server takes keeps its digest
    // unknown: it goes in one part, unchecked, rather than not at all.
    std::vector<QByteArray> commands;
    std::vector<std::size_t> asked;
    for (std::size_t i = 0; i < remotePaths.size(); ++i) {
        QByteArray command = "SITE MD5 " + QByteArray::fromStdString(remotePaths[i]);
        if (command.size() <= TFtpClient::commandLineMaxBytes) {
            commands.push_back(std::move(command));
            asked.push_back(i);
        }
    }
    TFtpClient& client = connection0();
    for (std::size_t first = 0; first < commands.size() && !stopping();) {
        const std::size_t end = batchEnd(commands, first);
        setStatus(LoaderTexts::gettingDigest(shownName(remotePaths[asked[first]])));
        client.SetQuoteCommands({ commands.begin() + static_cast<std::ptrdiff_t>(first),
            commands.begin() + static_cast<std::ptrdiff_t>(end) });
        client.QuoteEach();
        if (stopping())
            break;
        // A batch cut short still tells the digests whose replies came.
        const auto& replies = client.QuoteReplies();
        for (std::size_t k = 0; k < replies.size() && first + k < end; ++k)
            digests[asked[first + k]] = digestFromReply(replies[k].text.toStdString());
        first = end;
    }
    return digests;
}

void LoaderThread::setTransferTypeFor(std::string_view path)
{
    setTransferType(wantedTransferType(options_.Mode, options_.ASCIITypes, path));
}

void LoaderThread::setTransferType(TransferType wanted)
{
    if (wanted == transferType_)
        return;
    TFtpClient& client = connection0();
    setStatus(LoaderTexts::changingMode());
    client.SetBinary(wanted != TransferType::Ascii);
    if (client.TypeSet())
        transferType_ = wanted;
}

void LoaderThread::pauseWait(bool clearFlags)
{
    const bool wasPaused = paused_.load();
    if (isPaused() && !stopping())
        processEventsUntil(
            [this] { return !isPaused() || stopping(); }, QDeadlineTimer(QDeadlineTimer::Forever));
    if (clearFlags && wasPaused) {
        paused_ = false;
        resumeRequested_ = false;
    }
}
