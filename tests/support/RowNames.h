#pragma once

// Names of the rows of parameterised tables: GoogleTest takes letters,
// digits and "_" only, and a name must say what the row is and stay the
// same from build to build.

#include <string>
#include <string_view>

// `text` with every byte other than an ASCII letter or digit turned into
// "_"; "empty" for "".
inline std::string rowName(std::string_view text)
{
    if (text.empty())
        return "empty";
    std::string name(text);
    for (char& c : name) {
        const bool letterOrDigit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!letterOrDigit)
            c = '_';
    }
    return name;
}

// A number as a name: "minus" before a negative one.
inline std::string rowName(long long number)
{
    return number < 0 ? "minus" + std::to_string(-number) : std::to_string(number);
}
