#pragma once

#include <QString>
#include <QStringList>

// What the About window tells: which program and version runs, on which Qt
// and TLS library, where it keeps its files, and the licences of the
// libraries it uses.
struct AboutFacts {
    QString programName;
    QString version;
    QString qtVersion; // the Qt in use, and the one it was built with when they differ
    QString tlsLibrary; // the TLS library Qt loaded, or a text saying there is none
    QString programFolder;
    QString temporaryFolder; // or why there is none
    QStringList licences; // one line per library
};

// Gathers the facts now (the folders as the environment names them).
AboutFacts aboutFacts();
