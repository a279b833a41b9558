#include "common/FileUtils.h"

#include "fakes/FakePlatform.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <ostream>

namespace brenvik {
namespace {

struct SizeCase {
    double bytes;
    const char* shortText;
};

void PrintTo(const SizeCase& c, std::ostream* out) {
    *out << c.bytes << " bytes";
}

class FormatSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(FormatSizeTest, WritesTwoDecimalsInTheRightUnit) {
    EXPECT_EQ(FormatSize(GetParam().bytes, false, "."), GetParam().shortText);
}

INSTANTIATE_TEST_SUITE_P(
    UnitsAndRounding, FormatSizeTest,
    ::testing::Values(
        // Unit switch points: the unit changes exactly at 1,024, 1,048,576 and 1,073,741,824.
        SizeCase{0, "0.00 B"}, SizeCase{1023, "1023.00 B"}, SizeCase{1024, "1.00 KB"},
        SizeCase{1536, "1.50 KB"}, SizeCase{1048575, "1024.00 KB"}, SizeCase{1048576, "1.00 MB"},
        SizeCase{1073741823, "1024.00 MB"}, SizeCase{1073741824, "1.00 GB"},
        SizeCase{5000000000.0, "4.66 GB"},
        // No thousands separator, however large.
        SizeCase{1500.0 * 1073741824.0, "1500.00 GB"},
        // Halves go away from zero (1152 bytes are exactly 1.125 KB), where printf would round
        // the binary value to even.
        SizeCase{1152, "1.13 KB"}, SizeCase{0.125, "0.13 B"}, SizeCase{0.875, "0.88 B"},
        SizeCase{1.124 * 1024, "1.12 KB"},
        // The rounding looks at 18 significant digits: 2.675 is 2.67499999999999982 in binary.
        SizeCase{2.675, "2.67 B"},
        // A carry through every digit.
        SizeCase{99.999, "100.00 B"}, SizeCase{1023.999, "1024.00 B"},
        // Negative and not-a-number read as 0.
        SizeCase{-1, "0.00 B"}, SizeCase{-5e9, "0.00 B"},
        SizeCase{std::numeric_limits<double>::quiet_NaN(), "0.00 B"}));

TEST(FormatSize, LongUnitNames) {
    EXPECT_EQ(FormatSize(0, true, "."), "0.00 Bytes");
    EXPECT_EQ(FormatSize(1536, true, "."), "1.50 Kilo Bytes");
    EXPECT_EQ(FormatSize(1048576, true, "."), "1.00 MEGA Bytes");
    EXPECT_EQ(FormatSize(1073741824, true, "."), "1.00 GIGA Bytes");
}

TEST(FormatSize, UsesTheGivenDecimalSeparator) {
    EXPECT_EQ(FormatSize(1536, false, ","), "1,50 KB");
    EXPECT_EQ(FormatSize(1500.0 * 1073741824.0, false, ","), "1500,00 GB");
    EXPECT_FALSE(UserDecimalSeparator().empty());
    EXPECT_EQ(FormatSize(1536, false), FormatSize(1536, false, UserDecimalSeparator()));
}

struct MegabyteCase {
    std::int64_t bytes;
    const char* text;
};

TEST(FormatMegabytes, RoundsUpToWholeMegabytes) {
    const MegabyteCase cases[] = {
        {0, "0 MB"},
        {1, "1 MB"},
        {1048576, "1 MB"},
        {1048577, "2 MB"},
        {536870912, "512 MB"},
        {536870913, "513 MB"},
        {4294967295LL, "4096 MB"},
        // Above the 32-bit record's limit: a 24 GiB machine reads true.
        {24LL << 30, "24576 MB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatMegabytes(c.bytes), c.text) << c.bytes;
}

struct UptimeCase {
    std::uint64_t milliseconds;
    const char* text;
};

TEST(UptimeText, DaysHoursMinutesSecondsWithTrailingBlank) {
    const UptimeCase cases[] = {
        {0, "0 D 0 H 0 M 0 S "},
        {999, "0 D 0 H 0 M 0 S "},
        {90'061'999, "1 D 1 H 1 M 1 S "},
        {4'294'967'295ULL, "49 D 17 H 2 M 47 S "},
        // The 64-bit count goes on past 49.7 days instead of starting again from 0.
        {4'294'967'296ULL + 1000, "49 D 17 H 2 M 48 S "},
        {400ULL * 86'400'000, "400 D 0 H 0 M 0 S "},
        {std::numeric_limits<std::uint64_t>::max(), "213503982334 D 14 H 25 M 51 S "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UptimeText(c.milliseconds), c.text) << c.milliseconds;
}

TEST(UptimeText, GetUptimeTextReadsThePlatformClock) {
    test::FakePlatformScope fake;
    fake->fakeSystem().ticks = 90'061'999;
    EXPECT_EQ(GetUptimeText(), "1 D 1 H 1 M 1 S ");
}

} // namespace
} // namespace brenvik
