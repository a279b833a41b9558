#pragma once

// The Linux process table over a proc file system. Its root and the desktop-entry folders are
// parameters so that tests can read a fixture tree instead of the machine's.
//
// Priority classes on Linux: reading, the real-time policies (FIFO, RR, deadline) give realtime,
// SCHED_IDLE gives idle, otherwise the nice value decides: -20..-11 high, -10..-1 above normal,
// 0 normal, 1..10 below normal, 11..19 idle. Setting, realtime is SCHED_RR; the other classes are
// SCHED_OTHER with nice -15 (high), -5 (above normal), 0, 5 (below normal) and 19 (idle).

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
    std::uint32_t flags = 0;
    int nice = 0;
    std::uint32_t threads = 0;
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
    bool setPriorityClass(std::uint32_t processId, std::uint32_t priorityClass) override;
    std::uint64_t memoryUsage(std::uint32_t processId) override;
    std::uint32_t terminate(std::uint32_t processId) override;
    bool terminateWithDebugPrivilege(std::uint32_t processId) override;
    std::string ownExecutablePath() override;
    std::string iconFor(const std::string& executable) override;

private:
    const char* relativePath(std::uint32_t processId, const char* name);
    // Reads root/PID/NAME into buffer_; false when it cannot be read.
    bool readProcFile(std::uint32_t processId, const char* name);
    std::string readExeLink(const char* relativeDirectory);

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
