#pragma once

// The summary rows of `make bench`. Every benchmark program prints, after its own output, one row
// per figure: our figure beside the reference it measured in the same run, and their ratio;
// scripts/bench.sh gathers the rows of all programs into one table.

#include <filesystem>
#include <map>
#include <string>

namespace brenvik::bench {

// Prints "TABLE<tab>name<tab>ours<tab>reference<tab>ratio<tab>unit".
void printRow(const std::string& name, double ours, double reference, const std::string& unit);

// What one run of the registered Google Benchmark benchmarks measured, by benchmark name with its
// arguments ("BM_WriteValue/9"): the mean real time of one iteration in nanoseconds, and the
// counters.
struct Results {
    std::map<std::string, double> nanoseconds;
    std::map<std::string, std::map<std::string, double>> counters;

    double time(const std::string& name) const;
    double counter(const std::string& name, const std::string& counter) const;
};

// Runs the registered benchmarks with the usual console output and keeps their figures.
Results runBenchmarks(int argc, char** argv);

// A fresh temporary folder for the lifetime of the object.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// References for file work: writing the same bytes the way an atomic save does (temporary file,
// fsync, rename) and reading a whole file.
void atomicWrite(const std::string& path, const std::string& bytes);
std::string readWhole(const std::string& path);

} // namespace brenvik::bench
