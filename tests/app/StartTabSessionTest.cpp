// "&Connect" on the Start tab opens a real session on a stored bookmark.

#include "app/BookmarkTree.h"
#include "app/ClientSessions.h"
#include "app/MainForm.h"
#include "app/ShellView.h"
#include "app/ui/BookmarkTreeWidget.h"
#include "app/ui/MainFormView.h"
#include "app/ui/SessionPages.h"
#include "app/ui/StartTabView.h"
#include "session/FtpClient.h"
#include "session/ui/RemoteListModel.h"
#include "session/ui/TClientFrame.h"

#include "../net/ftp_test_support.h"
#include "../session/session_test_support.h"
#include "FtpTestServer.h"
#include "TempHome.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QDir>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace
{
struct SessionTabInFront : ShellView {
    void applyGeometry(int, int, int, int, bool) override { }
    void setTitle(const QString&) override { }
    void hideWindow() override { }
    void sendToTray() override { }
    void restoreWindow(bool) override { }
    void removeTrayIcon() override { }
    void setTrayShutDownEnabled(bool) override { }
    void setSessionCommandsEnabled(bool) override { }
    int activeTabTag() const override { return TMainForm::sessionTabTag; }
    void deleteTabPage(QObject*) override { }
};

TEST(StartTabSession, ConnectOnABookmarkLogsInAndListsTheFamilyServer)
{
    TempHome home;
    QTemporaryDir root;
    QDir(root.path()).mkpath(QStringLiteral("pub"));
    writeLocalFile(root.filePath(QStringLiteral("pub/readme.txt")), "hello");
    FtpTestServer server(FtpServerKind::Family, root.path());
    ASSERT_TRUE(server.running()) << server.error().toStdString();
    QDir(home.path()).mkpath(QStringLiteral("My FTP Links"));
    home.write(QStringLiteral("My FTP Links/Family.wkt"),
        "[Zelta Link]\nAddress=127.0.0.1\nPort=" + QByteArray::number(server.port())
            + "\nAnonymous=0\nUserID=tester\nPassword=secret\nInitial_Directory=/pub\n");

    recordingPrompter prompter;
    SessionTabInFront tabs;
    TMainForm shell({}, prompter);
    shell.attachView(&tabs);
    shell.connection().TimeoutPeriod = 5;
    auto view = std::make_shared<recordingView>();
    ClientSessions sessions(shell, [&] { return view; });
    StartTabView start(
        shell.bookmarks(), prompter, [] { return std::string("guest@example.org"); },
        [&](const ftpSite& site) { shell.openSiteInNewSession(site); });

    QTreeWidgetItem* rootItem = start.treeWidget()->topLevelItem(0);
    ASSERT_EQ(rootItem->childCount(), 2);
    start.treeWidget()->setCurrentItem(rootItem->child(1));
    for (QPushButton* button : start.findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("&Connect"))
            button->click();

    ASSERT_EQ(shell.sessions().size(), 1u);
    const auto* session = static_cast<ftpClient*>(shell.sessions().front());
    EXPECT_EQ(session->site().name, "Family");
    EXPECT_TRUE(runEventsUntil([&] { return entryNames(*session).contains(QStringLiteral("readme.txt")); }))
        << prompter.texts.join(QLatin1Char('\n')).toStdString();
    const QByteArray log = server.commandLog();
    EXPECT_TRUE(log.contains("USER tester")) << log.toStdString();
    EXPECT_TRUE(log.contains("CWD /pub")) << log.toStdString();

    sessions.disconnect();
    EXPECT_TRUE(runEventsUntil([&] { return shell.sessions().empty(); }));
    shell.attachView(nullptr);
}

TEST(SessionPage, ASiteOpensInItsOwnTabShowingTheListingAndTheMenusDisconnectClosesIt)
{
    TempHome home;
    QTemporaryDir root;
    QDir(root.path()).mkpath(QStringLiteral("pub"));
    writeLocalFile(root.filePath(QStringLiteral("pub/readme.txt")), "hello");
    FtpTestServer server(FtpServerKind::Family, root.path());
    ASSERT_TRUE(server.running()) << server.error().toStdString();

    recordingPrompter prompter;
    TMainForm shell({}, prompter);
    shell.connection().TimeoutPeriod = 5;
    MainFormView window(shell);
    shell.attachView(&window);
    SessionPages pages(shell, window);
    auto* tabs = window.findChild<QTabWidget*>();
    ASSERT_NE(tabs, nullptr);
    const int tabsBefore = tabs->count();
    QAction* disconnect = window.sessionCommand(QStringLiteral("Disconnect"));
    ASSERT_NE(disconnect, nullptr);

    ftpSite site;
    site.name = "Family";
    site.hostAddress = site.displayAddress = "127.0.0.1";
    site.port = server.port();
    site.anonymous = false;
    site.userId = "tester";
    site.password = "secret";
    site.initialDirectory = "/pub";
    shell.openSiteInNewSession(site);

    ASSERT_EQ(tabs->count(), tabsBefore + 1);
    auto* frame = qobject_cast<TClientFrame*>(tabs->currentWidget());
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(tabs->tabText(tabs->currentIndex()), QStringLiteral("Family"));
    const auto listed = [&] {
        const QAbstractItemModel* model = frame->remoteModel();
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->index(row, 0).data().toString() == QStringLiteral("readme.txt"))
                return true;
        return false;
    };
    EXPECT_TRUE(runEventsUntil(listed)) << prompter.texts.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(disconnect->isEnabled());
    for (const QString& command :
        { QStringLiteral("Download"), QStringLiteral("Bookmark"), QStringLiteral("Change Password") })
        EXPECT_TRUE(window.sessionCommand(command)->isEnabled()) << command.toStdString();

    disconnect->trigger();
    EXPECT_TRUE(runEventsUntil([&] { return shell.sessions().empty() && tabs->count() == tabsBefore; }));
    EXPECT_TRUE(server.commandLog().contains("QUIT"));
    shell.attachView(nullptr);
}
} // namespace
