#include "common/SizeText.h"

#include <QLocale>

#include <cmath>

namespace
{

constexpr std::int64_t kilo = 1024;
constexpr std::int64_t mega = kilo * 1024;
constexpr std::int64_t giga = mega * 1024;
constexpr int significantDigits = 6;

// The value rounded to six significant digits, written with two decimals and
// the locale's separators: digits past the sixth come out as zeros, so very
// large counts read "10,240.00" rather than a spurious exact fraction.
QString twoDecimals(double value)
{
    const int integerDigits = value >= 1 ? static_cast<int>(std::floor(std::log10(value))) + 1 : 1;
    const double scale = std::pow(10.0, significantDigits - integerDigits);
    const double rounded = std::round(value * scale) / scale;
    QLocale locale;
    // The C locale leaves the thousands separator out unless told otherwise.
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString(rounded, 'f', 2);
}

QString inUnit(std::int64_t bytes, std::int64_t unit, const char* suffix)
{
    return twoDecimals(static_cast<double>(bytes) / static_cast<double>(unit)) + QLatin1String(suffix);
}

} // namespace

QString formatSize(std::int64_t bytes, SizeMode mode)
{
    if (bytes < 0)
        bytes = 0;
    if (bytes < kilo) {
        if (mode == SizeMode::Exact)
            return QString::number(bytes) + QLatin1String(" Bytes");
        return bytes == 0 ? QStringLiteral("0 KB") : QStringLiteral("1 KB");
    }
    if (bytes < mega) {
        if (mode == SizeMode::Exact)
            return inUnit(bytes, kilo, " KB");
        return QString::number(bytes / kilo) + QLatin1String(" KB");
    }
    if (bytes < giga)
        return inUnit(bytes, mega, " MB");
    return inUnit(bytes, giga, " GB");
}
