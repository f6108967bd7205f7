#include "app/ClientSessions.h"

#include "app/MainForm.h"
#include "remote/PlatformTypeText.h"
#include "session/FtpClient.h"
#include "session/SessionView.h"

#include <QThreadPool>

ClientSessions::ClientSessions(TMainForm& shell, ViewMaker makeView)
    : shell_(shell)
    , makeView_(std::move(makeView))
{
    shell_.openLinkFileInNewSession = [this](const QString& path) { openLinkFile(path); };
    shell_.openSiteInNewSession = [this](const ftpSite& site) { openSite(site); };
    // The file-type table of the MIME database takes a moment to build: built
    // now, beside the start-up, the first listing does not wait for it.
    QThreadPool::globalInstance()->start([] { platformTypeText("warm-up.txt"); });
}

ClientSessions::~ClientSessions()
{
    shell_.openLinkFileInNewSession = nullptr;
    shell_.openSiteInNewSession = nullptr;
}

ftpClient* ClientSessions::create(const ftpSite& site)
{
    auto* session = new ftpClient(
        site, makeView_(), ftpClient::environment { shell_.prompter(), &shell_, shell_.connection() });
    if (sessionCreated)
        sessionCreated(session);
    shell_.addSession(session);
    active_ = session;
    return session;
}

void ClientSessions::setActiveSession(ftpClient* session)
{
    active_ = session;
}

ftpClient* ClientSessions::openSite(const ftpSite& site)
{
    ftpClient* session = create(site);
    session->start();
    return session;
}

ftpClient* ClientSessions::openLinkFile(const QString& path)
{
    ftpClient* session = create(ftpSite {});
    session->openLocalLinkFile(path);
    return session;
}

ftpClient* ClientSessions::target() const
{
    if (!shell_.requireSessionTab())
        return nullptr;
    return active_.data();
}

void ClientSessions::disconnect()
{
    if (ftpClient* session = target())
        session->disconnectSession(true);
}

void ClientSessions::abort()
{
    if (ftpClient* session = target())
        session->abortCommand();
}

void ClientSessions::goBack()
{
    if (ftpClient* session = target())
        session->goBack();
}

void ClientSessions::goForward()
{
    if (ftpClient* session = target())
        session->goForward();
}

void ClientSessions::goUp()
{
    if (ftpClient* session = target())
        session->goUp();
}

void ClientSessions::refresh()
{
    if (ftpClient* session = target())
        session->refreshListing();
}

void ClientSessions::goToPath(const std::string& path)
{
    if (ftpClient* session = target())
        session->goToPath(path);
}

void ClientSessions::searchServer()
{
    if (ftpClient* session = target())
        session->searchServer();
}
