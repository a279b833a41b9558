#pragma once

// Size and duration texts and the processor-load routines.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace brenvik {

// A short text held inline, so that the figures rewritten every second allocate nothing.
class ShortText {
public:
    static constexpr std::size_t Capacity = 48;

    std::string_view view() const { return {data_.data(), size_}; }
    const char* data() const { return data_.data(); }
    std::size_t size() const { return size_; }
    std::string str() const { return std::string(view()); }

    // Appends what fits; the rest is cut off.
    void append(std::string_view text);
    void appendNumber(std::int64_t number);

    friend bool operator==(const ShortText& text, std::string_view other) {
        return text.view() == other;
    }

private:
    std::array<char, Capacity> data_{};
    std::size_t size_ = 0;
};

// The decimal separator of the user's regional settings (LC_ALL, LC_NUMERIC, LANG), read once;
// "." when the locale cannot be loaded.
const std::string& UserDecimalSeparator();

// "<value / unit> <unit>" with exactly two decimals, rounded half away from zero, no thousands
// separator and no padding; the unit switches at 1,024 bytes, 1,048,576 and 1,073,741,824. A
// negative value or NaN counts as 0.
std::string FormatSize(double value, bool longNames, std::string_view decimalSeparator);
std::string FormatSize(double value, bool longNames);

// Whole megabytes rounded up, then " MB".
ShortText FormatMegabytes(std::int64_t bytes);

// Days, hours, minutes and seconds of a number of milliseconds: "1 D 1 H 1 M 1 S ".
ShortText UptimeText(std::uint64_t milliseconds);
// The system's uptime from the platform's 64-bit tick count, which does not wrap after 49.7 days.
ShortText GetUptimeText();

// True when the platform's version record names the NT platform.
bool IsWindowsNT();

// The first sample's times, shared by the whole process and 0 at start, in 100 ns units. They sum
// the figures of every processor the counters report.
extern std::int64_t PrevIdleTime;
extern std::int64_t PrevKernelTime;
extern std::int64_t PrevUserTime;

// Processor load in percent since the previous call, from the platform's per-processor time
// counters, truncated toward zero. Throws std::runtime_error when the counters cannot be read,
// std::domain_error when no processor time passed, std::overflow_error when the 64-bit arithmetic
// overflows and std::range_error when the result does not fit 32 bits; the previous times are
// updated before the division.
std::int32_t GetNTCPUUsage();

// Processor load in percent from the dynamic performance data in the registry; 0 when it cannot
// be read.
std::int32_t Get9xCPUUsage();

} // namespace brenvik
