#pragma once

// The processor load as the dynamic performance data offers it: the value "KERNEL\CPUUsage" of
// the key "PerfStats\StatData" under HKEY_DYN_DATA, the whole machine's load in whole percent
// since the previous read, from the first line of /proc/stat.

#include "platform/Registry.h"
#include "platform/linux/ProcFile.h"

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string_view>

namespace brenvik::platform {

inline constexpr std::string_view CpuUsageKeyPath = "PerfStats\\StatData";
inline constexpr std::string_view CpuUsageValueName = "KERNEL\\CPUUsage";

// The machine's processor time in clock ticks: busy is everything but idle and I/O wait.
struct MachineTimes {
    std::uint64_t busy = 0;
    std::uint64_t total = 0;
};

// The machine-wide "cpu" line, which /proc/stat gives first; nothing when it is missing.
std::optional<MachineTimes> parseMachineTimes(std::string_view statText);

// Busy share of the time between two samples, in whole percent truncated toward zero; nothing
// when no time passed between them.
std::optional<std::uint32_t> loadBetween(const MachineTimes& before, const MachineTimes& after);

class CpuUsageProvider : public KeyProvider {
public:
    explicit CpuUsageProvider(const std::filesystem::path& procRoot = "/proc");

    std::vector<std::string> valueNames() override;
    // The first read gives the average since the system started. Two reads within one clock
    // tick repeat the last load; an unreadable /proc/stat gives no value.
    std::optional<RegValue> value(std::string_view name) override;

private:
    std::mutex mutex_;
    ProcFile stat_;
    MachineTimes previous_;
    std::uint32_t lastLoad_ = 0;
};

} // namespace brenvik::platform
