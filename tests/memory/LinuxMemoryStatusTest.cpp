#include "platform/linux/LinuxSystemStatus.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace brenvik::platform {
namespace {

constexpr std::uint64_t KiB = 1024;

class ProcFixture : public ::testing::Test {
protected:
    void SetUp() override {
        root = std::filesystem::path(::testing::TempDir()) /
               ("proc-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        std::filesystem::create_directories(root);
    }
    void TearDown() override { std::filesystem::remove_all(root); }
    void write(const char* name, const std::string& text) { std::ofstream(root / name) << text; }
    std::filesystem::path root;
};

TEST_F(ProcFixture, MeminfoMapsToTheFourFigures) {
    write("meminfo", "MemTotal:       24576000 kB\n"
                     "MemFree:         1000000 kB\n"
                     "MemAvailable:   12000000 kB\n"
                     "Buffers:          200000 kB\n"
                     "Cached:          8000000 kB\n"
                     "SwapCached:            0 kB\n"
                     "SwapTotal:       2097148 kB\n"
                     "SwapFree:        2000000 kB\n"
                     "HugePages_Total:       0\n");
    LinuxSystemStatus status(root);
    const MemoryStatus memory = status.memoryStatus();
    EXPECT_EQ(memory.totalPhys, 24576000 * KiB);
    EXPECT_EQ(memory.availPhys, 12000000 * KiB);
    EXPECT_EQ(memory.totalPageFile, (24576000 + 2097148) * KiB);
    EXPECT_EQ(memory.availPageFile, (12000000 + 2000000) * KiB);
    EXPECT_EQ(memory.freePhys, 1000000 * KiB);
    EXPECT_EQ(memory.cached, 8200000 * KiB);
    // Read again: the same file gives the same record (the buffer is reused).
    EXPECT_EQ(status.memoryStatus().availPhys, memory.availPhys);
}

TEST_F(ProcFixture, MeminfoEdgeCases) {
    struct Case {
        const char* what;
        const char* text;
        std::uint64_t totalPhys, availPhys, totalPageFile, availPageFile;
    };
    const Case cases[] = {
        {"no MemAvailable: free plus caches",
         "MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 50 kB\nCached: 200 kB\nSwapTotal: 0 kB\n"
         "SwapFree: 0 kB\n",
         1000 * KiB, 350 * KiB, 1000 * KiB, 350 * KiB},
        {"available above total is clamped",
         "MemTotal: 1000 kB\nMemAvailable: 5000 kB\nSwapTotal: 100 kB\nSwapFree: 900 kB\n",
         1000 * KiB, 1000 * KiB, 1100 * KiB, 1100 * KiB},
        {"no swap", "MemTotal: 1000 kB\nMemAvailable: 400 kB\n", 1000 * KiB, 400 * KiB, 1000 * KiB,
         400 * KiB},
        {"empty file", "", 0, 0, 0, 0},
        {"garbage", "MemTotal: lots\nnonsense\n:::\n", 0, 0, 0, 0},
        {"absurd sizes saturate instead of wrapping",
         "MemTotal: 99999999999999999999 kB\nMemAvailable: 18014398509481984 kB\n", UINT64_MAX,
         UINT64_MAX, UINT64_MAX, UINT64_MAX},
    };
    for (const auto& c : cases) {
        write("meminfo", c.text);
        const MemoryStatus memory = LinuxSystemStatus(root).memoryStatus();
        EXPECT_EQ(memory.totalPhys, c.totalPhys) << c.what;
        EXPECT_EQ(memory.availPhys, c.availPhys) << c.what;
        EXPECT_EQ(memory.totalPageFile, c.totalPageFile) << c.what;
        EXPECT_EQ(memory.availPageFile, c.availPageFile) << c.what;
    }
}

TEST_F(ProcFixture, MissingMeminfoReadsAsZero) {
    const MemoryStatus memory = LinuxSystemStatus(root).memoryStatus();
    EXPECT_EQ(memory.totalPhys, 0u);
    EXPECT_EQ(memory.availPageFile, 0u);
}

TEST_F(ProcFixture, ProcessorLinesGiveTimesPerProcessor) {
    const std::string text = "cpu  30 0 30 300 0 0 0 0 0 0\n"
                             "cpu0 10 5 20 100 10 1 2 3 0 0\n"
                             "cpu1 20 0 10 200 0 0 0 0 0 0\n"
                             "intr 12345\n";
    write("stat", text);
    const auto times = parseProcStatProcessors(text, 100);
    ASSERT_EQ(times.size(), 2u);
    // 100 clock ticks a second: one tick is 100,000 units of 100 ns. Kernel time includes idle.
    EXPECT_EQ(times[0].idle, 110 * 100'000);
    EXPECT_EQ(times[0].kernel, (20 + 1 + 2 + 3 + 110) * 100'000);
    EXPECT_EQ(times[0].user, 15 * 100'000);
    EXPECT_EQ(times[1].idle, 200 * 100'000);
    EXPECT_EQ(LinuxSystemStatus(root).processorTimes().size(), 2u);
}

// free(1) and /proc/meminfo read at the same moment agree with the record; available memory
// moves between the two reads, so it gets a margin.
TEST(LinuxMemoryStatusMachine, AgreesWithFree) {
    std::FILE* pipe = ::popen("LC_ALL=C free -b", "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char chunk[512];
    while (std::fgets(chunk, sizeof chunk, pipe) != nullptr)
        output += chunk;
    ASSERT_EQ(::pclose(pipe), 0) << output;
    const MemoryStatus memory = LinuxSystemStatus().memoryStatus();

    std::istringstream lines(output);
    std::string line;
    std::uint64_t total = 0, available = 0, swapTotal = 0, swapFree = 0;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string name;
        words >> name;
        std::uint64_t used = 0, free = 0, shared = 0, cache = 0;
        if (name == "Mem:")
            words >> total >> used >> free >> shared >> cache >> available;
        else if (name == "Swap:")
            words >> swapTotal >> used >> swapFree;
    }
    ASSERT_GT(total, 0u) << output;
    EXPECT_EQ(memory.totalPhys, total);
    EXPECT_EQ(memory.totalPageFile, total + swapTotal);
    const auto near = [](std::uint64_t a, std::uint64_t b) {
        constexpr std::uint64_t margin = 64ull << 20;
        return (a > b ? a - b : b - a) <= margin;
    };
    EXPECT_PRED2(near, memory.availPhys, available);
    EXPECT_PRED2(near, memory.availPageFile, std::min(available + swapFree, total + swapTotal));
    EXPECT_LE(memory.availPhys, memory.totalPhys);
    EXPECT_LE(memory.availPageFile, memory.totalPageFile);
}

} // namespace
} // namespace brenvik::platform
