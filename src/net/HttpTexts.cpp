#include "net/HttpTexts.h"

#include "net/SocketErrors.h"

namespace httpTexts
{

QString socketError(int code)
{
    return QStringLiteral("%1 (Error #%2)").arg(WSocketErrorDesc(code)).arg(code);
}

QString cantConnect(const QString& description, int code)
{
    if (code == 0)
        return QStringLiteral("can't connect: ") + description;
    return QStringLiteral("can't connect: %1 (Error #%2)").arg(description).arg(code);
}

QString timedOut()
{
    return QStringLiteral("Request timed out: ") + socketError(wsock::TimedOut);
}

QString documentTooLarge(qint64 limit)
{
    return QStringLiteral("HTTP document larger than %1 bytes").arg(limit);
}

QString invalidUrl(const QString& url)
{
    return QStringLiteral("Invalid URL: ") + url;
}

QString unsupportedScheme(const QString& scheme)
{
    return QStringLiteral("Unsupported URL scheme: ") + scheme;
}

} // namespace httpTexts
