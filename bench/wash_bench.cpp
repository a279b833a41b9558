// Wash throughput: the engine (worker thread, wash lock, block list, progress bookkeeping and the
// allocator's safety reserve) against the bare per-block reference measured in the same run: map
// each 1 MiB block with MAP_POPULATE, zero-fill it, keep it, then unmap them all.
//
// Both sides are checked against the optimiser: the process's anonymous memory must rise by N MiB
// at the peak and fall back afterwards, or the run fails.

#include "BenchTable.h"
#include "memory/RelThrd.h"
#include "platform/BlockAllocator.h"
#include "platform/linux/LinuxBlockAllocator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/mman.h>
#include <sys/sysinfo.h>
#include <vector>

namespace {

using namespace brenvik;
using Clock = std::chrono::steady_clock;
using platform::WashBlockSize;

constexpr int Rounds = 5;
// The peak must show at least this share of the blocks as anonymous memory.
constexpr double PeakShare = 0.98;

std::int64_t rssAnonKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("RssAnon:", 0) == 0)
            return std::stoll(line.substr(8));
    return -1;
}

struct Peak {
    std::int64_t before = 0;
    std::int64_t peak = 0;
    std::int64_t after = 0;
    bool holds(int blocks) const {
        return peak - before >= static_cast<std::int64_t>(PeakShare * blocks * 1024) &&
               after - before < 16 * 1024;
    }
};

// The reference; `peak` is filled when given (outside the timed runs).
double referenceSeconds(int blocks, Peak* peak = nullptr) {
    std::vector<void*> held(static_cast<std::size_t>(blocks));
    if (peak != nullptr)
        peak->before = rssAnonKiB();
    const Clock::time_point start = Clock::now();
    for (void*& block : held) {
        block = mmap(nullptr, WashBlockSize, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
        if (block == MAP_FAILED) {
            std::perror("mmap");
            std::exit(1);
        }
        std::memset(block, 0, WashBlockSize);
    }
    if (peak != nullptr)
        peak->peak = rssAnonKiB();
    for (void* block : held)
        munmap(block, WashBlockSize);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (peak != nullptr)
        peak->after = rssAnonKiB();
    return seconds;
}

// A visible wash's windows that cost what a call through the interface costs, and can sample the
// peak.
class BenchWindows : public NoWashWindows {
public:
    BenchWindows(int blocks, Peak* peak) : blocks_(blocks), peak_(peak) {}
    bool mainWindowVisible() override { return true; }
    void setBarTotal(int total) override { total_ = total; }
    void advanceBar() override {
        if (++parts_ == blocks_ && peak_ != nullptr)
            peak_->peak = rssAnonKiB();
    }
    int parts() const { return parts_; }

private:
    int blocks_;
    Peak* peak_;
    int total_ = 0;
    int parts_ = 0;
};

double engineSeconds(int blocks, Peak* peak = nullptr) {
    auto windows = std::make_shared<BenchWindows>(blocks, peak);
    if (peak != nullptr)
        peak->before = rssAnonKiB();
    const Clock::time_point start = Clock::now();
    TRelocateThread worker(blocks, windows);
    worker.Start();
    worker.WaitFor();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (peak != nullptr)
        peak->after = rssAnonKiB();
    if (worker.result().obtained != blocks || windows->parts() != 2 * blocks) {
        std::fprintf(stderr, "wash of %d blocks obtained %d (%s)\n", blocks,
                     worker.result().obtained, washStopName(worker.result().stop));
        std::exit(1);
    }
    return seconds;
}

// The best of the rounds: on a shared machine the slower rounds measure the neighbours.
double best(const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
}

// Nanoseconds per call of a cheap measurement.
template <typename F> double nanosecondsPerCall(F call) {
    constexpr int Calls = 2000;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < Calls; ++i)
        call();
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / Calls;
}

} // namespace

int main() {
    bool ok = true;
    std::printf("%-28s %14s %14s %8s\n", "benchmark", "ours", "reference", "ratio");
    for (const int blocks : {256, 1024, 4096}) {
        Peak referencePeak, enginePeak;
        referenceSeconds(blocks, &referencePeak);
        engineSeconds(blocks, &enginePeak);
        if (!referencePeak.holds(blocks) || !enginePeak.holds(blocks)) {
            std::fprintf(stderr,
                         "wash %d: anonymous memory KiB reference %lld/%lld/%lld engine "
                         "%lld/%lld/%lld (before/peak/after)\n",
                         blocks, (long long)referencePeak.before, (long long)referencePeak.peak,
                         (long long)referencePeak.after, (long long)enginePeak.before,
                         (long long)enginePeak.peak, (long long)enginePeak.after);
            ok = false;
        }
        std::vector<double> reference, engine;
        for (int round = 0; round < Rounds; ++round) {
            reference.push_back(referenceSeconds(blocks));
            engine.push_back(engineSeconds(blocks));
        }
        const double gib = blocks / 1024.0;
        const double ours = gib / best(engine);
        const double theirs = gib / best(reference);
        const std::string name = "wash " + std::to_string(blocks) + " MiB (GiB/s)";
        std::printf("%-28s %14.2f %14.2f %8.3f\n", name.c_str(), ours, theirs, ours / theirs);
        brenvik::bench::printRow(name, ours, theirs, "GiB/s");
    }
    // What one look at the available memory costs; the allocator takes one every 64 blocks.
    const double meminfo = nanosecondsPerCall([] { (void)platform::measureReserveFigures(); });
    const double sysinfoCall = nanosecondsPerCall([] {
        struct sysinfo info {};
        sysinfo(&info);
    });
    std::printf("%-28s %14.0f %14.0f %8.3f\n", "reserve figure (ns/call)", meminfo, sysinfoCall,
                meminfo / sysinfoCall);
    return ok ? 0 : 1;
}
