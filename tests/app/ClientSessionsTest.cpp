// The shell's FTP sessions: opened for a link file, the client commands on
// the session in front, and sessions the shell deletes when they close.

#include "app/ClientSessions.h"
#include "app/MainForm.h"
#include "app/ShellView.h"
#include "net/TFtpClient.h"
#include "session/FtpClient.h"

#include "../net/ftp_test_support.h"
#include "../session/session_test_support.h"
#include "ScriptedFtpServer.h"
#include "TempHome.h"

#include <gtest/gtest.h>

namespace
{

struct TabView : ShellView {
    int tag = 2;
    void applyGeometry(int, int, int, int, bool) override { }
    void setTitle(const QString&) override { }
    void hideWindow() override { }
    void sendToTray() override { }
    void restoreWindow(bool) override { }
    void removeTrayIcon() override { }
    void setTrayShutDownEnabled(bool) override { }
    void setSessionCommandsEnabled(bool) override { }
    int activeTabTag() const override { return tag; }
    void deleteTabPage(QObject*) override { }
};

class ClientSessionsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        server.replies["USER"] = "331 password\r\n";
        server.replies["PASS"] = "230 in\r\n";
        server.replies["PWD"] = "257 \"/\"\r\n";
        server.download = "-rw-r--r-- 1 u g 5 Jan 1 2020 file.txt\r\n";
        ASSERT_TRUE(server.start());
        shell.attachView(&tabs);
        shell.connection().TimeoutPeriod = 5;
        writeLocalFile(home.file(QStringLiteral("site.wkt")),
            "[Zelta Link]\nName=Scripted\nAddress=127.0.0.1\nPort=" + QByteArray::number(server.port())
                + "\nInitial_Directory=/\n");
    }
    void TearDown() override { shell.attachView(nullptr); }

    bool sessionsGone()
    {
        return runEventsUntil([this] { return shell.sessions().empty(); }, std::chrono::seconds(10));
    }

    TempHome home;
    ScriptedFtpServer server;
    recordingPrompter prompter;
    TabView tabs;
    TMainForm shell { {}, prompter };
    std::shared_ptr<recordingView> view = std::make_shared<recordingView>();
    ClientSessions sessions { shell, [this] { return view; } };
};

TEST_F(ClientSessionsTest, TheCommandLinesLinkFileOpensASession)
{
    ASSERT_TRUE(shell.openLinkFileInNewSession);
    shell.openLinkFileInNewSession(home.file(QStringLiteral("site.wkt")));
    ASSERT_EQ(shell.sessions().size(), 1u);
    const auto* session = static_cast<ftpClient*>(shell.sessions().front());
    EXPECT_EQ(session->site().name, "Scripted");
    EXPECT_EQ(entryNames(*session), QStringList { QStringLiteral("file.txt") });
    EXPECT_EQ(view->caption, QStringLiteral("Scripted"));
}

TEST_F(ClientSessionsTest, ClientCommandsNeedAnFtpTabInFront)
{
    sessions.openLinkFile(home.file(QStringLiteral("site.wkt")));
    ASSERT_EQ(shell.sessions().size(), 1u);
    tabs.tag = 0;
    sessions.disconnect();
    ASSERT_EQ(prompter.texts.size(), 1);
    EXPECT_TRUE(prompter.texts.front().endsWith(
        QStringLiteral("View a FTP sheet before applying a client command.")));
    EXPECT_FALSE(server.received("QUIT"));
    tabs.tag = 2;
    sessions.disconnect();
    EXPECT_TRUE(server.received("QUIT"));
    EXPECT_TRUE(sessionsGone());
}

// The connection dies while a listing waits: the session closes, and the
// shell deletes it after the command has returned.
TEST_F(ClientSessionsTest, AConnectionLostUnderACommandClosesTheSessionAfterIt)
{
    ftpClient* session = sessions.openLinkFile(home.file(QStringLiteral("site.wkt")));
    ASSERT_TRUE(session->established());
    server.replies["LIST"] = "150 here it comes\r\n";
    server.closeAfter.insert("LIST");
    QPointer<ftpClient> alive(session);
    sessions.refresh();
    EXPECT_FALSE(alive.isNull());
    EXPECT_TRUE(sessionsGone());
    EXPECT_TRUE(alive.isNull());
}

} // namespace
