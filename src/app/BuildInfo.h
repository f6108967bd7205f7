#pragma once

#include <QString>

// What this build knows about itself. The version is set once, in the top
// CMakeLists.txt; everything that shows or compares it asks here.

// "5.6.0".
QString programVersion();
// "5.6": the version as the window title and the mails name it.
QString programMajorMinor();
// The information file of the upgrade check that the package was built with
// ("" when none: nothing is asked unless the user sets an address).
QString builtInUpgradeInformationUrl();
// True when `executableFolder` lies in the build tree this program was
// built in: such a program registers its file type for the user, where an
// installed one leaves that to its package.
bool runsFromBuildFolder(const QString& executableFolder);

// The help page RanquilHelp.html: beside the executable (the build folder,
// a portable install), else in the installed data folder; "" when neither
// holds it.
QString helpFilePath(const QString& executableFolder);
