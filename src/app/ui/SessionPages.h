#pragma once

#include "app/ClientSessions.h"

#include <QObject>

class MainFormView;
class TClientFrame;
class TMainForm;
class QWidget;

// Puts each FTP session of the main window in a tab of its own: makes the
// session's frame, keeps the tab's caption with the session's, tells the
// sessions which one is in front, and routes the menu's client commands to
// it. Main thread only.
class SessionPages : public QObject
{
public:
    SessionPages(TMainForm& shell, MainFormView& window);

    ClientSessions& sessions() { return sessions_; }

private:
    std::shared_ptr<sessionView> makeFrame();
    void pageChanged(QWidget* page);
    TClientFrame* activeFrame() const;
    void routeMenuCommands();
    void routeViewModes();

    TMainForm& shell_;
    MainFormView& window_;
    ClientSessions sessions_;
    TClientFrame* newestFrame_ = nullptr;
};
