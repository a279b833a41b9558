#include "common/FileUtils.h"
#include "ctl/Commands.h"
#include "memory/MemoryMonitor.h"
#include "platform/Platform.h"
#include "platform/SystemStatus.h"

#include <chrono>
#include <nlohmann/json.hpp>
#include <ostream>
#include <thread>

namespace brenvik::ctl {

namespace {

// The processor sampler's measure, as its tick takes it.
std::int32_t processorLoad() {
    return IsWindowsNT() ? GetNTCPUUsage() : Get9xCPUUsage();
}

std::string percentText(int percent) {
    return std::to_string(percent) + " %";
}

} // namespace

int runStatus(Invocation& call) {
    if (!call.args.empty())
        return 2;
    auto& system = *platform::current().system;
    // The first sample only sets the starting point; the second gives the load over one second.
    processorLoad();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const std::int32_t load = processorLoad();

    const auto figures = MemoryFigures::from(system.memoryStatus());
    const auto tick = memoryTickTexts(figures, system.tickCount());
    const auto startup = memoryStartupTexts(figures, UserDecimalSeparator());

    if (call.json) {
        nlohmann::ordered_json document;
        document["memory"] = {
            {"total", startup.total.str()},      {"used", tick.used.str()},
            {"available", tick.available.str()}, {"available_percent", tick.availablePercent},
            {"total_bytes", figures.totalPhys},  {"available_bytes", figures.availPhys}};
        document["paging_file"] = {
            {"max_size", startup.pageFileMax},        {"used", startup.pageFileUsed},
            {"available", startup.pageFileAvailable}, {"usage_percent", tick.pageFileUsagePercent},
            {"total_bytes", figures.totalPageFile},   {"available_bytes", figures.availPageFile}};
        document["uptime"] = tick.uptime.str();
        document["cpu_usage_percent"] = load;
        printJson(call.out, document);
        return 0;
    }
    printAligned(call.out, {{"Total:", startup.total.str()},
                            {"Used:", tick.used.str()},
                            {"Available:", tick.available.str()},
                            {"Physical Memory Available:", percentText(tick.availablePercent)},
                            {"Paging File Max Size:", startup.pageFileMax},
                            {"Paging File Used:", startup.pageFileUsed},
                            {"Paging File Available:", startup.pageFileAvailable},
                            {"Page File Usage:", percentText(tick.pageFileUsagePercent)},
                            {"System Uptime:", tick.uptime.str()},
                            {"CPU Usage:", percentText(load)}});
    return 0;
}

} // namespace brenvik::ctl
