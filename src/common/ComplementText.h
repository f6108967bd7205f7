#pragma once

#include <string>

// Every byte replaced by its bitwise complement; applying it twice gives the
// text back. Passwords and fixed addresses are stored this way, so they are
// not readable at a glance (this is no encryption).
inline std::string complementText(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(~static_cast<unsigned char>(c));
    return text;
}
