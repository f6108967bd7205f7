#pragma once

#include "common/FtpSite.h"
#include "net/FtpTypes.h"
#include "settings/ConnectionOptions.h"
#include "transfer/FtpOperation.h"
#include "transfer/LoaderWindow.h"
#include "transfer/TransferRequest.h"
#include "transfer/TransferType.h"
#include "transfer/WorkerContext.h"

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
class LoaderThread : public QThread, public WorkerContext
{
    Q_OBJECT

public:
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
    LocalNameClaims& localNameClaims() override { return *localNames_; }
    const QString& localBase() const override { return localBase_; }
    const std::string& remoteBase() const override { return remoteBase_; }

    // ------------------------------------------------ worker thread
    // WorkerContext: what the branches use.
    bool stopping() const override { return terminated_.load(); }
    void stopSelf() override { terminated_ = true; }
    bool isPaused() const override { return paused_.load() && !resumeRequested_.load(); }
    bool pauseAsked() const override { return paused_.load() || resumeRequested_.load(); }
    void pauseWait(bool clearFlags) override;
    OperationKind kind() const override { return kind_; }
    const ftpSite& site() const override { return site_; }
    const connectionOptions& options() const override { return options_; }
    TransferItems& items() override { return items_; }
    void setRemoteBase(std::string base) override { remoteBase_ = std::move(base); }
    AllAnswers& allAnswers() override { return allAnswers_; }
    bool isBorrowed() const override { return borrowedClient_ != nullptr; }
    TFtpClient& connection(int index) override { return *connections_[static_cast<std::size_t>(index)]; }
    void resetHandlers(int index) override { attachHandlers(index); }
    bool connectAndLogIn(bool lookUp) override;
    void probeResume() override;
    void probeDigests() override;
    bool supportsRest() const override { return supportsRest_; }
    bool supportsMd5() const override { return supportsMd5_; }
    void restoreCapabilities(bool rest, bool md5) override;
    std::vector<std::string> queryDigests(const std::vector<std::string>& remotePaths) override;
    void setTransferTypeFor(std::string_view path) override;
    void setTransferType(TransferType wanted) override;
    TransferType transferType() const override { return transferType_; }
    void setTransferring(bool on) override { transferring_ = on; }
    LoaderProgress& progressBlock() override { return *progress_; }
    void setStatus(const QString& text, int connection = 0) override;
    void markIncomplete() override { incomplete_ = true; }
    Prompter& prompter() override { return *prompter_; }
    void withWindow(const std::function<void(LoaderWindow&)>& call) override;
    void withOperation(const std::function<void(ftpOperationObject&)>& call) override;
    OverwriteAnswer askOverwrite(const QString& path, ExistenceKind kind) override;
    void showServerError(const QString& text) override;

    // QUIT on connection 0 when connected, then every own connection is
    // torn down and its row removed.
    void quitConnections();

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
