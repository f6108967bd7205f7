#pragma once

#include <algorithm>
#include <string_view>

// An MD5 digest as text: 32 hexadecimal characters. Anything else that
// claims to be one (a server's reply, a result line, a stored entry) is an
// unknown digest and is never sent on.
inline bool isDigestText(std::string_view text)
{
    constexpr std::size_t digestLength = 32;
    return text.size() == digestLength && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    });
}
