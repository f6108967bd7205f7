#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <string>

struct GetItem;

// A login of a ~/.netrc file: the "machine"/"default", "login" and
// "password" tokens curl, wget and lftp read ("macdef" bodies skipped).
struct NetrcLogin {
    std::string user;
    std::string password;
};

// The entry for `host` (the first "machine" of that name, else "default"),
// and when `user` is given, only one with that login or none.
std::optional<NetrcLogin> netrcLogin(
    const QByteArray& netrc, const std::string& host, const std::string& user);

// Where the password of a URL comes from when the URL has none: an
// explicit one for the run (RANQUIL_PASSWORD), then ~/.netrc, which may
// also give the login of a URL without one.
struct LoginSources {
    std::optional<std::string> environmentPassword;
    QByteArray netrc;
};

void completeLogin(GetItem& item, const LoginSources& sources);

// Asks on the controlling terminal, without echo; nothing when there is no
// terminal or nothing was typed before its end.
std::optional<std::string> askPassword(const QString& prompt);

// RANQUIL_PASSWORD and the user's ~/.netrc (none when unreadable).
LoginSources userLoginSources();
