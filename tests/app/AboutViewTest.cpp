#include "app/AboutFacts.h"
#include "app/BuildInfo.h"
#include "app/MainForm.h"
#include "app/UpgradeCheck.h"
#include "app/ui/MainFormView.h"
#include "app/ui/TAboutForm.h"
#include "common/IniFile.h"
#include "common/ProgramFolders.h"

#include "HttpTestServers.h"
#include "ScriptedPrompter.h"
#include "TempHome.h"

#include <QLabel>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>

namespace
{

QString labelText(const QWidget& parent, const char* name)
{
    const auto* label = parent.findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<no label %1>").arg(QString::fromLatin1(name));
}

TEST(About, ShowsTheVersionTheLibrariesAndTheFolders)
{
    TempHome home;
    TAboutForm about(aboutFacts());
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    EXPECT_EQ(labelText(about, "version"), programVersion());
    EXPECT_TRUE(labelText(about, "program").contains(QStringLiteral("Quorvane Ranquil 5.6.0")));
    EXPECT_TRUE(labelText(about, "qtVersion").startsWith(QString::fromLatin1(qVersion())));
    EXPECT_FALSE(labelText(about, "tlsLibrary").isEmpty());
    // RANQUIL_HOME names the program folder; the temporary one lies in XDG_RUNTIME_DIR.
    EXPECT_EQ(labelText(about, "programFolder"), home.path());
    EXPECT_EQ(labelText(about, "temporaryFolder"), temporaryFolder());
    EXPECT_TRUE(labelText(about, "temporaryFolder").startsWith(home.path()));
    EXPECT_TRUE(labelText(about, "licences").contains(QStringLiteral("Qt 6")));
    EXPECT_TRUE(labelText(about, "licences").contains(QStringLiteral("OpenSSL")));
}

TEST(About, UpgradeHintLinksThePageOfTheNewerVersionInTheStatusBar)
{
    TempHome home;
    IndexTestServer server;
    ASSERT_TRUE(server.start({}, { QStringLiteral("--latest-version"), QStringLiteral("5.7.0") }))
        << server.error().toStdString();
    IniFile settings(settingsFilePath());
    settings.writeString("Upgrade", "InformationURL", server.origin() + "/ranquil/latest.txt");
    ASSERT_TRUE(settings.update());

    ScriptedPrompter prompter;
    TMainForm shell({}, prompter);
    MainFormView view(shell);
    shell.attachView(&view);
    ASSERT_NE(shell.upgradeCheck(), nullptr);
    QSignalSpy finished(shell.upgradeCheck(), &UpgradeCheck::finished);
    ASSERT_TRUE(finished.wait(20000));
    const auto* hint = view.statusBar()->findChild<QLabel*>(QStringLiteral("upgradeHint"));
    ASSERT_NE(hint, nullptr);
    const QString page = QString::fromStdString(server.origin()) + QStringLiteral("/ranquil/");
    EXPECT_TRUE(hint->text().contains(QStringLiteral("5.7.0")));
    EXPECT_TRUE(hint->text().contains(QStringLiteral("<a href=\"") + page + QStringLiteral("\">")))
        << hint->text().toStdString();
    EXPECT_TRUE(hint->openExternalLinks()) << "a click opens the page in the browser";
    EXPECT_TRUE(prompter.shown.isEmpty()) << "no box that would close itself with yes";
    shell.attachView(nullptr);
}

} // namespace
