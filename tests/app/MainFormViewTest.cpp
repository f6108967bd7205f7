#include "app/ui/MainFormView.h"
#include "app/MainForm.h"
#include "app/ui/DialogPrompter.h"
#include "app/ui/TShowMessageForm.h"
#include "common/IniFile.h"
#include "common/ProgramFolders.h"
#include "common/Prompter.h"

#include "ServerProcess.h"
#include "TempHome.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>

namespace
{

QAction* findAction(QWidget* window, const QString& text)
{
    for (QAction* action : window->findChildren<QAction*>())
        if (action->text() == text)
            return action;
    return nullptr;
}

TEST(MessageWindow, UnansweredQuestionClosesItselfWithYesAfterTenTicks)
{
    TShowMessageForm form(MessageTexts::questionTitle(), QStringLiteral("Delete it?"),
        MessageTexts::yesButton(), MessageTexts::noButton());
    form.setTickInterval(10);
    QStringList countdown;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, &form, [&] {
        if (countdown.isEmpty() || countdown.last() != form.countdownText())
            countdown << form.countdownText();
    });
    sampler.start(1);
    EXPECT_EQ(form.exec(), QDialog::Accepted);
    EXPECT_TRUE(countdown.contains(QStringLiteral("This form will close in 9 secs to ensure automation.")));
    EXPECT_EQ(form.countdownText(), QStringLiteral("This form will close in 0 secs to ensure automation."));
}

TEST(MessageWindow, SecondButtonAnswersNoAndStopsTheCountdown)
{
    TShowMessageForm form(MessageTexts::questionTitle(), QStringLiteral("Quit?"), MessageTexts::yesButton(),
        MessageTexts::noButton());
    form.setTickInterval(10);
    QTimer::singleShot(35, &form, [&] {
        for (QPushButton* button : form.findChildren<QPushButton*>())
            if (button->text() == MessageTexts::noButton())
                button->click();
    });
    EXPECT_EQ(form.exec(), QDialog::Rejected);
    const QString shown = form.countdownText();
    QEventLoop wait;
    QTimer::singleShot(100, &wait, &QEventLoop::quit);
    wait.exec();
    EXPECT_EQ(form.countdownText(), shown);
}

TEST(MessageWindow, ErrorBoxShowsOnlyItsOkButton)
{
    TShowMessageForm form(
        MessageTexts::errorTitle(), QStringLiteral("x"), MessageTexts::okButton(), QString());
    const auto buttons = form.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(buttons.first()->text(), QStringLiteral("&OK"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Quorvane Ranquil Server Error"));
}

TEST(MainWindow, ShutDownSavesAndASecondStartComesBackMaximized)
{
    TempHome home;
    home.write(QStringLiteral("Ranquil.ini"), "[MainWindow]\nWidth=-700\nHeight=-500\nLeft=10\nTop=20\n");
    {
        DialogPrompter prompter;
        TMainForm shell({}, prompter);
        MainFormView view(shell);
        shell.attachView(&view);
        view.show();
        QEventLoop loop;
        bool ended = false;
        QObject::connect(&shell, &TMainForm::destroyRequested, &loop, [&] {
            ended = true;
            loop.quit();
        });
        QTimer::singleShot(200, &loop, [&] {
            EXPECT_TRUE(view.isMaximized());
            EXPECT_EQ(view.windowTitle(), QStringLiteral("Quorvane Ranquil 5.6"));
            QAction* start = findAction(&view, QStringLiteral("Search on the connected FTP server"));
            ASSERT_NE(start, nullptr);
            EXPECT_FALSE(start->isEnabled()) << "no session tab is active";
            QAction* shutDown = findAction(&view, QStringLiteral("S&hut Down"));
            ASSERT_NE(shutDown, nullptr);
            shutDown->trigger();
        });
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
        EXPECT_TRUE(ended);
        EXPECT_FALSE(view.isVisible());
        shell.attachView(nullptr);
    }
    const IniFile ini(settingsFilePath());
    EXPECT_EQ(ini.readString("MainWindow", "Width", ""), "-700");
    EXPECT_EQ(ini.readString("MainWindow", "Height", ""), "-500");
    for (const char* section : { "MainWindow", "Preferences", "Connection", "Search", "My Computer" })
        EXPECT_TRUE(ini.hasSection(section)) << section;
}

TEST(MainWindow, ProgramKilledByTermSignalRunsTheShutDownSequence)
{
    TempHome home;
    QProcess program;
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(buildPath(QStringLiteral("src/app/ranquil")), {});
    ASSERT_TRUE(program.waitForStarted(5000));
    // The link-file type is registered once start-up is under way, after the
    // signal handlers are in place.
    const QString registered = home.file(QStringLiteral("xdg-data/applications/ranquil.desktop"));
    for (int i = 0; i < 100 && !QFileInfo::exists(registered); ++i)
        program.waitForFinished(100);
    ASSERT_TRUE(QFileInfo::exists(registered)) << program.readAll().toStdString();
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(15000)) << program.readAll().toStdString();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);

    const IniFile registry(registryFilePath());
    EXPECT_EQ(registry.readString("v5", "AutoUpdateCheckAtStartup", ""), "1");
    EXPECT_EQ(registry.readString("Operations", "Count", ""), "0");
    const IniFile ini(settingsFilePath());
    for (const char* section : { "MainWindow", "Preferences", "Connection", "Search", "My Computer" })
        EXPECT_TRUE(ini.hasSection(section)) << section;
}

} // namespace
