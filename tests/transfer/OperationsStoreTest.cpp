#include "transfer/OperationsStore.h"
#include "common/ComplementText.h"
#include "common/IniFile.h"
#include "common/ProgramFolders.h"
#include "transfer/ActionsList.h"

#include "RegistryWait.h"
#include "TempHome.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

ftpOperationObject sampleDownload(std::string password)
{
    ftpOperationObject op;
    op.files
        = { fileEntry("0123456789ABCDEF0123456789ABCDEF", "Jan 01 2020", "/pub/a.txt", 5'000'000'000ULL) };
    op.folders = { folderEntry("Feb 02 2021", "/pub/docs") };
    op.links = { linkEntry("Mar 03 2022", "/pub/latest", 12) };
    op.displayNames = { displayNameOf(op.files[0], EntryForm::RemoteFile),
        displayNameOf(op.folders[0], EntryForm::RemoteFolder),
        displayNameOf(op.links[0], EntryForm::RemoteFile) };
    op.site.name = "Mirror";
    op.site.persistent = true;
    op.site.hostAddress = "ftp.example.org";
    op.site.displayAddress = "ftp.example.org";
    op.site.port = 2121;
    op.site.anonymous = false;
    op.site.userId = "jan";
    op.site.password = std::move(password);
    op.site.initialDirectory = "/pub";
    op.site.supportsRest = true;
    op.site.supportsMd5 = true;
    op.localPath = QStringLiteral("/home/jan/Downloads");
    op.kind = OperationKind::Download;
    op.status = OperationStatus::Running;
    op.cacheFile = "directoryCache1234.fch";
    op.lastFileIndex = 3;
    op.lastFileBytePeriod = 3'000'000'000LL;
    op.lastFileConnections = 4;
    op.priority = 2;
    op.autoTry = true;
    return op;
}

TEST(OperationsStore, RoundTripKeepsEveryStoredField)
{
    TempHome home;
    // Bytes whose complements are CR, LF, NUL, blank and "=".
    const std::string password = "p\xE4ss\xF2\xF5\xFF\xDF\xC2w\xC3\xB6rd";
    const ftpOperationObject original = sampleDownload(password);
    operationsStore store(registryFilePath());
    ASSERT_TRUE(store.storeAll({ &original }));

    auto loaded = operationsStore(registryFilePath()).loadAll("anon@x");
    ASSERT_EQ(loaded.size(), 1u);
    const ftpOperationObject& op = *loaded[0];
    EXPECT_EQ(op.files, original.files);
    EXPECT_EQ(op.folders, original.folders);
    EXPECT_EQ(op.links, original.links);
    EXPECT_EQ(op.displayNames, (std::vector<std::string> { "a.txt", "docs/", "latest" }));
    EXPECT_EQ(op.site.password, password);
    EXPECT_EQ(op.site.userId, "jan");
    EXPECT_EQ(op.site.hostAddress, "ftp.example.org");
    EXPECT_EQ(op.site.displayAddress, "ftp.example.org");
    EXPECT_EQ(op.site.port, 2121u);
    EXPECT_FALSE(op.site.anonymous);
    EXPECT_TRUE(op.site.persistent);
    EXPECT_EQ(op.site.initialDirectory, "/pub");
    EXPECT_TRUE(op.site.supportsRest);
    EXPECT_TRUE(op.site.supportsMd5);
    EXPECT_FALSE(op.site.supportsWebLink);
    EXPECT_EQ(op.localPath, original.localPath);
    EXPECT_EQ(op.kind, OperationKind::Download);
    EXPECT_EQ(op.status, OperationStatus::Running);
    EXPECT_EQ(op.cacheFile, original.cacheFile);
    EXPECT_EQ(op.lastFileIndex, 3);
    EXPECT_EQ(op.lastFileBytePeriod, 3'000'000'000LL);
    EXPECT_EQ(op.lastFileConnections, 4);
    EXPECT_EQ(op.priority, 2);
    EXPECT_TRUE(op.autoTry);
}

TEST(OperationsStore, SecretsAreStoredComplementedAndP2pNamesInPlainText)
{
    TempHome home;
    ftpOperationObject persistent = sampleDownload("secret");
    ftpOperationObject p2p = sampleDownload("secret");
    p2p.site.persistent = false;
    p2p.site.p2pUserName = "alice";
    p2p.site.displayAddress = "alice";
    ASSERT_TRUE(operationsStore(registryFilePath()).storeAll({ &persistent, &p2p }));

    const IniFile ini(registryFilePath());
    EXPECT_NE(ini.readString("Operation0", "SitePassword", ""), "secret");
    EXPECT_NE(ini.readString("Operation0", "SiteAddress", ""), "ftp.example.org");
    EXPECT_EQ(ini.readString("Operation1", "SiteAddress", ""), "alice");

    auto loaded = operationsStore(registryFilePath()).loadAll("anon@x");
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[1]->site.p2pUserName, "alice");
    EXPECT_EQ(loaded[1]->site.hostAddress, "");
}

TEST(OperationsStore, SectionKeysAreWrittenInTheirFixedOrder)
{
    TempHome home;
    const ftpOperationObject op = sampleDownload("pw");
    ASSERT_TRUE(operationsStore(registryFilePath()).storeAll({ &op }));
    const QByteArray text = home.read(QStringLiteral("Registry.ini"));
    const QByteArray section = text.mid(text.indexOf("[Operation0]"));
    QList<QByteArray> keys;
    for (const QByteArray& line : section.split('\n'))
        if (line.contains('='))
            keys << line.left(line.indexOf('='));
    const QList<QByteArray> expected = { "FileCount", "FolderCount", "LinkCount", "File0", "Folder0", "Link0",
        "SiteName", "SitePersistent", "SiteAddress", "SitePseudoAddress", "SitePort", "SiteAnonymous",
        "SiteUserID", "SitePassword", "SiteInitialDirectory", "LocalPath", "Operation", "Status", "CacheFile",
        "LastFileIndex", "LastFileBytePeriod", "LastFileConnections", "Priority", "AutoTry",
        "SiteSupportsMD5", "SiteSupportsREST", "SiteSupportsWEBL" };
    EXPECT_EQ(keys, expected);
}

TEST(OperationsStore, MissingValuesTakeTheirDefaults)
{
    TempHome home;
    home.write(QStringLiteral("Registry.ini"),
        "[Operations]\nCount=2\n[Operation0]\nFileCount=1\nFile0=" + QByteArray(zeroDigest.data())
            + "?d?/x/y.bin?10\nSitePort=ftp\n[Operation1]\nSiteAnonymous=0\nSiteUserID=bob\n");
    auto loaded = operationsStore(registryFilePath()).loadAll("me@example");
    ASSERT_EQ(loaded.size(), 2u);
    const ftpOperationObject& first = *loaded[0];
    EXPECT_EQ(first.status, OperationStatus::Stopped);
    EXPECT_EQ(first.kind, OperationKind::Download);
    EXPECT_EQ(first.site.port, 21u);
    EXPECT_TRUE(first.site.anonymous);
    EXPECT_EQ(first.site.userId, "anonymous");
    EXPECT_EQ(first.site.password, "me@example");
    EXPECT_EQ(first.priority, 1);
    EXPECT_EQ(first.localPath, defaultDownloadFolder()) << "a missing LocalPath is the download folder";
    EXPECT_EQ(first.displayNames, std::vector<std::string> { "y.bin" });
    EXPECT_EQ(loaded[1]->site.userId, "bob");
    EXPECT_EQ(loaded[1]->site.port, 21u);
}

TEST(OperationsStore, StoreWithoutOperationsLoadsNothingAndSurvivesGarbage)
{
    TempHome home;
    EXPECT_TRUE(operationsStore(registryFilePath()).loadAll("a").empty());
    home.write(QStringLiteral("Registry.ini"), "[Operations]\nCount=lots\n");
    EXPECT_TRUE(operationsStore(registryFilePath()).loadAll("a").empty());
    home.write(QStringLiteral("Registry.ini"), "[Operations]\nCount=1\n[Operation0]\nFileCount=2147483647\n");
    auto loaded = operationsStore(registryFilePath()).loadAll("a");
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_LE(loaded[0]->files.size(), 1'000'000u);
}

// Stores whose counts promise more than they hold: loading builds no more
// entries than the section has keys, and storing writes no more back.
struct DamagedListCase {
    const char* name;
    const char* section;
    std::size_t files;
    std::size_t folders;
};

const DamagedListCase damagedLists[] = {
    // Found by fuzzing: a count of two thousand million with one entry made
    // the load build a million empty entries and the store write them all.
    { "huge_count_one_entry", "FileCount=2000000000\nFile0=x?d?/a?1\n", 2, 0 },
    { "count_beyond_32_bits", "FileCount=20000000000\nFile0=x?d?/a?1\n", 0, 0 },
    { "negative_count", "FolderCount=-5\nFolder0=d?/a\n", 0, 0 },
    { "count_matching_the_keys", "FileCount=2\nFile0=x?d?/a?1\nFile1=x?d?/b?2\n", 2, 0 },
    { "missing_entry_within_the_keys", "FileCount=2\nFolderCount=1\nFile0=x?d?/a?1\nFolder0=d?/f\n", 2, 1 },
};

class DamagedStoreList : public testing::TestWithParam<DamagedListCase>
{
};

TEST_P(DamagedStoreList, LoadsAndStoresNoMoreEntriesThanItHolds)
{
    TempHome home;
    home.write(QStringLiteral("Registry.ini"),
        QByteArray("[Operations]\nCount=1\n[Operation0]\n") + QByteArray(GetParam().section));
    operationsStore store(registryFilePath());
    const auto loaded = store.loadAll("a");
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0]->files.size(), GetParam().files);
    EXPECT_EQ(loaded[0]->folders.size(), GetParam().folders);
    ASSERT_TRUE(store.storeAll({ loaded[0].get() }));
    const IniFile written(registryFilePath());
    EXPECT_EQ(written.readString("Operation0", "FileCount", ""), std::to_string(GetParam().files));
    EXPECT_FALSE(written.value("Operation0", "File" + std::to_string(GetParam().files)).has_value());
}

INSTANTIATE_TEST_SUITE_P(OperationsStore, DamagedStoreList, testing::ValuesIn(damagedLists),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OperationsStore, AnOperationCountBeyondTheStoredSectionsLoadsNoEmptyRows)
{
    // Found by fuzzing: a count of 120000 over one section made the load
    // build a hundred thousand empty operations and the store write them.
    TempHome home;
    home.write(QStringLiteral("Registry.ini"),
        "[Operations]\nCount=120000\n[Operation0]\nFolderCount=1\nFolder0=d?/a\n");
    const auto loaded = operationsStore(registryFilePath()).loadAll("a");
    ASSERT_GE(loaded.size(), 1u);
    EXPECT_LE(loaded.size(), 2u);
    EXPECT_EQ(loaded[0]->folders, std::vector<std::string> { "d?/a" });
}

TEST(OperationsStore, ShrinkingListStoresTheSmallerCountAndLoadsOnlyThat)
{
    TempHome home;
    const ftpOperationObject a = sampleDownload("1"), b = sampleDownload("2"), c = sampleDownload("3");
    ASSERT_TRUE(operationsStore(registryFilePath()).storeAll({ &a, &b, &c }));

    operationsStore store(registryFilePath());
    ASSERT_EQ(store.loadAll("x").size(), 3u);
    ASSERT_TRUE(store.storeAll({ &b }));
    EXPECT_EQ(IniFile(registryFilePath()).readString("Operations", "Count", ""), "1");
    auto loaded = operationsStore(registryFilePath()).loadAll("x");
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0]->site.password, "2");
}

TEST(OperationsStore, StoringKeepsTheUpgradeFlag)
{
    TempHome home;
    home.write(QStringLiteral("Registry.ini"), "[v5]\nAutoUpdateCheckAtStartup=0\n");
    const ftpOperationObject op = sampleDownload("x");
    ASSERT_TRUE(operationsStore(registryFilePath()).storeAll({ &op }));
    EXPECT_EQ(IniFile(registryFilePath()).readString("v5", "AutoUpdateCheckAtStartup", ""), "0");
}

TEST(OperationEntries, DisplayNamesOfEveryEntryForm)
{
    const struct {
        std::string entry;
        EntryForm form;
        std::string name;
    } cases[] = {
        { folderEntry("Jan 1", "/pub/docs"), EntryForm::RemoteFolder, "docs/" },
        { fileEntry("", "Jan 1", "/pub/a.txt", 100), EntryForm::RemoteFile, "a.txt" },
        { uploadFileEntry("C:\\data\\b.bin", 100), EntryForm::UploadFile, "b.bin" },
        { uploadFileEntry("/home/u/b.bin", 100), EntryForm::UploadFile, "b.bin" },
        { uploadFolderEntry("/home/u/photos"), EntryForm::UploadFolder, "photos/" },
        { folderEntry("12/31/03", "/pub/old/"), EntryForm::RemoteFolder, "/" },
        { linkEntry("Jan 1", "/pub/current", 7), EntryForm::RemoteFile, "current" },
        // Names holding the entries' separator.
        { fileEntry("", "Jan 1", "/pub/what?.txt", 3), EntryForm::RemoteFile, "what?.txt" },
        { fileEntry("", "Jan 1", "/pub/a?b/c?d", 3), EntryForm::RemoteFile, "c?d" },
        { folderEntry("Jan 1", "/pub/why?"), EntryForm::RemoteFolder, "why?/" },
        { uploadFileEntry("/home/u/what?.txt", 5), EntryForm::UploadFile, "what?.txt" },
        { uploadFolderEntry("/home/u/why?not"), EntryForm::UploadFolder, "why?not/" },
        { linkEntry("Jan 1", "/pub/now?", 7), EntryForm::RemoteFile, "now?" },
    };
    for (const auto& [entry, form, name] : cases)
        EXPECT_EQ(displayNameOf(entry, form), name) << entry;
}

TEST(OperationsStore, NamesHoldingTheSeparatorComeBackWhole)
{
    TempHome home;
    ftpOperationObject download = sampleDownload("pw");
    download.files = { fileEntry("", "Jan 1", "/pub/what?.txt", 9) };
    download.folders = { folderEntry("Jan 1", "/pub/why?") };
    download.links = {};
    download.displayNames = { "what?.txt", "why?/" };
    ftpOperationObject upload = sampleDownload("pw");
    upload.kind = OperationKind::Upload;
    upload.files = { uploadFileEntry("/home/jan/what?.txt", 9) };
    upload.folders = { uploadFolderEntry("/home/jan/why?not") };
    upload.links = {};
    upload.displayNames = { "what?.txt", "why?not/" };
    ASSERT_TRUE(operationsStore(registryFilePath()).storeAll({ &download, &upload }));

    const auto loaded = operationsStore(registryFilePath()).loadAll("anon@x");
    ASSERT_EQ(loaded.size(), 2u);
    for (size_t i = 0; i < loaded.size(); ++i) {
        const ftpOperationObject& original = i == 0 ? download : upload;
        EXPECT_EQ(loaded[i]->files, original.files);
        EXPECT_EQ(loaded[i]->folders, original.folders);
        EXPECT_EQ(loaded[i]->displayNames, original.displayNames);
        EXPECT_EQ(itemsColumnText(loaded[i]->displayNames), itemsColumnText(original.displayNames));
    }
}

TEST(OperationEntries, ShortDigestsAreReplacedByTheZeroDigest)
{
    EXPECT_EQ(fileEntry("ABC", "d", "/f", 1), std::string(zeroDigest) + "?d?/f?1");
    EXPECT_EQ(fileEntry("0123456789ABCDEF0123456789ABCDEF", "d", "/f", 1),
        "0123456789ABCDEF0123456789ABCDEF?d?/f?1");
    EXPECT_EQ(linkEntry("d", "/l", 2), std::string(zeroDigest) + "?d?/l?2");
}

TEST(OperationEntries, RowTextsOfTheActionsList)
{
    ftpSite site;
    site.persistent = false;
    site.displayAddress = "alice";
    site.port = 21;
    EXPECT_EQ(siteColumnText(site), QStringLiteral("<alice>:21"));
    site.persistent = true;
    site.displayAddress = "10.0.0.1";
    EXPECT_EQ(siteColumnText(site), QStringLiteral("10.0.0.1:21"));
    EXPECT_EQ(itemsColumnText({ "a.txt", "docs/" }), QStringLiteral("a.txt,docs/"));
    EXPECT_EQ(statusText(OperationStatus::Running, 37), QStringLiteral("37% Completed"));
    EXPECT_EQ(statusText(OperationStatus::Stopped, 0), QStringLiteral("Incomplete (Stopped)"));
    EXPECT_EQ(statusText(OperationStatus::ConnectionError, 0), QStringLiteral("Connection error"));
    EXPECT_EQ(statusText(OperationStatus::Connecting, 0), QStringLiteral("Connecting..."));
    EXPECT_EQ(statusText(OperationStatus::Finished, 0), QStringLiteral("Completed!"));
    EXPECT_EQ(statusText(OperationStatus::Completed, 0), QStringLiteral("Completed!"));
    EXPECT_EQ(
        statusText(static_cast<OperationStatus>(9), 0, QStringLiteral("before")), QStringLiteral("before"));
}

// The items column joins the names with "," and quotes a name that holds
// the separator, a quote (doubled inside), a space or a control character,
// so the column reads back into the names it was made of.
TEST(OperationEntries, TheItemsColumnQuotesNamesThatCouldRunTogether)
{
    const struct {
        const char* what;
        std::vector<std::string> names;
        QString column;
    } cases[] = {
        { "plain names stay bare", { "a.txt", "[docs]" }, QStringLiteral("a.txt,[docs]") },
        { "a comma inside a name", { "a,b.txt", "c.txt" }, QStringLiteral("\"a,b.txt\",c.txt") },
        { "a space inside a name", { "two words.bin" }, QStringLiteral("\"two words.bin\"") },
        { "a quote is doubled", { "say \"hi\".txt", "x" }, QStringLiteral("\"say \"\"hi\"\".txt\",x") },
        { "a control character", { "tab\there" }, QStringLiteral("\"tab\there\"") },
        { "an empty name stays visible", { "", "y" }, QStringLiteral("\"\",y") },
        { "a folder with a comma", { "[old,new]" }, QStringLiteral("\"[old,new]\"") },
        { "no names", {}, QString() },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(itemsColumnText(c.names), c.column);
    }
}

TEST(ActionsList, AnOperationAddedBeforeACrashIsInTheStore)
{
    TempHome home;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ActionsList actions(registryFilePath());
        actions.loadAll("anon");
        actions.addOperation(sampleDownload("pw"));
        for (;;)
            ::pause(); // runs on until killed: no shut-down of any kind
    }
    const bool stored = registryShows("Operations", "Count", "1");
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    ASSERT_TRUE(stored);

    ActionsList actions(registryFilePath());
    actions.loadAll("anon");
    ASSERT_EQ(actions.rowCount(), 1);
    EXPECT_EQ(actions.row(0).operation->site.password, "pw");
    // It was running when the process died: no window is behind it now.
    EXPECT_EQ(actions.row(0).statusText, QStringLiteral("Incomplete (Stopped)"));
    EXPECT_EQ(actions.row(0).operation->status, OperationStatus::Stopped);
}

TEST(ActionsList, RowsStoredWhileTheirWindowsRanComeBackStoppedOrCompleted)
{
    TempHome home;
    const std::pair<OperationStatus, OperationStatus> cases[] = {
        { OperationStatus::Running, OperationStatus::Stopped },
        { OperationStatus::Connecting, OperationStatus::Stopped },
        { OperationStatus::Finished, OperationStatus::Completed },
        { OperationStatus::Completed, OperationStatus::Completed },
        { OperationStatus::ConnectionError, OperationStatus::ConnectionError },
        { OperationStatus::Stopped, OperationStatus::Stopped },
        { static_cast<OperationStatus>(9), static_cast<OperationStatus>(9) },
    };
    {
        std::vector<ftpOperationObject> stored;
        for (const auto& [before, after] : cases) {
            stored.push_back(sampleDownload("pw"));
            stored.back().status = before;
        }
        std::vector<const ftpOperationObject*> pointers;
        for (const ftpOperationObject& op : stored)
            pointers.push_back(&op);
        ASSERT_TRUE(operationsStore(registryFilePath()).storeAll(pointers));
    }
    ActionsList actions(registryFilePath());
    actions.loadAll("anon");
    ASSERT_EQ(actions.rowCount(), static_cast<int>(std::size(cases)));
    for (int i = 0; i < actions.rowCount(); ++i)
        EXPECT_EQ(actions.row(i).operation->status, cases[i].second) << "row " << i;
    EXPECT_EQ(actions.row(0).statusText, QStringLiteral("Incomplete (Stopped)"));
    EXPECT_EQ(actions.row(2).statusText, QStringLiteral("Completed!"));
    EXPECT_TRUE(registryShows("Operation0", "Status", "-1")) << "the repair is stored";
    EXPECT_TRUE(registryShows("Operation2", "Status", "2"));
}

TEST(ActionsList, StatusChangesAndClearingReachTheStoreWithoutAnyFurtherCall)
{
    TempHome home;
    ActionsList actions(registryFilePath());
    ftpOperationObject* first = actions.addOperation(sampleDownload("a"));
    ftpOperationObject* second = actions.addOperation(sampleDownload("b"));
    actions.setStatus(first, OperationStatus::Finished, 100);
    EXPECT_TRUE(registryShows("Operation0", "Status", "0"));

    QDir().mkpath(programFile(QStringLiteral("Cache")));
    const QString cache
        = joinPath(programFile(QStringLiteral("Cache")), QStringLiteral("directoryCache1234.fch"));
    home.write(QStringLiteral("Cache/directoryCache1234.fch"), "cache");
    actions.clearOperation(first, true);
    EXPECT_FALSE(QFile::exists(cache));
    EXPECT_TRUE(registryShows("Operations", "Count", "1"));
    EXPECT_EQ(complementText(IniFile(registryFilePath()).readString("Operation0", "SitePassword", "")), "b");
    EXPECT_EQ(actions.rowCount(), 1);
    EXPECT_EQ(actions.row(0).operation.get(), second);
}

TEST(ActionsList, ClearingNeverDeletesOutsideTheCacheFolder)
{
    TempHome home;
    home.write(QStringLiteral("precious.txt"), "keep");
    ActionsList actions(registryFilePath());
    ftpOperationObject op = sampleDownload("a");
    op.cacheFile = "../precious.txt";
    actions.clearOperation(actions.addOperation(std::move(op)), true);
    EXPECT_EQ(home.read(QStringLiteral("precious.txt")), QByteArray("keep"));
}

} // namespace
