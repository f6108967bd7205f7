#include "app/GetLogin.h"

#include "app/GetCommandLine.h"

#include <QDir>
#include <QFile>
#include <QList>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace
{

struct NetrcEntry {
    bool isDefault = false;
    std::string machine;
    NetrcLogin login;
};

QList<NetrcEntry> netrcEntries(const QByteArray& netrc)
{
    QList<NetrcEntry> entries;
    const QList<QByteArray> lines = netrc.split('\n');
    bool inMacro = false;
    QList<QByteArray> tokens;
    for (const QByteArray& line : lines) {
        // A macro's body runs to the first empty line.
        if (inMacro) {
            inMacro = !line.trimmed().isEmpty();
            continue;
        }
        const QList<QByteArray> words = line.simplified().split(' ');
        for (qsizetype i = 0; i < words.size(); ++i) {
            if (words[i] == "macdef") {
                inMacro = true;
                break;
            }
            if (!words[i].isEmpty())
                tokens << words[i];
        }
    }
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const QByteArray& token = tokens[i];
        const bool hasValue = i + 1 < tokens.size();
        if (token == "default") {
            entries.append(NetrcEntry { true, {}, {} });
        } else if (token == "machine" && hasValue) {
            entries.append(NetrcEntry { false, tokens[++i].toStdString(), {} });
        } else if (token == "login" && hasValue && !entries.isEmpty()) {
            entries.last().login.user = tokens[++i].toStdString();
        } else if (token == "password" && hasValue && !entries.isEmpty()) {
            entries.last().login.password = tokens[++i].toStdString();
        } else if (token == "account" && hasValue) {
            ++i;
        }
    }
    return entries;
}

} // namespace

std::optional<NetrcLogin> netrcLogin(
    const QByteArray& netrc, const std::string& host, const std::string& user)
{
    const QList<NetrcEntry> entries = netrcEntries(netrc);
    for (const bool byDefault : { false, true }) {
        for (const NetrcEntry& entry : entries) {
            const bool forHost = byDefault ? entry.isDefault : !entry.isDefault && entry.machine == host;
            if (forHost && (user.empty() || entry.login.user == user))
                return entry.login;
        }
    }
    return std::nullopt;
}

void completeLogin(GetItem& item, const LoginSources& sources)
{
    if (item.passwordGiven)
        return;
    ftpSite& site = item.site;
    if (!site.anonymous && sources.environmentPassword) {
        site.password = *sources.environmentPassword;
        return;
    }
    const auto login
        = netrcLogin(sources.netrc, site.hostAddress, site.anonymous ? std::string() : site.userId);
    if (!login || login->user.empty())
        return;
    site.anonymous = false;
    site.userId = login->user;
    site.password = login->password;
}

LoginSources userLoginSources()
{
    LoginSources sources;
    if (qEnvironmentVariableIsSet("RANQUIL_PASSWORD"))
        sources.environmentPassword = qEnvironmentVariable("RANQUIL_PASSWORD").toStdString();
    QFile netrc(QDir::home().filePath(QStringLiteral(".netrc")));
    if (netrc.open(QIODevice::ReadOnly))
        sources.netrc = netrc.read(1 << 20);
    return sources;
}

std::optional<std::string> askPassword(const QString& prompt)
{
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (tty < 0)
        return std::nullopt;
    termios before {};
    const bool terminal = ::tcgetattr(tty, &before) == 0;
    if (terminal) {
        termios quiet = before;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    // Only once nothing typed is shown any more.
    const QByteArray shown = prompt.toLocal8Bit();
    [[maybe_unused]] ssize_t written = ::write(tty, shown.constData(), static_cast<size_t>(shown.size()));
    std::string password;
    bool ended = false;
    char c = 0;
    while (!ended && ::read(tty, &c, 1) == 1) {
        if (c == '\n' || c == '\r')
            ended = true;
        else
            password += c;
    }
    if (terminal)
        ::tcsetattr(tty, TCSAFLUSH, &before);
    written = ::write(tty, "\n", 1);
    ::close(tty);
    return ended ? std::optional(password) : std::nullopt;
}
