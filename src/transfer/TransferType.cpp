#include "transfer/TransferType.h"

#include <algorithm>
#include <cctype>

namespace
{

bool equalIgnoringCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

} // namespace

TransferType wantedTransferType(int mode, const std::vector<std::string>& asciiTypes, std::string_view path)
{
    if (mode == static_cast<int>(TransferType::Ascii))
        return TransferType::Ascii;
    if (mode == static_cast<int>(TransferType::Binary))
        return TransferType::Binary;
    const std::string_view name = path.substr(path.rfind('/') + 1);
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return TransferType::Binary;
    const std::string_view extension = name.substr(dot + 1);
    const bool ascii = std::any_of(asciiTypes.begin(), asciiTypes.end(),
        [&](const std::string& type) { return !type.empty() && equalIgnoringCase(type, extension); });
    return ascii ? TransferType::Ascii : TransferType::Binary;
}
