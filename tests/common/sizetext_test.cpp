#include "common/SizeText.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace
{

// Every case runs under a known default locale and puts the old one back.
class SizeTextTest : public ::testing::Test
{
protected:
    void SetUp() override { QLocale::setDefault(QLocale::c()); }
    void TearDown() override { QLocale::setDefault(saved_); }

private:
    QLocale saved_;
};

struct SizeCase {
    const char* what;
    std::int64_t bytes;
    SizeMode mode;
    const char* text;
};

constexpr std::int64_t KiB = 1024;
constexpr std::int64_t MiB = 1024 * KiB;
constexpr std::int64_t GiB = 1024 * MiB;

const SizeCase sizeCases[] = {
    { "nothing, short", 0, SizeMode::Short, "0 KB" },
    { "nothing, exact", 0, SizeMode::Exact, "0 Bytes" },
    { "one byte counts as a kilobyte", 1, SizeMode::Short, "1 KB" },
    { "last byte count below a kilobyte, short", 1023, SizeMode::Short, "1 KB" },
    { "last byte count below a kilobyte, exact", 1023, SizeMode::Exact, "1023 Bytes" },
    { "one kilobyte, short", KiB, SizeMode::Short, "1 KB" },
    { "one kilobyte, exact", KiB, SizeMode::Exact, "1.00 KB" },
    { "kilobytes are truncated in short form", 1535, SizeMode::Short, "1 KB" },
    { "a kilobyte and a half, exact", 1536, SizeMode::Exact, "1.50 KB" },
    { "last count below a megabyte, short", MiB - 1, SizeMode::Short, "1023 KB" },
    { "last count below a megabyte rounds up in exact form", MiB - 1, SizeMode::Exact, "1,024.00 KB" },
    { "one megabyte, short", MiB, SizeMode::Short, "1.00 MB" },
    { "one megabyte, exact", MiB, SizeMode::Exact, "1.00 MB" },
    { "megabytes keep two decimals in short form", 1048576 + 524288, SizeMode::Short, "1.50 MB" },
    { "last count below a gigabyte", GiB - 1, SizeMode::Short, "1,024.00 MB" },
    { "one gigabyte", GiB, SizeMode::Exact, "1.00 GB" },
    { "largest 32-bit count", 4294967295LL, SizeMode::Short, "4.00 GB" },
    { "four gigabytes do not wrap to zero", 4 * GiB, SizeMode::Short, "4.00 GB" },
    { "five gigabytes", 5 * GiB, SizeMode::Exact, "5.00 GB" },
    { "terabytes stay in gigabytes", 10 * 1024 * GiB, SizeMode::Short, "10,240.00 GB" },
    { "six significant digits at most", 10995717571215LL, SizeMode::Short, "10,240.60 GB" },
    { "largest 64-bit count", std::numeric_limits<std::int64_t>::max(), SizeMode::Short,
        "8,589,930,000.00 GB" },
    { "a negative count shows as nothing", -5, SizeMode::Short, "0 KB" },
};

TEST_F(SizeTextTest, TextsFollowTheUnitStepsInBothForms)
{
    for (const auto& c : sizeCases)
        EXPECT_EQ(formatSize(c.bytes, c.mode).toStdString(), c.text) << c.what;
}

TEST_F(SizeTextTest, GermanSeparatorsAreUsedUnderAGermanLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(formatSize(1536, SizeMode::Exact).toStdString(), "1,50 KB");
    EXPECT_EQ(formatSize(MiB - 1, SizeMode::Exact).toStdString(), "1.024,00 KB");
    EXPECT_EQ(formatSize(MiB, SizeMode::Short).toStdString(), "1,00 MB");
    EXPECT_EQ(formatSize(1023, SizeMode::Exact).toStdString(), "1023 Bytes");
}

TEST_F(SizeTextTest, FrenchSeparatorsComeFromTheLocale)
{
    const QLocale french(QLocale::French, QLocale::France);
    QLocale::setDefault(french);
    const QString expected = QStringLiteral("10") + french.groupSeparator() + QStringLiteral("240")
        + french.decimalPoint() + QStringLiteral("00 GB");
    EXPECT_EQ(formatSize(10 * 1024 * GiB, SizeMode::Short), expected);
    EXPECT_NE(french.decimalPoint(), QStringLiteral("."));
}

} // namespace
