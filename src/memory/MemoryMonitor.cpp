#include "memory/MemoryMonitor.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace brenvik {

namespace {

constexpr std::int64_t Megabyte = 1'048'576;

std::int64_t widen(std::uint64_t bytes) {
    return static_cast<std::int64_t>(
        std::min<std::uint64_t>(bytes, std::numeric_limits<std::int64_t>::max()));
}

} // namespace

MemoryFigures MemoryFigures::from(const platform::MemoryStatus& status) {
    return {widen(status.totalPhys), widen(status.availPhys), widen(status.totalPageFile),
            widen(status.availPageFile)};
}

int availablePercent(std::int64_t avail, std::int64_t total) {
    // A total of zero cannot be divided by; show an empty bar rather than a fault.
    if (total <= 0)
        return 0;
    // std::nearbyint rounds halves to the even neighbour in the default rounding mode.
    const double percent =
        std::nearbyint(100.0 * static_cast<double>(avail) / static_cast<double>(total));
    return static_cast<int>(std::clamp(percent, 0.0, 100.0));
}

int pageFileUsagePercent(const MemoryFigures& figures) {
    if (figures.totalPageFile <= 0)
        return 0;
    return 100 - availablePercent(figures.availPageFile, figures.totalPageFile);
}

MemoryTickTexts memoryTickTexts(const MemoryFigures& figures, std::uint64_t tickCount) {
    MemoryTickTexts texts;
    texts.availablePercent = availablePercent(figures.availPhys, figures.totalPhys);
    texts.pageFileUsagePercent = pageFileUsagePercent(figures);
    texts.used = FormatMegabytes(figures.totalPhys - figures.availPhys);
    texts.available = FormatMegabytes(figures.availPhys);
    texts.uptime = UptimeText(tickCount);
    return texts;
}

MemoryStartupTexts memoryStartupTexts(const MemoryFigures& figures, std::string_view separator) {
    MemoryStartupTexts texts;
    texts.availablePercent = availablePercent(figures.availPhys, figures.totalPhys);
    texts.total = FormatMegabytes(figures.totalPhys);
    texts.used = FormatMegabytes(figures.totalPhys - figures.availPhys);
    texts.available = FormatMegabytes(figures.availPhys);
    texts.pageFileMax = FormatSize(static_cast<double>(figures.totalPageFile), false, separator);
    texts.pageFileUsed = FormatSize(
        static_cast<double>(figures.totalPageFile - figures.availPageFile), false, separator);
    texts.pageFileAvailable =
        FormatSize(static_cast<double>(figures.availPageFile), false, separator);
    const std::int64_t total = std::max<std::int64_t>(figures.totalPhys, 0);
    texts.totalMegabytesUp = total / Megabyte + (total % Megabyte != 0 ? 1 : 0);
    texts.middleAxis = texts.totalMegabytesUp / 2;
    texts.totalMegabytesDown = total / Megabyte;
    texts.sliderPosition = texts.totalMegabytesDown / 2;
    return texts;
}

bool thresholdReached(const MemoryFigures& figures, bool enabled, std::int32_t limitMegabytes) {
    return enabled && figures.availPhys < static_cast<std::int64_t>(limitMegabytes) * Megabyte;
}

} // namespace brenvik
