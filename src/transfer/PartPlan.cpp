#include "transfer/PartPlan.h"

#include <algorithm>

namespace
{
constexpr std::uint64_t singlePartBelow = 65536;
constexpr std::uint64_t twoPartsBelow = 131072;
constexpr int mostParts = 8;
constexpr std::size_t digestLength = 32;
} // namespace

bool isKnownDigest(std::string_view digest)
{
    return digest.size() >= digestLength
        && std::any_of(digest.begin(), digest.begin() + digestLength, [](char c) { return c != '0'; });
}

int partCountFor(std::uint64_t size, std::string_view digest, bool borrowed)
{
    if (size < singlePartBelow || borrowed)
        return 1;
    if (size < twoPartsBelow)
        return 2;
    return isKnownDigest(digest) ? mostParts : 6;
}

std::vector<FilePart> splitIntoParts(std::uint64_t size, int count)
{
    const std::uint64_t parts = static_cast<std::uint64_t>(std::max(count, 1));
    const std::uint64_t length = partLengthOf(size, count);
    std::vector<FilePart> result(parts);
    for (std::uint64_t i = 0; i < parts; ++i) {
        result[i].start = i * length;
        result[i].end = i + 1 == parts ? size : (i + 1) * length;
    }
    return result;
}

std::uint64_t partLengthOf(std::uint64_t size, int count)
{
    const auto parts = static_cast<std::uint64_t>(std::max(count, 1));
    return (size - size % parts) / parts;
}

std::optional<int> partCountOfLength(std::uint64_t size, std::uint64_t length)
{
    for (int count = 2; count <= mostParts; ++count) {
        if (partLengthOf(size, count) == length)
            return count;
    }
    return std::nullopt;
}

QString partFileName(const QString& target, int index)
{
    return target + QLatin1Char('.') + QString::number(index);
}
