#include "net/VisibleText.h"

#include <QStringDecoder>

#include <algorithm>

QString decodeRemoteText(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

QString visibleText(const QString& text)
{
    const auto isControl = [](QChar c) {
        const char16_t code = c.unicode();
        return code < 0x20 || (code >= 0x7f && code <= 0x9f);
    };
    if (std::none_of(text.begin(), text.end(), isControl))
        return text;
    QString visible;
    visible.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (isControl(c))
            visible += QStringLiteral("\\x")
                + QString::number(c.unicode(), 16).rightJustified(2, QLatin1Char('0')).toUpper();
        else
            visible += c;
    }
    return visible;
}

QString visibleRemoteText(const QByteArray& bytes)
{
    return visibleText(decodeRemoteText(bytes));
}
