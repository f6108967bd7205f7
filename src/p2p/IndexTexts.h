#pragma once

#include <QString>

// What the user reads about the index server.
namespace indexTexts
{

inline QString unresolvedIndexServer()
{
    return QStringLiteral("Unable to determine optimal Index Server (HTTP) address");
}

inline QString searchFailed()
{
    return QStringLiteral("Unable to connect Index Server")
        + QStringLiteral(
            " The error occurred either because:\n1) due to a problem in your Internet connection, "
            "2)A problem in Quorvane servers.");
}

inline QString userOffline(const QString& p2pUser)
{
    return QStringLiteral("Unable to resolve server's IP address and port from the P2P username.\n\n"
                          "It seems that the user ")
        + u'"' + p2pUser + u'"' + QStringLiteral(" is offline.");
}

// A line of a search reply that is no result line.
inline QString protocolError(const QString& line)
{
    return QStringLiteral("Index server communication protocol error: ") + line;
}

// Status line of a download while it asks for other sources.
inline QString seekingOtherSources()
{
    return QStringLiteral("Seeking for same file on Quorvane P2P Network..");
}

} // namespace indexTexts
