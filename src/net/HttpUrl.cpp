#include "net/HttpUrl.h"

namespace
{

const QString schemeMark = QStringLiteral("://");

// The scheme of "scheme://..." ("" when the text does not start with one).
QString schemeOf(const QString& url)
{
    const auto mark = url.indexOf(schemeMark);
    if (mark <= 0)
        return {};
    const QString candidate = url.left(mark);
    const auto isAsciiLetter = [](QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); };
    if (!isAsciiLetter(candidate.front()))
        return {};
    for (const QChar c : candidate) {
        const bool allowed
            = isAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
        if (!allowed)
            return {};
    }
    return candidate;
}

std::optional<QString> checkedPort(const QString& text)
{
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    const int value = text.toInt();
    if (value < 1 || value > 65535)
        return std::nullopt;
    return text;
}

// The folder part of a request path, query left out: "/a/b?x" -> "/a/".
QString folderOf(const QString& path)
{
    const QString withoutQuery = path.left(path.indexOf(u'?') < 0 ? path.size() : path.indexOf(u'?'));
    return withoutQuery.left(withoutQuery.lastIndexOf(u'/') + 1);
}

QString originText(const HttpUrl& url)
{
    return url.scheme + schemeMark + url.host + (url.hasPort ? u':' + url.port : QString());
}

} // namespace

QString HttpUrl::absoluteTarget() const
{
    return originText(*this) + path;
}

std::optional<HttpUrl> splitHttpUrl(const QString& url, const QString& defaultPort)
{
    HttpUrl parts;
    QString rest = url.left(url.indexOf(u'#') < 0 ? url.size() : url.indexOf(u'#'));
    const QString scheme = schemeOf(rest);
    if (scheme.isEmpty()) {
        parts.scheme = QStringLiteral("http");
    } else {
        parts.scheme = scheme.toLower();
        rest = rest.mid(scheme.size() + schemeMark.size());
    }

    qsizetype authorityEnd = rest.size();
    for (const QChar stop : { u'/', u'?' }) {
        const auto at = rest.indexOf(stop);
        if (at >= 0 && at < authorityEnd)
            authorityEnd = at;
    }
    QString authority = rest.left(authorityEnd);
    parts.path = rest.mid(authorityEnd);
    if (parts.path.isEmpty() || parts.path.front() == u'?')
        parts.path.prepend(u'/');

    // The last "@" ends the credentials: a password may itself hold "@".
    const auto at = authority.lastIndexOf(u'@');
    if (at >= 0) {
        const QString credentials = authority.left(at);
        authority = authority.mid(at + 1);
        const auto colon = credentials.indexOf(u':');
        parts.user = credentials.left(colon < 0 ? credentials.size() : colon);
        parts.password = colon < 0 ? QString() : credentials.mid(colon + 1);
    }

    const auto colon = authority.lastIndexOf(u':');
    parts.host = colon < 0 ? authority : authority.left(colon);
    const QString portText = colon < 0 ? QString() : authority.mid(colon + 1);
    if (parts.host.isEmpty())
        return std::nullopt;
    parts.hasPort = !portText.isEmpty();
    const auto port = checkedPort(parts.hasPort ? portText : defaultPort);
    if (!port)
        return std::nullopt;
    parts.port = *port;
    return parts;
}

QString resolveLocation(const HttpUrl& current, const QString& location)
{
    if (!schemeOf(location).isEmpty())
        return location;
    if (location.startsWith(QStringLiteral("//")))
        return current.scheme + u':' + location;
    if (location.startsWith(u'/'))
        return originText(current) + location;
    if (location.startsWith(u'?')) {
        const auto query = current.path.indexOf(u'?');
        return originText(current) + current.path.left(query < 0 ? current.path.size() : query) + location;
    }
    return originText(current) + folderOf(current.path) + location;
}
