#include "memory/MemoryLoad.h"

#include "common/FileUtils.h"
#include "memory/MemoryMonitor.h"

#include <algorithm>

namespace brenvik {

LoadLevel loadLevel(int percent) {
    if (percent >= CriticalLoadPercent)
        return LoadLevel::Critical;
    if (percent >= HighLoadPercent)
        return LoadLevel::High;
    return LoadLevel::Normal;
}

MemoryLoad memoryLoad(const platform::MemoryStatus& status) {
    const auto figures = MemoryFigures::from(status);
    // Without a total there is no load to show; an empty figure reads better than a full one.
    const int percent =
        figures.totalPhys > 0 ? 100 - availablePercent(figures.availPhys, figures.totalPhys) : 0;
    return {percent, loadLevel(percent)};
}

std::string memoryLoadToolTip(const platform::MemoryStatus& status) {
    const auto figures = MemoryFigures::from(status);
    const auto size = [](std::int64_t bytes) {
        return FormatSize(static_cast<double>(bytes), false);
    };
    std::string text = "Brenvik\nMemory: ";
    text += size(figures.totalPhys - figures.availPhys);
    text += " of ";
    text += size(figures.totalPhys);
    text += " (";
    text += std::to_string(memoryLoad(status).percent);
    text += " %)\nSwap: ";
    if (status.swapTotal == 0) {
        text += "none";
        return text;
    }
    const auto swapFree = std::min(status.swapFree, status.swapTotal);
    text += size(static_cast<std::int64_t>(status.swapTotal - swapFree));
    text += " of ";
    text += size(static_cast<std::int64_t>(status.swapTotal));
    return text;
}

} // namespace brenvik
