// Downloads, uploads and deletions started from the browser frame, against
// the family FTP server and vsftpd: on new connections in a transfer window
// of their own, and on the session's connection, lent to the worker and
// taken back.

#include "FtpTestServer.h"
#include "TempHome.h"
#include "frame_test_support.h"
#include "session_test_support.h"

#include "app/ui/TransferWindows.h"
#include "remote/ListOrder.h"
#include "session/RemoteTree.h"
#include "session/ui/ModeListView.h"
#include "session/ui/RemoteListModel.h"
#include "session/ui/TClientFrame.h"
#include "transfer/ActionsList.h"
#include "transfer/LoaderManager.h"
#include "transfer/ui/LoadForm.h"

#include <QDropEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTreeWidget>
#include <QUrl>

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Stands for the main window: deletes finished transfer views, reloads the
// session's folder when asked, and counts what it received.
class shellStub : public QObject
{
public:
    ftpClient* session = nullptr;
    int refreshes = 0;
    int closed = 0;

protected:
    bool event(QEvent* event) override
    {
        if (!NoticeEvent::isNotice(event))
            return QObject::event(event);
        const auto* notice = static_cast<NoticeEvent*>(event);
        switch (notice->notice()) {
        case Notice::ObjectDone:
            delete notice->object();
            break;
        case Notice::RefreshSession:
            ++refreshes;
            if (session && notice->object() == session)
                session->refreshListing();
            break;
        case Notice::SessionClosed:
            ++closed;
            break;
        default:
            break;
        }
        return true;
    }
};

TLoadForm* openTransferWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* form = qobject_cast<TLoadForm*>(widget); form && form->isVisible())
            return form;
    }
    return nullptr;
}

class HandOverTest : public testing::Test
{
protected:
    void SetUp() override
    {
        listOrder::resetHeaderClicks();
        options.TimeoutPeriod = 10;
        liveOptions.TimeoutPeriod = 10;
        liveOptions.Attempts = 1;
        layout.InitialPath = localFolder.path();
        layout.FTPListViewMode = "Detail";
        layout.LocalListViewMode = "Detail";
        const QDateTime now = QDateTime::currentDateTime();
        makeFile(root.path() + QStringLiteral("/pub/small.txt"), "small", now);
        makeFile(root.path() + QStringLiteral("/pub/big/large.bin"), large, now);
        makeFile(root.path() + QStringLiteral("/pub/big/note.txt"), "note", now);
        QDir().mkpath(root.path() + QStringLiteral("/pub/Archive"));
    }

    void TearDown() override
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<TLoadForm*>(widget))
                delete widget;
        }
        session.reset();
        frame.reset();
        manager.closeAll();
        listOrder::resetHeaderClicks();
    }

    bool start(FtpServerKind kind = FtpServerKind::Family)
    {
        server = std::make_unique<FtpTestServer>(kind, root.path());
        if (!server->running())
            return false;
        frame = std::make_shared<TClientFrame>(prompter, layout);
        frame->resize(900, 600);
        frame->show();
        ftpSite site = siteOf(*server);
        site.initialDirectory = "/pub";
        session
            = std::make_unique<ftpClient>(site, frame, ftpClient::environment { prompter, &shell, options });
        frame->setSession(session.get());
        session->setTransfers(
            transferServices { &actions, &manager, &liveOptions, {}, &windows }, frame.get());
        shell.session = session.get();
        session->start();
        return session->established();
    }

    QStringList shownNames() const { return shownNamesOf(*frame); }

    int rowOf(const QString& name) const { return static_cast<int>(shownNames().indexOf(name)); }

    void select(const QString& name)
    {
        QItemSelectionModel* selection = frame->remoteList()->selectionModel();
        selection->clearSelection();
        selection->select(frame->remoteModel()->index(rowOf(name), 0),
            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    QByteArrayList commands() const
    {
        QByteArrayList lines = server->commandLog().split('\n');
        lines.removeAll(QByteArray());
        return lines;
    }

    qsizetype countOf(const QByteArray& prefix) const
    {
        const QByteArrayList lines = commands();
        return std::count_if(
            lines.begin(), lines.end(), [&](const QByteArray& line) { return line.startsWith(prefix); });
    }

    // The embedded transfer ran to its end and its view handed the
    // connection back.
    bool lentTransferEnds()
    {
        return runEventsUntil([&] { return !session->connectionLent() && !frame->embeddedTransfer(); },
            std::chrono::seconds(60));
    }

    // The window's worker finished (or the window closed itself).
    bool windowTransferEnds(TLoadForm* form)
    {
        const QPointer<TLoadForm> window(form);
        return form
            && runEventsUntil([&] { return !window || window->core().progress()->finished.load(); },
                std::chrono::seconds(60));
    }

    // Local files dropped from a file manager at `point` of `viewport`.
    void dropFiles(QWidget* viewport, const QPoint& point, const QStringList& paths)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromLocalFile(path);
        data.setUrls(urls);
        QDragEnterEvent enter(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(point), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &drop);
    }

    const QByteArray large = patternBytes(1 << 20);
    TempHome home;
    QTemporaryDir root;
    QTemporaryDir localFolder;
    GUIOptions layout;
    connectionOptions options;
    connectionOptions liveOptions;
    scriptedPrompter prompter;
    shellStub shell;
    ActionsList actions { home.file(QStringLiteral("Registry.ini")) };
    loaderManager manager;
    TransferWindows windows;
    std::unique_ptr<FtpTestServer> server;
    std::shared_ptr<TClientFrame> frame;
    std::unique_ptr<ftpClient> session;
};

// ---------------------------------------------------------------- downloads

TEST_F(HandOverTest, AFolderDownloadsOnNewConnectionsInEightPartsIntoTheLocalFolder)
{
    liveOptions.UseSingleConnectionForDownloads = connectionOptions::NewConnection;
    ASSERT_TRUE(start());
    select(QStringLiteral("big"));
    frame->downloadClicked(false);
    TLoadForm* form = openTransferWindow();
    ASSERT_NE(form, nullptr) << "a transfer window of its own";
    EXPECT_FALSE(session->connectionLent());
    ASSERT_TRUE(windowTransferEnds(form));
    EXPECT_EQ(readLocalFile(localFolder.filePath(QStringLiteral("big/large.bin"))), large);
    EXPECT_EQ(readLocalFile(localFolder.filePath(QStringLiteral("big/note.txt"))), "note");
    EXPECT_EQ(countOf("RETR /pub/big/large.bin"), 8) << commands().join('\n').toStdString();
    for (int part = 1; part < 8; ++part)
        EXPECT_EQ(countOf("REST " + QByteArray::number(part * large.size() / 8)), 1) << "part " << part;
    EXPECT_GE(countOf("USER tester"), 2) << "the worker logs in on its own";
    ASSERT_EQ(actions.rowCount(), 1);
    const ftpOperationObject& operation = *actions.row(0).operation;
    EXPECT_EQ(operation.request.kind, OperationKind::Download);
    EXPECT_EQ(QDir::cleanPath(operation.request.destination), localFolder.path());
    EXPECT_EQ(displayNamesOf(operation.request.items), std::vector<std::string> { "big/" });
    ASSERT_EQ(operation.request.items.folders.size(), 1u);
    EXPECT_EQ(operation.request.items.folders.front().path, "/pub/big");
    EXPECT_TRUE(prompter.texts.isEmpty()) << prompter.texts.join(QLatin1Char('|')).toStdString();
}

class HandOverOwnConnection : public HandOverTest, public testing::WithParamInterface<FtpServerKind>
{
};

TEST_P(HandOverOwnConnection, AFolderDownloadsOnTheSessionsConnectionWhichListsAgainAfterwards)
{
    liveOptions.UseSingleConnectionForDownloads = connectionOptions::OwnConnection;
    ASSERT_TRUE(start(GetParam())) << server->error().toStdString();
    select(QStringLiteral("big"));
    frame->downloadClicked(false);
    ASSERT_NE(frame->embeddedTransfer(), nullptr) << "the transfer runs inside the frame";
    EXPECT_EQ(openTransferWindow(), nullptr);
    EXPECT_TRUE(session->connectionLent());
    EXPECT_FALSE(frame->remoteList()->isEnabled()) << "the session's commands wait for the connection";
    EXPECT_TRUE(frame->embeddedTransfer()->core().display().closeWhenDone);
    ASSERT_TRUE(lentTransferEnds());
    EXPECT_EQ(readLocalFile(localFolder.filePath(QStringLiteral("big/large.bin"))), large);
    EXPECT_EQ(readLocalFile(localFolder.filePath(QStringLiteral("big/note.txt"))), "note");
    EXPECT_EQ(session->state(), sessionState::Connected);
    EXPECT_TRUE(frame->remoteList()->isEnabled());
    ASSERT_EQ(actions.rowCount(), 1);
    EXPECT_EQ(actions.row(0).operation->status, OperationStatus::Completed);

    // The connection is the session's again: it lists, on the same login.
    session->changeDirectoryAndList("/pub/big");
    EXPECT_EQ(session->currentDirectory(), "/pub/big");
    EXPECT_EQ(entryNames(*session).size(), 2);
    EXPECT_TRUE(shownNames().contains(QStringLiteral("large.bin")));
    if (GetParam() == FtpServerKind::Family) {
        EXPECT_EQ(countOf("USER "), 1) << "one login: the session's";
        EXPECT_EQ(countOf("RETR /pub/big/large.bin"), 1) << "one part on a lent connection";
    }
    // What the worker said on the connection reached the session's log.
    EXPECT_TRUE(frame->logView()->toPlainText().contains(QStringLiteral("RETR /pub/big/large.bin")))
        << frame->logView()->toPlainText().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Servers, HandOverOwnConnection,
    testing::Values(FtpServerKind::Family, FtpServerKind::Vsftpd),
    [](const testing::TestParamInfo<FtpServerKind>& info) {
        return FtpTestServer::kindName(info.param).toStdString();
    });

TEST_F(HandOverTest, TheConnectionQuestionIsAskedOnceAndTheAnswerRemembered)
{
    ASSERT_EQ(liveOptions.UseSingleConnectionForDownloads, connectionOptions::Ask);
    ASSERT_TRUE(start());
    prompter.answers = { false }; // No: the session's own connection
    for (int round = 0; round < 2; ++round) {
        select(QStringLiteral("small.txt"));
        frame->downloadClicked(false);
        ASSERT_TRUE(session->connectionLent()) << "round " << round;
        ASSERT_TRUE(lentTransferEnds()) << "round " << round;
    }
    ASSERT_EQ(prompter.texts.size(), 1) << prompter.texts.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(prompter.texts.front().startsWith(QStringLiteral(
        "Do you want to launch a new connection (YES) or use the current connection for the download "
        "operation (NO)?")));
    EXPECT_EQ(liveOptions.UseSingleConnectionForDownloads, connectionOptions::OwnConnection);
    EXPECT_EQ(liveOptions.UseSingleConnectionForUploads, connectionOptions::Ask)
        << "each kind asks for itself";
    EXPECT_EQ(readLocalFile(localFolder.filePath(QStringLiteral("small.txt"))), "small");
    EXPECT_EQ(countOf("RETR /pub/small.txt"), 2);
}

TEST_F(HandOverTest, DownloadingIntoAPlaceThatIsNoFolderIsRefused)
{
    liveOptions.UseSingleConnectionForDownloads = connectionOptions::NewConnection;
    ASSERT_TRUE(start());
    std::vector<const ftpObject*> selection { session->entries().front() };
    session->downloadSelected(selection, QString());
    EXPECT_EQ(prompter.texts, QStringList { QStringLiteral("Cannot download to non-filesystem folder.") });
    EXPECT_EQ(openTransferWindow(), nullptr);
    EXPECT_EQ(actions.rowCount(), 0);
}

// ---------------------------------------------------------------- uploads

TEST_F(HandOverTest, FilesDroppedOnAFolderEntryUploadIntoThatFolderButNoLinkLeadsOut)
{
    liveOptions.UseSingleConnectionForUploads = connectionOptions::NewConnection;
    QTemporaryDir outside;
    makeFile(outside.filePath(QStringLiteral("secret.txt")), "secret", QDateTime::currentDateTime());
    QTemporaryDir dragged;
    const QString file = dragged.filePath(QStringLiteral("dropped.txt"));
    const QString folder = dragged.filePath(QStringLiteral("dir"));
    makeFile(file, "dropped", QDateTime::currentDateTime());
    makeFile(folder + QStringLiteral("/inner.txt"), "inner", QDateTime::currentDateTime());
    ASSERT_TRUE(QFile::link(outside.path(), folder + QStringLiteral("/away")));
    ASSERT_TRUE(
        QFile::link(outside.filePath(QStringLiteral("secret.txt")), folder + QStringLiteral("/leak.txt")));
    ASSERT_TRUE(start());

    QWidget* viewport = frame->remoteList()->detailView()->viewport();
    const int row = rowOf(QStringLiteral("Archive"));
    ASSERT_GE(row, 0);
    const QPoint point
        = frame->remoteList()->detailView()->visualRect(frame->remoteModel()->index(row, 0)).center();
    dropFiles(viewport, point, { file, folder });
    TLoadForm* form = openTransferWindow();
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(windowTransferEnds(form));

    const QString archive = root.path() + QStringLiteral("/pub/Archive");
    EXPECT_EQ(readLocalFile(archive + QStringLiteral("/dropped.txt")), "dropped");
    EXPECT_EQ(readLocalFile(archive + QStringLiteral("/dir/inner.txt")), "inner");
    EXPECT_FALSE(QFileInfo::exists(archive + QStringLiteral("/dir/away"))) << "a link out is not followed";
    EXPECT_FALSE(QFileInfo::exists(archive + QStringLiteral("/dir/away/secret.txt")));
    EXPECT_FALSE(QFileInfo::exists(archive + QStringLiteral("/dir/leak.txt")));
    EXPECT_EQ(countOf("STOR /pub/Archive/dropped.txt"), 1) << commands().join('\n').toStdString();
    EXPECT_EQ(countOf("STOR /pub/Archive/dir/inner.txt"), 1);
    EXPECT_EQ(countOf("STOR"), 2);
    EXPECT_FALSE(shownNames().contains(QStringLiteral("dropped.txt"))) << "it went into Archive, not here";
    ASSERT_EQ(actions.rowCount(), 1);
    EXPECT_EQ(actions.row(0).operation->request.site.initialDirectory, "/pub/Archive");
}

TEST_F(HandOverTest, FilesDroppedOnAFolderWhoseNameIsNoUtf8LandInThatFolder)
{
    liveOptions.UseSingleConnectionForUploads = connectionOptions::NewConnection;
    // "café" in Latin-1: the server's bytes, not UTF-8.
    const QByteArray folderName("caf\xe9");
    const QByteArray folderOnDisk = QFile::encodeName(root.path()) + "/pub/" + folderName;
    ASSERT_EQ(::mkdir(folderOnDisk.constData(), 0777), 0);
    // Nor can Qt remove it: the temporary folder's clean-up would stop there.
    struct removedByBytes {
        QByteArray folder;
        ~removedByBytes()
        {
            ::unlink((folder + "/dropped.txt").constData());
            ::rmdir(folder.constData());
        }
    } cleanUp { folderOnDisk };
    ASSERT_EQ(::chmod(folderOnDisk.constData(), 0777), 0) << "vsftpd's anonymous user writes into it";
    QTemporaryDir dragged;
    const QString file = dragged.filePath(QStringLiteral("dropped.txt"));
    makeFile(file, "dropped", QDateTime::currentDateTime());
    ASSERT_TRUE(start(FtpServerKind::Vsftpd)) << server->error().toStdString();

    int row = -1;
    frame->remoteModel()->flush();
    for (int at = 0; at < frame->remoteModel()->rowCount(); ++at) {
        if (frame->remoteModel()->entryAt(at)->name == folderName.toStdString())
            row = at;
    }
    ASSERT_GE(row, 0) << shownNames().join(QLatin1Char('|')).toStdString();
    dropFiles(frame->remoteList()->detailView()->viewport(),
        frame->remoteList()->detailView()->visualRect(frame->remoteModel()->index(row, 0)).center(),
        { file });
    TLoadForm* form = openTransferWindow();
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(windowTransferEnds(form));

    // Read by its bytes: Qt's file names do not carry a name that is no UTF-8.
    std::ifstream landed((folderOnDisk + "/dropped.txt").toStdString(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(landed), {}), "dropped")
        << commands().join('\n').toStdString();
    EXPECT_FALSE(QFileInfo::exists(root.path() + QStringLiteral("/pub/dropped.txt")));
    ASSERT_EQ(actions.rowCount(), 1);
    EXPECT_EQ(actions.row(0).operation->request.site.initialDirectory, "/pub/" + folderName.toStdString());
    // Stored and read back, a restart goes to the same bytes.
    ASSERT_TRUE(actions.storeAll());
    ActionsList stored { home.file(QStringLiteral("Registry.ini")) };
    stored.loadAll("guest@example.com");
    ASSERT_EQ(stored.rowCount(), 1);
    EXPECT_EQ(stored.row(0).operation->request.site.initialDirectory, "/pub/" + folderName.toStdString());
    EXPECT_TRUE(prompter.texts.isEmpty()) << prompter.texts.join(QLatin1Char('|')).toStdString();
}

TEST_F(HandOverTest, FilesDroppedOnTheTreeOnTheSessionsConnectionUploadThenTheFolderIsListedAgain)
{
    liveOptions.UseSingleConnectionForUploads = connectionOptions::OwnConnection;
    QTemporaryDir dragged;
    const QString file = dragged.filePath(QStringLiteral("tree drop.txt"));
    makeFile(file, "on the tree", QDateTime::currentDateTime());
    ASSERT_TRUE(start());
    QTreeWidgetItem* item = frame->remoteTree()->itemOf(*session->selectedNode());
    ASSERT_NE(item, nullptr);
    ASSERT_EQ(item->text(0), QStringLiteral("pub"));
    const QPoint point = frame->remoteTree()->visualItemRect(item).center();
    dropFiles(frame->remoteTree()->viewport(), point, { file });
    EXPECT_TRUE(shownNames().contains(QStringLiteral("tree drop.txt")))
        << "shown at once in the selected folder";
    ASSERT_TRUE(lentTransferEnds());
    EXPECT_EQ(readLocalFile(root.path() + QStringLiteral("/pub/tree drop.txt")), "on the tree");
    ASSERT_TRUE(
        runEventsUntil([&] { return shell.refreshes == 1 && session->state() == sessionState::Connected; }));
    EXPECT_EQ(countOf("USER "), 1);
    EXPECT_GE(countOf("LIST"), 2) << "listed again after the upload";
    const ftpObject* uploaded = nullptr;
    for (const auto& entry : session->entries()) {
        if (entry->name == "tree drop.txt")
            uploaded = entry;
    }
    ASSERT_NE(uploaded, nullptr);
    EXPECT_EQ(uploaded->size, 11) << "the listing's size, not the placeholder's";
}

// ---------------------------------------------------------------- deletions

TEST_F(HandOverTest, DeletingAFolderRemovesItsTreeNodeAndItsFilesOnTheServer)
{
    liveOptions.UseSingleConnectionForDeletes = connectionOptions::OwnConnection;
    ASSERT_TRUE(start());
    ASSERT_TRUE(QFileInfo::exists(root.path() + QStringLiteral("/pub/big/large.bin")));
    const auto treeNames = [&] {
        QStringList names;
        for (QTreeWidgetItemIterator it(frame->remoteTree()); *it; ++it)
            names << (*it)->text(0);
        return names;
    };
    ASSERT_TRUE(treeNames().contains(QStringLiteral("big")));
    select(QStringLiteral("big"));
    frame->setActivePane(TClientFrame::RemoteList);
    frame->deleteClicked();
    EXPECT_EQ(prompter.texts.value(0), QStringLiteral("Do you really want to delete?"));
    EXPECT_FALSE(treeNames().contains(QStringLiteral("big")));
    EXPECT_FALSE(shownNames().contains(QStringLiteral("big")));
    ASSERT_TRUE(lentTransferEnds());
    EXPECT_FALSE(QFileInfo::exists(root.path() + QStringLiteral("/pub/big")));
    EXPECT_EQ(countOf("DELE /pub/big/large.bin"), 1) << commands().join('\n').toStdString();
    EXPECT_EQ(countOf("RMD /pub/big"), 1);
    ASSERT_TRUE(
        runEventsUntil([&] { return shell.refreshes == 1 && session->state() == sessionState::Connected; }));
    EXPECT_FALSE(entryNames(*session).contains(QStringLiteral("big")));
    EXPECT_TRUE(entryNames(*session).contains(QStringLiteral("small.txt")));
}

// A UNIX link chosen in the list goes as the link it is: the folder it
// leads to keeps its files, and no folder removal fails.
TEST_F(HandOverTest, DeletingALinkToAFolderRemovesTheLinkAndLeavesTheFolder)
{
    liveOptions.UseSingleConnectionForDeletes = connectionOptions::OwnConnection;
    const QByteArray link = QFile::encodeName(root.path() + QStringLiteral("/pub/biglink"));
    ASSERT_EQ(::symlink("big", link.constData()), 0);
    ASSERT_TRUE(start());
    select(QStringLiteral("biglink"));
    frame->setActivePane(TClientFrame::RemoteList);
    frame->deleteClicked();
    ASSERT_TRUE(lentTransferEnds());
    EXPECT_EQ(prompter.texts, QStringList({ QStringLiteral("Do you really want to delete?") }));
    struct stat status {
    };
    EXPECT_NE(::lstat(link.constData(), &status), 0) << "the link is gone";
    EXPECT_EQ(readLocalFile(root.path() + QStringLiteral("/pub/big/large.bin")), large);
    EXPECT_EQ(readLocalFile(root.path() + QStringLiteral("/pub/big/note.txt")), "note");
    EXPECT_EQ(commands().count("DELE /pub/biglink"), 1) << commands().join('\n').toStdString();
    EXPECT_EQ(countOf("DELE /pub/biglink/"), 0);
    EXPECT_EQ(countOf("CWD /pub/biglink"), 0);
    EXPECT_EQ(countOf("RMD"), 0);
    ASSERT_TRUE(
        runEventsUntil([&] { return shell.refreshes == 1 && session->state() == sessionState::Connected; }));
    EXPECT_FALSE(entryNames(*session).contains(QStringLiteral("biglink")));
    EXPECT_TRUE(entryNames(*session).contains(QStringLiteral("big")));
}

TEST_F(HandOverTest, ADeletionAnsweredNoSendsNothing)
{
    liveOptions.UseSingleConnectionForDeletes = connectionOptions::NewConnection;
    ASSERT_TRUE(start());
    prompter.answers = { false };
    select(QStringLiteral("small.txt"));
    frame->setActivePane(TClientFrame::RemoteList);
    frame->deleteClicked();
    EXPECT_EQ(openTransferWindow(), nullptr);
    EXPECT_TRUE(shownNames().contains(QStringLiteral("small.txt")));
    EXPECT_EQ(countOf("DELE"), 0);
    EXPECT_EQ(actions.rowCount(), 0);
}

// ---------------------------------------------------------------- stopping

TEST_F(HandOverTest, CommandsFromTheMenuLeaveALentConnectionAlone)
{
    liveOptions.UseSingleConnectionForDownloads = connectionOptions::OwnConnection;
    ASSERT_TRUE(start());
    select(QStringLiteral("big"));
    frame->downloadClicked(false);
    ASSERT_TRUE(session->connectionLent());
    const std::vector<const ftpObject*> selection = frame->selectedEntries();
    session->changePassword();
    session->searchServer();
    session->deleteSelected(selection);
    session->downloadSelected(selection, localFolder.path());
    session->uploadSelected({ root.filePath(QStringLiteral("pub/small.txt")) });
    EXPECT_TRUE(prompter.texts.isEmpty()) << prompter.texts.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(actions.rowCount(), 1) << "no second operation";
    ASSERT_TRUE(lentTransferEnds());
    EXPECT_EQ(readLocalFile(localFolder.filePath(QStringLiteral("big/large.bin"))), large);
    EXPECT_EQ(countOf("SITE CHPWD"), 0);
    EXPECT_EQ(countOf("DELE"), 0);
    EXPECT_EQ(countOf("STOR"), 0);
    EXPECT_EQ(countOf("RETR /pub/big/large.bin"), 1);
}

TEST_F(HandOverTest, DisconnectingWhileTheConnectionIsLentStopsTheTransferFirst)
{
    liveOptions.UseSingleConnectionForDownloads = connectionOptions::OwnConnection;
    ASSERT_TRUE(start());
    select(QStringLiteral("big"));
    frame->downloadClicked(false);
    ASSERT_TRUE(session->connectionLent());
    session->disconnectSession(true);
    EXPECT_FALSE(session->connectionLent());
    EXPECT_EQ(frame->embeddedTransfer(), nullptr);
    EXPECT_TRUE(runEventsUntil([&] { return shell.closed == 1; }));
    ASSERT_EQ(actions.rowCount(), 1);
    EXPECT_NE(actions.row(0).operation->status, OperationStatus::Running);
}

} // namespace
