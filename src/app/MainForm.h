#pragma once

#include "app/OperationsList.h"
#include "common/UpdateIndexUrlStore.h"
#include "settings/ConnectionOptions.h"
#include "settings/GUIOptions.h"
#include "transfer/ActionsList.h"
#include "transfer/LoaderManager.h"

#include <QObject>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class BookmarkTree;
class Prompter;
struct ftpSite;
class ShellSearch;
class ShellSession;
class ShellView;
class UpgradeCheck;

// The main window's state and behaviour, without widgets: start-up, the
// quit questions, the shut-down sequence and the notices through which
// sessions, searches and transfer windows hand control back. Main thread
// only, except getUpdateIndexUrl/setUpdateIndexUrl.
class TMainForm : public QObject, public UpdateIndexUrlStore
{
    Q_OBJECT

public:
    enum class WindowState { Normal, Maximized, Minimized };

    static constexpr int sessionTabTag = 2;
    static constexpr int searchTabTag = 1;

    // Runs the start-up sequence: settings, transfer manager, the upgrade
    // check (when on and an address is set), stored operations, and the
    // link-file type when run from the build folder. `arguments` are the command-line arguments
    // after the program name.
    // `prompter` (not owned) asks the user wherever the shell must.
    TMainForm(QStringList arguments, Prompter& prompter, QObject* parent = nullptr);
    // Saves the view options, then the connection options.
    ~TMainForm() override;

    void attachView(ShellView* view) { view_ = view; }

    void firstShow();
    void firstPaint();

    // The window's close button and "S&hut Down" (closeQuits true), "Send to
    // &Tray" (closeQuits false).
    void requestClose();
    void sendToTray();
    void shutDown();
    void restoreFromTray();
    // The desktop session ends, or SIGTERM/SIGINT arrived: no questions.
    void sessionEnd();
    void activeTabChanged();
    void setModalState(bool entering);
    // "&Upgrade Check": whether to check at the next start.
    void upgradeCheckCommand();
    // False (after telling the user) unless a session tab is active.
    bool requireSessionTab() const;

    void windowGeometryChanged(WindowState state, int left, int top, int clientWidth, int clientHeight);

    // Any thread.
    std::string getUpdateIndexUrl() const override;
    void setUpdateIndexUrl(std::string url) override;

    void addSession(ShellSession* session);
    void removeSession(ShellSession* session);
    void addSearch(ShellSearch* search);
    void removeSearch(ShellSearch* search);
    const std::vector<ShellSession*>& sessions() const { return sessions_; }
    const std::vector<ShellSearch*>& searches() const { return searches_; }

    // The live settings: the option dialogs edit them; sessions and workers
    // take copies when they start.
    connectionOptions& connection() { return connection_; }
    GUIOptions& guiOptions() { return guiOptions_; }
    Prompter& prompter() { return prompter_; }
    loaderManager& loaders() { return *loaders_; }
    ActionsList& actions() { return *actions_; }
    OperationsList& operationsList() { return *operations_; }
    const QStringList& connectionSpeedLabels() const { return connectionSpeedLabels_; }
    bool autoUpgradeCheck() const { return autoUpgradeCheck_; }
    bool isShuttingDown() const { return shuttingDown_; }
    // The link file given on the command line, as an absolute path ("" when
    // none was given).
    const QString& commandLineLinkFile() const { return commandLineLinkFile_; }

    // Opens a link file in a new FTP session (set by the session subsystem).
    std::function<void(const QString& linkFile)> openLinkFileInNewSession;
    // Opens a new FTP session on a site: "&Connect" of the Start tab (set by
    // the session subsystem).
    std::function<void(const ftpSite& site)> openSiteInNewSession;
    // The Start tab's bookmarks over "My FTP Links" of the program folder.
    BookmarkTree& bookmarks() { return *bookmarks_; }

    // The upgrade check of this start (null when none runs).
    const UpgradeCheck* upgradeCheck() const { return upgradeCheck_.get(); }

    // "Quorvane Ranquil 5.6", after this build's version.
    static QString windowTitle();

Q_SIGNALS:
    // The destroy request was handled: the main loop must end.
    void destroyRequested();
    // The upgrade check found a newer version, described at `page`.
    void newerVersionAvailable(const QString& version, const QUrl& page);

protected:
    bool event(QEvent* event) override;

private:
    void runShutdownSequence();
    void saveWindowSettings();
    void startLocalServer() const;
    void startUpgradeCheck();
    void postDestroyRequest();

    QStringList arguments_;
    QString commandLineLinkFile_;
    ShellView* view_ = nullptr;
    Prompter& prompter_;
    // Before the settings: read after a damaged file was set aside.
    QString unreadableStores_;
    GUIOptions guiOptions_;
    connectionOptions connection_;
    std::unique_ptr<loaderManager> loaders_;
    std::unique_ptr<ActionsList> actions_;
    std::unique_ptr<OperationsList> operations_;
    std::unique_ptr<BookmarkTree> bookmarks_;
    std::unique_ptr<UpgradeCheck> upgradeCheck_;
    std::vector<ShellSession*> sessions_;
    std::vector<ShellSearch*> searches_;
    QStringList connectionSpeedLabels_;
    QStringList selectedPaths_;

    mutable std::mutex updateIndexUrlLock_;
    std::string updateIndexUrl_; // guarded by updateIndexUrlLock_

    bool closeQuits_ = true;
    bool tipsEnabled_ = true;
    bool autoUpgradeCheck_ = true;
    int clientWidth_ = 790;
    int clientHeight_ = 520;
    int left_ = 100;
    int top_ = 100;
    bool maximized_ = false;
    bool nothingToWaitFor_ = false;
    bool firstShowPending_ = true;
    bool firstPaintPending_ = true;
    bool shuttingDown_ = false;
};
