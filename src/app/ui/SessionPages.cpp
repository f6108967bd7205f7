#include "app/ui/SessionPages.h"

#include "app/BookmarkTree.h"
#include "app/MainForm.h"
#include "app/ui/BookmarkTreeWidget.h"
#include "app/ui/MainFormView.h"
#include "app/ui/TMDForm.h"
#include "app/ui/TransferWindows.h"
#include "session/FtpClient.h"
#include "session/ui/TClientFrame.h"

#include <QAction>
#include <QMenu>

SessionPages::SessionPages(TMainForm& shell, MainFormView& window)
    : shell_(shell)
    , window_(window)
    , sessions_(shell, [this] { return makeFrame(); })
{
    sessions_.sessionCreated = [this](ftpClient* session) {
        if (!newestFrame_)
            return;
        newestFrame_->setSession(session);
        session->setTransfers(transferServices { &shell_.actions(), &shell_.loaders(), &shell_.connection(),
                                  shell_.connectionSpeedLabels(), &window_.transferWindows() },
            newestFrame_);
        session->bookmarkAdded = [this] {
            shell_.bookmarks().scan(shell_.bookmarks().root());
            for (BookmarkTreeWidget* tree : window_.findChildren<BookmarkTreeWidget*>())
                tree->showTree();
        };
    };
    connect(&window_, &MainFormView::currentPageChanged, this, &SessionPages::pageChanged);
    routeMenuCommands();
}

std::shared_ptr<sessionView> SessionPages::makeFrame()
{
    auto* frame = new TClientFrame(shell_.prompter(), shell_.guiOptions());
    frame->modalChanged = [this](bool entering) { shell_.setModalState(entering); };
    // A session in a tab behind leaves the menu alone: it follows the tab in
    // front.
    frame->commandsChanged = [this, frame](sessionState, const sessionCommands& commands) {
        if (window_.currentPage() == frame)
            window_.setActiveSessionCommands(commands);
    };
    frame->chooseNewObject = [this](QWidget* parent) {
        TMDForm form(
            shell_.bookmarks().root()->folderPath(), shell_.prompter(),
            [this] { return shell_.connection().AnonymousPassword; }, parent);
        return form.chooseNewObject();
    };
    newestFrame_ = frame;
    window_.addSessionPage(frame);
    // The session holds its view until the shell deletes the session; the
    // tab goes with the frame, once control is back in the event loop.
    return std::shared_ptr<sessionView>(
        frame, [](sessionView* view) { static_cast<TClientFrame*>(view)->deleteLater(); });
}

void SessionPages::pageChanged(QWidget* page)
{
    auto* frame = qobject_cast<TClientFrame*>(page);
    sessions_.setActiveSession(frame ? frame->session() : nullptr);
    if (frame)
        window_.setActiveSessionCommands(frame->frameCommands());
}

TClientFrame* SessionPages::activeFrame() const
{
    return shell_.requireSessionTab() ? qobject_cast<TClientFrame*>(window_.currentPage()) : nullptr;
}

void SessionPages::routeMenuCommands()
{
    const auto route = [this](const QString& text, std::function<void()> command) {
        if (QAction* action = window_.sessionCommand(text)) {
            connect(action, &QAction::triggered, this, std::move(command));
            window_.markSessionCommandWired(action);
        }
    };
    route(QStringLiteral("Disconnect"), [this] { sessions_.disconnect(); });
    route(QStringLiteral("Abort"), [this] { sessions_.abort(); });
    route(QStringLiteral("Search on the connected FTP server"), [this] { sessions_.searchServer(); });
    routeViewModes();
    route(QStringLiteral("Rename"), [this] {
        if (TClientFrame* frame = activeFrame())
            frame->renameClicked();
    });
    route(QStringLiteral("New Object"), [this] {
        if (TClientFrame* frame = activeFrame())
            frame->createObjectClicked();
    });
    route(QStringLiteral("Download"), [this] {
        if (TClientFrame* frame = activeFrame())
            frame->downloadClicked(false);
    });
    route(QStringLiteral("Download To..."), [this] {
        TClientFrame* frame = activeFrame();
        if (frame && frame->session())
            frame->session()->downloadSelectedTo(frame->selectedEntries());
    });
    route(QStringLiteral("Upload"), [this] {
        if (TClientFrame* frame = activeFrame())
            frame->uploadClicked();
    });
    route(QStringLiteral("Bookmark"), [this] {
        TClientFrame* frame = activeFrame();
        if (frame && frame->session())
            frame->session()->addBookmark();
    });
    route(QStringLiteral("Change Password"), [this] {
        TClientFrame* frame = activeFrame();
        if (frame && frame->session())
            frame->session()->changePassword();
    });
    route(QStringLiteral("Delete"), [this] {
        if (TClientFrame* frame = activeFrame())
            frame->deleteClicked();
    });
}

void SessionPages::routeViewModes()
{
    // "&FTP View" first, then "&My Computer View"; in each the styles in the
    // order of the frame's view modes.
    static const QString modes[] = { QStringLiteral("Large"), QStringLiteral("Small"), QStringLiteral("List"),
        QStringLiteral("Detail") };
    const QList<QAction*> views = window_.viewMenu()->actions();
    for (qsizetype view = 0; view < views.size() && view < 2; ++view) {
        const QMenu* styles = views[view]->menu();
        if (!styles)
            continue;
        const QList<QAction*> actions = styles->actions();
        for (qsizetype at = 0; at < actions.size() && at < 4; ++at) {
            connect(actions[at], &QAction::triggered, this, [this, remote = view == 0, mode = modes[at]] {
                TClientFrame* frame = activeFrame();
                if (frame && remote)
                    frame->setRemoteViewMode(mode);
                else if (frame)
                    frame->setLocalViewMode(mode);
            });
        }
    }
}
