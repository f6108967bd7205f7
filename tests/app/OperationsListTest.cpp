// The "Actions" tab's commands without widgets: the button mode, clearing,
// the automatic restart, and operations restarted against the family FTP
// server through headless transfer windows.

#include "app/OperationsList.h"
#include "TransferEntries.h"
#include "app/MainForm.h"
#include "app/OperationOutcomes.h"
#include "common/IniFile.h"
#include "common/ProgramFolders.h"
#include "common/Prompter.h"
#include "net/EventWait.h"
#include "transfer/ActionsList.h"
#include "transfer/LoaderManager.h"

#include "FtpTestServer.h"
#include "RegistryWait.h"
#include "TempHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace
{

class ScriptedPrompter : public Prompter
{
public:
    bool answer = true;
    QStringList texts;
    bool prompt(const QString&, const QString& text, const QString&, const QString&) override
    {
        texts << text;
        return answer;
    }
};

// A transfer window without widgets: its core is deleted once it closes.
class HeadlessFrame : public LoadFrameView
{
public:
    explicit HeadlessFrame(TLoadFrame* core)
        : core_(core)
    {
    }
    void render(const LoadFrameDisplay&) override { }
    void closeFrame() override { core_->deleteLater(); }
    void hideFrame() override { }
    bool openFolder(const QString&) override { return true; }
    OverwriteAnswer askOverwrite(const QString&, ExistenceKind) override
    {
        return OverwriteAnswer::Overwrite;
    }

private:
    TLoadFrame* core_;
};

class HeadlessWindows : public OperationsListWindows
{
public:
    struct Opened {
        QPointer<TLoadFrame> core;
        std::unique_ptr<HeadlessFrame> view;
        bool hidden;
    };
    std::vector<Opened> opened;
    QString caption;
    bool restartEnabled = false, clearSelectedEnabled = false;
    int toggles = 0;

    void showButtons(const QString& restartCaption, bool restart, bool clearSelected) override
    {
        caption = restartCaption;
        restartEnabled = restart;
        clearSelectedEnabled = clearSelected;
    }
    void openWindow(LoadFrameSetup setup, bool hidden) override
    {
        auto* core = new TLoadFrame(std::move(setup));
        auto view = std::make_unique<HeadlessFrame>(core);
        core->attachView(view.get());
        core->start();
        opened.push_back({ core, std::move(view), hidden });
    }
    void toggleWindow(TransferWindow*) override { ++toggles; }

    // Ticks every open window until `done` holds.
    bool tickUntil(const std::function<bool()>& done)
    {
        return processEventsUntil(
                   [&] {
                       QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                       for (const Opened& window : opened)
                           if (window.core && window.core->timerRunning())
                               window.core->tick();
                       return done();
                   },
                   QDeadlineTimer(std::chrono::seconds(30)))
            == WaitOutcome::Ready;
    }
};

ftpOperationObject uploadOf(const QString& localFile, std::uint64_t size, quint16 port)
{
    ftpOperationObject operation;
    operation.request.kind = OperationKind::Upload;
    operation.request.items.files = { entryAt(localFile.toStdString(), size) };
    operation.request.site.hostAddress = "127.0.0.1";
    operation.request.site.displayAddress = "127.0.0.1";
    operation.request.site.port = port;
    operation.request.site.anonymous = false;
    operation.request.site.userId = "tester";
    operation.request.site.password = "secret";
    operation.request.site.initialDirectory = "/";
    return operation;
}

class OperationsListCommands : public testing::Test
{
protected:
    OperationsListCommands() { list.attachWindows(&windows); }

    ftpOperationObject* addRow(OperationStatus status, bool autoTry = false, quint16 port = 1)
    {
        ftpOperationObject operation = uploadOf(QStringLiteral("/nonexistent/x.bin"), 1, port);
        operation.autoTry = autoTry;
        ftpOperationObject* row = actions.addOperation(std::move(operation));
        actions.setStatus(row, status, 0);
        return row;
    }

    TempHome home;
    ActionsList actions { registryFilePath() };
    // Outlives the loader manager, which closes the windows left open.
    HeadlessWindows windows;
    loaderManager manager;
    connectionOptions options;
    ScriptedPrompter prompter;
    OperationsList list { actions, manager, options, prompter, QStringList() };
};

struct ModeCase {
    const char* name;
    OperationStatus status;
    bool withWindow;
    const char* caption;
    bool restartEnabled, clearSelectedEnabled;
};

class ButtonMode : public OperationsListCommands, public testing::WithParamInterface<ModeCase>
{
};

TEST_P(ButtonMode, TheSelectedRowsStatusSetsTheButtons)
{
    const ModeCase& c = GetParam();
    ftpOperationObject* row = addRow(c.status);
    TLoadFrame* window = nullptr;
    if (c.withWindow) {
        LoadFrameSetup setup;
        setup.manager = &manager;
        setup.options = &options;
        setup.prompter = &prompter;
        setup.operation = row;
        window = new TLoadFrame(std::move(setup));
    }
    list.select(0);
    EXPECT_EQ(windows.caption, QString::fromUtf8(c.caption));
    EXPECT_EQ(windows.restartEnabled, c.restartEnabled);
    EXPECT_EQ(windows.clearSelectedEnabled, c.clearSelectedEnabled);
    list.select(-1);
    EXPECT_EQ(windows.caption, QString::fromUtf8(c.caption)) << "no selection keeps the mode";
    EXPECT_FALSE(windows.restartEnabled || windows.clearSelectedEnabled);
    delete window;
}

INSTANTIATE_TEST_SUITE_P(Statuses, ButtonMode,
    testing::Values(ModeCase { "Finished", OperationStatus::Finished, true, "&Close", true, true },
        ModeCase { "Running", OperationStatus::Running, true, "&Stop", true, false },
        ModeCase { "Connecting", OperationStatus::Connecting, true, "&Stop", true, false },
        ModeCase { "Completed", OperationStatus::Completed, false, "&Restart / Resume", true, true },
        ModeCase {
            "ConnectionError", OperationStatus::ConnectionError, false, "&Restart / Resume", true, true },
        ModeCase { "Stopped", OperationStatus::Stopped, false, "&Restart / Resume", true, true },
        ModeCase {
            "StoppedWithWindowLeft", OperationStatus::Stopped, true, "&Restart / Resume", false, true }),
    [](const testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

TEST_F(OperationsListCommands, ClearAllFinishedKeepsRunningConnectingAndStoppedRows)
{
    const OperationStatus statuses[] = { OperationStatus::Finished, OperationStatus::Running,
        OperationStatus::Completed, OperationStatus::Connecting, OperationStatus::ConnectionError,
        OperationStatus::Stopped, static_cast<OperationStatus>(9) };
    for (const OperationStatus status : statuses)
        addRow(status);
    list.clearAllFinishedClicked();
    ASSERT_EQ(actions.rowCount(), 3);
    EXPECT_EQ(actions.row(0).statusText, QStringLiteral("0% Completed"));
    EXPECT_EQ(actions.row(1).statusText, QStringLiteral("Connecting..."));
    EXPECT_EQ(actions.row(2).statusText, QStringLiteral("Incomplete (Stopped)"));
    EXPECT_TRUE(registryShows("Operations", "Count", "3"));
}

TEST_F(OperationsListCommands, ClearAllAsksAndNoKeepsEveryRow)
{
    addRow(OperationStatus::Stopped);
    addRow(OperationStatus::Completed);
    prompter.answer = false;
    list.clearAllClicked();
    EXPECT_EQ(prompter.texts, QStringList { QStringLiteral("Do you really want to delete ALL operations?") });
    EXPECT_EQ(actions.rowCount(), 2);
    prompter.answer = true;
    list.clearAllClicked();
    EXPECT_EQ(actions.rowCount(), 0);
}

TEST_F(OperationsListCommands, TheTimerRestartsOnlyCheckedIncompleteRowsWithoutAWindow)
{
    ftpOperationObject* checkedStopped = addRow(OperationStatus::Stopped, true);
    addRow(OperationStatus::Stopped, false);
    addRow(OperationStatus::Completed, true);
    ftpOperationObject* checkedFailed = addRow(OperationStatus::ConnectionError, true);
    ftpOperationObject* uncheckedLater = addRow(OperationStatus::Stopped, true);
    list.setChecked(actions.indexOf(uncheckedLater), false);
    EXPECT_EQ(list.loadTimerRunning(), false);

    list.loadTimerTick();
    ASSERT_EQ(windows.opened.size(), 2u);
    EXPECT_TRUE(windows.opened[0].hidden && windows.opened[1].hidden);
    EXPECT_EQ(checkedFailed->window, windows.opened[0].core.data()) << "from the last row to the first";
    EXPECT_EQ(checkedStopped->window, windows.opened[1].core.data());
    EXPECT_EQ(uncheckedLater->window, nullptr);

    // Nothing listens on port 1: both fail and stop. A tick that comes
    // while their windows still exist starts no second worker.
    actions.setStatus(checkedStopped, OperationStatus::Stopped, 0);
    list.loadTimerTick();
    EXPECT_EQ(windows.opened.size(), 2u);
    ASSERT_TRUE(windows.tickUntil([&] { return !checkedStopped->window && !checkedFailed->window; }));
    EXPECT_EQ(checkedStopped->status, OperationStatus::Stopped);
    list.loadTimerTick();
    EXPECT_EQ(windows.opened.size(), 4u) << "both are tried again on the next tick";
    ASSERT_TRUE(windows.tickUntil([&] { return !checkedStopped->window && !checkedFailed->window; }));
}

TEST_F(OperationsListCommands, DoubleClickTogglesOnlyARowWithAWindow)
{
    addRow(OperationStatus::Stopped);
    list.select(0);
    list.rowDoubleClicked();
    EXPECT_EQ(windows.toggles, 0);
}

class OperationsAgainstTheServer : public OperationsListCommands
{
protected:
    bool startServer(const QStringList& switches = {})
    {
        server = std::make_unique<FtpTestServer>(FtpServerKind::Family, remote.path(), switches);
        return server->running();
    }
    ftpOperationObject* addUpload(const QString& name, qint64 size)
    {
        QFile file(local.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, 'r'));
        file.close();
        ftpOperationObject* row = actions.addOperation(
            uploadOf(local.filePath(name), static_cast<std::uint64_t>(size), server->port()));
        actions.setStatus(row, OperationStatus::Stopped, 0);
        return row;
    }

    QTemporaryDir remote;
    QTemporaryDir local;
    std::unique_ptr<FtpTestServer> server;
};

TEST_F(OperationsAgainstTheServer, ARestartedRowRunsToCompletedAndItsWindowClosesToCompleted)
{
    ASSERT_TRUE(startServer()) << server->error().toStdString();
    ftpOperationObject* row = addUpload(QStringLiteral("again.bin"), 70000);
    list.select(0);
    EXPECT_EQ(windows.caption, QStringLiteral("&Restart / Resume"));
    list.restartResumeClicked();
    ASSERT_EQ(windows.opened.size(), 1u);
    EXPECT_FALSE(windows.opened[0].hidden);
    ASSERT_TRUE(windows.tickUntil([&] { return row->status == OperationStatus::Finished; }));
    EXPECT_EQ(actions.row(0).statusText, QStringLiteral("Completed!"));
    EXPECT_EQ(windows.caption, QStringLiteral("&Close"));
    EXPECT_EQ(QFileInfo(remote.filePath(QStringLiteral("again.bin"))).size(), 70000);
    EXPECT_TRUE(server->commandLog().contains("STOR /again.bin"));

    list.restartResumeClicked(); // "&Close"
    EXPECT_EQ(row->status, OperationStatus::Completed);
    EXPECT_EQ(row->window, nullptr);
    EXPECT_EQ(windows.caption, QStringLiteral("&Restart / Resume"));
}

TEST_F(OperationsAgainstTheServer, StopEndsARunningRowIncomplete)
{
    ASSERT_TRUE(startServer({ QStringLiteral("--rate"), QStringLiteral("20000") }));
    ftpOperationObject* row = addUpload(QStringLiteral("slow.bin"), 2'000'000);
    list.select(0);
    list.restartResumeClicked();
    ASSERT_TRUE(
        windows.tickUntil([&] { return windows.opened[0].core->progress()->connectionBytes[0] > 0; }));
    EXPECT_EQ(windows.caption, QStringLiteral("&Stop"));
    list.restartResumeClicked();
    ASSERT_TRUE(windows.tickUntil([&] { return !row->window; }));
    EXPECT_EQ(actions.row(0).statusText, QStringLiteral("Incomplete (Stopped)"));
}

// A download whose walk could not open a folder is not complete, so the
// automatic restart takes it up (its cache question answered by nobody)
// and gets the folder once it can be opened. vsftpd serves anonymous users
// as an unprivileged account: a folder without rights stays shut even when
// the tests run as root.
TEST_F(OperationsAgainstTheServer, ADownloadMissingAFolderIsIncompleteAndTheAutomaticRestartGetsIt)
{
    const auto serve = [&](const QString& path, qint64 size) {
        QDir().mkpath(QFileInfo(remote.filePath(path)).path());
        QFile file(remote.filePath(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, 'd'));
    };
    serve(QStringLiteral("pub/t/ok/1.bin"), 100);
    serve(QStringLiteral("pub/t/locked/2.bin"), 200);
    const QString locked = remote.filePath(QStringLiteral("pub/t/locked"));
    ASSERT_TRUE(QFile::setPermissions(locked, QFile::Permissions()));
    server = std::make_unique<FtpTestServer>(FtpServerKind::Vsftpd, remote.path());
    ASSERT_TRUE(server->running()) << server->error().toStdString();

    ftpOperationObject download;
    download.request.kind = OperationKind::Download;
    download.request.items.folders = { entryAt("/pub/t") };
    download.request.site.hostAddress = "127.0.0.1";
    download.request.site.displayAddress = "127.0.0.1";
    download.request.site.port = server->port();
    download.request.site.anonymous = true;
    download.request.site.initialDirectory = "/";
    download.request.destination = local.path();
    download.autoTry = true;
    ftpOperationObject* row = actions.addOperation(std::move(download));
    actions.setStatus(row, OperationStatus::Stopped, 0);
    const auto ended = [&] {
        return row->status != OperationStatus::Running && row->status != OperationStatus::Connecting;
    };

    list.select(0);
    list.restartResumeClicked();
    ASSERT_TRUE(windows.tickUntil(ended));
    EXPECT_EQ(actions.row(0).statusText, QStringLiteral("Incomplete (Stopped)"));
    EXPECT_TRUE(QFileInfo::exists(local.filePath(QStringLiteral("t/ok/1.bin"))));
    EXPECT_TRUE(prompter.texts.join(QLatin1Char('|')).contains(QStringLiteral("\n/pub/t/locked/")))
        << prompter.texts.join(QLatin1Char('|')).toStdString();
    ASSERT_TRUE(windows.tickUntil([&] { return !row->window; }));

    ASSERT_TRUE(QFile::setPermissions(locked,
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
            | QFile::ReadOther | QFile::ExeOther));
    list.loadTimerTick();
    ASSERT_EQ(windows.opened.size(), 2u);
    EXPECT_TRUE(windows.opened[1].hidden);
    ASSERT_TRUE(windows.tickUntil(ended));
    EXPECT_EQ(actions.row(0).statusText, QStringLiteral("Completed!"));
    EXPECT_EQ(QFileInfo(local.filePath(QStringLiteral("t/locked/2.bin"))).size(), 200);
}

TEST(ShellShutDown, ThreeRunningOperationsAreStoredStopped)
{
    TempHome home;
    QTemporaryDir remote, local;
    FtpTestServer server(
        FtpServerKind::Family, remote.path(), { QStringLiteral("--rate"), QStringLiteral("20000") });
    ASSERT_TRUE(server.running()) << server.error().toStdString();
    ScriptedPrompter prompter;
    {
        // Declared first: the shell's loader manager closes the windows.
        HeadlessWindows windows;
        TMainForm shell({}, prompter);
        shell.operationsList().attachWindows(&windows);
        for (int i = 0; i < 3; ++i) {
            const QString name = local.filePath(QStringLiteral("f%1.bin").arg(i));
            QFile file(name);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(2'000'000, 'z'));
            file.close();
            ftpOperationObject* row = shell.actions().addOperation(uploadOf(name, 2'000'000, server.port()));
            row->autoTry = true;
            shell.actions().setStatus(row, OperationStatus::Stopped, 0);
        }
        shell.operationsList().loadTimerTick();
        ASSERT_EQ(windows.opened.size(), 3u);
        ASSERT_TRUE(windows.tickUntil([&] {
            for (const auto& window : windows.opened)
                if (!window.core || !window.core->progress()->walkingStarted)
                    return false;
            return true;
        })) << prompter.texts.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(shell.loaders().hasUnfinishedOperations());
        shell.sessionEnd();
        EXPECT_FALSE(shell.operationsList().loadTimerRunning());
        const IniFile stored(registryFilePath());
        ASSERT_EQ(stored.readString("Operations", "Count", ""), "3");
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(stored.readString("Operation" + std::to_string(i), "Status", ""), "-1") << i;
    }
}

} // namespace

namespace
{

TEST(OperationOutcomes, OnlyAnOperationUnderWayThatEndsIsAnnounced)
{
    TempHome home;
    ActionsList actions(registryFilePath());
    OperationOutcomes outcomes(actions);
    QStringList announced;
    QObject::connect(
        &outcomes, &OperationOutcomes::operationEnded, [&](const QString& title, const QString& outcome) {
            announced << title + QLatin1Char('|') + outcome;
        });
    ftpOperationObject operation = uploadOf(QStringLiteral("/tmp/a b.txt"), 1, 21);
    operation.request.items.folders = { entryAt("/tmp/docs") };
    ftpOperationObject* row = actions.addOperation(std::move(operation));
    actions.setStatus(row, OperationStatus::Stopped, 0);
    actions.setStatus(row, OperationStatus::Completed, 0);
    EXPECT_TRUE(announced.isEmpty()) << "nothing was under way";
    actions.setStatus(row, OperationStatus::Connecting, 0);
    actions.setStatus(row, OperationStatus::Running, 10);
    actions.setStatus(row, OperationStatus::Running, 60);
    EXPECT_TRUE(announced.isEmpty());
    actions.setStatus(row, OperationStatus::Finished, 100);
    actions.setStatus(row, OperationStatus::Completed, 0);
    actions.setStatus(row, OperationStatus::Connecting, 0);
    actions.setStatus(row, OperationStatus::ConnectionError, 0);
    EXPECT_EQ(announced,
        QStringList({ QStringLiteral("Upload: \"a b.txt\",docs/|Completed!"),
            QStringLiteral("Upload: \"a b.txt\",docs/|Connection error") }));
}

} // namespace
