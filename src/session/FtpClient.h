#pragma once

#include "common/FtpSite.h"
#include "common/ShellMembers.h"
#include "remote/EntryList.h"
#include "remote/FileTypeText.h"
#include "remote/FtpObject.h"
#include "session/RemoteTree.h"
#include "session/SessionHistory.h"
#include "session/SessionState.h"
#include "session/TransferHandOver.h"
#include "settings/ConnectionOptions.h"
#include "transfer/FtpOperation.h"
#include "transfer/LoadFrame.h"

#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

class Prompter;
class TFtpClient;
class THttpCli;
class sessionView;
struct siteGroup;
struct TransferRequest;
namespace permissions
{
struct chmodTarget;
}

// One interactive FTP session: a tab of the main window. It drives its own
// FTP component with blocking calls on the main thread, one command at a
// time; while a call waits, events (and so other commands, the keep-alive
// tick or a disconnect) may run, which is why every step re-checks the
// closing and logging-in flags afterwards. Everything it shows goes to its
// sessionView; questions and messages go to the prompter.
//
// A session never deletes itself: when it must go, it posts
// Notice::SessionClosed to its notice receiver (the main window), which
// deletes it later.
class ftpClient : public ShellSession, private remoteTree::observer
{
    Q_OBJECT

public:
    // Everything a session takes from the shell when it is created.
    struct environment {
        Prompter& prompter;
        // Receives Notice::SessionClosed.
        QObject* noticeReceiver = nullptr;
        // A copy: the dialogs go on editing the main window's value.
        connectionOptions options;
    };

    ftpClient(ftpSite site, std::shared_ptr<sessionView> view, environment environment);
    ~ftpClient() override;

    // Creation's last step: connect and list the initial directory.
    void start() { connectSession(true); }

    // "Abcdefghij" stays; "Abcdefghijk" becomes "Abcdefg...".
    static QString tabCaption(const std::string& siteName);

    // ---------------------------------------------------- connection
    bool connectSession(bool list);
    void disconnectSession(bool close, bool lastSession = false);
    void abortCommand();
    void finishCommand();

    // ---------------------------------------------------- navigation
    void changeDirectoryAndList(const std::string& path);
    bool listFolder(const std::string& path, bool quiet, bool ascii, bool strict, bool search);
    void refreshListing();
    void goUp();
    void goToPath(const std::string& path);
    void goBack();
    void goForward();
    // The user selected a node of the remote tree.
    void treeSelectionChanged(const ftpTreeViewObject* node);
    void openEntry(const ftpObject& entry);
    void openEntryFolder(const ftpObject& entry, const std::string& target);
    void followUnixLink(const ftpObject& entry);
    void openLinkFile(const ftpObject& entry);
    // Reads a link file of the local disk into the site and connects; a
    // file that cannot be read closes the session.
    bool openLocalLinkFile(const QString& path);
    void insertNewEntry(const std::string& name, bool isFile);
    // Downloads the view's selection (opening a regular file, following a
    // UNIX link to a file); the frame fills it in.
    std::function<void()> downloadSelection;

    // ---------------------------------------------------- file commands (FtpClientCommands.cpp)
    // Selections are entries of this session's list, in list order.
    void renameEntry(const ftpObject& entry);
    // Selected list entries into the folder of `target`; dropped onto a tree
    // node (`askFirst`) the user confirms first.
    void moveEntries(
        std::span<const ftpObject* const> entries, const ftpTreeViewObject& target, bool askFirst);
    // A tree node dragged onto another node.
    void moveTreeNode(const ftpTreeViewObject& node, const ftpTreeViewObject& target);
    void makeObject();
    void changePermissions(std::span<const ftpObject* const> selected);
    void changePassword();
    // Writes the site as a link file into the bookmarks' root folder.
    void addBookmark();
    // The shell's bookmark tree takes in the file addBookmark wrote.
    std::function<void()> bookmarkAdded;

    // ---------------------------------------------------- transfers (FtpClientTransfers.cpp)
    // Given once, right after creation; without them no transfer starts.
    void setTransfers(transferServices services, transferViews* views);
    // `localFolder`: the folder the local view shows; empty for a place
    // that is not a folder of the file system.
    void downloadSelected(std::span<const ftpObject* const> selection, const QString& localFolder);
    void downloadSelectedTo(std::span<const ftpObject* const> selection);
    void uploadSelected(const QStringList& localPaths);
    // Where local files were dropped: onto a tree node (null: none there),
    // or onto the list over an entry (null: none there).
    struct dropPoint {
        bool onTree = false;
        const ftpTreeViewObject* node = nullptr;
        const ftpObject* entry = nullptr;
    };
    void uploadDropped(const QStringList& localPaths, const dropPoint& point);
    void deleteSelected(std::span<const ftpObject* const> selection);
    // True: use the session's own connection for an operation of `kind`;
    // asks once when the choice is still open and remembers the answer.
    bool askNewConnection(OperationKind kind);
    // The connection is lent to a transfer running in the frame.
    bool connectionLent() const { return lentTo_ != nullptr; }

    // ---------------------------------------------------- server search
    void searchServer();
    void runServerSearch(const std::string& keyword, int mode);
    bool setSearchMode(int mode);

    // ---------------------------------------------------- the shell's side
    void disconnectAndClose(bool isLast) override { disconnectSession(true, isLast); }
    void refreshCurrentFolder() override { refreshListing(); }

    // ---------------------------------------------------- read by views and tests
    const ftpSite& site() const { return site_; }
    sessionState state() const { return state_; }
    bool closing() const { return closing_; }
    bool established() const { return established_; }
    const std::string& currentDirectory() const { return currentDirectory_; }
    const entryList& entries() const { return list_; }
    const remoteTree& tree() const { return tree_; }
    const ftpTreeViewObject* selectedNode() const { return selectedNode_; }
    const sessionHistory& history() const { return history_; }
    int serverSearchMode() const { return serverSearchMode_; }
    // The session's own folder of listing caches and search results.
    QString temporaryFolder() const { return folder_.path(); }
    QString searchResultsFile() const { return searchResultsFile_; }
    QString cacheFileOf(const std::string& folder) const;
    TFtpClient& component() { return *ftp_; }

private:
    // Component events.
    void attachComponentEvents();
    void componentStateChanged(int state);
    void componentSessionClosed();
    void keepAliveTick();

    // Connecting.
    enum class attemptFailure { None, Connection, UserName, Password };
    bool prepareSite();
    bool resolveP2pAddress();
    void configureComponent();
    attemptFailure runAttempt(int attempt);
    void showAttemptFailure(attemptFailure failure);
    void tearDownViews();
    void closeSession();
    void postClosedNotice();

    // Held by every command and event handler while it runs. The closed
    // notice waits until none runs: the blocking calls serve events, and
    // the shell deletes the session when it handles the notice, which must
    // not happen under a command of this session.
    class commandScope
    {
    public:
        explicit commandScope(ftpClient& session);
        ~commandScope();
        commandScope(const commandScope&) = delete;
        commandScope& operator=(const commandScope&) = delete;

    private:
        ftpClient& session_;
    };

    // Showing.
    void setSessionState(sessionState state);
    sessionActivity activity() const;
    void showStatus(const QString& text);
    void logLine(const QString& line);
    void showServerError(const QString& text);
    void showError(const QString& text);
    // Sends a raw command line; true when the server accepted it.
    bool quote(const std::string& command);
    QString pseudoAddress() const;

    // File commands (FtpClientCommands.cpp).
    bool renamePath(const std::string& from, const std::string& to);
    // SITE CHMOD for each target; the ones left unchanged are logged and
    // named in one message.
    void changeModes(int mode, const std::vector<permissions::chmodTarget>& targets);
    void relistCurrentFolder();
    void removeEntries(std::span<const ftpObject* const> entries);
    // Takes the nodes with their subtrees out of the tree and its view; the
    // entries listed forget them. Nodes no longer in the tree are passed over.
    void removeTreeNodes(std::span<const ftpTreeViewObject* const> nodes);
    // False, after telling the user, when `text` holds CR, LF or NUL.
    bool sendable(const QString& text);

    // Listing (FtpClientNavigation.cpp).
    struct folderTarget;
    folderTarget targetOf(const std::string& path, bool search) const;
    // Step into the folder; a value when the listing ends there (a refused
    // CWD) with that result.
    std::optional<bool> enterFolder(folderTarget& target, bool quiet, bool strict, bool search, bool& failed);
    bool fallBackAfterRefusedCwd(bool quiet, bool search);
    void showFolder(const folderTarget& target);
    class listingLoad;
    bool loadListing(const QString& file, const std::string& directory, bool search);
    // LIST into the file; `streamed`: into the views too, as it arrives.
    bool fetchListing(const QString& file, const std::string& directory, bool search, bool streamed);
    void showListed();
    void showListingNotUnderstood();
    void clearList();
    void selectNode(ftpTreeViewObject& node);
    void recordHistory();
    // Disconnects to go to another server, keeping the history (which a
    // disconnect by the user or a lost connection empties).
    void leaveServer();
    void takeOverServer(const ftpSite& server, const std::string& initialDirectory);
    void goToHistoryEntry(const ftpSite* entry);
    void takeOverLink(const ftpSite& link);
    bool sameServer(const ftpSite& other) const;

    void treeNodeAdded(const ftpTreeViewObject& node) override;

    // Transfers (FtpClientTransfers.cpp).
    // `site` is the operation's: an upload goes into its initial directory,
    // kept as the server's bytes. `localFolder`: a download's.
    void startOperation(TransferRequest request);
    void lendConnection(LoadFrameSetup setup);
    void takeBackConnection(OperationKind kind);
    // Stops a transfer that holds the connection and takes it back, with
    // none of the follow-ups of a transfer that ended by itself.
    void reclaimConnection();
    std::string uploadTargetOf(const dropPoint& point, bool& showInList) const;
    ftpSite uploadSiteFor(const std::string& remoteFolder) const;

    ftpSite site_;
    std::shared_ptr<sessionView> view_;
    Prompter& prompter_;
    QPointer<QObject> noticeReceiver_;
    connectionOptions options_;
    std::unique_ptr<TFtpClient> ftp_;
    std::unique_ptr<THttpCli> http_;
    std::atomic<bool> indexAborted_ { false };
    QTimer keepAlive_;
    QTemporaryDir folder_;
    QString searchResultsFile_;

    bool established_ = false;
    bool closePosted_ = false;
    bool lastSession_ = false;
    bool lastSessionCopy_ = false;
    // A login attempt or the session's close drives the component: a lost
    // connection leaves the views to it, and an abort cuts the socket. What
    // the views offer meanwhile is commandsFor's to say.
    bool loggingInOrClosing_ = false;
    bool closing_ = false;
    bool directoryCommandIdle_ = true;
    bool relist_ = true;
    bool treeEvents_ = true;
    bool skipHistory_ = false;
    bool fallingBack_ = false;
    bool keepHistory_ = false;
    bool noticeOwed_ = false;
    bool reclaiming_ = false;
    int commandDepth_ = 0;
    int serverSearchMode_ = 0;
    qint64 downloadLimit_ = -1; // bytes a download may bring; -1: any

    sessionState state_ = sessionState::Disconnected;
    sessionCommands commands_;
    sessionHistory history_;
    remoteTree tree_ { this };
    ftpTreeViewObject* selectedNode_ = nullptr;
    entryList list_;
    typeTextIndex typeTexts_;
    std::string serverWorkingDirectory_;
    std::string currentDirectory_;

    transferServices transfers_;
    transferViews* transferViews_ = nullptr;
    QPointer<TLoadFrame> lentTo_;
};
