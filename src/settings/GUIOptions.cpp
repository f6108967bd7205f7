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

GUIOptions::GUIOptions(QString iniPath)
    : iniPath_(iniPath.isEmpty() ? settingsFilePath() : std::move(iniPath))
{
    load();
}

GUIOptions::~GUIOptions()
{
    save();
}

std::string_view GUIOptions::countryCode() const
{
    return countryCodes[static_cast<size_t>(
        withinOrZero(Country, static_cast<std::int32_t>(countryCodes.size()) - 1))];
}

void GUIOptions::load()
{
    const IniFile ini(iniPath_);
    Country = countryIndex(ini.readString(search, "Country", "UN"));
    Category = withinOrZero(ini.readInteger(search, "Category", 0), 6);
    NoofResults = withinOrZero(ini.readInteger(search, "NoofResults", 0), 2);
    KeywordLogic = withinOrZero(ini.readInteger(search, "KeywordLogic", 0), 1);
    TreeViewWidth = ini.readInteger(mainWindow, "TreeViewWidth", 120);
    FTPListViewMode = ini.readString(mainWindow, "FTPListViewMode", "Detail");
    PageHeight = ini.readInteger(mainWindow, "PageHeight", 174);
    ShellTreeViewWidth = ini.readInteger(mainWindow, "ShellTreeViewWidth", 184);
    LocalListViewMode = ini.readString(mainWindow, "LocalListViewMode", "Large");
    InitialPath = QString::fromStdString(ini.readString(myComputer, "InitialPath", ""));
    if (InitialPath.isEmpty())
        InitialPath = defaultDownloadFolder();
}

bool GUIOptions::save() const
{
    IniFile ini(iniPath_);
    ini.writeString(search, "Country", countryCode());
    ini.writeInteger(search, "Category", Category);
    ini.writeInteger(search, "NoofResults", NoofResults);
    ini.writeInteger(search, "KeywordLogic", KeywordLogic);
    ini.writeInteger(mainWindow, "PageHeight", PageHeight);
    ini.writeInteger(mainWindow, "ShellTreeViewWidth", ShellTreeViewWidth);
    ini.writeInteger(mainWindow, "TreeViewWidth", TreeViewWidth);
    ini.writeString(mainWindow, "FTPListViewMode", FTPListViewMode);
    ini.writeString(mainWindow, "LocalListViewMode", LocalListViewMode);
    ini.writeString(myComputer, "InitialPath", InitialPath.toStdString());
    return ini.update();
}
