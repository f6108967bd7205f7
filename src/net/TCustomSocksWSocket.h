#pragma once

#include "net/SocksNegotiation.h"
#include "net/SocksRoute.h"
#include "net/TCustomWSocket.h"

#include <memory>

// TCustomWSocket with SOCKS 4, 4A and 5. With a SOCKS server set, Connect()
// goes to the SOCKS server, negotiates the connection to Addr:Port there
// (state wsSocksConnected) and only then reports OnSessionConnected: 0 when
// the SOCKS server connected us, the SOCKS error code (20001-20017) when it
// did not, so callers never need to know whether a proxy was in between.
// Data that followed the SOCKS server's reply is delivered as ordinary data.
//
// The SOCKS settings survive Close(): every later connection of the socket
// goes through the same server until they change.
class TCustomSocksWSocket : public TCustomWSocket
{
    Q_OBJECT

public:
    explicit TCustomSocksWSocket(QObject* parent = nullptr);

    // The whole route at once: authentication is on when it has a user.
    // Refused like the single setters below while the socket is not closed.
    SocksRoute socksRoute() const { return socks_; }
    void SetSocksRoute(const SocksRoute& route);

    QString SocksServer() const { return socks_.server; }
    void SetSocksServer(const QString& server);
    QString SocksPort() const { return socks_.port; }
    void SetSocksPort(const QString& port);
    // "4", "4A" or "5" ("4a" is taken as "4A").
    QString SocksLevel() const { return socksVersionText(socks_.version); }
    void SetSocksLevel(const QString& level);
    QString SocksUsercode() const { return socks_.user; }
    void SetSocksUsercode(const QString& usercode) { socks_.user = usercode; }
    QString SocksPassword() const { return socks_.password; }
    void SetSocksPassword(const QString& password) { socks_.password = password; }
    TSocksAuthentication SocksAuthentication() const { return socksAuthentication_; }
    void SetSocksAuthentication(TSocksAuthentication value);

    TSocksState SocksState() const;
    // What the SOCKS server bound for the connection.
    QString BoundAddr() const { return boundAddr_; }
    quint16 BoundPort() const { return boundPort_; }

    void Connect() override;
    // Refused with "Listening is not supported thru socks server" when a
    // SOCKS server is set.
    void Listen() override;
    int Receive(void* buffer, int length) override;

    // OnSocksConnected: the connection to the SOCKS server itself (0) or its
    // failure; OnSocksError: why a negotiation failed (before
    // OnSessionConnected reports the same code); OnSocksAuthState: progress
    // of SOCKS 5 authentication.
    std::function<void(int error)> OnSocksConnected;
    std::function<void(int code, const QString& message)> OnSocksError;
    std::function<void(TSocksAuthState state)> OnSocksAuthState;

protected:
    void TriggerDataAvailable(int error) override;
    void TriggerDataSent(int error) override;
    void HandleConnected() override;
    void HandleConnectFailed(int error) override;
    void HandleClosedBeforeSession(int error) override;
    void ConnectionClosed() override;

private:
    bool socksEnabled() const { return socks_.isEnabled(); }
    void applyStep(const SocksStep& step);
    void failNegotiation(int code, const QString& message);

    bool refuseSocksChange(const QString& message);

    SocksRoute socks_;
    TSocksAuthentication socksAuthentication_ = socksNoAuthentication;
    // The negotiation of the current connection, from Connect() until the
    // SOCKS server answered or the connection ended.
    std::unique_ptr<SocksNegotiation> negotiation_;
    bool tcpConnecting_ = false;
    QByteArray leftover_;
    QString boundAddr_;
    quint16 boundPort_ = 0;
};
