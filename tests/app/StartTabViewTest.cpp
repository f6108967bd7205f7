#include "app/ui/StartTabView.h"
#include "app/ui/BookmarkTreeWidget.h"

#include "app/BookmarkTree.h"
#include "app/MainForm.h"
#include "app/ui/MainFormView.h"
#include "app/ui/TMDForm.h"
#include "settings/ui/TOptionsForm.h"

#include "ScriptedPrompter.h"
#include "TempHome.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <vector>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace
{
const std::string anonymousPassword = "guest@example.org";

class StartTabTest : public testing::Test
{
protected:
    QString links() const { return home.file(QStringLiteral("My FTP Links")); }
    bool exists(const QString& relative) const
    {
        return QFileInfo::exists(links() + QLatin1Char('/') + relative);
    }

    void click(const QString& text)
    {
        for (QPushButton* button : view.findChildren<QPushButton*>())
            if (button->text() == text)
                return button->click();
        FAIL() << "no button " << text.toStdString();
    }
    QLineEdit* edit(int index) const { return view.findChildren<QLineEdit*>().at(index); }
    QLineEdit* profileName() const { return edit(0); }
    QLineEdit* address() const { return edit(1); }
    QLineEdit* port() const { return edit(2); }
    QLineEdit* user() const { return edit(4); }
    QLineEdit* password() const { return edit(5); }
    QCheckBox* anonymous() const { return view.findChild<QCheckBox*>(); }

    // Answers the next name dialog with `text`, as a user typing it and
    // pressing "Ok".
    void answerNameDialog(const QString& text)
    {
        QTimer::singleShot(0, [text, this] {
            auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialogPrompts << dialog->windowTitle() + QLatin1Char('|') + dialog->labelText() + QLatin1Char('|')
                    + dialog->textValue();
            dialog->setTextValue(text);
            dialog->accept();
        });
    }
    QTreeWidgetItem* item(const QStringList& path) const
    {
        QTreeWidgetItem* current = view.treeWidget()->topLevelItem(0);
        for (const QString& text : path) {
            QTreeWidgetItem* next = nullptr;
            for (int i = 0; i < current->childCount() && !next; ++i)
                if (current->child(i)->text(0) == text)
                    next = current->child(i);
            if (!next)
                return nullptr;
            current = next;
        }
        return current;
    }
    QStringList childTexts(const QStringList& path) const
    {
        QStringList out;
        if (QTreeWidgetItem* folder = item(path))
            for (int i = 0; i < folder->childCount(); ++i)
                out << folder->child(i)->text(0);
        return out;
    }
    void selectItem(const QStringList& path)
    {
        QTreeWidgetItem* target = item(path);
        ASSERT_NE(target, nullptr) << path.join(QLatin1Char('/')).toStdString();
        view.treeWidget()->setCurrentItem(target);
    }
    // Keys and mouse reach the tree only in a shown, active window.
    void showWithTreeFocused()
    {
        view.show();
        QApplication::setActiveWindow(&view);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
        view.treeWidget()->setFocus();
    }
    void typeSite(const QString& name, const QString& host)
    {
        profileName()->setText(name);
        address()->setText(host);
    }

    TempHome home;
    ScriptedPrompter prompter;
    BookmarkTree tree { links(), prompter, [] { return anonymousPassword; } };
    std::vector<ftpSite> opened;
    StartTabView view { tree, prompter, [] { return anonymousPassword; },
        [this](const ftpSite& site) { opened.push_back(site); } };
    QStringList dialogPrompts;
};

TEST_F(StartTabTest, ShowsTheRootSelectedAnAnonymousPanelAndOnlyLowerCaseLinkFiles)
{
    home.write(QStringLiteral("My FTP Links/Shown.wkt"), "[Zelta Link]\nAddress=a\n");
    home.write(QStringLiteral("My FTP Links/Hidden.WKT"), "[Zelta Link]\nAddress=b\n");
    StartTabView fresh(tree, prompter, [] { return anonymousPassword; }, {});
    EXPECT_EQ(fresh.treeWidget()->currentItem()->text(0), QStringLiteral("My FTP Links"));
    EXPECT_TRUE(fresh.treeWidget()->currentItem()->isExpanded());
    QStringList texts;
    for (int i = 0; i < fresh.treeWidget()->topLevelItem(0)->childCount(); ++i)
        texts << fresh.treeWidget()->topLevelItem(0)->child(i)->text(0);
    EXPECT_EQ(texts, QStringList({ QStringLiteral("Private"), QStringLiteral("Shown") }));
    EXPECT_TRUE(anonymous()->isChecked());
    EXPECT_FALSE(user()->isEnabled());
    EXPECT_EQ(password()->text(), QString::fromStdString(anonymousPassword));
    EXPECT_EQ(port()->text(), QStringLiteral("21"));
    EXPECT_EQ(address()->placeholderText(), QStringLiteral("<Enter IP address here>"));
    EXPECT_EQ(profileName()->placeholderText(), QStringLiteral("<Enter site ID (optional)>"));
}

TEST_F(StartTabTest, StoringTwiceKeepsOneNodeAndSelectingItFillsThePanel)
{
    typeSite(QStringLiteral("Home"), QStringLiteral("old.example.org"));
    click(QStringLiteral("Store Site"));
    anonymous()->setChecked(false);
    EXPECT_TRUE(user()->isEnabled());
    EXPECT_EQ(user()->text(), QString());
    user()->setText(QStringLiteral("ann"));
    password()->setText(QStringLiteral("secret"));
    address()->setText(QStringLiteral("new.example.org"));
    click(QStringLiteral("Store Site"));
    EXPECT_EQ(childTexts({}), QStringList({ QStringLiteral("Private"), QStringLiteral("Home") }));
    EXPECT_TRUE(home.read(QStringLiteral("My FTP Links/Home.wkt")).contains("Address=new.example.org\n"));

    click(QStringLiteral("New Site"));
    EXPECT_EQ(address()->text(), QString());
    EXPECT_TRUE(anonymous()->isChecked());
    selectItem({ QStringLiteral("Private") });
    selectItem({ QStringLiteral("Home") });
    EXPECT_EQ(address()->text(), QStringLiteral("new.example.org"));
    EXPECT_EQ(user()->text(), QStringLiteral("ann"));
    EXPECT_EQ(password()->text(), QStringLiteral("secret"));
    EXPECT_FALSE(anonymous()->isChecked());
    EXPECT_TRUE(prompter.shown.isEmpty());
}

TEST_F(StartTabTest, RenamingAFolderThenStoringIntoItWritesIntoTheRenamedFolder)
{
    answerNameDialog(QStringLiteral("Work"));
    click(QStringLiteral("New Folder"));
    selectItem({ QStringLiteral("Work") });
    answerNameDialog(QStringLiteral("Job"));
    click(QStringLiteral("Rename"));
    EXPECT_EQ(dialogPrompts,
        QStringList({ QStringLiteral("New Folder|Enter new folder name|"),
            QStringLiteral("Rename|Enter new object name|Work") }));
    typeSite(QStringLiteral("Deep"), QStringLiteral("h.example.org"));
    click(QStringLiteral("Store Site"));
    EXPECT_TRUE(exists(QStringLiteral("Job/Deep.wkt")));
    EXPECT_FALSE(exists(QStringLiteral("Work")));
    EXPECT_EQ(childTexts({ QStringLiteral("Job") }), QStringList({ QStringLiteral("Deep") }));
}

TEST_F(StartTabTest, CutAndPasteAFolderWithTheKeys)
{
    answerNameDialog(QStringLiteral("Move Me"));
    click(QStringLiteral("New Folder"));
    selectItem({ QStringLiteral("Move Me") });
    typeSite(QStringLiteral("Inside"), QStringLiteral("h.example.org"));
    click(QStringLiteral("Store Site"));
    selectItem({ QStringLiteral("Move Me") });
    showWithTreeFocused();
    QTest::keyClick(view.treeWidget(), Qt::Key_X, Qt::ControlModifier);
    selectItem({ QStringLiteral("Private") });
    QTest::keyClick(view.treeWidget(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(exists(QStringLiteral("Private/Move Me/Inside.wkt")));
    EXPECT_FALSE(exists(QStringLiteral("Move Me")));
    EXPECT_EQ(childTexts({}), QStringList({ QStringLiteral("Private") }));
    EXPECT_EQ(childTexts({ QStringLiteral("Private"), QStringLiteral("Move Me") }),
        QStringList({ QStringLiteral("Inside") }));
}

TEST_F(StartTabTest, CopyingASiteIntoItsOwnFolderFromTheContextMenuLeavesOneNode)
{
    typeSite(QStringLiteral("Home"), QStringLiteral("h.example.org"));
    click(QStringLiteral("Store Site"));
    const auto trigger = [&](const QString& text) {
        for (QAction* action : view.treeWidget()->actions())
            if (action->text() == text)
                action->trigger();
    };
    trigger(QStringLiteral("Copy"));
    trigger(QStringLiteral("Paste"));
    EXPECT_EQ(childTexts({}), QStringList({ QStringLiteral("Private"), QStringLiteral("Home") }));
    EXPECT_TRUE(home.read(QStringLiteral("My FTP Links/Home.wkt")).contains("h.example.org"));
}

TEST_F(StartTabTest, DeleteAnsweredNoKeepsTheFolder)
{
    answerNameDialog(QStringLiteral("Keep"));
    click(QStringLiteral("New Folder"));
    selectItem({ QStringLiteral("Keep") });
    prompter.answers = { false };
    click(QStringLiteral("Delete"));
    EXPECT_TRUE(exists(QStringLiteral("Keep")));
    EXPECT_EQ(childTexts({}), QStringList({ QStringLiteral("Keep"), QStringLiteral("Private") }));
    prompter.answers = { true };
    click(QStringLiteral("Delete"));
    EXPECT_FALSE(exists(QStringLiteral("Keep")));
    EXPECT_EQ(childTexts({}), QStringList({ QStringLiteral("Private") }));
}

TEST_F(StartTabTest, ConnectOpensASessionOnTheSiteFromButtonDoubleClickAndEnter)
{
    home.write(QStringLiteral("My FTP Links/Carol.wkt"),
        "[Zelta "
        "Link]\nAddress=<carol>\nPort=2121\nAnonymous=0\nUserID=ann\nPassword=pw\nInitial_Directory=/pub\n");
    selectItem({ QStringLiteral("Private") });
    selectItem({});
    selectItem({ QStringLiteral("Carol") });
    showWithTreeFocused();
    const QRect rect = view.treeWidget()->visualItemRect(item({ QStringLiteral("Carol") }));
    // An item view takes a double click only on the item the button went down on.
    QTest::mousePress(view.treeWidget()->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(view.treeWidget()->viewport(), Qt::LeftButton, {}, rect.center());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].name, "Carol");
    EXPECT_FALSE(opened[0].persistent);
    EXPECT_EQ(opened[0].p2pUserName, "carol");
    EXPECT_EQ(opened[0].port, 2121u);
    EXPECT_EQ(opened[0].userId, "ann");
    EXPECT_EQ(opened[0].password, "pw");
    EXPECT_EQ(opened[0].initialDirectory, "/pub");

    QTest::keyClick(view.treeWidget(), Qt::Key_Return);
    QTest::keyClick(address(), Qt::Key_Return);
    click(QStringLiteral("&Connect"));
    EXPECT_EQ(opened.size(), 4u);

    click(QStringLiteral("New Site"));
    click(QStringLiteral("&Connect"));
    EXPECT_EQ(opened.size(), 4u);
    EXPECT_EQ(prompter.shown, QStringList({ loginTexts::loginHint() }));
}

TEST_F(StartTabTest, ImportSitesBringsAFileZillaSiteManagerIntoTheSelectedFolder)
{
    view.setChooseImportFile([] { return QStringLiteral("fixtures/sitemanager.xml"); });
    selectItem({ QStringLiteral("Private") });
    click(QStringLiteral("Import Sites..."));
    EXPECT_EQ(childTexts({ QStringLiteral("Private") }),
        QStringList({ QStringLiteral("Work"), QStringLiteral("Slash_Name"), QStringLiteral("Top Site") }));
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_TRUE(prompter.shown[0].startsWith(QStringLiteral("4 site(s) imported.")));
    selectItem({ QStringLiteral("Private"), QStringLiteral("Work") });
    EXPECT_EQ(childTexts({ QStringLiteral("Private"), QStringLiteral("Work") }),
        QStringList({ QStringLiteral("Nested"), QStringLiteral("Office") }));
}

TEST_F(StartTabTest, TheNameAndPortBoxesRefuseWhatTheyMustNot)
{
    profileName()->clear();
    QTest::keyClicks(profileName(), QStringLiteral("a/b:c*d?e<f>g|h\\i'j"));
    EXPECT_EQ(profileName()->text(), QStringLiteral("abcdefghij"));
    port()->clear();
    QTest::keyClicks(port(), QStringLiteral("8x0a2199"));
    EXPECT_EQ(port()->text(), QStringLiteral("80219"));
}

TEST(StartTabInMainWindow, ShowsTheProgramFoldersBookmarksAndConnectsThroughTheShell)
{
    TempHome home;
    QDir(home.path()).mkpath(QStringLiteral("My FTP Links"));
    home.write(
        QStringLiteral("My FTP Links/Demo.wkt"), "[Zelta Link]\nAddress=127.0.0.1\nPort=2121\nAnonymous=1\n");
    ScriptedPrompter prompter;
    TMainForm shell({}, prompter);
    std::vector<ftpSite> opened;
    shell.openSiteInNewSession = [&](const ftpSite& site) { opened.push_back(site); };
    MainFormView window(shell);
    auto* tabs = window.findChild<QTabWidget*>();
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Start"));
    auto* start = qobject_cast<StartTabView*>(tabs->widget(0));
    ASSERT_NE(start, nullptr);
    QTreeWidgetItem* root = start->treeWidget()->topLevelItem(0);
    ASSERT_EQ(root->childCount(), 2);
    start->treeWidget()->setCurrentItem(root->child(1));
    start->LogBtnClick();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].name, "Demo");
    EXPECT_EQ(opened[0].hostAddress, "127.0.0.1");
    EXPECT_EQ(opened[0].port, 2121u);
    EXPECT_EQ(opened[0].password, shell.connection().AnonymousPassword);
}

TEST(OptionMenus, EditTheMainWindowsLiveConnectionOptions)
{
    TempHome home;
    ScriptedPrompter prompter;
    TMainForm shell({}, prompter);
    MainFormView window(shell);
    shell.attachView(&window);
    QAction* entry = nullptr;
    for (QAction* action : window.menuBar()->findChildren<QAction*>())
        if (action->text() == QStringLiteral("FTP &Connection Options"))
            entry = action;
    ASSERT_NE(entry, nullptr);
    ASSERT_TRUE(entry->isEnabled());
    bool opened = false;
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<TOptionsForm*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        opened = true;
        for (QLineEdit* edit : form->findChildren<QLineEdit*>())
            if (edit->text() == QString::fromStdString(shell.connection().AnonymousPassword))
                edit->setText(QStringLiteral("me@example.org"));
        form->accept();
    });
    entry->trigger();
    EXPECT_TRUE(opened);
    EXPECT_EQ(shell.connection().AnonymousPassword, "me@example.org");
    shell.attachView(nullptr);
}

TEST(NewObjectDialog, ReturnsAFolderNameOrABookmarksLinkFileAndRefusesFolders)
{
    TempHome home;
    const QString links = home.file(QStringLiteral("My FTP Links"));
    QDir().mkpath(links);
    home.write(QStringLiteral("My FTP Links/Site.wkt"), "[Zelta Link]\nAddress=h\n");
    ScriptedPrompter prompter;
    TMDForm form(links, prompter, [] { return std::string("pw"); });
    const auto whileOpen = [&](const std::function<void()>& user) {
        QTimer::singleShot(0, &form, user);
        return form.chooseNewObject();
    };
    const auto pressOk = [&] {
        for (QPushButton* button : form.findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("OK"))
                button->click();
    };
    auto* name = form.findChild<QLineEdit*>();
    auto* tree = form.findChild<BookmarkTreeWidget*>();
    QRadioButton* linkChoice = form.findChildren<QRadioButton*>().at(1);

    auto folder = whileOpen([&] {
        name->setText(QStringLiteral("incoming"));
        QTest::keyClick(name, Qt::Key_Return);
    });
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->kind, newObjectRequest::Kind::Directory);
    EXPECT_EQ(folder->name, "incoming");

    EXPECT_FALSE(whileOpen([&] {
        name->clear();
        pressOk();
    }));

    auto link = whileOpen([&] {
        linkChoice->setChecked(true);
        pressOk();
        EXPECT_TRUE(form.isVisible()) << "a folder is no bookmark: the dialog stays";
        EXPECT_EQ(prompter.shown,
            QStringList({ QStringLiteral(
                "Unable to form link from folders.\nPlease select a bookmark and try again.") }));
        QTreeWidgetItem* root = tree->topLevelItem(0);
        ASSERT_EQ(root->childCount(), 2);
        tree->setCurrentItem(root->child(1));
        pressOk();
    });
    ASSERT_TRUE(link);
    EXPECT_EQ(link->kind, newObjectRequest::Kind::Link);
    EXPECT_EQ(link->name, "Site.wkt");
    EXPECT_EQ(link->linkFile, links + QStringLiteral("/Site.wkt"));

    EXPECT_FALSE(whileOpen([&] { form.reject(); }));
}
} // namespace
