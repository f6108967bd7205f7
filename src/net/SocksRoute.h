#pragma once

#include <QString>

#include <optional>

enum class SocksVersion { V4, V4A, V5 };

// "4", "4A" or "5", as the settings and the log write a version.
QString socksVersionText(SocksVersion version);
// The version a text names ("4a" counts as "4A"); nothing for any other text.
std::optional<SocksVersion> socksVersionFromText(const QString& text);

// The SOCKS server a connection goes through, or none (an empty server).
// The socket, the FTP component (both of its connections) and the HTTP
// component take it as one value, so a connection's route is never half
// changed.
struct SocksRoute {
    QString server;
    QString port; // a number or a service name
    QString user; // SOCKS 4 user id, SOCKS 5 user name
    QString password;
    SocksVersion version = SocksVersion::V5;

    bool isEnabled() const { return !server.trimmed().isEmpty(); }
    // SOCKS 5 offers user-name authentication only with a user name:
    // offering it alone without one shuts out every server that works
    // without authentication.
    bool authenticates() const { return !user.isEmpty(); }

    friend bool operator==(const SocksRoute&, const SocksRoute&) = default;
};
