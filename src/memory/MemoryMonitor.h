#pragma once

// The figures of the Memory page, computed from one memory status record: what every tick
// rewrites, what the start-up fill writes once, and the free-memory threshold rule.

#include "common/FileUtils.h"
#include "platform/SystemStatus.h"

#include <cstdint>
#include <string>

namespace brenvik {

// Byte counts widened to signed 64-bit before any arithmetic, so that differences never wrap.
struct MemoryFigures {
    std::int64_t totalPhys = 0;
    std::int64_t availPhys = 0;
    std::int64_t totalPageFile = 0;
    std::int64_t availPageFile = 0;

    static MemoryFigures from(const platform::MemoryStatus& status);
};

// What each tick of the memory monitor shows.
struct MemoryTickTexts {
    int availablePercent = 0;     // "Physical Memory Available", also the history graph's value
    int pageFileUsagePercent = 0; // "Page File Usage"
    ShortText used;               // "Used:" of "Memory Usage"
    ShortText available;          // "Available:" of "Memory Usage"
    ShortText uptime;             // "System Uptime:"
};

// What the start-up fill writes.
struct MemoryStartupTexts {
    int availablePercent = 0;            // the memory history graph's first value
    ShortText used;                      // "Used:" of "Memory Usage", as a tick writes it
    ShortText available;                 // "Available:" of "Memory Usage", as a tick writes it
    ShortText total;                     // "Total:"
    std::string pageFileMax;             // "Paging File" "Max Size:"
    std::string pageFileUsed;            // "Paging File" "Used:"
    std::string pageFileAvailable;       // "Paging File" "Available:"
    std::int64_t totalMegabytesUp = 0;   // top axis label and the limit box's maximum
    std::int64_t middleAxis = 0;         // middle axis label
    std::int64_t totalMegabytesDown = 0; // the "Memory To Free" slider's maximum
    std::int64_t sliderPosition = 0;     // half the slider's maximum
};

// round(100 * avail / total), halves to even; 0 when the total is 0, kept within 0 to 100.
int availablePercent(std::int64_t avail, std::int64_t total);
// 100 minus the available share of the paging file; 0 when its total is 0.
int pageFileUsagePercent(const MemoryFigures& figures);

MemoryTickTexts memoryTickTexts(const MemoryFigures& figures, std::uint64_t tickCount);
MemoryStartupTexts memoryStartupTexts(const MemoryFigures& figures, std::string_view separator);

// The threshold rule: on, and strictly less physical memory available than the limit in MB.
bool thresholdReached(const MemoryFigures& figures, bool enabled, std::int32_t limitMegabytes);

} // namespace brenvik
