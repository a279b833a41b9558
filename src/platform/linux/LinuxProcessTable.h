#pragma once

// The Linux process table over a proc file system. Its root and the desktop-entry folders are
// parameters so that tests can read a fixture tree instead of the machine's.
//
// Priority classes on Linux: reading, the real-time policies (FIFO, RR, deadline) give realtime,
// SCHED_IDLE gives idle, otherwise the nice value decides: -20..-11 high, -10..-1 above normal,
// 0 normal, 1..10 below normal, 11..19 idle. Setting, realtime is SCHED_RR; the other classes are
// nice -15 (high), -5 (above normal), 0, 5 (below normal) and 19 (idle). A class is set thread by
// thread, and threads that already run a real-time policy keep their own schedule.

#include "platform/AtomicFile.h"
#include "platform/ProcessTable.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace brenvik::platform {

// The fields of /proc/PID/stat the table uses.
struct ProcStat {
    std::string name; // between the first '(' and the last ')': names may hold both
    char state = '?';
    std::uint32_t flags = 0;
    int nice = 0;
    std::uint32_t threads = 0;
    std::uint64_t startTime = 0;     // clock ticks after boot
    std::uint64_t residentPages = 0; // the same count as statm's second field
    int policy = 0;
};
// False when the text is not a stat line.
bool parseProcStat(std::string_view text, ProcStat& stat);

std::uint32_t priorityClassFor(int policy, int nice);

struct LinuxSchedule {
    int policy = 0;
    int nice = 0; // for SCHED_OTHER only
};
// The schedule a class is set as; none for a value that names no class.
std::optional<LinuxSchedule> scheduleFor(std::uint32_t priorityClass);

// One thread's schedule as the kernel reports it.
struct ThreadSchedule {
    int policy = 0;   // SCHED_RESET_ON_FORK included when set
    int priority = 0; // the real-time priority
    int nice = 0;
    bool operator==(const ThreadSchedule&) const = default;
};
// The schedule a thread is given when its process is set to a class (a valid one). A thread that
// runs a real-time policy keeps its own: when realtime is asked it has it already (the result is
// its own schedule), for any other class it keeps it as it is (none). Other threads keep
// SCHED_BATCH, and SCHED_IDLE for the idle class, and their reset-on-fork flag.
std::optional<ThreadSchedule> threadScheduleFor(const ThreadSchedule& current,
                                                std::uint32_t priorityClass);

// Reads and changes the schedules of threads: the kernel's, or a test's.
class ThreadScheduler {
public:
    virtual ~ThreadScheduler() = default;
    // None when the thread cannot be read (it has ended).
    virtual std::optional<ThreadSchedule> read(int threadId) = 0;
    // 0, or the error that refused the change; a refused change leaves the thread as it was.
    virtual int write(int threadId, const ThreadSchedule& from, const ThreadSchedule& to) = 0;
};
// Sets a process's threads to a class. True when every thread that still runs has its schedule
// for the class (threads kept at real time aside) and at least one runs the class. When a thread
// refuses, the threads already changed are put back and the result is false.
bool setThreadsPriorityClass(ThreadScheduler& scheduler, const std::vector<int>& threadIds,
                             std::uint32_t priorityClass);

// Executables and the icons of the desktop entries that start them.
class DesktopIconIndex {
public:
    explicit DesktopIconIndex(const std::vector<std::filesystem::path>& applicationDirs);
    // By full path first, then by the bare name an entry starts through the search path.
    std::string iconFor(const std::string& executable) const;

private:
    void addEntry(const std::filesystem::path& file);
    std::map<std::string, std::string, std::less<>> icons_;
};

class LinuxProcessTable : public ProcessTable {
public:
    // Empty applicationDirs: the XDG application folders, read when the first icon is asked for.
    explicit LinuxProcessTable(std::filesystem::path procRoot = "/proc",
                               std::vector<std::filesystem::path> applicationDirs = {});
    ~LinuxProcessTable() override;
    LinuxProcessTable(const LinuxProcessTable&) = delete;
    LinuxProcessTable& operator=(const LinuxProcessTable&) = delete;

    std::vector<ProcessEntry> snapshot() override;
    std::string modulePath(std::uint32_t processId) override;
    std::uint32_t priorityClass(std::uint32_t processId) override;
    bool setPriorityClass(std::uint32_t processId, std::uint64_t startTime,
                          std::uint32_t priorityClass) override;
    std::uint64_t memoryUsage(std::uint32_t processId) override;
    std::uint32_t terminate(std::uint32_t processId, std::uint64_t startTime) override;
    bool terminateWithDebugPrivilege(std::uint32_t processId, std::uint64_t startTime) override;
    std::string ownExecutablePath() override;
    std::string iconFor(const std::string& executable) override;

private:
    const char* relativePath(std::uint32_t processId, const char* name);
    // Reads root/PID/NAME into buffer_; false when it cannot be read.
    bool readProcFile(std::uint32_t processId, const char* name);
    std::string readExeLink(const char* relativeDirectory);
    // Opens the process a snapshot listed as a pidfd, into `process`, with its stat in `stat`:
    // 0 when it is that process and it has not ended, otherwise the code terminate() answers.
    std::uint32_t openListed(std::uint32_t processId, std::uint64_t startTime, UniqueFd& process,
                             ProcStat& stat);
    std::vector<int> threadIds(std::uint32_t processId);

    // The priority class and resident size the latest snapshot read from each stat line. Each is
    // answered once, to the refresh that took the snapshot, which spares it a second read of
    // the most expensive file; any later question reads the process again.
    struct SnapshotFigures {
        std::uint32_t priorityClass = 0;
        std::uint64_t memoryUsage = 0;
        bool priorityUnread = false;
        bool memoryUnread = false;
    };
    std::unordered_map<std::uint32_t, SnapshotFigures> snapshotFigures_;
    int rootFd_;
    std::vector<std::filesystem::path> applicationDirs_;
    std::optional<DesktopIconIndex> icons_;
    std::string buffer_;
    char path_[64] = {};
};

} // namespace brenvik::platform
