#include "net/SocksNegotiation.h"

#include "net/SocketErrors.h"
#include "net/WSocketResolve.h"

#include <QStringList>

#include <utility>

namespace
{

constexpr char socks5Version = 5;
constexpr char socks4Version = 4;
constexpr char connectCommand = 1;
constexpr unsigned char methodNone = 0;
constexpr unsigned char methodUserPassword = 2;
constexpr char userPasswordVersion = 1;
constexpr unsigned char socks4Granted = 90;
constexpr unsigned char addressIPv4 = 1;
constexpr unsigned char addressDomain = 3;
constexpr unsigned char addressIPv6 = 4;
constexpr int socks4ReplyLength = 8;
// SOCKS 4A: an address of the form 0.0.0.x tells the server to resolve the
// host name that follows the user id.
constexpr quint32 socks4aMarkerAddress = 1;

unsigned char byteAt(const QByteArray& bytes, int index)
{
    return static_cast<unsigned char>(bytes.at(index));
}

void appendPort(QByteArray& out, quint16 port)
{
    out.append(static_cast<char>(port >> 8));
    out.append(static_cast<char>(port & 0xFF));
}

void appendIPv4(QByteArray& out, quint32 address)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(static_cast<char>((address >> shift) & 0xFF));
}

quint16 portAt(const QByteArray& bytes, int index)
{
    return static_cast<quint16>((byteAt(bytes, index) << 8) | byteAt(bytes, index + 1));
}

quint32 ipv4At(const QByteArray& bytes, int index)
{
    quint32 address = 0;
    for (int i = 0; i < 4; ++i)
        address = (address << 8) | byteAt(bytes, index + i);
    return address;
}

QString ipv6At(const QByteArray& bytes, int index)
{
    QStringList groups;
    for (int i = 0; i < 16; i += 2)
        groups << QString::number(portAt(bytes, index + i), 16);
    return groups.join(QLatin1Char(':'));
}

QString unassignedText(int value)
{
    return QStringLiteral("unassigned error #%1").arg(value);
}

} // namespace

SocksNegotiation::SocksNegotiation(SocksSettings settings)
    : settings_(std::move(settings))
{
}

SocksStep SocksNegotiation::Start()
{
    received_.clear();
    boundAddr_.clear();
    boundPort_ = 0;
    if (!isSocks5())
        return connectRequest();
    SocksStep step;
    step.toSend.append(socks5Version);
    step.toSend.append(char(1));
    step.toSend.append(static_cast<char>(settings_.authenticate ? methodUserPassword : methodNone));
    state_ = socksNegociateMethods;
    return step;
}

SocksStep SocksNegotiation::Feed(const QByteArray& received)
{
    received_.append(received);
    switch (state_) {
    case socksNegociateMethods:
        return onMethodReply();
    case socksAuthenticate:
        return onAuthReply();
    case socksConnect:
        return isSocks5() ? onSocks5Reply() : onSocks4Reply();
    case socksData:
        break;
    }
    return fail(socks::InternalError, QStringLiteral("internal error"));
}

SocksStep SocksNegotiation::fail(int code, const QString& text)
{
    state_ = socksData;
    received_.clear();
    SocksStep step;
    step.result = SocksStep::Failed;
    step.errorCode = code;
    step.errorText = text;
    return step;
}

SocksStep SocksNegotiation::connectRequest()
{
    state_ = socksConnect;
    return isSocks5() ? socks5Request() : socks4Request();
}

SocksStep SocksNegotiation::socks4Request()
{
    // The user id and the host name travel as NUL-terminated strings: a NUL
    // inside either would let the rest be read as another field.
    if (settings_.userCode.contains('\0'))
        return fail(socks::AuthenticationFailed, QStringLiteral("authentification failed"));
    const bool remoteName = settings_.version == SocksVersion::V4A;
    quint32 address = socks4aMarkerAddress;
    if (!remoteName) {
        try {
            address = settings_.resolveHost(settings_.host);
        } catch (const ESocketException& e) {
            return fail(
                socks::ResolveFailed, ESocketException::className() + QStringLiteral(": ") + e.message());
        }
    }
    const QByteArray hostName = settings_.host.toUtf8();
    if (remoteName && (hostName.isEmpty() || hostName.contains('\0')))
        return fail(socks::AddressTypeNotSupported, QStringLiteral("address type not supported"));
    SocksStep step;
    step.toSend.append(socks4Version);
    step.toSend.append(connectCommand);
    appendPort(step.toSend, settings_.port);
    appendIPv4(step.toSend, address);
    step.toSend.append(settings_.userCode);
    step.toSend.append('\0');
    if (remoteName) {
        step.toSend.append(hostName);
        step.toSend.append('\0');
    }
    return step;
}

SocksStep SocksNegotiation::socks5Request()
{
    const QByteArray hostName = settings_.host.toUtf8();
    if (hostName.isEmpty() || hostName.size() > 255)
        return fail(socks::AddressTypeNotSupported, QStringLiteral("address type not supported"));
    SocksStep step;
    step.toSend.append(socks5Version);
    step.toSend.append(connectCommand);
    step.toSend.append(char(0));
    step.toSend.append(static_cast<char>(addressDomain));
    step.toSend.append(static_cast<char>(hostName.size()));
    step.toSend.append(hostName);
    appendPort(step.toSend, settings_.port);
    return step;
}

SocksStep SocksNegotiation::onMethodReply()
{
    if (received_.size() < 2)
        return {};
    if (received_.at(0) != socks5Version)
        return fail(socks::VersionError, QStringLiteral("socks version error"));
    if (received_.size() > 2)
        return fail(socks::TooMuchData, QStringLiteral("too much data availaible"));
    const unsigned char method = byteAt(received_, 1);
    received_.clear();
    if (method == methodNone) {
        SocksStep step = connectRequest();
        if (settings_.authenticate && step.result != SocksStep::Failed)
            step.authStates.insert(step.authStates.begin(), socksAuthNotRequired);
        return step;
    }
    // A server that picks user name and password although we did not offer
    // it has no credentials to check: refuse it like any unoffered method.
    if (method != methodUserPassword || !settings_.authenticate)
        return fail(socks::MethodNotAcceptable, QStringLiteral("authentification method not acceptable"));
    if (settings_.userCode.size() > 255 || settings_.password.size() > 255)
        return fail(socks::AuthenticationFailed, QStringLiteral("socks authentication failed"));
    SocksStep step;
    step.toSend.append(userPasswordVersion);
    step.toSend.append(static_cast<char>(settings_.userCode.size()));
    step.toSend.append(settings_.userCode);
    step.toSend.append(static_cast<char>(settings_.password.size()));
    step.toSend.append(settings_.password);
    step.authStates.push_back(socksAuthStart);
    state_ = socksAuthenticate;
    return step;
}

SocksStep SocksNegotiation::onAuthReply()
{
    if (received_.size() < 2)
        return {};
    if (received_.at(0) != userPasswordVersion)
        return fail(socks::VersionError, QStringLiteral("socks version error"));
    if (received_.at(1) != 0) {
        SocksStep step = fail(socks::AuthenticationFailed, QStringLiteral("socks authentication failed"));
        step.authStates.push_back(socksAuthFailure);
        return step;
    }
    if (received_.size() > 2)
        return fail(socks::TooMuchData, QStringLiteral("too much data availaible"));
    received_.clear();
    SocksStep step = connectRequest();
    if (step.result != SocksStep::Failed)
        step.authStates.insert(step.authStates.begin(), socksAuthSuccess);
    return step;
}

SocksStep SocksNegotiation::onSocks4Reply()
{
    if (received_.isEmpty())
        return {};
    if (received_.at(0) != 0)
        return fail(socks::VersionError, QStringLiteral("socks version error"));
    if (received_.size() < 2)
        return {};
    const unsigned char code = byteAt(received_, 1);
    switch (code) {
    case socks4Granted:
        break;
    case 91:
        return fail(socks::RequestRejected, QStringLiteral("request rejected or failed"));
    case 92:
        return fail(socks::ConnectionRefused, QStringLiteral("connection refused"));
    case 93:
        return fail(socks::AuthenticationFailed, QStringLiteral("authentification failed"));
    default:
        return fail(socks::UnassignedError, unassignedText(code));
    }
    if (received_.size() < socks4ReplyLength)
        return {};
    boundPort_ = portAt(received_, 2);
    boundAddr_ = ipv4Text(ipv4At(received_, 4));
    SocksStep step;
    step.result = SocksStep::Connected;
    step.leftover = received_.mid(socks4ReplyLength);
    received_.clear();
    state_ = socksData;
    return step;
}

SocksStep SocksNegotiation::onSocks5Reply()
{
    if (received_.isEmpty())
        return {};
    if (received_.at(0) != socks5Version)
        return fail(socks::VersionError, QStringLiteral("socks version error"));
    if (received_.size() < 2)
        return {};
    static const char* const replyTexts[] = {
        "general SOCKS server failure",
        "connection not allowed by ruleset",
        "network unreachable",
        "host unreachable",
        "connection refused",
        "time to live expired",
        "command not supported",
        "address type not supported",
    };
    const unsigned char code = byteAt(received_, 1);
    if (code >= 1 && code <= 8)
        return fail(socks::GeneralFailure + code - 1, QString::fromLatin1(replyTexts[code - 1]));
    if (code != 0)
        return fail(socks::UnassignedError, unassignedText(code));
    if (received_.size() < 5)
        return {};
    // Version, reply, reserved and address type come first, the bound
    // address and its 2-byte port last.
    int addressLength = 0;
    switch (byteAt(received_, 3)) {
    case addressIPv4:
        addressLength = 4;
        break;
    case addressDomain:
        addressLength = 1 + byteAt(received_, 4);
        break;
    case addressIPv6:
        // A server that reached the destination over IPv6 says so here; the
        // connection is as good as any other.
        addressLength = 16;
        break;
    default:
        return fail(socks::AddressTypeNotSupported, QStringLiteral("address type not supported"));
    }
    const int replyLength = 4 + addressLength + 2;
    if (received_.size() < replyLength)
        return {};
    switch (byteAt(received_, 3)) {
    case addressIPv4:
        boundAddr_ = ipv4Text(ipv4At(received_, 4));
        break;
    case addressDomain:
        boundAddr_ = QString::fromUtf8(received_.mid(5, addressLength - 1));
        break;
    default:
        boundAddr_ = ipv6At(received_, 4);
        break;
    }
    boundPort_ = portAt(received_, replyLength - 2);
    SocksStep step;
    step.result = SocksStep::Connected;
    step.leftover = received_.mid(replyLength);
    received_.clear();
    state_ = socksData;
    return step;
}
