// Stored-hive costs: a read through the registry (a stat when nothing changed), a read after
// another copy saved (reload and parse), a locked read-modify-write with its atomic save, and
// formatting and parsing a settings-sized and a large hive.

#include "BenchTable.h"
#include "platform/HiveFile.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace brenvik::platform;
namespace fs = std::filesystem;

constexpr const char* Key = "Software\\Orlevo\\Brenvik\\Settings";

std::unique_ptr<Registry> registryOn(const fs::path& file) {
    auto registry = std::make_unique<Registry>();
    registry->setHive(HKEY_LOCAL_MACHINE, std::make_shared<HiveFile>(file, "HKEY_LOCAL_MACHINE"));
    return registry;
}

void fill(Registry& registry, int values) {
    HKEY key = 0;
    registry.openKey(HKEY_LOCAL_MACHINE, Key, true, key);
    for (int i = 0; i < values; ++i)
        registry.setValue(key, "Value" + std::to_string(i),
                          RegValue::dword(static_cast<std::uint32_t>(i)));
    registry.closeKey(key);
}

Hive::Keys keysOf(int values) {
    Hive::Keys keys;
    auto& key = keys[Registry::foldPath(Key)];
    key.name = Key;
    for (int i = 0; i < values; ++i)
        key.values.emplace_back(
            "Value" + std::to_string(i),
            i % 2 ? RegValue::dword(static_cast<std::uint32_t>(i))
                  : RegValue::string("C:\\Program Files\\\"x\"\\" + std::to_string(i)));
    return keys;
}

void BM_ReadUnchanged(benchmark::State& state) {
    brenvik::bench::TempFolder folder;
    auto registry = registryOn(folder.path() / "hive.reg");
    fill(*registry, static_cast<int>(state.range(0)));
    HKEY key = 0;
    registry->openKey(HKEY_LOCAL_MACHINE, Key, false, key);
    RegValue value;
    for (auto _ : state)
        benchmark::DoNotOptimize(registry->queryValue(key, "Value0", value));
}
BENCHMARK(BM_ReadUnchanged)->Arg(9)->Arg(1000);

void BM_ReadAfterAnotherCopySaved(benchmark::State& state) {
    brenvik::bench::TempFolder folder;
    auto reader = registryOn(folder.path() / "hive.reg");
    auto writer = registryOn(folder.path() / "hive.reg");
    fill(*writer, static_cast<int>(state.range(0)));
    HKEY readKey = 0;
    HKEY writeKey = 0;
    reader->openKey(HKEY_LOCAL_MACHINE, Key, false, readKey);
    writer->openKey(HKEY_LOCAL_MACHINE, Key, false, writeKey);
    RegValue value;
    std::uint32_t n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        writer->setValue(writeKey, "Value0", RegValue::dword(++n));
        state.ResumeTiming();
        benchmark::DoNotOptimize(reader->queryValue(readKey, "Value0", value));
    }
}
BENCHMARK(BM_ReadAfterAnotherCopySaved)->Arg(9)->Arg(1000);

void BM_WriteValue(benchmark::State& state) {
    brenvik::bench::TempFolder folder;
    auto registry = registryOn(folder.path() / "hive.reg");
    fill(*registry, static_cast<int>(state.range(0)));
    HKEY key = 0;
    registry->openKey(HKEY_LOCAL_MACHINE, Key, false, key);
    std::uint32_t n = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(registry->setValue(key, "Value0", RegValue::dword(++n)));
}
BENCHMARK(BM_WriteValue)->Arg(9)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_Format(benchmark::State& state) {
    const auto keys = keysOf(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(HiveFile::format("HKEY_LOCAL_MACHINE", keys));
}
BENCHMARK(BM_Format)->Arg(9)->Arg(1000);

void BM_Parse(benchmark::State& state) {
    const std::string text =
        HiveFile::format("HKEY_LOCAL_MACHINE", keysOf(static_cast<int>(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(HiveFile::parse("HKEY_LOCAL_MACHINE", text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_Parse)->Arg(9)->Arg(1000);

// The reference of a write: the same hive text saved the way an atomic save does, without the
// registry, the lock and the reload check around it.
void BM_RawAtomicWrite(benchmark::State& state) {
    brenvik::bench::TempFolder folder;
    const std::string text =
        HiveFile::format("HKEY_LOCAL_MACHINE", keysOf(static_cast<int>(state.range(0))));
    const std::string file = (folder.path() / "hive.reg").string();
    for (auto _ : state)
        brenvik::bench::atomicWrite(file, text);
}
BENCHMARK(BM_RawAtomicWrite)->Arg(9)->Arg(1000)->Unit(benchmark::kMicrosecond);

// The reference of a reload: reading the same hive text from the file.
void BM_RawRead(benchmark::State& state) {
    brenvik::bench::TempFolder folder;
    const std::string file = (folder.path() / "hive.reg").string();
    brenvik::bench::atomicWrite(
        file, HiveFile::format("HKEY_LOCAL_MACHINE", keysOf(static_cast<int>(state.range(0)))));
    for (auto _ : state)
        benchmark::DoNotOptimize(brenvik::bench::readWhole(file));
}
BENCHMARK(BM_RawRead)->Arg(9)->Arg(1000);

} // namespace

int main(int argc, char** argv) {
    using brenvik::bench::printRow;
    const auto results = brenvik::bench::runBenchmarks(argc, argv);
    for (const char* values : {"9", "1000"}) {
        const std::string arg = std::string("/") + values;
        printRow(std::string("hive write, ") + values + " values (us)",
                 results.time("BM_WriteValue" + arg) / 1e3,
                 results.time("BM_RawAtomicWrite" + arg) / 1e3, "us");
        printRow(std::string("hive reload, ") + values + " values (us)",
                 results.time("BM_ReadAfterAnotherCopySaved" + arg) / 1e3,
                 results.time("BM_RawRead" + arg) / 1e3, "us");
    }
    return 0;
}
