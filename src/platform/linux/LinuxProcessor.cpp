#include "platform/Processor.h"
#include "platform/linux/LinuxServices.h"

#include <cerrno>
#include <ctime>
#include <sys/resource.h>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#define BRENVIK_HAS_X86 1
#endif

namespace brenvik::platform {

namespace {

// The performance counter runs at 10 MHz, the resolution the clock rules were made for.
constexpr std::int64_t CounterFrequency = 10'000'000;

// Thread priorities are nice values of the calling thread: lower is more urgent.
constexpr int MostUrgentNice = -20;

class LinuxProcessor : public Processor {
public:
    bool hasCpuid() override {
#ifdef BRENVIK_HAS_X86
        return __get_cpuid_max(0, nullptr) != 0;
#else
        return false;
#endif
    }

    CpuidRegisters cpuid(std::uint32_t leaf, std::uint32_t subleaf) override {
        CpuidRegisters registers;
#ifdef BRENVIK_HAS_X86
        __cpuid_count(leaf, subleaf, registers.eax, registers.ebx, registers.ecx, registers.edx);
#else
        (void)leaf;
        (void)subleaf;
#endif
        return registers;
    }

    std::uint64_t timeStampCounter() override {
#ifdef BRENVIK_HAS_X86
        return __rdtsc();
#else
        return 0;
#endif
    }

    std::int64_t performanceFrequency() override {
        timespec now{};
        return clock_gettime(CLOCK_MONOTONIC_RAW, &now) == 0 ? CounterFrequency : 0;
    }

    std::int64_t performanceCounter() override {
        timespec now{};
        if (clock_gettime(CLOCK_MONOTONIC_RAW, &now) != 0)
            return 0;
        return static_cast<std::int64_t>(now.tv_sec) * CounterFrequency + now.tv_nsec / 100;
    }

    std::optional<int> threadPriority() override {
        // -1 is also a valid nice value: only errno tells a failure.
        errno = 0;
        const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        if (nice == -1 && errno != 0)
            return std::nullopt;
        return nice;
    }

    bool setThreadPriority(int priority) override {
        // An unprivileged user may not lower the nice value; the caller then runs as it is.
        return setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), priority) == 0;
    }

    int timeCriticalPriority() override {
        return MostUrgentNice;
    }
};

} // namespace

std::unique_ptr<Processor> makeLinuxProcessor() {
    return std::make_unique<LinuxProcessor>();
}

} // namespace brenvik::platform
