#include "transfer/LoadFrame.h"

#include "common/Prompter.h"
#include "common/SizeText.h"
#include "transfer/ActionsList.h"
#include "transfer/LoaderManager.h"
#include "transfer/LoaderThread.h"

#include <QFileInfo>

#include <algorithm>

namespace LoadFrameTexts
{

QString clockText(std::int64_t seconds)
{
    constexpr std::int64_t largest = 99 * 3600 + 59 * 60 + 59;
    if (seconds < 0 || seconds > largest)
        return QStringLiteral("--:--:--");
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString shortened(const QString& name, int length)
{
    if (name.size() <= length)
        return name;
    return QStringLiteral("...") + name.right(length - 3);
}

QString estimatedTime(std::int64_t remaining, std::int64_t moved, std::int64_t elapsedSeconds)
{
    // A resumed file's bytes are counted as done at its start: until bytes
    // have really moved there is no rate to divide by.
    if (moved <= 0 || elapsedSeconds <= 0)
        return QStringLiteral("--:--:--");
    const std::int64_t rate = std::max<std::int64_t>(1, moved / elapsedSeconds);
    return clockText(std::max<std::int64_t>(0, remaining) / rate);
}

int percentOf(std::int64_t current, std::int64_t total)
{
    if (total <= 0 || current <= 0)
        return 0;
    if (current >= total)
        return 100;
    // 64-bit all through: current × 100 stays far from overflow for any disk.
    return static_cast<int>((current * 100 + total / 2) / total);
}

} // namespace LoadFrameTexts

namespace
{

QString completedText(OperationKind kind)
{
    switch (kind) {
    case OperationKind::Download:
        return QStringLiteral("Download Completed! (");
    case OperationKind::Upload:
        return QStringLiteral("Upload Completed! (");
    case OperationKind::Delete:
        break;
    }
    return QStringLiteral("Delete Completed! (");
}

QString initializingText(OperationKind kind)
{
    switch (kind) {
    case OperationKind::Download:
        return QStringLiteral("Initializing download operation..");
    case OperationKind::Upload:
        return QStringLiteral("Initializing upload operation..");
    case OperationKind::Delete:
        break;
    }
    return QStringLiteral("Initializing delete operation..");
}

QString indicatorText(const QString& what, int indicator)
{
    return what
        + (indicator == 1         ? QStringLiteral("Yes")
                : indicator == -1 ? QStringLiteral("No")
                                  : QStringLiteral("Unknown"));
}

QString perSecond(std::int64_t bytes)
{
    return formatSize(bytes, SizeMode::Exact) + QStringLiteral("/Sec");
}

QString ofTotal(std::int64_t done, std::int64_t total)
{
    return formatSize(done, SizeMode::Exact) + QStringLiteral(" / ") + formatSize(total, SizeMode::Exact);
}

} // namespace

TLoadFrame::TLoadFrame(LoadFrameSetup setup, QObject* parent)
    : QObject(parent)
    , setup_(std::move(setup))
    , actions_(setup_.actions)
    , operation_(setup_.operation)
    , kind_(setup_.request.kind)
    , embedded_(setup_.embedded)
    , progress_(std::make_shared<LoaderProgress>())
{
    timer_.setInterval(tickMs);
    connect(&timer_, &QTimer::timeout, this, &TLoadFrame::tick);
    setup_.manager->registerWindow(this);
    if (operation_)
        operation_->window = this;
    statusText_ = initializingText(kind_);
    applyLayout();
}

TLoadFrame::~TLoadFrame()
{
    destroy();
}

void TLoadFrame::applyLayout()
{
    display_.showsWebLinkTab = kind_ == OperationKind::Download;
    display_.showsOpenFolder = kind_ == OperationKind::Download;
    const bool transfers = kind_ != OperationKind::Delete;
    display_.showsThroughput = transfers;
    display_.showsEstimatedTime = transfers;
    display_.showsLocalPath = transfers;
    display_.showsProgress = transfers;
    display_.detailsShown = !embedded_ && setup_.options->ShowLoadFormDetailsAtStartup;
    display_.detailsCaption
        = display_.detailsShown ? QStringLiteral("<< &Details") : QStringLiteral("Details >>");
    display_.closeWhenDone = setup_.options->EnableLoadFormClosingAtStartup;
    display_.statusLine = statusText_;
    if (kind_ == OperationKind::Download)
        display_.localPath = localBaseOf(setup_.request);
}

void TLoadFrame::attachView(LoadFrameView* view)
{
    view_ = view;
    render();
}

void TLoadFrame::start(TFtpClient* borrowed)
{
    if (borrowed)
        display_.closeWhenDone = true;
    TransferRequest request = operation_ ? operation_->request : setup_.request;
    const auto priority
        = operation_ ? static_cast<OperationPriority>(operation_->priority) : OperationPriority::Normal;
    const ftpSite& site = request.site;
    display_.priority = priority;
    const std::string shown = site.displayAddress.empty()
        ? (site.persistent ? site.hostAddress : site.p2pUserName)
        : site.displayAddress;
    display_.host = QString::fromStdString(site.persistent ? shown : "<" + shown + ">");

    LoaderInputs inputs;
    inputs.request = std::move(request);
    inputs.options = *setup_.options;
    inputs.borrowed = borrowed;
    inputs.operation = operation_;
    inputs.prompter = setup_.prompter;
    inputs.window = this;
    inputs.progress = progress_;
    // Called on this thread: the row may have been cleared meanwhile.
    inputs.onOperationChanged = [this](const ftpOperationObject&) {
        if (actions_)
            actions_->operationChanged();
    };
    worker_ = std::make_unique<LoaderThread>(std::move(inputs));
    if (kind_ == OperationKind::Download)
        display_.localPath = worker_->localBase();
    reportStatus(OperationStatus::Running, 0);
    worker_->start(priority);
    timer_.start();
    render();
}

void TLoadFrame::reportStatus(OperationStatus status, int percent)
{
    if (actions_ && operation_)
        actions_->setStatus(operation_, status, percent);
    else if (operation_)
        operation_->status = status;
}

// ---------------------------------------------------------------- the tick

void TLoadFrame::tick()
{
    if (destroyed_ || closing_)
        return;
    refreshConnections();
    refreshPlaces();
    const LoaderProgress& progress = *progress_;
    const bool walking = progress.walkingStarted.load();
    const bool finished = progress.finished.load();
    const bool stopped = progress.stopped.load();
    if (!walking && finished) {
        closeFromTimer(OperationStatus::ConnectionError);
        return;
    }
    if (!walking && !finished) {
        reportStatus(OperationStatus::Connecting, 0);
        if (stopped) {
            closeFromTimer(OperationStatus::Stopped);
            return;
        }
    }
    if (!finished && !stopped) {
        // A pause click is taken back only from the next tick on; merging
        // disables both buttons again below.
        display_.pauseEnabled = true;
        display_.cancelEnabled = true;
        if (kind_ == OperationKind::Delete)
            showDeleteProgress();
        else
            showTransferProgress();
    } else if (stopped) {
        closeFromTimer(OperationStatus::Stopped);
        return;
    } else {
        showFinished();
        if (closing_)
            return;
    }
    display_.statusLine = statusText_;
    render();
}

void TLoadFrame::refreshConnections()
{
    const LoaderProgress& progress = *progress_;
    const QString file = progress.currentFile();
    const bool fileChanged = file != previousFile_;
    previousFile_ = file;
    const std::int64_t partLength = progress.currentFileSize.load();
    for (size_t i = 0; i < display_.connections.size(); ++i) {
        const std::int64_t bytes = progress.connectionBytes[i].load();
        std::int64_t moved = bytes - previousConnectionBytes_[i];
        if (moved < 0 || fileChanged)
            moved = 0;
        previousConnectionBytes_[i] = bytes;
        LoadFrameDisplay::Connection& row = display_.connections[i];
        row.throughput = perSecond(moved);
        const QString& text = connectionTexts_[i];
        row.status = text.startsWith(QStringLiteral("Download starting..."))
                || text.startsWith(QStringLiteral("Upload starting..."))
            ? ofTotal(bytes, partLength)
            : text;
    }
    display_.resume = indicatorText(QStringLiteral("Resume: "), progress.resumeIndicator.load());
    display_.digest = indicatorText(QStringLiteral("MD5: "), progress.digestIndicator.load());
}

void TLoadFrame::refreshPlaces()
{
    const QString host = progress_->hostText();
    if (!host.isEmpty() && kind_ != OperationKind::Delete)
        display_.host = host + remoteFolder_;
    else if (!host.isEmpty())
        display_.host = host;
}

void TLoadFrame::showTransferProgress()
{
    const LoaderProgress& progress = *progress_;
    ++elapsedSeconds_;
    display_.elapsed = LoadFrameTexts::clockText(elapsedSeconds_);
    std::int64_t current = progress.finishedBytes.load();
    for (const auto& bytes : progress.connectionBytes)
        current += bytes.load();
    const std::int64_t total = progress.totalBytes.load();
    const int percent = LoadFrameTexts::percentOf(current, total);
    if (current > previousTotal_) {
        if (!paused_) {
            display_.totals = ofTotal(current, total);
            if (progress.remoteSizeIndicator.load() != 1)
                display_.totals += QStringLiteral(" (~)");
        }
        display_.percent = percent;
        display_.percentText = QString::number(percent) + QLatin1Char('%');
        reportStatus(OperationStatus::Running, percent);
        display_.throughput = perSecond(current - previousTotal_);
        display_.estimated = LoadFrameTexts::estimatedTime(
            total - current, current - progress.currentFileBytes.load(), elapsedSeconds_);
        previousTotal_ = current;
    }
    if (workerTextFresh_) {
        workerTextFresh_ = false;
    } else {
        const QString name = kind_ == OperationKind::Upload ? progress.currentFile()
                                                            : QFileInfo(progress.currentFile()).fileName();
        statusText_ = QString::number(percent) + QStringLiteral("% of ") + LoadFrameTexts::shortened(name, 48)
            + (kind_ == OperationKind::Upload ? QStringLiteral(" Uploaded") : QStringLiteral(" Downloaded"));
    }
    if (statusText_.startsWith(QStringLiteral("Merging"))) {
        display_.cancelEnabled = false;
        display_.pauseEnabled = paused_;
    }
}

void TLoadFrame::showDeleteProgress()
{
    ++elapsedSeconds_;
    display_.elapsed = LoadFrameTexts::clockText(elapsedSeconds_);
    statusText_ = QStringLiteral("Deleting ") + LoadFrameTexts::shortened(progress_->currentFile(), 48);
    reportStatus(OperationStatus::Running, 0);
}

void TLoadFrame::showFinished()
{
    timer_.stop();
    reportStatus(OperationStatus::Finished, 100);
    const QString host = progress_->hostText().isEmpty() ? display_.host : progress_->hostText();
    if (kind_ == OperationKind::Delete) {
        display_.totals = QStringLiteral("All deleted");
    } else {
        const std::int64_t done = progress_->finishedBytes.load();
        display_.totals = ofTotal(done, done);
    }
    statusText_ = completedText(kind_) + host + QLatin1Char(')');
    display_.estimated = QStringLiteral("00:00:00");
    display_.percent = 100;
    display_.percentText = QStringLiteral("%100");
    display_.cancelCaption = QStringLiteral("&Close");
    display_.cancelEnabled = true;
    display_.completedPicture = true;
    Q_EMIT operationEnded(operationName(), OperationStatus::Finished);
    if (display_.closeWhenDone) {
        close();
        return;
    }
    display_.closeWhenDoneEnabled = false;
    display_.pauseEnabled = false;
}

void TLoadFrame::closeFromTimer(OperationStatus status)
{
    timer_.stop();
    reportStatus(status, 0);
    Q_EMIT operationEnded(operationName(), status);
    close();
}

void TLoadFrame::close()
{
    if (closing_)
        return;
    closing_ = true;
    display_.statusLine = statusText_;
    render();
    if (view_)
        view_->closeFrame();
}

void TLoadFrame::render()
{
    if (view_)
        view_->render(display_);
}

QString TLoadFrame::operationName() const
{
    return itemsColumnText(displayNamesOf(setup_.request.items));
}

// ---------------------------------------------------------------- destroy

void TLoadFrame::destroy()
{
    if (destroyed_)
        return;
    destroyed_ = true;
    display_.cancelEnabled = false;
    const bool timerWasRunning = timer_.isActive();
    timer_.stop();
    if (worker_ && progress_->finished.load()) {
        // The tick may not have seen the end yet: the outcome decides.
        reportStatus(
            progress_->walkingStarted.load() ? OperationStatus::Completed : OperationStatus::ConnectionError,
            100);
    } else if (worker_) {
        worker_->stopAndWait();
        if (timerWasRunning)
            reportStatus(OperationStatus::Stopped, 0);
    }
    if (operation_ && operation_->window == this)
        operation_->window = nullptr;
    operation_ = nullptr;
    actions_ = nullptr;
    if (worker_) {
        worker_->clearWindow();
        worker_->clearOperation();
        worker_->wait();
        TFtpClient* returned = worker_->takeBackBorrowed();
        worker_.reset();
        if (setup_.handBack)
            setup_.handBack(returned);
    }
    setup_.manager->unregisterWindow(this);
    setup_.options->ShowLoadFormDetailsAtStartup = display_.detailsShown;
    setup_.options->EnableLoadFormClosingAtStartup = display_.closeWhenDone;
    view_ = nullptr;
}

// ---------------------------------------------------------------- commands

void TLoadFrame::pauseResumeClicked()
{
    if (!worker_ || destroyed_)
        return;
    if (!paused_) {
        display_.pauseEnabled = false;
        display_.pauseCaption = QStringLiteral("&Resume");
        worker_->pause();
        display_.totals = QStringLiteral("PAUSED!");
        paused_ = true;
    } else {
        display_.pauseCaption = QStringLiteral("&Pause");
        worker_->resume();
        display_.totals = QStringLiteral("Resuming..");
        paused_ = false;
    }
    render();
}

void TLoadFrame::cancelClicked()
{
    close();
}

void TLoadFrame::detailsClicked()
{
    display_.detailsShown = !display_.detailsShown;
    display_.detailsCaption
        = display_.detailsShown ? QStringLiteral("<< &Details") : QStringLiteral("Details >>");
    render();
}

void TLoadFrame::setPriority(OperationPriority priority)
{
    display_.priority = priority;
    if (worker_)
        worker_->setOperationPriority(priority);
    if (operation_)
        operation_->priority = static_cast<std::int32_t>(priority);
}

void TLoadFrame::openDownloadFolderClicked()
{
    const QString folder = worker_ ? worker_->localBase() : display_.localPath;
    if (!view_ || !view_->openFolder(folder))
        setup_.prompter->showErrorBox(
            QStringLiteral("Could not open download folder. Unknown error. Try re-installing the Windows."));
}

void TLoadFrame::setCloseWhenDone(bool checked)
{
    display_.closeWhenDone = checked;
}

// ---------------------------------------------------------------- LoaderWindow

void TLoadFrame::setConnectionStatus(int connection, const QString& text)
{
    if (connection < 0 || connection >= LoaderProgress::connectionCount)
        return;
    connectionTexts_[static_cast<size_t>(connection)] = text;
    if (connection == 0) {
        statusText_ = text;
        workerTextFresh_ = true;
    }
}

void TLoadFrame::addConnectionRow(int connection, const QString& address, int speedIndex)
{
    if (connection < 0 || connection >= LoaderProgress::connectionCount)
        return;
    LoadFrameDisplay::Connection& row = display_.connections[static_cast<size_t>(connection)];
    row.shown = true;
    row.address = address;
    row.speed = speedIndex >= 0 && speedIndex < setup_.speedLabels.size() ? setup_.speedLabels[speedIndex]
                                                                          : QString();
}

void TLoadFrame::removeConnectionRow(int connection)
{
    if (connection < 0 || connection >= LoaderProgress::connectionCount)
        return;
    display_.connections[static_cast<size_t>(connection)] = {};
    connectionTexts_[static_cast<size_t>(connection)].clear();
}

void TLoadFrame::showPauseButton(bool shown)
{
    display_.pauseShown = shown;
}

void TLoadFrame::showFolders(const QString& localFolder, const QString& remoteFolder)
{
    display_.localPath = localFolder;
    remoteFolder_ = remoteFolder;
}

OverwriteAnswer TLoadFrame::askOverwrite(const QString& path, ExistenceKind kind)
{
    if (view_)
        return view_->askOverwrite(path, kind);
    return kind == ExistenceKind::Partially ? OverwriteAnswer::Resume : OverwriteAnswer::Overwrite;
}

// ---------------------------------------------------------------- TransferWindow

bool TLoadFrame::operationUnfinished() const
{
    return worker_ && !progress_->finished.load();
}

void TLoadFrame::hide()
{
    if (view_)
        view_->hideFrame();
}

void TLoadFrame::closeAndStop()
{
    if (view_)
        view_->hideFrame();
    LoadFrameView* view = view_;
    destroy();
    if (view && !closing_) {
        closing_ = true;
        view->closeFrame();
    }
}

void TLoadFrame::operationRowRemoved()
{
    operation_ = nullptr;
    actions_ = nullptr;
    if (worker_)
        worker_->clearOperation();
}
