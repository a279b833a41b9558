#pragma once

// A processor for tests: CPUID leaves from a table, a performance counter that advances at every
// read and a time-stamp counter that follows it at a chosen clock.

#include "platform/Processor.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace brenvik::test {

class FakeProcessor : public platform::Processor {
public:
    bool cpuidPresent = true;
    // By leaf and sub-leaf; a leaf not in the table reads as zeros.
    std::map<std::pair<std::uint32_t, std::uint32_t>, platform::CpuidRegisters> leaves;

    std::int64_t frequency = 10'000'000; // of the performance counter; 0: none
    std::int64_t ticksPerRead = 1;       // the counter advances this much at every read
    std::int64_t counter = 0;
    double megahertz = 2000.0; // the time-stamp counter's clock
    // When set, the time-stamp counter is this function of the performance counter instead.
    std::function<std::uint64_t(std::int64_t counter)> timeStamps;

    std::optional<int> priority = 0; // empty: the priority cannot be read
    bool refusePriority = false;
    std::vector<int> prioritySets; // every priority the code asked for, in order

    void setLeaf(std::uint32_t leaf, platform::CpuidRegisters registers,
                 std::uint32_t subleaf = 0) {
        leaves[{leaf, subleaf}] = registers;
    }
    // Leaf 0 with the vendor and the highest standard leaf; the highest extended leaf in
    // 0x80000000.
    void setVendor(const std::string& vendor, std::uint32_t maxLeaf, std::uint32_t maxExtended) {
        platform::CpuidRegisters registers{maxLeaf, 0, 0, 0};
        std::memcpy(&registers.ebx, vendor.data(), 4);
        std::memcpy(&registers.edx, vendor.data() + 4, 4);
        std::memcpy(&registers.ecx, vendor.data() + 8, 4);
        setLeaf(0, registers);
        if (maxExtended != 0)
            setLeaf(0x80000000, {maxExtended, 0, 0, 0});
    }
    // The 48-character brand string in leaves 0x80000002 to 0x80000004.
    void setBrand(const std::string& brand) {
        char text[48] = {};
        std::memcpy(text, brand.data(), std::min<std::size_t>(brand.size(), 48));
        for (std::uint32_t part = 0; part < 3; ++part) {
            platform::CpuidRegisters registers;
            std::memcpy(&registers, text + 16 * part, 16);
            setLeaf(0x80000002 + part, registers);
        }
    }

    bool hasCpuid() override { return cpuidPresent; }
    platform::CpuidRegisters cpuid(std::uint32_t leaf, std::uint32_t subleaf) override {
        const auto found = leaves.find({leaf, subleaf});
        return found == leaves.end() ? platform::CpuidRegisters{} : found->second;
    }
    std::uint64_t timeStampCounter() override {
        if (timeStamps)
            return timeStamps(counter);
        return static_cast<std::uint64_t>(std::llround(static_cast<double>(counter) * megahertz *
                                                       1e6 / static_cast<double>(frequency)));
    }
    std::int64_t performanceFrequency() override { return frequency; }
    std::int64_t performanceCounter() override { return counter += ticksPerRead; }
    std::optional<int> threadPriority() override { return priority; }
    bool setThreadPriority(int value) override {
        prioritySets.push_back(value);
        if (refusePriority)
            return false;
        priority = value;
        return true;
    }
    int timeCriticalPriority() override { return 15; }
};

} // namespace brenvik::test
