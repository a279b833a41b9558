// Startup store costs for a list of 10,000 entries: encoding and decoding in memory, and the
// whole save (temporary file, flush to disk, rename) and load through the file system.

#include "BenchTable.h"
#include "startup/StartupStore.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace brenvik;
namespace fs = std::filesystem;

constexpr int Entries = 10000;

// Typical entries, with a few long and non-ASCII texts among them so every text form is paid for.
void fill(TStartupList& list, int entries) {
    for (int i = 0; i < entries; ++i) {
        auto item = std::make_unique<TStartupItem>();
        item->SetName(i % 50 == 0 ? "Caf\xC3\xA9 " + std::to_string(i) : "App" + std::to_string(i));
        item->SetEnabled(i % 3 != 0);
        item->SetCommandLine(i % 100 == 0 ? std::string(300, 'x')
                                          : "/usr/bin/app" + std::to_string(i) + " --minimized");
        item->SetLocation(
            i % 2 ? "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"
                  : "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
        list.Add(std::move(item));
    }
}

void BM_Encode(benchmark::State& state) {
    TStartupList list;
    fill(list, Entries);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const auto encoded = encodeStartupStore(list);
        bytes = encoded.size();
        benchmark::DoNotOptimize(encoded.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_Encode)->Unit(benchmark::kMillisecond);

void BM_Decode(benchmark::State& state) {
    TStartupList list;
    fill(list, Entries);
    const auto encoded = encodeStartupStore(list);
    for (auto _ : state) {
        const TStoreContents contents = decodeStartupStore(encoded);
        benchmark::DoNotOptimize(contents.items.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * encoded.size()));
}
BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond);

void BM_SaveToFile(benchmark::State& state) {
    brenvik::bench::TempFolder folder;
    TStartupList list;
    fill(list, Entries);
    for (auto _ : state)
        benchmark::DoNotOptimize(list.SaveToFile(folder.path() / "startup.dat").saved);
}
BENCHMARK(BM_SaveToFile)->Unit(benchmark::kMillisecond);

void BM_LoadFromFile(benchmark::State& state) {
    brenvik::bench::TempFolder folder;
    TStartupList stored;
    fill(stored, Entries);
    stored.SaveToFile(folder.path() / "startup.dat");
    for (auto _ : state) {
        TStartupList list;
        benchmark::DoNotOptimize(list.LoadFromFile(folder.path() / "startup.dat").outcome);
    }
}
BENCHMARK(BM_LoadFromFile)->Unit(benchmark::kMillisecond);

// The references: the same bytes written the way a save does and read back whole.
void BM_RawSave(benchmark::State& state) {
    brenvik::bench::TempFolder folder;
    TStartupList list;
    fill(list, Entries);
    const auto encoded = encodeStartupStore(list);
    const std::string bytes(encoded.begin(), encoded.end());
    const std::string file = (folder.path() / "startup.dat").string();
    for (auto _ : state)
        brenvik::bench::atomicWrite(file, bytes);
}
BENCHMARK(BM_RawSave)->Unit(benchmark::kMillisecond);

void BM_RawLoad(benchmark::State& state) {
    brenvik::bench::TempFolder folder;
    TStartupList list;
    fill(list, Entries);
    const auto encoded = encodeStartupStore(list);
    const std::string file = (folder.path() / "startup.dat").string();
    brenvik::bench::atomicWrite(file, std::string(encoded.begin(), encoded.end()));
    for (auto _ : state)
        benchmark::DoNotOptimize(brenvik::bench::readWhole(file));
}
BENCHMARK(BM_RawLoad)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    using brenvik::bench::printRow;
    const auto results = brenvik::bench::runBenchmarks(argc, argv);
    printRow("store save, 10,000 entries (ms)", results.time("BM_SaveToFile") / 1e6,
             results.time("BM_RawSave") / 1e6, "ms");
    printRow("store load, 10,000 entries (ms)", results.time("BM_LoadFromFile") / 1e6,
             results.time("BM_RawLoad") / 1e6, "ms");
    return 0;
}
