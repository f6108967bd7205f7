#pragma once

#include <QString>

// Makes ".wkt" link files open with this executable in the user's desktop
// (a program run from its build folder; a package installs the same files): a
// shared-mime-info package (application/x-zelta-link) and a ranquil.desktop
// entry under $XDG_DATA_HOME, refreshed with update-mime-database and
// update-desktop-database when the files changed. Failures are ignored: the
// program works the same without the registration.
void registerLinkFileType(const QString& executablePath);
