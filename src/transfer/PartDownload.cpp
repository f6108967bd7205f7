#include "transfer/PartDownload.h"

#include "net/EventWait.h"
#include "net/TFtpClient.h"
#include "settings/ConnectionOptions.h"
#include "transfer/DownloadTexts.h"
#include "transfer/LocalName.h"
#include "transfer/PartStore.h"
#include "transfer/WorkerContext.h"

#include <algorithm>
#include <thread>

namespace
{

constexpr auto waitPeriod = std::chrono::milliseconds(5);
constexpr int quitTimeoutSeconds = 3;

} // namespace

PartDownload::PartDownload(WorkerContext& worker, Target target, PartStore& store)
    : worker_(worker)
    , target_(std::move(target))
    , store_(store)
    , parts_(store.parts())
    , sources_(worker_.site())
    , partFailures_(parts_.size(), 0)
{
    for (std::size_t i = 0; i < parts_.size() && !target_.lengthUnknown; ++i) {
        settlePart(static_cast<int>(i));
        if (parts_[i].state != PartState::Complete)
            ++needed_;
    }
    if (target_.lengthUnknown)
        needed_ = 1;
    needed_ = std::min<int>(needed_, WorkerContext::connectionCount);
}

PartDownload::~PartDownload() = default;

TFtpClient& PartDownload::client(int index)
{
    return worker_.connection(index);
}

// ---------------------------------------------------------------- the run

PartDownload::Outcome PartDownload::run()
{
    finishedBefore_ = worker_.progressBlock().finishedBytes.load();
    heard_ = std::chrono::steady_clock::now();
    worker_.progressBlock().clearConnectionBytes();
    if (needed_ == 0)
        return Outcome::Received;

    installHandlers();
    if (client(0).GetConnected())
        sources_.setLoggedIn(0, true);
    fetchOnConnection0();
    waitForParts(true);
    endTransfers();
    restoreHandlers();
    const bool complete = allComplete();
    if (!complete)
        store_.recordProgress(true);
    if (worker_.stopping())
        return Outcome::Stopped;
    return complete ? Outcome::Received : Outcome::Incomplete;
}

void PartDownload::installHandlers()
{
    const int used = worker_.isBorrowed() ? 1 : WorkerContext::connectionCount;
    for (int i = 0; i < used; ++i) {
        TFtpClient& c = client(i);
        c.OnRequestDone = [this, i](TFtpRequest request, int error) { onRequestDone(i, request, error); };
        c.OnProgress = [this, i](qint64 bytes, bool& abort) { onProgress(i, bytes, abort); };
    }
}

// A transfer still running (the worker stops, or a connection did not
// settle in time) holds one of this download's sinks: it ends before they
// go.
void PartDownload::endTransfers()
{
    const int used = worker_.isBorrowed() ? 1 : WorkerContext::connectionCount;
    for (int i = 0; i < used; ++i) {
        const Connection& conn = connections_[static_cast<std::size_t>(i)];
        const TFtpClient& c = client(i);
        const bool transferring = conn.expected == ftpRestGetAsync || conn.expected == ftpGetAsync;
        if (transferring && c.RequestRunning())
            abortConnection(i);
    }
}

void PartDownload::restoreHandlers()
{
    const int used = worker_.isBorrowed() ? 1 : WorkerContext::connectionCount;
    for (int i = 0; i < used; ++i) {
        worker_.resetHandlers(i);
        // A request that failed before its data started leaves them set,
        // and the sinks end here.
        TFtpClient& c = client(i);
        c.SetDownloadSink(nullptr);
        c.SetExpectedSize(-1);
        c.SetPartEnd(-1);
    }
}

void PartDownload::fetchOnConnection0()
{
    TFtpClient& c = client(0);
    const int part = takePart(0);
    if (part < 0)
        return;
    FilePart& p = parts_[static_cast<std::size_t>(part)];
    const std::uint64_t offset = p.start + p.done;
    accountDone(part);
    // The others start first, so that they work while connection 0 waits.
    for (int i = 1; i < needed_; ++i)
        start(i, false);
    worker_.setStatus(DownloadTexts::downloadStarting());
    Connection& conn = connections_[0];
    conn.doneAtStart = p.done;
    conn.active = true;
    conn.stage = Stage::Receiving;
    aimAtPart(0, part);
    const bool fetched = offset > 0 ? c.RestGet() : c.Get();
    conn.active = false;
    conn.stage = Stage::Idle;
    if (target_.lengthUnknown) {
        p.state = fetched ? PartState::Complete : PartState::Pending;
        if (!fetched && p.done == 0)
            removeLocalFile(store_.dataFile());
    } else
        settlePart(part);
    if (p.state != PartState::Complete)
        countFailedAttempt(part);
    conn.part = -1;
}

// ---------------------------------------------------------------- secondaries

void PartDownload::start(int index, bool rotate)
{
    Connection& conn = connections_[static_cast<std::size_t>(index)];
    const int part = takePart(index);
    if (part < 0) {
        conn.stage = Stage::Finished;
        return;
    }
    worker_.progressBlock().connectionBytes[static_cast<std::size_t>(index)]
        = static_cast<std::int64_t>(parts_[static_cast<std::size_t>(part)].done);
    conn.lastActivity = std::chrono::steady_clock::now();
    if (client(index).GetConnected() && sources_.loggedIn(index)) {
        setType(index);
        return;
    }
    if (rotate)
        sources_.moveOn(index);
    connectSecondary(index);
}

void PartDownload::connectSecondary(int index)
{
    Connection& conn = connections_[static_cast<std::size_t>(index)];
    TFtpClient& c = client(index);
    abortConnection(index);
    conn.stage = Stage::Idle;
    worker_.setStatus(DownloadTexts::connecting(), index);
    const TFtpClient& main = client(0);
    const ftpSite& source = sources_.sourceOf(index);
    c.SetTimeout(worker_.options().TimeoutPeriod);
    c.SetHostName(QString::fromStdString(source.hostAddress));
    c.SetPort(QString::number(source.port));
    // At the operation's own server the login connection 0 made counts (a
    // look-up may have changed it); another server has its own.
    const bool own = sources_.atOwnServer(index);
    c.SetUserName(own ? main.UserName() : QByteArray::fromStdString(source.userId));
    c.SetPassWord(own ? main.PassWord() : QByteArray::fromStdString(source.password));
    c.SetPassive(main.Passive());
    if (!expect(index, ftpOpenAsync) || !c.OpenAsync())
        onFailure(index, Failure::Kind::RequestFailed);
}

void PartDownload::afterLogin(int index)
{
    Connection& conn = connections_[static_cast<std::size_t>(index)];
    conn.stage = Stage::Folder;
    worker_.setStatus(DownloadTexts::changingFolder(), index);
    TFtpClient& c = client(index);
    c.SetHostDirName(QByteArray::fromStdString(target_.remoteFolder));
    if (!expect(index, ftpCwdAsync) || !c.CwdAsync())
        onFailure(index, Failure::Kind::RequestFailed);
}

void PartDownload::afterFolder(int index)
{
    // The web-link stage comes here once the worker asks servers for links.
    setType(index);
}

void PartDownload::setType(int index)
{
    Connection& conn = connections_[static_cast<std::size_t>(index)];
    conn.stage = Stage::Type;
    worker_.setStatus(DownloadTexts::changingXferMode(), index);
    TFtpClient& c = client(index);
    c.SetBinary(worker_.transferType() != TransferType::Ascii);
    if (!expect(index, ftpTypeSetAsync) || !c.TypeSetAsync())
        onFailure(index, Failure::Kind::RequestFailed);
}

void PartDownload::beginReceive(int index)
{
    Connection& conn = connections_[static_cast<std::size_t>(index)];
    const int part = conn.part;
    FilePart& p = parts_[static_cast<std::size_t>(part)];
    conn.stage = Stage::Receiving;
    worker_.setStatus(DownloadTexts::tryingToDownload(), index);
    conn.active = true;
    accountDone(part);
    conn.doneAtStart = p.done;
    TFtpClient& c = client(index);
    aimAtPart(index, part);
    worker_.setStatus(DownloadTexts::downloadStarting(), index);
    if (!expect(index, ftpRestGetAsync) || !c.RestGetAsync()) {
        conn.active = false;
        onFailure(index, Failure::Kind::RequestFailed);
    }
}

void PartDownload::onRequestDone(int index, TFtpRequest request, int error)
{
    if (index == 0 && !connection0Async_)
        return;
    Connection& conn = connections_[static_cast<std::size_t>(index)];
    if (conn.staleEvents > 0) {
        --conn.staleEvents;
        return;
    }
    // Connection 0's blocking calls report too, sometimes after they
    // returned.
    if (request != conn.expected)
        return;
    conn.lastActivity = std::chrono::steady_clock::now();
    if (conn.stage == Stage::Finished || conn.stage == Stage::Quitting) {
        if (request == ftpQuitAsync) {
            abortConnection(index);
            conn.stage = Stage::Idle;
        }
        return;
    }
    if (worker_.stopping()) {
        releasePart(index);
        conn.stage = Stage::Idle;
        return;
    }
    if (request == ftpRestGetAsync || request == ftpGetAsync) {
        onTransferEnded(index);
        return;
    }
    if (error != 0) {
        onFailure(index, Failure::Kind::RequestFailed);
        return;
    }
    heard_ = conn.lastActivity;
    TFtpClient& c = client(index);
    switch (request) {
    case ftpOpenAsync:
        if (!expect(index, ftpUserAsync) || !c.UserAsync())
            onFailure(index, Failure::Kind::RequestFailed);
        return;
    case ftpUserAsync:
        if (c.LoggedInByUser()) {
            sources_.setLoggedIn(index, true);
            afterLogin(index);
            return;
        }
        if (!expect(index, ftpPassAsync) || !c.PassAsync())
            onFailure(index, Failure::Kind::RequestFailed);
        return;
    case ftpPassAsync:
        sources_.setLoggedIn(index, true);
        afterLogin(index);
        return;
    case ftpCwdAsync:
        afterFolder(index);
        return;
    case ftpTypeSetAsync:
        beginReceive(index);
        return;
    default:
        return;
    }
}

void PartDownload::onTransferEnded(int index)
{
    Connection& conn = connections_[static_cast<std::size_t>(index)];
    conn.active = false;
    const int part = conn.part;
    conn.part = -1;
    if (part >= 0) {
        settlePart(part);
        if (parts_[static_cast<std::size_t>(part)].state != PartState::Complete) {
            ++conn.failures;
            countFailedAttempt(part);
        }
    }
    Failure failure;
    failure.kind = Failure::Kind::PartEnded;
    failure.failures = conn.failures;
    failure.failuresAllowed = attemptsAllowed();
    failure.stopping = worker_.stopping();
    failure.paused = worker_.isPaused();
    follow(index, nextStepAfter(failure));
}

void PartDownload::onFailure(int index, Failure::Kind kind)
{
    Connection& conn = connections_[static_cast<std::size_t>(index)];
    Failure failure;
    failure.kind = kind;
    failure.replyCode = client(index).StatusCode();
    failure.failures = ++conn.failures;
    failure.failuresAllowed = attemptsAllowed();
    failure.stopping = worker_.stopping();
    // A part counts an attempt once its transfer was asked for: a server
    // that turns a connection away has not tried the part.
    if (conn.part >= 0 && conn.stage == Stage::Receiving)
        countFailedAttempt(conn.part);
    releasePart(index);
    conn.active = false;
    abortConnection(index);
    follow(index, nextStepAfter(failure));
}

void PartDownload::follow(int index, NextStep step)
{
    Connection& conn = connections_[static_cast<std::size_t>(index)];
    switch (step) {
    case NextStep::SameSource:
        start(index, false);
        return;
    case NextStep::NextSource:
        start(index, true);
        return;
    case NextStep::Withdraw:
        // The restart round leaves it out: the others fetch the rest.
        conn.stage = Stage::Idle;
        conn.refused = true;
        return;
    case NextStep::Rest:
    case NextStep::RefetchFromOwnServer:
    case NextStep::FailFile:
    case NextStep::Ask:
        break;
    }
    conn.stage = Stage::Finished;
}

// A request of a secondary connection that hears nothing for the time-out
// (a data connection that never comes) is torn down and counted as failed.
void PartDownload::giveUpStalled()
{
    const auto limit = std::chrono::seconds(std::max(worker_.options().TimeoutPeriod, 1));
    const auto now = std::chrono::steady_clock::now();
    for (int i = connection0Async_ ? 0 : 1; i < needed_; ++i) {
        Connection& conn = connections_[static_cast<std::size_t>(i)];
        if (conn.part < 0 || now - conn.lastActivity < limit)
            continue;
        onFailure(i, Failure::Kind::Stalled);
    }
}

bool PartDownload::expect(int index, TFtpRequest request)
{
    connections_[static_cast<std::size_t>(index)].expected = request;
    return true;
}

void PartDownload::abortConnection(int index)
{
    TFtpClient& c = client(index);
    // Only a running request still reports; counting one for a connection
    // the server has closed would swallow the next real event, and the
    // connection would sit until its time-out.
    if (c.RequestRunning())
        ++connections_[static_cast<std::size_t>(index)].staleEvents;
    c.Abort();
    sources_.setLoggedIn(index, false);
}

void PartDownload::quitSecondaries()
{
    for (int i = 1; i < needed_; ++i) {
        Connection& conn = connections_[static_cast<std::size_t>(i)];
        TFtpClient& c = client(i);
        if (!c.GetConnected() || c.State() != ftpReady) {
            continue;
        }
        conn.stage = Stage::Quitting;
        worker_.setStatus(DownloadTexts::quitting(), i);
        c.SetTimeout(quitTimeoutSeconds);
        if (!expect(i, ftpQuitAsync) || !c.QuitAsync()) {
            abortConnection(i);
            conn.stage = Stage::Idle;
        }
    }
}

// ---------------------------------------------------------------- parts

int PartDownload::attemptsAllowed() const
{
    return std::max(1, worker_.options().Attempts);
}

void PartDownload::countFailedAttempt(int part)
{
    ++partFailures_[static_cast<std::size_t>(part)];
}

int PartDownload::takePart(int index)
{
    for (std::size_t i = 0; i < parts_.size(); ++i) {
        FilePart& part = parts_[i];
        if (partFailures_[i] >= attemptsAllowed())
            continue;
        if (part.state == PartState::Pending || part.state == PartState::Partial) {
            part.state = PartState::Taken;
            connections_[static_cast<std::size_t>(index)].part = static_cast<int>(i);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void PartDownload::releasePart(int index)
{
    Connection& conn = connections_[static_cast<std::size_t>(index)];
    if (conn.part >= 0)
        settlePart(conn.part);
    conn.part = -1;
}

void PartDownload::aimAtPart(int index, int part)
{
    const FilePart& p = parts_[static_cast<std::size_t>(part)];
    PartSink& sink = sinks_[static_cast<std::size_t>(index)];
    sink = PartSink(store_, part, target_.text);
    TFtpClient& c = client(index);
    c.SetHostFileName(QByteArray::fromStdString(target_.remotePath));
    c.SetDownloadSink(&sink);
    c.SetResumeAt(static_cast<qint64>(p.start + p.done));
    if (!target_.lengthUnknown) {
        c.SetExpectedSize(static_cast<qint64>(parts_.back().end));
        if (p.end < parts_.back().end)
            c.SetPartEnd(static_cast<qint64>(p.end));
    }
}

void PartDownload::settlePart(int part)
{
    FilePart& p = parts_[static_cast<std::size_t>(part)];
    const bool whole = p.length() > 0 && p.done >= p.length();
    p.state = whole ? PartState::Complete : p.done > 0 ? PartState::Partial : PartState::Pending;
    accountDone(part);
}

void PartDownload::accountDone(int part)
{
    FilePart& p = parts_[static_cast<std::size_t>(part)];
    if (p.done > p.accounted) {
        completedBytes_ += p.done - p.accounted;
        p.accounted = p.done;
    }
}

void PartDownload::onProgress(int index, qint64 bytes, bool& abort)
{
    Connection& conn = connections_[static_cast<std::size_t>(index)];
    conn.lastActivity = std::chrono::steady_clock::now();
    heard_ = conn.lastActivity;
    abort = worker_.stopping();
    if (!conn.active || conn.part < 0)
        return;
    const FilePart& p = parts_[static_cast<std::size_t>(conn.part)];
    const auto received = static_cast<std::uint64_t>(std::max<qint64>(bytes, 0));
    worker_.progressBlock().connectionBytes[static_cast<std::size_t>(index)]
        = static_cast<std::int64_t>(conn.doneAtStart + std::min(received, p.length()));
    // Connection 0's blocking transfer holds the waiting loop up: the
    // file's count follows every part's bytes as they arrive.
    showCurrentFileBytes();
    abort = abort || worker_.isPaused();
    store_.recordProgress(false);
}

// ---------------------------------------------------------------- waiting

bool PartDownload::allComplete() const
{
    return std::all_of(
        parts_.begin(), parts_.end(), [](const FilePart& part) { return part.state == PartState::Complete; });
}

bool PartDownload::serverSilent() const
{
    const int limit = worker_.options().TimeoutPeriod;
    return limit > 0 && std::chrono::steady_clock::now() - heard_ >= std::chrono::seconds(limit);
}

bool PartDownload::settled() const
{
    for (int i = connection0Async_ ? 0 : 1; i < needed_; ++i) {
        const Connection& conn = connections_[static_cast<std::size_t>(i)];
        const auto& c = const_cast<PartDownload*>(this)->client(i);
        const bool idleStage
            = conn.stage == Stage::Idle || conn.stage == Stage::Finished || conn.stage == Stage::Quitting;
        if (!idleStage || c.RequestRunning() || conn.part >= 0)
            return false;
    }
    return true;
}

void PartDownload::showCurrentFileBytes()
{
    std::uint64_t active = 0;
    for (int i = 0; i < needed_; ++i) {
        const Connection& conn = connections_[static_cast<std::size_t>(i)];
        if (conn.active)
            active += static_cast<std::uint64_t>(
                          worker_.progressBlock().connectionBytes[static_cast<std::size_t>(i)].load())
                - conn.doneAtStart;
    }
    worker_.progressBlock().currentFileBytes
        = finishedBefore_ + static_cast<std::int64_t>(completedBytes_ + active);
}

void PartDownload::waitForParts(bool restartRound)
{
    // Without a known length a transfer cannot be continued at an offset.
    const bool restartable = !target_.lengthUnknown;
    restartRound = restartRound && restartable;
    for (;;) {
        const bool settledAtStart = settled();
        showCurrentFileBytes();
        if (allComplete()) {
            worker_.progressBlock().clearConnectionBytes();
            break;
        }
        // Retrying each connection on a server that went silent would take
        // the time-out again and again.
        if (!worker_.stopping() && serverSilent()) {
            timedOut_ = true;
            break;
        }
        if (worker_.pauseAsked()) {
            worker_.pauseWait(true);
            // A pause is no silence of the server's.
            heard_ = std::chrono::steady_clock::now();
            restartRound = restartable && !worker_.stopping();
        }
        if (restartRound) {
            restartRound = false;
            connection0Async_ = true;
            for (int i = 0; i < needed_; ++i) {
                Connection& conn = connections_[static_cast<std::size_t>(i)];
                if (!conn.refused && conn.part < 0
                    && (conn.stage == Stage::Idle || conn.stage == Stage::Finished)) {
                    conn.failures = std::min(conn.failures, attemptsAllowed() - 1);
                    start(i, true);
                }
            }
            continue;
        }
        if (settledAtStart || worker_.stopping())
            break;
        giveUpStalled();
        processEventsUntil([] { return false; }, QDeadlineTimer(waitPeriod));
    }
    quitSecondaries();
    // A silent server would not end its transfers either: they are aborted.
    if (!worker_.stopping() && !timedOut_)
        processEventsUntil([this] { return settled() || worker_.stopping(); },
            QDeadlineTimer(std::chrono::seconds(quitTimeoutSeconds)));
    connection0Async_ = false;
}
