#include "app/BuildInfo.h"
#include "app/LinkFileRegistration.h"
#include "app/ProgramCommandLine.h"

#include "ServerProcess.h"
#include "TempHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

TEST(BuildInfo, TheVersionComesFromTheBuild)
{
    EXPECT_EQ(programVersion(), QStringLiteral("5.6.0"));
    EXPECT_EQ(programMajorMinor(), QStringLiteral("5.6"));
}

TEST(BuildInfo, KnowsTheBuildFolderFromAnInstalledOne)
{
    EXPECT_TRUE(runsFromBuildFolder(QCoreApplication::applicationDirPath()));
    EXPECT_TRUE(runsFromBuildFolder(buildPath()));
    EXPECT_FALSE(runsFromBuildFolder(QStringLiteral("/usr/bin")));
    EXPECT_FALSE(runsFromBuildFolder(QStringLiteral("/nonexistent/bin")));
    // A folder whose name only starts like the build folder's is another one.
    QTemporaryDir beside(QDir::cleanPath(buildPath()) + QStringLiteral("-installedXXXXXX"));
    ASSERT_TRUE(beside.isValid());
    EXPECT_FALSE(runsFromBuildFolder(beside.path()));
}

TEST(BuildInfo, FindsTheHelpPageBesideTheProgramElseInTheInstalledDataFolder)
{
    QTemporaryDir prefix;
    ASSERT_TRUE(QDir(prefix.path()).mkpath(QStringLiteral("bin")));
    const QString bin = prefix.filePath(QStringLiteral("bin"));
    EXPECT_EQ(helpFilePath(bin), QString());

    ASSERT_TRUE(QDir(prefix.path()).mkpath(QStringLiteral("share/ranquil")));
    const QString installed = prefix.filePath(QStringLiteral("share/ranquil/RanquilHelp.html"));
    QFile(installed).open(QIODevice::WriteOnly);
    EXPECT_EQ(helpFilePath(bin), installed);

    const QString beside = prefix.filePath(QStringLiteral("bin/RanquilHelp.html"));
    QFile(beside).open(QIODevice::WriteOnly);
    EXPECT_EQ(helpFilePath(bin), beside);

    EXPECT_TRUE(QFile::exists(helpFilePath(buildPath(QStringLiteral("src/app")))));
}

TEST(ProgramCommandLine, VersionAndHelpAreAnsweredOnTheTerminal)
{
    EXPECT_EQ(terminalAnswer({ QStringLiteral("--version") })->text, QStringLiteral("ranquil 5.6.0\n"));
    EXPECT_TRUE(
        terminalAnswer({ QStringLiteral("--help") })->text.startsWith(QStringLiteral("Usage: ranquil ")));
    // Everything else is the link file to open (or nothing): the program starts.
    EXPECT_FALSE(terminalAnswer({}));
    EXPECT_FALSE(terminalAnswer({ QStringLiteral("site.wkt") }));
    EXPECT_FALSE(terminalAnswer({ QStringLiteral("site.wkt"), QStringLiteral("--version") }));
}

// Both programs answer without a display: the package's man pages are made
// from --help on a build machine that has none.
TEST(ProgramCommandLine, BothProgramsTellTheirVersionWithoutADisplay)
{
    for (const char* program : { "ranquil", "ranquil-get" }) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
            environment.remove(QString::fromLatin1(name));
        process.setProcessEnvironment(environment);
        process.start(buildPath(QStringLiteral("src/app/") + QString::fromLatin1(program)),
            { QStringLiteral("--version") });
        ASSERT_TRUE(process.waitForFinished(10000)) << program;
        EXPECT_EQ(process.exitCode(), 0) << program << process.readAllStandardError().toStdString();
        EXPECT_EQ(process.readAllStandardOutput(), QByteArray(program) + " 5.6.0\n");
    }
}

// The Exec line as a desktop reads it: the file's string escapes first, then
// the quoting of the argument, then %% for a literal %.
QString execProgram(const QString& desktopFile)
{
    QFile file(desktopFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.startsWith("Exec="))
            continue;
        QByteArray value;
        const QByteArray raw = line.mid(5);
        for (qsizetype i = 0; i < raw.size(); ++i)
            value += raw[i] == '\\' && i + 1 < raw.size() && raw[i + 1] == '\\' ? raw[i++] : raw[i];
        if (!value.startsWith('"') || !value.endsWith("\" %f"))
            return {};
        QByteArray argument;
        const QByteArray quoted = value.mid(1, value.size() - 5);
        for (qsizetype i = 0; i < quoted.size(); ++i) {
            if (quoted[i] == '\\' && i + 1 < quoted.size())
                argument += quoted[++i];
            else if (quoted[i] == '%' && i + 1 < quoted.size() && quoted[i + 1] == '%')
                argument += quoted[i++];
            else if (quoted[i] == '"' || quoted[i] == '`' || quoted[i] == '$' || quoted[i] == '%')
                return {}; // unescaped: the desktop would read something else
            else
                argument += quoted[i];
        }
        return QFile::decodeName(argument);
    }
    return {};
}

TEST(LinkFileRegistration, TheEntryRunsThisVeryExecutableWhateverItsPathHolds)
{
    for (const QString& executable : { QStringLiteral("/opt/Ranquil Build/src/app/ranquil"),
             QStringLiteral("/home/u/$HOME \"q\" `x` 100% back\\slash/ranquil") }) {
        TempHome home;
        registerLinkFileType(executable);
        const QString entry = home.file(QStringLiteral("xdg-data/applications/ranquil.desktop"));
        EXPECT_EQ(execProgram(entry), executable);
        QFile written(entry);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_TRUE(written.readAll().contains("\nMimeType=application/x-zelta-link;\n"));
        EXPECT_TRUE(QFile::exists(home.file(QStringLiteral("xdg-data/mime/packages/ranquil-link.xml"))));
    }
}

TEST(LinkFileRegistration, APathWithALineBreakRegistersNothing)
{
    TempHome home;
    registerLinkFileType(QStringLiteral("/tmp/evil\nExec=rm -rf ~/ranquil"));
    EXPECT_FALSE(QFile::exists(home.file(QStringLiteral("xdg-data/applications/ranquil.desktop"))));
}

} // namespace
