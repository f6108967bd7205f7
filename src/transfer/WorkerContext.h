#pragma once

#include "transfer/LoaderWindow.h"
#include "transfer/TransferRequest.h"
#include "transfer/TransferType.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class LocalNameClaims;
class Prompter;
class TFtpClient;
class connectionOptions;
struct ftpOperationObject;

// What the branches of a run (the walks, the downloads of files and parts,
// deletions, uploads) have of the worker that runs them: its connections,
// progress, window and operation, and its stop and pause. The worker thread
// implements it; tests drive a branch through one of their own. Worker
// thread only.
class WorkerContext
{
public:
    static constexpr int connectionCount = LoaderProgress::connectionCount;
    // Commands whose replies do not decide what is sent next (digest queries,
    // a folder's DELE) go out this many at a time: a round trip for the
    // batch instead of one per file, and a bound on what a server has to
    // take in at once...
    static constexpr std::size_t commandsPerBatch = 50;
    // ...and at most this many bytes: the whole batch is on its way before
    // the first reply is read, and a server takes in a few KiB at once
    // (one hung up on 70 KB of long names).
    static constexpr qsizetype bytesPerBatch = 4096;
    // Where the batch that starts at `first` ends: one command at least,
    // then as many as both bounds allow; a command too long for a line goes
    // alone.
    static std::size_t batchEnd(const std::vector<QByteArray>& commands, std::size_t first);

    virtual ~WorkerContext() = default;

    // ------------------------------------------------ stop and pause
    virtual bool stopping() const = 0;
    virtual void stopSelf() = 0;
    virtual bool isPaused() const = 0;
    // Paused, or resumed since and not yet waited for.
    virtual bool pauseAsked() const = 0;
    // Waits while paused (and not stopping), serving this thread's events;
    // clears both flags on leaving when `clearFlags` and it had been paused.
    virtual void pauseWait(bool clearFlags) = 0;

    // ------------------------------------------------ the operation
    virtual OperationKind kind() const = 0;
    virtual const ftpSite& site() const = 0;
    virtual const connectionOptions& options() const = 0;
    // The operation's items; a walk adds the files it finds.
    virtual TransferItems& items() = 0;
    virtual const QString& localBase() const = 0;
    virtual const std::string& remoteBase() const = 0;
    virtual void setRemoteBase(std::string base) = 0;
    // The local names already written by this operation.
    virtual LocalNameClaims& localNameClaims() = 0;
    // The remembered "all" answers of the overwrite question.
    struct AllAnswers {
        bool overwriteComplete = false, skipComplete = false;
        bool overwritePartial = false, skipPartial = false, resumePartial = false;
    };
    virtual AllAnswers& allAnswers() = 0;

    // ------------------------------------------------ the connections
    // Connection 0 is the session's, lent for the run: the only one.
    virtual bool isBorrowed() const = 0;
    virtual TFtpClient& connection(int index) = 0;
    TFtpClient& connection0() { return connection(0); }
    // Gives a connection back the worker's own event handlers.
    virtual void resetHandlers(int index) = 0;
    // Connects and logs in connection 0, looking up the address by the P2P
    // user name first when asked and the site is not persistent. On failure
    // the user is told and the worker stops itself.
    virtual bool connectAndLogIn(bool lookUp) = 0;
    virtual void probeResume() = 0;
    virtual void probeDigests() = 0;
    virtual bool supportsRest() const = 0;
    virtual bool supportsMd5() const = 0;
    // Capabilities known from an earlier run (a resume from the cache).
    virtual void restoreCapabilities(bool rest, bool md5) = 0;
    // "SITE MD5 <path>" for each path, in order; zeroDigest where unknown.
    virtual std::vector<std::string> queryDigests(const std::vector<std::string>& remotePaths) = 0;
    // Sends TYPE when the type the file needs differs from the current one.
    virtual void setTransferTypeFor(std::string_view path) = 0;
    virtual void setTransferType(TransferType wanted) = 0;
    virtual TransferType transferType() const = 0;
    // Whether connection 0's current transfer is to be aborted by its
    // progress event.
    virtual void setTransferring(bool on) = 0;

    // ------------------------------------------------ what the user sees
    virtual LoaderProgress& progressBlock() = 0;
    virtual void setStatus(const QString& text, int connection = 0) = 0;
    // A file did not arrive whole: the run ends stopped, not finished.
    virtual void markIncomplete() = 0;
    virtual Prompter& prompter() = 0;
    // Runs `call` with the window on the main thread; nothing when the
    // window is gone.
    virtual void withWindow(const std::function<void(LoaderWindow&)>& call) = 0;
    // Runs `call` with the operation on the main thread; nothing when its
    // row is gone.
    virtual void withOperation(const std::function<void(ftpOperationObject&)>& call) = 0;
    virtual OverwriteAnswer askOverwrite(const QString& path, ExistenceKind kind) = 0;
    // `text` with connection 0's last reply, shown by the main thread.
    virtual void showServerError(const QString& text) = 0;
};
