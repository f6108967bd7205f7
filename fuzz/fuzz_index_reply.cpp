// Index-server replies: result lines of searches and of the other-sources
// request, user addresses, index URLs and the status-like replies.

#include "FuzzInput.h"

#include "common/DigestText.h"
#include "p2p/IndexProtocol.h"
#include "p2p/ResultLine.h"

#include <algorithm>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::string reply = replyText(input.rest());
    FUZZ_CHECK(reply.find('\0') == std::string::npos);

    p2pNetwork network;
    network.indexUrl = "http://index.example/p2p";
    for (const std::string_view line : replyLines(reply)) {
        FUZZ_CHECK(!line.empty() && line.find('\n') == std::string_view::npos);
        if (!isResultLine(line))
            continue;
        const ftpObject entry = resultLineToObject(line, network, "guest@example.org");
        FUZZ_CHECK(entry.site->port >= 1 && entry.site->port <= 65535);
        FUZZ_CHECK(entry.site->connectionSpeed >= 0 && entry.site->connectionSpeed <= 8);
        FUZZ_CHECK(entry.size >= 0);
        FUZZ_CHECK(entry.digest.empty() || isDigestText(entry.digest));
    }

    if (const auto address = parseUserAddress(reply)) {
        FUZZ_CHECK(isUsableHost(address->address));
        FUZZ_CHECK(address->port >= 1);
    }
    if (isUsableIndexUrl(reply)) {
        FUZZ_CHECK(reply.size() <= 2048);
        FUZZ_CHECK(reply.find_first_of("\r\n \t") == std::string::npos);
    }
    resumeReplySucceeded(reply);
    updateIndexReplyAccepted(reply);
    publishReplySucceeded(reply);

    // Whatever a server sent, a body built from it keeps one field per value.
    const std::string body = resolveUserBody(reply, reply, reply);
    FUZZ_CHECK(std::count(body.begin(), body.end(), '&') == 3);
    FUZZ_CHECK(std::count(body.begin(), body.end(), '=') == 4);
    return 0;
}
