// A real wash on this machine after the page cache was filled: the report shows the cache the wash
// pushed out. The wash runs in a child process inside a memory control group of its own with a
// limit, so that a wash of about the file's size is enough to make the kernel reclaim that
// process's cache, without pressing on the rest of the machine.

#include "memory/RelThrd.h"
#include "memory/WashReport.h"
#include "support/TempHome.h"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace brenvik {
namespace {

namespace fs = std::filesystem;
constexpr std::size_t MB = 1 << 20;
constexpr std::size_t FileMB = 512;
constexpr int WashMB = 640;
constexpr std::size_t LimitMB = 900;

// A child memory control group (version 1 hierarchy, as this kind of machine has) that is removed
// again when the object goes; empty when none can be made here.
class MemoryGroup {
public:
    MemoryGroup() {
        std::ifstream cgroups("/proc/self/cgroup");
        std::string line;
        while (std::getline(cgroups, line)) {
            const auto at = line.find(":memory:");
            if (at == std::string::npos)
                continue;
            const fs::path parent = fs::path("/sys/fs/cgroup/memory") / line.substr(at + 9);
            const fs::path group = parent / ("brenvik-wash-test-" + std::to_string(getpid()));
            std::error_code error;
            if (!fs::create_directory(group, error))
                return;
            std::ofstream(group / "memory.limit_in_bytes") << LimitMB * MB;
            path_ = group;
        }
    }
    ~MemoryGroup() {
        if (!path_.empty())
            rmdir(path_.c_str());
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::size_t residentMB(const fs::path& file) {
    const int fd = open(file.c_str(), O_RDONLY);
    void* map = mmap(nullptr, FileMB * MB, PROT_READ, MAP_SHARED, fd, 0);
    close(fd);
    const long page = sysconf(_SC_PAGESIZE);
    std::vector<unsigned char> pages(FileMB * MB / static_cast<std::size_t>(page));
    mincore(map, FileMB * MB, pages.data());
    munmap(map, FileMB * MB);
    std::size_t resident = 0;
    for (unsigned char flags : pages)
        resident += flags & 1;
    return resident * static_cast<std::size_t>(page) / MB;
}

struct ChildFigures {
    int obtained = 0;
    std::int64_t cacheReleased = 0;
    std::size_t residentBefore = 0;
    std::size_t residentAfter = 0;
};

TEST(WashReportLinuxTest, WashPushesOutTheFileCacheAndTheReportSaysSo) {
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "a sanitizer's shadow memory would count against the group's limit";
#endif
    MemoryGroup group;
    if (group.path().empty())
        GTEST_SKIP() << "no memory control group can be made here";
    // On disk, not in a memory file system: its cache must be reclaimable.
    const fs::path folder = fs::path(std::getenv("BRENVIK_BINARY_DIR")) / "wash-cache-test";
    fs::create_directories(folder);
    const fs::path file = folder / ("cache-" + std::to_string(getpid()));
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    if (child == 0) {
        std::ofstream(group.path() / "cgroup.procs") << getpid();
        ChildFigures figures;
        {
            std::vector<char> chunk(MB, 'x');
            std::ofstream out(file, std::ios::binary);
            for (std::size_t i = 0; i < FileMB; ++i)
                out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        }
        // Written back and read again: clean pages in the cache, charged to this group.
        const int fd = open(file.c_str(), O_RDONLY);
        fsync(fd);
        std::vector<char> buffer(MB);
        while (read(fd, buffer.data(), buffer.size()) > 0) {
        }
        close(fd);
        figures.residentBefore = residentMB(file);
        TRelocateThread worker(WashMB, std::make_shared<NoWashWindows>());
        worker.Start();
        worker.WaitFor();
        const WashReport report = washReportOf(worker.result());
        figures.obtained = report.obtained;
        figures.cacheReleased = report.cacheReleased();
        figures.residentAfter = residentMB(file);
        (void)!write(pipeFds[1], &figures, sizeof figures);
        _exit(0);
    }
    close(pipeFds[1]);
    ChildFigures figures;
    const bool reported = read(pipeFds[0], &figures, sizeof figures) == sizeof figures;
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    fs::remove_all(folder);
    ASSERT_TRUE(reported) << "the child ended without its figures, status " << status;
    std::cout << "file pages resident before " << figures.residentBefore << " MB, after "
              << figures.residentAfter << " MB; cache released by the report "
              << figures.cacheReleased / static_cast<std::int64_t>(MB) << " MB\n";
    EXPECT_EQ(figures.obtained, WashMB);
    EXPECT_GE(figures.residentBefore, FileMB * 9 / 10);
    // The kernel had to make room inside the group's limit: the file's pages went.
    EXPECT_LE(figures.residentAfter + 200, figures.residentBefore)
        << figures.residentBefore << " MB resident before, " << figures.residentAfter << " after";
    // And the report, which reads the machine-wide figures, shows the cache released.
    EXPECT_GE(figures.cacheReleased, static_cast<std::int64_t>(128 * MB))
        << "cache released " << figures.cacheReleased / static_cast<std::int64_t>(MB) << " MB";
}

} // namespace
} // namespace brenvik
