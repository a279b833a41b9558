#pragma once

// The memory load the tray icon shows: the share of physical memory in use, its level, and the
// tooltip that spells out the figures behind it.

#include "platform/SystemStatus.h"

#include <string>

namespace brenvik {

enum class LoadLevel { Normal, High, Critical };

inline constexpr int HighLoadPercent = 70;
inline constexpr int CriticalLoadPercent = 90;

struct MemoryLoad {
    int percent = 0; // whole percent of physical memory in use, 0 to 100
    LoadLevel level = LoadLevel::Normal;

    friend bool operator==(const MemoryLoad&, const MemoryLoad&) = default;
};

LoadLevel loadLevel(int percent);
// 100 minus the "Physical Memory Available" bar, so the icon and the Memory page never disagree.
MemoryLoad memoryLoad(const platform::MemoryStatus& status);

// "Brenvik", then one line for memory in use of the total with the load, one for swap in use.
std::string memoryLoadToolTip(const platform::MemoryStatus& status);

} // namespace brenvik
