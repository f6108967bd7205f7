#pragma once

#include <QString>

#include <cstdint>

// The main window's own values in Ranquil.ini ([MainWindow] "Width",
// "Height", "Left", "Top"; [Preferences] "Tips Enabled"). A maximized window
// is stored with its restored client size negated.
struct MainWindowSettings {
    std::int32_t width = 790;
    std::int32_t height = 520;
    std::int32_t left = 100;
    std::int32_t top = 100;
    bool tipsEnabled = true;

    bool maximized() const { return width <= 0; }

    static MainWindowSettings load(const QString& iniPath);
    bool save(const QString& iniPath) const;
};

// "AutoUpdateCheckAtStartup" under "v5" of the registry store: default on.
bool readAutoUpdateFlag(const QString& registryPath);
bool writeAutoUpdateFlag(const QString& registryPath, bool enabled);

// [Upgrade] "InformationURL" of Ranquil.ini: where the upgrade check reads
// the newest version. `builtIn` (the package's address) when the key is
// missing; a key present but empty turns the request off.
QString readUpgradeInformationUrl(const QString& iniPath, const QString& builtIn);
