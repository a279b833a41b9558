#include "platform/linux/LinuxBlockAllocator.h"

#include "platform/linux/LinuxServices.h"
#include "platform/linux/LinuxSystemStatus.h"
#include "platform/linux/ProcFile.h"

#include <algorithm>
#include <string>
#include <sys/mman.h>
#include <sys/sysinfo.h>

namespace brenvik::platform {

ReserveFigures measureReserveFigures() {
    // Kept between calls so that the measurements of one wash allocate nothing after the first.
    thread_local std::string buffer;
    if (readSmallFile("/proc/meminfo", buffer)) {
        const MemoryStatus status = parseMeminfo(buffer);
        if (status.totalPhys > 0)
            return {status.availPhys + status.swapFree, status.totalPhys + status.swapTotal};
    }
    struct sysinfo info {};
    if (sysinfo(&info) != 0)
        return {};
    const std::uint64_t unit = info.mem_unit;
    return {(std::uint64_t{info.freeram} + info.bufferram + info.freeswap) * unit,
            (std::uint64_t{info.totalram} + info.totalswap) * unit};
}

LinuxBlockAllocator::LinuxBlockAllocator(Measure measure) : measure_(std::move(measure)) {}

std::uint64_t LinuxBlockAllocator::reserveFor(std::uint64_t total) {
    return std::max(MinimumReserve, total / 50);
}

void LinuxBlockAllocator::remeasure() {
    const ReserveFigures figures = measure_();
    measuredAvailable_ = figures.available;
    reserve_ = reserveFor(figures.total);
    takenSinceMeasure_ = 0;
    ++measurements_;
}

bool LinuxBlockAllocator::reserveAllows() {
    if (takenSinceMeasure_ < 0 || takenSinceMeasure_ >= BlocksBetweenMeasures)
        remeasure();
    const auto estimate = [this] {
        const std::uint64_t taken = std::uint64_t(takenSinceMeasure_) * WashBlockSize;
        return measuredAvailable_ > taken ? measuredAvailable_ - taken : 0;
    };
    if (estimate() >= reserve_ + WashBlockSize)
        return true;
    // Never refuse on an estimate: the system may have freed memory since the last figure.
    if (takenSinceMeasure_ > 0)
        remeasure();
    return estimate() >= reserve_ + WashBlockSize;
}

BlockGrant LinuxBlockAllocator::obtain() {
    if (!reserveAllows())
        return {nullptr, BlockRefusal::Reserve};
    // Populating at once spares one page fault per page when the block is written.
    void* block = mmap(nullptr, WashBlockSize, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (block == MAP_FAILED)
        return {nullptr, BlockRefusal::Failed};
    ++takenSinceMeasure_;
    ++held_;
    return {static_cast<std::byte*>(block), BlockRefusal::None};
}

bool LinuxBlockAllocator::release(std::byte* block) {
    if (block == nullptr || munmap(block, WashBlockSize) != 0)
        return false;
    if (held_ > 0 && --held_ == 0)
        takenSinceMeasure_ = -1; // the next wash starts from a fresh figure
    return true;
}

std::unique_ptr<BlockAllocator> makeLinuxBlockAllocator() {
    return std::make_unique<LinuxBlockAllocator>();
}

} // namespace brenvik::platform
