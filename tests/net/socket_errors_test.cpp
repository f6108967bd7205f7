#include "net/SocketErrors.h"
#include "net/WSocketResolve.h"

#include "RowNames.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <netdb.h>
#include <ostream>

namespace
{

struct CodeCase {
    int code;
    const char* text;
};

void PrintTo(const CodeCase& c, std::ostream* out)
{
    *out << c.code;
}

class SocketErrorDescription : public ::testing::TestWithParam<CodeCase>
{
};

TEST_P(SocketErrorDescription, KeepsTheWinSockNumberAndText)
{
    EXPECT_EQ(WSocketErrorDesc(GetParam().code), QString::fromLatin1(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Socket, SocketErrorDescription,
    ::testing::Values(CodeCase { 0, "No Error" }, CodeCase { 10004, "Interrupted system call" },
        CodeCase { 10009, "Bad file number" }, CodeCase { 10013, "Permission denied" },
        CodeCase { 10014, "Bad address" }, CodeCase { 10022, "Invalid argument" },
        CodeCase { 10024, "Too many open files" }, CodeCase { 10035, "Operation would block" },
        CodeCase { 10036, "Operation now in progress" }, CodeCase { 10037, "Operation already in progress" },
        CodeCase { 10038, "Socket operation on non-socket" },
        CodeCase { 10039, "Destination address required" }, CodeCase { 10040, "Message too long" },
        CodeCase { 10041, "Protocol wrong type for socket" }, CodeCase { 10042, "Protocol not available" },
        CodeCase { 10043, "Protocol not supported" }, CodeCase { 10044, "Socket type not supported" },
        CodeCase { 10045, "Operation not supported on socket" },
        CodeCase { 10046, "Protocol family not supported" },
        CodeCase { 10047, "Address family not supported by protocol family" },
        CodeCase { 10048, "Address already in use" }, CodeCase { 10049, "Address not available" },
        CodeCase { 10050, "Network is down" }, CodeCase { 10051, "Network is unreachable" },
        CodeCase { 10052, "Network dropped connection on reset" }, CodeCase { 10053, "Connection aborted" },
        CodeCase { 10054, "Connection reset by peer" }, CodeCase { 10055, "No buffer space available" },
        CodeCase { 10056, "Socket is already connected" }, CodeCase { 10057, "Socket is not connected" },
        CodeCase { 10058, "Can't send after socket shutdown" },
        CodeCase { 10059, "Too many references: can't splice" }, CodeCase { 10060, "Connection timed out" },
        CodeCase { 10061, "Connection refused" }, CodeCase { 10062, "Too many levels of symbolic links" },
        CodeCase { 10063, "File name too long" }, CodeCase { 10064, "Host is down" },
        CodeCase { 10065, "No route to host" }, CodeCase { 10066, "Directory not empty" },
        CodeCase { 10067, "Too many processes" }, CodeCase { 10068, "Too many users" },
        CodeCase { 10069, "Disc quota exceeded" }, CodeCase { 10070, "Stale NFS file handle" },
        CodeCase { 10071, "Too many levels of remote in path" },
        CodeCase { 10091, "Network sub-system is unusable" },
        CodeCase { 10092, "WinSock DLL cannot support this application" },
        CodeCase { 10093, "WinSock not initialized" }, CodeCase { 11001, "Host not found" },
        CodeCase { 11002, "Non-authoritative host not found" }, CodeCase { 11003, "Non-recoverable error" },
        CodeCase { 11004, "No Data" }, CodeCase { 20002, "Not a WinSock error" },
        CodeCase { -1, "Not a WinSock error" }, CodeCase { 10000, "Not a WinSock error" }),
    [](const auto& info) { return "code" + rowName(info.param.code); });

struct ErrnoCase {
    const char* name;
    int errnoValue;
    int code;
};

void PrintTo(const ErrnoCase& c, std::ostream* out)
{
    *out << "errno " << c.errnoValue;
}

class SocketErrnoMapping : public ::testing::TestWithParam<ErrnoCase>
{
};

TEST_P(SocketErrnoMapping, GivesTheWinSockCode)
{
    EXPECT_EQ(wsocketErrorFromErrno(GetParam().errnoValue), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Socket, SocketErrnoMapping,
    ::testing::Values(ErrnoCase { "ECONNREFUSED", ECONNREFUSED, 10061 },
        ErrnoCase { "ETIMEDOUT", ETIMEDOUT, 10060 }, ErrnoCase { "ECONNRESET", ECONNRESET, 10054 },
        ErrnoCase { "ECONNABORTED", ECONNABORTED, 10053 }, ErrnoCase { "ENOTCONN", ENOTCONN, 10057 },
        ErrnoCase { "EHOSTUNREACH", EHOSTUNREACH, 10065 }, ErrnoCase { "ENETUNREACH", ENETUNREACH, 10051 },
        ErrnoCase { "EADDRINUSE", EADDRINUSE, 10048 }, ErrnoCase { "EWOULDBLOCK", EWOULDBLOCK, 10035 },
        ErrnoCase { "EAGAIN", EAGAIN, 10035 }, ErrnoCase { "EINPROGRESS", EINPROGRESS, 10036 },
        ErrnoCase { "EINVAL", EINVAL, 10022 }, ErrnoCase { "EMFILE", EMFILE, 10024 },
        ErrnoCase { "EACCES", EACCES, 10013 }, ErrnoCase { "EPIPE", EPIPE, 10058 },
        ErrnoCase { "EADDRNOTAVAIL", EADDRNOTAVAIL, 10049 }, ErrnoCase { "ENOTSOCK", ENOTSOCK, 10038 }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SocketResolverErrors, MapToTheHostLookupCodes)
{
    EXPECT_EQ(wsocketErrorFromResolver(EAI_NONAME), 11001);
    EXPECT_EQ(wsocketErrorFromResolver(EAI_AGAIN), 11002);
    EXPECT_EQ(wsocketErrorFromResolver(EAI_FAIL), 11003);
    EXPECT_EQ(wsocketErrorFromResolver(EAI_NODATA), 11004);
}

TEST(SocketErrorText, NamesCodeFunctionAndDescription)
{
    EXPECT_EQ(socketErrorText(QStringLiteral("connect"), 10061),
        QStringLiteral("Error 10061 in function connect\r\nConnection refused"));
}

struct DottedCase {
    const char* text;
    bool dotted;
};

void PrintTo(const DottedCase& c, std::ostream* out)
{
    *out << '"' << c.text << '"';
}

class SocketDottedAddress : public ::testing::TestWithParam<DottedCase>
{
};

TEST_P(SocketDottedAddress, IsRecognised)
{
    EXPECT_EQ(WSocketIsDottedIP(QString::fromLatin1(GetParam().text)), GetParam().dotted) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Socket, SocketDottedAddress,
    ::testing::Values(DottedCase { "127.0.0.1", true }, DottedCase { "0.0.0.0", true },
        DottedCase { "255.255.255.255", true }, DottedCase { "1.2.3.256", false },
        DottedCase { "1.2.3", false }, DottedCase { "1.2.3.4.5", false }, DottedCase { "localhost", false },
        DottedCase { "", false }, DottedCase { "1.2.3.4 ", false }, DottedCase { "a.b.c.d", false }),
    [](const auto& info) { return rowName(info.param.text); });

QString resolveHostError(const QString& host)
{
    try {
        WSocketResolveHost(host);
    } catch (const ESocketException& e) {
        return e.message();
    }
    return {};
}

TEST(SocketResolveHost, AnswersDottedAddressesAndNames)
{
    EXPECT_EQ(WSocketResolveHost(QStringLiteral("192.168.1.2")), 0xC0A80102u);
    EXPECT_EQ(WSocketResolveHost(QStringLiteral("localhost")), 0x7F000001u);
    EXPECT_EQ(ipv4Text(0xC0A80102u), QStringLiteral("192.168.1.2"));
}

TEST(SocketResolveHost, ExplainsEachFailure)
{
    EXPECT_EQ(resolveHostError({}), QStringLiteral("WSocketResolveHost: '' Invalid Hostname."));
    EXPECT_EQ(resolveHostError(QStringLiteral("10.0.0.300")),
        QStringLiteral("WSocketResolveHost: '10.0.0.300' Invalid IP address."));
    EXPECT_EQ(resolveHostError(QStringLiteral("no-such-host.invalid")),
        QStringLiteral(
            "WSocketResolveHost: Cannot convert host address 'no-such-host.invalid', Error #11001"));
}

TEST(SocketResolveHost, NeverAsksTheNetworkForReservedInvalidNames)
{
    EXPECT_TRUE(isReservedInvalidName(QStringLiteral("x.invalid")));
    EXPECT_TRUE(isReservedInvalidName(QStringLiteral("X.INVALID.")));
    EXPECT_TRUE(isReservedInvalidName(QStringLiteral("invalid")));
    EXPECT_FALSE(isReservedInvalidName(QStringLiteral("invalid.example.org")));
    EXPECT_FALSE(isReservedInvalidName(QStringLiteral("notinvalid")));
}

QString resolvePortError(const QString& port)
{
    try {
        WSocketResolvePort(port);
    } catch (const ESocketException& e) {
        return e.message();
    }
    return {};
}

TEST(SocketResolvePort, TakesNumbersAndServiceNames)
{
    EXPECT_EQ(WSocketResolvePort(QStringLiteral("2121")), 2121);
    EXPECT_EQ(WSocketResolvePort(QStringLiteral("0")), 0);
    EXPECT_EQ(WSocketResolvePort(QStringLiteral("65535")), 65535);
    EXPECT_EQ(WSocketResolvePort(QStringLiteral("ftp")), 21);
    EXPECT_EQ(WSocketResolvePort(QStringLiteral("http")), 80);
}

TEST(SocketResolvePort, RefusesEmptyOutOfRangeAndUnknownPorts)
{
    EXPECT_EQ(resolvePortError({}), QStringLiteral("WSocketResolvePort: Invalid Port."));
    EXPECT_EQ(resolvePortError(QStringLiteral("65536")), QStringLiteral("WSocketResolvePort: Invalid Port."));
    EXPECT_EQ(
        resolvePortError(QStringLiteral("99999999999")), QStringLiteral("WSocketResolvePort: Invalid Port."));
    EXPECT_EQ(resolvePortError(QStringLiteral("no-such-service")),
        QStringLiteral("WSocketResolvePort: Cannot convert port 'no-such-service', Error #11004"));
}

TEST(SocketResolveProto, KnowsTcpUdpNumbersAndNames)
{
    EXPECT_EQ(WSocketResolveProto(QStringLiteral("tcp")), 6);
    EXPECT_EQ(WSocketResolveProto(QStringLiteral("UDP")), 17);
    EXPECT_EQ(WSocketResolveProto(QStringLiteral("6")), 6);
    EXPECT_THROW(WSocketResolveProto(QStringLiteral("no-such-proto")), ESocketException);
    EXPECT_THROW(WSocketResolveProto(QString()), ESocketException);
}

} // namespace
