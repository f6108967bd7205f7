// Replies of SOCKS 4, 4A and 5 servers, with and without authentication,
// whatever pieces they arrive in.

#include "FuzzInput.h"

#include "net/SocksNegotiation.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::uint8_t mode = input.takeByte();
    static constexpr SocksVersion versions[] = { SocksVersion::V4, SocksVersion::V4A, SocksVersion::V5 };
    SocksSettings settings;
    settings.version = versions[mode % 3];
    settings.host = QStringLiteral("ftp.example.org");
    settings.port = 21;
    settings.authenticate = (mode & 4) != 0;
    settings.userCode = "user";
    settings.password = "password";
    settings.resolveHost = [](const QString&) { return quint32(0x7f000001); };
    SocksNegotiation negotiation(settings);
    SocksStep step = negotiation.Start();
    for (const QByteArray& piece : input.pieces(mode >> 3)) {
        if (step.result != SocksStep::Pending)
            break;
        step = negotiation.Feed(piece);
    }
    if (step.result == SocksStep::Failed)
        FUZZ_CHECK(step.errorCode >= socks::TooMuchData && step.errorCode <= socks::ResolveFailed);
    if (step.result == SocksStep::Connected)
        FUZZ_CHECK(negotiation.State() == socksData);
    return 0;
}
