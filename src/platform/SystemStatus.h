#pragma once

// Memory status, the millisecond clock, the version record and the processor time counters.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace brenvik::platform {

// The memory status record, with 64-bit byte counts so that large machines read true. The four
// figures the program shows come first; the rest describe where the memory is.
struct MemoryStatus {
    std::uint64_t totalPhys = 0;     // installed memory the system can use
    std::uint64_t availPhys = 0;     // what can be handed out without swapping
    std::uint64_t totalPageFile = 0; // commit limit: physical memory plus swap
    std::uint64_t availPageFile = 0; // available memory plus free swap, never above its total
    std::uint64_t freePhys = 0;      // not used for anything at all
    std::uint64_t cached = 0;        // file cache (page cache and buffers)
    std::uint64_t swapTotal = 0;
    std::uint64_t swapFree = 0;
};

inline constexpr std::uint32_t VER_PLATFORM_WIN32s = 0;
inline constexpr std::uint32_t VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr std::uint32_t VER_PLATFORM_WIN32_NT = 2;
// Our own platform identifier: neither family of the version rules.
inline constexpr std::uint32_t VER_PLATFORM_LINUX = 3;

// The extended version record.
struct OsVersionRecord {
    std::uint32_t platformId = 0;
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint32_t buildNumber = 0;
    std::string csdVersion;           // service-pack text
    bool extended = false;            // the fields below were filled
    std::uint16_t servicePackMajor = 0;
    std::uint16_t servicePackMinor = 0;
    std::uint16_t suiteMask = 0;
    std::uint8_t productType = 0;     // VER_NT_WORKSTATION 1, DOMAIN_CONTROLLER 2, SERVER 3
    // Product version of kernel32 (major in the high word, minor in the low word); only the 9x
    // family reads it, 0 elsewhere and when it cannot be read.
    std::uint32_t kernelVersion = 0;
    std::int32_t serverR2 = 0;        // the SM_SERVERR2 system metric
    std::uint16_t nativeArchitecture = 0; // PROCESSOR_ARCHITECTURE_*: 0 x86, 9 AMD64
};

inline constexpr std::uint16_t PROCESSOR_ARCHITECTURE_INTEL = 0;
inline constexpr std::uint16_t PROCESSOR_ARCHITECTURE_AMD64 = 9;

// Per-processor times in 100-nanosecond units since the system started; kernel time includes idle
// time.
struct ProcessorTimes {
    std::int64_t idle = 0;
    std::int64_t kernel = 0;
    std::int64_t user = 0;
};

class SystemStatus {
public:
    virtual ~SystemStatus() = default;

    virtual MemoryStatus memoryStatus() = 0;
    // Milliseconds since the system started (time spent suspended included); 64-bit, no wrap.
    virtual std::uint64_t tickCount() = 0;
    virtual OsVersionRecord versionRecord() = 0;
    // One entry per processor; empty when the counters cannot be read.
    virtual std::vector<ProcessorTimes> processorTimes() = 0;
    virtual std::uint32_t processorCount() = 0;
    // The full path of the running executable and the folder that holds it.
    virtual std::filesystem::path programPath() = 0;
    std::filesystem::path programFolder() { return programPath().parent_path(); }
};

} // namespace brenvik::platform
