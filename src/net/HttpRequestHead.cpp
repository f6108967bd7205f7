#include "net/HttpRequestHead.h"

#include <QLocale>

namespace
{

QByteArray basicCredentials(const QString& user, const QString& password)
{
    return "Basic " + (user + u':' + password).toUtf8().toBase64();
}

// "Sun, 06 Nov 1994 08:49:37 GMT" whatever the user's language.
QByteArray rfc1123Date(const QDateTime& time)
{
    return QLocale::c().toString(time.toUTC(), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss")).toLatin1()
        + " GMT";
}

QByteArray rangeText(qint64 begin, qint64 end)
{
    QByteArray text = "bytes=" + QByteArray::number(begin) + '-';
    if (end > 0)
        text += QByteArray::number(end);
    return text;
}

class HeadLines
{
public:
    void add(const char* name, const QByteArray& value)
    {
        if (!value.isEmpty())
            lines_.append(name + value);
    }
    void add(const char* name, const QString& value) { add(name, value.toUtf8()); }
    QList<QByteArray> take() { return std::move(lines_); }

private:
    QList<QByteArray> lines_;
};

} // namespace

QList<QByteArray> requestHeadLines(const HttpRequestFields& fields)
{
    const bool post = fields.method == QLatin1String("POST");
    HeadLines lines;
    lines.add(
        "", (fields.method + u' ' + fields.target + QStringLiteral(" HTTP/") + fields.version).toUtf8());
    lines.add("From: ", fields.sender);
    lines.add("Accept: ", fields.accept);
    lines.add("Referer: ", fields.reference);
    lines.add("Connection: ", fields.connection);
    lines.add("Accept-Language: ", fields.acceptLanguage);
    if (post)
        lines.add("Content-Type: ", fields.contentType);
    lines.add("User-Agent: ", fields.agent);
    lines.add("Host: ", fields.host);
    if (fields.noCache)
        lines.add("Pragma: ", QByteArrayLiteral("no-cache"));
    if (post && fields.contentLength >= 0)
        lines.add("Content-Length: ", QByteArray::number(fields.contentLength));
    if (fields.modifiedSince.isValid())
        lines.add("If-Modified-Since: ", rfc1123Date(fields.modifiedSince));
    if (!fields.user.isEmpty())
        lines.add("Authorization: ", basicCredentials(fields.user, fields.password));
    if (!fields.proxyUser.isEmpty())
        lines.add("Proxy-Authorization: ", basicCredentials(fields.proxyUser, fields.proxyPassword));
    lines.add("Cookie: ", fields.cookie);
    if (fields.rangeBegin != 0 || fields.rangeEnd != 0)
        lines.add("Range: ", rangeText(fields.rangeBegin, fields.rangeEnd));
    return lines.take();
}

bool isSafeHeaderLine(const QByteArray& line)
{
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7f)
            return false;
    }
    return true;
}

bool isSafeRequestTarget(const QString& target)
{
    const QByteArray bytes = target.toUtf8();
    return !bytes.isEmpty() && isSafeHeaderLine(bytes) && !bytes.contains(' ') && !bytes.contains('\t');
}
