#include "memory/WashReport.h"

#include "common/FileUtils.h"
#include "memory/RelThrd.h"

#include <charconv>
#include <cmath>

namespace brenvik {

namespace {

constexpr std::int64_t Megabyte = 1 << 20;

std::int64_t diff(std::uint64_t later, std::uint64_t earlier) {
    return static_cast<std::int64_t>(later) - static_cast<std::int64_t>(earlier);
}

std::int64_t swapUsed(const platform::MemoryStatus& status) {
    return static_cast<std::int64_t>(status.swapTotal) - static_cast<std::int64_t>(status.swapFree);
}

std::string signedSize(std::int64_t bytes) {
    const char* sign = bytes < 0 ? "-" : "+";
    return sign + FormatSize(static_cast<double>(bytes < 0 ? -bytes : bytes), false);
}

// Fixed notation without regard to the C locale, which the interface may have switched.
std::string fixed(double value, int decimals) {
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, std::isfinite(value) ? value : 0.0,
                                   std::chars_format::fixed, decimals)
                         .ptr;
    return std::string(text, end);
}

std::string oneDecimal(double value) {
    std::string result = fixed(value, 1);
    // The user's decimal separator, as every other figure of the program shows it.
    const auto point = result.find('.');
    if (point != std::string::npos)
        result.replace(point, 1, UserDecimalSeparator());
    return result;
}

void appendStatus(std::string& json, const char* name, const platform::MemoryStatus& status) {
    json += '"';
    json += name;
    json += "\":{\"free\":" + std::to_string(status.freePhys) +
            ",\"available\":" + std::to_string(status.availPhys) +
            ",\"cache\":" + std::to_string(status.cached) +
            ",\"swapUsed\":" + std::to_string(swapUsed(status)) + "}";
}

} // namespace

std::int64_t WashReport::cacheReleased() const {
    return diff(before.cached, after.cached);
}
std::int64_t WashReport::freeChange() const {
    return diff(after.freePhys, before.freePhys);
}
std::int64_t WashReport::availableChange() const {
    return diff(after.availPhys, before.availPhys);
}
std::int64_t WashReport::swapChange() const {
    return swapUsed(after) - swapUsed(before);
}

WashReport washReportOf(const WashResult& result) {
    WashReport report;
    report.endedAt = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    report.requested = result.requested;
    report.obtained = result.obtained;
    switch (result.stop) {
    case WashStop::Completed:
        report.stop = WashReport::Stop::Completed;
        break;
    case WashStop::Cancelled:
        report.stop = WashReport::Stop::Cancelled;
        break;
    case WashStop::Reserve:
        report.stop = WashReport::Stop::Reserve;
        break;
    case WashStop::Failed:
        report.stop = WashReport::Stop::Failed;
        break;
    }
    report.seconds = result.seconds();
    report.before = result.before;
    report.peak = result.peak;
    report.after = result.after;
    return report;
}

const char* washStopKey(WashReport::Stop stop) {
    switch (stop) {
    case WashReport::Stop::Completed:
        return "completed";
    case WashReport::Stop::Cancelled:
        return "cancelled";
    case WashReport::Stop::Reserve:
        return "reserve";
    case WashReport::Stop::Failed:
        return "failed";
    }
    return "completed";
}

std::string washReportText(const WashReport& report) {
    const std::string seconds = oneDecimal(report.seconds);
    const std::string obtained = std::to_string(report.obtained);
    const std::string requested = std::to_string(report.requested);
    std::string text;
    switch (report.stop) {
    case WashReport::Stop::Completed:
        text = "Washed " + obtained + " MB in " + seconds + " s";
        break;
    case WashReport::Stop::Cancelled:
        text = "Wash cancelled after " + obtained + " of " + requested + " MB (" + seconds + " s)";
        break;
    case WashReport::Stop::Reserve:
        text = "Washed " + obtained + " of " + requested + " MB in " + seconds +
               " s, stopped to keep a safety reserve free";
        break;
    case WashReport::Stop::Failed:
        text = "Washed " + obtained + " of " + requested + " MB in " + seconds +
               " s, the system gave no more memory";
        break;
    }
    std::string effects;
    const auto add = [&effects](const std::string& part) {
        effects += effects.empty() ? " \u2014 " : ", ";
        effects += part;
    };
    if (report.cacheReleased() >= Megabyte)
        add(FormatSize(static_cast<double>(report.cacheReleased()), false) + " of cache released");
    if (report.swapChange() >= Megabyte)
        add(FormatSize(static_cast<double>(report.swapChange()), false) + " moved to swap");
    if (report.obtained > 0)
        add("available memory " + signedSize(report.availableChange()));
    return text + effects;
}

std::string washReportJson(const WashReport& report) {
    std::string json = "{\"endedAt\":" + std::to_string(report.endedAt) +
                       ",\"requestedMB\":" + std::to_string(report.requested) +
                       ",\"obtainedMB\":" + std::to_string(report.obtained) + ",\"stop\":\"" +
                       washStopKey(report.stop) + "\",\"seconds\":";
    json += fixed(report.seconds, 3);
    json += ',';
    appendStatus(json, "before", report.before);
    json += ',';
    appendStatus(json, "peak", report.peak);
    json += ',';
    appendStatus(json, "after", report.after);
    json += ",\"cacheReleased\":" + std::to_string(report.cacheReleased()) +
            ",\"freeChange\":" + std::to_string(report.freeChange()) +
            ",\"availableChange\":" + std::to_string(report.availableChange()) +
            ",\"swapChange\":" + std::to_string(report.swapChange()) + "}";
    return json;
}

} // namespace brenvik
