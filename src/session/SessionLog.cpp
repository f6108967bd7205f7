#include "session/SessionLog.h"

#include "net/VisibleText.h"

#include <QStringList>

#include <array>

namespace
{

const QString mask = QStringLiteral("********");

// Commands whose arguments are secrets, as a prefix of "> " + the line.
// "PASS" counts without a blank too: any longer line beginning "> PASS"
// (but "PASV" not) is a password line.
struct secretCommand {
    QLatin1String prefix;
    bool needsBlank;
};
constexpr std::array<secretCommand, 3> secretCommands { {
    { QLatin1String("> PASS"), false },
    { QLatin1String("> ACCT"), true },
    { QLatin1String("> SITE CHPWD"), true },
} };

QString maskedCommand(const QString& line)
{
    for (const secretCommand& command : secretCommands) {
        if (line.size() <= command.prefix.size() || !line.startsWith(command.prefix, Qt::CaseInsensitive))
            continue;
        if (command.needsBlank && line.at(command.prefix.size()) != QLatin1Char(' '))
            continue;
        return line.left(command.prefix.size()).toUpper() + QLatin1Char(' ') + mask;
    }
    return line;
}

} // namespace

logColour logColourOf(const QString& line)
{
    if (line.startsWith(QLatin1Char('>')))
        return logColour::Command;
    if (line.startsWith(QLatin1Char('<')))
        return logColour::Reply;
    return logColour::Own;
}

QString loggableLine(const QString& line)
{
    return visibleText(maskedCommand(line));
}
