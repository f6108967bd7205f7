#include "net/WSocketResolve.h"

#include "net/SocketErrors.h"

#include <arpa/inet.h>
#include <array>
#include <netdb.h>
#include <netinet/in.h>
#include <optional>

namespace
{

bool hasDottedShape(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c != QLatin1Char('.') && !c.isDigit())
            return false;
    }
    return true;
}

bool isAllDigits(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

std::optional<quint32> parseDotted(const QString& text)
{
    in_addr address {};
    if (::inet_pton(AF_INET, text.toLatin1().constData(), &address) != 1)
        return std::nullopt;
    return ntohl(address.s_addr);
}

} // namespace

bool WSocketIsDottedIP(const QString& text)
{
    return hasDottedShape(text) && parseDotted(text).has_value();
}

bool isReservedInvalidName(const QString& host)
{
    QString name = host.toLower();
    while (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    return name == QLatin1String("invalid") || name.endsWith(QLatin1String(".invalid"));
}

quint32 WSocketResolveHost(const QString& host)
{
    if (host.isEmpty())
        throw ESocketException(QStringLiteral("WSocketResolveHost: '%1' Invalid Hostname.").arg(host));
    if (hasDottedShape(host)) {
        if (const auto address = parseDotted(host))
            return *address;
        throw ESocketException(QStringLiteral("WSocketResolveHost: '%1' Invalid IP address.").arg(host));
    }
    int error = wsock::HostNotFound;
    if (!isReservedInvalidName(host)) {
        addrinfo hints {};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const int result = ::getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &found);
        if (result == 0 && found) {
            const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
            const quint32 value = ntohl(address->sin_addr.s_addr);
            ::freeaddrinfo(found);
            return value;
        }
        if (found)
            ::freeaddrinfo(found);
        error = wsocketErrorFromResolver(result);
    }
    throw ESocketException(QStringLiteral("WSocketResolveHost: Cannot convert host address '%1', Error #%2")
                               .arg(host)
                               .arg(error),
        error);
}

quint16 WSocketResolvePort(const QString& port, const QString& proto)
{
    const QString text = port.trimmed();
    if (text.isEmpty())
        throw ESocketException(QStringLiteral("WSocketResolvePort: Invalid Port."));
    if (isAllDigits(text)) {
        bool ok = false;
        const uint value = text.toUInt(&ok);
        if (!ok || value > 65535)
            throw ESocketException(QStringLiteral("WSocketResolvePort: Invalid Port."));
        return static_cast<quint16>(value);
    }
    servent entry {};
    servent* found = nullptr;
    std::array<char, 1024> scratch {};
    const QByteArray protoName = proto.toLatin1();
    ::getservbyname_r(text.toLatin1().constData(), protoName.isEmpty() ? nullptr : protoName.constData(),
        &entry, scratch.data(), scratch.size(), &found);
    if (!found) {
        throw ESocketException(QStringLiteral("WSocketResolvePort: Cannot convert port '%1', Error #%2")
                                   .arg(text)
                                   .arg(wsock::NoData),
            wsock::NoData);
    }
    return ntohs(static_cast<quint16>(found->s_port));
}

int WSocketResolveProto(const QString& proto)
{
    const QString text = proto.trimmed().toLower();
    if (text.isEmpty())
        throw ESocketException(QStringLiteral("WSocketResolveProto: Invalid Protocol."));
    if (text == QLatin1String("tcp"))
        return IPPROTO_TCP;
    if (text == QLatin1String("udp"))
        return IPPROTO_UDP;
    if (isAllDigits(text)) {
        bool ok = false;
        const uint value = text.toUInt(&ok);
        if (ok && value < 256)
            return static_cast<int>(value);
    } else {
        protoent entry {};
        protoent* found = nullptr;
        std::array<char, 1024> scratch {};
        ::getprotobyname_r(text.toLatin1().constData(), &entry, scratch.data(), scratch.size(), &found);
        if (found)
            return found->p_proto;
    }
    throw ESocketException(QStringLiteral("WSocketResolveProto: Cannot convert protocol '%1', Error #%2")
                               .arg(proto)
                               .arg(wsock::NoData),
        wsock::NoData);
}

QString ipv4Text(quint32 address)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg((address >> 24) & 0xFF)
        .arg((address >> 16) & 0xFF)
        .arg((address >> 8) & 0xFF)
        .arg(address & 0xFF);
}
