// The transfer window's core with its clock driven by hand: the tick's order
// and outcomes, the progress figures, the status line, pause and resume.

#include "common/ProgramFolders.h"
#include "transfer/ActionsList.h"
#include "transfer/LoadFrame.h"
#include "transfer/LoaderManager.h"

#include "TempHome.h"
#include "loader_test_support.h"

#include <gtest/gtest.h>

namespace
{

constexpr std::int64_t gib = std::int64_t(1) << 30;

class RecordingFrameView : public LoadFrameView
{
public:
    LoadFrameDisplay last;
    int closes = 0;
    int hides = 0;
    void render(const LoadFrameDisplay& display) override { last = display; }
    void closeFrame() override { ++closes; }
    void hideFrame() override { ++hides; }
    bool openFolder(const QString&) override { return false; }
    OverwriteAnswer askOverwrite(const QString&, ExistenceKind) override { return OverwriteAnswer::Skip; }
};

class LoadFrameCore : public testing::Test
{
protected:
    std::unique_ptr<TLoadFrame> makeFrame(OperationKind kind)
    {
        ftpOperationObject operation;
        operation.request.kind = kind;
        operation.request.items.files = { entryAt("/big.iso", 1) };
        operation.request.site.displayAddress = "10.1.2.3";
        operation.request.site.hostAddress = "10.1.2.3";
        row = actions.addOperation(std::move(operation));
        LoadFrameSetup setup;
        setup.actions = &actions;
        setup.operation = row;
        setup.manager = &manager;
        setup.options = &options;
        setup.prompter = &prompter;
        setup.request.kind = kind;
        auto frame = std::make_unique<TLoadFrame>(std::move(setup));
        frame->attachView(&view);
        return frame;
    }
    QString rowText() const { return actions.row(actions.indexOf(row)).statusText; }

    TempHome home;
    ActionsList actions { registryFilePath() };
    loaderManager manager;
    connectionOptions options;
    RecordingPrompter prompter;
    RecordingFrameView view;
    ftpOperationObject* row = nullptr;
};

struct OutcomeCase {
    const char* name;
    bool walkingStarted, finished, stopped;
    OperationStatus rowStatus;
    bool closes;
};

class TickOutcome : public LoadFrameCore, public testing::WithParamInterface<OutcomeCase>
{
};

TEST_P(TickOutcome, TheWorkersFlagsDecideTheRowAndWhetherTheWindowCloses)
{
    const OutcomeCase& c = GetParam();
    auto frame = makeFrame(OperationKind::Upload);
    frame->progress()->walkingStarted = c.walkingStarted;
    frame->progress()->finished = c.finished;
    frame->progress()->stopped = c.stopped;
    frame->progress()->totalBytes = 100;
    // Bytes are counted only once the walk has started.
    frame->progress()->finishedBytes = c.walkingStarted ? 10 : 0;
    frame->tick();
    EXPECT_EQ(row->status, c.rowStatus);
    EXPECT_EQ(view.closes, c.closes ? 1 : 0);
    frame->tick();
    EXPECT_EQ(view.closes, c.closes ? 1 : 0) << "a closing window ticks no more";
}

INSTANTIATE_TEST_SUITE_P(Flags, TickOutcome,
    testing::Values(OutcomeCase { "Connecting", false, false, false, OperationStatus::Connecting, false },
        OutcomeCase { "StoppedBeforeTheWalk", false, false, true, OperationStatus::Stopped, true },
        OutcomeCase { "EndedWithoutTheWalk", false, true, false, OperationStatus::ConnectionError, true },
        OutcomeCase { "StoppedWhileWalking", true, false, true, OperationStatus::Stopped, true },
        OutcomeCase { "Running", true, false, false, OperationStatus::Running, false },
        OutcomeCase { "FinishedStaysOpen", true, true, false, OperationStatus::Finished, false }),
    [](const testing::TestParamInfo<OutcomeCase>& info) { return std::string(info.param.name); });

TEST_F(LoadFrameCore, AFinishedWindowThatClosesWhenDoneClosesAtItsTick)
{
    options.EnableLoadFormClosingAtStartup = true;
    auto frame = makeFrame(OperationKind::Upload);
    frame->progress()->walkingStarted = true;
    frame->progress()->finished = true;
    frame->progress()->finishedBytes = 1500;
    frame->progress()->setHostText(QStringLiteral("10.1.2.3"));
    frame->tick();
    EXPECT_EQ(view.closes, 1);
    EXPECT_EQ(view.last.statusLine, QStringLiteral("Upload Completed! (10.1.2.3)"));
    EXPECT_EQ(view.last.totals, QStringLiteral("1.46 KB / 1.46 KB"));
    EXPECT_EQ(view.last.percentText, QStringLiteral("%100"));
    EXPECT_EQ(view.last.cancelCaption, QStringLiteral("&Close"));
    EXPECT_EQ(rowText(), QStringLiteral("Completed!"));
}

TEST_F(LoadFrameCore, AFinishedWindowLeftOpenDisablesPauseAndItsCheckBox)
{
    auto frame = makeFrame(OperationKind::Delete);
    frame->progress()->walkingStarted = true;
    frame->progress()->finished = true;
    frame->tick();
    EXPECT_EQ(view.closes, 0);
    EXPECT_FALSE(frame->timerRunning());
    EXPECT_FALSE(view.last.pauseEnabled);
    EXPECT_FALSE(view.last.closeWhenDoneEnabled);
    EXPECT_TRUE(view.last.cancelEnabled);
    EXPECT_TRUE(view.last.completedPicture);
    EXPECT_EQ(view.last.totals, QStringLiteral("All deleted"));
    EXPECT_TRUE(view.last.statusLine.startsWith(QStringLiteral("Delete Completed! (")));
}

TEST_F(LoadFrameCore, FiveGibibytesShowTheRightPercentageAndAnUncertainTotal)
{
    auto frame = makeFrame(OperationKind::Download);
    LoaderProgress& progress = *frame->progress();
    progress.walkingStarted = true;
    progress.totalBytes = 5 * gib;
    progress.finishedBytes = 2 * gib;
    progress.connectionBytes[0] = gib / 2;
    progress.connectionBytes[7] = gib / 4;
    frame->tick();
    EXPECT_EQ(view.last.percent, 55);
    EXPECT_EQ(view.last.percentText, QStringLiteral("55%"));
    EXPECT_EQ(view.last.totals, QStringLiteral("2.75 GB / 5.00 GB (~)"));
    EXPECT_EQ(rowText(), QStringLiteral("55% Completed"));
    EXPECT_EQ(view.last.throughput, QStringLiteral("2.75 GB/Sec"));

    progress.remoteSizeIndicator = 1;
    progress.connectionBytes[1] = gib / 4;
    frame->tick();
    EXPECT_EQ(view.last.totals, QStringLiteral("3.00 GB / 5.00 GB"));
    EXPECT_EQ(view.last.elapsed, QStringLiteral("00:00:02"));
    EXPECT_EQ(view.last.throughput, QStringLiteral("256.00 MB/Sec"));
}

TEST_F(LoadFrameCore, AResumedFilesBytesGiveNoEstimateUntilNewBytesArrive)
{
    auto frame = makeFrame(OperationKind::Upload);
    LoaderProgress& progress = *frame->progress();
    progress.walkingStarted = true;
    progress.totalBytes = 4 * gib;
    // Three gibibytes were on the server before this run.
    progress.currentFileBytes = 3 * gib;
    progress.connectionBytes[0] = 3 * gib;
    frame->tick();
    EXPECT_EQ(view.last.estimated, QStringLiteral("--:--:--"));

    progress.connectionBytes[0] = 3 * gib + 1024 * 1024;
    frame->tick();
    // 1 MiB in two seconds: the 1023 MiB left take 2046 seconds.
    EXPECT_EQ(view.last.estimated, QStringLiteral("00:34:06"));
}

TEST_F(LoadFrameCore, AWorkerTextStaysOneTickThenTheProgressTextTakesOver)
{
    auto frame = makeFrame(OperationKind::Upload);
    LoaderProgress& progress = *frame->progress();
    progress.walkingStarted = true;
    progress.totalBytes = 1000;
    progress.setCurrentFile(
        QStringLiteral("/home/user/a/very/long/folder/name/that/goes/on/and/on/file.bin"));
    frame->setConnectionStatus(0, QStringLiteral("Upload starting..."));
    progress.connectionBytes[0] = 250;
    progress.currentFileSize = 1000;
    frame->tick();
    EXPECT_EQ(view.last.statusLine, QStringLiteral("Upload starting..."));
    EXPECT_EQ(view.last.connections[0].status, QStringLiteral("250 Bytes / 1000 Bytes"));
    frame->tick();
    EXPECT_EQ(view.last.statusLine,
        QStringLiteral("25% of ...long/folder/name/that/goes/on/and/on/file.bin Uploaded"));
}

TEST_F(LoadFrameCore, AConnectionsThroughputIsItsGrowthAndNeverNegative)
{
    auto frame = makeFrame(OperationKind::Download);
    LoaderProgress& progress = *frame->progress();
    progress.walkingStarted = true;
    progress.totalBytes = 100000;
    frame->addConnectionRow(2, QStringLiteral("10.1.2.3"), 0);
    progress.setCurrentFile(QStringLiteral("a.bin"));
    frame->tick();
    progress.connectionBytes[2] = 3000;
    frame->tick();
    EXPECT_EQ(view.last.connections[2].throughput, QStringLiteral("2.93 KB/Sec"));
    progress.connectionBytes[2] = 100; // a new part restarted the count
    frame->tick();
    EXPECT_EQ(view.last.connections[2].throughput, QStringLiteral("0 Bytes/Sec"));
    progress.connectionBytes[2] = 900;
    progress.setCurrentFile(QStringLiteral("b.bin"));
    frame->tick();
    EXPECT_EQ(view.last.connections[2].throughput, QStringLiteral("0 Bytes/Sec")) << "the file changed";
    EXPECT_TRUE(view.last.connections[2].shown);
    EXPECT_FALSE(view.last.connections[3].shown);
    frame->removeConnectionRow(2);
    frame->tick();
    EXPECT_FALSE(view.last.connections[2].shown);
}

TEST_F(LoadFrameCore, MergingDisablesCancelAndPauseUntilItEnds)
{
    auto frame = makeFrame(OperationKind::Download);
    LoaderProgress& progress = *frame->progress();
    progress.walkingStarted = true;
    frame->setConnectionStatus(0, QStringLiteral("Merging parts.."));
    frame->tick();
    EXPECT_FALSE(view.last.cancelEnabled);
    EXPECT_FALSE(view.last.pauseEnabled);
    frame->setConnectionStatus(0, QStringLiteral("Quiting.."));
    frame->tick();
    EXPECT_TRUE(view.last.cancelEnabled);
}

TEST_F(LoadFrameCore, DeletionsHideTheTransferFiguresAndNameTheFileBeingDeleted)
{
    auto frame = makeFrame(OperationKind::Delete);
    EXPECT_EQ(view.last.statusLine, QStringLiteral("Initializing delete operation.."));
    EXPECT_FALSE(view.last.showsThroughput || view.last.showsEstimatedTime || view.last.showsLocalPath
        || view.last.showsProgress || view.last.showsOpenFolder);
    frame->progress()->walkingStarted = true;
    frame->progress()->setCurrentFile(QStringLiteral("/pub/old.txt"));
    frame->tick();
    EXPECT_EQ(view.last.statusLine, QStringLiteral("Deleting /pub/old.txt"));
    EXPECT_EQ(rowText(), QStringLiteral("0% Completed"));
}

TEST_F(LoadFrameCore, KindsHaveTheirLayouts)
{
    options.ShowLoadFormDetailsAtStartup = false;
    options.EnableLoadFormClosingAtStartup = true;
    auto download = makeFrame(OperationKind::Download);
    EXPECT_EQ(view.last.statusLine, QStringLiteral("Initializing download operation.."));
    EXPECT_TRUE(view.last.showsWebLinkTab && view.last.showsOpenFolder);
    EXPECT_FALSE(view.last.detailsShown);
    EXPECT_TRUE(view.last.closeWhenDone);
    auto upload = makeFrame(OperationKind::Upload);
    EXPECT_EQ(view.last.statusLine, QStringLiteral("Initializing upload operation.."));
    EXPECT_FALSE(view.last.showsWebLinkTab || view.last.showsOpenFolder);
    EXPECT_TRUE(view.last.showsProgress);
}

TEST_F(LoadFrameCore, DetailsAndClosingChoicesAreRememberedWhenTheWindowGoes)
{
    options.ShowLoadFormDetailsAtStartup = true;
    auto frame = makeFrame(OperationKind::Upload);
    EXPECT_TRUE(view.last.detailsShown);
    frame->detailsClicked();
    EXPECT_EQ(view.last.detailsCaption, QStringLiteral("Details >>"));
    frame->setCloseWhenDone(true);
    frame.reset();
    EXPECT_FALSE(options.ShowLoadFormDetailsAtStartup);
    EXPECT_TRUE(options.EnableLoadFormClosingAtStartup);
    EXPECT_EQ(row->window, nullptr);
    EXPECT_FALSE(manager.hasUnfinishedOperations());
}

TEST_F(LoadFrameCore, AFolderThatCannotBeOpenedIsReported)
{
    auto frame = makeFrame(OperationKind::Download);
    frame->openDownloadFolderClicked();
    EXPECT_EQ(prompter.messages,
        QStringList { QStringLiteral(
            "Could not open download folder. Unknown error. Try re-installing the Windows.") });
}

TEST(LoadFrameTexts, ClockAndShortening)
{
    EXPECT_EQ(LoadFrameTexts::clockText(0), QStringLiteral("00:00:00"));
    EXPECT_EQ(LoadFrameTexts::clockText(3 * 3600 + 25 * 60 + 7), QStringLiteral("03:25:07"));
    EXPECT_EQ(LoadFrameTexts::clockText(-5), QStringLiteral("--:--:--"));
    EXPECT_EQ(LoadFrameTexts::clockText(100 * 3600), QStringLiteral("--:--:--"));
    EXPECT_EQ(LoadFrameTexts::estimatedTime(1000, 0, 5), QStringLiteral("--:--:--"));
    EXPECT_EQ(LoadFrameTexts::estimatedTime(1000, -400, 5), QStringLiteral("--:--:--"));
    EXPECT_EQ(LoadFrameTexts::estimatedTime(5 * gib, 1, 10), QStringLiteral("--:--:--")) << "absurd";
    EXPECT_EQ(LoadFrameTexts::estimatedTime(-3, 100, 1), QStringLiteral("00:00:00"));
    EXPECT_EQ(LoadFrameTexts::percentOf(5 * gib - 1, 5 * gib), 100);
    EXPECT_EQ(LoadFrameTexts::percentOf(gib, 5 * gib), 20);
    EXPECT_EQ(LoadFrameTexts::percentOf(10, 0), 0);
    EXPECT_EQ(LoadFrameTexts::shortened(QStringLiteral("short.txt"), 24), QStringLiteral("short.txt"));
    EXPECT_EQ(LoadFrameTexts::shortened(QStringLiteral("abcdefghijklmnopqrstuvwxyz"), 24),
        QStringLiteral("...fghijklmnopqrstuvwxyz"));
}

} // namespace
