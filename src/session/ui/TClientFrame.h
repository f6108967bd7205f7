#pragma once

#include "common/NewObjectChooser.h"
#include "session/SessionView.h"
#include "session/TransferHandOver.h"
#include "session/ui/RemoteTreePane.h"
#include "settings/GUIOptions.h"
#include "transfer/ui/LoadFrameView.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <vector>

class ftpClient;
class LocalComputerPane;
class ModeListView;
class Prompter;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTabWidget;
class QToolBar;
class RemoteListModel;
class QVBoxLayout;
class SessionDragDrop;

// The view of one FTP session: the tab page with the tool bar, the remote
// folder tree (RemoteTreePane) and file list, "My Computer" and "Logs" below
// them and a status bar; the drags and drops over the remote panes are
// SessionDragDrop's. It shows what the session reports through sessionView
// and forwards the user's commands to the session (or, in the local panes,
// to the desktop), each tool bar command to the pane that is active. It also
// holds the transfer view of a transfer on the session's own connection.
// Main thread only.
class TClientFrame : public QWidget, public sessionView, public transferViews
{
    Q_OBJECT

public:
    // Active pane values.
    enum Pane { RemoteList = 0, LocalList = 1, RemoteTree = 2, LocalTree = -1 };

    // `layout` is the main window's value: the frame starts from it and
    // writes its layout back into it when it goes.
    TClientFrame(Prompter& prompter, GUIOptions& layout, QWidget* parent = nullptr);
    ~TClientFrame() override;

    // The session this frame shows; set once, right after the session is
    // created with this frame as its view.
    void setSession(ftpClient* session);
    ftpClient* session() const { return session_; }

    // What the main window's menus follow: the commands of the current
    // state, and a modal dialog of the session opening (true) or closing.
    std::function<void(sessionState, const sessionCommands&)> commandsChanged;
    std::function<void(bool entering)> modalChanged;
    // The shell's "Create New Object" dialog over its bookmarks; without it
    // the frame asks for a folder name only.
    std::function<std::optional<newObjectRequest>(QWidget* parent)> chooseNewObject;
    // The layout values into the main window's GUIOptions.
    void saveLayout();

    // The view modes of the Edit > View menu.
    void setRemoteViewMode(const QString& mode);
    void setLocalViewMode(const QString& mode);

    // The tool bar's commands, dispatched by the active pane.
    void refreshClicked();
    void upClicked();
    void deleteClicked();
    void renameClicked();
    void createObjectClicked();
    void uploadClicked();
    void downloadClicked(bool chooseFolder);

    // ------------------------------------------------ read by the shell and tests
    int activePane() const { return activePane_; }
    void setActivePane(int pane);
    sessionState frameState() const { return state_; }
    const sessionCommands& frameCommands() const { return commands_; }
    RemoteListModel* remoteModel() const { return model_; }
    ModeListView* remoteList() const { return list_; }
    RemoteTreePane* remoteTree() const { return tree_; }
    LocalComputerPane* localPane() const { return local_; }
    QLineEdit* pathEdit() const { return pathEdit_; }
    QToolBar* toolBar() const { return toolBar_; }
    QPlainTextEdit* logView() const { return log_; }
    QTabWidget* bottomPages() const { return pages_; }
    QString statusText() const;
    QMenu* remotePopup() const { return remotePopup_; }
    // The remote list's selected entries, in display order.
    std::vector<const ftpObject*> selectedEntries() const;
    // Sorts the remote list as a click on the header of `column` does.
    void headerClicked(int column);
    // Adjusts the remote popup to the selection.
    void adjustRemotePopup();
    void copyLogToClipboard();

    // ------------------------------------------------ sessionView
    void setCaption(const QString& caption) override;
    void bringToFront() override;
    void setState(sessionState state, const sessionCommands& commands) override;
    void setModal(bool entering) override;
    void showStatus(const QString& text) override;
    void clearLog() override;
    void appendLog(const QString& line, logColour colour) override;
    void setPathText(const QString& path) override;
    void clearTree() override;
    void addTreeNode(const ftpTreeViewObject& node) override;
    void selectTreeNode(const ftpTreeViewObject& node) override;
    void sortTree() override;
    void expandTree() override;
    void clearList() override;
    void addListEntries(std::span<const ftpObject* const> entries) override;
    void updateListEntry(const ftpObject& entry) override;
    void removeListEntries(std::span<const ftpObject* const> entries) override;
    void removeTreeNodes(std::span<const ftpTreeViewObject* const> nodes) override;
    std::optional<searchRequest> askSearchKeyword() override;
    QString askName(const nameQuestion& question) override;
    permissionsAnswer askPermissions(const permissionsQuestion& question) override;
    std::optional<newObjectAnswer> askNewObject() override;

    // ------------------------------------------------ transferViews
    TLoadFrame& embedTransferView(LoadFrameSetup setup, TFtpClient& lent, QObject* noticeReceiver) override;
    void transferViewGone() override;
    QString chooseDownloadFolder() override;
    // The transfer view of a transfer on the session's connection (null
    // when none runs).
    TLoadFrameView* embeddedTransfer() const { return embedded_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildToolBar();
    void buildRemotePanes();
    void buildBottomPages();
    void buildRemotePopup();
    void applyLayout();
    void applyCommands(const sessionCommands& commands);
    bool remoteListUsable() const;
    int paneOf(const QObject* viewport) const;

    Prompter& prompter_;
    GUIOptions& layout_;
    QVBoxLayout* column_ = nullptr;
    QPointer<TLoadFrameView> embedded_;
    ftpClient* session_ = nullptr;
    sessionState state_ = sessionState::BeginningState;
    sessionCommands commands_;
    int activePane_ = LocalList;
    int savedPane_ = LocalList;

    QToolBar* toolBar_ = nullptr;
    QLineEdit* pathEdit_ = nullptr;
    QSplitter* mainSplitter_ = nullptr;
    QSplitter* remoteSplitter_ = nullptr;
    RemoteTreePane* tree_ = nullptr;
    ModeListView* list_ = nullptr;
    RemoteListModel* model_ = nullptr;
    QTabWidget* pages_ = nullptr;
    LocalComputerPane* local_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    QLabel* status_ = nullptr;
    QMenu* remotePopup_ = nullptr;
    SessionDragDrop* dragDrop_ = nullptr;

    // Tool bar actions by group.
    QAction* disconnect_ = nullptr;
    QAction* upload_ = nullptr;
    QAction* download_ = nullptr;
    QAction* abort_ = nullptr;
    QAction* back_ = nullptr;
    QAction* forward_ = nullptr;
    std::vector<QAction*> remoteCommands_;
    // The remote popup's items.
    QAction* changeDirectory_ = nullptr;
    QAction* moveToSite_ = nullptr;
    QAction* processLink_ = nullptr;
    QAction* popupDownload_ = nullptr;
    QAction* popupDownloadTo_ = nullptr;
    QAction* popupDelete_ = nullptr;
    QAction* popupRename_ = nullptr;
    QAction* popupProperties_ = nullptr;
    QAction* popupNewFolder_ = nullptr;
    QAction* popupUp_ = nullptr;
    QAction* popupRefresh_ = nullptr;
    QMenu* popupView_ = nullptr;

    int remoteTreeWidth_ = 0;
};
