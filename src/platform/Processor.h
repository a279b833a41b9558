#pragma once

// CPUID, the time-stamp counter, the performance counter and the calling thread's priority: what
// identifying the processor and measuring its clock need.

#include <cstdint>
#include <optional>

namespace brenvik::platform {

struct CpuidRegisters {
    std::uint32_t eax = 0;
    std::uint32_t ebx = 0;
    std::uint32_t ecx = 0;
    std::uint32_t edx = 0;
};

class Processor {
public:
    virtual ~Processor() = default;

    // False when the processor has no CPUID instruction; cpuid() is then not called.
    virtual bool hasCpuid() = 0;
    // Registers of a leaf (and sub-leaf, for the leaves that take one). A leaf above the
    // processor's highest gives whatever the processor gives; callers check the highest first.
    virtual CpuidRegisters cpuid(std::uint32_t leaf, std::uint32_t subleaf = 0) = 0;
    virtual std::uint64_t timeStampCounter() = 0;
    // Ticks per second of the performance counter; 0 when there is no such counter.
    virtual std::int64_t performanceFrequency() = 0;
    virtual std::int64_t performanceCounter() = 0;

    // The calling thread's priority in the platform's own units; empty when it cannot be read.
    virtual std::optional<int> threadPriority() = 0;
    // False when the system refuses the change.
    virtual bool setThreadPriority(int priority) = 0;
    // The most urgent priority a thread can ask for, in the same units.
    virtual int timeCriticalPriority() = 0;
};

} // namespace brenvik::platform
