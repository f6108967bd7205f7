#include "app/GetRun.h"

#include "common/ProgramFolders.h"
#include "common/SizeText.h"
#include "net/EventWait.h"
#include "net/FtpTexts.h"
#include "transfer/DirectoryCache.h"
#include "transfer/LoaderThread.h"
#include "transfer/OperationsStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace
{

// A terminal's line is redrawn at most four times a second; a log gets a
// line now and then.
constexpr std::chrono::milliseconds terminalPeriod { 250 };
constexpr std::chrono::seconds logPeriod { 10 };

// Control characters shown, never sent to the terminal.
QString printable(const QString& text)
{
    QString result;
    for (const QChar c : text) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            result += QLatin1Char(' ');
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            result += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            result += c;
    }
    return result.simplified();
}

QString outcomeText(FileOutcome outcome)
{
    switch (outcome) {
    case FileOutcome::Arrived:
        return QStringLiteral("done");
    case FileOutcome::Skipped:
        return QStringLiteral("skipped");
    case FileOutcome::Failed:
        return QStringLiteral("failed");
    case FileOutcome::DigestMismatch:
        return QStringLiteral("MD5 mismatch");
    case FileOutcome::LocalWriteFailed:
        return QStringLiteral("not written");
    }
    return {};
}

// The replies the FTP component makes up for failures on this side are told
// as what they are, not as the server's words.
QString replyMeaning(const QString& reply, int timeoutSeconds)
{
    if (reply == ftptext::timeout())
        return QStringLiteral("timed out: no answer from the server within %1 seconds").arg(timeoutSeconds);
    static const QRegularExpression networkFailure(QStringLiteral("^\\d{3} (.*) \\(Winsock error #\\d+\\)$"));
    if (const auto match = networkFailure.match(reply); match.hasMatch())
        return QStringLiteral("network failure: ") + match.captured(1);
    return QStringLiteral("the server replied \"") + reply + QLatin1Char('"');
}

} // namespace

int interruptedExit(int signal)
{
    return 128 + (signal > 0 ? signal : SIGTERM);
}

void printGetLine(const QString& text)
{
    std::fprintf(stderr, "ranquil-get: %s\n", printable(text).toLocal8Bit().constData());
}

bool StderrPrompter::prompt(const QString&, const QString& text, const QString&, const QString& secondButton)
{
    if (secondButton.isEmpty())
        printGetLine(text);
    return true;
}

void StderrPrompter::showServerError(const QString& text, const QString& lastServerReply)
{
    QString failure = text.trimmed();
    if (failure.endsWith(QLatin1Char('.')))
        failure.chop(1);
    showErrorBox(failure + QStringLiteral(": ") + replyMeaning(lastServerReply.trimmed(), timeoutSeconds_));
}

QString summaryText(const GetTally& tally, qint64 milliseconds)
{
    const double seconds = std::max<double>(static_cast<double>(milliseconds) / 1000.0, 0.001);
    return QStringLiteral("%1 files, %2 in %3 s (%4/s); %5 skipped, %6 failed")
        .arg(tally.arrived)
        .arg(formatSize(tally.bytes, SizeMode::Exact))
        .arg(seconds, 0, 'f', 1)
        .arg(formatSize(
            static_cast<std::int64_t>(static_cast<double>(tally.bytes) / seconds), SizeMode::Exact))
        .arg(tally.skipped)
        .arg(tally.failed);
}

GetRun::GetRun(const GetCommand& command, const GetItem& item, const connectionOptions& options,
    std::shared_ptr<LocalNameClaims> localNames, GetTally& tally)
    : command_(command)
    , item_(item)
    , options_(options)
    , localNames_(std::move(localNames))
    , tally_(tally)
    , prompter_(command.timeout.value_or(options.TimeoutPeriod))
    , localFolder_(QDir::cleanPath(QDir::current().absoluteFilePath(command.localFolder)))
    , terminal_(::isatty(STDERR_FILENO) == 1)
{
    // Passive unless asked otherwise, as every command-line peer has it.
    options_.AlwaysUsePassiveMode = command.passive.value_or(true);
    if (command.timeout)
        options_.TimeoutPeriod = *command.timeout;
    options_.Mode = item.mode.value_or(command.mode);
    if (command.attempts)
        options_.Attempts = *command.attempts;
}

GetRun::~GetRun() = default;

// One download is one remote item (whatever password or spelling the URL
// had) into one local folder (however the command named it).
QString GetRun::storePath() const
{
    const ftpSite& site = item_.site;
    const QByteArray remote = "ftp://" + QByteArray::fromStdString(site.anonymous ? "anonymous" : site.userId)
        + '@' + QByteArray::fromStdString(site.hostAddress) + ':' + QByteArray::number(site.port)
        + QByteArray::fromStdString(item_.remotePath) + (item_.folder ? "/" : "");
    const QByteArray key
        = QCryptographicHash::hash(remote + '\n' + QFile::encodeName(localFolder_), QCryptographicHash::Md5)
              .toHex()
              .left(16);
    return programFile(QStringLiteral("ranquil-get-") + QString::fromLatin1(key) + QStringLiteral(".ini"));
}

void GetRun::loadResumeState()
{
    operationsStore store(storePath());
    auto stored = store.loadAll(options_.AnonymousPassword);
    if (stored.empty())
        return;
    const ftpOperationObject& last = *stored.front();
    operation_.cacheFile = last.cacheFile;
    operation_.lastFileIndex = last.lastFileIndex;
    operation_.lastFileBytePeriod = last.lastFileBytePeriod;
    operation_.lastFileConnections = last.lastFileConnections;
    operation_.request.site.supportsRest = last.request.site.supportsRest;
    operation_.request.site.supportsMd5 = last.request.site.supportsMd5;
}

// A file fetched as one part resumes from its own size: only the state of
// files in parts, and the first state of the run, need the disk (each store
// is synchronised to it).
void GetRun::storeResumeState(const ftpOperationObject& operation)
{
    const bool inParts = operation.lastFileConnections > 1;
    if (stored_ && !inParts && !storedInParts_)
        return;
    stored_ = true;
    storedInParts_ = inParts;
    QString error;
    if (!operationsStore(storePath()).storeAll({ &operation }, &error))
        printGetLine(QStringLiteral("cannot keep the resume state: ") + error);
}

void GetRun::forgetResumeState()
{
    if (!operation_.cacheFile.empty())
        QFile::remove(joinPath(cacheFolder(), QString::fromStdString(operation_.cacheFile)));
    QFile::remove(storePath());
}

int GetRun::run()
{
    operation_.request = { item_.site, OperationKind::Download, localFolder_, {} };
    (item_.folder ? operation_.request.items.folders : operation_.request.items.files)
        .push_back(entryAt(item_.remotePath));
    loadResumeState();

    LoaderInputs in;
    in.request = operation_.request;
    in.options = options_;
    in.operation = &operation_;
    in.prompter = &prompter_;
    in.window = this;
    in.localNames = localNames_;
    in.onOperationChanged = [this](const ftpOperationObject& operation) { storeResumeState(operation); };
    worker_ = std::make_unique<LoaderThread>(std::move(in));

    clock_.start();
    QTimer progress;
    QObject::connect(&progress, &QTimer::timeout, &progress, [this] { showProgress(false); });
    if (!command_.quiet)
        progress.start(terminal_ ? std::chrono::milliseconds(terminalPeriod) : logPeriod);
    worker_->start(OperationPriority::Normal);
    processEventsUntil([this] { return worker_->isFinished(); }, QDeadlineTimer(QDeadlineTimer::Forever));
    worker_->wait();
    progress.stop();
    if (terminal_ && !command_.quiet)
        showProgress(true);
    tally_.bytes += worker_->progress()->finishedBytes;
    const int code = exitCode();
    if (code == GetSucceeded)
        forgetResumeState();
    return code;
}

void GetRun::requestStop()
{
    if (worker_)
        worker_->requestStop();
}

int GetRun::exitCode() const
{
    const LoaderProgress& progress = *worker_->progress();
    if (!progress.walkingStarted)
        return GetConnectFailed;
    if (progress.localWriteFailures > 0)
        return GetLocalWriteFailed;
    if (progress.digestMismatches > 0)
        return GetDigestMismatch;
    if (progress.failedFiles > 0)
        return GetTransferFailed;
    if (folderRefused_)
        return GetTransferFailed;
    if (progress.foldersNotOpened > 0 || leftOut_ > 0)
        return GetFolderIncomplete;
    return progress.finished ? GetSucceeded : GetTransferFailed;
}

void GetRun::setConnectionStatus(int connection, const QString& text)
{
    if (!command_.verbose)
        return;
    if (terminal_)
        std::fprintf(stderr, "\r\033[K");
    const double seconds = static_cast<double>(clock_.elapsed()) / 1000.0;
    printGetLine(QStringLiteral("%1 [%2] ").arg(seconds, 0, 'f', 3).arg(connection) + text);
}

OverwriteAnswer GetRun::askOverwrite(const QString&, ExistenceKind kind)
{
    return answerFor(command_.existing, kind);
}

void GetRun::fileFinished(const QString& remotePath, FileOutcome outcome)
{
    ++(outcome == FileOutcome::Arrived        ? tally_.arrived
            : outcome == FileOutcome::Skipped ? tally_.skipped
                                              : tally_.failed);
    const bool wentWrong = outcome != FileOutcome::Arrived && outcome != FileOutcome::Skipped;
    if (command_.quiet && !wentWrong)
        return;
    if (terminal_)
        std::fprintf(stderr, "\r\033[K");
    printGetLine(outcomeText(outcome) + QLatin1Char(' ') + remotePath);
}

void GetRun::note(const QString& text)
{
    if (terminal_)
        std::fprintf(stderr, "\r\033[K");
    printGetLine(text);
}

void GetRun::leftOut(const std::string& remotePath, const QString& text, const QString& serverReply)
{
    ++leftOut_;
    std::string folder = remotePath;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    folderRefused_ = folderRefused_ || (item_.folder && folder == item_.remotePath);
    note(serverReply.isEmpty()
            ? text
            : text + QStringLiteral(": ") + replyMeaning(serverReply.trimmed(), prompter_.timeoutSeconds()));
}

QString GetRun::progressLine() const
{
    const LoaderProgress& progress = *worker_->progress();
    const std::int64_t total = progress.totalBytes;
    const std::int64_t done = std::max<std::int64_t>(progress.currentFileBytes, progress.finishedBytes);
    const double seconds = std::max<double>(static_cast<double>(clock_.elapsed()) / 1000.0, 0.001);
    const double rate = static_cast<double>(done) / seconds;
    int connections = 0;
    for (const auto& bytes : progress.connectionBytes)
        connections += bytes.load() > 0 ? 1 : 0;
    const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 0;
    const qint64 left
        = rate > 0 && total > done ? static_cast<qint64>(static_cast<double>(total - done) / rate) : 0;
    return QStringLiteral("%1% %2 of %3, %4/s, %5:%6 left, %7 connections")
        .arg(percent)
        .arg(formatSize(done, SizeMode::Exact), formatSize(total, SizeMode::Exact),
            formatSize(static_cast<std::int64_t>(rate), SizeMode::Exact))
        .arg(left / 60)
        .arg(left % 60, 2, 10, QLatin1Char('0'))
        .arg(connections);
}

void GetRun::showProgress(bool last)
{
    if (!terminal_) {
        printGetLine(progressLine());
        return;
    }
    std::fprintf(stderr, "\r\033[Kranquil-get: %s%s", printable(progressLine()).toLocal8Bit().constData(),
        last ? "\n" : "");
}
