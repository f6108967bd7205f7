#include "common/IniFile.h"
#include "common/ProgramFolders.h"
#include "settings/ConnectionOptions.h"
#include "settings/CountryCodes.h"
#include "settings/GUIOptions.h"
#include "settings/MainWindowSettings.h"

#include "TempHome.h"

#include <gtest/gtest.h>

namespace
{

std::string connectionValue(const TempHome& home, std::string_view key)
{
    return IniFile(home.file(QStringLiteral("Ranquil.ini"))).readString("Connection", key, "<missing>");
}

TEST(Settings, FirstRunWithoutAnIniFileUsesTheDefaults)
{
    TempHome home;
    const connectionOptions c = connectionOptionsStore().load();
    // A value made in code starts where a first run starts.
    EXPECT_EQ(c, connectionOptions {});
    EXPECT_EQ(c.TimeoutPeriod, 100);
    EXPECT_EQ(c.Attempts, 3);
    EXPECT_EQ(c.Mode, connectionOptions::Auto);
    EXPECT_EQ(c.Type, connectionOptions::Direct);
    EXPECT_FALSE(c.AlwaysUsePassiveMode);
    EXPECT_TRUE(c.ShowLoadFormDetailsAtStartup);
    EXPECT_FALSE(c.EnableLoadFormClosingAtStartup);
    EXPECT_EQ(c.UseSingleConnectionForDownloads, connectionOptions::Ask);
    EXPECT_EQ(c.UseSingleConnectionForUploads, connectionOptions::Ask);
    EXPECT_EQ(c.UseSingleConnectionForDeletes, connectionOptions::Ask);
    EXPECT_EQ(connectionOptions::joinAsciiTypes(c.ASCIITypes), connectionOptions::defaultAsciiTypes);
    EXPECT_EQ(c.ASCIITypes.size(), 17u);

    const GUIOptions g = GUIOptionsStore().load();
    EXPECT_EQ(g.countryCode(), "UN");
    EXPECT_EQ(g.InitialPath, defaultDownloadFolder());
    EXPECT_EQ(g.FTPListViewMode, "Detail");
    EXPECT_EQ(g.LocalListViewMode, "Large");
    EXPECT_EQ(g.TreeViewWidth, 120);
    EXPECT_EQ(g.PageHeight, 174);
    EXPECT_EQ(g.ShellTreeViewWidth, 184);

    const MainWindowSettings w = MainWindowSettings::load(settingsFilePath());
    EXPECT_EQ(w.width, 790);
    EXPECT_EQ(w.height, 520);
    EXPECT_TRUE(w.tipsEnabled);
    EXPECT_TRUE(readAutoUpdateFlag(registryFilePath()));
}

TEST(Settings, TimeoutPeriodAboveTheLimitOrGarbledLoadsAsTheDefault)
{
    const std::pair<const char*, int> cases[] = { { "20000", 100 }, { "10001", 100 }, { "10000", 10000 },
        { "0", 0 }, { "abc", 100 }, { "-5", -5 } };
    for (const auto& [stored, expected] : cases) {
        TempHome home;
        home.write(QStringLiteral("Ranquil.ini"), QByteArray("[Connection]\nTimeoutPeriod=") + stored + '\n');
        EXPECT_EQ(connectionOptionsStore().load().TimeoutPeriod, expected) << stored;
    }
}

TEST(Settings, GarbledHeightFallsBackTo510WhileAMissingOneIs520)
{
    TempHome home;
    home.write(QStringLiteral("Ranquil.ini"), "[MainWindow]\nHeight=tall\nWidth=-700\n");
    MainWindowSettings w = MainWindowSettings::load(settingsFilePath());
    EXPECT_EQ(w.height, 510);
    EXPECT_TRUE(w.maximized());
    home.write(QStringLiteral("Ranquil.ini"), "[MainWindow]\nWidth=700\n");
    w = MainWindowSettings::load(settingsFilePath());
    EXPECT_EQ(w.height, 520);
    EXPECT_FALSE(w.maximized());
}

TEST(Settings, SearchChoicesOutsideTheirRangeBecomeZero)
{
    struct Case {
        const char* ini;
        int category, country, results, logic;
    } cases[] = {
        { "Category=-1\nCountry=XX\nNoofResults=3\nKeywordLogic=2\n", 0, 0, 0, 0 },
        { "Category=7\nCountry=\nNoofResults=-1\nKeywordLogic=-1\n", 0, 0, 0, 0 },
        { "Category=6\nCountry=UK\nNoofResults=2\nKeywordLogic=1\n", 6, 222, 2, 1 },
        { "Category=3\nCountry=zw\nNoofResults=1\nKeywordLogic=0\n", 3, 237, 1, 0 },
    };
    for (const Case& c : cases) {
        TempHome home;
        home.write(QStringLiteral("Ranquil.ini"), QByteArray("[Search]\n") + c.ini);
        const GUIOptions g = GUIOptionsStore().load();
        EXPECT_EQ(g.Category, c.category) << c.ini;
        EXPECT_EQ(g.Country, c.country) << c.ini;
        EXPECT_EQ(g.NoofResults, c.results) << c.ini;
        EXPECT_EQ(g.KeywordLogic, c.logic) << c.ini;
    }
}

TEST(Settings, UnknownCountryIsSavedBackAsAllCountries)
{
    TempHome home;
    home.write(QStringLiteral("Ranquil.ini"), "[Search]\nCountry=GB\n");
    const GUIOptionsStore store;
    store.save(store.load());
    EXPECT_EQ(IniFile(settingsFilePath()).readString("Search", "Country", ""), "UN");
}

TEST(Settings, CountryListKeepsTheIndexServersCodes)
{
    EXPECT_EQ(countryCodes.size(), 238u);
    EXPECT_EQ(countryCodes.front(), "UN");
    EXPECT_EQ(countryCodes.back(), "ZW");
    const auto has = [](std::string_view code) {
        return std::find(countryCodes.begin(), countryCodes.end(), code) != countryCodes.end();
    };
    EXPECT_TRUE(has("UK"));
    EXPECT_TRUE(has("TP"));
    EXPECT_TRUE(has("YU"));
    EXPECT_FALSE(has("GB"));
}

TEST(Settings, AsciiTypesKeepEmptyEntriesBetweenDoubleBlanks)
{
    struct Case {
        std::string stored;
        std::vector<std::string> entries;
        std::string savedBack;
    } cases[] = {
        { "txt  htm", { "txt", "", "htm" }, "txt  htm" },
        { "txt ", { "txt" }, "txt" },
        { " txt", { "", "txt" }, " txt" },
        { "TXT", { "TXT" }, "TXT" },
        { "", {}, "" },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(connectionOptions::splitAsciiTypes(c.stored), c.entries) << '"' << c.stored << '"';
        EXPECT_EQ(connectionOptions::joinAsciiTypes(c.entries), c.savedBack) << '"' << c.stored << '"';
    }
}

TEST(Settings, AsciiTypesWithADoubleBlankSurviveARun)
{
    TempHome home;
    home.write(QStringLiteral("Ranquil.ini"), "[Connection]\nASCIITypes=txt  htm\n");
    const connectionOptionsStore store;
    const connectionOptions c = store.load();
    EXPECT_EQ(c.ASCIITypes.size(), 3u);
    store.save(c);
    EXPECT_EQ(connectionValue(home, "ASCIITypes"), "txt  htm");
}

TEST(Settings, SingleConnectionAnswerIsSavedAtExitAndReadNextRun)
{
    TempHome home;
    const connectionOptionsStore store;
    connectionOptions c = store.load();
    c.UseSingleConnectionForDownloads = connectionOptions::NewConnection;
    store.save(c);
    EXPECT_EQ(connectionValue(home, "UseSingleConnectionForDownloads"), "0");
    EXPECT_EQ(store.load().UseSingleConnectionForDownloads, connectionOptions::NewConnection);
}

TEST(Settings, SavingOneRecordKeepsTheOthersSections)
{
    TempHome home;
    home.write(QStringLiteral("Ranquil.ini"), "[MainWindow]\nWidth=-800\nHeight=-600\n[Custom]\nmine=1\n");
    GUIOptionsStore().save(GUIOptionsStore().load());
    connectionOptions c = connectionOptionsStore().load();
    c.SocksPassword = "s\xE9"
                      "cret";
    connectionOptionsStore().save(c);
    const IniFile ini(settingsFilePath());
    EXPECT_EQ(ini.readInteger("MainWindow", "Width", 0), -800);
    EXPECT_EQ(ini.readString("Custom", "mine", ""), "1");
    EXPECT_EQ(ini.readString("Connection", "SocksPassword", ""),
        "s\xE9"
        "cret");
    EXPECT_EQ(ini.readString("My Computer", "InitialPath", ""), defaultDownloadFolder().toStdString());
}

TEST(Settings, MaximizedWindowIsStoredNegatedAndReadBackMaximized)
{
    TempHome home;
    MainWindowSettings saved { -800, -600, 30, 40, false };
    ASSERT_TRUE(saved.save(settingsFilePath()));
    const IniFile ini(settingsFilePath());
    EXPECT_EQ(ini.readString("MainWindow", "Width", ""), "-800");
    EXPECT_EQ(ini.readString("Preferences", "Tips Enabled", ""), "0");
    const MainWindowSettings loaded = MainWindowSettings::load(settingsFilePath());
    EXPECT_TRUE(loaded.maximized());
    EXPECT_EQ(loaded.height, -600);
    EXPECT_FALSE(loaded.tipsEnabled);
}

TEST(Settings, UpgradeFlagIsAnyNonZeroNumber)
{
    TempHome home;
    const std::pair<const char*, bool> cases[]
        = { { "0", false }, { "1", true }, { "7", true }, { "x", true } };
    for (const auto& [stored, expected] : cases) {
        home.write(
            QStringLiteral("Registry.ini"), QByteArray("[v5]\nAutoUpdateCheckAtStartup=") + stored + '\n');
        EXPECT_EQ(readAutoUpdateFlag(registryFilePath()), expected) << stored;
    }
    ASSERT_TRUE(writeAutoUpdateFlag(registryFilePath(), false));
    EXPECT_EQ(IniFile(registryFilePath()).readString("v5", "AutoUpdateCheckAtStartup", ""), "0");
}

} // namespace
