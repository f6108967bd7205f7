// ranquil-get: the download engine on the command line, without widgets.

#include "app/GetCommandLine.h"
#include "app/GetLogin.h"
#include "app/GetRun.h"
#include "app/ProgramCommandLine.h"
#include "app/TerminationSignals.h"
#include "settings/ConnectionOptions.h"
#include "transfer/LocalName.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <map>
#include <string>

namespace
{

bool readInputFile(GetCommand& command)
{
    QFile input;
    const bool opened = command.inputFile == QStringLiteral("-")
        ? input.open(stdin, QIODevice::ReadOnly)
        : (input.setFileName(command.inputFile), input.open(QIODevice::ReadOnly));
    QString error;
    if (!opened)
        error = input.errorString();
    else if (readGetUrls(input, command, &error) && command.items.empty())
        error = QStringLiteral("no URL in it");
    if (error.isEmpty())
        return true;
    printGetLine(command.inputFile + QStringLiteral(": ") + error);
    return false;
}

// Once for every login that needs one, before any download starts.
bool askPasswords(GetCommand& command)
{
    std::map<std::string, std::string> asked;
    for (GetItem& item : command.items) {
        if (item.passwordGiven || item.site.anonymous)
            continue;
        const std::string login = item.site.userId + '@' + item.site.hostAddress;
        if (!asked.contains(login)) {
            const auto password = askPassword(
                QStringLiteral("ranquil-get: password for %1: ").arg(QString::fromStdString(login)));
            if (!password) {
                printGetLine(QStringLiteral("no password: no terminal to ask on, or none typed"));
                return false;
            }
            asked[login] = *password;
        }
        item.site.password = asked[login];
        item.passwordGiven = true;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    QString error;
    auto command = parseGetCommand(arguments, &error);
    if (!command) {
        printGetLine(error);
        printGetLine(QStringLiteral("try ranquil-get --help"));
        return GetUsage;
    }
    if (command->help) {
        std::fputs(getUsage().toLocal8Bit().constData(), stdout);
        return GetSucceeded;
    }
    if (command->version) {
        std::fputs(versionText(QStringLiteral("ranquil-get")).toLocal8Bit().constData(), stdout);
        return GetSucceeded;
    }
    if (!command->inputFile.isEmpty() && !readInputFile(*command))
        return GetUsage;
    if (command->askPassword && !askPasswords(*command))
        return GetUsage;
    const LoginSources logins = userLoginSources();
    for (GetItem& item : command->items)
        completeLogin(item, logins);
    const connectionOptions options = connectionOptionsStore().load();
    TerminationSignals signals;
    GetRun* running = nullptr;
    bool stopped = false;
    QObject::connect(&signals, &TerminationSignals::terminationRequested, &signals, [&] {
        stopped = true;
        if (running)
            running->requestStop();
    });
    int worst = GetSucceeded;
    // Two URLs of one command never write into the same local file.
    const auto localNames = std::make_shared<LocalNameClaims>();
    GetTally tally;
    QElapsedTimer clock;
    clock.start();
    for (const GetItem& item : command->items) {
        if (stopped)
            break;
        GetRun run(*command, item, options, localNames, tally);
        running = &run;
        const int code = run.run();
        running = nullptr;
        worst = worst == GetSucceeded ? code : worst;
    }
    if (!command->quiet)
        printGetLine(summaryText(tally, clock.elapsed()));
    if (stopped) {
        printGetLine(QStringLiteral("interrupted; run the same command again to resume"));
        return interruptedExit(signals.received());
    }
    return worst;
}
