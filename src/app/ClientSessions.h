#pragma once

#include "common/FtpSite.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class TMainForm;
class ftpClient;
class sessionView;

// The main window's FTP sessions: opening one for a site or a link file,
// and the client commands of the menu, which act on the session of the
// active tab. Main thread only.
class ClientSessions
{
public:
    // Makes the tab page (and its frame) of a new session.
    using ViewMaker = std::function<std::shared_ptr<sessionView>()>;

    // Serves the shell's openLinkFileInNewSession and openSiteInNewSession
    // from now on.
    ClientSessions(TMainForm& shell, ViewMaker makeView);
    ~ClientSessions();
    ClientSessions(const ClientSessions&) = delete;
    ClientSessions& operator=(const ClientSessions&) = delete;

    // A new session, added to the shell's list, made the active one, then
    // connected. It is gone (deleted by the shell) when its closed notice
    // has been handled.
    ftpClient* openSite(const ftpSite& site);
    ftpClient* openLinkFile(const QString& path);

    // Called with each new session right after it is made with its view.
    std::function<void(ftpClient*)> sessionCreated;

    // The view tells which session's tab is in front (null: none).
    void setActiveSession(ftpClient* session);

    // The client commands. Each first requires an FTP tab in front ("View a
    // FTP sheet before applying a client command." otherwise).
    void disconnect();
    void abort();
    void goBack();
    void goForward();
    void goUp();
    void refresh();
    void goToPath(const std::string& path);
    void searchServer();

private:
    ftpClient* create(const ftpSite& site);
    ftpClient* target() const;

    TMainForm& shell_;
    ViewMaker makeView_;
    QPointer<ftpClient> active_;
};
