// The browser frame driven as a user drives it, against the family FTP
// server and vsftpd: listing and sorting, the active pane's commands, and
// the file commands with their dialogs answered on screen.

#include "../net/ftp_test_support.h"
#include "FtpTestServer.h"
#include "TempHome.h"
#include "frame_test_support.h"
#include "session_test_support.h"

#include "remote/ListOrder.h"
#include "session/ui/LocalComputerPane.h"
#include "session/ui/ModeListView.h"
#include "session/ui/NameDialog.h"
#include "session/ui/PropertiesDialog.h"
#include "session/ui/RemoteListModel.h"
#include "session/ui/SearchKeywordDialog.h"
#include "session/ui/TClientFrame.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>

#include <gtest/gtest.h>

#include <deque>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// /pub: two folders, a link file, files of several types, sizes and ages.
void fillServerRoot(const QString& root)
{
    const QDateTime now = QDateTime::currentDateTime();
    makeFile(root + QStringLiteral("/pub/alpha.txt"), "12345", now.addDays(-3));
    makeFile(root + QStringLiteral("/pub/Beta.png"), "1", now.addYears(-3));
    makeFile(root + QStringLiteral("/pub/gamma.txt"), QByteArray(300, 'g'), now.addYears(-2));
    makeFile(root + QStringLiteral("/pub/site.wkt"), "[Zelta Link]\n", now.addDays(-1));
    makeFile(root + QStringLiteral("/pub/docs/readme.txt"), "r", now);
    QDir().mkpath(root + QStringLiteral("/pub/Archive"));
}

int modeOnDisk(const QString& path)
{
    struct stat status {
    };
    return ::stat(QFile::encodeName(path).constData(), &status) == 0
        ? static_cast<int>(status.st_mode & 07777)
        : -1;
}

void answerName(const QString& text)
{
    whenDialogShows<NameDialog>([text](NameDialog& dialog) {
        dialog.edit()->setText(text);
        dialog.accept();
    });
}

class FrameTest : public testing::Test
{
protected:
    void SetUp() override
    {
        listOrder::resetHeaderClicks();
        options.TimeoutPeriod = 10;
        fillServerRoot(root.path());
        layout.InitialPath = localFolder.path();
        layout.FTPListViewMode = "Detail";
        layout.LocalListViewMode = "Detail";
    }

    void TearDown() override
    {
        session.reset();
        frame.reset();
        listOrder::resetHeaderClicks();
    }

    bool start(FtpServerKind kind = FtpServerKind::Family, const QStringList& switches = {},
        const std::string& folder = "/pub")
    {
        server = std::make_unique<FtpTestServer>(kind, root.path(), switches);
        if (!server->running())
            return false;
        frame = std::make_shared<TClientFrame>(prompter, layout);
        frame->resize(900, 600);
        frame->show();
        ftpSite site = siteOf(*server);
        site.name = siteName;
        site.initialDirectory = folder;
        session = std::make_unique<ftpClient>(
            site, frame, ftpClient::environment { prompter, &notices, options });
        frame->setSession(session.get());
        session->start();
        return session->established();
    }

    QStringList shownNames() const { return shownNamesOf(*frame); }

    int rowOf(const QString& name) const { return static_cast<int>(shownNames().indexOf(name)); }

    void select(const QStringList& names)
    {
        QItemSelectionModel* selection = frame->remoteList()->selectionModel();
        selection->clearSelection();
        for (const QString& name : names) {
            selection->select(frame->remoteModel()->index(rowOf(name), 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    void clickHeader(int column)
    {
        QHeaderView* header = frame->remoteList()->detailView()->header();
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(column) + 5, 5));
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

    // Drags the remote list's selection onto `point` of `viewport` and drops
    // it there when the target accepts it; false when it refuses.
    bool dropListItemsOn(QWidget* viewport, const QPoint& point)
    {
        QMimeData data;
        data.setData(QString::fromLatin1(RemoteListModel::internalDragFormat), QByteArray());
        QDragEnterEvent enter(point, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent drop(QPointF(point), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &drop);
        return true;
    }

    QAction* popupItem(const QString& text) const
    {
        frame->adjustRemotePopup();
        for (QAction* action : frame->remotePopup()->actions()) {
            if (action->text() == text)
                return action;
        }
        return nullptr;
    }

    QPoint centreOfRow(int row) const
    {
        return frame->remoteList()->detailView()->visualRect(frame->remoteModel()->index(row, 0)).center();
    }

    std::string siteName = "Frame site";
    TempHome home;
    QTemporaryDir root;
    QTemporaryDir localFolder;
    GUIOptions layout;
    connectionOptions options;
    scriptedPrompter prompter;
    noticeCounter notices;
    std::unique_ptr<FtpTestServer> server;
    std::shared_ptr<TClientFrame> frame;
    std::unique_ptr<ftpClient> session;
};

// ---------------------------------------------------------------- listing and sorting

TEST_F(FrameTest, AListingShowsFoldersFirstInTheTreeAndTheList)
{
    ASSERT_TRUE(start()) << prompter.texts.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(shownNames(),
        (QStringList { QStringLiteral("Archive"), QStringLiteral("docs"), QStringLiteral("site.wkt"),
            QStringLiteral("alpha.txt"), QStringLiteral("gamma.txt"), QStringLiteral("Beta.png") }));
    EXPECT_EQ(frame->pathEdit()->text(), QStringLiteral("/pub"));
    EXPECT_EQ(frame->statusText(), QStringLiteral("Ready."));
    EXPECT_TRUE(frame->remoteList()->isEnabled());
    QTreeWidgetItem* current = frame->remoteTree()->currentItem();
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(current->text(0), QStringLiteral("pub"));
    EXPECT_EQ(current->childCount(), 2);
    EXPECT_EQ(current->child(0)->text(0), QStringLiteral("Archive"));
    EXPECT_EQ(frame->remoteModel()->data(
                  frame->remoteModel()->index(rowOf(QStringLiteral("gamma.txt")), 1), Qt::DisplayRole),
        QStringLiteral("1 KB"));
    EXPECT_TRUE(frame->logView()->toPlainText().contains(QStringLiteral("> LIST")));
}

TEST_F(FrameTest, NamesThatAreNoUtf8ReadTheSameInTheListTheTreeAndThePath)
{
    // "café" in Latin-1, as an older server's disk holds it: a folder and a
    // file inside it. Qt's file names cannot carry these bytes.
    const QByteArray folderOnDisk = QFile::encodeName(root.path()) + "/pub/caf\xe9";
    ASSERT_EQ(::mkdir(folderOnDisk.constData(), 0755), 0);
    const QByteArray fileOnDisk = folderOnDisk + "/caf\xe9.txt";
    ASSERT_EQ(::close(::open(fileOnDisk.constData(), O_CREAT | O_WRONLY, 0644)), 0);
    struct removedByBytes {
        QByteArray folder, file;
        ~removedByBytes()
        {
            ::unlink(file.constData());
            ::rmdir(folder.constData());
        }
    } cleanUp { folderOnDisk, fileOnDisk };
    const QString cafe = QStringLiteral("caf\u00e9");

    // vsftpd lists the bytes as they are (the family server's library makes
    // them "?").
    ASSERT_TRUE(start(FtpServerKind::Vsftpd)) << prompter.texts.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(shownNames().contains(cafe)) << shownNames().join(QLatin1Char('|')).toStdString();
    QTreeWidgetItem* pub = frame->remoteTree()->currentItem();
    ASSERT_NE(pub, nullptr);
    QStringList nodes;
    for (int i = 0; i < pub->childCount(); ++i)
        nodes << pub->child(i)->text(0);
    EXPECT_TRUE(nodes.contains(cafe)) << nodes.join(QLatin1Char('|')).toStdString();

    session->changeDirectoryAndList("/pub/caf\xe9");
    EXPECT_EQ(frame->pathEdit()->text(), QStringLiteral("/pub/") + cafe);
    EXPECT_EQ(shownNames(), QStringList { cafe + QStringLiteral(".txt") });
}

TEST_F(FrameTest, HeaderClicksSortPositiveThenNegativeByEachColumn)
{
    ASSERT_TRUE(start());
    clickHeader(RemoteListModel::NameColumn); // the first click ever: +1, names descending
    EXPECT_EQ(frame->remoteModel()->sortKey(), listOrder::nameKey);
    EXPECT_EQ(shownNames().front(), QStringLiteral("site.wkt"));
    clickHeader(RemoteListModel::SizeColumn); // the next click on any header: -2
    EXPECT_EQ(frame->remoteModel()->sortKey(), -listOrder::sizeKey);
    EXPECT_EQ(shownNames().mid(0, 3),
        (QStringList {
            QStringLiteral("Beta.png"), QStringLiteral("alpha.txt"), QStringLiteral("site.wkt") }));
    clickHeader(RemoteListModel::DateColumn); // +3: the latest first
    EXPECT_EQ(frame->remoteModel()->sortKey(), listOrder::dateKey);
    EXPECT_EQ(shownNames().back(), QStringLiteral("Beta.png"));
    const QStringList byDate = shownNames();
    EXPECT_LT(byDate.indexOf(QStringLiteral("alpha.txt")), byDate.indexOf(QStringLiteral("gamma.txt")));
    clickHeader(RemoteListModel::RightsColumn); // -6: files, then folders
    EXPECT_EQ(frame->remoteModel()->sortKey(), -listOrder::rightsKey);
    EXPECT_EQ(shownNames().mid(4), (QStringList { QStringLiteral("Archive"), QStringLiteral("docs") }));
    clickHeader(RemoteListModel::TypeColumn); // +4: regular files first
    EXPECT_EQ(frame->remoteModel()->sortKey(), listOrder::typeKey);
    EXPECT_EQ(shownNames().back(), QStringLiteral("Archive"));
}

TEST_F(FrameTest, RefreshAfterAClickInTheLocalListReloadsTheLocalFolderNotTheServer)
{
    ASSERT_TRUE(start());
    const qsizetype listings = countOf("LIST");
    QWidget* localViewport = frame->localPane()->list()->detailView()->viewport();
    QTest::mouseClick(localViewport, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(frame->activePane(), TClientFrame::LocalList);
    writeLocalFile(localFolder.filePath(QStringLiteral("new-local.txt")), "n");
    frame->refreshClicked();
    QFileSystemModel* model = frame->localPane()->listModel();
    EXPECT_TRUE(runEventsUntil(
        [&] { return model->index(localFolder.filePath(QStringLiteral("new-local.txt"))).isValid(); },
        std::chrono::seconds(5)));
    EXPECT_EQ(countOf("LIST"), listings);

    QTest::mouseClick(frame->remoteList()->detailView()->viewport(), Qt::LeftButton, {}, centreOfRow(0));
    EXPECT_EQ(frame->activePane(), TClientFrame::RemoteList);
    frame->refreshClicked();
    EXPECT_EQ(countOf("LIST"), listings + 1);
}

// ---------------------------------------------------------------- rename and move

TEST_F(FrameTest, RenameSendsRnfrRntoAndListsTheFolderAgain)
{
    ASSERT_TRUE(start());
    select({ QStringLiteral("alpha.txt") });
    frame->setActivePane(TClientFrame::RemoteList);
    answerName(QStringLiteral("/pub/omega.txt"));
    frame->renameClicked();
    EXPECT_TRUE(commands().contains("RNFR /pub/alpha.txt"));
    EXPECT_TRUE(commands().contains("RNTO /pub/omega.txt"));
    EXPECT_TRUE(QFileInfo::exists(root.filePath(QStringLiteral("pub/omega.txt"))));
    EXPECT_TRUE(shownNames().contains(QStringLiteral("omega.txt")));
    EXPECT_FALSE(shownNames().contains(QStringLiteral("alpha.txt")));
    EXPECT_TRUE(prompter.texts.contains(
        QStringLiteral("Moving/renaming may cause overwriting. Do you still want to move the object?")));
}

TEST_F(FrameTest, RenameToTheSamePathOrCancelledOrWithALineBreakSendsNothing)
{
    ASSERT_TRUE(start());
    frame->setActivePane(TClientFrame::RemoteList);
    for (const QString& answer :
        { QStringLiteral("/pub/alpha.txt"), QString(), QStringLiteral("/pub/a\r\nDELE x") }) {
        select({ QStringLiteral("alpha.txt") });
        answerName(answer);
        frame->renameClicked();
    }
    EXPECT_EQ(countOf("RNFR"), 0);
    EXPECT_EQ(countOf("DELE"), 0);
    ASSERT_EQ(prompter.texts.size(), 1);
    EXPECT_TRUE(prompter.texts.front().contains(QStringLiteral("line break")));
}

TEST_F(FrameTest, RenameWithoutASelectionAsksForOne)
{
    ASSERT_TRUE(start());
    frame->setActivePane(TClientFrame::RemoteList);
    frame->renameClicked();
    EXPECT_EQ(prompter.texts,
        QStringList {
            QStringLiteral("Please select file(s) and/or directory(s) to rename and then try again.") });
}

TEST_F(FrameTest, ListItemsDroppedOnAFolderItemMoveWithoutAQuestion)
{
    ASSERT_TRUE(start());
    select({ QStringLiteral("alpha.txt"), QStringLiteral("gamma.txt") });
    ASSERT_TRUE(dropListItemsOn(
        frame->remoteList()->detailView()->viewport(), centreOfRow(rowOf(QStringLiteral("docs")))));
    EXPECT_TRUE(commands().contains("RNTO /pub/docs/alpha.txt"));
    EXPECT_TRUE(commands().contains("RNTO /pub/docs/gamma.txt"));
    EXPECT_TRUE(QFileInfo::exists(root.filePath(QStringLiteral("pub/docs/gamma.txt"))));
    EXPECT_TRUE(prompter.texts.isEmpty());
    EXPECT_FALSE(shownNames().contains(QStringLiteral("alpha.txt")));
    // A file is no target.
    select({ QStringLiteral("Beta.png") });
    EXPECT_FALSE(dropListItemsOn(
        frame->remoteList()->detailView()->viewport(), centreOfRow(rowOf(QStringLiteral("site.wkt")))));
    EXPECT_EQ(countOf("RNFR"), 2);
}

TEST_F(FrameTest, ManyFoldersMovedAtOnceLeaveTheTreeWithTheOthersInOrder)
{
    // More than are taken out of a folder one by one.
    QStringList folders;
    for (int i = 0; i < 40; ++i) {
        folders << QStringLiteral("f%1").arg(i, 2, 10, QLatin1Char('0'));
        QDir().mkpath(root.filePath(QStringLiteral("pub/") + folders.back()));
    }
    ASSERT_TRUE(start());
    QTreeWidgetItem* pub = frame->remoteTree()->currentItem();
    ASSERT_EQ(pub->childCount(), 42);
    const QStringList moved = folders.mid(3, 30);
    select(moved);
    ASSERT_TRUE(dropListItemsOn(
        frame->remoteList()->detailView()->viewport(), centreOfRow(rowOf(QStringLiteral("docs")))));
    EXPECT_EQ(countOf("RNTO /pub/docs/f"), 30);
    ASSERT_EQ(frame->remoteTree()->currentItem(), frame->remoteTree()->itemOf(*session->selectedNode()));
    pub = frame->remoteTree()->currentItem();
    ASSERT_NE(pub, nullptr);
    EXPECT_EQ(pub->text(0), QStringLiteral("pub"));
    QStringList left;
    for (int at = 0; at < pub->childCount(); ++at)
        left << pub->child(at)->text(0);
    EXPECT_EQ(left,
        QStringList({ QStringLiteral("Archive"), QStringLiteral("docs") }) + folders.mid(0, 3)
            + folders.mid(33));
    for (const QString& name : moved)
        EXPECT_FALSE(shownNames().contains(name)) << name.toStdString();
}

TEST_F(FrameTest, AFolderDroppedOnATreeNodeMovesAfterTheQuestionAndLosesItsNode)
{
    ASSERT_TRUE(start());
    QTreeWidgetItem* pub = frame->remoteTree()->currentItem();
    ASSERT_EQ(pub->childCount(), 2);
    QTreeWidgetItem* rootItem = pub->parent();
    ASSERT_NE(rootItem, nullptr);
    prompter.answers = { false };
    select({ QStringLiteral("Archive") });
    const QPoint onRoot = frame->remoteTree()->visualItemRect(rootItem).center();
    ASSERT_TRUE(dropListItemsOn(frame->remoteTree()->viewport(), onRoot));
    EXPECT_EQ(countOf("RNFR"), 0);
    select({ QStringLiteral("Archive") });
    ASSERT_TRUE(dropListItemsOn(frame->remoteTree()->viewport(), onRoot));
    EXPECT_TRUE(commands().contains("RNFR /pub/Archive"));
    EXPECT_TRUE(commands().contains("RNTO /Archive"));
    EXPECT_TRUE(QFileInfo(root.filePath(QStringLiteral("Archive"))).isDir());
    EXPECT_EQ(prompter.texts.count(QStringLiteral(
                  "Moving/renaming may cause overwriting. Do you still want to move the object(s)?")),
        2);
    pub = frame->remoteTree()->itemOf(*session->selectedNode());
    ASSERT_NE(pub, nullptr);
    ASSERT_EQ(pub->childCount(), 1);
    EXPECT_EQ(pub->child(0)->text(0), QStringLiteral("docs"));
}

TEST_F(FrameTest, ADragOverTheTreeHighlightsTheNodeUnderThePointerUntilItLeavesOrDrops)
{
    ASSERT_TRUE(start());
    QTreeWidget* tree = frame->remoteTree();
    QTreeWidgetItem* pub = tree->currentItem();
    ASSERT_NE(pub, nullptr);
    QTreeWidgetItem* rootItem = pub->parent();
    ASSERT_NE(rootItem, nullptr);
    const auto highlighted = [&](QTreeWidgetItem* item) {
        return item->data(0, Qt::BackgroundRole).value<QBrush>() == tree->palette().highlight();
    };
    const QPoint onPub = tree->visualItemRect(pub).center();
    const QPoint onRoot = tree->visualItemRect(rootItem).center();
    const QPoint belowAll(5, tree->viewport()->height() - 3);
    ASSERT_EQ(tree->itemAt(belowAll), nullptr);

    QMimeData files;
    files.setUrls({ QUrl::fromLocalFile(localFolder.filePath(QStringLiteral("upload.txt"))) });
    const auto move = [&](QEvent::Type type, const QPoint& point, const QMimeData& data) {
        QDragMoveEvent event(
            point, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier, type);
        QCoreApplication::sendEvent(tree->viewport(), &event);
        return event.isAccepted();
    };
    ASSERT_TRUE(move(QEvent::DragEnter, onPub, files));
    EXPECT_EQ(frame->remoteTree()->dropHighlighted(), pub);
    EXPECT_TRUE(highlighted(pub));
    ASSERT_TRUE(move(QEvent::DragMove, onRoot, files));
    EXPECT_EQ(frame->remoteTree()->dropHighlighted(), rootItem);
    EXPECT_TRUE(highlighted(rootItem));
    EXPECT_FALSE(highlighted(pub)) << "the node left behind looks as before";
    EXPECT_TRUE(move(QEvent::DragMove, belowAll, files)) << "files dropped on no node go to the start folder";
    EXPECT_EQ(frame->remoteTree()->dropHighlighted(), nullptr);
    EXPECT_FALSE(highlighted(rootItem));
    ASSERT_TRUE(move(QEvent::DragMove, onPub, files));
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(tree->viewport(), &leave);
    EXPECT_EQ(frame->remoteTree()->dropHighlighted(), nullptr);
    EXPECT_FALSE(highlighted(pub));
    EXPECT_EQ(tree->currentItem(), pub) << "the listed folder stays the tree's current node";

    // List items dragged onto a node: highlighted, and no longer once dropped.
    prompter.answers = { false };
    select({ QStringLiteral("alpha.txt") });
    QMimeData items;
    items.setData(QString::fromLatin1(RemoteListModel::internalDragFormat), QByteArray());
    ASSERT_TRUE(move(QEvent::DragEnter, onRoot, items));
    EXPECT_TRUE(highlighted(rootItem));
    QDropEvent drop(QPointF(onRoot), Qt::MoveAction, &items, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(tree->viewport(), &drop);
    EXPECT_EQ(frame->remoteTree()->dropHighlighted(), nullptr);
    EXPECT_FALSE(highlighted(rootItem));
    EXPECT_EQ(countOf("RNFR"), 0) << "the move was answered No";
}

TEST_F(FrameTest, FilesDraggedOverTheListHighlightOnlyAFolderEntry)
{
    ASSERT_TRUE(start());
    QWidget* viewport = frame->remoteList()->detailView()->viewport();
    RemoteListModel* model = frame->remoteModel();
    const auto highlighted = [&](const QString& name) {
        return model->data(model->index(rowOf(name), 0), Qt::BackgroundRole).value<QBrush>()
            == QApplication::palette().highlight();
    };
    QMimeData files;
    files.setUrls({ QUrl::fromLocalFile(localFolder.filePath(QStringLiteral("upload.txt"))) });
    const auto move = [&](QEvent::Type type, const QString& over) {
        QDragMoveEvent event(
            centreOfRow(rowOf(over)), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier, type);
        QCoreApplication::sendEvent(viewport, &event);
        return event.isAccepted();
    };
    ASSERT_TRUE(move(QEvent::DragEnter, QStringLiteral("docs")));
    EXPECT_TRUE(highlighted(QStringLiteral("docs")));
    EXPECT_TRUE(move(QEvent::DragMove, QStringLiteral("alpha.txt"))) << "files dropped on a file go here";
    EXPECT_FALSE(highlighted(QStringLiteral("alpha.txt")));
    EXPECT_FALSE(highlighted(QStringLiteral("docs")));
    EXPECT_EQ(model->dropTarget(), nullptr);
    ASSERT_TRUE(move(QEvent::DragMove, QStringLiteral("Archive")));
    EXPECT_TRUE(highlighted(QStringLiteral("Archive")));
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(viewport, &leave);
    EXPECT_FALSE(highlighted(QStringLiteral("Archive")));
    EXPECT_EQ(model->dropTarget(), nullptr);
}

// ---------------------------------------------------------------- new folder, permissions, password

TEST_F(FrameTest, CreateObjectMakesTheFolderInTheCurrentDirectory)
{
    ASSERT_TRUE(start());
    frame->setActivePane(TClientFrame::RemoteList);
    answerName(QStringLiteral("fresh"));
    frame->createObjectClicked();
    EXPECT_TRUE(commands().contains("MKD /pub/fresh"));
    EXPECT_TRUE(QFileInfo(root.filePath(QStringLiteral("pub/fresh"))).isDir());
    EXPECT_TRUE(shownNames().contains(QStringLiteral("fresh")));
}

TEST_F(FrameTest, CreateObjectWithABookmarkChosenUploadsItsLinkFile)
{
    ASSERT_TRUE(start());
    const QString linkFile = localFolder.filePath(QStringLiteral("mirror.wkt"));
    makeFile(linkFile, "[Zelta Link]\nAddress=mirror.example\n", QDateTime::currentDateTime());
    int asked = 0;
    frame->chooseNewObject = [&](QWidget*) {
        ++asked;
        return std::optional<newObjectRequest>(
            newObjectRequest { newObjectRequest::Kind::Link, "mirror.wkt", linkFile });
    };
    frame->setActivePane(TClientFrame::RemoteList);
    frame->createObjectClicked();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(commands().contains("STOR /pub/mirror.wkt"));
    EXPECT_EQ(readLocalFile(root.filePath(QStringLiteral("pub/mirror.wkt"))), readLocalFile(linkFile));
    EXPECT_TRUE(shownNames().contains(QStringLiteral("mirror.wkt")));
    EXPECT_FALSE(commands().contains("MKD /pub/mirror.wkt"));
}

TEST_F(FrameTest, PropertiesSendChmodFromTheBoxesOr711FromAnEmptyField)
{
    ASSERT_TRUE(start());
    select({ QStringLiteral("alpha.txt") });
    whenDialogShows<PropertiesDialog>([](PropertiesDialog& dialog) {
        const bool checked[] = { true, true, true, true, false, true, true, false, true };
        for (int box = 0; box < 9; ++box)
            dialog.box(box)->setChecked(checked[box]);
        dialog.findChild<QPushButton*>(QStringLiteral("BoxesOk"))->click();
    });
    popupItem(QStringLiteral("Properties"))->trigger();
    EXPECT_TRUE(commands().contains("SITE CHMOD 755 /pub/alpha.txt"));

    select({ QStringLiteral("alpha.txt"), QStringLiteral("gamma.txt") });
    whenDialogShows<PropertiesDialog>([](PropertiesDialog& dialog) {
        dialog.findChild<QPushButton*>(QStringLiteral("ManualOk"))->click();
    });
    session->changePermissions(frame->selectedEntries());
    EXPECT_TRUE(commands().contains("SITE CHMOD 711 /pub/alpha.txt"));
    EXPECT_TRUE(commands().contains("SITE CHMOD 711 /pub/gamma.txt"));
    EXPECT_TRUE(prompter.texts.isEmpty());
}

TEST_F(FrameTest, PropertiesRefuseOctalDigitsAboveSevenAndAskBeforeLockingTheOwnerOut)
{
    ASSERT_TRUE(start());
    const auto typeManually = [](const char* keys) {
        whenDialogShows<PropertiesDialog>([keys](PropertiesDialog& dialog) {
            QTest::keyClicks(dialog.manualEdit(), QString::fromLatin1(keys));
            dialog.findChild<QPushButton*>(QStringLiteral("ManualOk"))->click();
        });
    };
    select({ QStringLiteral("alpha.txt") });
    typeManually("789");
    session->changePermissions(frame->selectedEntries());
    ASSERT_EQ(prompter.texts.size(), 1);
    EXPECT_TRUE(prompter.texts.front().contains(QStringLiteral("digits 0 to 7")));
    prompter.answers = { false };
    typeManually("4444"); // the fourth digit is ignored: 444 takes writing away
    session->changePermissions(frame->selectedEntries());
    EXPECT_EQ(prompter.texts.size(), 2);
    EXPECT_TRUE(prompter.texts.back().contains(QStringLiteral("lock you out")));
    EXPECT_EQ(countOf("SITE CHMOD"), 0);
}

// Each chosen mode lands on the file chosen: a folder shown again from the
// listing cache sends no CWD, so the server still stands in the folder
// listed last, where a file of the same name lies. The family server and
// proftpd both take the whole path.
class FrameChmodServers : public FrameTest, public testing::WithParamInterface<FtpServerKind>
{
};

TEST_P(FrameChmodServers, PropertiesChangeTheFileShownAndNotItsNamesakeWhereTheServerStands)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString one = root.filePath(QStringLiteral("pub/one/same.txt"));
    const QString two = root.filePath(QStringLiteral("pub/two/same.txt"));
    makeFile(one, "one", now);
    makeFile(two, "two", now);
    ASSERT_EQ(::chmod(QFile::encodeName(one).constData(), 0644), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(two).constData(), 0644), 0);
    ASSERT_TRUE(start(GetParam())) << server->error().toStdString();
    session->changeDirectoryAndList("/pub/one");
    session->changeDirectoryAndList("/pub/two");
    const qsizetype sent = commands().size();
    session->changeDirectoryAndList("/pub/one");
    ASSERT_EQ(commands().size(), sent) << "shown from the cache";
    select({ QStringLiteral("same.txt") });
    whenDialogShows<PropertiesDialog>([](PropertiesDialog& dialog) {
        for (int box = 0; box < 9; ++box)
            dialog.box(box)->setChecked(box < 2);
        dialog.findChild<QPushButton*>(QStringLiteral("BoxesOk"))->click();
    });
    popupItem(QStringLiteral("Properties"))->trigger();
    EXPECT_TRUE(commands().contains("SITE CHMOD 600 /pub/one/same.txt"));
    EXPECT_EQ(modeOnDisk(one), 0600);
    EXPECT_EQ(modeOnDisk(two), 0644);
    EXPECT_TRUE(prompter.texts.isEmpty()) << "600 leaves the owner reading and writing";
    if (GetParam() != FtpServerKind::Family)
        return;

    // A search result, listed in the family server's virtual folder, is
    // named by its own folder too.
    session->runServerSearch("same", 0);
    std::vector<const ftpObject*> found;
    for (const auto& entry : session->entries()) {
        if (entry->name == "same.txt" && entry->directory == "/pub/two/")
            found.push_back(entry);
    }
    ASSERT_EQ(found.size(), 1u);
    whenDialogShows<PropertiesDialog>([](PropertiesDialog& dialog) {
        for (int box = 0; box < 9; ++box)
            dialog.box(box)->setChecked(box < 2 || box == 3);
        dialog.findChild<QPushButton*>(QStringLiteral("BoxesOk"))->click();
    });
    session->changePermissions(found);
    EXPECT_TRUE(commands().contains("SITE CHMOD 640 /pub/two/same.txt"));
    EXPECT_EQ(modeOnDisk(one), 0600);
    EXPECT_EQ(modeOnDisk(two), 0640);
    EXPECT_TRUE(prompter.texts.isEmpty()) << prompter.texts.join(QLatin1Char('|')).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Frame, FrameChmodServers,
    testing::Values(FtpServerKind::Family, FtpServerKind::Proftpd),
    [](const testing::TestParamInfo<FtpServerKind>& info) {
        return FtpTestServer::kindName(info.param).toStdString();
    });

// One refusal does not end the change: the rest of the selection is still
// tried, and every entry left unchanged is named, in the log and in one
// message with the server's reason.
TEST_F(FrameTest, PropertiesTryEveryEntryAfterARefusalAndNameEachOneLeftUnchanged)
{
    ASSERT_TRUE(start());
    select({ QStringLiteral("alpha.txt"), QStringLiteral("Beta.png"), QStringLiteral("gamma.txt") });
    // Gone behind the session's back: the server refuses these two.
    ASSERT_TRUE(QFile::remove(root.filePath(QStringLiteral("pub/alpha.txt"))));
    ASSERT_TRUE(QFile::remove(root.filePath(QStringLiteral("pub/Beta.png"))));
    whenDialogShows<PropertiesDialog>([](PropertiesDialog& dialog) {
        dialog.findChild<QPushButton*>(QStringLiteral("ManualOk"))->click();
    });
    popupItem(QStringLiteral("Properties"))->trigger();
    EXPECT_EQ(countOf("SITE CHMOD 711 "), 3);
    EXPECT_EQ(modeOnDisk(root.filePath(QStringLiteral("pub/gamma.txt"))), 0711);
    ASSERT_EQ(prompter.texts.size(), 1) << prompter.texts.join(QLatin1Char('|')).toStdString();
    const QString message = prompter.texts.front();
    EXPECT_TRUE(message.startsWith(QStringLiteral(
        "This server does NOT support UNIX-type permissions (CHMOD command)\n\nNot changed:\n")))
        << message.toStdString();
    const QString unchanged
        = message.section(QStringLiteral("Not changed:\n"), 1).section(QStringLiteral("\n\n"), 0, 0);
    EXPECT_EQ(unchanged.split(QLatin1Char('\n')).size(), 2) << message.toStdString();
    EXPECT_TRUE(unchanged.contains(QStringLiteral("/pub/alpha.txt")));
    EXPECT_TRUE(unchanged.contains(QStringLiteral("/pub/Beta.png")));
    EXPECT_TRUE(message.contains(QStringLiteral("\n\nDetails from server:\n550"))) << message.toStdString();
    const QString log = frame->logView()->toPlainText();
    EXPECT_TRUE(log.contains(QStringLiteral("! Permissions not changed: /pub/alpha.txt")));
    EXPECT_TRUE(log.contains(QStringLiteral("! Permissions not changed: /pub/Beta.png")));
    EXPECT_FALSE(log.contains(QStringLiteral("! Permissions not changed: /pub/gamma.txt")));
}

TEST_F(FrameTest, ADosListingHasNoPermissionsToChange)
{
    ASSERT_TRUE(start(FtpServerKind::Family, { QStringLiteral("--listing"), QStringLiteral("dos") }));
    select({ QStringLiteral("alpha.txt") });
    ASSERT_EQ(frame->selectedEntries().size(), 1u);
    EXPECT_EQ(frame->selectedEntries().front()->rights, "???????");
    session->changePermissions(frame->selectedEntries());
    ASSERT_EQ(prompter.texts.size(), 1);
    EXPECT_TRUE(prompter.texts.front().startsWith(
        QStringLiteral("This server does NOT support UNIX-type permissions (CHMOD command)")));
    EXPECT_EQ(countOf("SITE CHMOD"), 0);
}

TEST_F(FrameTest, TheBookmarkButtonWritesTheSiteWithTheCurrentFolderAsALinkFile)
{
    ASSERT_TRUE(start());
    session->changeDirectoryAndList("/pub/docs");
    QAction* bookmark = nullptr;
    for (QAction* action : frame->toolBar()->actions()) {
        if (action->objectName() == QStringLiteral("Bookmark"))
            bookmark = action;
    }
    ASSERT_NE(bookmark, nullptr);
    bookmark->trigger();
    const QByteArray link = home.read(QStringLiteral("My FTP Links/Frame site.wkt"));
    ASSERT_FALSE(link.isEmpty());
    const QByteArrayList lines = link.split('\n');
    for (const QByteArray& expected : { QByteArray("[Zelta Link]"), QByteArray("Name=Frame site"),
             QByteArray("Address=127.0.0.1"), "Port=" + QByteArray::number(server->port()),
             QByteArray("Anonymous=0"), QByteArray("UserID=tester"), QByteArray("Password=secret"),
             QByteArray("Initial_Directory=/pub/docs") })
        EXPECT_TRUE(lines.contains(expected)) << expected.toStdString() << " in\n" << link.toStdString();
    EXPECT_EQ(prompter.texts,
        QStringList { QStringLiteral("The current site is added to your bookmarks into the root folder.") });
}

TEST_F(FrameTest, ABookmarkOfASiteNamedLikeAPathWritesNothing)
{
    siteName = "../escape";
    ASSERT_TRUE(start());
    session->addBookmark();
    EXPECT_FALSE(QFileInfo::exists(home.file(QStringLiteral("escape.wkt"))));
    EXPECT_TRUE(QDir(home.file(QStringLiteral("My FTP Links"))).entryList(QDir::Files).isEmpty());
    ASSERT_EQ(prompter.texts.size(), 1);
    EXPECT_FALSE(prompter.texts.front().startsWith(QStringLiteral("The current site is added")));
}

TEST_F(FrameTest, ChangePasswordSendsSiteChpwdAndKeepsTheNewPassword)
{
    ASSERT_TRUE(start());
    whenDialogShows<NameDialog>([](NameDialog& dialog) {
        EXPECT_EQ(dialog.edit()->echoMode(), QLineEdit::Password);
        dialog.edit()->setText(QStringLiteral("n3w-secret"));
        dialog.accept();
    });
    session->changePassword();
    EXPECT_TRUE(commands().contains("SITE CHPWD n3w-secret"));
    EXPECT_EQ(session->site().password, "n3w-secret");
    EXPECT_FALSE(frame->logView()->toPlainText().contains(QStringLiteral("n3w-secret")));
}

TEST_F(FrameTest, TheSearchButtonAsksForKeywordsAndSearchesTheServerWithTheChosenMatch)
{
    ASSERT_TRUE(start());
    QAction* search = frame->toolBar()->findChild<QAction*>(QStringLiteral("Search"));
    ASSERT_NE(search, nullptr);
    whenDialogShows<SearchKeywordDialog>([](SearchKeywordDialog& dialog) {
        EXPECT_EQ(dialog.modeBox()->currentText(), QStringLiteral("All keywords"));
        dialog.reject();
    });
    search->trigger();
    EXPECT_FALSE(server->commandLog().contains("SRCH")) << "cancelled: nothing is sent";

    whenDialogShows<SearchKeywordDialog>([](SearchKeywordDialog& dialog) {
        dialog.keywordEdit()->setText(QStringLiteral("alpha beta"));
        dialog.modeBox()->setCurrentIndex(1);
        dialog.accept();
    });
    search->trigger();
    const QByteArray sent = server->commandLog();
    EXPECT_TRUE(sent.contains("SITE SRCHMODE 1")) << sent.toStdString();
    EXPECT_TRUE(sent.contains("SITE SRCH alpha beta")) << sent.toStdString();
    EXPECT_EQ(session->serverSearchMode(), 1);
}

// ---------------------------------------------------------------- vsftpd

TEST_F(FrameTest, VsftpdListsAndARefusedRenameSaysSo)
{
    ASSERT_TRUE(start(FtpServerKind::Vsftpd)) << prompter.texts.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(shownNames().mid(0, 2), (QStringList { QStringLiteral("Archive"), QStringLiteral("docs") }));
    select({ QStringLiteral("gamma.txt") });
    frame->setActivePane(TClientFrame::RemoteList);
    answerName(QStringLiteral("/pub/renamed.txt"));
    frame->renameClicked();
    EXPECT_TRUE(prompter.texts.contains(
        QStringLiteral("Rename operation failed. You do not have the permission to rename.")));
    EXPECT_TRUE(QFileInfo::exists(root.filePath(QStringLiteral("pub/gamma.txt"))));
    EXPECT_TRUE(frame->remoteList()->isEnabled());
}

} // namespace
