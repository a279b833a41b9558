#include "platform/linux/CpuUsageProvider.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace brenvik::platform {

namespace {

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) ==
               std::toupper(static_cast<unsigned char>(y));
    });
}

} // namespace

std::optional<MachineTimes> parseMachineTimes(std::string_view statText) {
    std::string_view line = statText.substr(0, statText.find('\n'));
    if (line.size() < 4 || line.substr(0, 4) != "cpu ")
        return std::nullopt;
    line.remove_prefix(4);
    // user nice system idle iowait irq softirq steal; the guest fields that follow are already
    // counted in user and nice.
    std::uint64_t fields[8] = {};
    int read = 0;
    for (auto& field : fields) {
        while (!line.empty() && line.front() == ' ')
            line.remove_prefix(1);
        const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), field);
        if (error != std::errc())
            break;
        line.remove_prefix(static_cast<std::size_t>(end - line.data()));
        ++read;
    }
    if (read < 4)
        return std::nullopt;
    MachineTimes times;
    times.busy = fields[0] + fields[1] + fields[2] + fields[5] + fields[6] + fields[7];
    times.total = times.busy + fields[3] + fields[4];
    return times;
}

std::optional<std::uint32_t> loadBetween(const MachineTimes& before, const MachineTimes& after) {
    if (after.total <= before.total || after.busy < before.busy)
        return std::nullopt;
    const std::uint64_t total = after.total - before.total;
    const std::uint64_t busy = std::min(after.busy - before.busy, total);
    return static_cast<std::uint32_t>(busy * 100 / total);
}

CpuUsageProvider::CpuUsageProvider(const std::filesystem::path& procRoot)
    : stat_(procRoot / "stat") {}

std::vector<std::string> CpuUsageProvider::valueNames() {
    return {std::string(CpuUsageValueName)};
}

std::optional<RegValue> CpuUsageProvider::value(std::string_view name) {
    if (!sameName(name, CpuUsageValueName))
        return std::nullopt;
    std::lock_guard lock(mutex_);
    const auto now = parseMachineTimes(stat_.read());
    if (!now)
        return std::nullopt;
    if (now->total < previous_.total || now->busy < previous_.busy) {
        // The counters went back (a restored snapshot): measure from zero again.
        previous_ = MachineTimes{};
    }
    if (const auto load = loadBetween(previous_, *now))
        lastLoad_ = *load;
    previous_ = *now;
    return RegValue::dword(lastLoad_);
}

} // namespace brenvik::platform
