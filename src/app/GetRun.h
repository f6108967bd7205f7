#pragma once

#include "app/GetCommandLine.h"
#include "common/Prompter.h"
#include "settings/ConnectionOptions.h"
#include "transfer/FtpOperation.h"
#include "transfer/LoaderWindow.h"

#include <QElapsedTimer>
#include <QString>

#include <memory>

class LoaderThread;
class LocalNameClaims;

// The exit codes of ranquil-get.
enum GetExit : int {
    GetSucceeded = 0,
    GetUsage = 1,
    GetConnectFailed = 2,
    GetTransferFailed = 3,
    GetDigestMismatch = 4,
    GetLocalWriteFailed = 5,
    GetFolderIncomplete = 6
};

// What the URLs of one command fetched, for its summary line.
struct GetTally {
    int arrived = 0;
    int skipped = 0;
    int failed = 0;
    std::int64_t bytes = 0;
};

// "3 files, 1.50 MB in 2.1 s (731.43 KB/s); 1 skipped, 0 failed".
QString summaryText(const GetTally& tally, qint64 milliseconds);

// 128 + the signal's number, as shells report a program a signal stopped.
int interruptedExit(int signal);

// One line on standard error with the program's name before it; control
// characters shown, never sent to the terminal.
void printGetLine(const QString& text);

// Messages go to stderr, one line each; questions are answered Yes (use
// the cache, keep the parts of a stopped file).
class StderrPrompter : public Prompter
{
public:
    explicit StderrPrompter(int timeoutSeconds)
        : timeoutSeconds_(timeoutSeconds)
    {
    }

    bool prompt(const QString& title, const QString& text, const QString& firstButton,
        const QString& secondButton) override;
    // One line: the failure, and what the reply means.
    void showServerError(const QString& text, const QString& lastServerReply) override;
    int timeoutSeconds() const { return timeoutSeconds_; }

private:
    int timeoutSeconds_;
};

// One URL of ranquil-get: the download worker without a window. Its resume
// state is kept in the program folder from the start of every file, so the
// same command resumes after a stop or a crash. Main thread.
class GetRun : public LoaderWindow
{
public:
    // `localNames`: the local names the command's earlier URLs wrote.
    GetRun(const GetCommand& command, const GetItem& item, const connectionOptions& options,
        std::shared_ptr<LocalNameClaims> localNames, GetTally& tally);
    ~GetRun() override;

    // Runs the worker to its end; the exit code.
    int run();
    void requestStop();

    // LoaderWindow.
    void setConnectionStatus(int connection, const QString& text) override;
    void addConnectionRow(int, const QString&, int) override { }
    void removeConnectionRow(int) override { }
    void showPauseButton(bool) override { }
    void showFolders(const QString&, const QString&) override { }
    OverwriteAnswer askOverwrite(const QString& path, ExistenceKind kind) override;
    void fileFinished(const QString& remotePath, FileOutcome outcome) override;
    void note(const QString& text) override;
    void leftOut(const std::string& remotePath, const QString& text, const QString& serverReply) override;

private:
    QString storePath() const;
    void loadResumeState();
    void storeResumeState(const ftpOperationObject& operation);
    void forgetResumeState();
    QString progressLine() const;
    // On a terminal one line redrawn; elsewhere a line now and then.
    void showProgress(bool last);
    int exitCode() const;

    const GetCommand& command_;
    const GetItem& item_;
    connectionOptions options_;
    std::shared_ptr<LocalNameClaims> localNames_;
    GetTally& tally_;
    StderrPrompter prompter_;
    QString localFolder_; // absolute, without "." or ".." parts
    ftpOperationObject operation_;
    std::unique_ptr<LoaderThread> worker_;
    bool terminal_ = false;
    bool stored_ = false;
    bool storedInParts_ = false;
    QElapsedTimer clock_;
    int leftOut_ = 0;
    // The folder of the URL itself could not be opened: nothing of it came.
    bool folderRefused_ = false;
};
