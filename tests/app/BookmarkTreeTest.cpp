#include "app/BookmarkTree.h"

#include "ScriptedPrompter.h"
#include "TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <unistd.h>

namespace
{
const std::string anonymousPassword = "guest@example.org";

class BookmarkTreeTest : public testing::Test
{
protected:
    QString links() const { return home.file(QStringLiteral("My FTP Links")); }
    QString at(const QString& relative) const { return links() + QLatin1Char('/') + relative; }
    bool exists(const QString& relative) const { return QFileInfo::exists(at(relative)); }
    void writeLink(const QString& relative, const QByteArray& address) const
    {
        QFile file(at(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Zelta Link]\nAddress=" + address + "\nAnonymous=1\n");
    }
    static std::vector<std::string> texts(const BookmarkNode* folder)
    {
        std::vector<std::string> out;
        for (const auto& child : folder->children())
            out.push_back((child->isFolder() ? "[" : "") + child->text() + (child->isFolder() ? "]" : ""));
        return out;
    }
    BookmarkNode* child(const BookmarkNode* folder, const std::string& text) const
    {
        for (const auto& node : folder->children())
            if (node->text() == text)
                return node.get();
        return nullptr;
    }
    linkFileValues values(const std::string& address) const
    {
        linkFileValues v;
        v.address = address;
        return v;
    }

    TempHome home;
    ScriptedPrompter prompter;
    BookmarkTree tree { links(), prompter, [] { return anonymousPassword; } };
};

TEST_F(BookmarkTreeTest, StartsWithTheRootAndPrivateFoldersOnDisk)
{
    EXPECT_EQ(tree.root()->text(), "My FTP Links");
    EXPECT_EQ(texts(tree.root()), std::vector<std::string>({ "[Private]" }));
    EXPECT_TRUE(QFileInfo(at(QStringLiteral("Private"))).isDir());
}

TEST_F(BookmarkTreeTest, ScanShowsFoldersFirstThenLinkFilesInByteOrderAndSkipsOthers)
{
    QDir(links()).mkdir(QStringLiteral("zeta"));
    QDir(links()).mkdir(QStringLiteral("Alpha"));
    writeLink(QStringLiteral("beta.wkt"), "b.example.org");
    writeLink(QStringLiteral("Gamma.wkt"), "<gammauser>");
    writeLink(QStringLiteral("Capital.WKT"), "c.example.org");
    writeLink(QStringLiteral(".wkt"), "nameless");
    home.write(QStringLiteral("My FTP Links/notes.txt"), "x");
    home.write(QStringLiteral("My FTP Links/page.wkt"), "<html>not a link</html>");
    tree.scan(tree.root());
    EXPECT_EQ(
        texts(tree.root()), std::vector<std::string>({ "[Alpha]", "[Private]", "[zeta]", "Gamma", "beta" }));
    const ftpSite& gamma = child(tree.root(), "Gamma")->site();
    EXPECT_FALSE(gamma.persistent);
    EXPECT_EQ(gamma.p2pUserName, "gammauser");
    EXPECT_EQ(gamma.password, anonymousPassword);

    // A second scan reuses the nodes and keeps those whose files went away.
    const BookmarkNode* beta = child(tree.root(), "beta");
    QFile::remove(at(QStringLiteral("beta.wkt")));
    tree.scan(tree.root());
    EXPECT_EQ(child(tree.root(), "beta"), beta);
    EXPECT_EQ(tree.root()->children().size(), 5u);
}

TEST_F(BookmarkTreeTest, StoringTwiceUnderOneNameKeepsOneNodeAndRewritesItsFile)
{
    BookmarkNode* first = tree.storeSite(tree.root(), "Home", values("old.example.org"));
    ASSERT_NE(first, nullptr);
    BookmarkNode* second = tree.storeSite(first, "Home", values("new.example.org"));
    EXPECT_EQ(first, second);
    EXPECT_EQ(texts(tree.root()), std::vector<std::string>({ "[Private]", "Home" }));
    EXPECT_EQ(second->site().hostAddress, "new.example.org");
    EXPECT_TRUE(home.read(QStringLiteral("My FTP Links/Home.wkt")).contains("Address=new.example.org\n"));
    EXPECT_TRUE(prompter.shown.isEmpty());
}

TEST_F(BookmarkTreeTest, StoringWithThePlaceholderAsNameWritesNothing)
{
    EXPECT_EQ(tree.storeSite(tree.root(), "", values("h")), nullptr);
    EXPECT_EQ(prompter.shown,
        QStringList({ QStringLiteral("Enter a valid profile name other than <Enter site ID (optional)>") }));
    EXPECT_EQ(QDir(links()).entryList(QDir::Files).size(), 0);
}

TEST_F(BookmarkTreeTest, NamesThatWouldLeaveTheLinksFolderAreRefusedWithAMessage)
{
    const QStringList homeBefore = QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    BookmarkNode* site = tree.storeSite(tree.root(), "Site", values("h"));
    BookmarkNode* folder = tree.newFolder(tree.root(), "Folder");
    for (const std::string name : { "..", ".", "../out", "a/b", "a\\b" }) {
        prompter.shown.clear();
        EXPECT_EQ(tree.storeSite(tree.root(), name, values("h")), nullptr) << name;
        EXPECT_EQ(tree.newFolder(tree.root(), name), nullptr) << name;
        EXPECT_FALSE(tree.rename(site, name)) << name;
        EXPECT_FALSE(tree.rename(folder, name)) << name;
        EXPECT_EQ(prompter.shown.size(), 4) << name;
    }
    EXPECT_EQ(QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), homeBefore);
    EXPECT_EQ(texts(tree.root()), std::vector<std::string>({ "[Folder]", "[Private]", "Site" }));
    EXPECT_TRUE(exists(QStringLiteral("Site.wkt")));
    EXPECT_TRUE(QFileInfo(at(QStringLiteral("Folder"))).isDir());
}

TEST_F(BookmarkTreeTest, RenamingAFolderThenStoringIntoItWritesIntoTheRenamedFolder)
{
    BookmarkNode* work = tree.newFolder(tree.root(), "Work");
    BookmarkNode* inner = tree.newFolder(work, "Inner");
    ASSERT_TRUE(tree.rename(work, "Job"));
    EXPECT_FALSE(exists(QStringLiteral("Work")));
    EXPECT_EQ(work->folderPath(), at(QStringLiteral("Job")));
    EXPECT_EQ(inner->folderPath(), at(QStringLiteral("Job/Inner")));
    ASSERT_NE(tree.storeSite(inner, "Deep", values("h")), nullptr);
    ASSERT_NE(tree.storeSite(work, "Top", values("h")), nullptr);
    EXPECT_TRUE(exists(QStringLiteral("Job/Inner/Deep.wkt")));
    EXPECT_TRUE(exists(QStringLiteral("Job/Top.wkt")));
}

TEST_F(BookmarkTreeTest, RenamingASiteRenamesItsFileAndNeverOverwritesAnother)
{
    BookmarkNode* a = tree.storeSite(tree.root(), "A", values("a.example.org"));
    tree.storeSite(tree.root(), "B", values("b.example.org"));
    ASSERT_TRUE(tree.rename(a, "C"));
    EXPECT_EQ(a->site().name, "C");
    EXPECT_FALSE(exists(QStringLiteral("A.wkt")));
    EXPECT_TRUE(exists(QStringLiteral("C.wkt")));

    EXPECT_FALSE(tree.rename(a, "B"));
    EXPECT_EQ(prompter.shown, QStringList({ BookmarkTree::renameRefusedText() }));
    EXPECT_EQ(a->text(), "C");
    EXPECT_TRUE(home.read(QStringLiteral("My FTP Links/B.wkt")).contains("b.example.org"));
    EXPECT_FALSE(tree.rename(tree.root(), "Other"));
}

TEST_F(BookmarkTreeTest, CutAndPasteMovesAFolderWithItsContent)
{
    BookmarkNode* from = tree.newFolder(tree.root(), "From");
    BookmarkNode* inner = tree.newFolder(from, "Inner");
    tree.storeSite(inner, "Deep", values("h"));
    BookmarkNode* privateNode = child(tree.root(), "Private");
    tree.cut(from);
    EXPECT_EQ(tree.clipboardMode(), BookmarkTree::ClipMode::Cut);
    tree.paste(privateNode);
    EXPECT_EQ(tree.clipboardNode(), nullptr);
    EXPECT_FALSE(exists(QStringLiteral("From")));
    EXPECT_TRUE(exists(QStringLiteral("Private/From/Inner/Deep.wkt")));
    EXPECT_EQ(from->parent(), privateNode);
    EXPECT_EQ(inner->folderPath(), at(QStringLiteral("Private/From/Inner")));
    EXPECT_EQ(texts(tree.root()), std::vector<std::string>({ "[Private]" }));
    EXPECT_TRUE(prompter.shown.isEmpty());
}

TEST_F(BookmarkTreeTest, CopyingASiteIntoItsOwnFolderLeavesOneNodeAndItsFile)
{
    BookmarkNode* site = tree.storeSite(tree.root(), "Home", values("home.example.org"));
    tree.storeSite(tree.root(), "Other", values("other.example.org"));
    tree.copy(site);
    tree.paste(site);
    EXPECT_EQ(texts(tree.root()), std::vector<std::string>({ "[Private]", "Home", "Other" }));
    EXPECT_TRUE(home.read(QStringLiteral("My FTP Links/Home.wkt")).contains("home.example.org"));
    EXPECT_TRUE(home.read(QStringLiteral("My FTP Links/Other.wkt")).contains("other.example.org"));
    EXPECT_EQ(tree.clipboardNode(), nullptr);
}

TEST_F(BookmarkTreeTest, CopiedSiteReplacesTheSameNameInTheTargetFolder)
{
    BookmarkNode* privateNode = child(tree.root(), "Private");
    BookmarkNode* site = tree.storeSite(tree.root(), "Home", values("new.example.org"));
    tree.storeSite(privateNode, "Home", values("old.example.org"));
    tree.copy(site);
    tree.paste(privateNode);
    ASSERT_EQ(texts(privateNode), std::vector<std::string>({ "Home" }));
    EXPECT_EQ(privateNode->children().front()->site().hostAddress, "new.example.org");
    EXPECT_TRUE(exists(QStringLiteral("Home.wkt")));
}

TEST_F(BookmarkTreeTest, AFolderIsNeverPastedIntoItself)
{
    BookmarkNode* outer = tree.newFolder(tree.root(), "Outer");
    BookmarkNode* inner = tree.newFolder(outer, "Inner");
    tree.copy(outer);
    tree.paste(inner);
    EXPECT_EQ(prompter.shown, QStringList({ QStringLiteral("Unable to copy Zelta link folder") }));
    EXPECT_FALSE(exists(QStringLiteral("Outer/Inner/Outer")));
    EXPECT_TRUE(inner->children().empty());
}

TEST_F(BookmarkTreeTest, DeleteAnsweredNoKeepsTheFolderAnsweredYesRemovesIt)
{
    BookmarkNode* folder = tree.newFolder(tree.root(), "Old");
    tree.storeSite(folder, "Site", values("h"));
    tree.copy(folder);
    prompter.answers = { false };
    EXPECT_FALSE(tree.remove(folder));
    EXPECT_TRUE(exists(QStringLiteral("Old/Site.wkt")));
    EXPECT_EQ(texts(tree.root()), std::vector<std::string>({ "[Old]", "[Private]" }));
    EXPECT_EQ(prompter.shown,
        QStringList({ QStringLiteral("Do you really want to delete the selected link/folder?") }));

    prompter.answers = { true };
    EXPECT_TRUE(tree.remove(folder));
    EXPECT_FALSE(exists(QStringLiteral("Old")));
    EXPECT_EQ(texts(tree.root()), std::vector<std::string>({ "[Private]" }));
    EXPECT_EQ(tree.clipboardNode(), nullptr);
}

TEST_F(BookmarkTreeTest, DeletingAFolderRemovesALinkInsideButNotWhatItPointsTo)
{
    QDir(home.path()).mkdir(QStringLiteral("precious"));
    home.write(QStringLiteral("precious/keep.txt"), "keep");
    BookmarkNode* folder = tree.newFolder(tree.root(), "Shared");
    ASSERT_EQ(::symlink(QFile::encodeName(home.file(QStringLiteral("precious"))).constData(),
                  QFile::encodeName(at(QStringLiteral("Shared/link"))).constData()),
        0);
    EXPECT_TRUE(tree.remove(folder));
    EXPECT_FALSE(exists(QStringLiteral("Shared")));
    EXPECT_EQ(home.read(QStringLiteral("precious/keep.txt")), "keep");
}

TEST_F(BookmarkTreeTest, CopyingAFolderCopiesLinksAsLinks)
{
    BookmarkNode* folder = tree.newFolder(tree.root(), "Src");
    tree.storeSite(folder, "Site", values("h"));
    ASSERT_EQ(::symlink("../elsewhere", QFile::encodeName(at(QStringLiteral("Src/link"))).constData()), 0);
    tree.copy(folder);
    tree.paste(child(tree.root(), "Private"));
    EXPECT_EQ(QFileInfo(at(QStringLiteral("Private/Src/link"))).isSymLink(), true);
    char target[64] = {};
    ASSERT_GT(
        ::readlink(QFile::encodeName(at(QStringLiteral("Private/Src/link"))).constData(), target, 63), 0);
    EXPECT_STREQ(target, "../elsewhere");
    EXPECT_TRUE(exists(QStringLiteral("Private/Src/Site.wkt")));
    EXPECT_TRUE(exists(QStringLiteral("Src/Site.wkt")));
    BookmarkNode* copied = child(child(tree.root(), "Private"), "Src");
    ASSERT_NE(copied, nullptr);
    tree.scan(copied);
    EXPECT_EQ(texts(copied), std::vector<std::string>({ "Site" }));
}

TEST_F(BookmarkTreeTest, DeletingASiteWhoseFileIsGoneStillRemovesTheNode)
{
    BookmarkNode* site = tree.storeSite(tree.root(), "Gone", values("h"));
    QFile::remove(at(QStringLiteral("Gone.wkt")));
    EXPECT_TRUE(tree.remove(site));
    EXPECT_EQ(texts(tree.root()), std::vector<std::string>({ "[Private]" }));
}
} // namespace
