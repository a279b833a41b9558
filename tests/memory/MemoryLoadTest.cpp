#include "memory/MemoryLoad.h"

#include "common/FileUtils.h"
#include "memory/MemoryMonitor.h"

#include <gtest/gtest.h>

namespace brenvik {
namespace {

constexpr std::uint64_t GiB = 1'073'741'824;

platform::MemoryStatus status(std::uint64_t total, std::uint64_t avail, std::uint64_t swapTotal = 0,
                              std::uint64_t swapFree = 0) {
    platform::MemoryStatus s;
    s.totalPhys = total;
    s.availPhys = avail;
    s.totalPageFile = total + swapTotal;
    s.availPageFile = avail + swapFree;
    s.swapTotal = swapTotal;
    s.swapFree = swapFree;
    return s;
}

TEST(MemoryLoad, LevelsChangeAtSeventyAndNinety) {
    struct Case {
        int percent;
        LoadLevel level;
    };
    for (const Case& c :
         {Case{0, LoadLevel::Normal}, Case{69, LoadLevel::Normal}, Case{70, LoadLevel::High},
          Case{89, LoadLevel::High}, Case{90, LoadLevel::Critical}, Case{100, LoadLevel::Critical}})
        EXPECT_EQ(loadLevel(c.percent), c.level) << c.percent;
}

// The icon's number is what the "Physical Memory Available" bar leaves over, halves included.
TEST(MemoryLoad, PercentIsTheRestOfTheAvailableBar) {
    struct Case {
        std::uint64_t total, avail;
        int percent;
    };
    for (const Case& c : {Case{1000, 1000, 0}, Case{1000, 0, 100}, Case{1000, 425, 58},
                          Case{1000, 435, 56}, Case{1000, 305, 70}, Case{1000, 95, 90},
                          // Nothing to divide by: an empty figure, not a full one.
                          Case{0, 0, 0},
                          // A broken source reporting more available than total stays at 0.
                          Case{1000, 2000, 0}}) {
        const MemoryLoad load = memoryLoad(status(c.total, c.avail));
        EXPECT_EQ(load.percent, c.percent) << c.total << " " << c.avail;
        EXPECT_EQ(load.percent, c.total == 0
                                    ? 0
                                    : 100 - availablePercent(static_cast<std::int64_t>(c.avail),
                                                             static_cast<std::int64_t>(c.total)));
        EXPECT_EQ(load.level, loadLevel(load.percent));
    }
}

TEST(MemoryLoad, ToolTipNamesTheProgramThenMemoryAndSwap) {
    const auto total = static_cast<std::uint64_t>(23.54 * GiB);
    const auto used = static_cast<std::uint64_t>(14.21 * GiB);
    const std::string text = memoryLoadToolTip(status(total, total - used, 2 * GiB, GiB / 2));
    const auto size = [](double bytes) { return FormatSize(bytes, false); };
    EXPECT_EQ(text, "Brenvik\nMemory: " + size(static_cast<double>(used)) + " of " +
                        size(static_cast<double>(total)) + " (60 %)\nSwap: " + size(1.5 * GiB) +
                        " of " + size(2.0 * GiB));
    EXPECT_EQ(FormatSize(static_cast<double>(used), false, "."), "14.21 GB");
    // The first line alone still reads as the program's name on trays that show one line.
    EXPECT_EQ(text.substr(0, text.find('\n')), "Brenvik");
}

TEST(MemoryLoad, ToolTipWithoutSwapOrWithABrokenSwapFigure) {
    const std::string noSwap = memoryLoadToolTip(status(4 * GiB, 4 * GiB));
    EXPECT_EQ(noSwap.substr(noSwap.rfind('\n') + 1), "Swap: none");
    // Free swap above its total is read as none in use, never as a wrapped-around figure.
    const std::string broken = memoryLoadToolTip(status(4 * GiB, 4 * GiB, GiB, 2 * GiB));
    EXPECT_NE(broken.find("Swap: " + FormatSize(0.0, false) + " of "), std::string::npos) << broken;
}

} // namespace
} // namespace brenvik
