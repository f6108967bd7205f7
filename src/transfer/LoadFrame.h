#pragma once

#include "common/FtpSite.h"
#include "common/TransferWindow.h"
#include "settings/ConnectionOptions.h"
#include "transfer/FtpOperation.h"
#include "transfer/LoaderWindow.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class ActionsList;
class LoaderThread;
class Prompter;
class TFtpClient;
class loaderManager;

// Everything a transfer window shows, as plain values: the core computes it,
// a view only draws it.
struct LoadFrameDisplay {
    struct Connection {
        bool shown = false;
        QString address, speed, throughput, status;
    };

    // Which controls the operation's kind has at all.
    bool showsWebLinkTab = false;
    bool showsThroughput = true;
    bool showsEstimatedTime = true;
    bool showsLocalPath = true;
    bool showsProgress = true; // the bar and the percentage label
    bool showsOpenFolder = true;

    QString statusLine;
    QString host, localPath;
    QString totals = QStringLiteral("0 Bytes / 0 Bytes"); // the "Status:" label
    QString throughput = QStringLiteral("0 Bytes/Sec");
    QString elapsed = QStringLiteral("00:00:00");
    QString estimated = QStringLiteral("--:--:--");
    QString resume = QStringLiteral("Resume: Unknown");
    QString digest = QStringLiteral("MD5: Unknown");
    int percent = 0;
    QString percentText = QStringLiteral("0%");
    bool pauseShown = false, pauseEnabled = true;
    QString pauseCaption = QStringLiteral("&Pause");
    QString cancelCaption = QStringLiteral("&Cancel");
    bool cancelEnabled = true;
    bool closeWhenDone = false, closeWhenDoneEnabled = true;
    bool detailsShown = false;
    QString detailsCaption = QStringLiteral("Details >>");
    bool completedPicture = false;
    OperationPriority priority = OperationPriority::Normal;
    std::array<Connection, LoaderProgress::connectionCount> connections;
};

// What the transfer window's core asks of its widgets. Main thread only.
class LoadFrameView
{
public:
    virtual ~LoadFrameView() = default;
    virtual void render(const LoadFrameDisplay& display) = 0;
    // As by Cancel: a stand-alone window closes and is deleted later; an
    // embedded frame hides and asks the main window to delete it. The core
    // may be deleted once control is back in the event loop.
    virtual void closeFrame() = 0;
    virtual void hideFrame() = 0;
    // False when the desktop could not open it.
    virtual bool openFolder(const QString& folder) = 0;
    // The overwrite question; it answers by itself when nobody does.
    virtual OverwriteAnswer askOverwrite(const QString& path, ExistenceKind kind) = 0;
};

// What a transfer window is created with.
struct LoadFrameSetup {
    // The row the window reports into; both may be null (a window without a
    // row reports nothing).
    ActionsList* actions = nullptr;
    ftpOperationObject* operation = nullptr;
    loaderManager* manager = nullptr; // required
    // The shell's live options: the worker takes a copy, and the window
    // remembers its details and closing choices in them when it goes away.
    connectionOptions* options = nullptr; // required
    Prompter* prompter = nullptr; // required
    QStringList speedLabels; // the shell's connection-speed labels
    bool embedded = false; // inside a session's tab rather than a window of its own
    // What to transfer; the operation's own request, when there is one, is
    // what the worker is given.
    TransferRequest request;
    // Embedded use: gets the borrowed connection back (null when none) once
    // the worker is gone.
    std::function<void(TFtpClient* returned)> handBack;
};

// The transfer window of one running operation, without its widgets: it
// starts the worker, turns the worker's progress block into what the window
// shows once a second, and turns the worker's outcome into the operation's
// status. Main thread only.
class TLoadFrame : public QObject, public LoaderWindow, public TransferWindow
{
    Q_OBJECT

public:
    static constexpr int tickMs = 1000;

    explicit TLoadFrame(LoadFrameSetup setup, QObject* parent = nullptr);
    // Runs the destroy rule when nobody has yet.
    ~TLoadFrame() override;

    void attachView(LoadFrameView* view);
    // `borrowed`: the session's connection, lent for the run.
    void start(TFtpClient* borrowed = nullptr);
    // One timer tick; public so that tests drive the clock.
    void tick();
    // Stops the worker (when it has not finished), turns the outcome into the
    // row's status and lets go of the row and the loader manager. Idempotent;
    // the widgets call it before they go.
    void destroy();

    // The user's commands.
    void pauseResumeClicked();
    void cancelClicked();
    void detailsClicked();
    void setPriority(OperationPriority priority);
    void openDownloadFolderClicked();
    void setCloseWhenDone(bool checked);

    const LoadFrameDisplay& display() const { return display_; }
    bool embedded() const { return embedded_; }
    OperationKind kind() const { return kind_; }
    bool timerRunning() const { return timer_.isActive(); }
    LoaderThread* worker() const { return worker_.get(); }
    std::shared_ptr<LoaderProgress> progress() const { return progress_; }

    // LoaderWindow: the worker's synchronous calls.
    void setConnectionStatus(int connection, const QString& text) override;
    void addConnectionRow(int connection, const QString& address, int speedIndex) override;
    void removeConnectionRow(int connection) override;
    void showPauseButton(bool shown) override;
    void showFolders(const QString& localFolder, const QString& remoteFolder) override;
    OverwriteAnswer askOverwrite(const QString& path, ExistenceKind kind) override;

    // TransferWindow.
    bool operationUnfinished() const override;
    void hide() override;
    void closeAndStop() override;
    void operationRowRemoved() override;

Q_SIGNALS:
    // The operation ended: `status` is Finished, Stopped or ConnectionError.
    void operationEnded(const QString& name, OperationStatus status);

private:
    void applyLayout();
    void reportStatus(OperationStatus status, int percent);
    void refreshConnections();
    void refreshPlaces();
    void showTransferProgress();
    void showDeleteProgress();
    void showFinished();
    void closeFromTimer(OperationStatus status);
    void close();
    void render();
    QString operationName() const;

    LoadFrameSetup setup_;
    ActionsList* actions_;
    ftpOperationObject* operation_;
    const OperationKind kind_;
    const bool embedded_;
    LoadFrameView* view_ = nullptr;
    std::shared_ptr<LoaderProgress> progress_;
    std::unique_ptr<LoaderThread> worker_;
    QTimer timer_;
    LoadFrameDisplay display_;

    QString statusText_;
    // A worker text stays on the status line for one tick before the
    // window's own progress text replaces it.
    bool workerTextFresh_ = false;
    bool paused_ = false;
    std::int64_t elapsedSeconds_ = 0;
    std::int64_t previousTotal_ = 0;
    std::array<std::int64_t, LoaderProgress::connectionCount> previousConnectionBytes_ {};
    std::array<QString, LoaderProgress::connectionCount> connectionTexts_;
    QString previousFile_;
    QString remoteFolder_;
    bool closing_ = false;
    bool destroyed_ = false;
};

// The status line's texts of the transfer window.
namespace LoadFrameTexts
{
// "HH:MM:SS"; "--:--:--" for a negative count or one that needs more than
// two digits of hours.
QString clockText(std::int64_t seconds);
// A name longer than `length` becomes "..." and its last characters.
QString shortened(const QString& name, int length);
// The estimated time left from the bytes still to go and the bytes moved in
// `elapsedSeconds`; "--:--:--" until a positive rate is known.
QString estimatedTime(std::int64_t remaining, std::int64_t moved, std::int64_t elapsedSeconds);
// current × 100 / total, rounded, between 0 and 100; 0 for an unknown total.
int percentOf(std::int64_t current, std::int64_t total);
} // namespace LoadFrameTexts
