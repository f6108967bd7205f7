#pragma once

#include "net/SocksRoute.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <vector>

// The client side of SOCKS 4, 4A and 5 as a pure exchange of bytes: it is fed
// what the SOCKS server sent and answers with what to send next, so it can be
// tested with canned replies; TCustomSocksWSocket runs it over a socket.

enum TSocksState { socksData, socksNegociateMethods, socksAuthenticate, socksConnect };
enum TSocksAuthState { socksAuthStart, socksAuthSuccess, socksAuthFailure, socksAuthNotRequired };
enum TSocksAuthentication { socksNoAuthentication, socksAuthenticateUsercode };

// Error codes reported through the SOCKS error event (outside WinSock's range).
namespace socks
{
inline constexpr int TooMuchData = 20001;
inline constexpr int VersionError = 20002;
inline constexpr int MethodNotAcceptable = 20003;
inline constexpr int GeneralFailure = 20004;
inline constexpr int NotAllowed = 20005;
inline constexpr int NetworkUnreachable = 20006;
inline constexpr int HostUnreachable = 20007;
inline constexpr int ConnectionRefused = 20008;
inline constexpr int TtlExpired = 20009;
inline constexpr int CommandNotSupported = 20010;
inline constexpr int AddressTypeNotSupported = 20011;
inline constexpr int UnassignedError = 20012;
inline constexpr int InternalError = 20013;
inline constexpr int AuthenticationFailed = 20015;
inline constexpr int RequestRejected = 20016;
inline constexpr int ResolveFailed = 20017;
} // namespace socks

struct SocksSettings {
    SocksVersion version = SocksVersion::V5;
    QString host; // destination as the user gave it
    quint16 port = 0; // destination port
    bool authenticate = false; // SOCKS 5: offer user name and password
    QByteArray userCode; // SOCKS 4 user id, SOCKS 5 user name
    QByteArray password;
    // SOCKS 4 only: the destination's IPv4 address (host byte order); may
    // throw ESocketException, which fails the negotiation with 20017.
    std::function<quint32(const QString&)> resolveHost;
};

// What the caller does after Start() or Feed().
struct SocksStep {
    enum Result { Pending, Connected, Failed };

    QByteArray toSend; // send this to the SOCKS server
    std::vector<TSocksAuthState> authStates; // report these, in order
    Result result = Pending;
    int errorCode = 0; // Failed: one of socks::*
    QString errorText; // Failed: the message for the user
    QByteArray leftover; // Connected: data that followed the reply
};

class SocksNegotiation
{
public:
    explicit SocksNegotiation(SocksSettings settings);

    // The first message (method offer of SOCKS 5, connect request of SOCKS 4).
    SocksStep Start();
    // Bytes received from the SOCKS server, whole or in pieces.
    SocksStep Feed(const QByteArray& received);

    TSocksState State() const { return state_; }
    // What the SOCKS server bound for the connection (after success).
    QString BoundAddr() const { return boundAddr_; }
    quint16 BoundPort() const { return boundPort_; }

private:
    bool isSocks5() const { return settings_.version == SocksVersion::V5; }
    SocksStep connectRequest();
    SocksStep socks4Request();
    SocksStep socks5Request();
    SocksStep onMethodReply();
    SocksStep onAuthReply();
    SocksStep onSocks4Reply();
    SocksStep onSocks5Reply();
    SocksStep fail(int code, const QString& text);

    SocksSettings settings_;
    TSocksState state_ = socksData;
    QByteArray received_;
    QString boundAddr_;
    quint16 boundPort_ = 0;
};
