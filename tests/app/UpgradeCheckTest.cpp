#include "app/UpgradeCheck.h"
#include "app/BuildInfo.h"
#include "app/MainForm.h"
#include "common/IniFile.h"
#include "common/ProgramFolders.h"
#include "settings/ConnectionOptions.h"
#include "settings/MainWindowSettings.h"

#include "HttpTestServers.h"
#include "ProxyServers.h"
#include "ScriptedPrompter.h"
#include "TempHome.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <mutex>

namespace
{

const QString latestPath = QStringLiteral("/ranquil/latest.txt");

// What the program logs while an object lives.
class LogCapture
{
public:
    LogCapture() { previous_ = qInstallMessageHandler(&LogCapture::record); }
    ~LogCapture()
    {
        qInstallMessageHandler(previous_);
        std::lock_guard lock(mutex_);
        lines_.clear();
    }
    static QStringList lines()
    {
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    static void record(QtMsgType, const QMessageLogContext& context, const QString& text)
    {
        std::lock_guard lock(mutex_);
        lines_ << QString::fromLatin1(context.category ? context.category : "") + QLatin1Char(' ') + text;
    }
    static inline std::mutex mutex_;
    static inline QStringList lines_;
    QtMessageHandler previous_ = nullptr;
};

// Runs the check to its end (or 20 s) and tells the outcome.
std::optional<UpgradeCheck::Outcome> runToEnd(UpgradeCheck& check)
{
    std::optional<UpgradeCheck::Outcome> outcome;
    QEventLoop loop;
    QObject::connect(&check, &UpgradeCheck::finished, &loop, [&](UpgradeCheck::Outcome o) {
        outcome = o;
        loop.quit();
    });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    check.start();
    if (!outcome)
        loop.exec();
    return outcome;
}

QString latestUrl(const IndexTestServer& server)
{
    return QString::fromStdString(server.origin()) + latestPath;
}

TEST(Versions, AreComparedNumberByNumber)
{
    struct Row {
        const char* a;
        const char* b;
        int order;
    } const rows[] = {
        { "5.6.0", "5.6.0", 0 },
        { "5.6", "5.6.0", 0 },
        { "5.7.0", "5.6.9", 1 },
        { "5.10.0", "5.9.0", 1 },
        { "5.6.0.1", "5.6.0", 1 },
        { "4.99.99", "5.0.0", -1 },
        { "05.6", "5.6.0", 0 },
    };
    for (const Row& row : rows) {
        const auto a = parseVersion(QString::fromLatin1(row.a));
        const auto b = parseVersion(QString::fromLatin1(row.b));
        ASSERT_TRUE(a && b) << row.a << " " << row.b;
        EXPECT_EQ(compareVersions(*a, *b), row.order) << row.a << " against " << row.b;
    }
    for (const char* text : { "", "5.", ".5", "5..6", "5.6 beta", "v5.6", "5.6.0.1.2", "1234567890.1", "-5.6",
             "5,6", "\xd9\xa5.6" })
        EXPECT_FALSE(parseVersion(QString::fromUtf8(text))) << text;
}

TEST(UpgradeInformationFile, NamesAVersionAndAWebPage)
{
    QString problem;
    const auto information = parseUpgradeInformation(
        "; the newest\n[Ranquil]\nVersion=5.7.0\nPage=https://www.quorvane.example/ranquil/\n", &problem);
    ASSERT_TRUE(information) << problem.toStdString();
    EXPECT_EQ(information->version, QStringLiteral("5.7.0"));
    EXPECT_EQ(information->page, QUrl(QStringLiteral("https://www.quorvane.example/ranquil/")));

    struct Row {
        const char* name;
        QByteArray text;
    } const malformed[] = {
        { "empty", "" },
        { "no section", "Version=5.7.0\nPage=http://a.example/\n" },
        { "no page", "[Ranquil]\nVersion=5.7.0\n" },
        { "no version", "[Ranquil]\nPage=http://a.example/\n" },
        { "version with words", "[Ranquil]\nVersion=5.7 beta\nPage=http://a.example/\n" },
        { "page runs a program", "[Ranquil]\nVersion=5.7.0\nPage=file:///usr/bin/xterm\n" },
        { "page of no host", "[Ranquil]\nVersion=5.7.0\nPage=http:///x\n" },
        { "page with a user part", "[Ranquil]\nVersion=5.7.0\nPage=http://good.example@evil.example/\n" },
        { "page with a space", "[Ranquil]\nVersion=5.7.0\nPage=http://a.example/a b\n" },
        { "page with a control byte", "[Ranquil]\nVersion=5.7.0\nPage=http://a.example/\x1b[2J\n" },
        { "binary", QByteArray("\x00\xff\xfe[Ranquil]\x00", 9) },
    };
    for (const Row& row : malformed) {
        problem.clear();
        EXPECT_FALSE(parseUpgradeInformation(row.text, &problem)) << row.name;
        EXPECT_FALSE(problem.isEmpty()) << row.name;
        for (const QChar c : problem)
            EXPECT_GE(c.unicode(), 0x20) << row.name << ": the problem shows a control character raw";
    }
}

struct ServedCase {
    const char* name;
    QStringList switches;
    UpgradeCheck::Outcome outcome;
    const char* logged; // a part of the log line, "" when nothing is logged as a warning
};

class UpgradeCheckAgainstServer : public ::testing::TestWithParam<ServedCase>
{
};

TEST_P(UpgradeCheckAgainstServer, AnnouncesOnlyANewerVersionAndLogsTheRest)
{
    const ServedCase& row = GetParam();
    TempHome home;
    IndexTestServer server;
    ASSERT_TRUE(server.start({}, row.switches)) << server.error().toStdString();
    LogCapture log;
    UpgradeCheck check(latestUrl(server), QStringLiteral("5.6.0"), connectionOptions {});
    QSignalSpy newer(&check, &UpgradeCheck::newerVersionAvailable);
    EXPECT_EQ(runToEnd(check), row.outcome);
    EXPECT_EQ(server.requestsTo(latestPath).size(), 1) << "one request, no repetition";
    if (row.outcome == UpgradeCheck::Outcome::Newer) {
        ASSERT_EQ(newer.size(), 1);
        EXPECT_EQ(newer.front().at(0).toString(), QStringLiteral("5.7.0"));
        EXPECT_EQ(newer.front().at(1).toUrl(),
            QUrl(QString::fromStdString(server.origin()) + QStringLiteral("/ranquil/")));
    } else {
        EXPECT_TRUE(newer.isEmpty());
    }
    const QString logged = LogCapture::lines().join(QLatin1Char('\n'));
    EXPECT_TRUE(logged.contains(QLatin1String(row.logged))) << logged.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Cases, UpgradeCheckAgainstServer,
    ::testing::Values(ServedCase { "Newer", { QStringLiteral("--latest-version"), QStringLiteral("5.7.0") },
                          UpgradeCheck::Outcome::Newer, "" },
        ServedCase { "Same", { QStringLiteral("--latest-version"), QStringLiteral("5.6") },
            UpgradeCheck::Outcome::NotNewer, "" },
        ServedCase { "Older", { QStringLiteral("--latest-version"), QStringLiteral("5.5.9") },
            UpgradeCheck::Outcome::NotNewer, "" },
        ServedCase { "MalformedVersion", { QStringLiteral("--latest-version"), QStringLiteral("5.7 beta") },
            UpgradeCheck::Outcome::Malformed, "ranquil.upgrade The upgrade check ignores" },
        ServedCase { "EmptyFile",
            { QStringLiteral("--latest-version"), QStringLiteral("5.7.0"), QStringLiteral("--empty-reply"),
                QStringLiteral("--fault-endpoint"), QStringLiteral("latest") },
            UpgradeCheck::Outcome::Malformed, "ranquil.upgrade The upgrade check ignores" },
        ServedCase { "NoFile", {}, UpgradeCheck::Outcome::Unreachable,
            "ranquil.upgrade The upgrade check could not read" },
        ServedCase { "ServerError",
            { QStringLiteral("--latest-version"), QStringLiteral("5.7.0"), QStringLiteral("--error-status"),
                QStringLiteral("500") },
            UpgradeCheck::Outcome::Unreachable, "ranquil.upgrade The upgrade check could not read" }),
    [](const ::testing::TestParamInfo<ServedCase>& info) { return std::string(info.param.name); });

TEST(UpgradeCheck, AnUnreachableAddressIsLoggedAndNothingMore)
{
    TempHome home;
    auto server = std::make_unique<IndexTestServer>();
    ASSERT_TRUE(server->start({}, { QStringLiteral("--latest-version"), QStringLiteral("5.7.0") }))
        << server->error().toStdString();
    // The port of a server that was there and is gone.
    const quint16 closedPort = server->port();
    server.reset();
    LogCapture log;
    UpgradeCheck check(QStringLiteral("http://127.0.0.1:%1/ranquil/latest.txt").arg(closedPort),
        QStringLiteral("5.6.0"), connectionOptions {});
    QSignalSpy newer(&check, &UpgradeCheck::newerVersionAvailable);
    EXPECT_EQ(runToEnd(check), UpgradeCheck::Outcome::Unreachable);
    EXPECT_TRUE(newer.isEmpty());
    EXPECT_TRUE(LogCapture::lines().join(QLatin1Char('\n')).contains(QLatin1String("could not read")));
}

TEST(UpgradeCheck, GoesThroughTheHttpProxyOfTheSettings)
{
    TempHome home;
    IndexTestServer server;
    ASSERT_TRUE(server.start({}, { QStringLiteral("--latest-version"), QStringLiteral("5.7.0") }))
        << server.error().toStdString();
    TinyProxy proxy;
    ASSERT_TRUE(proxy.start()) << proxy.error().toStdString();
    connectionOptions options;
    options.HTTPConnectionType = connectionOptions::HttpProxy;
    options.HTTPProxyServer = "127.0.0.1";
    options.HTTPProxyPort = proxy.port();
    UpgradeCheck viaProxy(latestUrl(server), QStringLiteral("5.6.0"), options);
    EXPECT_EQ(runToEnd(viaProxy), UpgradeCheck::Outcome::Newer);

    // A proxy that does not answer: the request never reaches the server.
    options.HTTPProxyPort = server.port() == 1 ? 2 : 1;
    UpgradeCheck viaDeadProxy(latestUrl(server), QStringLiteral("5.6.0"), options);
    EXPECT_EQ(runToEnd(viaDeadProxy), UpgradeCheck::Outcome::Unreachable);
    EXPECT_EQ(server.requestsTo(latestPath).size(), 1);
}

TEST(UpgradeCheck, AnHttpsAddressIsRefusedRatherThanSentInClear)
{
    TempHome home;
    LogCapture log;
    UpgradeCheck check(
        QStringLiteral("https://127.0.0.1:1/latest.txt"), QStringLiteral("5.6.0"), connectionOptions {});
    EXPECT_EQ(runToEnd(check), UpgradeCheck::Outcome::Unreachable);
    EXPECT_TRUE(
        LogCapture::lines().join(QLatin1Char('\n')).contains(QLatin1String("could not read https://")));
}

// The shell at start: the stored flag and the address decide whether
// anything leaves the machine.
TEST(UpgradeCheckAtStart, RunsOnlyWhenOnAndAnAddressIsSet)
{
    IndexTestServer server;
    ASSERT_TRUE(server.start({}, { QStringLiteral("--latest-version"), QStringLiteral("99.0") }))
        << server.error().toStdString();
    struct Row {
        const char* name;
        const char* flag; // stored AutoUpdateCheckAtStartup, "" when none
        bool addressSet;
        bool asks;
    } const rows[] = {
        { "default flag, no address", "", false, false },
        { "flag on, no address", "1", false, false },
        { "flag off, address", "0", true, false },
        { "default flag, address", "", true, true },
        { "any non-zero flag, address", "7", true, true },
    };
    int requests = 0;
    for (const Row& row : rows) {
        TempHome home;
        if (*row.flag) {
            IniFile registry(registryFilePath());
            registry.writeString("v5", "AutoUpdateCheckAtStartup", row.flag);
            ASSERT_TRUE(registry.update());
        }
        if (row.addressSet) {
            IniFile settings(settingsFilePath());
            settings.writeString("Upgrade", "InformationURL", latestUrl(server).toStdString());
            ASSERT_TRUE(settings.update());
        }
        ScriptedPrompter prompter;
        TMainForm shell({}, prompter);
        QSignalSpy newer(&shell, &TMainForm::newerVersionAvailable);
        ASSERT_EQ(shell.upgradeCheck() != nullptr, row.asks) << row.name;
        if (row.asks) {
            QSignalSpy finished(shell.upgradeCheck(), &UpgradeCheck::finished);
            ASSERT_TRUE(finished.wait(20000)) << row.name;
            EXPECT_EQ(newer.size(), 1) << row.name;
            ++requests;
        }
        EXPECT_TRUE(prompter.shown.isEmpty()) << row.name << ": the check asks nobody";
        EXPECT_EQ(server.requestsTo(latestPath).size(), requests) << row.name;
    }
}

TEST(UpgradeCheckAtStart, TheStoredAddressOverridesThePackagesAndMayTurnItOff)
{
    TempHome home;
    EXPECT_EQ(readUpgradeInformationUrl(settingsFilePath(), QStringLiteral("http://package.example/latest")),
        QStringLiteral("http://package.example/latest"));
    IniFile settings(settingsFilePath());
    settings.writeString("Upgrade", "InformationURL", "");
    ASSERT_TRUE(settings.update());
    EXPECT_EQ(readUpgradeInformationUrl(settingsFilePath(), QStringLiteral("http://package.example/latest")),
        QString());
    EXPECT_EQ(builtInUpgradeInformationUrl(), QString()) << "this build asks nobody unless told";
}

} // namespace
