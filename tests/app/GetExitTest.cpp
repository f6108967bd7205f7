// ranquil-get as scripts see it: its exit status, its messages on standard
// error and what it leaves on disk, against the family server and vsftpd.

#include "GetProgram.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace
{

constexpr char prefix[] = "ranquil-get: ";

// Every line of standard error starts with the program's name.
void expectPrefixed(const QByteArray& errors)
{
    for (const QByteArray& line : errors.split('\n')) {
        if (!line.isEmpty()) {
            EXPECT_TRUE(line.startsWith(prefix)) << line.toStdString();
        }
    }
}

// "name size" of every file below `folder`, sorted.
QStringList filesBelow(const QString& folder)
{
    QStringList found;
    const QDir base(folder);
    for (const QString& name : base.entryList(QDir::Files | QDir::Hidden)) {
        found << name + QLatin1Char(' ') + QString::number(QFileInfo(base.filePath(name)).size());
    }
    for (const QString& name : base.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        for (const QString& below : filesBelow(base.filePath(name)))
            found << name + QLatin1Char('/') + below;
    }
    found.sort();
    return found;
}

struct ExitCase {
    const char* name;
    const char* path; // of the URL
    int exit;
    const char* said; // on standard error
    QStringList files; // what the local folder then holds, with sizes
};

const ExitCase exitCases[] = {
    { "aFile", "/pub/e.bin", 0, "done /pub/e.bin", { QStringLiteral("e.bin 1000") } },
    { "aFolder", "/pub/tree/", 0, "done /pub/tree/ok.bin", { QStringLiteral("tree/ok.bin 3000") } },
    { "aMissingFile", "/pub/none.bin", 3, "550", {} },
    { "aMissingFolder", "/pub/none/", 3, "550", {} },
    { "aFileAsAFolder", "/pub/e.bin/", 3, "550", {} },
    { "aFolderWithANameThatWouldLeaveIt", "/pub/odd/", 6, "a\\b.bin", { QStringLiteral("odd/ok.bin 3000") } },
};

class GetExits : public GetProgram, public testing::WithParamInterface<std::tuple<FtpServerKind, ExitCase>>
{
};

TEST_P(GetExits, SayWhetherWhatWasAskedArrived)
{
    const auto& [kind, c] = GetParam();
    serve(QStringLiteral("e.bin"), 1000);
    QDir().mkpath(remote.filePath(QStringLiteral("pub/tree")));
    serve(QStringLiteral("tree/ok.bin"), 3000);
    QDir().mkpath(remote.filePath(QStringLiteral("pub/odd")));
    serve(QStringLiteral("odd/ok.bin"), 3000);
    serve(QStringLiteral("odd/a\\b.bin"), 10);
    server = std::make_unique<FtpTestServer>(kind, remote.path());
    ASSERT_TRUE(server->running()) << server->error().toStdString();

    QByteArray errors;
    EXPECT_EQ(runGet({ url(QString::fromUtf8(c.path)), local.path() }, &errors), c.exit)
        << errors.toStdString();
    EXPECT_TRUE(errors.contains(c.said)) << errors.toStdString();
    expectPrefixed(errors);
    EXPECT_EQ(filesBelow(local.path()), c.files);
    // The last line sums the run up.
    const QByteArray summary = prefix + QByteArray::number(c.files.size()) + " files, ";
    EXPECT_TRUE(errors.trimmed().split('\n').last().startsWith(summary)) << errors.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Get, GetExits,
    testing::Combine(
        testing::Values(FtpServerKind::Family, FtpServerKind::Vsftpd), testing::ValuesIn(exitCases)),
    [](const auto& info) {
        return FtpTestServer::kindName(std::get<0>(info.param)).toStdString() + "_"
            + std::get<1>(info.param).name;
    });

// vsftpd serves its anonymous user as the account "ftp": a folder without
// permissions cannot be opened, whoever runs the tests.
TEST_F(GetProgram, AFolderThatCannotBeOpenedIsNamedWithTheReplyAndTheTreeIsNotWhole)
{
    QDir().mkpath(remote.filePath(QStringLiteral("pub/part/locked")));
    serve(QStringLiteral("part/ok.bin"), 3000);
    serve(QStringLiteral("part/locked/hidden.bin"), 10);
    ASSERT_TRUE(QFile::setPermissions(remote.filePath(QStringLiteral("pub/part/locked")), {}));
    server = std::make_unique<FtpTestServer>(FtpServerKind::Vsftpd, remote.path());
    ASSERT_TRUE(server->running()) << server->error().toStdString();
    QByteArray errors;
    EXPECT_EQ(runGet({ url(QStringLiteral("/pub/part/")), local.path() }, &errors), 6)
        << errors.toStdString();
    EXPECT_TRUE(errors.contains("Could not open the folder /pub/part/locked")) << errors.toStdString();
    EXPECT_TRUE(errors.contains("the server replied \"550 ")) << errors.toStdString();
    EXPECT_EQ(filesBelow(local.path()), QStringList { QStringLiteral("part/ok.bin 3000") });
    QFile::setPermissions(remote.filePath(QStringLiteral("pub/part/locked")),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// A download under way: the process, once bytes of `name` are on disk.
class GetUnderWay : public GetProgram
{
protected:
    void startUnderWay(
        QProcess& process, const QString& name, const QStringList& options, QString folder = {})
    {
        folder = folder.isEmpty() ? local.path() : folder;
        startGet(process, options + QStringList { url(QStringLiteral("/pub/") + name), folder });
        const QString written = local.filePath(name + QStringLiteral(".0"));
        for (int i = 0; i < 400 && QFileInfo(written).size() == 0 && process.state() == QProcess::Running;
             ++i)
            QThread::msleep(25);
        ASSERT_GT(QFileInfo(written).size(), 0);
    }
};

TEST_F(GetUnderWay, ASilentServerIsGivenUpAfterTheTimeOutAndNamedAsOne)
{
    serve(QStringLiteral("s.bin"), 8 << 20);
    server = std::make_unique<FtpTestServer>(FtpServerKind::Family, remote.path(),
        QStringList { QStringLiteral("--rate"), QStringLiteral("200000") });
    ASSERT_TRUE(server->running()) << server->error().toStdString();
    constexpr int timeout = 3;
    QProcess process;
    startUnderWay(process, QStringLiteral("s.bin"),
        { QStringLiteral("--timeout=%1").arg(timeout), QStringLiteral("--attempts"), QStringLiteral("1") });
    ::kill(static_cast<pid_t>(server->pid()), SIGSTOP);
    QElapsedTimer silence;
    silence.start();
    const bool ended = process.waitForFinished(60000);
    const qint64 waited = silence.elapsed();
    ::kill(static_cast<pid_t>(server->pid()), SIGCONT);
    ASSERT_TRUE(ended);
    const QByteArray errors = process.readAllStandardError();
    EXPECT_EQ(process.exitCode(), 3) << errors.toStdString();
    EXPECT_TRUE(errors.contains("timed out")) << errors.toStdString();
    EXPECT_FALSE(errors.contains("Operation aborted")) << errors.toStdString();
    expectPrefixed(errors);
    // About the time-out: not one more for every try of every connection.
    EXPECT_GE(waited, timeout * 1000 - 500);
    EXPECT_LT(waited, timeout * 2000);
}

struct SignalCase {
    const char* name;
    int signal;
    int exit;
};

class GetSignals : public GetUnderWay, public testing::WithParamInterface<SignalCase>
{
};

TEST_P(GetSignals, StopWithTheShellsStatusAndTheSameCommandFinishes)
{
    const SignalCase& c = GetParam();
    serve(QStringLiteral("i.bin"), 4 << 20);
    server = std::make_unique<FtpTestServer>(FtpServerKind::Family, remote.path(),
        QStringList { QStringLiteral("--rate"), QStringLiteral("200000") });
    ASSERT_TRUE(server->running()) << server->error().toStdString();
    QProcess process;
    startUnderWay(process, QStringLiteral("i.bin"), {});
    ::kill(static_cast<pid_t>(process.processId()), c.signal);
    ASSERT_TRUE(process.waitForFinished(30000));
    const QByteArray errors = process.readAllStandardError();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), c.exit) << errors.toStdString();
    EXPECT_TRUE(errors.trimmed().endsWith("ranquil-get: interrupted; run the same command again to resume"))
        << errors.toStdString();
    EXPECT_EQ(errors.count("interrupted"), 1) << errors.toStdString();
    expectPrefixed(errors);

    QByteArray again;
    EXPECT_EQ(runGet({ url(QStringLiteral("/pub/i.bin")), local.path() }, &again), 0) << again.toStdString();
    EXPECT_EQ(md5File(local.filePath(QStringLiteral("i.bin"))),
        md5File(remote.filePath(QStringLiteral("pub/i.bin"))));
}

INSTANTIATE_TEST_SUITE_P(Get, GetSignals,
    testing::Values(SignalCase { "interrupt", SIGINT, 130 }, SignalCase { "terminate", SIGTERM, 143 }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GetUnderWay, TheFolderResumesHoweverItIsSpelledAndLeavesNoStateBehind)
{
    serve(QStringLiteral("r.bin"), 4 << 20);
    server = std::make_unique<FtpTestServer>(FtpServerKind::Family, remote.path(),
        QStringList { QStringLiteral("--rate"), QStringLiteral("200000") });
    ASSERT_TRUE(server->running()) << server->error().toStdString();
    {
        QProcess first;
        startUnderWay(first, QStringLiteral("r.bin"), {}, local.path() + QStringLiteral("/sub/../."));
        ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
        first.waitForFinished();
    }
    QByteArray errors;
    EXPECT_EQ(runGet({ url(QStringLiteral("/pub/r.bin")), local.path() + QLatin1Char('/') }, &errors), 0)
        << errors.toStdString();
    EXPECT_EQ(md5File(local.filePath(QStringLiteral("r.bin"))),
        md5File(remote.filePath(QStringLiteral("pub/r.bin"))));
    EXPECT_EQ(QDir(home.path()).entryList({ QStringLiteral("ranquil-get-*") }), QStringList {});
}

TEST_F(GetUnderWay, SkipFinishesAStoppedDownloadRatherThanLeaveItsParts)
{
    serve(QStringLiteral("k.bin"), 4 << 20);
    server = std::make_unique<FtpTestServer>(FtpServerKind::Family, remote.path(),
        QStringList { QStringLiteral("--rate"), QStringLiteral("200000") });
    ASSERT_TRUE(server->running()) << server->error().toStdString();
    {
        QProcess first;
        startUnderWay(first, QStringLiteral("k.bin"), {});
        ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
        first.waitForFinished();
    }
    QByteArray errors;
    EXPECT_EQ(
        runGet({ QStringLiteral("--skip"), url(QStringLiteral("/pub/k.bin")), local.path() }, &errors), 0)
        << errors.toStdString();
    EXPECT_EQ(md5File(local.filePath(QStringLiteral("k.bin"))),
        md5File(remote.filePath(QStringLiteral("pub/k.bin"))));
    EXPECT_EQ(QDir(local.path()).entryList(QDir::Files), QStringList { QStringLiteral("k.bin") });
}

// On a terminal (script(1) gives one) the line is redrawn with the bytes of
// every part as they arrive, not only once a part is whole.
TEST_F(GetProgram, TheProgressLineFollowsEveryPart)
{
    const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
    if (script.isEmpty())
        GTEST_SKIP() << "no script(1)";
    serve(QStringLiteral("g.bin"), 8 << 20);
    server = std::make_unique<FtpTestServer>(FtpServerKind::Family, remote.path(),
        QStringList { QStringLiteral("--rate"), QStringLiteral("400000") });
    ASSERT_TRUE(server->running()) << server->error().toStdString();
    QProcess terminal;
    terminal.setProcessEnvironment(environment);
    terminal.start(script,
        { QStringLiteral("-qec"),
            QStringLiteral("'%1' '%2' '%3'")
                .arg(QStringLiteral(RANQUIL_GET), url(QStringLiteral("/pub/g.bin")), local.path()),
            QStringLiteral("/dev/null") });
    ASSERT_TRUE(terminal.waitForFinished(120000));
    const QByteArray shown = terminal.readAllStandardOutput();
    EXPECT_EQ(terminal.exitCode(), 0) << shown.toStdString();
    QList<int> percents;
    static const QRegularExpression line(QStringLiteral("\r\033\\[Kranquil-get: (\\d+)% "));
    for (auto match = line.globalMatch(QString::fromLatin1(shown)); match.hasNext();)
        percents << match.next().captured(1).toInt();
    EXPECT_TRUE(std::any_of(percents.begin(), percents.end(), [](int p) { return p >= 20 && p <= 80; }))
        << shown.toStdString();
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end())) << shown.toStdString();
}

// The local folder on a file system of 256 KiB of its own, in a mount
// namespace of the program's own (nothing to clean up when it ends).
TEST_F(GetProgram, AFullDiskIsALocalWriteFailureNamedAsOne)
{
    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    if (unshare.isEmpty()
        || QProcess::execute(unshare, { QStringLiteral("-rm"), QStringLiteral("true") }) != 0)
        GTEST_SKIP() << "no mount namespace here";
    serve(QStringLiteral("f.bin"), 1 << 20);
    server = std::make_unique<FtpTestServer>(FtpServerKind::Family, remote.path());
    ASSERT_TRUE(server->running()) << server->error().toStdString();
    wrapper = QStringList { unshare, QStringLiteral("-rm"), QStringLiteral("sh"), QStringLiteral("-c"),
        QStringLiteral("mount -t tmpfs -o size=256k tmpfs '%1' && exec \"$0\" \"$@\"").arg(local.path()) };
    QByteArray errors;
    EXPECT_EQ(runGet({ url(QStringLiteral("/pub/f.bin")), local.path() }, &errors), 5)
        << errors.toStdString();
    EXPECT_TRUE(errors.contains(std::strerror(ENOSPC))) << errors.toStdString();
    EXPECT_FALSE(errors.contains("Details from server")) << errors.toStdString();
    EXPECT_FALSE(errors.contains("226")) << errors.toStdString();
    expectPrefixed(errors);
}

TEST(GetHelp, NamesTheFilesAndEveryExitStatus)
{
    QProcess process;
    process.start(QStringLiteral(RANQUIL_GET), { QStringLiteral("--help") });
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 0);
    const QByteArray help = process.readAllStandardOutput();
    for (const char* text : { "Ranquil.ini", "RANQUIL_HOME", "XDG_DATA_HOME", "ranquil-get-*.ini", "\n  0 ",
             "\n  5 ", "\n  6 ", "\n  130 ", "\n  143 ", "-d, --directory", "--timeout" })
        EXPECT_TRUE(help.contains(text)) << text;
}

} // namespace
