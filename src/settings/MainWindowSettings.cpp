#include "settings/MainWindowSettings.h"

#include "common/IniFile.h"

namespace
{
constexpr std::string_view mainWindow = "MainWindow";
constexpr std::string_view preferences = "Preferences";
constexpr std::string_view upgradeSection = "v5";
constexpr std::string_view upgradeKey = "AutoUpdateCheckAtStartup";
constexpr std::string_view informationSection = "Upgrade";
constexpr std::string_view informationKey = "InformationURL";
} // namespace

MainWindowSettings MainWindowSettings::load(const QString& iniPath)
{
    const IniFile ini(iniPath);
    MainWindowSettings s;
    s.width = ini.readInteger(mainWindow, "Width", 790);
    // A garbled height falls back to 510, not to its default of 520.
    s.height = ini.readInteger(mainWindow, "Height", 520, 510);
    s.left = ini.readInteger(mainWindow, "Left", 100);
    s.top = ini.readInteger(mainWindow, "Top", 100);
    s.tipsEnabled = ini.readBool(preferences, "Tips Enabled", true);
    return s;
}

bool MainWindowSettings::save(const QString& iniPath) const
{
    IniFile ini(iniPath);
    ini.writeInteger(mainWindow, "Width", width);
    ini.writeInteger(mainWindow, "Height", height);
    ini.writeInteger(mainWindow, "Left", left);
    ini.writeInteger(mainWindow, "Top", top);
    ini.writeBool(preferences, "Tips Enabled", tipsEnabled);
    return ini.update();
}

bool readAutoUpdateFlag(const QString& registryPath)
{
    return IniFile(registryPath).readBool(upgradeSection, upgradeKey, true);
}

bool writeAutoUpdateFlag(const QString& registryPath, bool enabled)
{
    IniFile registry(registryPath);
    registry.writeInteger(upgradeSection, upgradeKey, enabled ? 1 : 0);
    return registry.update();
}

QString readUpgradeInformationUrl(const QString& iniPath, const QString& builtIn)
{
    const auto stored = IniFile(iniPath).value(informationSection, informationKey);
    return stored ? QString::fromStdString(*stored).trimmed() : builtIn;
}
