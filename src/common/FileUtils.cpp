#include "common/FileUtils.h"

#include "platform/Platform.h"
#include "platform/SystemStatus.h"
#include "platform/TRegistry.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <langinfo.h>
#include <locale.h>
#include <stdexcept>

namespace brenvik {

void ShortText::append(std::string_view text) {
    const std::size_t count = std::min(text.size(), Capacity - size_);
    std::copy_n(text.data(), count, data_.data() + size_);
    size_ += count;
}

void ShortText::appendNumber(std::int64_t number) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, number);
    append(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

const std::string& UserDecimalSeparator() {
    static const std::string separator = [] {
        // The user's locale from the environment, whatever the process's own C locale is.
        const locale_t locale = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
        if (locale == static_cast<locale_t>(nullptr))
            return std::string(".");
        std::string text = nl_langinfo_l(RADIXCHAR, locale);
        freelocale(locale);
        return text.empty() ? std::string(".") : text;
    }();
    return separator;
}

namespace {

constexpr double Kilobyte = 1024.0;
constexpr double Megabyte = 1048576.0;
constexpr double Gigabyte = 1073741824.0;

// `value` (finite, not negative) with two decimals: its 18 significant digits rounded at the
// third decimal, a 5 or more rounding up.
std::string twoDecimals(double value, std::string_view separator) {
    char scientific[40];
    std::snprintf(scientific, sizeof scientific, "%.17e", value);
    const std::string_view text(scientific);
    const std::size_t exponentAt = text.find('e');
    std::string digits;
    digits.push_back(text[0]);
    digits.append(text.substr(2, exponentAt - 2));
    int exponent = 0;
    const char* exponentText = scientific + exponentAt + 1;
    if (*exponentText == '+')
        ++exponentText;
    std::from_chars(exponentText, scientific + text.size(), exponent);

    // Whole part and the first three decimals.
    std::string whole, decimals;
    if (exponent >= 0) {
        const std::size_t wholeDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() < wholeDigits + 3)
            digits.resize(wholeDigits + 3, '0');
        whole = digits.substr(0, wholeDigits);
        decimals = digits.substr(wholeDigits, 3);
    } else {
        whole = "0";
        decimals = std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
        decimals.resize(3, '0');
    }
    std::string number = whole + decimals.substr(0, 2);
    if (decimals[2] >= '5') {
        std::size_t at = number.size();
        while (at > 0 && number[at - 1] == '9')
            number[--at] = '0';
        if (at == 0)
            number.insert(number.begin(), '1');
        else
            ++number[at - 1];
    }
    std::string result = number.substr(0, number.size() - 2);
    result.append(separator);
    result.append(number.substr(number.size() - 2));
    return result;
}

} // namespace

std::string FormatSize(double value, bool longNames, std::string_view decimalSeparator) {
    if (!(value >= 0))
        value = 0;
    double divisor = 1;
    const char* unit = longNames ? "Bytes" : "B";
    if (value >= Gigabyte) {
        divisor = Gigabyte;
        unit = longNames ? "GIGA Bytes" : "GB";
    } else if (value >= Megabyte) {
        divisor = Megabyte;
        unit = longNames ? "MEGA Bytes" : "MB";
    } else if (value >= Kilobyte) {
        divisor = Kilobyte;
        unit = longNames ? "Kilo Bytes" : "KB";
    }
    const double scaled = value / divisor;
    std::string text = std::isfinite(scaled) ? twoDecimals(scaled, decimalSeparator) : "INF";
    text.push_back(' ');
    text.append(unit);
    return text;
}

std::string FormatSize(double value, bool longNames) {
    return FormatSize(value, longNames, UserDecimalSeparator());
}

ShortText FormatMegabytes(std::int64_t bytes) {
    ShortText text;
    text.appendNumber(static_cast<std::int64_t>(std::ceil(static_cast<double>(bytes) / Megabyte)));
    text.append(" MB");
    return text;
}

ShortText UptimeText(std::uint64_t milliseconds) {
    constexpr std::uint64_t Day = 86'400'000, Hour = 3'600'000, Minute = 60'000, Second = 1'000;
    std::uint64_t rest = milliseconds;
    const std::uint64_t days = rest / Day;
    rest -= days * Day;
    const std::uint64_t hours = rest / Hour;
    rest -= hours * Hour;
    const std::uint64_t minutes = rest / Minute;
    rest -= minutes * Minute;
    const std::uint64_t seconds = rest / Second;
    ShortText text;
    text.appendNumber(static_cast<std::int64_t>(days));
    text.append(" D ");
    text.appendNumber(static_cast<std::int64_t>(hours));
    text.append(" H ");
    text.appendNumber(static_cast<std::int64_t>(minutes));
    text.append(" M ");
    text.appendNumber(static_cast<std::int64_t>(seconds));
    text.append(" S ");
    return text;
}

ShortText GetUptimeText() {
    return UptimeText(platform::current().system->tickCount());
}

bool IsWindowsNT() {
    return platform::current().system->versionRecord().platformId ==
           platform::VER_PLATFORM_WIN32_NT;
}

std::int64_t PrevIdleTime = 0;
std::int64_t PrevKernelTime = 0;
std::int64_t PrevUserTime = 0;

namespace {

std::int64_t checkedAdd(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        throw std::overflow_error("Integer overflow");
    return sum;
}

std::int64_t checkedSubtract(std::int64_t a, std::int64_t b) {
    std::int64_t difference = 0;
    if (__builtin_sub_overflow(a, b, &difference))
        throw std::overflow_error("Integer overflow");
    return difference;
}

} // namespace

std::int32_t GetNTCPUUsage() {
    const auto processors = platform::current().system->processorTimes();
    if (processors.empty())
        throw std::runtime_error("Processor time counters cannot be read");
    // One entry would measure the first processor only; the machine's load is every processor's.
    std::int64_t idle = 0, kernel = 0, user = 0;
    for (const auto& times : processors) {
        idle = checkedAdd(idle, times.idle);
        kernel = checkedAdd(kernel, times.kernel);
        user = checkedAdd(user, times.user);
    }
    const std::int64_t kernelDelta = checkedSubtract(kernel, PrevKernelTime);
    const std::int64_t userDelta = checkedSubtract(user, PrevUserTime);
    const std::int64_t total = checkedAdd(kernelDelta, userDelta);
    const std::int64_t idleDelta = checkedSubtract(idle, PrevIdleTime);
    PrevUserTime = user;
    PrevKernelTime = kernel;
    PrevIdleTime = idle;
    if (total == 0)
        throw std::domain_error("Division by zero");
    std::int64_t busy = 0;
    if (__builtin_mul_overflow(checkedSubtract(total, idleDelta), std::int64_t{100}, &busy))
        throw std::overflow_error("Integer overflow");
    const std::int64_t percent = busy / total;
    if (percent < INT32_MIN || percent > INT32_MAX)
        throw std::range_error("Range check error");
    return static_cast<std::int32_t>(percent);
}

std::int32_t Get9xCPUUsage() {
    static const std::string key = "PerfStats\\StatData";
    static const std::string value = "KERNEL\\CPUUsage";
    try {
        platform::TRegistry registry(platform::HKEY_DYN_DATA);
        if (!registry.OpenKeyReadOnly(key))
            return 0;
        return registry.ReadInteger(value);
    } catch (const platform::ERegistryException&) {
        return 0;
    }
}

} // namespace brenvik
