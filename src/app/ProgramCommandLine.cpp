#include "app/ProgramCommandLine.h"

#include "app/BuildInfo.h"

std::optional<TerminalAnswer> terminalAnswer(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return std::nullopt;
    const QString& first = arguments.first();
    if (first == QStringLiteral("--version"))
        return TerminalAnswer { versionText(QStringLiteral("ranquil")) };
    if (first == QStringLiteral("--help") || first == QStringLiteral("-h"))
        return TerminalAnswer { programUsage() };
    return std::nullopt;
}

QString versionText(const QString& program)
{
    return program + QLatin1Char(' ') + programVersion() + QLatin1Char('\n');
}

QString programUsage()
{
    return QStringLiteral(
        "Usage: ranquil [link-file]\n"
        "\n"
        "Quorvane Ranquil is a desktop FTP client with peer-to-peer search. It browses and manages\n"
        "FTP servers in tabs, runs downloads, uploads and deletions as operations that survive\n"
        "restarts and resume where they stopped, keeps sites as bookmark link files (.wkt), and\n"
        "searches a network of FTP servers through an HTTP index server.\n"
        "A link file given on the command line opens in a new FTP session.\n"
        "\n"
        "Options:\n"
        "  --help     this text\n"
        "  --version  the program's version\n"
        "\n"
        "Files:\n"
        "  Ranquil.ini    the settings, in the program folder: $RANQUIL_HOME when set, else the\n"
        "                 executable's folder when a Ranquil.ini lies there, else\n"
        "                 $XDG_DATA_HOME/ranquil (~/.local/share/ranquil)\n"
        "  Registry.ini   the upgrade-check flag and the stored operations (mode 0600)\n"
        "  My FTP Links   the bookmark tree: folders and .wkt link files\n"
        "  Cache          directory caches of downloads\n"
        "\n"
        "Upgrade check:\n"
        "  At start, when Edit > Upgrade Check is on and [Upgrade] InformationURL of Ranquil.ini\n"
        "  (or the package) names an http:// address, the program reads that one file through the\n"
        "  HTTP proxy settings. A file holding \"[Ranquil]\", \"Version=X.Y.Z\" and \"Page=URL\" with a\n"
        "  newer version shows a link to the page in the status bar. Nothing is downloaded or run;\n"
        "  an unreachable or malformed file is only logged.\n"
        "\n"
        "Environment:\n"
        "  RANQUIL_HOME   the program folder\n"
        "  XDG_DATA_HOME  where the program folder lies when RANQUIL_HOME is not set\n"
        "\n"
        "See also:\n"
        "  ranquil-get(1)\n");
}
