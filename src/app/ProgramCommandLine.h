#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The command line of ranquil: [link-file], or one of the options below,
// which are answered on the terminal before any window exists (so that they
// work without a display).

struct TerminalAnswer {
    QString text;
    int exitCode = 0;
};

// The answer to "--help" or "--version" as the first argument (nothing for
// every other command line: the program starts). `arguments` are those
// after the program name.
std::optional<TerminalAnswer> terminalAnswer(const QStringList& arguments);

// "<program> <version>\n", as both programs print it for --version.
QString versionText(const QString& program);

// What ranquil --help prints; its man page is made from it.
QString programUsage();
