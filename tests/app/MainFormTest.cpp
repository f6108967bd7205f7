#include "app/MainForm.h"
#include "app/ShellView.h"
#include "common/IniFile.h"
#include "common/Notices.h"
#include "common/ProgramFolders.h"
#include "common/Prompter.h"
#include "common/ShellMembers.h"
#include "common/TransferWindow.h"

#include "TempHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <gtest/gtest.h>

#include <deque>

namespace
{

// Answers questions from a script and remembers what was asked.
struct ScriptedPrompter : Prompter {
    std::deque<bool> answers;
    QStringList asked;
    bool prompt(const QString&, const QString& text, const QString&, const QString&) override
    {
        asked << text;
        if (answers.empty())
            return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

struct RecordingView : ShellView {
    QStringList calls;
    int tag = 0;
    void applyGeometry(int left, int top, int w, int h, bool maximize) override
    {
        calls << QStringLiteral("geometry %1 %2 %3 %4 %5").arg(left).arg(top).arg(w).arg(h).arg(maximize);
    }
    void setTitle(const QString& title) override { calls << QStringLiteral("title ") + title; }
    void hideWindow() override { calls << QStringLiteral("hide"); }
    void sendToTray() override { calls << QStringLiteral("tray"); }
    void restoreWindow(bool maximized) override { calls << QStringLiteral("restore %1").arg(maximized); }
    void removeTrayIcon() override { calls << QStringLiteral("remove tray"); }
    void setTrayShutDownEnabled(bool enabled) override
    {
        calls << QStringLiteral("tray shutdown %1").arg(enabled);
    }
    void setSessionCommandsEnabled(bool enabled) override
    {
        calls << QStringLiteral("session commands %1").arg(enabled);
    }
    int activeTabTag() const override { return tag; }
    void deleteTabPage(QObject*) override { calls << QStringLiteral("delete page"); }
};

// Stand-ins that close the way real sessions and searches do: later, by
// posting their closed notice with the is-last flag they were given.
struct StandInSession : ShellSession {
    TMainForm& shell;
    QStringList& log;
    QString name;
    StandInSession(TMainForm& s, QStringList& l, QString n)
        : shell(s)
        , log(l)
        , name(std::move(n))
    {
        shell.addSession(this);
    }
    ~StandInSession() override
    {
        shell.removeSession(this);
        log << name + QStringLiteral(" deleted");
    }
    void disconnectAndClose(bool isLast) override
    {
        log << QStringLiteral("%1 closing last=%2").arg(name).arg(isLast);
        QTimer::singleShot(
            20, &shell, [this, isLast] { postNotice(&shell, Notice::SessionClosed, this, isLast); });
    }
    void refreshCurrentFolder() override { log << name + QStringLiteral(" refresh"); }
};

struct StandInSearch : ShellSearch {
    TMainForm& shell;
    QStringList& log;
    QString name;
    StandInSearch(TMainForm& s, QStringList& l, QString n)
        : shell(s)
        , log(l)
        , name(std::move(n))
    {
        shell.addSearch(this);
    }
    ~StandInSearch() override
    {
        shell.removeSearch(this);
        log << name + QStringLiteral(" deleted");
    }
    void close(bool isLast) override
    {
        log << QStringLiteral("%1 closing last=%2").arg(name).arg(isLast);
        postNotice(&shell, Notice::SearchClosed, this, isLast);
    }
    void run() override { log << name + QStringLiteral(" run"); }
};

struct RunningTransfer : TransferWindow {
    bool unfinished = true;
    bool closed = false;
    bool operationUnfinished() const override { return unfinished; }
    void hide() override { }
    void closeAndStop() override { closed = true; }
    void operationRowRemoved() override { }
};

// Runs the main loop until the shell asks for it to end (or a time-out).
bool loopEnds(TMainForm& shell, int ms = 3000)
{
    QEventLoop loop;
    bool ended = false;
    QObject::connect(&shell, &TMainForm::destroyRequested, &loop, [&] {
        ended = true;
        loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return ended;
}

struct ShellTest : ::testing::Test {
    TempHome home;
    ScriptedPrompter prompter;
    RecordingView view;
};

TEST_F(ShellTest, QuittingWithNothingOpenAsksNothingAndEndsAtOnce)
{
    TMainForm shell({}, prompter);
    shell.attachView(&view);
    shell.shutDown();
    EXPECT_TRUE(prompter.asked.isEmpty());
    EXPECT_TRUE(loopEnds(shell, 1000));
    const IniFile registry(registryFilePath());
    EXPECT_TRUE(registry.hasSection("v5"));
    EXPECT_EQ(registry.readString("Operations", "Count", ""), "0");
    EXPECT_TRUE(IniFile(settingsFilePath()).hasSection("MainWindow"));
}

TEST_F(ShellTest, SearchesCloseBeforeTheSessionAndTheLoopWaitsForTheLastNotice)
{
    QStringList log;
    TMainForm shell({}, prompter);
    shell.attachView(&view);
    new StandInSearch(shell, log, QStringLiteral("search0"));
    new StandInSearch(shell, log, QStringLiteral("search1"));
    new StandInSession(shell, log, QStringLiteral("session0"));
    prompter.answers = { true };

    shell.shutDown();
    EXPECT_EQ(prompter.asked,
        QStringList { QStringLiteral("Do you really want to quit, terminating the client FTP connection?") });
    EXPECT_EQ(log,
        (QStringList { QStringLiteral("search1 closing last=0"), QStringLiteral("search0 closing last=0"),
            QStringLiteral("session0 closing last=1") }));
    EXPECT_TRUE(view.calls.contains(QStringLiteral("hide")));
    EXPECT_TRUE(view.calls.contains(QStringLiteral("remove tray")));

    EXPECT_TRUE(loopEnds(shell));
    // The session closes last (it answers after 20 ms), so the loop can only
    // have ended after its notice was handled.
    EXPECT_EQ(log.last(), QStringLiteral("session0 deleted"));
    EXPECT_TRUE(shell.sessions().empty());
    EXPECT_TRUE(shell.searches().empty());
}

TEST_F(ShellTest, ASearchIsLastWhenNoSessionIsOpen)
{
    QStringList log;
    TMainForm shell({}, prompter);
    new StandInSearch(shell, log, QStringLiteral("search0"));
    new StandInSearch(shell, log, QStringLiteral("search1"));
    shell.shutDown();
    EXPECT_EQ(log.mid(0, 2),
        (QStringList { QStringLiteral("search1 closing last=0"), QStringLiteral("search0 closing last=1") }));
    EXPECT_TRUE(loopEnds(shell));
}

TEST_F(ShellTest, AnsweringNoToTheFirstQuestionChangesNothing)
{
    QStringList log;
    TMainForm shell({}, prompter);
    shell.attachView(&view);
    RunningTransfer transfer;
    shell.loaders().registerWindow(&transfer);
    auto* session = new StandInSession(shell, log, QStringLiteral("session0"));
    prompter.answers = { false };

    shell.shutDown();
    EXPECT_EQ(prompter.asked,
        QStringList { QStringLiteral("There are actions going on (download/upload/delete), go on and "
                                     "terminate the ongoing actions?") });
    EXPECT_FALSE(shell.isShuttingDown());
    EXPECT_FALSE(transfer.closed);
    EXPECT_TRUE(log.isEmpty());
    EXPECT_TRUE(view.calls.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(settingsFilePath()));
    EXPECT_FALSE(loopEnds(shell, 200));

    shell.loaders().unregisterWindow(&transfer);
    delete session;
}

TEST_F(ShellTest, AnsweringNoToTheSecondQuestionChangesNothing)
{
    QStringList log;
    TMainForm shell({}, prompter);
    RunningTransfer transfer;
    shell.loaders().registerWindow(&transfer);
    auto* session = new StandInSession(shell, log, QStringLiteral("session0"));
    prompter.answers = { true, false };
    shell.shutDown();
    EXPECT_EQ(prompter.asked.size(), 2);
    EXPECT_FALSE(shell.isShuttingDown());
    EXPECT_FALSE(transfer.closed);
    shell.loaders().unregisterWindow(&transfer);
    delete session;
}

TEST_F(ShellTest, QuittingStopsRunningTransfers)
{
    TMainForm shell({}, prompter);
    RunningTransfer transfer;
    shell.loaders().registerWindow(&transfer);
    prompter.answers = { true };
    shell.shutDown();
    EXPECT_TRUE(transfer.closed);
    EXPECT_TRUE(loopEnds(shell));
}

TEST_F(ShellTest, SendToTrayAsksNothingAndKeepsTransfersRunning)
{
    TMainForm shell({}, prompter);
    shell.attachView(&view);
    RunningTransfer transfer;
    shell.loaders().registerWindow(&transfer);
    shell.sendToTray();
    EXPECT_TRUE(prompter.asked.isEmpty());
    EXPECT_EQ(view.calls, QStringList { QStringLiteral("tray") });
    EXPECT_FALSE(transfer.closed);
    EXPECT_FALSE(shell.isShuttingDown());
    // The close button quits again afterwards.
    prompter.answers = { false };
    shell.requestClose();
    EXPECT_EQ(prompter.asked.size(), 1);
    shell.loaders().unregisterWindow(&transfer);
}

TEST_F(ShellTest, MaximizedWindowComesBackMaximizedWithItsRestoredSize)
{
    home.write(QStringLiteral("Ranquil.ini"), "[MainWindow]\nWidth=-700\nHeight=-500\nLeft=10\nTop=20\n");
    {
        TMainForm shell({}, prompter);
        shell.attachView(&view);
        shell.firstShow();
        EXPECT_EQ(view.calls.first(), QStringLiteral("geometry 10 20 700 500 1"));
        shell.windowGeometryChanged(TMainForm::WindowState::Maximized, 0, 0, 1920, 1080);
        shell.shutDown();
    }
    const IniFile ini(settingsFilePath());
    EXPECT_EQ(ini.readString("MainWindow", "Width", ""), "-700");
    EXPECT_EQ(ini.readString("MainWindow", "Height", ""), "-500");
    EXPECT_EQ(ini.readString("MainWindow", "Left", ""), "10");
}

TEST_F(ShellTest, RestoredWindowRemembersItsLastNormalGeometry)
{
    TMainForm shell({}, prompter);
    shell.attachView(&view);
    shell.firstShow();
    EXPECT_EQ(view.calls.first(), QStringLiteral("geometry 100 100 790 520 0"));
    shell.windowGeometryChanged(TMainForm::WindowState::Normal, 5, 6, 800, 600);
    shell.windowGeometryChanged(TMainForm::WindowState::Minimized, -32000, -32000, 0, 0);
    shell.shutDown();
    const IniFile ini(settingsFilePath());
    EXPECT_EQ(ini.readString("MainWindow", "Width", ""), "800");
    EXPECT_EQ(ini.readString("MainWindow", "Height", ""), "600");
    EXPECT_EQ(ini.readString("MainWindow", "Left", ""), "5");
    EXPECT_EQ(ini.readString("MainWindow", "Top", ""), "6");
}

TEST_F(ShellTest, BareLinkFileArgumentIsTakenFromTheWorkingFolder)
{
    QStringList opened;
    TMainForm shell({ QStringLiteral("site.wkt") }, prompter);
    shell.attachView(&view);
    shell.openLinkFileInNewSession = [&](const QString& path) { opened << path; };
    shell.firstShow();
    shell.firstPaint();
    shell.firstPaint();
    EXPECT_EQ(opened, QStringList { QDir::current().filePath(QStringLiteral("site.wkt")) });
    EXPECT_TRUE(view.calls.contains(QStringLiteral("title Quorvane Ranquil 5.6")));

    TMainForm absolute({ QStringLiteral("/srv/links/site.wkt") }, prompter);
    EXPECT_EQ(absolute.commandLineLinkFile(), QStringLiteral("/srv/links/site.wkt"));
}

TEST_F(ShellTest, OnlyTheDefaultDownloadFolderIsCreatedAtStart)
{
    const QString other = home.file(QStringLiteral("elsewhere"));
    home.write(QStringLiteral("Ranquil.ini"), "[My Computer]\nInitialPath=" + other.toUtf8() + "\n");
    {
        TMainForm shell({}, prompter);
        shell.firstShow();
        EXPECT_FALSE(QFileInfo::exists(other));
        EXPECT_EQ(shell.guiOptions().InitialPath, other);
    }
}

TEST_F(ShellTest, SessionCommandsFollowTheActiveTabAndNeedASessionTab)
{
    TMainForm shell({}, prompter);
    shell.attachView(&view);
    view.tag = TMainForm::sessionTabTag;
    shell.activeTabChanged();
    EXPECT_TRUE(shell.requireSessionTab());
    view.tag = TMainForm::searchTabTag;
    shell.activeTabChanged();
    EXPECT_EQ(view.calls,
        (QStringList { QStringLiteral("session commands 1"), QStringLiteral("session commands 0") }));
    EXPECT_FALSE(shell.requireSessionTab());
    EXPECT_EQ(
        prompter.asked, QStringList { QStringLiteral("View a FTP sheet before applying a client command.") });
}

TEST_F(ShellTest, NoticesReachTheirObjects)
{
    QStringList log;
    TMainForm shell({}, prompter);
    shell.attachView(&view);
    auto* session = new StandInSession(shell, log, QStringLiteral("session0"));
    auto* search = new StandInSearch(shell, log, QStringLiteral("search0"));
    QObject page;
    postNotice(&shell, Notice::RefreshSession, session);
    postNotice(&shell, Notice::RunSearch, search);
    postNotice(&shell, Notice::FrameClosed, &page);
    postNotice(&shell, Notice::SearchClosed, search, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(log,
        (QStringList { QStringLiteral("session0 refresh"), QStringLiteral("search0 run"),
            QStringLiteral("search0 deleted") }));
    EXPECT_TRUE(view.calls.contains(QStringLiteral("delete page")));
    EXPECT_FALSE(loopEnds(shell, 100)) << "a search that is not last must not end the loop";
    delete session;
}

// Without its lock the address would still read back whole nearly always:
// this test sees a missing lock only under ThreadSanitizer
// (scripts/test.sh --tsan runs it there).
TEST_F(ShellTest, UpdateIndexUrlIsSharedAcrossThreads)
{
    TMainForm shell({}, prompter);
    EXPECT_EQ(shell.getUpdateIndexUrl(), "");
    std::vector<std::thread> writers;
    for (int i = 0; i < 4; ++i)
        writers.emplace_back([&shell, i] {
            for (int n = 0; n < 1000; ++n) {
                shell.setUpdateIndexUrl("http://index" + std::to_string(i) + ".example/p2p/v6/");
                const std::string read = shell.getUpdateIndexUrl();
                ASSERT_EQ(read.size(), std::string("http://index0.example/p2p/v6/").size());
            }
        });
    for (auto& t : writers)
        t.join();
    EXPECT_EQ(shell.getUpdateIndexUrl().substr(0, 12), "http://index");
}

TEST_F(ShellTest, UpgradeCheckAnswerIsStoredAtShutDown)
{
    {
        TMainForm shell({}, prompter);
        EXPECT_TRUE(shell.autoUpgradeCheck());
        prompter.answers = { false };
        shell.upgradeCheckCommand();
        shell.shutDown();
    }
    EXPECT_EQ(IniFile(registryFilePath()).readString("v5", "AutoUpdateCheckAtStartup", ""), "0");
}

TEST_F(ShellTest, StoredOperationsAreLoadedAtStart)
{
    home.write(QStringLiteral("Registry.ini"),
        "[Operations]\nCount=1\n[Operation0]\nFolderCount=1\nFolder0=d?/pub/docs\nStatus=4\n");
    TMainForm shell({}, prompter);
    ASSERT_EQ(shell.actions().rowCount(), 1);
    EXPECT_EQ(shell.actions().row(0).statusText, QStringLiteral("Connection error"));
    EXPECT_EQ(displayNamesOf(shell.actions().row(0).operation->request.items),
        std::vector<std::string> { "docs/" });
}

TEST_F(ShellTest, DamagedStoresAreKeptAsideAndTheUserIsToldOnce)
{
    const QByteArray settings("[Connection]\nAttempts=7\n\0\0binary", 32);
    const QByteArray registry = "[Operations]\nCount=1\n[Operation0]\nFolderCount=1\nFolder0=d?/"
        + QByteArray(200000, 'x') + "\nStatus=4\n";
    home.write(QStringLiteral("Ranquil.ini"), settings);
    home.write(QStringLiteral("Registry.ini"), registry);
    {
        TMainForm shell({}, prompter);
        ASSERT_EQ(prompter.asked.size(), 1) << prompter.asked.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(prompter.asked[0].contains(settingsFilePath() + QStringLiteral(".bad")))
            << prompter.asked[0].toStdString();
        EXPECT_TRUE(prompter.asked[0].contains(registryFilePath() + QStringLiteral(".bad")));
        EXPECT_EQ(shell.connection().Attempts, 3) << "the defaults, not a part of the damaged file";
        EXPECT_EQ(shell.actions().rowCount(), 0);
        shell.shutDown();
    }
    EXPECT_EQ(home.read(QStringLiteral("Ranquil.ini.bad")), settings);
    EXPECT_EQ(home.read(QStringLiteral("Registry.ini.bad")), registry);
    EXPECT_EQ(QFileInfo(settingsFilePath() + QStringLiteral(".bad")).permissions(),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);

    // The files written at shut-down read again, and the copies stay.
    prompter.asked.clear();
    {
        TMainForm shell({}, prompter);
        EXPECT_TRUE(prompter.asked.isEmpty()) << prompter.asked.join(QLatin1Char('|')).toStdString();
        shell.shutDown();
    }
    EXPECT_EQ(home.read(QStringLiteral("Ranquil.ini.bad")), settings);
    EXPECT_EQ(home.read(QStringLiteral("Registry.ini.bad")), registry);
}

TEST_F(ShellTest, AnActionsListBeyondWhatIsLoadedIsCutAndSaidSo)
{
    QByteArray store = "[Operations]\nCount=10002\n";
    for (int i = 0; i < 10002; ++i)
        store += "[Operation" + QByteArray::number(i) + "]\nFolderCount=1\nFolder0=d?/pub/"
            + QByteArray::number(i) + "\nStatus=4\n";
    home.write(QStringLiteral("Registry.ini"), store);

    TMainForm shell({}, prompter);
    EXPECT_EQ(shell.actions().rowCount(), 10000);
    EXPECT_EQ(prompter.asked,
        QStringList { QStringLiteral(
            "The list of actions holds more than can be loaded: the last 2 actions were left out.") });
}

} // namespace
