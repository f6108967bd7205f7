#pragma once

#include <QString>
#include <QtGlobal>

// Name and number resolution of the socket layer. Each helper either returns
// the value or throws ESocketException with the text the user sees.
// These run on the calling thread and may block on the system resolver for
// names; dotted addresses and numeric ports never block.

// True for a dotted IPv4 address ("192.168.1.2"): four decimal numbers of
// 0-255 separated by dots.
bool WSocketIsDottedIP(const QString& text);

// True for a name under the reserved "invalid" top-level domain, which can
// never resolve; it is answered "Host not found" without asking the network.
bool isReservedInvalidName(const QString& host);

// The IPv4 address (host byte order) of a dotted address or a host name.
// Errors: "WSocketResolveHost: '<host>' Invalid Hostname." (empty),
// "WSocketResolveHost: '<host>' Invalid IP address." (digits and dots that are
// no address), "WSocketResolveHost: Cannot convert host address '<host>',
// Error #<code>" (the resolver failed; code 11001 for an unknown name).
quint32 WSocketResolveHost(const QString& host);

// A port number (0-65535) or a service name of `proto` ("ftp" -> 21).
// Errors: "WSocketResolvePort: Invalid Port." (empty or out of range),
// "WSocketResolvePort: Cannot convert port '<port>', Error #<code>".
quint16 WSocketResolvePort(const QString& port, const QString& proto = QStringLiteral("tcp"));

// A protocol number from "tcp", "udp", a number or a protocol name.
// Errors: "WSocketResolveProto: Invalid Protocol." (empty),
// "WSocketResolveProto: Cannot convert protocol '<proto>', Error #<code>".
int WSocketResolveProto(const QString& proto);

// The dotted text of an IPv4 address given in host byte order.
QString ipv4Text(quint32 address);
