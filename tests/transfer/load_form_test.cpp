// The transfer window's widgets offscreen: the overwrite question, and whole
// operations run through TLoadForm against the family FTP server.

#include "TransferEntries.h"
#include "common/ProgramFolders.h"
#include "net/EventWait.h"
#include "transfer/ActionsList.h"
#include "transfer/LoaderManager.h"
#include "transfer/LoaderThread.h"
#include "transfer/ui/LoadForm.h"
#include "transfer/ui/LoadFrameView.h"
#include "transfer/ui/THomeForm.h"
#include "transfer/ui/TQuestionForm.h"

#include "FtpTestServer.h"
#include "RegistryWait.h"
#include "TempHome.h"
#include "loader_test_support.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

namespace
{

QStringList buttonCaptions(const QWidget& widget)
{
    QStringList captions;
    for (const QPushButton* button : widget.findChildren<QPushButton*>())
        if (!button->isHidden())
            captions << button->text();
    return captions;
}

QPushButton* button(const QWidget& widget, const QString& caption)
{
    for (QPushButton* candidate : widget.findChildren<QPushButton*>())
        if (candidate->text() == caption)
            return candidate;
    return nullptr;
}

bool hasLabel(const QWidget& widget, const QString& text)
{
    for (const QLabel* label : widget.findChildren<QLabel*>())
        if (label->text() == text)
            return true;
    return false;
}

TEST(QuestionForm, APartialFileOffersResumeAndTakesItWhenNobodyAnswers)
{
    TQuestionForm question(
        QStringLiteral("/pub/some/rather/long/folder/movie.mkv"), ExistenceKind::Partially);
    EXPECT_EQ(question.windowTitle(), QStringLiteral("Please choose (auto closing in ten seconds)"));
    EXPECT_EQ(question.questionText(),
        QStringLiteral("\"...long/folder/movie.mkv\" exists partially in destination."));
    EXPECT_EQ(buttonCaptions(question).size(), 6);
    EXPECT_EQ(question.autoAnswerTimer().interval(), 10000);
    question.autoAnswerTimer().setInterval(0);
    EXPECT_EQ(question.ask(), OverwriteAnswer::Resume);
}

TEST(QuestionForm, ACompleteFileHidesResumeAndIsOverwrittenWhenNobodyAnswers)
{
    TQuestionForm question(QStringLiteral("short.txt"), ExistenceKind::Completely);
    EXPECT_EQ(
        question.questionText(), QStringLiteral("\"short.txt\" already exists completely in destination."));
    EXPECT_EQ(buttonCaptions(question),
        QStringList({ QStringLiteral("&Overwrite"), QStringLiteral("Overwrite &All"), QStringLiteral("&Skip"),
            QStringLiteral("S&kip All") }));
    question.autoAnswerTimer().setInterval(0);
    EXPECT_EQ(question.ask(), OverwriteAnswer::Overwrite);
}

TEST(QuestionForm, AnotherFileThereOffersKeepingBothAndKeepsBothWhenNobodyAnswers)
{
    TQuestionForm question(QStringLiteral("notes.txt"), ExistenceKind::Unrelated);
    EXPECT_EQ(question.questionText(),
        QStringLiteral("\"notes.txt\" already exists in destination as another file."));
    EXPECT_EQ(buttonCaptions(question),
        QStringList({ QStringLiteral("&Overwrite"), QStringLiteral("Overwrite &All"), QStringLiteral("&Skip"),
            QStringLiteral("S&kip All"), QStringLiteral("Keep &Both"), QStringLiteral("Keep Both A&ll") }));
    question.autoAnswerTimer().setInterval(0);
    EXPECT_EQ(question.ask(), OverwriteAnswer::KeepBoth) << "nothing is lost when nobody is there";
}

TEST(QuestionForm, AClickedAnswerIsTheAnswer)
{
    TQuestionForm question(QStringLiteral("a.bin"), ExistenceKind::Partially);
    QTimer::singleShot(0, &question, [&] { button(question, QStringLiteral("Res&ume All"))->click(); });
    EXPECT_EQ(question.ask(), OverwriteAnswer::ResumeAll);
    EXPECT_FALSE(question.autoAnswerTimer().isActive());
}

// Serves events, deferred deletions included (a nested wait does not run
// them by itself), until `done` holds.
bool serveUntil(const std::function<bool()>& done, std::chrono::seconds limit = std::chrono::seconds(30))
{
    return processEventsUntil(
               [&] {
                   QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                   return done();
               },
               QDeadlineTimer(limit))
        == WaitOutcome::Ready;
}

TEST(HomeForm, DownloadGivesTheSelectedFolderAndCancelNothing)
{
    TempHome home;
    THomeForm chooser;
    EXPECT_EQ(chooser.windowTitle(), QStringLiteral("Select Download Folder"));
    QString folder = defaultDownloadFolder();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    EXPECT_EQ(chooser.selectedFolder(), folder) << "it opens at the download folder";

    QTimer::singleShot(0, &chooser, [&] { button(chooser, QStringLiteral("Download"))->click(); });
    EXPECT_EQ(chooser.chooseDownloadFolder(), folder);
    QTimer::singleShot(0, &chooser, [&] { button(chooser, QStringLiteral("Cancel"))->click(); });
    EXPECT_EQ(chooser.chooseDownloadFolder(), QString());
    chooser.tree()->selectionModel()->clear();
    QTimer::singleShot(0, &chooser, [&] { button(chooser, QStringLiteral("Download"))->click(); });
    EXPECT_EQ(chooser.chooseDownloadFolder(), QString()) << "nothing selected";
}

void writeFile(const QString& path, qint64 size)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(size, 'u'));
}

class LoadFormRuns : public testing::Test
{
protected:
    bool startServer(const QStringList& switches = {})
    {
        server = std::make_unique<FtpTestServer>(FtpServerKind::Family, remote.path(), switches);
        return server->running();
    }

    ftpOperationObject* addUpload(const QString& name, qint64 size)
    {
        writeFile(local.filePath(name), size);
        ftpOperationObject operation;
        operation.request.kind = OperationKind::Upload;
        operation.request.items.files
            = { entryAt(local.filePath(name).toStdString(), static_cast<std::uint64_t>(size)) };
        operation.request.site.hostAddress = "127.0.0.1";
        operation.request.site.displayAddress = "127.0.0.1";
        operation.request.site.port = server ? server->port() : freeTcpPort();
        operation.request.site.anonymous = false;
        operation.request.site.userId = "tester";
        operation.request.site.password = "secret";
        operation.request.site.initialDirectory = "/";
        return actions.addOperation(std::move(operation));
    }

    ftpOperationObject* addDownload(const std::vector<std::pair<std::string, std::uint64_t>>& files)
    {
        ftpOperationObject operation;
        operation.request.kind = OperationKind::Download;
        for (const auto& [path, size] : files)
            operation.request.items.files.push_back(entryAt(path, size));
        operation.request.site.hostAddress = "127.0.0.1";
        operation.request.site.displayAddress = "127.0.0.1";
        operation.request.site.port = server->port();
        operation.request.site.anonymous = false;
        operation.request.site.userId = "tester";
        operation.request.site.password = "secret";
        operation.request.site.initialDirectory = "/";
        return actions.addOperation(std::move(operation));
    }

    TLoadForm* openDownload(ftpOperationObject* row)
    {
        row->request.destination = local.filePath(QStringLiteral("in"));
        return TLoadForm::startFor(setupFor(row), TLoadForm::Start::Minimized);
    }

    TLoadForm* open(ftpOperationObject* row)
    {
        TLoadForm* form = TLoadForm::startFor(setupFor(row), TLoadForm::Start::Minimized);
        // The clock is driven by hand below.
        form->core().progress();
        return form;
    }

    LoadFrameSetup setupFor(ftpOperationObject* row)
    {
        LoadFrameSetup setup;
        setup.actions = &actions;
        setup.operation = row;
        setup.manager = &manager;
        setup.options = &options;
        setup.prompter = &prompter;
        setup.request = row->request;
        return setup;
    }

    // Ticks the window until `done` holds; every tick is one second of the
    // window's clock, though only a short real wait.
    bool tickUntil(TLoadForm* form, const std::function<bool()>& done)
    {
        QPointer<TLoadForm> guard(form);
        return serveUntil([&] {
            if (guard && guard->core().timerRunning())
                guard->core().tick();
            return done();
        });
    }

    QString rowText(const ftpOperationObject* row) const
    {
        const int index = actions.indexOf(row);
        return index < 0 ? QString() : actions.row(index).statusText;
    }

    TempHome home;
    QTemporaryDir remote;
    QTemporaryDir local;
    std::unique_ptr<FtpTestServer> server;
    ActionsList actions { registryFilePath() };
    loaderManager manager;
    connectionOptions options;
    RecordingPrompter prompter;
};

TEST_F(LoadFormRuns, AnUploadRunsToCompletedAndStaysOpenUntilClosed)
{
    ASSERT_TRUE(startServer()) << server->error().toStdString();
    options.Attempts = 1;
    ftpOperationObject* row = addUpload(QStringLiteral("data.bin"), 300000);
    QPointer<TLoadForm> form = open(row);
    EXPECT_EQ(row->window, &form->core());
    ASSERT_TRUE(tickUntil(form, [&] { return row->status == OperationStatus::Finished; }))
        << rowText(row).toStdString();
    EXPECT_EQ(rowText(row), QStringLiteral("Completed!"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Upload Completed! (127.0.0.1)"));
    EXPECT_TRUE(hasLabel(*form, QStringLiteral("292.97 KB / 292.97 KB")));
    EXPECT_TRUE(hasLabel(*form, QStringLiteral("%100")));
    ASSERT_NE(button(*form, QStringLiteral("&Close")), nullptr);
    EXPECT_EQ(QFileInfo(remote.filePath(QStringLiteral("data.bin"))).size(), 300000);
    EXPECT_TRUE(server->commandLog().contains("STOR /data.bin"));

    button(*form, QStringLiteral("&Close"))->click();
    serveUntil([&] { return form.isNull(); });
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(row->status, OperationStatus::Completed);
    EXPECT_EQ(row->window, nullptr);
    EXPECT_FALSE(manager.hasUnfinishedOperations());
}

TEST_F(LoadFormRuns, PausingShowsPausedAndResumeThenResumingFinishesTheFile)
{
    ASSERT_TRUE(startServer({ QStringLiteral("--rate"), QStringLiteral("200000") }));
    ftpOperationObject* row = addUpload(QStringLiteral("slow.bin"), 600000);
    QPointer<TLoadForm> form = open(row);
    ASSERT_TRUE(tickUntil(form, [&] {
        QPushButton* pause = button(*form, QStringLiteral("&Pause"));
        return pause && !pause->isHidden() && form->core().progress()->connectionBytes[0] > 0;
    }));
    button(*form, QStringLiteral("&Pause"))->click();
    EXPECT_TRUE(hasLabel(*form, QStringLiteral("PAUSED!")));
    ASSERT_NE(button(*form, QStringLiteral("&Resume")), nullptr);
    EXPECT_FALSE(button(*form, QStringLiteral("&Resume"))->isEnabled()) << "until the next tick";
    form->core().tick();
    EXPECT_TRUE(button(*form, QStringLiteral("&Resume"))->isEnabled());
    EXPECT_TRUE(hasLabel(*form, QStringLiteral("PAUSED!"))) << "a tick keeps the paused label";

    button(*form, QStringLiteral("&Resume"))->click();
    EXPECT_TRUE(hasLabel(*form, QStringLiteral("Resuming..")));
    EXPECT_NE(button(*form, QStringLiteral("&Pause")), nullptr);
    ASSERT_TRUE(tickUntil(form, [&] { return row->status == OperationStatus::Finished; }))
        << rowText(row).toStdString();
    EXPECT_EQ(QFileInfo(remote.filePath(QStringLiteral("slow.bin"))).size(), 600000);
    EXPECT_TRUE(server->commandLog().contains("REST ")) << "the upload went on from where the server was";
    form->close();
}

TEST_F(LoadFormRuns, AWorkerThatCannotConnectClosesItsWindowWithTheRowStopped)
{
    ftpOperationObject* row = addUpload(QStringLiteral("never.bin"), 10);
    options.Attempts = 1;
    QPointer<TLoadForm> form = open(row);
    ASSERT_TRUE(tickUntil(form, [&] { return form.isNull(); }));
    EXPECT_EQ(rowText(row), QStringLiteral("Incomplete (Stopped)"));
    EXPECT_EQ(row->window, nullptr);
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages[0].startsWith(QStringLiteral("Unable to connect to IP address 127.0.0.1")));
}

TEST_F(LoadFormRuns, ClosingARunningWindowStopsTheWorkerAndLeavesTheRowStopped)
{
    ASSERT_TRUE(startServer({ QStringLiteral("--rate"), QStringLiteral("20000") }));
    ftpOperationObject* row = addUpload(QStringLiteral("big.bin"), 2'000'000);
    QPointer<TLoadForm> form = open(row);
    ASSERT_TRUE(tickUntil(form, [&] { return form->core().progress()->connectionBytes[0] > 0; }));
    EXPECT_TRUE(manager.hasUnfinishedOperations());
    button(*form, QStringLiteral("&Cancel"))->click();
    serveUntil([&] { return form.isNull(); });
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(rowText(row), QStringLiteral("Incomplete (Stopped)"));
    EXPECT_FALSE(manager.hasUnfinishedOperations());
}

TEST_F(LoadFormRuns, ADownloadShowsItsFolderButtonCapabilitiesAndCompletes)
{
    writeFile(remote.filePath(QStringLiteral("pub/film.bin")), 400000);
    ASSERT_TRUE(startServer()) << server->error().toStdString();
    ftpOperationObject* row = addDownload({ { "/pub/film.bin", 400000 } });
    QPointer<TLoadForm> form = openDownload(row);
    ASSERT_FALSE(button(*form, QStringLiteral("&Open Download Folder"))->isHidden());
    ASSERT_TRUE(tickUntil(form, [&] { return row->status == OperationStatus::Finished; }))
        << rowText(row).toStdString() << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Download Completed! (127.0.0.1)"));
    EXPECT_TRUE(hasLabel(*form, QStringLiteral("Resume: Yes")));
    EXPECT_TRUE(hasLabel(*form, QStringLiteral("MD5: Yes")));
    EXPECT_TRUE(hasLabel(*form, QStringLiteral("390.63 KB / 390.63 KB")));
    EXPECT_EQ(QFileInfo(local.filePath(QStringLiteral("in/film.bin"))).size(), 400000);
    EXPECT_TRUE(server->commandLog().contains("SITE MD5 /pub/film.bin"));
    form->close();
    serveUntil([&] { return form.isNull(); });
    EXPECT_EQ(row->status, OperationStatus::Completed);
}

TEST_F(LoadFormRuns, TheFileADownloadIsAtReachesTheStoreWhileItRuns)
{
    // A crash loses nothing that a restart needs: the store already names
    // the second file while the row still reads as running. The files go
    // from the last selected to the first, as the cache keeps them.
    writeFile(remote.filePath(QStringLiteral("pub/one.bin")), 100000);
    writeFile(remote.filePath(QStringLiteral("pub/two.bin")), 2000000);
    ASSERT_TRUE(startServer({ QStringLiteral("--rate"), QStringLiteral("100000") }));
    ftpOperationObject* row = addDownload({ { "/pub/two.bin", 2000000 }, { "/pub/one.bin", 100000 } });
    QPointer<TLoadForm> form = openDownload(row);
    ASSERT_TRUE(tickUntil(form, [&] { return row->lastFileIndex == 1; }))
        << rowText(row).toStdString() << prompter.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(registryShows("Operation0", "LastFileIndex", "1"));
    EXPECT_EQ(IniFile(registryFilePath()).readString("Operation0", "Status", ""), "1");
    EXPECT_EQ(row->status, OperationStatus::Running);
    form->close();
    serveUntil([&] { return form.isNull(); });
}

TEST_F(LoadFormRuns, AnEmbeddedViewHidesItselfAndNotTheWindowAroundIt)
{
    ftpOperationObject* row = addUpload(QStringLiteral("x.bin"), 10);
    LoadFrameSetup setup = setupFor(row);
    setup.embedded = true;
    QWidget tab;
    auto* view = new TLoadFrameView(std::make_unique<TLoadFrame>(std::move(setup)), nullptr, &tab);
    tab.show();
    ASSERT_TRUE(view->isVisible());
    view->core().hide();
    EXPECT_FALSE(view->isVisible());
    EXPECT_TRUE(tab.isVisible()) << "the session's window stays";
}

TEST_F(LoadFormRuns, DetailsCollapseTheWindowAndRestoreItsHeight)
{
    options.ShowLoadFormDetailsAtStartup = true;
    ftpOperationObject* row = addUpload(QStringLiteral("x.bin"), 10);
    LoadFrameSetup setup;
    setup.actions = &actions;
    setup.operation = row;
    setup.manager = &manager;
    setup.options = &options;
    setup.prompter = &prompter;
    setup.request.kind = OperationKind::Delete;
    TLoadForm form(std::move(setup));
    form.resize(600, 400);
    button(form, QStringLiteral("<< &Details"))->click();
    EXPECT_EQ(form.size(), QSize(TLoadForm::collapsedWidth, TLoadForm::collapsedDeleteHeight));
    button(form, QStringLiteral("Details >>"))->click();
    EXPECT_EQ(form.height(), 400);
}

} // namespace
