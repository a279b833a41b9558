// brenvikctl wash N: one wash of N blocks through the program's own engine, without windows, and
// the report of what it really did.

#include "common/FileUtils.h"
#include "ctl/Commands.h"
#include "memory/RelThrd.h"
#include "memory/WashLog.h"
#include "memory/WashReport.h"

#include <charconv>
#include <nlohmann/json.hpp>
#include <ostream>

namespace brenvik::ctl {

namespace {

constexpr std::uint64_t MiB = 1ull << 20;

std::string megabytes(std::uint64_t bytes) {
    return std::to_string((bytes + MiB / 2) / MiB) + " MB";
}

std::string signedSize(std::int64_t bytes) {
    return (bytes < 0 ? "-" : "+") +
           FormatSize(static_cast<double>(bytes < 0 ? -bytes : bytes), false);
}

void printText(std::ostream& out, const WashResult& result, const WashReport& report) {
    std::vector<std::pair<std::string, std::string>> rows{
        {"Blocks requested:", std::to_string(result.requested)},
        {"Blocks obtained:", std::to_string(result.obtained)},
        {"Ended by:", washStopName(result.stop)},
        {"Seconds:", std::to_string(result.seconds())},
        {"Available before:", megabytes(report.before.availPhys)},
        {"Available after:", megabytes(report.after.availPhys)},
        {"Free memory:", signedSize(report.freeChange())},
        {"File cache:", signedSize(-report.cacheReleased())},
        {"Swap in use:", signedSize(report.swapChange())},
    };
    if (result.rejected > 0)
        rows.emplace_back("Blocks not given back:", std::to_string(result.rejected));
    printAligned(out, rows);
    out << washReportText(report) << '\n';
}

void printJson(std::ostream& out, const WashResult& result, const WashReport& report) {
    const nlohmann::ordered_json json{
        {"requested", result.requested},
        {"obtained", result.obtained},
        {"released", result.released},
        {"rejected", result.rejected},
        {"endedBy", washStopName(result.stop)},
        {"seconds", result.seconds()},
        {"availableBefore", report.before.availPhys},
        {"availableAfter", report.after.availPhys},
        {"report", nlohmann::ordered_json::parse(washReportJson(report))},
        {"text", washReportText(report)},
    };
    ctl::printJson(out, json);
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

    TRelocateThread worker(megabytes, std::make_shared<NoWashWindows>());
    worker.Log = std::make_shared<WashLog>();
    worker.Start();
    worker.WaitFor();
    const WashResult& result = worker.result();
    const WashReport report = washReportOf(result);

    if (call.json)
        printJson(call.out, result, report);
    else
        printText(call.out, result, report);
    return result.rejected > 0 ? 1 : 0;
}

} // namespace brenvik::ctl
