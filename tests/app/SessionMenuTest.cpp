// The main window's session entries follow the state of the session whose
// tab is in front: connected, listing, lending its connection to a
// transfer, connecting, and as tabs change.

#include "app/MainForm.h"
#include "app/ui/MainFormView.h"
#include "app/ui/OperationsListView.h"
#include "app/ui/SessionPages.h"
#include "session/FtpClient.h"
#include "session/ui/ModeListView.h"
#include "session/ui/RemoteListModel.h"
#include "session/ui/TClientFrame.h"
#include "transfer/ui/LoadForm.h"

#include "../net/ftp_test_support.h"
#include "../session/session_test_support.h"
#include "FtpTestServer.h"
#include "TempHome.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPointer>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

#include <gtest/gtest.h>

// Readable failures for lists of entries.
inline void PrintTo(const QStringList& texts, std::ostream* out)
{
    *out << '"' << texts.join(QLatin1Char('|')).toStdString() << '"';
}

namespace
{

const QStringList sessionEntries
    = { QStringLiteral("Search on the connected FTP server"), QStringLiteral("Bookmark"),
          QStringLiteral("Disconnect"), QStringLiteral("Download"), QStringLiteral("Download To..."),
          QStringLiteral("Upload"), QStringLiteral("Delete"), QStringLiteral("Rename"),
          QStringLiteral("New Object"), QStringLiteral("Change Password"), QStringLiteral("Abort") };

// Delete, Rename and New Object act on the local panes too: always there.
const QStringList idleEntries = { QStringLiteral("Search on the connected FTP server"),
    QStringLiteral("Bookmark"), QStringLiteral("Disconnect"), QStringLiteral("Download"),
    QStringLiteral("Download To..."), QStringLiteral("Upload"), QStringLiteral("Delete"),
    QStringLiteral("Rename"), QStringLiteral("New Object"), QStringLiteral("Change Password") };
const QStringList busyEntries = { QStringLiteral("Delete"), QStringLiteral("Rename"),
    QStringLiteral("New Object"), QStringLiteral("Abort") };
const QStringList connectingEntries
    = { QStringLiteral("Delete"), QStringLiteral("Rename"), QStringLiteral("New Object") };

class SessionMenuTest : public testing::Test
{
protected:
    void SetUp() override
    {
        QDir(root.path()).mkpath(QStringLiteral("pub"));
        writeLocalFile(root.filePath(QStringLiteral("pub/slow.bin")), patternBytes(120000));
        shell.connection().TimeoutPeriod = 10;
        shell.guiOptions().InitialPath = localFolder.path();
        shell.attachView(&window);
        tabs = window.findChild<QTabWidget*>();
    }

    void TearDown() override
    {
        for (ShellSession* session : std::vector<ShellSession*>(shell.sessions()))
            static_cast<ftpClient*>(session)->disconnectSession(true);
        EXPECT_TRUE(runEventsUntil([&] { return shell.sessions().empty(); }));
        shell.attachView(nullptr);
    }

    // Every reply held back, and file data paced: each state lasts long
    // enough to be seen from the event loop.
    bool startServer()
    {
        server = std::make_unique<FtpTestServer>(FtpServerKind::Family, root.path(),
            QStringList { QStringLiteral("--reply-delay"), QStringLiteral("150"), QStringLiteral("--rate"),
                QStringLiteral("100000") });
        return server->running();
    }

    ftpSite site() const
    {
        ftpSite site;
        site.name = "Family";
        site.hostAddress = site.displayAddress = "127.0.0.1";
        site.port = server->port();
        site.anonymous = false;
        site.userId = "tester";
        site.password = "secret";
        site.initialDirectory = "/pub";
        return site;
    }

    TClientFrame* openSession()
    {
        shell.openSiteInNewSession(site());
        return qobject_cast<TClientFrame*>(tabs->currentWidget());
    }

    QStringList enabledEntries() const
    {
        QStringList enabled;
        for (const QString& text : sessionEntries) {
            if (window.sessionCommand(text)->isEnabled())
                enabled << text;
        }
        return enabled;
    }

    // Runs `check` from the event loop every few milliseconds while
    // `command` runs (the session's commands block and keep serving events).
    void whileRunning(const std::function<void()>& command, const std::function<void()>& check)
    {
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, check);
        sampler.start(5);
        command();
    }

    TempHome home;
    QTemporaryDir root;
    QTemporaryDir localFolder;
    recordingPrompter prompter;
    TMainForm shell { {}, prompter };
    MainFormView window { shell };
    SessionPages pages { shell, window };
    QTabWidget* tabs = nullptr;
    std::unique_ptr<FtpTestServer> server;
};

TEST_F(SessionMenuTest, EntriesFollowTheConnectedAndTheListingStates)
{
    ASSERT_TRUE(startServer()) << server->error().toStdString();
    TClientFrame* frame = openSession();
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(frame->frameState(), sessionState::Connected)
        << prompter.texts.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(enabledEntries(), idleEntries);
    EXPECT_TRUE(window.viewMenu()->isEnabled());

    QStringList whileListing;
    QAction* refresh = frame->toolBar()->findChild<QAction*>(QStringLiteral("Refresh"));
    ASSERT_NE(refresh, nullptr);
    frame->setActivePane(TClientFrame::RemoteList);
    whileRunning([&] { refresh->trigger(); },
        [&] {
            // The component's own state changes resolve to "connected"
            // with the remote views off while the listing runs.
            if (!frame->remoteList()->isEnabled())
                whileListing = enabledEntries();
        });
    EXPECT_EQ(whileListing, busyEntries);
    EXPECT_EQ(frame->frameState(), sessionState::Connected);
    EXPECT_EQ(enabledEntries(), idleEntries);
    EXPECT_GE(server->commandLog().count("LIST"), 2) << "the refresh listed the folder";
}

TEST_F(SessionMenuTest, ATransferOnTheSessionsConnectionLeavesOnlyAbort)
{
    ASSERT_TRUE(startServer()) << server->error().toStdString();
    shell.connection().UseSingleConnectionForDownloads = connectionOptions::OwnConnection;
    TClientFrame* frame = openSession();
    ASSERT_NE(frame, nullptr);
    ftpClient* session = frame->session();
    ASSERT_TRUE(runEventsUntil([&] { return frame->remoteModel()->rowCount() == 1; }));
    frame->remoteList()->selectionModel()->select(
        frame->remoteModel()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);

    window.sessionCommand(QStringLiteral("Download"))->trigger();
    ASSERT_TRUE(session->connectionLent());
    EXPECT_EQ(enabledEntries(), busyEntries);
    EXPECT_FALSE(window.sessionCommand(QStringLiteral("Download"))->isEnabled());
    ASSERT_TRUE(runEventsUntil([&] { return !session->connectionLent(); }, std::chrono::seconds(30)));
    EXPECT_TRUE(runEventsUntil([&] { return enabledEntries() == idleEntries; }));
    EXPECT_EQ(readLocalFile(localFolder.filePath(QStringLiteral("slow.bin"))), patternBytes(120000));
    EXPECT_EQ(server->commandLog().count("RETR /pub/slow.bin"), 1);
}

TEST_F(SessionMenuTest, AWindowOfATransferOnNewConnectionsIsShownAndHiddenFromTheActionsTab)
{
    ASSERT_TRUE(startServer()) << server->error().toStdString();
    shell.connection().UseSingleConnectionForDownloads = connectionOptions::NewConnection;
    TClientFrame* frame = openSession();
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(runEventsUntil([&] { return frame->remoteModel()->rowCount() == 1; }));
    frame->remoteList()->selectionModel()->select(
        frame->remoteModel()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);

    window.sessionCommand(QStringLiteral("Download"))->trigger();
    EXPECT_FALSE(frame->session()->connectionLent());
    QPointer<TLoadForm> form;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* shown = qobject_cast<TLoadForm*>(widget); shown && shown->isVisible())
            form = shown;
    }
    ASSERT_FALSE(form.isNull()) << "the download runs in a window of its own";

    auto* actionsTab = window.findChild<OperationsListView*>();
    ASSERT_NE(actionsTab, nullptr);
    QTreeWidgetItem* row = actionsTab->list()->topLevelItem(0);
    ASSERT_NE(row, nullptr);
    actionsTab->list()->setCurrentItem(row);
    Q_EMIT actionsTab->list()->itemDoubleClicked(row, 0);
    ASSERT_FALSE(form.isNull());
    EXPECT_FALSE(form->isVisible()) << "a double click on its row hides the session's window";
    Q_EMIT actionsTab->list()->itemDoubleClicked(row, 0);
    ASSERT_FALSE(form.isNull());
    EXPECT_TRUE(form->isVisible()) << "and the next one shows it again";

    EXPECT_TRUE(runEventsUntil(
        [&] { return !form || form->core().progress()->finished.load(); }, std::chrono::seconds(30)));
    EXPECT_EQ(readLocalFile(localFolder.filePath(QStringLiteral("slow.bin"))), patternBytes(120000));
    delete form.data();
}

TEST_F(SessionMenuTest, SwitchingTabsAppliesTheStateOfTheSessionInFront)
{
    ASSERT_TRUE(startServer()) << server->error().toStdString();
    TClientFrame* first = openSession();
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(enabledEntries(), idleEntries);

    // The second session connects slowly; meanwhile the tabs change.
    QStringList connecting, firstInFront, secondAgain;
    bool abortShownByFrame = false;
    TClientFrame* second = nullptr;
    whileRunning([&] { second = openSession(); },
        [&] {
            auto* front = qobject_cast<TClientFrame*>(tabs->currentWidget());
            if (!connecting.isEmpty() || !front || front == first || front->remoteList()->isEnabled())
                return;
            connecting = enabledEntries();
            abortShownByFrame = front->toolBar()->findChild<QAction*>(QStringLiteral("Abort"))->isEnabled();
            tabs->setCurrentWidget(first);
            firstInFront = enabledEntries();
            tabs->setCurrentWidget(front);
            secondAgain = enabledEntries();
        });
    ASSERT_NE(second, nullptr);
    // While it connects the component's state changes may offer Abort, as
    // the frame's own button shows; nothing else but the local commands.
    QStringList expected = connectingEntries;
    if (abortShownByFrame)
        expected << QStringLiteral("Abort");
    EXPECT_EQ(connecting, expected);
    EXPECT_EQ(firstInFront, idleEntries);
    EXPECT_EQ(secondAgain, expected);
    EXPECT_EQ(second->frameState(), sessionState::Connected);
    EXPECT_EQ(enabledEntries(), idleEntries);

    // A session behind listing changes nothing in front.
    tabs->setCurrentWidget(first);
    QStringList whileBehindListed;
    whileRunning([&] { second->session()->refreshListing(); },
        [&] {
            if (!second->remoteList()->isEnabled())
                whileBehindListed = enabledEntries();
        });
    EXPECT_EQ(whileBehindListed, idleEntries);

    tabs->setCurrentIndex(0);
    EXPECT_TRUE(enabledEntries().isEmpty()) << enabledEntries().join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(window.viewMenu()->isEnabled());
}

} // namespace
