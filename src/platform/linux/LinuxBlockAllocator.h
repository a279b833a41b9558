#pragma once

// Wash blocks as anonymous private mappings of their own, with a safety reserve: Linux
// overcommits, so obtaining a block almost never fails, and zero-filling more than the machine
// can hold would wake the out-of-memory killer, which ends some other program. The allocator
// therefore refuses a block when taking it would leave less available memory (swap counted) than
// the reserve: the larger of 256 MiB and 2 % of physical memory plus swap.

#include "platform/BlockAllocator.h"

#include <cstdint>
#include <functional>

namespace brenvik::platform {

struct ReserveFigures {
    std::uint64_t available = 0; // available physical memory plus free swap, bytes
    std::uint64_t total = 0;     // physical memory plus swap, bytes
};

// The figures from /proc/meminfo, or from sysinfo() when that cannot be read.
ReserveFigures measureReserveFigures();

class LinuxBlockAllocator : public BlockAllocator {
public:
    using Measure = std::function<ReserveFigures()>;

    // Between two measurements the allocator counts what it took itself; another program that
    // takes memory in the meantime eats into the reserve, never past it, for at most this many
    // blocks.
    static constexpr int BlocksBetweenMeasures = 64;
    static constexpr std::uint64_t MinimumReserve = 256ull << 20;

    explicit LinuxBlockAllocator(Measure measure = measureReserveFigures);

    BlockGrant obtain() override;
    bool release(std::byte* block) override;

    static std::uint64_t reserveFor(std::uint64_t total);
    int measurements() const { return measurements_; }

private:
    bool reserveAllows();
    void remeasure();

    Measure measure_;
    std::uint64_t measuredAvailable_ = 0;
    std::uint64_t reserve_ = 0;
    int takenSinceMeasure_ = -1; // -1: no figure yet, or a stale one from an earlier wash
    std::size_t held_ = 0;
    int measurements_ = 0;
};

} // namespace brenvik::platform
