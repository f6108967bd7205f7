#include "transfer/OperationsStore.h"
#include "common/ComplementText.h"
#include "common/IniFile.h"
#include "common/ProgramFolders.h"
#include "transfer/ActionsList.h"
#include "transfer/EntryText.h"

#include "RegistryWait.h"
#include "TempHome.h"
#include "TransferEntries.h"

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
    op.request.items.files
        = { listedEntry("/pub/a.txt", "Jan 01 2020", 5'000'000'000ULL, "0123456789ABCDEF0123456789ABCDEF") };
    op.request.items.folders = { listedEntry("/pub/docs", "Feb 02 2021") };
    op.request.items.links = { listedEntry("/pub/latest", "Mar 03 2022", 12) };
    op.request.site.name = "Mirror";
    op.request.site.persistent = true;
    op.request.site.hostAddress = "ftp.example.org";
    op.request.site.displayAddress = "ftp.example.org";
    op.request.site.port = 2121;
    op.request.site.anonymous = false;
    op.request.site.userId = "jan";
    op.request.site.password = std::move(password);
    op.request.site.initialDirectory = "/pub";
    op.request.site.supportsRest = true;
    op.request.site.supportsMd5 = true;
    op.request.destination = QStringLiteral("/home/jan/Downloads");
    op.request.kind = OperationKind::Download;
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
    EXPECT_EQ(op.request.items.files, original.request.items.files);
    EXPECT_EQ(op.request.items.folders, original.request.items.folders);
    EXPECT_EQ(op.request.items.links, original.request.items.links);
    EXPECT_EQ(displayNamesOf(op.request.items), (std::vector<std::string> { "a.txt", "docs/", "latest" }));
    EXPECT_EQ(op.request.site.password, password);
    EXPECT_EQ(op.request.site.userId, "jan");
    EXPECT_EQ(op.request.site.hostAddress, "ftp.example.org");
    EXPECT_EQ(op.request.site.displayAddress, "ftp.example.org");
    EXPECT_EQ(op.request.site.port, 2121u);
    EXPECT_FALSE(op.request.site.anonymous);
    EXPECT_TRUE(op.request.site.persistent);
    EXPECT_EQ(op.request.site.initialDirectory, "/pub");
    EXPECT_TRUE(op.request.site.supportsRest);
    EXPECT_TRUE(op.request.site.supportsMd5);
    EXPECT_FALSE(op.request.site.supportsWebLink);
    EXPECT_EQ(op.request.destination, original.request.destination);
    EXPECT_EQ(op.request.kind, OperationKind::Download);
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
    p2p.request.site.persistent = false;
    p2p.request.site.p2pUserName = "alice";
    p2p.request.site.displayAddress = "alice";
    ASSERT_TRUE(operationsStore(registryFilePath()).storeAll({ &persistent, &p2p }));

    const IniFile ini(registryFilePath());
    EXPECT_NE(ini.readString("Operation0", "SitePassword", ""), "secret");
    EXPECT_NE(ini.readString("Operation0", "SiteAddress", ""), "ftp.example.org");
    EXPECT_EQ(ini.readString("Operation1", "SiteAddress", ""), "alice");

    auto loaded = operationsStore(registryFilePath()).loadAll("anon@x");
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[1]->request.site.p2pUserName, "alice");
    EXPECT_EQ(loaded[1]->request.site.hostAddress, "");
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
    EXPECT_EQ(first.request.kind, OperationKind::Download);
    EXPECT_EQ(first.request.site.port, 21u);
    EXPECT_TRUE(first.request.site.anonymous);
    EXPECT_EQ(first.request.site.userId, "anonymous");
    EXPECT_EQ(first.request.site.password, "me@example");
    EXPECT_EQ(first.priority, 1);
    EXPECT_EQ(first.request.destination, defaultDownloadFolder())
        << "a missing LocalPath is the download folder";
    EXPECT_EQ(displayNamesOf(first.request.items), std::vector<std::string> { "y.bin" });
    EXPECT_EQ(loaded[1]->request.site.userId, "bob");
    EXPECT_EQ(loaded[1]->request.site.port, 21u);
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
    EXPECT_LE(loaded[0]->request.items.files.size(), 1'000'000u);
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
    { "huge_count_one_entry", "FileCount=2000000000\nFile0=x?d?/a?1\n", 1, 0 },
    { "count_beyond_32_bits", "FileCount=20000000000\nFile0=x?d?/a?1\n", 0, 0 },
    { "negative_count", "FolderCount=-5\nFolder0=d?/a\n", 0, 0 },
    { "count_matching_the_keys", "FileCount=2\nFile0=x?d?/a?1\nFile1=x?d?/b?2\n", 2, 0 },
    { "missing_entry_within_the_keys", "FileCount=2\nFolderCount=1\nFile0=x?d?/a?1\nFolder0=d?/f\n", 1, 1 },
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
    EXPECT_EQ(loaded[0]->request.items.files.size(), GetParam().files);
    EXPECT_EQ(loaded[0]->request.items.folders.size(), GetParam().folders);
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
    EXPECT_EQ(loaded[0]->request.items.folders, std::vector<TransferEntry> { listedEntry("/a", "d") });
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
    EXPECT_EQ(loaded[0]->request.site.password, "2");
}

TEST(OperationsStore, StoringKeepsTheUpgradeFlag)
{
    TempHome home;
    home.write(QStringLiteral("Registry.ini"), "[v5]\nAutoUpdateCheckAtStartup=0\n");
    const ftpOperationObject op = sampleDownload("x");
    ASSERT_TRUE(operationsStore(registryFilePath()).storeAll({ &op }));
    EXPECT_EQ(IniFile(registryFilePath()).readString("v5", "AutoUpdateCheckAtStartup", ""), "0");
}

TEST(OperationEntries, DisplayNamesOfEveryKindOfItem)
{
    const struct {
        const char* what;
        TransferItems items;
        std::vector<std::string> names;
    } cases[] = {
        { "remote file, folder and link",
            { { listedEntry("/pub/a.txt", "Jan 1", 100) }, { listedEntry("/pub/docs", "Jan 1") },
                { listedEntry("/pub/current", "Jan 1", 7) } },
            { "a.txt", "docs/", "current" } },
        { "a folder given with its trailing slash", { {}, { entryAt("/pub/old/") }, {} }, { "old/" } },
        { "upload paths of this system and of the older program's stores",
            { { entryAt("/home/u/b.bin", 100), entryAt("C:\\data\\c.bin", 100) },
                { entryAt("/home/u/photos") }, {} },
            { "b.bin", "c.bin", "photos/" } },
        { "names holding the stores' separator",
            { { listedEntry("/pub/what?.txt", "Jan 1", 3), listedEntry("/pub/a?b/c?d", "Jan 1", 3) },
                { listedEntry("/pub/why?", "Jan 1") }, { listedEntry("/pub/now?", "Jan 1", 7) } },
            { "what?.txt", "c?d", "why?/", "now?" } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(displayNamesOf(c.items), c.names);
    }
}

// Every text form reads back into the entry it was written from, whatever
// "?" its path holds: the form says where each field ends.
TEST(OperationEntries, EveryTextFormReadsBackWhole)
{
    const struct {
        TransferEntry entry;
        EntryForm form;
        std::string text;
    } cases[] = {
        { listedEntry("/pub/a?1?2", "Jan 1", 3, "0123456789ABCDEF0123456789ABCDEF"), EntryForm::RemoteFile,
            "0123456789ABCDEF0123456789ABCDEF?Jan 1?/pub/a?1?2?3" },
        { listedEntry("/pub/why?", "Jan 1"), EntryForm::RemoteFolder, "Jan 1?/pub/why?" },
        { entryAt("/home/u/what?.txt", 5), EntryForm::UploadFile, "/home/u/what?.txt?5" },
        { entryAt("/home/u/why?not"), EntryForm::UploadFolder, "/home/u/why?not" },
    };
    for (const auto& [entry, form, text] : cases) {
        EXPECT_EQ(entryText(entry, form), text);
        EXPECT_EQ(parseEntryText(text, form), entry) << text;
    }
    // A file's text without a size after its last "?" names nothing.
    EXPECT_FALSE(parseEntryText("x?d?/a?", EntryForm::RemoteFile));
    EXPECT_FALSE(parseEntryText("/home/u/a", EntryForm::UploadFile));
}

TEST(OperationsStore, NamesHoldingTheSeparatorComeBackWhole)
{
    TempHome home;
    ftpOperationObject download = sampleDownload("pw");
    download.request.items.files = { listedEntry("/pub/what?.txt", "Jan 1", 9) };
    download.request.items.folders = { listedEntry("/pub/why?", "Jan 1") };
    download.request.items.links = {};
    ftpOperationObject upload = sampleDownload("pw");
    upload.request.kind = OperationKind::Upload;
    upload.request.items.files = { entryAt("/home/jan/what?.txt", 9) };
    upload.request.items.folders = { entryAt("/home/jan/why?not") };
    upload.request.items.links = {};
    ASSERT_TRUE(operationsStore(registryFilePath()).storeAll({ &download, &upload }));

    const auto loaded = operationsStore(registryFilePath()).loadAll("anon@x");
    ASSERT_EQ(loaded.size(), 2u);
    for (size_t i = 0; i < loaded.size(); ++i) {
        const ftpOperationObject& original = i == 0 ? download : upload;
        EXPECT_EQ(loaded[i]->request.items.files, original.request.items.files);
        EXPECT_EQ(loaded[i]->request.items.folders, original.request.items.folders);
        EXPECT_EQ(displayNamesOf(loaded[i]->request.items), displayNamesOf(original.request.items));
    }
}

TEST(OperationEntries, ShortDigestsAreReplacedByTheZeroDigest)
{
    EXPECT_EQ(entryText(listedEntry("/f", "d", 1, "ABC"), EntryForm::RemoteFile),
        std::string(zeroDigest) + "?d?/f?1");
    EXPECT_EQ(entryText(listedEntry("/f", "d", 1, "0123456789ABCDEF0123456789ABCDEF"), EntryForm::RemoteFile),
        "0123456789ABCDEF0123456789ABCDEF?d?/f?1");
    EXPECT_EQ(parseEntryText("ABC?d?/f?1", EntryForm::RemoteFile)->digest, zeroDigest);
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
    EXPECT_EQ(actions.row(0).operation->request.site.password, "pw");
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
