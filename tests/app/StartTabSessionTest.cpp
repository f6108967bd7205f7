// "&Connect" on the Start tab opens a real session on a stored bookmark.

#include "app/BookmarkTree.h"
#include "app/ClientSessions.h"
#include "app/MainForm.h"
#include "app/ShellView.h"
#include "app/ui/BookmarkTreeWidget.h"
#include "app/ui/StartTabView.h"
#include "session/FtpClient.h"

#include "../net/ftp_test_support.h"
#include "../session/session_test_support.h"
#include "FtpTestServer.h"
#include "TempHome.h"

#include <QDir>
#include <QPushButton>
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
} // namespace
