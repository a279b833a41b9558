// The two ticks that run all day, also in the tray: one memory tick (read /proc/meminfo, parse,
// compute the page's figures and texts) and one processor tick (the sampler's routine through the
// registry accessor to the /proc/stat provider). Each is measured beside the bare read of the
// same /proc file in the same run, and counts its heap allocations per tick.

#include "BenchTable.h"
#include "common/FileUtils.h"
#include "memory/MemoryMonitor.h"
#include "platform/Platform.h"
#include "platform/Registry.h"
#include "platform/SystemStatus.h"
#include "platform/linux/CpuUsageProvider.h"
#include "platform/linux/LinuxServices.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <new>
#include <unistd.h>

namespace {

std::atomic<long> allocations{0};

} // namespace

// Counting replacements of the global allocator; GCC takes the malloc and free inside them for a
// mismatch with the new and delete they replace.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* block = std::malloc(size == 0 ? 1 : size))
        return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

namespace {

using namespace brenvik;
using Clock = std::chrono::steady_clock;

// The kernel's own cost: open, read and close the file into a fixed buffer.
void bareRead(const char* path) {
    static char buffer[16384];
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    while (::read(fd, buffer, sizeof buffer) > 0) {
    }
    ::close(fd);
    benchmark::DoNotOptimize(buffer);
}

// Runs `tick` and the bare read alternately and reports both, their ratio and the allocations
// of one tick.
template <typename Tick> void measure(benchmark::State& state, const char* path, Tick tick) {
    tick(); // warm the reused buffers
    Clock::duration tickTime{}, bareTime{};
    long tickAllocations = 0, ticks = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const long before = allocations.load(std::memory_order_relaxed);
        tick();
        tickAllocations += allocations.load(std::memory_order_relaxed) - before;
        const auto middle = Clock::now();
        bareRead(path);
        bareTime += Clock::now() - middle;
        tickTime += middle - start;
        ++ticks;
    }
    const auto micros = [&](Clock::duration time) {
        return std::chrono::duration<double, std::micro>(time).count() / static_cast<double>(ticks);
    };
    state.counters["tick_us"] = micros(tickTime);
    state.counters["bare_read_us"] = micros(bareTime);
    state.counters["ratio"] = micros(tickTime) / micros(bareTime);
    state.counters["allocs_per_tick"] =
        static_cast<double>(tickAllocations) / static_cast<double>(ticks);
}

void BM_MemoryTick(benchmark::State& state) {
    auto system = platform::makeLinuxSystemStatus();
    measure(state, "/proc/meminfo", [&] {
        const auto figures = MemoryFigures::from(system->memoryStatus());
        auto texts = memoryTickTexts(figures, system->tickCount());
        benchmark::DoNotOptimize(texts);
    });
}
BENCHMARK(BM_MemoryTick);

void BM_ProcessorTick(benchmark::State& state) {
    platform::Platform machine;
    machine.registry = std::make_unique<platform::Registry>();
    machine.registry->mount(platform::HKEY_DYN_DATA, platform::CpuUsageKeyPath,
                            std::make_shared<platform::CpuUsageProvider>());
    machine.system = platform::makeLinuxSystemStatus();
    platform::ScopedPlatform scope(machine);
    measure(state, "/proc/stat", [] {
        std::int32_t load = IsWindowsNT() ? GetNTCPUUsage() : Get9xCPUUsage();
        benchmark::DoNotOptimize(load);
    });
}
BENCHMARK(BM_ProcessorTick);

// The provider alone: what the processor tick costs without the registry accessor around it.
void BM_ProcessorProvider(benchmark::State& state) {
    platform::CpuUsageProvider provider;
    measure(state, "/proc/stat", [&] {
        auto value = provider.value(platform::CpuUsageValueName);
        benchmark::DoNotOptimize(value);
    });
}
BENCHMARK(BM_ProcessorProvider);

} // namespace

int main(int argc, char** argv) {
    using brenvik::bench::printRow;
    const auto results = brenvik::bench::runBenchmarks(argc, argv);
    for (const auto& [name, label] : {std::pair{"BM_MemoryTick", "memory tick (us)"},
                                      std::pair{"BM_ProcessorTick", "processor tick (us)"}})
        printRow(label, results.counter(name, "tick_us"), results.counter(name, "bare_read_us"),
                 "us");
    return 0;
}
