#pragma once

#include "common/FtpSite.h"
#include "net/FtpTypes.h"
#include "transfer/FailureRule.h"
#include "transfer/PartPlan.h"
#include "transfer/PartSink.h"
#include "transfer/SourceLedger.h"

#include <QString>

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class WorkerContext;
class PartStore;
class TFtpClient;

// Fetches the parts of one file: connection 0 with blocking calls, the
// others asynchronously in the same thread while connection 0 works; then
// one restart round for what is still missing, and the wait until every
// connection has settled. Every transfer writes through a PartSink into the
// file's PartStore and stops at its part's end, so a part never reaches
// into the next one; a part counts as complete only when the store holds
// its whole length. Worker thread only.
//
// A secondary connection goes through these stages:
//   Idle --connect, log in--> Folder --CWD--> [WebLink] --> Type --TYPE-->
//   Receiving --REST+RETR--> (next part: Type | none left: Finished)
// and back to Idle with the next source after a failure.
class PartDownload
{
public:
    struct Target {
        std::string remotePath;
        std::string remoteFolder; // changed to by the secondary connections
        QString localPath;
        std::uint64_t size = 0;
        // An ASCII transfer (its local length differs from the server's) or
        // a file whose size the server did not tell: fetched whole, it counts
        // when the transfer succeeds.
        bool lengthUnknown = false;
        // Fetched in ASCII mode: its line ends become the local ones.
        bool text = false;
    };
    enum class Outcome { Received, Incomplete, Stopped };

    // `store` (opened) holds the parts and outlives this.
    PartDownload(WorkerContext& worker, Target target, PartStore& store);
    ~PartDownload();
    PartDownload(const PartDownload&) = delete;
    PartDownload& operator=(const PartDownload&) = delete;

    Outcome run();
    // The server sent nothing on any connection for the time-out: the file
    // was given up rather than tried again on a server that answers nothing.
    bool timedOut() const { return timedOut_; }
    // The parts not complete when the file started.
    int neededConnections() const { return needed_; }
    const std::vector<FilePart>& parts() const { return parts_; }

private:
    enum class Stage { Idle, Type, Folder, WebLink, Receiving, Finished, Quitting };
    struct Connection {
        int part = -1;
        bool active = false;
        Stage stage = Stage::Idle;
        int failures = 0;
        bool refused = false; // the server said it takes no more connections
        // Request-done events still owed for requests torn down before
        // they ended; they say nothing about the request now running.
        int staleEvents = 0;
        TFtpRequest expected = ftpNone; // the asynchronous request running

        std::uint64_t doneAtStart = 0;
        std::chrono::steady_clock::time_point lastActivity;
    };

    TFtpClient& client(int index);
    void installHandlers();
    void endTransfers();
    void restoreHandlers();

    // Connection 0, blocking.
    void fetchOnConnection0();
    // The secondary connections, and connection 0 in the restart round.
    void start(int index, bool rotate);
    void connectSecondary(int index);
    void afterLogin(int index);
    void afterFolder(int index);
    void setType(int index);
    void beginReceive(int index);
    void onRequestDone(int index, TFtpRequest request, int error);
    void onTransferEnded(int index);
    void onFailure(int index, Failure::Kind kind);
    // Carries out what the failure rule decided for connection `index`.
    void follow(int index, NextStep step);
    void giveUpStalled();
    void abortConnection(int index);
    // Notes the request about to start; always true.
    bool expect(int index, TFtpRequest request);
    void quitSecondaries();

    // The user's attempts, for a part and for a connection with this file.
    int attemptsAllowed() const;
    // A part whose attempts are used up is not taken again: the file ends
    // not complete rather than trying on past what the user allowed.
    void countFailedAttempt(int part);
    int takePart(int index);
    void releasePart(int index);
    // A part's state from what the store holds of it.
    void settlePart(int part);
    void accountDone(int part);
    // Connection `index` fetches `part` into the store from where it stands.
    void aimAtPart(int index, int part);
    void onProgress(int index, qint64 bytes, bool& abort);

    void waitForParts(bool restartRound);
    bool serverSilent() const;
    bool settled() const;
    bool allComplete() const;
    void showCurrentFileBytes();

    WorkerContext& worker_;
    Target target_;
    PartStore& store_;
    std::vector<FilePart>& parts_;
    SourceLedger sources_;
    std::vector<int> partFailures_;
    int needed_ = 0;
    bool connection0Async_ = false;
    std::array<Connection, 8> connections_ {};
    std::array<PartSink, 8> sinks_ {};
    std::uint64_t completedBytes_ = 0;
    std::int64_t finishedBefore_ = 0;
    // The last byte or successful reply from the server, on any connection.
    std::chrono::steady_clock::time_point heard_;
    bool timedOut_ = false;
};
