// brenvikctl wash N: one wash of N blocks through the program's own engine, without windows.

#include "ctl/Commands.h"
#include "memory/RelThrd.h"
#include "platform/Platform.h"
#include "platform/SystemStatus.h"

#include <charconv>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>

namespace brenvik::ctl {

namespace {

constexpr std::uint64_t MiB = 1ull << 20;

// What a wash did, in the order it is printed.
struct WashReport {
    WashResult result;
    std::uint64_t availableBefore = 0;
    std::uint64_t availableAfter = 0;
};

void printText(std::ostream& out, const WashReport& report) {
    const auto megabytes = [](std::uint64_t bytes) {
        return std::to_string((bytes + MiB / 2) / MiB) + " MB";
    };
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", report.result.seconds());
    std::vector<std::pair<std::string, std::string>> rows{
        {"Blocks requested:", std::to_string(report.result.requested)},
        {"Blocks obtained:", std::to_string(report.result.obtained)},
        {"Ended by:", washStopName(report.result.stop)},
        {"Seconds:", seconds},
        {"Available before:", megabytes(report.availableBefore)},
        {"Available after:", megabytes(report.availableAfter)},
    };
    if (report.result.rejected > 0)
        rows.emplace_back("Blocks not given back:", std::to_string(report.result.rejected));
    printAligned(out, rows);
}

void printJson(std::ostream& out, const WashReport& report) {
    const nlohmann::ordered_json json{
        {"requested", report.result.requested},        {"obtained", report.result.obtained},
        {"released", report.result.released},          {"rejected", report.result.rejected},
        {"endedBy", washStopName(report.result.stop)}, {"seconds", report.result.seconds()},
        {"availableBefore", report.availableBefore},   {"availableAfter", report.availableAfter},
    };
    out << json.dump(2) << '\n';
}

} // namespace

int runWash(Invocation& call) {
    if (call.args.size() != 1)
        return 2;
    const std::string& word = call.args.front();
    int megabytes = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), megabytes);
    if (error != std::errc() || end != word.data() + word.size() || megabytes < 0) {
        call.err << "brenvikctl: wash: not a number of megabytes: '" << word << "'\n";
        return 2;
    }

    platform::SystemStatus& system = *platform::current().system;
    WashReport report;
    report.availableBefore = system.memoryStatus().availPhys;
    TRelocateThread worker(megabytes, std::make_shared<NoWashWindows>());
    worker.Start();
    worker.WaitFor();
    report.result = worker.result();
    report.availableAfter = system.memoryStatus().availPhys;

    if (call.json)
        printJson(call.out, report);
    else
        printText(call.out, report);
    return report.result.rejected > 0 ? 1 : 0;
}

} // namespace brenvik::ctl
