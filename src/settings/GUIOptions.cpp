#include "settings/GUIOptions.h"

#include "common/IniFile.h"
#include "common/ProgramFolders.h"
#include "settings/CountryCodes.h"

#include <algorithm>
#include <cctype>

namespace
{
constexpr std::string_view search = "Search";
constexpr std::string_view mainWindow = "MainWindow";
constexpr std::string_view myComputer = "My Computer";

std::int32_t withinOrZero(std::int32_t value, std::int32_t last)
{
    return value >= 0 && value <= last ? value : 0;
}

std::int32_t countryIndex(std::string_view code)
{
    const auto same = [&](std::string_view entry) {
        return std::equal(entry.begin(), entry.end(), code.begin(), code.end(), [](char a, char b) {
            return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
        });
    };
    const auto it = std::find_if(countryCodes.begin(), countryCodes.end(), same);
    return it == countryCodes.end() ? 0 : static_cast<std::int32_t>(it - countryCodes.begin());
}
} // namespace

GUIOptionsStore::GUIOptionsStore(QString iniPath)
    : iniPath_(iniPath.isEmpty() ? settingsFilePath() : std::move(iniPath))
{
}

std::string_view GUIOptions::countryCode() const
{
    return countryCodes[static_cast<size_t>(
        withinOrZero(Country, static_cast<std::int32_t>(countryCodes.size()) - 1))];
}

GUIOptions GUIOptionsStore::load() const
{
    const IniFile ini(iniPath_);
    GUIOptions o;
    o.Country = countryIndex(ini.readString(search, "Country", "UN"));
    o.Category = withinOrZero(ini.readInteger(search, "Category", 0), 6);
    o.NoofResults = withinOrZero(ini.readInteger(search, "NoofResults", 0), 2);
    o.KeywordLogic = withinOrZero(ini.readInteger(search, "KeywordLogic", 0), 1);
    o.TreeViewWidth = ini.readInteger(mainWindow, "TreeViewWidth", 120);
    o.FTPListViewMode = ini.readString(mainWindow, "FTPListViewMode", "Detail");
    o.PageHeight = ini.readInteger(mainWindow, "PageHeight", 174);
    o.ShellTreeViewWidth = ini.readInteger(mainWindow, "ShellTreeViewWidth", 184);
    o.LocalListViewMode = ini.readString(mainWindow, "LocalListViewMode", "Large");
    o.InitialPath = QString::fromStdString(ini.readString(myComputer, "InitialPath", ""));
    if (o.InitialPath.isEmpty())
        o.InitialPath = defaultDownloadFolder();
    return o;
}

bool GUIOptionsStore::save(const GUIOptions& o) const
{
    IniFile ini(iniPath_);
    ini.writeString(search, "Country", o.countryCode());
    ini.writeInteger(search, "Category", o.Category);
    ini.writeInteger(search, "NoofResults", o.NoofResults);
    ini.writeInteger(search, "KeywordLogic", o.KeywordLogic);
    ini.writeInteger(mainWindow, "PageHeight", o.PageHeight);
    ini.writeInteger(mainWindow, "ShellTreeViewWidth", o.ShellTreeViewWidth);
    ini.writeInteger(mainWindow, "TreeViewWidth", o.TreeViewWidth);
    ini.writeString(mainWindow, "FTPListViewMode", o.FTPListViewMode);
    ini.writeString(mainWindow, "LocalListViewMode", o.LocalListViewMode);
    ini.writeString(myComputer, "InitialPath", o.InitialPath.toStdString());
    return ini.update();
}
