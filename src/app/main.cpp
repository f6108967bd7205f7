#include "app/BuildInfo.h"
#include "app/MainForm.h"
#include "app/ProgramCommandLine.h"
#include "app/TerminationSignals.h"
#include "app/ui/DialogPrompter.h"
#include "app/ui/MainFormView.h"
#include "app/ui/SessionPages.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    // Answered before the application object, which needs a display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const auto answer = terminalAnswer(arguments)) {
        std::fputs(answer->text.toLocal8Bit().constData(), stdout);
        return answer->exitCode;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ranquil"));
    QApplication::setApplicationVersion(programVersion());
    // The desktop finds the menu entry, and with it the icon, by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("ranquil"));
    // The tray may keep the program running with no window shown.
    QApplication::setQuitOnLastWindowClosed(false);
    // First of all, so that a logout during start-up still saves everything.
    TerminationSignals termination;

    DialogPrompter prompter;
    TMainForm shell(QApplication::arguments().mid(1), prompter);
    prompter.modalStateChanged = [&shell](bool entering) { shell.setModalState(entering); };
    MainFormView view(shell);
    shell.attachView(&view);
    SessionPages sessionPages(shell, view);

    QObject::connect(&termination, &TerminationSignals::terminationRequested, &shell, &TMainForm::sessionEnd);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &shell, [&shell] { shell.sessionEnd(); });
    QObject::connect(&shell, &TMainForm::destroyRequested, &app, &QCoreApplication::quit);

    view.show();
    const int exitCode = QApplication::exec();
    shell.attachView(nullptr);
    prompter.modalStateChanged = nullptr;
    return exitCode;
}
