#pragma once

#include <QString>

// Every text the HTTP client reports: the reason phrase of a failed request
// (status 404) or the message of a usage error.
namespace httpTexts
{

// Usage errors.
inline QString busy()
{
    return QStringLiteral("HTTP component is busy");
}
inline QString nothingToPost()
{
    return QStringLiteral("HTTP component has nothing to post");
}

// Failures of a request.
inline QString cantResolve()
{
    return QStringLiteral("can't resolve hostname to IP address");
}
inline QString aborted()
{
    return QStringLiteral("Connection aborted on request");
}
// "<description> (Error #<code>)", the socket error that ended the connection.
QString socketError(int code);
// "can't connect: <description> (Error #<code>)", the connect call failed
// (code 0: a usage error whose message is the description).
QString cantConnect(const QString& description, int code);
QString timedOut();

// Replies the client refuses to take.
inline QString lineTooLong()
{
    return QStringLiteral("HTTP line too long");
}
inline QString tooManyHeaderLines()
{
    return QStringLiteral("HTTP header has too many lines");
}
inline QString badStatusLine()
{
    return QStringLiteral("HTTP status line is not valid");
}
inline QString badContentLength()
{
    return QStringLiteral("HTTP Content-Length is not a valid number");
}
QString documentTooLarge(qint64 limit);
inline QString tooManyRedirections()
{
    return QStringLiteral("Too many HTTP redirections");
}
inline QString closedBeforeReply()
{
    return QStringLiteral("Connection closed by the server before its reply");
}
inline QString closedBeforeEnd()
{
    return QStringLiteral("Connection closed by the server before the end of the document");
}

// Requests the client refuses to send.
QString invalidUrl(const QString& url);
QString unsupportedScheme(const QString& scheme);
inline QString forbiddenCharacter()
{
    return QStringLiteral(
        "HTTP request refused: its target or a header holds a line break or control character");
}
inline QString unreadableBody()
{
    return QStringLiteral("HTTP document to post cannot be read");
}
inline QString unwritableDocument()
{
    return QStringLiteral("HTTP document cannot be written");
}

} // namespace httpTexts
