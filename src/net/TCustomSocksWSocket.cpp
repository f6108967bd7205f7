#include "net/TCustomSocksWSocket.h"

#include "net/WSocketResolve.h"

#include <QPointer>

#include <cstring>
#include <netinet/in.h>

TCustomSocksWSocket::TCustomSocksWSocket(QObject* parent)
    : TCustomWSocket(parent)
{
}

bool TCustomSocksWSocket::refuseSocksChange(const QString& message)
{
    if (State() == wsClosed)
        return false;
    RaiseException(message);
    return true;
}

void TCustomSocksWSocket::SetSocksRoute(const SocksRoute& route)
{
    if (refuseSocksChange(QStringLiteral("Can't change socks server if not closed")))
        return;
    socks_ = route;
    socks_.server = route.server.trimmed();
    socks_.port = route.port.trimmed();
    socksAuthentication_ = route.authenticates() ? socksAuthenticateUsercode : socksNoAuthentication;
}

void TCustomSocksWSocket::SetSocksServer(const QString& server)
{
    if (!refuseSocksChange(QStringLiteral("Can't change socks server if not closed")))
        socks_.server = server.trimmed();
}

void TCustomSocksWSocket::SetSocksPort(const QString& port)
{
    if (!refuseSocksChange(QStringLiteral("Can't change socks port if not closed")))
        socks_.port = port.trimmed();
}

void TCustomSocksWSocket::SetSocksLevel(const QString& level)
{
    if (refuseSocksChange(QStringLiteral("Can't change socks level if not closed")))
        return;
    const std::optional<SocksVersion> version = socksVersionFromText(level);
    if (!version) {
        RaiseException(QStringLiteral("Invalid socks level. Must be 4, 4A or 5."));
        return;
    }
    socks_.version = *version;
}

void TCustomSocksWSocket::SetSocksAuthentication(TSocksAuthentication value)
{
    // Any value other than "none" asks for user code authentication.
    socksAuthentication_ = value == socksNoAuthentication ? socksNoAuthentication : socksAuthenticateUsercode;
}

TSocksState TCustomSocksWSocket::SocksState() const
{
    return negotiation_ ? negotiation_->State() : socksData;
}

void TCustomSocksWSocket::Connect()
{
    if (!socksEnabled()) {
        TCustomWSocket::Connect();
        return;
    }
    if (!CheckConnectSettings())
        return;
    if (Proto().compare(QLatin1String("tcp"), Qt::CaseInsensitive) != 0) {
        RaiseException(QStringLiteral("tcp is the only protocol supported thru socks server"));
        return;
    }
    quint32 serverAddress = 0;
    quint16 serverPort = 0;
    SocksSettings settings;
    try {
        serverPort = WSocketResolvePort(socks_.port);
        serverAddress = WSocketResolveHost(socks_.server);
        settings.port = WSocketResolvePort(Port());
    } catch (const ESocketException& e) {
        RaiseException(QStringLiteral("connect: ") + e.message());
        return;
    }
    settings.version = socks_.version;
    settings.host = Addr();
    settings.authenticate = socksAuthentication_ == socksAuthenticateUsercode;
    settings.userCode = socks_.user.toUtf8();
    settings.password = socks_.password.toUtf8();
    settings.resolveHost = &WSocketResolveHost;
    negotiation_ = std::make_unique<SocksNegotiation>(std::move(settings));
    tcpConnecting_ = true;
    ConnectTo(serverAddress, serverPort);
}

void TCustomSocksWSocket::Listen()
{
    if (socksEnabled()) {
        RaiseException(QStringLiteral("Listening is not supported thru socks server"));
        return;
    }
    TCustomWSocket::Listen();
}

void TCustomSocksWSocket::HandleConnected()
{
    if (!negotiation_) {
        TCustomWSocket::HandleConnected();
        return;
    }
    tcpConnecting_ = false;
    const QPointer<TCustomSocksWSocket> alive(this);
    const quint64 serial = ConnectionSerial();
    ChangeState(wsSocksConnected);
    if (OnSocksConnected)
        OnSocksConnected(wsock::NoError);
    if (alive && serial == ConnectionSerial() && negotiation_)
        applyStep(negotiation_->Start());
}

void TCustomSocksWSocket::HandleConnectFailed(int error)
{
    if (tcpConnecting_ && OnSocksConnected) {
        const QPointer<TCustomSocksWSocket> alive(this);
        const quint64 serial = ConnectionSerial();
        OnSocksConnected(error);
        if (!alive || serial != ConnectionSerial())
            return;
    }
    TCustomWSocket::HandleConnectFailed(error);
}

void TCustomSocksWSocket::TriggerDataAvailable(int error)
{
    if (State() != wsSocksConnected || !negotiation_) {
        TCustomWSocket::TriggerDataAvailable(error);
        return;
    }
    char chunk[1024];
    const int received = ReceiveFromSocket(chunk, sizeof chunk);
    if (received == 0 || (received < 0 && LastError() == wsock::WouldBlock))
        return; // the close, if any, comes as its own event
    if (received < 0) {
        failNegotiation(LastError(), QStringLiteral("data receive error"));
        return;
    }
    applyStep(negotiation_->Feed(QByteArray(chunk, received)));
}

void TCustomSocksWSocket::applyStep(const SocksStep& step)
{
    const QPointer<TCustomSocksWSocket> alive(this);
    const quint64 serial = ConnectionSerial();
    for (const TSocksAuthState authState : step.authStates) {
        if (OnSocksAuthState)
            OnSocksAuthState(authState);
        if (!alive || serial != ConnectionSerial())
            return;
    }
    if (!step.toSend.isEmpty())
        SendQuietly(step.toSend);
    if (step.result == SocksStep::Failed) {
        failNegotiation(step.errorCode, step.errorText);
        return;
    }
    if (step.result != SocksStep::Connected || serial != ConnectionSerial())
        return;
    boundAddr_ = negotiation_->BoundAddr();
    boundPort_ = negotiation_->BoundPort();
    negotiation_.reset();
    leftover_ = step.leftover;
    ChangeState(wsConnected);
    TriggerSessionConnected(wsock::NoError);
    if (alive && serial == ConnectionSerial() && !leftover_.isEmpty())
        TCustomWSocket::TriggerDataAvailable(wsock::NoError);
}

void TCustomSocksWSocket::failNegotiation(int code, const QString& message)
{
    const QPointer<TCustomSocksWSocket> alive(this);
    const quint64 serial = ConnectionSerial();
    if (OnSocksError)
        OnSocksError(code, message);
    if (alive && serial == ConnectionSerial())
        TCustomWSocket::HandleConnectFailed(code);
}

void TCustomSocksWSocket::HandleClosedBeforeSession(int error)
{
    if (!negotiation_) {
        TCustomWSocket::HandleClosedBeforeSession(error);
        return;
    }
    // The SOCKS server hung up before it answered.
    failNegotiation(
        error == wsock::NoError ? wsock::ConnectionAborted : error, QStringLiteral("data receive error"));
}

void TCustomSocksWSocket::TriggerDataSent(int error)
{
    // Our own negotiation bytes are nobody else's business.
    if (State() != wsSocksConnected)
        TCustomWSocket::TriggerDataSent(error);
}

int TCustomSocksWSocket::Receive(void* buffer, int length)
{
    if (leftover_.isEmpty())
        return TCustomWSocket::Receive(buffer, length);
    const int count = std::min(length, static_cast<int>(leftover_.size()));
    if (count <= 0)
        return 0;
    std::memcpy(buffer, leftover_.constData(), static_cast<size_t>(count));
    leftover_.remove(0, count);
    return count;
}

void TCustomSocksWSocket::ConnectionClosed()
{
    negotiation_.reset();
    tcpConnecting_ = false;
    leftover_.clear();
}
