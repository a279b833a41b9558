#include "BenchTable.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace brenvik::bench {

namespace {

class KeepingReporter : public benchmark::ConsoleReporter {
public:
    // Plain text: the summary rows follow on the same stream and must start their lines.
    explicit KeepingReporter(Results& results) : ConsoleReporter(OO_Tabular), results_(results) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            const std::string name = run.benchmark_name();
            const double perIteration =
                run.iterations > 0 ? run.real_accumulated_time / static_cast<double>(run.iterations)
                                   : 0.0;
            results_.nanoseconds[name] = perIteration * 1e9;
            for (const auto& [counter, value] : run.counters)
                results_.counters[name][counter] = value.value;
        }
    }

private:
    Results& results_;
};

} // namespace

TempFolder::TempFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "brenvik-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr)
        path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    if (!path_.empty())
        std::filesystem::remove_all(path_, ignored);
}

void printRow(const std::string& name, double ours, double reference, const std::string& unit) {
    std::printf("TABLE\t%s\t%.4g\t%.4g\t%.3f\t%s\n", name.c_str(), ours, reference,
                reference != 0 ? ours / reference : 0.0, unit.c_str());
    std::fflush(stdout);
}

double Results::time(const std::string& name) const {
    const auto found = nanoseconds.find(name);
    return found == nanoseconds.end() ? 0.0 : found->second;
}

double Results::counter(const std::string& name, const std::string& counter) const {
    const auto found = counters.find(name);
    if (found == counters.end())
        return 0.0;
    const auto value = found->second.find(counter);
    return value == found->second.end() ? 0.0 : value->second;
}

Results runBenchmarks(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Results results;
    KeepingReporter reporter(results);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return results;
}

void atomicWrite(const std::string& path, const std::string& bytes) {
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote <= 0)
            break;
        done += static_cast<std::size_t>(wrote);
    }
    ::fsync(fd);
    ::close(fd);
    ::rename(temporary.c_str(), path.c_str());
}

std::string readWhole(const std::string& path) {
    std::string bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return bytes;
    char buffer[65536];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, static_cast<std::size_t>(got));
    ::close(fd);
    return bytes;
}

} // namespace brenvik::bench
