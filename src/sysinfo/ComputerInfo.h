#pragma once

// The system-facts provider: Windows facts, processor facts and special folders, each group read
// through its property. The main window owns one for the whole run.

#include "sysinfo/CPUInfo.h"
#include "sysinfo/OSVersionInfo.h"
#include "sysinfo/SystemFolders.h"

#include <string>
#include <utility>
#include <vector>

namespace brenvik {

class TComputerInfo {
public:
    const TOSVersionInfo& OS() const { return os_; }
    const TCPUInfo& CPU() const { return cpu_; }
    TSystemFolders& Folders() { return folders_; }
    const TSystemFolders& Folders() const { return folders_; }

private:
    TOSVersionInfo os_;
    TCPUInfo cpu_;
    TSystemFolders folders_;
};

// A caption and the text shown beside it.
using InfoRow = std::pair<std::string, std::string>;

// The " Windows " box: "Version:" to "SP Version:" (the left column), then "Version Build:",
// "Major:" and "Minor:" (the right column).
std::vector<InfoRow> WindowsRows(const TOSVersionInfo& os);
// The "CPU Information" box from "Processor:" to "Stepping:".
std::vector<InfoRow> CpuIdentityRows(const TCPUInfo& cpu);
// The rest of it, "IA64:" to "L3 Cache:"; the booleans read as the current boolean words.
std::vector<InfoRow> CpuCapabilityRows(const TCPUInfo& cpu);

} // namespace brenvik
