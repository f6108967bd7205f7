#include "net/HttpResponseHead.h"

#include "net/HttpTexts.h"
#include "net/VisibleText.h"

#include <charconv>
#include <optional>

namespace
{

// A decimal number of digits only, without sign, that fits its type.
std::optional<qint64> parseCount(QByteArrayView text)
{
    if (text.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end || text.front() == '-')
        return std::nullopt;
    return value;
}

// "bytes <begin>-<end>/<total>" -> begin and end.
void readContentRange(QByteArrayView value, HttpResponseHead& head)
{
    const QByteArrayView prefix = "bytes ";
    const auto slash = value.indexOf('/');
    if (!value.startsWith(prefix) || slash < 0)
        return;
    const QByteArrayView range = value.sliced(prefix.size(), slash - prefix.size());
    const auto dash = range.indexOf('-');
    if (dash < 0)
        return;
    const auto begin = parseCount(range.first(dash));
    const auto end = parseCount(range.sliced(dash + 1));
    if (begin && end) {
        head.rangeBegin = *begin;
        head.rangeEnd = *end;
    }
}

} // namespace

HttpHeadReader::Progress HttpHeadReader::feed(QByteArray& buffer)
{
    while (true) {
        if (lineCount_ == 0 && buffer.size() >= 6 && buffer.first(6).toUpper() == "<HTML>") {
            // Some servers answer with the bare document: all of it is body.
            head_.headerless = true;
            head_.contentType = QStringLiteral("text/html");
            return Progress::Complete;
        }
        const auto lineEnd = buffer.indexOf('\n');
        if (lineEnd < 0) {
            return buffer.size() >= maxLineLength ? fail(httpTexts::lineTooLong()) : Progress::NeedMore;
        }
        if (lineEnd >= maxLineLength)
            return fail(httpTexts::lineTooLong());
        QByteArray line = buffer.first(lineEnd);
        buffer.remove(0, lineEnd + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            return Progress::Complete;
        const Progress progress = takeLine(line);
        if (progress != Progress::NeedMore)
            return progress;
    }
}

HttpHeadReader::Progress HttpHeadReader::takeLine(const QByteArray& line)
{
    if (++lineCount_ > maxHeaderLines)
        return fail(httpTexts::tooManyHeaderLines());
    head_.headerLines.append(QString::fromUtf8(line));
    if (lineCount_ == 1 && (line.startsWith("HTTP/1.0") || line.startsWith("HTTP/1.1")))
        return takeStatusLine(line);
    return takeField(line);
}

HttpHeadReader::Progress HttpHeadReader::takeStatusLine(const QByteArray& line)
{
    // "HTTP/1.1 404 Not Found": the version, the code, then the reason phrase.
    if (line.size() < 12 || line.at(8) != ' ' || (line.size() > 12 && line.at(12) != ' '))
        return fail(httpTexts::badStatusLine());
    const auto status = parseCount(QByteArrayView(line).sliced(9, 3));
    if (!status)
        return fail(httpTexts::badStatusLine());
    head_.serverVersion = QString::fromLatin1(line.mid(5, 3));
    head_.statusCode = static_cast<int>(*status);
    head_.reasonPhrase = decodeRemoteText(line.mid(13));
    return Progress::NeedMore;
}

HttpHeadReader::Progress HttpHeadReader::takeField(const QByteArray& line)
{
    const auto colon = line.indexOf(':');
    if (colon < 0)
        return Progress::NeedMore; // kept in the list, nothing to interpret
    const QByteArray name = line.first(colon).trimmed().toLower();
    const QByteArray value = line.mid(colon + 1).trimmed();
    if (name == "location") {
        head_.hasLocation = true;
        head_.location = QString::fromUtf8(value);
    } else if (name == "content-length") {
        const auto length = parseCount(value);
        if (!length)
            return fail(httpTexts::badContentLength());
        head_.contentLength = *length;
    } else if (name == "content-range") {
        readContentRange(value, head_);
    } else if (name == "accept-ranges") {
        head_.acceptRanges = QString::fromUtf8(value);
    } else if (name == "content-type") {
        head_.contentType = QString::fromUtf8(value).toLower();
    } else if (name == "www-authenticate") {
        head_.wwwAuthenticate.append(QString::fromUtf8(value));
    }
    return Progress::NeedMore;
}

HttpHeadReader::Progress HttpHeadReader::fail(const QString& error)
{
    error_ = error;
    return Progress::Failed;
}
