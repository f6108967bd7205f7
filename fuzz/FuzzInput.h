#pragma once

// Helpers shared by the fuzz targets: the input as text, cut into pieces
// the way a network delivers it, and a check that aborts (so libFuzzer
// keeps the input) when a parser breaks a promise of its header.

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

class FuzzInput
{
public:
    FuzzInput(const std::uint8_t* data, std::size_t size)
        : data_(reinterpret_cast<const char*>(data), size)
    {
    }

    // One byte that chooses how the rest is read (0 when there is none).
    std::uint8_t takeByte()
    {
        if (data_.empty())
            return 0;
        const auto byte = static_cast<std::uint8_t>(data_.front());
        data_.remove_prefix(1);
        return byte;
    }

    std::string_view rest() const { return data_; }
    QByteArray restBytes() const { return QByteArray(data_.data(), static_cast<qsizetype>(data_.size())); }

    // The rest cut into pieces whose lengths follow from `seed`: whole,
    // byte by byte, or in uneven runs.
    std::vector<QByteArray> pieces(std::uint8_t seed) const
    {
        std::vector<QByteArray> out;
        const std::size_t step = seed == 0 ? data_.size() : seed % 7 + 1;
        for (std::size_t at = 0, n = 0; at < data_.size(); ++n) {
            const std::size_t length = seed == 0 ? data_.size() : (n % 3 == 0 ? 1 : step);
            out.emplace_back(data_.data() + at, static_cast<qsizetype>(std::min(length, data_.size() - at)));
            at += length;
        }
        return out;
    }

private:
    std::string_view data_;
};

#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: broken promise: %s\n", __FILE__, __LINE__, #condition);             \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)
