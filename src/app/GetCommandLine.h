#pragma once

#include "common/FtpSite.h"
#include "settings/ConnectionOptions.h"
#include "transfer/LoaderWindow.h"

#include <QIODevice>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

// The command line of ranquil-get:
//   ranquil-get [options] <ftp-url>... [<local-folder>]
// Options in the forms shell tools share: "--name value", "--name=value",
// short letters ("-d DIR", "-qc"), and "--" before arguments that only look
// like options. The local folder is -d's, or else the last argument when it
// is not a URL. A URL ending in "/" names a folder (its tree is fetched,
// structure kept); user and password come from the URL, anonymous otherwise.

struct GetItem {
    ftpSite site; // host, port and login of the URL
    std::string remotePath; // bytes, percent-decoded; a folder without its "/"
    bool folder = false;
    bool passwordGiven = false; // by the URL, even an empty one
    QString url; // as given, for messages
    std::optional<connectionOptions::TransferMode> mode; // of a ";type=" ending
};

struct GetCommand {
    std::vector<GetItem> items;
    QString localFolder;
    QString inputFile; // more URLs, one a line ("-": standard input)
    std::optional<bool> passive;
    std::optional<int> timeout;
    std::optional<int> attempts;
    // Binary unless asked: a script's copy is the server's bytes.
    connectionOptions::TransferMode mode = connectionOptions::Binary;
    // The answer to "the file is already there".
    enum class Existing { Resume, Overwrite, Skip } existing = Existing::Resume;
    bool verbose = false; // every status line, with the time since the start
    bool quiet = false; // failures only
    bool askPassword = false; // on the terminal, for a URL with a user and no password
    bool help = false;
    bool version = false;
};

// Nothing, with `error` set, when the line cannot be used.
std::optional<GetCommand> parseGetCommand(const QStringList& arguments, QString* error);

// Adds the URLs of `input`, one a line; empty lines and lines starting with
// "#" are skipped. False with `error` set (naming the line) for one that is
// not a URL.
bool readGetUrls(QIODevice& input, GetCommand& command, QString* error);

// What --help prints.
QString getUsage();

// The overwrite question answered by the command line's choice.
OverwriteAnswer answerFor(GetCommand::Existing existing, ExistenceKind kind);
