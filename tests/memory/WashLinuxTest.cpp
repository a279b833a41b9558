// The wash on the real machine: real mappings, the real safety reserve, a lowered address-space
// limit.

#include "memory/RelThrd.h"
#include "platform/linux/LinuxBlockAllocator.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <vector>

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
#define BRENVIK_SANITIZED 1
#else
#define BRENVIK_SANITIZED 0
#endif

namespace brenvik {
namespace {

using platform::LinuxBlockAllocator;
using platform::ReserveFigures;
using platform::WashBlockSize;

constexpr std::uint64_t MiB = 1ull << 20;

// A field of /proc/self/status in KiB, e.g. "RssAnon" or "VmSize".
std::int64_t statusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::stoll(line.substr(field.size() + 1));
    return -1;
}

class PeakWindows : public NoWashWindows {
public:
    explicit PeakWindows(int peakParts) : peakParts_(peakParts) {}
    bool mainWindowVisible() override { return true; }
    void advanceBar() override {
        if (++parts_ == peakParts_)
            peakKiB = statusKiB("RssAnon");
    }
    std::int64_t peakKiB = -1;

private:
    int peakParts_;
    int parts_ = 0;
};

TEST(WashLinuxTest, SixtyFourBlocksRaiseAnonymousMemoryAndGiveItBack) {
    auto windows = std::make_shared<PeakWindows>(64);
    const std::int64_t before = statusKiB("RssAnon");
    ASSERT_GE(before, 0);
    TRelocateThread worker(64, windows);
    worker.Start();
    worker.WaitFor();
    const std::int64_t after = statusKiB("RssAnon");
    EXPECT_EQ(worker.result().obtained, 64);
    EXPECT_EQ(worker.result().released, 64);
    EXPECT_GE(windows->peakKiB - before, 64 * 1024);
    // Given back at once, not kept by a heap for later.
    EXPECT_LT(after - before, 8 * 1024);
}

// Runs in a child: a wash of far more blocks than a lowered address-space limit leaves room for.
[[noreturn]] void washUnderLoweredLimit() {
    const std::int64_t used = statusKiB("VmSize") * 1024;
    // Room for the worker's stack and some 60 blocks.
    const rlim_t limit = static_cast<rlim_t>(used) + 100 * MiB;
    const rlimit lowered{limit, limit};
    setrlimit(RLIMIT_AS, &lowered);
    TRelocateThread worker(4000, std::make_shared<NoWashWindows>());
    worker.Start();
    worker.WaitFor();
    const WashResult& result = worker.result();
    std::fprintf(stderr, "obtained %d released %d stop %s\n", result.obtained, result.released,
                 washStopName(result.stop));
    const bool early = result.obtained > 0 && result.obtained < 4000;
    std::_Exit(early && result.released == result.obtained ? 0 : 1);
}

TEST(WashLinuxTest, LoweredAddressSpaceLimitEndsTheWashEarlyAndNormally) {
    if (BRENVIK_SANITIZED)
        GTEST_SKIP() << "sanitizers reserve more address space than the limit allows";
    EXPECT_EXIT(washUnderLoweredLimit(), ::testing::ExitedWithCode(0), "stop block refused");
}

// The reserve: figures from a machine the test describes, where what the allocator takes
// really lowers the available memory.
struct MachineModel {
    std::uint64_t available;
    std::uint64_t total;
    int measures = 0;
    LinuxBlockAllocator::Measure measure(const int& held) {
        return [this, &held] {
            ++measures;
            return ReserveFigures{available - std::uint64_t(held) * WashBlockSize, total};
        };
    }
};

// Takes blocks until the allocator refuses one; gives them all back.
int takeUntilRefused(LinuxBlockAllocator& allocator, int& held, int limit,
                     platform::BlockRefusal* refusal = nullptr) {
    std::vector<std::byte*> blocks;
    while (held < limit) {
        const platform::BlockGrant grant = allocator.obtain();
        if (grant.block == nullptr) {
            if (refusal != nullptr)
                *refusal = grant.refusal;
            break;
        }
        blocks.push_back(grant.block);
        ++held;
    }
    const int taken = held;
    for (std::byte* block : blocks) {
        EXPECT_TRUE(allocator.release(block));
        --held;
    }
    return taken;
}

TEST(WashLinuxTest, ReserveIsTheLargerOf256MiBAndTwoPercent) {
    EXPECT_EQ(LinuxBlockAllocator::reserveFor(1024 * MiB), 256 * MiB);
    EXPECT_EQ(LinuxBlockAllocator::reserveFor(12800 * MiB), 256 * MiB);
    EXPECT_EQ(LinuxBlockAllocator::reserveFor(102400 * MiB), 2048 * MiB);
}

TEST(WashLinuxTest, BlockThatWouldEatIntoTheReserveIsRefused) {
    struct Case {
        std::uint64_t available;
        std::uint64_t total;
        int granted;
    };
    for (const Case& c : {Case{261 * MiB, 1024 * MiB, 5}, Case{2051 * MiB, 102400 * MiB, 3},
                          Case{256 * MiB, 1024 * MiB, 0}, Case{100 * MiB, 1024 * MiB, 0}}) {
        SCOPED_TRACE(c.available / MiB);
        int held = 0;
        MachineModel machine{c.available, c.total};
        LinuxBlockAllocator allocator(machine.measure(held));
        platform::BlockRefusal refusal = platform::BlockRefusal::None;
        EXPECT_EQ(takeUntilRefused(allocator, held, 1000, &refusal), c.granted);
        EXPECT_EQ(refusal, platform::BlockRefusal::Reserve);
    }
}

TEST(WashLinuxTest, AvailableMemoryIsMeasuredOnceEvery64BlocksAndAfreshForEachWash) {
    int held = 0;
    MachineModel machine{64 * 1024 * MiB, 64 * 1024 * MiB};
    LinuxBlockAllocator allocator(machine.measure(held));
    takeUntilRefused(allocator, held, 200);
    EXPECT_EQ(machine.measures, 4); // before blocks 0, 64, 128 and 192
    takeUntilRefused(allocator, held, 1);
    EXPECT_EQ(machine.measures, 5);
}

TEST(WashLinuxTest, EstimateNearTheReserveIsCheckedAgainstAFreshFigure) {
    // Another program frees 100 MiB after the first figure: the estimate alone would refuse.
    int held = 0;
    MachineModel machine{260 * MiB, 1024 * MiB};
    LinuxBlockAllocator allocator([&] {
        const ReserveFigures figures = machine.measure(held)();
        machine.available += 100 * MiB;
        return figures;
    });
    EXPECT_EQ(takeUntilRefused(allocator, held, 30), 30);
}

TEST(WashLinuxTest, MachineFiguresAreReadable) {
    const ReserveFigures figures = platform::measureReserveFigures();
    EXPECT_GT(figures.total, 0u);
    EXPECT_GT(figures.available, 0u);
    EXPECT_LE(figures.available, figures.total);
}

} // namespace
} // namespace brenvik
