#pragma once

#include "net/TCustomSocksWSocket.h"

#include <QString>

// The SOCKS server both connections of the FTP component go through, or
// none. Applied to a socket while it is closed, before each connection.
struct FtpSocksRoute {
    QString server, port, level = QStringLiteral("5"), usercode, password;

    bool isEnabled() const { return !server.trimmed().isEmpty(); }

    void applyTo(TCustomSocksWSocket& socket) const
    {
        if (!isEnabled()) {
            socket.SetSocksServer(QString());
            return;
        }
        socket.SetSocksServer(server);
        socket.SetSocksPort(port);
        socket.SetSocksLevel(level);
        socket.SetSocksUsercode(usercode);
        socket.SetSocksPassword(password);
        // Offering only user-code authentication with no user code would
        // shut out every SOCKS 5 server that works without it.
        socket.SetSocksAuthentication(usercode.isEmpty() ? socksNoAuthentication : socksAuthenticateUsercode);
    }
};
