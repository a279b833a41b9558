#include "platform/linux/LinuxProcessTable.h"

#include "platform/DesktopEntry.h"
#include "platform/XdgPaths.h"
#include "platform/linux/LinuxServices.h"
#include "platform/linux/SearchPath.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace brenvik::platform {

namespace {

constexpr std::uint32_t PF_KTHREAD = 0x00200000;
constexpr int SchedDeadline = 6; // not named by glibc's headers

bool isRealTime(int policy) {
    const int base = policy & ~SCHED_RESET_ON_FORK;
    return base == SCHED_FIFO || base == SCHED_RR || base == SchedDeadline;
}

std::uint64_t pageSize() {
    static const auto size = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

template <typename Number> Number parseField(std::string_view text) {
    Number value{};
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// A process directory's name as a PID; 0 for the other entries of the proc root.
std::uint32_t processIdOf(const char* name) {
    std::uint32_t value = 0;
    const char* end = name + std::char_traits<char>::length(name);
    const auto [last, error] = std::from_chars(name, end, value);
    return error == std::errc{} && last == end ? value : 0;
}

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

// The program an Exec line starts: its first word, past an `env VAR=value`.
std::string programOfExec(std::string_view exec) {
    const auto words = splitExec(exec);
    if (!words)
        return {};
    std::size_t index = 0;
    if (index < words->size() && ((*words)[index] == "env" || (*words)[index] == "/usr/bin/env")) {
        ++index;
        while (index < words->size() && (*words)[index].find('=') != std::string::npos)
            ++index;
    }
    return index < words->size() ? (*words)[index] : std::string();
}

// The executable a program name runs, with its links resolved; empty when none.
std::filesystem::path resolveProgram(const std::string& program) {
    const std::filesystem::path found = findExecutable(program);
    if (found.empty())
        return {};
    std::error_code error;
    return std::filesystem::weakly_canonical(found, error);
}

std::uint32_t errorCode(int error) {
    return error == EPERM || error == EACCES ? ProcessTable::AccessDenied
                                             : ProcessTable::NoSuchProcess;
}

// The kernel's own schedules, through the scheduling calls.
class KernelThreadScheduler : public ThreadScheduler {
public:
    std::optional<ThreadSchedule> read(int threadId) override {
        ThreadSchedule schedule;
        schedule.policy = ::sched_getscheduler(threadId);
        sched_param param{};
        if (schedule.policy < 0 || ::sched_getparam(threadId, &param) != 0)
            return std::nullopt;
        schedule.priority = param.sched_priority;
        errno = 0;
        schedule.nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(threadId));
        if (schedule.nice == -1 && errno != 0)
            return std::nullopt;
        return schedule;
    }

    int write(int threadId, const ThreadSchedule& from, const ThreadSchedule& to) override {
        const bool policyChanges = from.policy != to.policy || from.priority != to.priority;
        if (policyChanges && !setPolicy(threadId, to))
            return errno;
        if (from.nice != to.nice &&
            ::setpriority(PRIO_PROCESS, static_cast<id_t>(threadId), to.nice) != 0) {
            const int error = errno;
            if (policyChanges)
                setPolicy(threadId, from);
            return error;
        }
        return 0;
    }

private:
    static bool setPolicy(int threadId, const ThreadSchedule& schedule) {
        sched_param param{};
        param.sched_priority = schedule.priority;
        return ::sched_setscheduler(threadId, schedule.policy, &param) == 0;
    }
};

} // namespace

bool parseProcStat(std::string_view text, ProcStat& stat) {
    const auto open = text.find('(');
    const auto close = text.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
        return false;
    stat = ProcStat{};
    stat.name.assign(text.substr(open + 1, close - open - 1));
    // Fields after the name are numbered from 3 (the state).
    std::string_view rest = text.substr(close + 1);
    int field = 2;
    while (!rest.empty()) {
        const auto start = rest.find_first_not_of(" \n");
        if (start == std::string_view::npos)
            break;
        rest.remove_prefix(start);
        const auto end = rest.find_first_of(" \n");
        const std::string_view value = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
        switch (++field) {
        case 3:
            stat.state = value.empty() ? '?' : value.front();
            break;
        case 9:
            stat.flags = parseField<std::uint32_t>(value);
            break;
        case 19:
            stat.nice = parseField<int>(value);
            break;
        case 20:
            stat.threads = parseField<std::uint32_t>(value);
            break;
        case 22:
            stat.startTime = parseField<std::uint64_t>(value);
            break;
        case 24:
            stat.residentPages = parseField<std::uint64_t>(value);
            break;
        case 41:
            stat.policy = parseField<int>(value);
            return true;
        default:
            break;
        }
    }
    return field >= 20;
}

std::uint32_t priorityClassFor(int policy, int nice) {
    if (isRealTime(policy))
        return REALTIME_PRIORITY_CLASS;
    if (policy == SCHED_IDLE)
        return IDLE_PRIORITY_CLASS;
    if (nice <= -11)
        return HIGH_PRIORITY_CLASS;
    if (nice <= -1)
        return ABOVE_NORMAL_PRIORITY_CLASS;
    if (nice == 0)
        return NORMAL_PRIORITY_CLASS;
    if (nice <= 10)
        return BELOW_NORMAL_PRIORITY_CLASS;
    return IDLE_PRIORITY_CLASS;
}

std::optional<LinuxSchedule> scheduleFor(std::uint32_t priorityClass) {
    switch (priorityClass) {
    case REALTIME_PRIORITY_CLASS:
        return LinuxSchedule{SCHED_RR, 0};
    case HIGH_PRIORITY_CLASS:
        return LinuxSchedule{SCHED_OTHER, -15};
    case ABOVE_NORMAL_PRIORITY_CLASS:
        return LinuxSchedule{SCHED_OTHER, -5};
    case NORMAL_PRIORITY_CLASS:
        return LinuxSchedule{SCHED_OTHER, 0};
    case BELOW_NORMAL_PRIORITY_CLASS:
        return LinuxSchedule{SCHED_OTHER, 5};
    case IDLE_PRIORITY_CLASS:
        return LinuxSchedule{SCHED_OTHER, 19};
    default:
        return std::nullopt;
    }
}

std::optional<ThreadSchedule> threadScheduleFor(const ThreadSchedule& current,
                                                std::uint32_t priorityClass) {
    const auto schedule = scheduleFor(priorityClass);
    if (!schedule)
        return std::nullopt;
    const bool realTimeAsked = schedule->policy == SCHED_RR;
    if (isRealTime(current.policy))
        return realTimeAsked ? std::optional(current) : std::nullopt;
    const int flags = current.policy & SCHED_RESET_ON_FORK;
    const int base = current.policy & ~SCHED_RESET_ON_FORK;
    if (realTimeAsked)
        return ThreadSchedule{SCHED_RR | flags, 1, current.nice};
    const bool keepsPolicy =
        base == SCHED_BATCH || (base == SCHED_IDLE && priorityClass == IDLE_PRIORITY_CLASS);
    return ThreadSchedule{(keepsPolicy ? base : SCHED_OTHER) | flags, 0, schedule->nice};
}

bool setThreadsPriorityClass(ThreadScheduler& scheduler, const std::vector<int>& threadIds,
                             std::uint32_t priorityClass) {
    struct Change {
        int threadId;
        ThreadSchedule before;
        ThreadSchedule after;
    };
    std::vector<Change> changes;
    bool runsTheClass = false;
    for (const int threadId : threadIds) {
        const auto current = scheduler.read(threadId);
        if (!current)
            continue; // ended meanwhile: nothing to change
        const auto target = threadScheduleFor(*current, priorityClass);
        if (!target)
            continue;
        runsTheClass = true;
        if (*target == *current)
            continue;
        const int error = scheduler.write(threadId, *current, *target);
        if (error == 0) {
            changes.push_back({threadId, *current, *target});
        } else if (error != ESRCH) {
            // Half a change would leave the process in a state nobody asked for.
            for (auto change = changes.rbegin(); change != changes.rend(); ++change)
                scheduler.write(change->threadId, change->after, change->before);
            return false;
        }
    }
    return runsTheClass;
}

DesktopIconIndex::DesktopIconIndex(const std::vector<std::filesystem::path>& applicationDirs) {
    for (const auto& dir : applicationDirs) {
        std::error_code error;
        std::filesystem::recursive_directory_iterator it(
            dir, std::filesystem::directory_options::skip_permission_denied, error);
        for (; !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
            if (it->path().extension() == ".desktop")
                addEntry(it->path());
    }
}

void DesktopIconIndex::addEntry(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    bool inEntry = false;
    std::string icon, exec, tryExec;
    bool hidden = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.front() == '[') {
            inEntry = trimmed(line) == "[Desktop Entry]";
            continue;
        }
        if (!inEntry)
            continue;
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = trimmed(std::string_view(line).substr(0, equals));
        const std::string value = trimmed(std::string_view(line).substr(equals + 1));
        if (key == "Icon")
            icon = value;
        else if (key == "Exec")
            exec = value;
        else if (key == "TryExec")
            tryExec = value;
        else if (key == "Hidden")
            hidden = value == "true";
    }
    if (icon.empty() || hidden)
        return;
    // Folders earlier in the list take precedence, so the first entry for a program wins.
    for (const std::string& program : {tryExec, programOfExec(exec)}) {
        if (program.empty())
            continue;
        if (program.find('/') == std::string::npos)
            icons_.try_emplace(program, icon);
        const std::filesystem::path resolved = resolveProgram(program);
        if (!resolved.empty())
            icons_.try_emplace(resolved.string(), icon);
        if (program.front() == '/')
            icons_.try_emplace(program, icon);
    }
}

std::string DesktopIconIndex::iconFor(const std::string& executable) const {
    if (const auto found = icons_.find(executable); found != icons_.end())
        return found->second;
    const auto slash = executable.rfind('/');
    if (slash == std::string::npos)
        return {};
    const auto found = icons_.find(std::string_view(executable).substr(slash + 1));
    return found != icons_.end() ? found->second : std::string();
}

LinuxProcessTable::LinuxProcessTable(std::filesystem::path procRoot,
                                     std::vector<std::filesystem::path> applicationDirs)
    : rootFd_(::open(procRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
      applicationDirs_(std::move(applicationDirs)) {}

LinuxProcessTable::~LinuxProcessTable() {
    if (rootFd_ >= 0)
        ::close(rootFd_);
}

// Files are opened relative to the root folder, which spares the kernel a path walk per file.
const char* LinuxProcessTable::relativePath(std::uint32_t processId, const char* name) {
    std::snprintf(path_, sizeof path_, "%u/%s", processId, name);
    return path_;
}

bool LinuxProcessTable::readProcFile(std::uint32_t processId, const char* name) {
    buffer_.clear();
    const int fd = ::openat(rootFd_, relativePath(processId, name), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (buffer_.capacity() < 4096)
        buffer_.reserve(4096);
    std::size_t used = 0;
    while (true) {
        buffer_.resize(buffer_.capacity());
        const ssize_t got = ::read(fd, buffer_.data() + used, buffer_.size() - used);
        if (got <= 0) {
            ::close(fd);
            buffer_.resize(got < 0 ? 0 : used);
            return got == 0;
        }
        used += static_cast<std::size_t>(got);
        if (used == buffer_.size())
            buffer_.reserve(buffer_.size() * 2);
    }
}

std::string LinuxProcessTable::readExeLink(const char* relativeDirectory) {
    std::snprintf(path_, sizeof path_, "%s/exe", relativeDirectory);
    char target[PATH_MAX];
    const ssize_t length = ::readlinkat(rootFd_, path_, target, sizeof target);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target)
        return {};
    return std::string(target, static_cast<std::size_t>(length));
}

std::vector<ProcessEntry> LinuxProcessTable::snapshot() {
    std::vector<ProcessEntry> entries;
    snapshotFigures_.clear();
    const int listFd = ::openat(rootFd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0)
            ::close(listFd);
        return entries;
    }
    ProcStat stat;
    while (const dirent* item = ::readdir(dir)) {
        const std::uint32_t processId = processIdOf(item->d_name);
        if (processId == 0)
            continue;
        // A process that ends while we read it has no stat any more: it is simply not listed.
        if (!readProcFile(processId, "stat") || !parseProcStat(buffer_, stat))
            continue;
        ProcessEntry entry{processId, stat.threads, {}, stat.startTime};
        snapshotFigures_[processId] = {priorityClassFor(stat.policy, stat.nice),
                                       stat.residentPages * pageSize(), true, true};
        if (!(stat.flags & PF_KTHREAD))
            entry.exeFile = readExeLink(item->d_name);
        if (entry.exeFile.empty())
            entry.exeFile = (stat.flags & PF_KTHREAD) ? "[" + stat.name + "]" : stat.name;
        entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    return entries;
}

std::string LinuxProcessTable::modulePath(std::uint32_t processId) {
    char directory[16];
    std::snprintf(directory, sizeof directory, "%u", processId);
    return readExeLink(directory);
}

std::uint32_t LinuxProcessTable::priorityClass(std::uint32_t processId) {
    if (const auto found = snapshotFigures_.find(processId);
        found != snapshotFigures_.end() && found->second.priorityUnread) {
        found->second.priorityUnread = false;
        return found->second.priorityClass;
    }
    ProcStat stat;
    if (!readProcFile(processId, "stat") || !parseProcStat(buffer_, stat))
        return 0;
    return priorityClassFor(stat.policy, stat.nice);
}

std::vector<int> LinuxProcessTable::threadIds(std::uint32_t processId) {
    std::vector<int> threads;
    const int tasksFd =
        ::openat(rootFd_, relativePath(processId, "task"), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* tasks = tasksFd >= 0 ? ::fdopendir(tasksFd) : nullptr;
    if (!tasks) {
        if (tasksFd >= 0)
            ::close(tasksFd);
        return threads;
    }
    while (const dirent* item = ::readdir(tasks))
        if (const std::uint32_t threadId = processIdOf(item->d_name);
            threadId != 0 && threadId <= INT_MAX)
            threads.push_back(static_cast<int>(threadId));
    ::closedir(tasks);
    return threads;
}

bool LinuxProcessTable::setPriorityClass(std::uint32_t processId, std::uint64_t startTime,
                                         std::uint32_t priorityClass) {
    if (!scheduleFor(priorityClass))
        return false;
    UniqueFd process;
    ProcStat stat;
    if (openListed(processId, startTime, process, stat) != 0)
        return false;
    // Nice values and policies belong to threads on Linux; a class is the whole process's.
    KernelThreadScheduler scheduler;
    return setThreadsPriorityClass(scheduler, threadIds(processId), priorityClass);
}

std::uint64_t LinuxProcessTable::memoryUsage(std::uint32_t processId) {
    if (const auto found = snapshotFigures_.find(processId);
        found != snapshotFigures_.end() && found->second.memoryUnread) {
        found->second.memoryUnread = false;
        return found->second.memoryUsage;
    }
    if (!readProcFile(processId, "statm"))
        return 0;
    const std::string_view text = buffer_;
    const auto space = text.find(' ');
    if (space == std::string_view::npos)
        return 0;
    return parseField<std::uint64_t>(text.substr(space + 1)) * pageSize();
}

std::uint32_t LinuxProcessTable::openListed(std::uint32_t processId, std::uint64_t startTime,
                                            UniqueFd& process, ProcStat& stat) {
    // Zero and values beyond pid_t would name process groups or nothing at all.
    if (processId == 0 || processId > INT_MAX)
        return ProcessTable::NoSuchProcess;
    process.reset(static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(processId), 0)));
    if (!process)
        return errorCode(errno);
    // The open process keeps its PID until it ends, so a stat read now is either its own or,
    // should it have ended meanwhile, another's with another start time.
    if (!readProcFile(processId, "stat") || !parseProcStat(buffer_, stat) ||
        stat.startTime != startTime)
        return ProcessTable::NoSuchProcess;
    // A zombie has ended already; only its parent's wait is missing.
    if (stat.state == 'Z' || stat.state == 'X')
        return ProcessTable::NoSuchProcess;
    return 0;
}

std::uint32_t LinuxProcessTable::terminate(std::uint32_t processId, std::uint64_t startTime) {
    UniqueFd process;
    ProcStat stat;
    if (const std::uint32_t error = openListed(processId, startTime, process, stat); error != 0)
        return error;
    // Kernel threads and the init process ignore SIGKILL: the signal would be "sent" and the
    // process would go on running.
    if ((stat.flags & PF_KTHREAD) || processId == 1)
        return ProcessTable::AccessDenied;
    if (::syscall(SYS_pidfd_send_signal, process.get(), SIGKILL, nullptr, 0) != 0)
        return errorCode(errno);
    return ProcessTable::Ended;
}

bool LinuxProcessTable::terminateWithDebugPrivilege(std::uint32_t, std::uint64_t) {
    // The kernel decides by credentials alone; there is no privilege to take for a retry.
    return false;
}

std::string LinuxProcessTable::ownExecutablePath() {
    return readExeLink("self");
}

std::string LinuxProcessTable::iconFor(const std::string& executable) {
    if (!icons_) {
        std::vector<std::filesystem::path> dirs = applicationDirs_;
        if (dirs.empty()) {
            dirs.push_back(xdg::dataHome() / "applications");
            for (const auto& dir : xdg::dataDirs())
                dirs.push_back(dir / "applications");
        }
        icons_.emplace(dirs);
    }
    return icons_->iconFor(executable);
}

std::unique_ptr<ProcessTable> makeLinuxProcessTable() {
    return std::make_unique<LinuxProcessTable>();
}

} // namespace brenvik::platform
