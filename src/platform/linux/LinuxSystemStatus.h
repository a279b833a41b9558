#pragma once

// Linux system status from /proc and the clocks. The proc root is a parameter so that tests can
// read fixture trees.

#include "platform/SystemStatus.h"
#include "platform/linux/ProcFile.h"

#include <filesystem>
#include <mutex>
#include <string_view>

namespace brenvik::platform {

// Parses the text of /proc/meminfo into the memory status record.
MemoryStatus parseMeminfo(std::string_view text);
// Parses the per-processor "cpuN" lines of /proc/stat, ticks converted to 100 ns units.
std::vector<ProcessorTimes> parseProcStatProcessors(std::string_view text, long ticksPerSecond);

class LinuxSystemStatus : public SystemStatus {
public:
    explicit LinuxSystemStatus(std::filesystem::path procRoot = "/proc",
                               std::filesystem::path osRelease = "/etc/os-release");

    MemoryStatus memoryStatus() override;
    std::uint64_t tickCount() override;
    OsVersionRecord versionRecord() override;
    std::vector<ProcessorTimes> processorTimes() override;
    std::uint32_t processorCount() override;
    std::filesystem::path programPath() override;

private:
    // Kept between calls so that the once-a-second reads reuse their buffers.
    std::mutex meminfoMutex_;
    ProcFile meminfo_;
    std::mutex statMutex_;
    ProcFile stat_;
};

} // namespace brenvik::platform
