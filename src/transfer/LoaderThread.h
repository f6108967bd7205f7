#pragma once

#include "common/FtpSite.h"
#include "net/FtpTypes.h"
#include "settings/ConnectionOptions.h"
#include "transfer/FtpOperation.h"
#include "transfer/LoaderWindow.h"
#include "transfer/TransferRequest.h"
#include "transfer/TransferType.h"

#include <QString>
#include <QThread>

#include <array>
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class LocalNameClaims;
class Prompter;
class QTimer;
class TFtpClient;
class THttpCli;

// What a worker is given when its window creates it.
struct LoaderInputs {
    TransferRequest request; // its site with its P2P network, for look-ups by user name
    connectionOptions options;
    // The browsing session's connection, already detached from its thread
    // (TCustomFtpCli::ThreadDetach): the worker uses it as connection 0 and
    // hands it back detached; the lender takes it with takeBackBorrowed().
    TFtpClient* borrowed = nullptr;
    // Resume state and capabilities are written back into it on the main
    // thread; may be null.
    ftpOperationObject* operation = nullptr;
    Prompter* prompter = nullptr; // required
    LoaderWindow* window = nullptr; // may be null: nothing is shown
    std::shared_ptr<LoaderProgress> progress; // made when null
    // The local names already written by this operation; made when null.
    std::shared_ptr<LocalNameClaims> localNames;
    // Main thread, after every write of the worker into `operation` (a
    // front end that keeps the resume state on disk at once).
    std::function<void(const ftpOperationObject&)> onOperationChanged;
};

// The worker of one running operation. It owns up to eight FTP connections
// and one HTTP client, all created and used on its own thread; it reaches its
// window only through synchronous calls that the thread which created it
// (the main thread) runs. That thread must keep serving its events while it
// waits for the worker: stopAndWait() does.
//
// The worker's run, step by step (see run() and the branch tables in the
// .cpp files):
//   create the HTTP client  -> create the watchdog -> set up the connections
//   -> run the branch of the operation's kind -> quit (unless stopped)
//   -> tell the window finished or stopped
//   -> stop the watchdog -> release the connections -> release HTTP
class LoaderThread : public QThread
{
    Q_OBJECT

public:
    static constexpr int connectionCount = LoaderProgress::connectionCount;

    // Main thread.
    explicit LoaderThread(LoaderInputs inputs, QObject* parent = nullptr);
    ~LoaderThread() override;

    // ------------------------------------------------ main thread
    void start(OperationPriority priority);
    void setOperationPriority(OperationPriority priority);
    // Sets the terminated flag; the watchdog aborts the transfers within
    // its period.
    void requestStop();
    // requestStop(), then waits for the run to end while serving the
    // worker's synchronous calls.
    void stopAndWait();
    void pause();
    void resume();
    // The window goes away: nothing is shown any more.
    void clearWindow();
    // The operation's row goes away: nothing is written back any more.
    void clearOperation();
    // After the run: attaches the borrowed connection to the calling thread
    // and returns it (null when none was borrowed).
    TFtpClient* takeBackBorrowed();
    std::shared_ptr<LoaderProgress> progress() const { return progress_; }
    LocalNameClaims& localNameClaims() { return *localNames_; }
    const QString& localBase() const { return localBase_; }
    const std::string& remoteBase() const { return remoteBase_; }

    // ------------------------------------------------ worker thread
    // What the branches use.
    bool stopping() const { return terminated_.load(); }
    void stopSelf() { terminated_ = true; }
    bool isBorrowed() const { return borrowedClient_ != nullptr; }
    OperationKind kind() const { return kind_; }
    const ftpSite& site() const { return site_; }
    const connectionOptions& options() const { return options_; }
    TFtpClient& connection0() { return *connections_[0]; }
    TFtpClient& connection(int index) { return *connections_[static_cast<std::size_t>(index)]; }
    // Gives a connection back the worker's own event handlers.
    void resetHandlers(int index) { attachHandlers(index); }
    // A file did not arrive whole: the run ends stopped, not finished.
    void markIncomplete() { incomplete_ = true; }
    LoaderProgress& progressBlock() { return *progress_; }
    Prompter& prompter() { return *prompter_; }
    // The operation's items; a walk adds the files it finds.
    TransferItems& items() { return items_; }
    void setRemoteBase(std::string base) { remoteBase_ = std::move(base); }
    void setLocalBase(QString base) { localBase_ = std::move(base); }

    void setStatus(const QString& text, int connection = 0);
    // Runs `call` with the window on the main thread; nothing when the
    // window is gone.
    void withWindow(const std::function<void(LoaderWindow&)>& call);
    // Runs `call` with the operation on the main thread; nothing when its
    // row is gone.
    void withOperation(const std::function<void(ftpOperationObject&)>& call);
    OverwriteAnswer askOverwrite(const QString& path, ExistenceKind kind);
    // `text` with connection 0's last reply, shown by the main thread.
    void showServerError(const QString& text);

    // Connects and logs in connection 0, looking up the address by the P2P
    // user name first when asked and the site is not persistent. On failure
    // the user is told and the worker stops itself.
    bool connectAndLogIn(bool lookUp);
    // QUIT on connection 0 when connected, then every own connection is
    // torn down and its row removed.
    void quitConnections();
    void probeResume();
    void probeDigests();
    bool supportsRest() const { return supportsRest_; }
    bool supportsMd5() const { return supportsMd5_; }
    // Commands whose replies do not decide what is sent next (digest queries,
    // a folder's DELE) go out this many at a time: a round trip for the
    // batch instead of one per file, and a bound on what a server has to
    // take in at once.
    static constexpr std::size_t commandsPerBatch = 50;
    // "SITE MD5 <path>" for each path, in order; zeroDigest where unknown.
    std::vector<std::string> queryDigests(const std::vector<std::string>& remotePaths);
    // Sends TYPE when the type the file needs differs from the current one.
    void setTransferTypeFor(std::string_view path);
    void setTransferType(TransferType wanted);
    // Capabilities known from an earlier run (a resume from the cache).
    void restoreCapabilities(bool rest, bool md5);
    TransferType transferType() const { return transferType_; }
    bool isPaused() const { return paused_.load() && !resumeRequested_.load(); }
    // Paused, or resumed since and not yet waited for.
    bool pauseAsked() const { return paused_.load() || resumeRequested_.load(); }
    // Waits while paused (and not stopping), serving this thread's events;
    // clears both flags on leaving when `clearFlags` and it had been paused.
    void pauseWait(bool clearFlags);
    // Whether connection 0's current transfer is to be aborted by its
    // progress event.
    void setTransferring(bool on) { transferring_ = on; }

    // The remembered "all" answers of the overwrite question.
    struct AllAnswers {
        bool overwriteComplete = false, skipComplete = false;
        bool overwritePartial = false, skipPartial = false, resumePartial = false;
    };
    AllAnswers& allAnswers() { return allAnswers_; }

protected:
    void run() override;

private:
    // The steps of run().
    void createHttpClient();
    void createWatchdog();
    void setUpConnections();
    void runBranch();
    void quitUnlessStopped();
    void reportOutcome();
    void stopWatchdog();
    void releaseConnections();
    void releaseHttpClient();

    void watchdogTimeout();
    void attachHandlers(int index);
    std::optional<QString> lookUpAddress();
    bool logIn(QString& errorText);

    // Fixed at creation.
    OperationKind kind_;
    connectionOptions options_;
    TFtpClient* borrowedClient_;
    Prompter* prompter_;
    std::shared_ptr<LoaderProgress> progress_;
    std::shared_ptr<LocalNameClaims> localNames_;
    QString hostText_;
    std::string remoteBase_;
    QString localBase_;
    TransferItems items_;

    // Main thread only.
    LoaderWindow* window_;
    ftpOperationObject* operation_;
    const bool hasWindow_; // whether there was one at all
    std::function<void(const ftpOperationObject&)> onOperationChanged_;

    // Shared.
    std::atomic<bool> terminated_ { false };
    std::atomic<bool> paused_ { false };
    std::atomic<bool> resumeRequested_ { false };
    std::atomic<bool> borrowedReturned_ { false };

    // Worker thread only.
    ftpSite site_;
    std::array<std::unique_ptr<TFtpClient>, connectionCount> owned_;
    std::array<TFtpClient*, connectionCount> connections_ {};
    std::unique_ptr<THttpCli> http_;
    std::atomic<bool> httpAborted_ { false };
    std::unique_ptr<QTimer> watchdog_;
    // What the borrowed connection had before the run, given back after it.
    struct LenderState {
        bool multiThreaded = false;
        std::function<void(int)> onConnected, onClosed;
        std::function<void(TFtpRequest, int)> onRequestDone;
        std::function<void(qint64, bool&)> onProgress;
    } lenderState_;
    bool supportsRest_ = false;
    bool supportsMd5_ = false;
    TransferType transferType_ = TransferType::Unknown;
    bool transferring_ = false;
    bool incomplete_ = false;
    AllAnswers allAnswers_;
};
