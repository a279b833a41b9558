// Process list refresh on a busy table: about 500 extra processes run while the model refreshes
// (icons from the cached desktop-entry index included), side by side with `ps` reading the same
// table in the same run. Target: the refresh costs at most 0.6 of the `ps` run.

#include "BenchTable.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxProcessTable.h"
#include "processes/ProcessClass.h"

#include <benchmark/benchmark.h>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace brenvik;

constexpr int ExtraProcesses = 500;

// Both sides are timed by the processor time they use (user and system), so that other work on
// a busy machine does not decide the ratio.
double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double childrenSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// `sleep` children that keep the table busy; killed and reaped when the object goes.
class Sleepers {
public:
    explicit Sleepers(int count) {
        char* argv[] = {const_cast<char*>("sleep"), const_cast<char*>("600"), nullptr};
        for (int i = 0; i < count; ++i) {
            pid_t pid = 0;
            if (posix_spawnp(&pid, "sleep", nullptr, nullptr, argv, environ) == 0)
                children_.push_back(pid);
        }
    }
    ~Sleepers() {
        for (pid_t pid : children_)
            kill(pid, SIGKILL);
        for (pid_t pid : children_)
            waitpid(pid, nullptr, 0);
    }
    std::size_t size() const { return children_.size(); }

private:
    std::vector<pid_t> children_;
};

// Stands for the page's image list: the first image is the default icon.
class Images : public TImageList {
public:
    int Count() const override { return static_cast<int>(icons_.size()); }
    void Delete(int index) override { icons_.erase(icons_.begin() + index); }
    int AddIcon(const std::string& icon) override {
        if (icon.empty())
            return -1;
        icons_.push_back(icon);
        return Count() - 1;
    }

private:
    std::vector<std::string> icons_{"default"};
};

void BM_ModelRefresh(benchmark::State& state) {
    platform::Platform linux;
    linux.processes = std::make_unique<platform::LinuxProcessTable>();
    platform::ScopedPlatform scope(linux);
    Images images;
    TProcessList list(images, "default");
    list.Refresh(); // builds the icon index, as the start-up refresh does
    for (auto _ : state) {
        const double start = threadSeconds();
        list.Refresh();
        for (int i = 0; i < list.Count(); ++i)
            images.AddIcon(list.Items(i).Icon());
        benchmark::DoNotOptimize(list.Count());
        state.SetIterationTime(threadSeconds() - start);
    }
    state.counters["processes"] = list.Count();
}

void BM_Ps(benchmark::State& state) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>("ps"), const_cast<char*>("-eo"),
                    const_cast<char*>("pid,nlwp,ni,rss,comm,args"), nullptr};
    for (auto _ : state) {
        const double start = childrenSeconds();
        pid_t pid = 0;
        if (posix_spawnp(&pid, "ps", &actions, nullptr, argv, environ) != 0) {
            state.SkipWithError("ps cannot be started");
            break;
        }
        waitpid(pid, nullptr, 0);
        state.SetIterationTime(childrenSeconds() - start);
    }
    posix_spawn_file_actions_destroy(&actions);
}

// Keeps each benchmark's mean real time so that the ratio can be printed after the run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (!run.error_occurred && run.run_type == Run::RT_Iteration)
                times[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const Sleepers sleepers(ExtraProcesses);
    std::printf("extra processes running: %zu\n", sleepers.size());
    benchmark::RegisterBenchmark("BM_ModelRefresh", BM_ModelRefresh)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_Ps", BM_Ps)->UseManualTime()->Unit(benchmark::kMillisecond);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto model = reporter.times.find("BM_ModelRefresh");
    const auto ps = reporter.times.find("BM_Ps");
    if (model != reporter.times.end() && ps != reporter.times.end() && ps->second > 0) {
        std::printf("refresh / ps (processor time) = %.2f (target at most 0.60)\n",
                    model->second / ps->second);
        brenvik::bench::printRow("process refresh vs ps (ms CPU)", model->second, ps->second, "ms");
    }
    benchmark::Shutdown();
    return 0;
}
