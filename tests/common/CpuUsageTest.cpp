#include "common/FileUtils.h"
#include "fakes/FakePlatform.h"
#include "platform/Registry.h"
#include "platform/linux/CpuUsageProvider.h"
#include "platform/linux/LinuxServices.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <stdexcept>

namespace brenvik {
namespace {

using platform::ProcessorTimes;

class NTCPUUsage : public ::testing::Test {
protected:
    void SetUp() override {
        fake->fakeSystem().version.platformId = platform::VER_PLATFORM_WIN32_NT;
        setPrevious({0, 0, 0});
    }
    static void setPrevious(const ProcessorTimes& times) {
        PrevIdleTime = times.idle;
        PrevKernelTime = times.kernel;
        PrevUserTime = times.user;
    }
    static ProcessorTimes previous() { return {PrevIdleTime, PrevKernelTime, PrevUserTime}; }
    void setCounters(std::vector<ProcessorTimes> times) {
        fake->fakeSystem().times = std::move(times);
    }

    test::FakePlatformScope fake;
};

struct LoadCase {
    const char* what;
    ProcessorTimes before;
    std::vector<ProcessorTimes> now;
    std::int32_t load;
};

TEST_F(NTCPUUsage, LoadBetweenTwoSamples) {
    // Kernel time includes idle time, as the counters report it.
    const LoadCase cases[] = {
        {"quarter busy", {1000, 5000, 3000}, {{7'501'000, 8'005'000, 2'003'000}}, 25},
        {"truncates toward zero", {0, 10, 10}, {{1, 12, 11}}, 66},
        {"all idle", {100, 200, 0}, {{150, 250, 0}}, 0},
        {"all busy", {100, 200, 0}, {{100, 250, 50}}, 100},
        {"first sample: average since the system started", {0, 0, 0}, {{750, 900, 100}}, 25},
        // Every processor counts: one busy and one idle processor make half the machine busy.
        {"two processors summed", {0, 0, 0}, {{0, 500, 500}, {1000, 1000, 0}}, 50},
    };
    for (const auto& c : cases) {
        setPrevious(c.before);
        setCounters(c.now);
        EXPECT_EQ(GetNTCPUUsage(), c.load) << c.what;
    }
}

TEST_F(NTCPUUsage, KeepsTheSummedTimesForTheNextCall) {
    setCounters({{10, 30, 5}, {20, 40, 7}});
    GetNTCPUUsage();
    EXPECT_EQ(PrevIdleTime, 30);
    EXPECT_EQ(PrevKernelTime, 70);
    EXPECT_EQ(PrevUserTime, 12);
    setCounters({{10 + 25, 30 + 50, 5}, {20 + 25, 40 + 50, 7}});
    EXPECT_EQ(GetNTCPUUsage(), 50);
}

TEST_F(NTCPUUsage, NoTimePassedFailsAfterUpdatingThePreviousTimes) {
    setPrevious({5, 10, 10});
    setCounters({{7, 10, 10}});
    EXPECT_THROW(GetNTCPUUsage(), std::domain_error);
    EXPECT_EQ(previous().idle, 7);
}

TEST_F(NTCPUUsage, OverflowFailsBeforeUpdatingThePreviousTimes) {
    const std::int64_t max = std::numeric_limits<std::int64_t>::max();
    setPrevious({0, -10, 0});
    setCounters({{0, max, 0}});
    EXPECT_THROW(GetNTCPUUsage(), std::overflow_error);
    EXPECT_EQ(previous().kernel, -10);

    // Busy time times 100 no longer fits 64 bits.
    setPrevious({0, 0, 0});
    setCounters({{0, max / 50, 0}});
    EXPECT_THROW(GetNTCPUUsage(), std::overflow_error);

    // Counters whose sum over the processors overflows.
    setPrevious({0, 0, 0});
    setCounters({{0, max, 0}, {0, max, 0}});
    EXPECT_THROW(GetNTCPUUsage(), std::overflow_error);
}

TEST_F(NTCPUUsage, ResultOutside32BitsFails) {
    // Idle went back by far more than the busy time grew.
    setPrevious({2'000'000'000, 0, 0});
    setCounters({{0, 1, 0}});
    EXPECT_THROW(GetNTCPUUsage(), std::range_error);
}

TEST_F(NTCPUUsage, UnreadableCountersFail) {
    setCounters({});
    EXPECT_THROW(GetNTCPUUsage(), std::runtime_error);
}

TEST(IsWindowsNT, FollowsThePlatformIdentifier) {
    test::FakePlatformScope fake;
    fake->fakeSystem().version.platformId = platform::VER_PLATFORM_WIN32_NT;
    EXPECT_TRUE(IsWindowsNT());
    fake->fakeSystem().version.platformId = platform::VER_PLATFORM_WIN32_WINDOWS;
    EXPECT_FALSE(IsWindowsNT());
    fake->fakeSystem().version.platformId = platform::VER_PLATFORM_LINUX;
    EXPECT_FALSE(IsWindowsNT());
}

// A provider that answers whatever the test puts in it.
class StoredValue : public platform::KeyProvider {
public:
    std::optional<platform::RegValue> stored;
    std::vector<std::string> valueNames() override { return {"KERNEL\\CPUUsage"}; }
    std::optional<platform::RegValue> value(std::string_view name) override {
        if (name != "KERNEL\\CPUUsage")
            return std::nullopt;
        return stored;
    }
};

TEST(Get9xCPUUsage, ReadsTheDynamicDataOrAnswersZero) {
    test::FakePlatformScope fake;
    EXPECT_EQ(Get9xCPUUsage(), 0) << "key missing";

    auto provider = std::make_shared<StoredValue>();
    fake->registry->mount(platform::HKEY_DYN_DATA, "PerfStats\\StatData", provider);
    EXPECT_EQ(Get9xCPUUsage(), 0) << "value missing";
    provider->stored = platform::RegValue::string("42");
    EXPECT_EQ(Get9xCPUUsage(), 0) << "value not an integer";
    provider->stored = platform::RegValue::dword(42);
    EXPECT_EQ(Get9xCPUUsage(), 42);
}

std::string statText(std::uint64_t user, std::uint64_t system, std::uint64_t idle,
                     std::uint64_t iowait) {
    return "cpu  " + std::to_string(user) + " 0 " + std::to_string(system) + " " +
           std::to_string(idle) + " " + std::to_string(iowait) +
           " 0 0 0 0 0\ncpu0 1 2 3 4 5 6 7 8 0 0\nintr 1 2 3\n";
}

TEST(MachineTimes, ParsesTheMachineWideLine) {
    auto times = platform::parseMachineTimes(
        "cpu  10 20 30 400 50 6 7 8 90 100\ncpu0 1 1 1 1 1 1 1 1 0 0\n");
    ASSERT_TRUE(times);
    // Guest time is already inside user and nice; idle and I/O wait are not busy.
    EXPECT_EQ(times->busy, 10u + 20 + 30 + 6 + 7 + 8);
    EXPECT_EQ(times->total, times->busy + 400 + 50);
    // Older kernels give only the first four fields.
    times = platform::parseMachineTimes("cpu 1 2 3 4\n");
    ASSERT_TRUE(times);
    EXPECT_EQ(times->total, 10u);
    for (const char* bad : {"", "cpu0 1 2 3 4\n", "cpu  1 2 x\n", "intr 1\ncpu  1 2 3 4\n"})
        EXPECT_FALSE(platform::parseMachineTimes(bad)) << bad;
}

class CpuUsageProviderTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = std::filesystem::path(::testing::TempDir()) /
               ("proc-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        std::filesystem::create_directories(root);
    }
    void TearDown() override { std::filesystem::remove_all(root); }
    void writeStat(const std::string& text) { std::ofstream(root / "stat") << text; }
    std::optional<std::uint32_t> read(platform::CpuUsageProvider& provider) {
        const auto value = provider.value("KERNEL\\CPUUsage");
        if (!value)
            return std::nullopt;
        EXPECT_EQ(value->type, platform::REG_DWORD);
        return value->number;
    }
    std::filesystem::path root;
};

TEST_F(CpuUsageProviderTest, LoadSinceThePreviousRead) {
    platform::CpuUsageProvider provider(root);
    writeStat(statText(100, 100, 700, 100));
    EXPECT_EQ(read(provider), 20u) << "first read: since the system started";
    writeStat(statText(100 + 30, 100 + 45, 700 + 20, 100 + 5));
    EXPECT_EQ(read(provider), 75u);
    writeStat(statText(130 + 1, 145 + 1, 720 + 1, 105));
    EXPECT_EQ(read(provider), 66u) << "truncated";
    // No clock tick between two reads: the last load again instead of a division by zero.
    EXPECT_EQ(read(provider), 66u);
    // Counters that went back start the measure again from zero.
    writeStat(statText(10, 10, 80, 0));
    EXPECT_EQ(read(provider), 20u);
}

TEST_F(CpuUsageProviderTest, OnlyItsOwnValueAndOnlyWhenReadable) {
    platform::CpuUsageProvider provider(root);
    EXPECT_FALSE(read(provider)) << "no stat file";
    writeStat("garbage\n");
    EXPECT_FALSE(read(provider));
    writeStat(statText(1, 1, 2, 0));
    EXPECT_TRUE(provider.value("kernel\\cpuusage")) << "names compare without letter case";
    EXPECT_FALSE(provider.value("KERNEL\\Other"));
    EXPECT_EQ(provider.valueNames(), std::vector<std::string>{"KERNEL\\CPUUsage"});
}

TEST_F(CpuUsageProviderTest, ServesTheRoutineThroughTheRegistry) {
    test::FakePlatformScope fake;
    fake->registry->mount(platform::HKEY_DYN_DATA, platform::CpuUsageKeyPath,
                          std::make_shared<platform::CpuUsageProvider>(root));
    writeStat(statText(100, 0, 300, 0));
    EXPECT_EQ(Get9xCPUUsage(), 25);
    writeStat(statText(150, 0, 350, 0));
    EXPECT_EQ(Get9xCPUUsage(), 50);
}

TEST(CpuUsageProviderLinux, TheLinuxRegistryServesTheMachineLoad) {
    auto registry = platform::makeLinuxRegistry();
    platform::HKEY key = 0;
    ASSERT_EQ(registry->openKey(platform::HKEY_DYN_DATA, "PerfStats\\StatData", false, key),
              platform::ERROR_SUCCESS);
    platform::RegValue value;
    ASSERT_EQ(registry->queryValue(key, "KERNEL\\CPUUsage", value), platform::ERROR_SUCCESS);
    EXPECT_EQ(value.type, platform::REG_DWORD);
    EXPECT_LE(value.number, 100u);
    registry->closeKey(key);
}

} // namespace
} // namespace brenvik
