#include "session/ui/TClientFrame.h"

#include "common/Prompter.h"
#include "remote/FtpObject.h"
#include "remote/ListOrder.h"
#include "session/FtpClient.h"
#include "session/RemoteTree.h"
#include "session/ui/LocalComputerPane.h"
#include "session/ui/ModeListView.h"
#include "session/ui/NameDialog.h"
#include "session/ui/PropertiesDialog.h"
#include "session/ui/RemoteListModel.h"
#include "session/ui/SearchKeywordDialog.h"
#include "session/ui/SessionDragDrop.h"
#include "transfer/ui/THomeForm.h"

#include <QActionGroup>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

namespace
{

constexpr int logLineLimit = 20000;
constexpr int bottomPaneMinimum = 24;
constexpr std::array<int, RemoteListModel::ColumnCount> columnWidths = { 140, 60, 85, 80, 65 };

QColor colourOf(logColour colour)
{
    switch (colour) {
    case logColour::Command:
        return Qt::black;
    case logColour::Reply:
        return Qt::darkGreen;
    case logColour::Own:
        return Qt::blue;
    }
    return Qt::black;
}

namespace texts
{
QString selectToDelete()
{
    return QStringLiteral("Please select files(s) and/or directory(s) first.");
}
QString selectToRename()
{
    return QStringLiteral("Please select file(s) and/or directory(s) to rename and then try again.");
}
QString selectToUpload()
{
    return QStringLiteral(
        "Please select file(s) and/or directory(s) from the My Computer view and then click upload again.");
}
QString selectToDownload()
{
    return QStringLiteral(
        "Please select file(s) and/or directory(s) from the Remote Site View first and then "
        "click download again.");
}
} // namespace texts

} // namespace

TClientFrame::TClientFrame(Prompter& prompter, GUIOptions& layout, QWidget* parent)
    : QWidget(parent)
    , prompter_(prompter)
    , layout_(layout)
    , model_(new RemoteListModel(this))
{
    setObjectName(QStringLiteral("ClientFrame"));
    auto* column = new QVBoxLayout(this);
    column_ = column;
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    buildToolBar();
    column->addWidget(toolBar_);
    mainSplitter_ = new QSplitter(Qt::Vertical, this);
    buildRemotePanes();
    buildBottomPages();
    mainSplitter_->addWidget(remoteSplitter_);
    mainSplitter_->addWidget(pages_);
    mainSplitter_->setStretchFactor(0, 1);
    mainSplitter_->setCollapsible(1, false);
    column->addWidget(mainSplitter_, 1);
    auto* statusBar = new QStatusBar(this);
    auto* caption = new QLabel(QStringLiteral("FTP Client Status:"));
    caption->setAlignment(Qt::AlignCenter);
    status_ = new QLabel(QStringLiteral("Initializing..."));
    status_->setAlignment(Qt::AlignCenter);
    statusBar->addWidget(caption);
    statusBar->addWidget(status_, 1);
    column->addWidget(statusBar);
    buildRemotePopup();
    applyLayout();
    applyCommands(commands_);
}

TClientFrame::~TClientFrame()
{
    saveLayout();
    // The session's entries go before the frame's model would read them.
    model_->clear();
}

void TClientFrame::setSession(ftpClient* session)
{
    session_ = session;
    dragDrop_->setSession(session);
    if (session_)
        session_->downloadSelection = [this] { downloadClicked(false); };
}

// ------------------------------------------------------------ building

void TClientFrame::buildToolBar()
{
    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("ToolBar"));
    const auto add
        = [this](const QString& text, const QString& hint, QStyle::StandardPixmap icon, auto handler) {
              QAction* action = toolBar_->addAction(style()->standardIcon(icon), text);
              action->setToolTip(hint);
              action->setObjectName(text);
              connect(action, &QAction::triggered, this, handler);
              return action;
          };
    disconnect_ = add(QStringLiteral("Disconnect"), QStringLiteral("Disconnect from the connected FTP site"),
        QStyle::SP_DialogCloseButton, [this] {
            if (session_)
                session_->disconnectSession(true);
        });
    upload_ = add(QStringLiteral("Upload"), QStringLiteral("Upload files and/or folders"), QStyle::SP_ArrowUp,
        [this] { uploadClicked(); });
    download_ = add(QStringLiteral("Download"), QStringLiteral("Download files and/or folders"),
        QStyle::SP_ArrowDown, [this] { downloadClicked(false); });
    add(QStringLiteral("Delete"), QStringLiteral("Delete files and/or folders"), QStyle::SP_TrashIcon,
        [this] { deleteClicked(); });
    add(QStringLiteral("Rename"), QStringLiteral("Rename object"), QStyle::SP_FileDialogDetailedView,
        [this] { renameClicked(); });
    add(QStringLiteral("Create Object"), QStringLiteral("Create Object (folders and links)"),
        QStyle::SP_FileDialogNewFolder, [this] { createObjectClicked(); });
    add(QStringLiteral("Up"), QStringLiteral("Upper directory"), QStyle::SP_FileDialogToParent,
        [this] { upClicked(); });
    pathEdit_ = new QLineEdit(toolBar_);
    pathEdit_->setObjectName(QStringLiteral("PathEdit"));
    pathEdit_->setToolTip(QStringLiteral("Enter remote directory here"));
    toolBar_->addWidget(pathEdit_);
    const auto go = [this] {
        if (session_)
            session_->goToPath(pathEdit_->text().toStdString());
    };
    connect(pathEdit_, &QLineEdit::returnPressed, this, go);
    QAction* goAction = add(QStringLiteral("Go!"), QStringLiteral("Go! Goes to the specified directory"),
        QStyle::SP_CommandLink, go);
    abort_ = add(QStringLiteral("Abort"), QStringLiteral("Aborts the current FTP operation"),
        QStyle::SP_BrowserStop, [this] {
            if (session_)
                session_->abortCommand();
        });
    add(QStringLiteral("Refresh"), QStringLiteral("Refresh the directory listing"), QStyle::SP_BrowserReload,
        [this] { refreshClicked(); });
    back_ = add(QStringLiteral("Back"), QStringLiteral("Back"), QStyle::SP_ArrowBack, [this] {
        if (session_)
            session_->goBack();
    });
    forward_ = add(QStringLiteral("Forward"), QStringLiteral("Forward"), QStyle::SP_ArrowForward, [this] {
        if (session_)
            session_->goForward();
    });
    QAction* search = add(QStringLiteral("Search"), QStringLiteral("Search on the connected FTP server"),
        QStyle::SP_FileDialogContentsView, [this] {
            if (session_)
                session_->searchServer();
        });
    QAction* bookmark
        = add(QStringLiteral("Bookmark"), QStringLiteral("Bookmark"), QStyle::SP_DirLinkIcon, [this] {
              if (session_)
                  session_->addBookmark();
          });
    // Back and Forward belong to the group but follow the history.
    remoteCommands_ = { goAction, download_, search, bookmark };
}

void TClientFrame::buildRemotePanes()
{
    remoteSplitter_ = new QSplitter(Qt::Horizontal, mainSplitter_);
    tree_ = new RemoteTreePane(remoteSplitter_);
    tree_->viewport()->installEventFilter(this);
    tree_->nodeChosen = [this](const ftpTreeViewObject* node) {
        setActivePane(RemoteTree);
        if (session_)
            session_->treeSelectionChanged(node);
    };

    list_ = new ModeListView(remoteSplitter_);
    list_->setObjectName(QStringLiteral("ListView"));
    list_->setAccessibleName(QStringLiteral("Remote Site View"));
    list_->setModel(model_);
    QHeaderView* header = list_->detailView()->header();
    header->setSectionsMovable(false);
    for (int at = 0; at < RemoteListModel::ColumnCount; ++at)
        header->resizeSection(at, columnWidths[static_cast<size_t>(at)]);
    connect(header, &QHeaderView::sectionClicked, this, [this](int section) { headerClicked(section); });
    for (QAbstractItemView* view : { static_cast<QAbstractItemView*>(list_->detailView()),
             static_cast<QAbstractItemView*>(list_->iconView()) }) {
        view->setDragEnabled(true);
        view->setAcceptDrops(true);
        view->setDragDropMode(QAbstractItemView::DragDrop);
        view->viewport()->setAcceptDrops(true);
        view->viewport()->installEventFilter(this);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& point) {
            adjustRemotePopup();
            remotePopup_->popup(view->viewport()->mapToGlobal(point));
        });
    }
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        setActivePane(RemoteList);
        adjustRemotePopup();
    });
    connect(list_, &ModeListView::activated, this, [this](int row) {
        const ftpObject* entry = model_->entryAt(row);
        if (session_ && entry)
            session_->openEntry(*entry);
    });
    remoteSplitter_->addWidget(tree_);
    remoteSplitter_->addWidget(list_);
    remoteSplitter_->setStretchFactor(1, 1);
    connect(remoteSplitter_, &QSplitter::splitterMoved, this,
        [this] { remoteTreeWidth_ = remoteSplitter_->sizes().value(0); });
    dragDrop_ = new SessionDragDrop(
        *tree_, *list_, *model_, [this] { return selectedEntries(); }, this);
}

void TClientFrame::buildBottomPages()
{
    pages_ = new QTabWidget(mainSplitter_);
    pages_->setObjectName(QStringLiteral("PageControl"));
    pages_->setMinimumHeight(bottomPaneMinimum);
    local_ = new LocalComputerPane(prompter_, layout_.InitialPath, pages_);
    pages_->addTab(local_, QStringLiteral("My Computer"));
    connect(local_, &LocalComputerPane::activated, this,
        [this](bool list) { setActivePane(list ? LocalList : LocalTree); });
    for (QWidget* viewport : { local_->tree()->viewport(), local_->list()->detailView()->viewport(),
             local_->list()->iconView()->viewport() })
        viewport->installEventFilter(this);

    auto* logs = new QWidget(pages_);
    auto* logLayout = new QVBoxLayout(logs);
    log_ = new QPlainTextEdit(logs);
    log_->setObjectName(QStringLiteral("RichEdit"));
    log_->setReadOnly(true);
    log_->setMaximumBlockCount(logLineLimit);
    auto* copy = new QPushButton(QStringLiteral("Copy to Clipboard"), logs);
    connect(copy, &QPushButton::clicked, this, [this] { copyLogToClipboard(); });
    logLayout->addWidget(log_);
    logLayout->addWidget(copy, 0, Qt::AlignLeft);
    pages_->addTab(logs, QStringLiteral("Logs"));
    pages_->setCurrentWidget(local_);
}

void TClientFrame::buildRemotePopup()
{
    remotePopup_ = new QMenu(this);
    const auto add = [this](const QString& text, auto handler) {
        QAction* action = remotePopup_->addAction(text);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    const auto onFirst = [this](auto command) {
        return [this, command] {
            const std::vector<const ftpObject*> selected = selectedEntries();
            if (session_ && !selected.empty())
                command(*selected.front());
        };
    };
    changeDirectory_ = add(QStringLiteral("Change Directory"), onFirst([this](const ftpObject& entry) {
        session_->openEntryFolder(
            entry, entry.directory + (entry.directory.ends_with('/') ? "" : "/") + entry.name);
    }));
    moveToSite_ = add(QStringLiteral("Move to Site"),
        onFirst([this](const ftpObject& entry) { session_->openLinkFile(entry); }));
    processLink_ = add(QStringLiteral("Process UNIX Link"),
        onFirst([this](const ftpObject& entry) { session_->followUnixLink(entry); }));
    popupDownload_ = add(QStringLiteral("Download"), [this] { downloadClicked(false); });
    popupDownloadTo_ = add(QStringLiteral("Download to..."), [this] { downloadClicked(true); });
    remotePopup_->addSeparator();
    popupDelete_ = add(QStringLiteral("Delete"), [this] {
        setActivePane(RemoteList);
        deleteClicked();
    });
    popupRename_ = add(QStringLiteral("Rename"), [this] {
        setActivePane(RemoteList);
        renameClicked();
    });
    popupProperties_ = add(QStringLiteral("Properties"), [this] {
        const std::vector<const ftpObject*> selected = selectedEntries();
        if (session_ && !selected.empty())
            session_->changePermissions(selected);
    });
    popupNewFolder_ = add(QStringLiteral("New Folder"), [this] {
        setActivePane(RemoteList);
        createObjectClicked();
    });
    popupUp_ = add(QStringLiteral("Upper Folder"), [this] {
        if (session_)
            session_->goUp();
    });
    popupRefresh_ = add(QStringLiteral("Refresh"), [this] {
        if (session_)
            session_->refreshListing();
    });
    popupView_ = remotePopup_->addMenu(QStringLiteral("View"));
    auto* modes = new QActionGroup(popupView_);
    for (const auto& [caption, mode] : { std::pair { QStringLiteral("Large Icons"), QStringLiteral("Large") },
             std::pair { QStringLiteral("Small Icons"), QStringLiteral("Small") },
             std::pair { QStringLiteral("List"), QStringLiteral("List") },
             std::pair { QStringLiteral("Details"), QStringLiteral("Detail") } }) {
        QAction* action = popupView_->addAction(caption);
        action->setCheckable(true);
        action->setData(mode);
        modes->addAction(action);
        connect(action, &QAction::triggered, this, [this, mode] { setRemoteViewMode(mode); });
    }
    adjustRemotePopup();
}

void TClientFrame::applyLayout()
{
    remoteTreeWidth_ = layout_.TreeViewWidth;
    remoteSplitter_->setSizes({ layout_.TreeViewWidth, std::max(1, width() - layout_.TreeViewWidth) });
    local_->setSizes({ layout_.ShellTreeViewWidth, std::max(1, width() - layout_.ShellTreeViewWidth) });
    mainSplitter_->setSizes({ std::max(1, height() - layout_.PageHeight), layout_.PageHeight });
    setRemoteViewMode(QString::fromStdString(layout_.FTPListViewMode));
    setLocalViewMode(QString::fromStdString(layout_.LocalListViewMode));
}

void TClientFrame::saveLayout()
{
    layout_.ShellTreeViewWidth = local_->sizes().value(0);
    layout_.InitialPath = local_->folder();
    layout_.PageHeight = mainSplitter_->sizes().value(1);
    layout_.FTPListViewMode = list_->mode().toStdString();
    layout_.LocalListViewMode = local_->list()->mode().toStdString();
    layout_.TreeViewWidth = remoteTreeWidth_;
}

void TClientFrame::setRemoteViewMode(const QString& mode)
{
    list_->setMode(mode);
    for (QAction* action : popupView_->actions())
        action->setChecked(action->data().toString() == list_->mode());
}

void TClientFrame::setLocalViewMode(const QString& mode)
{
    local_->list()->setMode(mode);
}

// ------------------------------------------------------------ states

void TClientFrame::setState(sessionState state, const sessionCommands& commands)
{
    state_ = state;
    commands_ = commands;
    // What arrived last is shown without waiting for the next merge, and
    // without holding up the main thread while it is prepared.
    model_->mergeSoon();
    tree_->createPendingItems();
    if (commands.busy && activePane_ != LocalList) {
        savedPane_ = activePane_;
        activePane_ = LocalList;
    } else if (commands.connected) {
        activePane_ = savedPane_;
    }
    applyCommands(commands);
    if (commandsChanged)
        commandsChanged(state, commands);
}

void TClientFrame::applyCommands(const sessionCommands& commands)
{
    for (QAction* action : remoteCommands_)
        action->setEnabled(commands.remoteViews);
    pathEdit_->setEnabled(commands.remoteViews);
    for (QAction* action :
        { popupDownload_, popupDownloadTo_, popupDelete_, popupRename_, popupProperties_, popupNewFolder_ })
        action->setEnabled(commands.remoteViews);
    back_->setEnabled(commands.back);
    forward_->setEnabled(commands.forward);
    const bool wasOff = !list_->isEnabled();
    tree_->setEnabled(commands.remoteViews);
    list_->setEnabled(commands.remoteViews);
    remoteSplitter_->handle(1)->setEnabled(commands.remoteViews);
    if (wasOff && commands.remoteViews)
        remoteSplitter_->update();
    upload_->setEnabled(commands.upload);
    abort_->setEnabled(commands.abort);
    disconnect_->setEnabled(commands.disconnect);
}

void TClientFrame::setModal(bool entering)
{
    if (modalChanged)
        modalChanged(entering);
}

void TClientFrame::setCaption(const QString& caption)
{
    setWindowTitle(caption);
}

void TClientFrame::bringToFront()
{
    if (auto* tabs = parentWidget() ? qobject_cast<QTabWidget*>(parentWidget()->parentWidget()) : nullptr)
        tabs->setCurrentWidget(this);
}

void TClientFrame::showStatus(const QString& text)
{
    status_->setText(text);
}

QString TClientFrame::statusText() const
{
    return status_->text();
}

void TClientFrame::setActivePane(int pane)
{
    activePane_ = pane;
}

// ------------------------------------------------------------ log

void TClientFrame::clearLog()
{
    log_->clear();
}

void TClientFrame::appendLog(const QString& line, logColour colour)
{
    QTextCharFormat format;
    format.setForeground(colourOf(colour));
    QTextCursor cursor(log_->document());
    cursor.movePosition(QTextCursor::End);
    if (!log_->document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(line, format);
}

void TClientFrame::copyLogToClipboard()
{
    log_->selectAll();
    log_->copy();
    QTextCursor cursor = log_->textCursor();
    cursor.clearSelection();
    log_->setTextCursor(cursor);
}

void TClientFrame::setPathText(const QString& path)
{
    pathEdit_->setText(path);
}

// ------------------------------------------------------------ tree

void TClientFrame::clearTree()
{
    tree_->clearNodes();
}

void TClientFrame::addTreeNode(const ftpTreeViewObject& node)
{
    tree_->addNode(node);
}

void TClientFrame::selectTreeNode(const ftpTreeViewObject& node)
{
    tree_->selectNode(node);
}

void TClientFrame::sortTree()
{
    if (session_ && !session_->tree().empty())
        tree_->sortBelow(*session_->tree().root());
}

void TClientFrame::expandTree()
{
    tree_->expandNodes();
}

void TClientFrame::removeTreeNodes(std::span<const ftpTreeViewObject* const> nodes)
{
    tree_->removeNodes(nodes);
}

// ------------------------------------------------------------ list

void TClientFrame::clearList()
{
    model_->clear();
}

void TClientFrame::addListEntries(std::span<const ftpObject* const> entries)
{
    model_->add(entries);
}

void TClientFrame::updateListEntry(const ftpObject& entry)
{
    model_->update(entry);
}

void TClientFrame::removeListEntries(std::span<const ftpObject* const> entries)
{
    model_->remove(entries);
}

std::vector<const ftpObject*> TClientFrame::selectedEntries() const
{
    model_->flush();
    std::vector<const ftpObject*> entries;
    for (const int row : list_->selectedRows()) {
        if (const ftpObject* entry = model_->entryAt(row))
            entries.push_back(entry);
    }
    return entries;
}

void TClientFrame::headerClicked(int column)
{
    model_->sortBy(listOrder::keyForHeaderClick(RemoteListModel::keyOfColumn(column)));
}

bool TClientFrame::remoteListUsable() const
{
    return list_->isEnabled() && !selectedEntries().empty();
}

void TClientFrame::adjustRemotePopup()
{
    const std::vector<const ftpObject*> selected = selectedEntries();
    const bool any = !selected.empty();
    const bool connected = commands_.connected;
    for (QAction* action : { changeDirectory_, moveToSite_, processLink_, popupDownload_, popupDownloadTo_,
             popupDelete_, popupRename_, popupProperties_ })
        action->setVisible(any);
    popupView_->menuAction()->setVisible(!any);
    popupNewFolder_->setVisible(!any);
    popupRefresh_->setVisible(!any && connected);
    popupUp_->setVisible(any || connected);
    if (!any)
        return;
    const std::int32_t kind = selected.front()->kind;
    changeDirectory_->setEnabled(kind == ftpObject::Folder);
    moveToSite_->setEnabled(kind == ftpObject::LinkFile);
    processLink_->setEnabled(kind == ftpObject::UnixLink);
    QAction* byKind[] = { changeDirectory_, moveToSite_, processLink_, popupDownload_ };
    remotePopup_->setDefaultAction(byKind[std::clamp(kind, 0, 3)]);
}

// ------------------------------------------------------------ commands by pane

void TClientFrame::refreshClicked()
{
    if (activePane_ == LocalList || activePane_ == LocalTree)
        local_->reload();
    else if (session_)
        session_->refreshListing();
}

void TClientFrame::upClicked()
{
    if (activePane_ == LocalList || activePane_ == LocalTree)
        local_->goUp();
    else if (session_)
        session_->goUp();
}

void TClientFrame::deleteClicked()
{
    if (activePane_ == RemoteList && remoteListUsable()) {
        if (session_)
            session_->deleteSelected(selectedEntries());
    } else if (activePane_ == LocalList || activePane_ == LocalTree) {
        local_->trashSelected(activePane_ == LocalTree);
    } else {
        prompter_.showErrorBox(texts::selectToDelete());
    }
}

void TClientFrame::renameClicked()
{
    if (activePane_ == LocalList || activePane_ == LocalTree) {
        local_->renameSelected(activePane_ == LocalTree);
        return;
    }
    const std::vector<const ftpObject*> selected = selectedEntries();
    if (activePane_ == RemoteList && list_->isEnabled() && !selected.empty() && session_)
        session_->renameEntry(*selected.front());
    else
        prompter_.showErrorBox(texts::selectToRename());
}

void TClientFrame::createObjectClicked()
{
    if (activePane_ == LocalList || activePane_ == LocalTree || !list_->isEnabled())
        local_->createFolder();
    else if (session_)
        session_->makeObject();
}

void TClientFrame::uploadClicked()
{
    const QStringList paths = local_->selectedPaths(false);
    if (paths.isEmpty()) {
        prompter_.showErrorBox(texts::selectToUpload());
        return;
    }
    if (session_)
        session_->uploadSelected(paths);
}

void TClientFrame::downloadClicked(bool chooseFolder)
{
    const std::vector<const ftpObject*> selected = selectedEntries();
    if (selected.empty()) {
        prompter_.showErrorBox(texts::selectToDownload());
        return;
    }
    if (!session_)
        return;
    if (chooseFolder)
        session_->downloadSelectedTo(selected);
    else
        session_->downloadSelected(selected, local_->folder());
}

// ------------------------------------------------------------ dialogs

QString TClientFrame::askName(const nameQuestion& question)
{
    return NameDialog::ask(question, window());
}

permissionsAnswer TClientFrame::askPermissions(const permissionsQuestion& question)
{
    return PropertiesDialog::ask(question, window());
}

std::optional<newObjectAnswer> TClientFrame::askNewObject()
{
    if (chooseNewObject) {
        const std::optional<newObjectRequest> request = chooseNewObject(window());
        if (!request)
            return std::nullopt;
        const QString name = QString::fromStdString(request->name);
        if (request->kind == newObjectRequest::Kind::Directory)
            return newObjectAnswer { name, {}, {} };
        return newObjectAnswer { {}, name, request->linkFile };
    }
    // Without the shell's dialog (a frame on its own): a folder only.
    const QString name = NameDialog::ask(
        { QStringLiteral("Enter new folder name"), QStringLiteral("Ok"), QStringLiteral("New Folder") },
        window());
    if (name.isEmpty())
        return std::nullopt;
    return newObjectAnswer { name, {}, {} };
}

std::optional<searchRequest> TClientFrame::askSearchKeyword()
{
    return SearchKeywordDialog::ask(window());
}

// ------------------------------------------------------------ transfer windows

TLoadFrame& TClientFrame::embedTransferView(LoadFrameSetup setup, TFtpClient& lent, QObject* noticeReceiver)
{
    setup.embedded = true;
    auto* view = new TLoadFrameView(std::make_unique<TLoadFrame>(std::move(setup)), noticeReceiver, this);
    // Without a main window to hand it to, the view deletes itself.
    view->closeWindow = [view] { view->deleteLater(); };
    embedded_ = view;
    // The transfer fills the frame between the tool bar and the status bar.
    mainSplitter_->hide();
    column_->insertWidget(column_->indexOf(mainSplitter_), view, 1);
    view->show();
    view->core().start(&lent);
    return view->core();
}

void TClientFrame::transferViewGone()
{
    mainSplitter_->show();
    if (TLoadFrameView* view = embedded_) {
        embedded_ = nullptr;
        column_->removeWidget(view);
        view->hide();
        // Already on its way when the main window deletes it: a second
        // request is dropped with it.
        view->deleteLater();
    }
}

QString TClientFrame::chooseDownloadFolder()
{
    THomeForm chooser(window());
    return chooser.chooseDownloadFolder();
}

// ------------------------------------------------------------ pointer

int TClientFrame::paneOf(const QObject* viewport) const
{
    if (viewport == tree_->viewport())
        return RemoteTree;
    if (viewport == list_->detailView()->viewport() || viewport == list_->iconView()->viewport())
        return RemoteList;
    if (viewport == local_->tree()->viewport())
        return LocalTree;
    return LocalList;
}

bool TClientFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress)
        setActivePane(paneOf(watched));
    return QWidget::eventFilter(watched, event);
}
