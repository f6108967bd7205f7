// URLs from index servers and Location headers: split into their parts,
// and a redirection resolved against them.

#include "FuzzInput.h"

#include "net/HttpUrl.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::uint8_t split = input.takeByte();
    const QByteArray bytes = input.restBytes();
    const qsizetype cut = bytes.isEmpty() ? 0 : split % (bytes.size() + 1);
    const QString url = QString::fromUtf8(bytes.left(cut));
    const QString location = QString::fromUtf8(bytes.mid(cut));
    const auto parts = splitHttpUrl(url);
    if (!parts)
        return 0;
    FUZZ_CHECK(!parts->host.isEmpty());
    const int port = parts->port.toInt();
    FUZZ_CHECK(port >= 1 && port <= 65535);
    FUZZ_CHECK(parts->path.startsWith(u'/'));
    FUZZ_CHECK(!parts->absoluteTarget().contains(u'@') || parts->path.contains(u'@'));
    resolveLocation(*parts, location);
    return 0;
}
