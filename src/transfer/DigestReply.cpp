#include "transfer/DigestReply.h"

#include "transfer/FtpOperation.h"

#include <algorithm>
#include <cctype>

std::string digestFromReply(std::string_view reply)
{
    constexpr size_t digestStart = 4; // after "200 "
    if (reply.size() < zeroDigest.size() || reply.front() == '4' || reply.front() == '5'
        || reply.size() < digestStart + zeroDigest.size())
        return std::string(zeroDigest);
    std::string digest(reply.substr(digestStart, zeroDigest.size()));
    if (!isDigestText(digest))
        return std::string(zeroDigest);
    std::transform(digest.begin(), digest.end(), digest.begin(),
        [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    return digest;
}
