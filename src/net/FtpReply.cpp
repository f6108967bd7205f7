#include "net/FtpReply.h"

#include <QList>

#include <limits>

namespace
{

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

qsizetype leadingDigits(const QByteArray& text)
{
    qsizetype count = 0;
    while (count < text.size() && isDigit(text[count]))
        ++count;
    return count;
}

// A decimal number that fits into `limit`; nothing for anything else
// (empty, a sign, blanks, other characters, too large).
std::optional<qint64> strictDecimal(const QByteArray& text, qint64 limit)
{
    if (text.isEmpty() || leadingDigits(text) != text.size())
        return std::nullopt;
    qint64 value = 0;
    for (const char c : text) {
        const int digit = c - '0';
        if (value > (limit - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

// The text after the code and the blanks that follow it.
QByteArray afterCode(const QByteArray& line)
{
    qsizetype position = leadingDigits(line);
    while (position < line.size() && isBlank(line[position]))
        ++position;
    return line.mid(position);
}

} // namespace

// ---------------------------------------------------------------- lines

void FtpLineReader::append(const char* data, int length)
{
    buffer_.append(data, std::min(length, freeSpace()));
}

qsizetype FtpLineReader::lineEnd(bool acceptLf) const
{
    if (acceptLf)
        return buffer_.indexOf('\n');
    const qsizetype end = buffer_.indexOf("\r\n");
    return end < 0 ? -1 : end + 1;
}

std::optional<QByteArray> FtpLineReader::takeLine(bool acceptLf)
{
    const qsizetype end = lineEnd(acceptLf);
    if (end < 0)
        return std::nullopt;
    QByteArray line = buffer_.left(end);
    buffer_.remove(0, end + 1);
    while (!line.isEmpty() && (line.endsWith('\r') || line.endsWith('\n')))
        line.chop(1);
    return line;
}

bool FtpLineReader::isOverfull(bool acceptLf) const
{
    return freeSpace() == 0 && lineEnd(acceptLf) < 0;
}

// ---------------------------------------------------------------- replies

std::optional<int> replyCodeOf(const QByteArray& line)
{
    if (line.size() < 3 || line[0] < '1' || line[0] > '5' || !isDigit(line[1]) || !isDigit(line[2]))
        return std::nullopt;
    if (line.size() > 3 && line[3] != ' ' && line[3] != '-')
        return std::nullopt;
    return line.left(3).toInt();
}

FtpReplyClassifier::Line FtpReplyClassifier::classify(const QByteArray& line)
{
    if (!openCode_.isEmpty()) {
        const bool closes = line.startsWith(openCode_) && (line.size() == 3 || line[3] == ' ');
        if (!closes)
            return {};
        openCode_.clear();
        return { Kind::Final, *replyCodeOf(line) };
    }
    if (line.isEmpty() || !isDigit(line[0]))
        return {};
    const std::optional<int> code = replyCodeOf(line);
    if (!code)
        return { Kind::Malformed, 0 };
    if (line.size() > 3 && line[3] == '-') {
        openCode_ = line.left(3);
        return {};
    }
    return { Kind::Final, *code };
}

std::optional<qint64> sizeFromReply(const QByteArray& line)
{
    QByteArray rest = afterCode(line);
    // Some servers follow the number with blanks.
    while (!rest.isEmpty() && isBlank(rest.back()))
        rest.chop(1);
    return strictDecimal(rest, std::numeric_limits<qint64>::max());
}

QByteArray quotedDirectoryFromReply(const QByteArray& line)
{
    const QByteArray rest = afterCode(line);
    if (!rest.startsWith('"'))
        return {};
    QByteArray folder;
    for (qsizetype i = 1; i < rest.size(); ++i) {
        if (rest[i] != '"') {
            folder += rest[i];
            continue;
        }
        if (i + 1 < rest.size() && rest[i + 1] == '"') {
            folder += '"';
            ++i;
            continue;
        }
        break;
    }
    return folder;
}

std::optional<PassiveReply> parsePassiveReply(const QByteArray& line)
{
    const qsizetype open = line.indexOf('(');
    if (open < 0)
        return std::nullopt;
    const qsizetype close = line.indexOf(')', open);
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = line.mid(open + 1, close - open - 1).split(',');
    if (fields.size() != 6)
        return std::nullopt;
    int numbers[6];
    for (int i = 0; i < 6; ++i) {
        const std::optional<qint64> number = strictDecimal(fields[i].trimmed(), 255);
        if (!number)
            return std::nullopt;
        numbers[i] = static_cast<int>(*number);
    }
    const int port = numbers[4] * 256 + numbers[5];
    if (port == 0)
        return std::nullopt;
    PassiveReply reply;
    reply.address
        = QStringLiteral("%1.%2.%3.%4").arg(numbers[0]).arg(numbers[1]).arg(numbers[2]).arg(numbers[3]);
    reply.port = static_cast<quint16>(port);
    return reply;
}

QByteArray portCommand(const QString& address, quint16 port)
{
    return QByteArrayLiteral("PORT ") + address.toLatin1().replace('.', ',') + ','
        + QByteArray::number(port >> 8) + ',' + QByteArray::number(port & 0xff);
}

bool isSafeCommandLine(const QByteArray& line)
{
    return !line.contains('\r') && !line.contains('\n') && !line.contains('\0');
}
