#include "fakes/FakePlatform.h"
#include "support/TempHome.h"
#include "sysinfo/BooleanWords.h"
#include "sysinfo/CPUTables.h"
#include "sysinfo/ComputerInfo.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <regex>
#include <sched.h>
#include <sstream>
#include <thread>

namespace brenvik {
namespace {

using platform::CpuidRegisters;
using test::FakeProcessor;

constexpr std::uint32_t MMX = 1u << 23;
constexpr std::uint32_t TSC = 1u << 4;
constexpr std::uint32_t LongMode = 1u << 29;
constexpr std::uint32_t TopologyExtensions = 1u << 22;

// A deterministic cache leaf entry (leaf 4, 0x8000001D) for a cache of `kilobytes`.
CpuidRegisters cacheEntry(unsigned type, unsigned level, std::uint32_t kilobytes) {
    const std::uint32_t ways = 16, line = 64;
    const std::uint32_t sets = kilobytes * 1024 / (ways * line);
    return {type | (level << 5), ((ways - 1) << 22) | (line - 1), sets - 1, 0};
}

// Processors as their CPUID tables describe them.
void pentium3(FakeProcessor& p) {
    p.setVendor("GenuineIntel", 2, 0);
    p.setLeaf(1, {0x0673, 0, 0, MMX | TSC});
    // TLB descriptors 01 02 03 04, L1 08 and 0C, L2 0x43 (512 KB).
    p.setLeaf(2, {0x03020101, 0, 0, 0x0C040843});
}

void pentium4(FakeProcessor& p) {
    p.setVendor("GenuineIntel", 2, 0x80000008);
    p.setLeaf(1, {0x0F41, 0, 0, MMX | TSC});
    p.setLeaf(0x80000001, {0, 0, 0, LongMode});
    p.setBrand("              Intel(R) Pentium(R) 4 CPU 3.00GHz");
    // Leaf 2 says 256 KB of L2 (0x7A) and 4 MB of L3 (0x29); leaf 0x80000006 says 1 MB of L2.
    p.setLeaf(2, {0x00297A01, 0, 0, 0});
    p.setLeaf(0x80000006, {0, 0, 1024u << 16, 0});
}

void intelWithLeaf4(FakeProcessor& p) {
    p.setVendor("GenuineIntel", 0x16, 0x80000008);
    p.setLeaf(1, {0x000906EA, 0, 0, MMX | TSC});
    p.setLeaf(0x80000001, {0, 0, 0, LongMode});
    p.setBrand("Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz");
    p.setLeaf(2, {0x00FEFF01, 0, 0, 0}); // 0xFF: see leaf 4
    p.setLeaf(4, cacheEntry(1, 1, 32), 0);
    p.setLeaf(4, cacheEntry(2, 1, 32), 1);
    p.setLeaf(4, cacheEntry(3, 2, 256), 2);
    p.setLeaf(4, cacheEntry(3, 3, 12288), 3);
    p.setLeaf(0x80000006, {0, 0, 256u << 16, 0});
}

// An Intel VM whose hypervisor reports another second-level size in 0x80000006 than the
// processor's own cache list, which the kernel shows.
void intelVm(FakeProcessor& p) {
    p.setVendor("GenuineIntel", 0x1B, 0x80000008);
    p.setLeaf(1, {0x000606A6, 0, 0, MMX | TSC});
    p.setLeaf(0x80000001, {0, 0, 0, LongMode});
    p.setBrand("Intel(R) Xeon(R) Platinum 8375C CPU @ 2.90GHz");
    p.setLeaf(2, {0x00FEFF01, 0, 0, 0});
    p.setLeaf(4, cacheEntry(1, 1, 48), 0);
    p.setLeaf(4, cacheEntry(2, 1, 32), 1);
    p.setLeaf(4, cacheEntry(3, 2, 1280), 2);
    p.setLeaf(4, cacheEntry(3, 3, 55296), 3);
    p.setLeaf(0x80000006, {0, 0, 256u << 16, 0});
}

void athlon64(FakeProcessor& p) {
    p.setVendor("AuthenticAMD", 1, 0x80000018);
    p.setLeaf(1, {0x0F48, 0, 0, MMX | TSC});
    // The extended signature is the one that counts on AMD processors.
    p.setLeaf(0x80000001, {0x00020F32, 0, 0, LongMode});
    p.setBrand("AMD Athlon(tm) 64 X2 Dual Core Processor 4200+");
    p.setLeaf(0x80000006, {0, 0, 512u << 16, 0});
}

void phenom(FakeProcessor& p) {
    p.setVendor("AuthenticAMD", 5, 0x8000001B);
    p.setLeaf(1, {0x00100F42, 0, 0, MMX | TSC});
    p.setLeaf(0x80000001, {0x00100F42, 0, 0, LongMode});
    p.setBrand("AMD Phenom(tm) 9550 Quad-Core Processor");
    p.setLeaf(0x80000006, {0, 0, 512u << 16, 4u << 18}); // L3: 4 × 512 KB
}

void epyc(FakeProcessor& p) {
    p.setVendor("AuthenticAMD", 0x10, 0x80000021);
    p.setLeaf(1, {0x00A10F11, 0, 0, MMX | TSC});
    p.setLeaf(0x80000001, {0x00A10F11, 0, TopologyExtensions, LongMode});
    p.setBrand("AMD EPYC");
    // The package-wide figure (320 MB) in 0x80000006, the 32 MB a core sees in 0x8000001D.
    p.setLeaf(0x80000006, {0, 0, 1024u << 16, 640u << 18});
    p.setLeaf(0x8000001D, cacheEntry(1, 1, 32), 0);
    p.setLeaf(0x8000001D, cacheEntry(3, 2, 1024), 1);
    p.setLeaf(0x8000001D, cacheEntry(3, 3, 32768), 2);
}

void cyrix(FakeProcessor& p) {
    p.setVendor("CyrixInstead", 1, 0);
    p.setLeaf(1, {0x0521, 0, 0, 0});
    p.setLeaf(2, {0x00008001, 0, 0, 0}); // 0x80 means other things to Cyrix: not read
}

void via(FakeProcessor& p) {
    p.setVendor("CentaurHauls", 1, 0x80000006);
    p.setLeaf(1, {0x06A9, 0, 0, MMX | TSC});
    p.setBrand("VIA Esther processor 1500MHz");
    p.setLeaf(0x80000006, {0, 0, 128u << 16, 0});
}

// VIA's C3 puts the L2 size in the top byte of 0x80000006; the first Nehemiah says 65 KB for 64.
void viaC3(FakeProcessor& p) {
    p.setVendor("CentaurHauls", 1, 0x80000006);
    p.setLeaf(1, {0x0689, 0, 0, MMX | TSC});
    p.setBrand("VIA Ezra");
    p.setLeaf(0x80000006, {0, 0, 0x40040120, 0});
}

void viaNehemiah(FakeProcessor& p) {
    p.setVendor("CentaurHauls", 1, 0x80000006);
    p.setLeaf(1, {0x0691, 0, 0, MMX | TSC});
    p.setBrand("VIA Nehemiah");
    p.setLeaf(0x80000006, {0, 0, 65u << 16, 0});
}

void crusoe(FakeProcessor& p) {
    p.setVendor("GenuineTMx86", 1, 0);
    p.setLeaf(1, {0x0543, 0, 0, MMX | TSC});
}

void otherVendor(FakeProcessor& p) {
    p.setVendor("HygonGenuine", 0xD, 0x8000001F);
    p.setLeaf(1, {0x00900F01, 0, 0, MMX | TSC});
    p.setLeaf(0x80000001, {0x00900F01, 0, 0, LongMode});
    p.setBrand("Hygon C86 3185  8-core Processor");
    p.setLeaf(0x80000006, {0, 0, 512u << 16, 16u << 18});
}

void noCpuid(FakeProcessor& p) {
    p.cpuidPresent = false;
}

struct CpuCase {
    const char* what;
    void (*setUp)(FakeProcessor&);
    const char* name;
    const char* vendor;
    int family, model, stepping;
    bool is64, mmx;
    std::uint32_t l2, l3;
};

// clang-format off
const CpuCase Cases[] = {
    {"Pentium III, names from the tables", pentium3, "Intel Pentium III", "GenuineIntel", 6, 7, 3, false, true, 512, 0},
    {"Pentium 4, brand with blanks", pentium4, "              Intel(R) Pentium(R) 4 CPU 3.00GHz", "GenuineIntel", 15, 4, 1, true, true, 1024, 4096},
    {"Intel, caches in leaf 4", intelWithLeaf4, "Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz", "GenuineIntel", 6, 158, 10, true, true, 256, 12288},
    {"Intel VM, leaf 4 over 0x80000006", intelVm, "Intel(R) Xeon(R) Platinum 8375C CPU @ 2.90GHz", "GenuineIntel", 6, 106, 6, true, true, 1280, 55296},
    {"Athlon 64, extended signature", athlon64, "AMD Athlon(tm) 64 X2 Dual Core Processor 4200+", "AuthenticAMD", 15, 35, 2, true, true, 512, 0},
    {"Phenom, L3 in 0x80000006", phenom, "AMD Phenom(tm) 9550 Quad-Core Processor", "AuthenticAMD", 16, 4, 2, true, true, 512, 2},
    {"EPYC, L3 in 0x8000001D", epyc, "AMD EPYC", "AuthenticAMD", 25, 17, 1, true, true, 1024, 32},
    {"Cyrix, names from the tables", cyrix, "Cyrix 6x86", "CyrixInstead", 5, 2, 1, false, false, 0, 0},
    {"VIA, brand and 0x80000006", via, "VIA Esther processor 1500MHz", "CentaurHauls", 6, 10, 9, false, true, 128, 0},
    {"VIA C3, L2 in the top byte", viaC3, "VIA Ezra", "CentaurHauls", 6, 8, 9, false, true, 64, 0},
    {"VIA Nehemiah stepping 1", viaNehemiah, "VIA Nehemiah", "CentaurHauls", 6, 9, 1, false, true, 64, 0},
    {"Transmeta, names from the tables", crusoe, "Transmeta Crusoe", "GenuineTMx86", 5, 4, 3, false, true, 0, 0},
    {"Another vendor: leaf 1 and long mode", otherVendor, "Unknown", "HygonGenuine", 24, 0, 1, true, true, 0, 0},
    {"No CPUID", noCpuid, "Unknown", "", 4, 0, 0, false, false, 0, 0},
};
// clang-format on

class Identification : public ::testing::TestWithParam<CpuCase> {};

TEST_P(Identification, DecodesTheVendorsTables) {
    const CpuCase& c = GetParam();
    test::FakePlatformScope fake;
    c.setUp(fake->fakeProcessor());
    const TCPUInfo cpu;
    EXPECT_EQ(cpu.Name(), c.name);
    EXPECT_EQ(cpu.VendorIDString(), c.vendor);
    EXPECT_EQ(cpu.Family(), c.family);
    EXPECT_EQ(cpu.Model(), c.model);
    EXPECT_EQ(cpu.Stepping(), c.stepping);
    EXPECT_EQ(cpu.Is64Bits(), c.is64);
    EXPECT_EQ(cpu.MMX(), c.mmx);
    EXPECT_EQ(cpu.L2Cache(), c.l2);
    EXPECT_EQ(cpu.L3Cache(), c.l3);
}

INSTANTIATE_TEST_SUITE_P(Processors, Identification, ::testing::ValuesIn(Cases),
                         [](const ::testing::TestParamInfo<CpuCase>& info) {
                             std::string name;
                             for (const char c : std::string(info.param.what))
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

TEST(Identification, CacheDescriptorTable) {
    struct Case {
        std::uint8_t descriptor;
        unsigned family, model;
        int level;
        std::uint32_t kilobytes;
    };
    const Case cases[] = {
        {0x43, 6, 7, 2, 512},   {0x7D, 15, 2, 2, 2048}, {0xEC, 6, 44, 3, 24576},
        {0xDC, 6, 26, 3, 1536}, {0x49, 6, 15, 2, 4096}, {0x49, 15, 6, 3, 4096},
        {0x2C, 6, 15, 1, 32},   {0x01, 6, 7, 0, 0},     {0x40, 6, 7, 0, 0},
    };
    for (const Case& c : cases) {
        const CacheDescriptor decoded = DecodeCacheDescriptor(c.descriptor, c.family, c.model);
        EXPECT_EQ(decoded.level, c.level) << std::hex << int(c.descriptor);
        EXPECT_EQ(decoded.kilobytes, c.kilobytes) << std::hex << int(c.descriptor);
    }
}

TEST(Identification, RegistersWithBit31SetHoldNoDescriptors) {
    test::FakePlatformScope fake;
    pentium3(fake->fakeProcessor());
    fake->fakeProcessor().setLeaf(2, {0x03020101, 0, 0, 0x8C040843});
    EXPECT_EQ(TCPUInfo().L2Cache(), 0u);
}

TEST(Identification, BooleanRowsUseTheBooleanWords) {
    test::FakePlatformScope fake;
    athlon64(fake->fakeProcessor());
    fake->fakeProcessor().megahertz = 2200.0;
    fake->fakeSystem().processors = 2;
    SetBooleanWords("Yes", "No");
    const TCPUInfo cpu;
    const auto identity = CpuIdentityRows(cpu);
    const std::vector<InfoRow> expectedIdentity{
        {"Processor:", "AMD Athlon(tm) 64 X2 Dual Core Processor 4200+"},
        {"No of Pro.:", "2"},
        {"Vendor:", "AuthenticAMD"},
        {"Family:", "15"},
        {"Model:", "35"},
        {"Stepping:", "2"},
    };
    EXPECT_EQ(identity, expectedIdentity);
    const std::vector<InfoRow> expectedCapabilities{
        {"IA64:", "Yes"},     {"MMX Support:", "Yes"}, {"Norm Frequency:", "2200"},
        {"L2 Cache:", "512"}, {"L3 Cache:", "0"},
    };
    EXPECT_EQ(CpuCapabilityRows(cpu), expectedCapabilities);
    fake->fakeProcessor().setLeaf(0x80000001, {0x00020F32, 0, 0, 0});
    EXPECT_EQ(CpuCapabilityRows(cpu)[0], InfoRow("IA64:", "No"));
    SetBooleanWords("True", "False");
}

TEST(ClockNormalisation, MovesToTheUsualEndings) {
    const std::pair<int, int> cases[] = {
        {2394, 2390}, {2405, 2400}, {2410, 2420}, {1995, 2000}, {2526, 2520},
        {2527, 2533}, {1799, 1800}, {2133, 2133}, {2666, 2666}, {2600, 2600},
        {2596, 2600}, {2350, 2350}, {2343, 2350}, {2341, 2333}, {2063, 2066},
        {2070, 2066}, {2074, 2080}, {0, 0},       {99, 100},
    };
    for (const auto& [measured, shown] : cases)
        EXPECT_EQ(NormaliseFrequency(measured), shown) << measured;
}

TEST(ClockMeasurement, ShowsTheMeasuredClockNormalised) {
    const std::pair<double, int> cases[] = {
        {2394.0, 2390}, {2410.0, 2420}, {2133.0, 2133}, {2666.4, 2666}, {1799.2, 1800},
    };
    for (const auto& [megahertz, shown] : cases) {
        test::FakePlatformScope fake;
        athlon64(fake->fakeProcessor());
        fake->fakeProcessor().megahertz = megahertz;
        const ClockMeasurement clock = MeasureClock(fake->fakeProcessor(), true);
        EXPECT_EQ(clock.rawFreq, std::lround(megahertz)) << megahertz;
        EXPECT_EQ(clock.normFreq, shown) << megahertz;
        // Three equal estimates settle the measurement.
        EXPECT_EQ(clock.passes, 3);
        EXPECT_EQ(TCPUInfo().NormFreq(), shown);
    }
}

TEST(ClockMeasurement, CountsMicrosecondsFromTheCountersOwnFrequency) {
    test::FakePlatformScope fake;
    FakeProcessor& processor = fake->fakeProcessor();
    processor.frequency = 3'579'545; // the ACPI timer's rate
    processor.ticksPerRead = 3;
    processor.megahertz = 1500.0;
    EXPECT_EQ(MeasureClock(processor, true).rawFreq, 1500);
}

TEST(ClockMeasurement, EstimatesThatDoNotSettleStopAfterTwentyPasses) {
    test::FakePlatformScope fake;
    FakeProcessor& processor = fake->fakeProcessor();
    // Passes alternate between 2000 and 2030 MHz (a pass starts with raising the priority).
    processor.timeStamps = [&processor](std::int64_t counter) {
        const bool odd = processor.prioritySets.size() / 2 % 2 == 1;
        return static_cast<std::uint64_t>(counter * (odd ? 203 : 200));
    };
    const ClockMeasurement clock = MeasureClock(processor, true);
    EXPECT_EQ(clock.passes, 20);
    EXPECT_NEAR(clock.rawFreq, 2015, 1);
}

TEST(ClockMeasurement, RaisesThePriorityForEachPassAndPutsItBack) {
    test::FakePlatformScope fake;
    FakeProcessor& processor = fake->fakeProcessor();
    processor.priority = 2;
    MeasureClock(processor, true);
    EXPECT_EQ(processor.prioritySets, (std::vector<int>{15, 2, 15, 2, 15, 2}));
    EXPECT_EQ(processor.priority, 2);
}

TEST(ClockMeasurement, ARefusedOrUnreadablePriorityIsSkipped) {
    test::FakePlatformScope fake;
    FakeProcessor& processor = fake->fakeProcessor();
    processor.refusePriority = true;
    EXPECT_EQ(MeasureClock(processor, true).rawFreq, 2000);
    EXPECT_EQ(processor.prioritySets, (std::vector<int>{15, 15, 15}));
    processor.prioritySets.clear();
    processor.priority.reset();
    EXPECT_EQ(MeasureClock(processor, true).rawFreq, 2000);
    EXPECT_TRUE(processor.prioritySets.empty());
}

TEST(ClockMeasurement, ZeroWithoutTheCounters) {
    test::FakePlatformScope fake;
    FakeProcessor& processor = fake->fakeProcessor();
    EXPECT_EQ(MeasureClock(processor, false).normFreq, 0); // no time-stamp counter
    processor.frequency = 0;                               // no performance counter
    EXPECT_EQ(MeasureClock(processor, true).rawFreq, 0);
    processor.frequency = 10'000'000;
    processor.ticksPerRead = 0; // a counter that stands still: no hang, no figure
    EXPECT_EQ(MeasureClock(processor, true).rawFreq, 0);
    // A processor whose leaf 1 lacks the time-stamp counter shows no clock.
    processor.ticksPerRead = 1;
    cyrix(processor);
    EXPECT_EQ(TCPUInfo().NormFreq(), 0);
    noCpuid(processor);
    EXPECT_EQ(TCPUInfo().RawFreq(), 0);
}

// The kernel's own view of one processor of this machine.
struct KernelView {
    std::map<std::string, std::string> fields; // of that processor in /proc/cpuinfo
    int processors = 0;
};

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

KernelView readCpuinfo(int cpu) {
    KernelView view;
    std::ifstream file("/proc/cpuinfo");
    bool ours = false;
    for (std::string line; std::getline(file, line);) {
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string name = trim(line.substr(0, colon));
        const std::string value = trim(line.substr(colon + 1));
        if (name == "processor") {
            ++view.processors;
            ours = value == std::to_string(cpu);
        }
        if (ours)
            view.fields.emplace(name, value);
    }
    return view;
}

bool hasFlag(const KernelView& view, const std::string& flag) {
    const auto flags = view.fields.find("flags");
    if (flags == view.fields.end())
        return false;
    std::istringstream words(flags->second);
    for (std::string word; words >> word;) {
        if (word == flag)
            return true;
    }
    return false;
}

// The size in kilobytes of a processor's unified or data cache of `level`; empty when the kernel
// lists none.
std::optional<std::uint32_t> sysfsCache(int cpu, int level) {
    const std::filesystem::path caches =
        "/sys/devices/system/cpu/cpu" + std::to_string(cpu) + "/cache";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(caches, error)) {
        if (entry.path().filename().string().rfind("index", 0) != 0)
            continue;
        if (std::stoi(test::readFile(entry.path() / "level")) != level ||
            test::readFile(entry.path() / "type").rfind("Instruction", 0) == 0)
            continue;
        return static_cast<std::uint32_t>(std::stoul(test::readFile(entry.path() / "size")));
    }
    return std::nullopt;
}

// The time-stamp counter's rate in MHz as the kernel calibrated it at boot, from its log (the
// refined figure when there is one); 0 when the log cannot be read or no longer holds it.
double kernelTimeStampMegahertz() {
    FILE* pipe = popen("dmesg 2>/dev/null", "r");
    if (pipe == nullptr)
        return 0;
    // Best first: the refined calibration, the counter's own rate when it differs from the
    // processor's, the processor's.
    static const std::regex figures[] = {
        std::regex(R"(tsc: Refined TSC clocksource calibration: ([0-9.]+) MHz)"),
        std::regex(R"(tsc: Detected ([0-9.]+) MHz TSC)"),
        std::regex(R"(tsc: Detected ([0-9.]+) MHz processor)"),
    };
    double found[std::size(figures)] = {};
    char buffer[1024];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        const std::string line = buffer;
        std::smatch match;
        for (std::size_t i = 0; i < std::size(figures); ++i)
            if (std::regex_search(line, match, figures[i]))
                found[i] = std::stod(match[1]);
    }
    pclose(pipe);
    for (const double megahertz : found)
        if (megahertz != 0)
            return megahertz;
    return 0;
}

// The time-stamp counter's rate over a fifth of a second of the kernel's monotonic clock.
double measuredTimeStampMegahertz() {
    using Clock = std::chrono::steady_clock;
    auto& processor = *platform::current().processor;
    const auto start = Clock::now();
    const std::uint64_t first = processor.timeStampCounter();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const std::uint64_t last = processor.timeStampCounter();
    const double microseconds =
        std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    return static_cast<double>(last - first) / microseconds;
}

bool knownVendor(const std::string& vendor) {
    for (const char* known :
         {"GenuineIntel", "AuthenticAMD", "CyrixInstead", "CentaurHauls", "GenuineTMx86"})
        if (vendor == known)
            return true;
    return false;
}

// This machine, with the test pinned to one processor so that CPUID and the kernel's figures
// describe the same core (hybrid processors have cores of several kinds).
class ThisMachine : public ::testing::Test {
protected:
    void SetUp() override {
        if (!platform::current().processor->hasCpuid())
            GTEST_SKIP() << "no CPUID instruction here";
        // Where the system refuses, the test runs unpinned: one kind of core is the usual case.
        if (sched_getaffinity(0, sizeof saved_, &saved_) == 0) {
            for (cpu_ = 0; cpu_ < CPU_SETSIZE && !CPU_ISSET(cpu_, &saved_); ++cpu_) {
            }
            cpu_set_t one;
            CPU_ZERO(&one);
            CPU_SET(cpu_, &one);
            pinned_ = sched_setaffinity(0, sizeof one, &one) == 0;
        }
        if (!pinned_)
            cpu_ = 0;
        view_ = readCpuinfo(cpu_);
        if (!view_.fields.contains("vendor_id"))
            GTEST_SKIP() << "/proc/cpuinfo has no x86 fields";
    }
    void TearDown() override {
        if (pinned_)
            sched_setaffinity(0, sizeof saved_, &saved_);
    }

    cpu_set_t saved_{};
    bool pinned_ = false;
    int cpu_ = 0;
    KernelView view_;
};

TEST_F(ThisMachine, AgreesWithTheKernelsIdentification) {
    const TCPUInfo cpu;
    EXPECT_EQ(cpu.VendorIDString(), view_.fields.at("vendor_id"));
    if (!knownVendor(cpu.VendorIDString())) {
        EXPECT_EQ(cpu.Name(), "Unknown"); // processors of other makers get no name of their own
    } else if (!hasFlag(view_, "hypervisor")) {
        EXPECT_EQ(trim(cpu.Name()), view_.fields.at("model name"));
    } else {
        // The kernel read the name once at boot; a virtual machine moved to another host since
        // (migration, a restored snapshot) may name its processor differently now.
        EXPECT_FALSE(trim(cpu.Name()).empty());
    }
    EXPECT_EQ(std::to_string(cpu.Family()), view_.fields.at("cpu family"));
    EXPECT_EQ(std::to_string(cpu.Model()), view_.fields.at("model"));
    EXPECT_EQ(std::to_string(cpu.Stepping()), view_.fields.at("stepping"));
    EXPECT_EQ(cpu.Is64Bits(), hasFlag(view_, "lm"));
    EXPECT_EQ(cpu.MMX(), hasFlag(view_, "mmx"));
    EXPECT_EQ(static_cast<int>(cpu.ProcessorCount()), view_.processors);
}

TEST_F(ThisMachine, CacheSizesAgreeWithTheKernels) {
    const TCPUInfo cpu;
    const std::string vendor = cpu.VendorIDString();
    if (!knownVendor(vendor)) {
        // Processors of other makers get only the generic decoding.
        EXPECT_EQ(cpu.L2Cache(), 0u);
        EXPECT_EQ(cpu.L3Cache(), 0u);
        return;
    }
    const auto l2 = sysfsCache(cpu_, 2);
    const auto l3 = sysfsCache(cpu_, 3);
    if (!l2 && !l3)
        GTEST_SKIP() << "the kernel lists no caches for cpu" << cpu_;
    if (l2) {
        EXPECT_EQ(cpu.L2Cache(), *l2);
    }
    if (l3 && vendor == "AuthenticAMD") {
        EXPECT_EQ(cpu.L3Cache(), *l3 / 1024); // AMD's figure is in megabytes
    } else if (l3 && vendor == "GenuineIntel") {
        EXPECT_EQ(cpu.L3Cache(), *l3);
    }
}

// The measured clock is the time-stamp counter's rate, which frequency scaling does not move
// where the counter is constant; the kernel's "cpu MHz" follows the scaling and is no yardstick.
TEST_F(ThisMachine, MeasuredClockIsTheTimeStampCountersRate) {
    if (!hasFlag(view_, "tsc"))
        GTEST_SKIP() << "no time-stamp counter";
    if (!hasFlag(view_, "constant_tsc"))
        GTEST_SKIP() << "the time-stamp counter follows frequency scaling here: no fixed rate";
    double reference = kernelTimeStampMegahertz();
    const char* source = "the kernel's calibration";
    if (reference == 0) {
        reference = measuredTimeStampMegahertz();
        source = "a measurement against the kernel's clock";
    }
    EXPECT_NEAR(TCPUInfo().RawFreq(), reference, reference / 100) << source;
}

} // namespace
} // namespace brenvik
