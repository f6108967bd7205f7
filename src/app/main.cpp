#include "app/MainForm.h"
#include "app/TerminationSignals.h"
#include "app/ui/DialogPrompter.h"
#include "app/ui/MainFormView.h"
#include "app/ui/SessionPages.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ranquil"));
    QApplication::setApplicationVersion(QStringLiteral("5.6.0"));
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
