#pragma once

#include <QString>
#include <stdexcept>

// Socket failures keep the numbers and texts of the WinSock codes in every
// message the user sees, so that a "Connection refused" reads "10061" on
// every platform. Errors of the platform are mapped to those codes here.

// The WinSock-style codes used in messages (a subset; see WSocketErrorDesc).
namespace wsock
{
inline constexpr int NoError = 0;
inline constexpr int InvalidArgument = 10022;
inline constexpr int WouldBlock = 10035;
inline constexpr int InProgress = 10036;
inline constexpr int NotSocket = 10038;
inline constexpr int MessageTooLong = 10040;
inline constexpr int ProtocolNotSupported = 10043;
inline constexpr int ConnectionAborted = 10053;
inline constexpr int ConnectionReset = 10054;
inline constexpr int NotConnected = 10057;
inline constexpr int Shutdown = 10058;
inline constexpr int TimedOut = 10060;
inline constexpr int ConnectionRefused = 10061;
inline constexpr int HostNotFound = 11001;
inline constexpr int TryAgain = 11002;
inline constexpr int NoRecovery = 11003;
inline constexpr int NoData = 11004;
} // namespace wsock

// The description of a WinSock code: "Connection refused" for 10061, "No
// Error" for 0, "Not a WinSock error" for anything not in the table.
QString WSocketErrorDesc(int code);

// The WinSock code of an errno value (ECONNREFUSED -> 10061, ...). An errno
// without a counterpart is returned unchanged.
int wsocketErrorFromErrno(int errnoValue);

// The WinSock code of a getaddrinfo()/getservbyname() failure (EAI_NONAME ->
// 11001, EAI_AGAIN -> 11002, ...).
int wsocketErrorFromResolver(int gaiError);

// "Error <code> in function <function>\r\n<description>", the text of a
// failed socket call.
QString socketErrorText(const QString& function, int code);

// Usage errors and failed socket calls of the socket layer. `code()` is the
// WinSock code for socket errors and 0 for usage errors.
class ESocketException : public std::runtime_error
{
public:
    explicit ESocketException(const QString& message, int code = 0);

    // The class name as messages show it ("500 ESocketException: ...").
    static QString className() { return QStringLiteral("ESocketException"); }

    QString message() const { return message_; }
    int code() const { return code_; }

private:
    QString message_;
    int code_;
};
