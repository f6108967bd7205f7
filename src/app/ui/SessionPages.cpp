#include "app/ui/SessionPages.h"

#include "app/MainForm.h"
#include "app/ui/MainFormView.h"
#include "session/FtpClient.h"
#include "session/ui/TClientFrame.h"

#include <QAction>

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
                                  shell_.connectionSpeedLabels() },
            newestFrame_);
    };
    connect(&window_, &MainFormView::currentPageChanged, this, &SessionPages::pageChanged);
    routeMenuCommands();
}

std::shared_ptr<sessionView> SessionPages::makeFrame()
{
    auto* frame = new TClientFrame(shell_.prompter(), shell_.guiOptions());
    frame->modalChanged = [this](bool entering) { shell_.setModalState(entering); };
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
    route(QStringLiteral("Delete"), [this] {
        if (TClientFrame* frame = activeFrame())
            frame->deleteClicked();
    });
}
