#include "transfer/RemoteName.h"

#include "common/ProgramFolders.h"

#include <QFile>
#include <QStringDecoder>

QString shownName(std::string_view bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (utf8.hasError())
        decoded = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QString shown;
    shown.reserve(decoded.size());
    for (const QChar c : decoded) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

bool isSafeLocalName(std::string_view name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7f)
            return false;
    }
    return true;
}

std::optional<QString> localPathBelow(
    const QString& localBase, std::string_view remoteBase, std::string_view remotePath)
{
    if (remotePath.size() <= remoteBase.size() || !remotePath.starts_with(remoteBase))
        return std::nullopt;
    std::string_view rest = remotePath.substr(remoteBase.size());
    QString local = localBase;
    while (!rest.empty()) {
        const size_t slash = rest.find('/');
        const std::string_view name = rest.substr(0, slash);
        if (!isSafeLocalName(name))
            return std::nullopt;
        local = joinPath(
            local, QFile::decodeName(QByteArray(name.data(), static_cast<qsizetype>(name.size()))));
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    return local;
}
