#include "app/BookmarkImport.h"
#include "app/BookmarkTree.h"

#include "ScriptedPrompter.h"
#include "TempHome.h"

#include <QFile>
#include <gtest/gtest.h>

namespace
{
QString fixture()
{
    return QStringLiteral("fixtures/sitemanager.xml");
}

TEST(SiteManagerImport, ReadsFtpSitesOfNestedFoldersAndSkipsSecureOnes)
{
    QFile file(fixture());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray xml = file.readAll();
    const auto sites = bookmarkImport::parseSiteManager(std::string_view(xml.constData(), xml.size()));
    ASSERT_TRUE(sites.error.isEmpty()) << sites.error.toStdString();
    EXPECT_EQ(sites.skipped, 2);
    ASSERT_EQ(sites.sites.size(), 4u);
    const auto& top = sites.sites[0];
    EXPECT_EQ(top.name, "Top Site");
    EXPECT_TRUE(top.folders.empty());
    EXPECT_EQ(top.values.address, "ftp.example.org");
    EXPECT_EQ(top.values.port, "2121");
    EXPECT_FALSE(top.values.anonymous);
    EXPECT_EQ(top.values.userId, "ann");
    EXPECT_EQ(top.values.password, "s3cret w=th ");
    EXPECT_EQ(top.values.initialDirectory, "/pub/docs");
    EXPECT_EQ(top.values.description, "kept as description");
    EXPECT_TRUE(sites.sites[1].values.anonymous);
    EXPECT_EQ(sites.sites[2].name, "Office");
    EXPECT_EQ(sites.sites[2].folders, std::vector<std::string>({ "Work" }));
    EXPECT_EQ(sites.sites[2].values.password, "plain pass");
    EXPECT_EQ(sites.sites[3].folders, std::vector<std::string>({ "Work", "Nested" }));
    EXPECT_EQ(sites.sites[3].values.password, "") << "an encrypted password cannot be read";
}

TEST(SiteManagerImport, RefusesFilesThatAreNoSiteManager)
{
    for (const char* text : { "", "<html><body/></html>", "<FileZilla3><Servers><Server><Host>h</Host>" }) {
        const auto sites = bookmarkImport::parseSiteManager(text);
        EXPECT_FALSE(sites.error.isEmpty()) << text;
    }
}

TEST(SiteManagerImport, WritesLinkFilesIntoTheSelectedFolderWithoutOverwritingOrEscaping)
{
    TempHome home;
    ScriptedPrompter prompter;
    BookmarkTree tree(home.file(QStringLiteral("My FTP Links")), prompter, [] { return std::string("pw"); });
    linkFileValues mine;
    mine.address = "mine.example.org";
    BookmarkNode* privateNode = tree.root()->children().front().get();
    ASSERT_NE(tree.storeSite(privateNode, "Top Site", mine), nullptr);

    tree.importSites(privateNode, fixture());
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0],
        QStringLiteral(
            "4 site(s) imported.\n2 SFTP or FTPS site(s) skipped: this client speaks plain FTP only."));
    const QString base = QStringLiteral("My FTP Links/Private/");
    EXPECT_TRUE(home.read(base + QStringLiteral("Top Site.wkt")).contains("mine.example.org"));
    const auto imported
        = readLinkFile(home.file(base + QStringLiteral("Top Site (2).wkt")), LinkFileUse::Bookmark, "pw");
    ASSERT_TRUE(imported);
    EXPECT_EQ(imported->password, "s3cret w=th ");
    EXPECT_EQ(imported->initialDirectory, "/pub/docs");
    EXPECT_TRUE(home.read(base + QStringLiteral("Slash_Name.wkt")).contains("Anonymous=1"));
    EXPECT_TRUE(home.read(base + QStringLiteral("Work/Office.wkt")).contains("UserID=carol"));
    EXPECT_TRUE(home.read(base + QStringLiteral("Work/Nested/Deep.wkt")).contains("Port=990"));
    std::vector<std::string> shown;
    for (const auto& child : privateNode->children())
        shown.push_back(child->text());
    EXPECT_EQ(shown, std::vector<std::string>({ "Work", "Slash_Name", "Top Site", "Top Site (2)" }));
}

TEST(SiteManagerImport, AMissingFileSaysSo)
{
    TempHome home;
    ScriptedPrompter prompter;
    BookmarkTree tree(home.file(QStringLiteral("My FTP Links")), prompter, [] { return std::string("pw"); });
    tree.importSites(tree.root(), home.file(QStringLiteral("none.xml")));
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_TRUE(prompter.shown[0].startsWith(QStringLiteral("Unable to read")))
        << prompter.shown[0].toStdString();
}
} // namespace
