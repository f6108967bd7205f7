#include "transfer/DigestReply.h"

#include "transfer/FtpOperation.h"

#include <algorithm>
#include <cctype>

bool isDigestText(std::string_view text)
{
    return text.size() == zeroDigest.size() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c));
    });
}

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
