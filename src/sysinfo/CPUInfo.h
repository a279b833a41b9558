#pragma once

// Facts about the processor from the CPUID instruction and a measurement of its clock. Every read
// identifies the processor anew.

#include "platform/Processor.h"

#include <cstdint>
#include <string>

namespace brenvik {

// What one identification finds.
struct CpuIdentity {
    std::string name = "Unknown";
    std::string vendorId;
    std::uint8_t family = 4;
    std::uint8_t model = 0;
    std::uint8_t stepping = 0;
    bool is64Bits = false;
    bool mmx = false;
    bool timeStampCounter = false;
    std::uint32_t l2Cache = 0; // kilobytes
    std::uint32_t l3Cache = 0; // kilobytes on Intel, megabytes on AMD
};

CpuIdentity IdentifyProcessor(platform::Processor& processor);

struct ClockMeasurement {
    int rawFreq = 0;  // MHz
    int normFreq = 0; // MHz, moved to the usual ending
    int passes = 0;
};

// Measures the clock with the time-stamp counter against the performance counter; all zeros
// without a time-stamp counter or a performance counter.
ClockMeasurement MeasureClock(platform::Processor& processor, bool hasTimeStampCounter);

// Moves a clock in MHz to the nearest usual ending (…00, 20, 33, 50, 60, 66, 80, 90), ties up.
int NormaliseFrequency(int megahertz);

class TCPUInfo {
public:
    std::string Name() const;
    std::uint32_t ProcessorCount() const;
    std::string VendorIDString() const;
    std::uint8_t Family() const;
    std::uint8_t Model() const;
    std::uint8_t Stepping() const;
    bool Is64Bits() const;
    bool MMX() const;
    int RawFreq() const;
    int NormFreq() const;
    std::uint32_t L2Cache() const;
    std::uint32_t L3Cache() const;
};

} // namespace brenvik
