#include "net/SocksRoute.h"

QString socksVersionText(SocksVersion version)
{
    switch (version) {
    case SocksVersion::V4:
        return QStringLiteral("4");
    case SocksVersion::V4A:
        return QStringLiteral("4A");
    case SocksVersion::V5:
        break;
    }
    return QStringLiteral("5");
}

std::optional<SocksVersion> socksVersionFromText(const QString& text)
{
    for (const SocksVersion version : { SocksVersion::V4, SocksVersion::V4A, SocksVersion::V5 }) {
        if (text.compare(socksVersionText(version), Qt::CaseInsensitive) == 0)
            return version;
    }
    return std::nullopt;
}
