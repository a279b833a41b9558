#include "platform/linux/LinuxSystemStatus.h"

#include "platform/linux/LinuxServices.h"
#include "platform/linux/ProcFile.h"

#include <charconv>
#include <ctime>
#include <limits>
#include <sys/utsname.h>
#include <unistd.h>

namespace brenvik::platform {

namespace {

// A "kB" figure of /proc/meminfo in bytes; saturates rather than wrapping on absurd input.
std::uint64_t parseKilobytes(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range)
        return std::numeric_limits<std::uint64_t>::max();
    constexpr std::uint64_t limit = std::numeric_limits<std::uint64_t>::max() / 1024;
    return value > limit ? std::numeric_limits<std::uint64_t>::max() : value * 1024;
}

// a + b, saturating.
std::uint64_t sum(std::uint64_t a, std::uint64_t b) {
    return a > std::numeric_limits<std::uint64_t>::max() - b
               ? std::numeric_limits<std::uint64_t>::max()
               : a + b;
}

} // namespace

MemoryStatus parseMeminfo(std::string_view text) {
    std::uint64_t memTotal = 0, memFree = 0, memAvailable = 0, buffers = 0, cached = 0,
                  swapTotal = 0, swapFree = 0;
    bool hasAvailable = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view name = line.substr(0, colon);
        const std::uint64_t bytes = parseKilobytes(line.substr(colon + 1));
        if (name == "MemTotal")
            memTotal = bytes;
        else if (name == "MemFree")
            memFree = bytes;
        else if (name == "MemAvailable") {
            memAvailable = bytes;
            hasAvailable = true;
        } else if (name == "Buffers")
            buffers = bytes;
        else if (name == "Cached")
            cached = bytes;
        else if (name == "SwapTotal")
            swapTotal = bytes;
        else if (name == "SwapFree")
            swapFree = bytes;
    }
    MemoryStatus status;
    status.totalPhys = memTotal;
    // Kernels before 3.14 have no MemAvailable: free memory plus the caches it can drop.
    status.availPhys = hasAvailable ? memAvailable : sum(sum(memFree, cached), buffers);
    if (status.availPhys > status.totalPhys)
        status.availPhys = status.totalPhys;
    status.freePhys = memFree > memTotal ? memTotal : memFree;
    status.cached = sum(cached, buffers);
    status.swapTotal = swapTotal;
    status.swapFree = swapFree > swapTotal ? swapTotal : swapFree;
    status.totalPageFile = sum(memTotal, swapTotal);
    status.availPageFile = sum(status.availPhys, status.swapFree);
    if (status.availPageFile > status.totalPageFile)
        status.availPageFile = status.totalPageFile;
    return status;
}

std::vector<ProcessorTimes> parseProcStatProcessors(std::string_view text, long ticksPerSecond) {
    std::vector<ProcessorTimes> result;
    if (ticksPerSecond <= 0)
        return result;
    const std::int64_t unit = 10'000'000 / ticksPerSecond;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        // "cpu0 ..." but not the machine-wide "cpu " line.
        if (line.size() < 4 || line.substr(0, 3) != "cpu" || line[3] < '0' || line[3] > '9')
            continue;
        line.remove_prefix(line.find(' ') == std::string_view::npos ? line.size() : line.find(' '));
        std::int64_t fields[8] = {};
        for (auto& field : fields) {
            while (!line.empty() && line.front() == ' ')
                line.remove_prefix(1);
            auto [ptr, ec] = std::from_chars(line.data(), line.data() + line.size(), field);
            line.remove_prefix(static_cast<std::size_t>(ptr - line.data()));
            if (ec != std::errc())
                break;
        }
        // user nice system idle iowait irq softirq steal
        const std::int64_t idle = fields[3] + fields[4];
        const std::int64_t busyKernel = fields[2] + fields[5] + fields[6] + fields[7];
        ProcessorTimes times;
        times.idle = idle * unit;
        times.kernel = (busyKernel + idle) * unit;
        times.user = (fields[0] + fields[1]) * unit;
        result.push_back(times);
    }
    return result;
}

LinuxSystemStatus::LinuxSystemStatus(std::filesystem::path procRoot, std::filesystem::path)
    : meminfo_(procRoot / "meminfo"), stat_(procRoot / "stat") {}

MemoryStatus LinuxSystemStatus::memoryStatus() {
    std::lock_guard lock(meminfoMutex_);
    return parseMeminfo(meminfo_.read());
}

std::uint64_t LinuxSystemStatus::tickCount() {
    timespec now{};
    if (clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return 0;
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 1'000'000u;
}

OsVersionRecord LinuxSystemStatus::versionRecord() {
    OsVersionRecord record;
    record.platformId = VER_PLATFORM_LINUX;
    utsname name{};
    if (uname(&name) == 0) {
        // "6.1.0-13-amd64" gives 6, 1 and 0.
        std::uint32_t parts[3] = {};
        const char* at = name.release;
        const char* end = at + std::char_traits<char>::length(at);
        for (auto& part : parts) {
            auto [ptr, ec] = std::from_chars(at, end, part);
            if (ec != std::errc() || ptr == end || *ptr != '.') {
                at = ptr;
                break;
            }
            at = ptr + 1;
        }
        record.majorVersion = parts[0];
        record.minorVersion = parts[1];
        record.buildNumber = parts[2];
    }
    return record;
}

std::vector<ProcessorTimes> LinuxSystemStatus::processorTimes() {
    std::lock_guard lock(statMutex_);
    return parseProcStatProcessors(stat_.read(), sysconf(_SC_CLK_TCK));
}

std::uint32_t LinuxSystemStatus::processorCount() {
    const long count = sysconf(_SC_NPROCESSORS_ONLN);
    return count > 0 ? static_cast<std::uint32_t>(count) : 1u;
}

std::filesystem::path LinuxSystemStatus::programPath() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

std::unique_ptr<SystemStatus> makeLinuxSystemStatus() {
    return std::make_unique<LinuxSystemStatus>();
}

} // namespace brenvik::platform
