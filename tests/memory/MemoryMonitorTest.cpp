#include "memory/MemoryMonitor.h"

#include <gtest/gtest.h>

namespace brenvik {
namespace {

constexpr std::int64_t MiB = 1'048'576;

MemoryFigures physical(std::int64_t total, std::int64_t avail) {
    return {total, avail, 2 * total, total};
}

TEST(MemoryMonitor, AvailablePercentRoundsHalvesToEven) {
    struct Case {
        std::int64_t avail, total;
        int percent;
    };
    const Case cases[] = {
        {425, 1000, 42},
        {435, 1000, 44},
        {426, 1000, 43},
        {0, 1000, 0},
        {1000, 1000, 100},
        {5, 1000, 0},
        {6, 1000, 1},
        // A total of zero shows an empty bar instead of dividing by it.
        {0, 0, 0},
        {100, 0, 0},
        // Figures a broken source reports outside the range stay on the bar.
        {2000, 1000, 100},
        {-5, 1000, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(availablePercent(c.avail, c.total), c.percent) << c.avail << " of " << c.total;
}

TEST(MemoryMonitor, PageFileUsageIsTheRestOfTheRoundedAvailableShare) {
    EXPECT_EQ(pageFileUsagePercent({0, 0, 1000, 425}), 58);
    EXPECT_EQ(pageFileUsagePercent({0, 0, 1000, 435}), 56);
    EXPECT_EQ(pageFileUsagePercent({0, 0, 1000, 1000}), 0);
    EXPECT_EQ(pageFileUsagePercent({0, 0, 1000, 0}), 100);
    EXPECT_EQ(pageFileUsagePercent({0, 0, 0, 0}), 0);
}

TEST(MemoryMonitor, TickTexts) {
    // No memory available: "Used:" reads the total rounded up.
    auto texts = memoryTickTexts(physical(512 * MiB + 1, 0), 90'061'999);
    EXPECT_EQ(texts.availablePercent, 0);
    EXPECT_EQ(texts.used, "513 MB");
    EXPECT_EQ(texts.available, "0 MB");
    EXPECT_EQ(texts.uptime, "1 D 1 H 1 M 1 S ");

    texts = memoryTickTexts(physical(512 * MiB, 1), 0);
    EXPECT_EQ(texts.available, "1 MB");
    EXPECT_EQ(texts.used, "512 MB");
    texts = memoryTickTexts(physical(512 * MiB, MiB + 1), 0);
    EXPECT_EQ(texts.available, "2 MB");

    // 24 GiB, beyond what a 32-bit record could carry.
    texts = memoryTickTexts({24LL << 30, 6LL << 30, 32LL << 30, 16LL << 30}, 0);
    EXPECT_EQ(texts.used, "18432 MB");
    EXPECT_EQ(texts.availablePercent, 25);
    EXPECT_EQ(texts.pageFileUsagePercent, 50);
}

TEST(MemoryMonitor, StartupTextsRoundTheTotalUpButTheSliderDown) {
    auto texts = memoryStartupTexts({536'870'912, 0, 3 * 1'073'741'824LL, 1'073'741'824}, ".");
    EXPECT_EQ(texts.total, "512 MB");
    EXPECT_EQ(texts.totalMegabytesUp, 512);
    EXPECT_EQ(texts.middleAxis, 256);
    EXPECT_EQ(texts.totalMegabytesDown, 512);
    EXPECT_EQ(texts.sliderPosition, 256);
    EXPECT_EQ(texts.pageFileMax, "3.00 GB");
    EXPECT_EQ(texts.pageFileUsed, "2.00 GB");
    EXPECT_EQ(texts.pageFileAvailable, "1.00 GB");

    texts = memoryStartupTexts({536'870'913, 0, 1536, 0}, ",");
    EXPECT_EQ(texts.total, "513 MB");
    EXPECT_EQ(texts.totalMegabytesUp, 513);
    EXPECT_EQ(texts.middleAxis, 256);
    EXPECT_EQ(texts.totalMegabytesDown, 512);
    EXPECT_EQ(texts.sliderPosition, 256);
    EXPECT_EQ(texts.pageFileMax, "1,50 KB");
}

TEST(MemoryMonitor, ThresholdIsStrictlyBelowTheLimit) {
    struct Case {
        std::int64_t avail;
        bool enabled;
        std::int32_t limit;
        bool reached;
    };
    const Case cases[] = {
        {104'857'599, true, 100, true},
        {104'857'600, true, 100, false},
        {0, false, 100, false},
        {0, true, 0, false},
        {0, true, -5, false},
        // The limit in bytes passes 32 bits without wrapping.
        {5LL << 30, true, 8192, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(thresholdReached(physical(16LL << 30, c.avail), c.enabled, c.limit), c.reached)
            << c.avail << " limit " << c.limit;
}

} // namespace
} // namespace brenvik
