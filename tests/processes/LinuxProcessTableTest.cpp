// The Linux process table: against a fixture proc tree, and against child processes the tests
// start themselves.

#include "platform/linux/LinuxProcessTable.h"

#include "platform/Platform.h"
#include "processes/ProcessClass.h"
#include "support/TempHome.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <poll.h>
#include <sched.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

// The fixture's processes name only the fields a case needs; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace brenvik {
namespace {

namespace fs = std::filesystem;
using platform::LinuxProcessTable;
using platform::ProcessTable;

constexpr std::uint32_t KernelThreadFlag = 0x00200000;

// A proc tree in a temporary folder, written one process at a time.
class ProcFixture {
public:
    struct Process {
        std::uint32_t processId = 0;
        std::string name = "app";
        std::uint32_t flags = 0;
        int nice = 0;
        std::uint32_t threads = 1;
        int policy = 0;
        std::string exe;                 // the exe link's target; no link when empty
        std::uint64_t residentPages = 0; // stat's field 24 and statm's second field
    };

    fs::path root() const { return home_.root() / "proc"; }

    void add(const Process& process) {
        const fs::path dir = root() / std::to_string(process.processId);
        fs::create_directories(dir);
        // Fields 3 to 52 after the name; those the table reads are set.
        std::string fields;
        for (int field = 3; field <= 52; ++field) {
            std::string value = "0";
            if (field == 3)
                value = "S";
            else if (field == 9)
                value = std::to_string(process.flags);
            else if (field == 19)
                value = std::to_string(process.nice);
            else if (field == 20)
                value = std::to_string(process.threads);
            else if (field == 24)
                value = std::to_string(process.residentPages);
            else if (field == 41)
                value = std::to_string(process.policy);
            fields += " " + value;
        }
        test::writeFile(dir / "stat", std::to_string(process.processId) + " (" + process.name +
                                          ")" + fields + "\n");
        test::writeFile(dir / "statm",
                        "100000 " + std::to_string(process.residentPages) + " 300 1 0 50 0\n");
        if (!process.exe.empty())
            fs::create_symlink(process.exe, dir / "exe");
    }
    void setSelf(const std::string& exe) {
        fs::create_directories(root() / "self");
        fs::create_symlink(exe, root() / "self" / "exe");
    }

private:
    test::TempHome home_;
};

TEST(ProcStatTest, ParsesTheFieldsAfterTheLastParenthesis) {
    platform::ProcStat stat;
    ASSERT_TRUE(platform::parseProcStat(
        "42 (we) ird (name)) R 1 42 42 0 -1 4194560 0 0 0 0 0 0 0 0 30 10 3 0 5 0 0 0 0 0 0 0 0 0 "
        "0 0 0 0 0 0 17 1 0 5 0 0 0\n",
        stat));
    EXPECT_EQ(stat.name, "we) ird (name)");
    EXPECT_EQ(stat.flags, 4194560u);
    EXPECT_EQ(stat.nice, 10);
    EXPECT_EQ(stat.threads, 3u);
    EXPECT_EQ(stat.policy, 5);
    EXPECT_EQ(stat.state, 'R');
    EXPECT_EQ(stat.startTime, 5u);
    EXPECT_FALSE(platform::parseProcStat("", stat));
    EXPECT_FALSE(platform::parseProcStat("42 (cut", stat));
    EXPECT_FALSE(platform::parseProcStat("42 (short) S 1 2", stat));
}

TEST(PriorityMappingTest, ReadsPoliciesAndNiceValuesAsClasses) {
    struct Case {
        int policy;
        int nice;
        std::uint32_t priorityClass;
    };
    const Case cases[]{
        {SCHED_FIFO, 0, platform::REALTIME_PRIORITY_CLASS},
        {SCHED_RR, 10, platform::REALTIME_PRIORITY_CLASS},
        {SCHED_IDLE, 0, platform::IDLE_PRIORITY_CLASS},
        {SCHED_OTHER, -20, platform::HIGH_PRIORITY_CLASS},
        {SCHED_OTHER, -11, platform::HIGH_PRIORITY_CLASS},
        {SCHED_OTHER, -10, platform::ABOVE_NORMAL_PRIORITY_CLASS},
        {SCHED_OTHER, -1, platform::ABOVE_NORMAL_PRIORITY_CLASS},
        {SCHED_OTHER, 0, platform::NORMAL_PRIORITY_CLASS},
        {SCHED_BATCH, 0, platform::NORMAL_PRIORITY_CLASS},
        {SCHED_OTHER, 1, platform::BELOW_NORMAL_PRIORITY_CLASS},
        {SCHED_OTHER, 10, platform::BELOW_NORMAL_PRIORITY_CLASS},
        {SCHED_OTHER, 11, platform::IDLE_PRIORITY_CLASS},
        {SCHED_BATCH, 19, platform::IDLE_PRIORITY_CLASS},
    };
    ProcFixture proc;
    std::uint32_t processId = 100;
    for (const Case& c : cases)
        proc.add({.processId = processId++, .nice = c.nice, .policy = c.policy});
    LinuxProcessTable table(proc.root());
    processId = 100;
    for (const Case& c : cases) {
        EXPECT_EQ(platform::priorityClassFor(c.policy, c.nice), c.priorityClass)
            << c.policy << " " << c.nice;
        EXPECT_EQ(table.priorityClass(processId++), c.priorityClass) << c.policy << " " << c.nice;
    }
    EXPECT_EQ(table.priorityClass(999), 0u); // no such process
}

TEST(PriorityMappingTest, SetsEachClassAsAScheduleThatReadsBackAsTheSameClass) {
    const std::pair<std::uint32_t, platform::LinuxSchedule> cases[]{
        {platform::REALTIME_PRIORITY_CLASS, {SCHED_RR, 0}},
        {platform::HIGH_PRIORITY_CLASS, {SCHED_OTHER, -15}},
        {platform::ABOVE_NORMAL_PRIORITY_CLASS, {SCHED_OTHER, -5}},
        {platform::NORMAL_PRIORITY_CLASS, {SCHED_OTHER, 0}},
        {platform::BELOW_NORMAL_PRIORITY_CLASS, {SCHED_OTHER, 5}},
        {platform::IDLE_PRIORITY_CLASS, {SCHED_OTHER, 19}},
    };
    for (const auto& [priorityClass, expected] : cases) {
        const auto schedule = platform::scheduleFor(priorityClass);
        ASSERT_TRUE(schedule) << priorityClass;
        EXPECT_EQ(schedule->policy, expected.policy) << priorityClass;
        EXPECT_EQ(schedule->nice, expected.nice) << priorityClass;
        EXPECT_EQ(platform::priorityClassFor(schedule->policy, schedule->nice), priorityClass);
    }
    EXPECT_FALSE(platform::scheduleFor(0));
    EXPECT_FALSE(platform::scheduleFor(0x10));
}

using platform::ThreadSchedule;
constexpr int ResetOnFork = SCHED_RESET_ON_FORK;

TEST(ThreadScheduleTest, EachThreadChangesOnlyWhatTheClassMeans) {
    struct Case {
        ThreadSchedule current;
        std::uint32_t priorityClass;
        std::optional<ThreadSchedule> expected;
    };
    const Case cases[]{
        {{SCHED_OTHER, 0, 0}, platform::HIGH_PRIORITY_CLASS, {{SCHED_OTHER, 0, -15}}},
        {{SCHED_OTHER, 0, 7}, platform::NORMAL_PRIORITY_CLASS, {{SCHED_OTHER, 0, 0}}},
        {{SCHED_OTHER, 0, 3}, platform::REALTIME_PRIORITY_CLASS, {{SCHED_RR, 1, 3}}},
        {{SCHED_BATCH, 0, 0}, platform::BELOW_NORMAL_PRIORITY_CLASS, {{SCHED_BATCH, 0, 5}}},
        {{SCHED_IDLE, 0, 0}, platform::IDLE_PRIORITY_CLASS, {{SCHED_IDLE, 0, 19}}},
        {{SCHED_IDLE, 0, 0}, platform::ABOVE_NORMAL_PRIORITY_CLASS, {{SCHED_OTHER, 0, -5}}},
        {{SCHED_OTHER | ResetOnFork, 0, 0},
         platform::IDLE_PRIORITY_CLASS,
         {{SCHED_OTHER | ResetOnFork, 0, 19}}},
        {{SCHED_OTHER | ResetOnFork, 0, 0},
         platform::REALTIME_PRIORITY_CLASS,
         {{SCHED_RR | ResetOnFork, 1, 0}}},
        // Real-time threads keep their own schedule: as it is for realtime, untouched otherwise.
        {{SCHED_FIFO, 50, 0}, platform::REALTIME_PRIORITY_CLASS, {{SCHED_FIFO, 50, 0}}},
        {{SCHED_RR, 20, 0}, platform::NORMAL_PRIORITY_CLASS, std::nullopt},
        {{SCHED_FIFO | ResetOnFork, 5, 0}, platform::IDLE_PRIORITY_CLASS, std::nullopt},
        {{6 /* deadline */, 0, 0}, platform::HIGH_PRIORITY_CLASS, std::nullopt},
        {{SCHED_OTHER, 0, 0}, 0x10, std::nullopt}, // no such class
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::threadScheduleFor(c.current, c.priorityClass), c.expected)
            << c.current.policy << "/" << c.current.priority << "/" << c.current.nice << " to "
            << c.priorityClass;
}

// Threads in memory; the test decides which ones refuse a change and which have ended.
class FakeThreadScheduler : public platform::ThreadScheduler {
public:
    std::map<int, ThreadSchedule> threads;
    std::map<int, int> refusals; // thread, error
    int writes = 0;

    std::optional<ThreadSchedule> read(int threadId) override {
        const auto found = threads.find(threadId);
        return found != threads.end() ? std::optional(found->second) : std::nullopt;
    }
    int write(int threadId, const ThreadSchedule& from, const ThreadSchedule& to) override {
        ++writes;
        EXPECT_EQ(threads.at(threadId), from);
        if (const auto refused = refusals.find(threadId); refused != refusals.end())
            return refused->second;
        threads[threadId] = to;
        return 0;
    }
};

TEST(ThreadScheduleTest, AClassIsSetOnEveryThreadOrOnNone) {
    const ThreadSchedule normal{SCHED_OTHER, 0, 0};
    const ThreadSchedule realTime{SCHED_FIFO, 10, 0};
    const ThreadSchedule high{SCHED_OTHER, 0, -15};
    struct Case {
        const char* what;
        std::vector<ThreadSchedule> before;
        std::map<int, int> refusals; // by position
        std::uint32_t priorityClass;
        bool changed;
        std::vector<ThreadSchedule> after;
    };
    const Case cases[]{
        {"all threads change",
         {normal, normal},
         {},
         platform::HIGH_PRIORITY_CLASS,
         true,
         {high, high}},
        {"a real-time thread is kept",
         {normal, realTime},
         {},
         platform::HIGH_PRIORITY_CLASS,
         true,
         {high, realTime}},
        {"the first thread refuses",
         {normal, normal},
         {{0, EACCES}},
         platform::HIGH_PRIORITY_CLASS,
         false,
         {normal, normal}},
        {"the last thread refuses: the others are put back",
         {normal, realTime, normal, normal},
         {{3, EPERM}},
         platform::HIGH_PRIORITY_CLASS,
         false,
         {normal, realTime, normal, normal}},
        {"a thread that ended meanwhile needs no change",
         {normal, normal},
         {{1, ESRCH}},
         platform::HIGH_PRIORITY_CLASS,
         true,
         {high, normal}},
        {"only real-time threads: nothing runs the class",
         {realTime, realTime},
         {},
         platform::NORMAL_PRIORITY_CLASS,
         false,
         {realTime, realTime}},
        {"only real-time threads already run realtime",
         {realTime},
         {},
         platform::REALTIME_PRIORITY_CLASS,
         true,
         {realTime}},
        {"the class it runs already",
         {normal},
         {},
         platform::NORMAL_PRIORITY_CLASS,
         true,
         {normal}},
        {"no threads left", {}, {}, platform::NORMAL_PRIORITY_CLASS, false, {}},
    };
    for (const Case& c : cases) {
        FakeThreadScheduler scheduler;
        std::vector<int> ids;
        for (std::size_t i = 0; i < c.before.size(); ++i) {
            const int id = 100 + static_cast<int>(i);
            ids.push_back(id);
            scheduler.threads[id] = c.before[i];
        }
        for (const auto& [position, error] : c.refusals)
            scheduler.refusals[100 + position] = error;
        ids.push_back(999); // ended before it was read
        EXPECT_EQ(platform::setThreadsPriorityClass(scheduler, ids, c.priorityClass), c.changed)
            << c.what;
        std::vector<ThreadSchedule> after;
        for (const auto& [id, schedule] : scheduler.threads)
            after.push_back(schedule);
        EXPECT_EQ(after, c.after) << c.what;
    }
}

TEST(LinuxProcessTableFixtureTest, SnapshotListsProcessesAsProcessListersShowThem) {
    ProcFixture proc;
    proc.add({.processId = 1, .name = "init", .threads = 1, .exe = "/sbin/init"});
    proc.add({.processId = 2, .name = "kthreadd", .flags = KernelThreadFlag});
    proc.add({.processId = 7, .name = "kworker/0:1-events", .flags = KernelThreadFlag});
    proc.add({.processId = 300, .name = "odd) (name", .threads = 4}); // exe unreadable
    proc.add({.processId = 301, .name = "my app", .exe = "/opt/my app/bin/my app"});
    fs::create_directories(proc.root() / "400"); // ended while the table was read: no stat
    fs::create_directories(proc.root() / "sys");
    test::writeFile(proc.root() / "uptime", "1.0 2.0\n");

    LinuxProcessTable table(proc.root());
    auto entries = table.snapshot();
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.processId < b.processId; });
    ASSERT_EQ(entries.size(), 5u);
    const std::vector<std::pair<std::uint32_t, std::string>> expected{
        {1, "/sbin/init"},
        {2, "[kthreadd]"},
        {7, "[kworker/0:1-events]"},
        {300, "odd) (name"},
        {301, "/opt/my app/bin/my app"}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(entries[i].processId, expected[i].first);
        EXPECT_EQ(entries[i].exeFile, expected[i].second);
    }
    EXPECT_EQ(entries[3].threadCount, 4u);
    EXPECT_EQ(table.modulePath(301), "/opt/my app/bin/my app");
    EXPECT_EQ(table.modulePath(300), "");
}

TEST(LinuxProcessTableFixtureTest, MemoryIsTheResidentSizeInSixtyFourBits) {
    ProcFixture proc;
    const std::uint64_t pageSize = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    const std::uint64_t pages = (5ull << 30) / pageSize; // 5 GiB
    proc.add({.processId = 10, .residentPages = pages});
    proc.add({.processId = 11, .residentPages = 25});
    LinuxProcessTable table(proc.root());
    EXPECT_EQ(table.memoryUsage(10), 5ull << 30);
    EXPECT_EQ(table.memoryUsage(11), 25 * pageSize);
    EXPECT_EQ(table.memoryUsage(12), 0u);
    table.snapshot(); // the same figure from the snapshot's own stat line
    EXPECT_EQ(table.memoryUsage(10), 5ull << 30);
}

TEST(LinuxProcessTableFixtureTest, SnapshotFiguresAreAnsweredOnceThenReadAgain) {
    ProcFixture proc;
    proc.add({.processId = 10, .nice = 5, .residentPages = 1});
    LinuxProcessTable table(proc.root());
    table.snapshot();
    fs::remove_all(proc.root() / "10");
    proc.add({.processId = 10, .nice = 19, .residentPages = 2});
    const std::uint64_t pageSize = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    EXPECT_EQ(table.priorityClass(10), platform::BELOW_NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(table.memoryUsage(10), pageSize);
    EXPECT_EQ(table.priorityClass(10), platform::IDLE_PRIORITY_CLASS);
    EXPECT_EQ(table.memoryUsage(10), 2 * pageSize);
}

TEST(LinuxProcessTableFixtureTest, ModelOverTheTreeLeavesTheOwnProcessOut) {
    ProcFixture proc;
    proc.setSelf("/opt/brenvik/brenvik");
    proc.add({.processId = 50, .name = "brenvik", .exe = "/opt/brenvik/brenvik"});
    proc.add({.processId = 51, .name = "shell", .nice = 5, .exe = "/bin/shell"});
    proc.add({.processId = 52, .name = "gone"});
    fs::remove(proc.root() / "52" / "stat");

    platform::Platform fixturePlatform;
    fixturePlatform.processes =
        std::make_unique<LinuxProcessTable>(proc.root(), std::vector{proc.root()});
    platform::ScopedPlatform scope(fixturePlatform);
    class NoImages : public TImageList {
        int Count() const override { return 1; }
        void Delete(int) override {}
        int AddIcon(const std::string&) override { return -1; }
    } images;
    TProcessList list(images, "default");
    list.Refresh();
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Items(0).ProcessID(), 51u);
    EXPECT_EQ(list.Items(0).Name(), "shell");
    EXPECT_EQ(list.Items(0).Priority(), platform::BELOW_NORMAL_PRIORITY_CLASS);
}

TEST(DesktopIconIndexTest, FindsTheIconOfTheEntryThatStartsTheExecutable) {
    test::TempHome home;
    const fs::path user = home.root() / "user-apps";
    const fs::path system = home.root() / "system-apps";
    test::writeFile(user / "tool.desktop",
                    "[Desktop Entry]\nName=Tool\nExec=/opt/tool/bin/tool %U\nIcon=tool-user\n");
    test::writeFile(system / "tool.desktop",
                    "[Desktop Entry]\nExec=/opt/tool/bin/tool\nIcon=tool-system\n");
    test::writeFile(system / "sub" / "quoted.desktop",
                    "[Desktop Entry]\nExec=env LANG=C \"/opt/my prog/run\" --x\n"
                    "Icon=/usr/share/pixmaps/prog.png\n");
    test::writeFile(system / "bare.desktop",
                    "[Desktop Entry]\nExec=sleep 5\nIcon=sleeper\n[Desktop Action X]\nIcon=no\n");
    test::writeFile(system / "trial.desktop",
                    "[Desktop Entry]\nTryExec=/opt/trial/trial\nExec=launcher trial\nIcon=trial\n");
    test::writeFile(system / "hidden.desktop",
                    "[Desktop Entry]\nExec=/opt/hidden\nIcon=hidden\nHidden=true\n");
    test::writeFile(system / "noicon.desktop", "[Desktop Entry]\nExec=/opt/noicon\n");

    const platform::DesktopIconIndex index({user, system, home.root() / "missing"});
    EXPECT_EQ(index.iconFor("/opt/tool/bin/tool"), "tool-user"); // earlier folders win
    EXPECT_EQ(index.iconFor("/opt/my prog/run"), "/usr/share/pixmaps/prog.png");
    EXPECT_EQ(index.iconFor("sleep"), "sleeper");
    EXPECT_EQ(index.iconFor("/somewhere/else/sleep"), "sleeper"); // by the name a bare entry runs
    EXPECT_EQ(index.iconFor(fs::canonical("/usr/bin/sleep").string()), "sleeper");
    EXPECT_EQ(index.iconFor("/opt/trial/trial"), "trial");
    EXPECT_EQ(index.iconFor("/elsewhere/tool"), ""); // full-path entries match their path only
    EXPECT_EQ(index.iconFor("/opt/hidden"), "");
    EXPECT_EQ(index.iconFor("/opt/noicon"), "");
}

struct Schedule {
    int policy;
    int priority;
    int nice;
    bool operator==(const Schedule&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Schedule& s) {
    return out << "{policy " << s.policy << ", priority " << s.priority << ", nice " << s.nice
               << "}";
}

// The start time a snapshot reads for a process; 0 when it is not running.
std::uint64_t startTimeOf(std::uint32_t processId) {
    for (const auto& entry : LinuxProcessTable().snapshot())
        if (entry.processId == processId)
            return entry.startTime;
    return 0;
}

// A child process of the test, killed and reaped when the object goes. Options are those of
// the child program (fifo, nobody); the constructor returns once the child has set them up.
class Child {
public:
    explicit Child(int threads, std::vector<std::string> options = {}) {
        std::vector<std::string> words{PROCESS_TEST_CHILD, std::to_string(threads)};
        words.insert(words.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        int ready[2];
        if (pipe2(ready, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
        if (posix_spawn(&pid_, PROCESS_TEST_CHILD, &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(ready[1]);
        pollfd readable{ready[0], POLLIN, 0};
        char byte = 0;
        if (pid_ > 0 && poll(&readable, 1, 10000) == 1) [[maybe_unused]]
            const auto got = read(ready[0], &byte, 1);
        close(ready[0]);
    }
    ~Child() {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    std::uint32_t id() const { return static_cast<std::uint32_t>(pid_); }
    // The signal that ended the child; 0 when it has not ended within a few seconds.
    int waitForSignal() {
        for (int i = 0; i < 500; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                reaped_ = true;
                return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return 0;
    }
    // Running or sleeping: neither ended nor a zombie waiting to be reaped.
    bool alive() const {
        const char now = state();
        return now != '?' && now != 'Z' && now != 'X';
    }
    char state() const {
        const std::string stat = test::readFile(fs::path("/proc") / std::to_string(pid_) / "stat");
        const auto close = stat.rfind(')');
        return close != std::string::npos && close + 2 < stat.size() ? stat[close + 2] : '?';
    }
    std::uint32_t threadCount(LinuxProcessTable& table) const {
        for (const auto& entry : table.snapshot())
            if (entry.processId == id())
                return entry.threadCount;
        return 0;
    }
    // Policy (without flags), real-time priority and nice value of every thread, by thread id.
    std::vector<Schedule> threadSchedules() const {
        std::vector<pid_t> threads;
        for (const auto& task :
             fs::directory_iterator(fs::path("/proc") / std::to_string(pid_) / "task"))
            threads.push_back(std::stoi(task.path().filename().string()));
        std::sort(threads.begin(), threads.end());
        std::vector<Schedule> schedules;
        for (const pid_t thread : threads) {
            sched_param param{};
            sched_getparam(thread, &param);
            errno = 0;
            schedules.push_back({sched_getscheduler(thread) & ~SCHED_RESET_ON_FORK,
                                 param.sched_priority,
                                 getpriority(PRIO_PROCESS, static_cast<id_t>(thread))});
        }
        return schedules;
    }
    // The nice value of every thread.
    std::vector<int> threadNiceValues() const {
        std::vector<int> values;
        for (const auto& task :
             fs::directory_iterator(fs::path("/proc") / std::to_string(pid_) / "task")) {
            platform::ProcStat stat;
            if (platform::parseProcStat(test::readFile(task.path() / "stat"), stat))
                values.push_back(stat.nice);
        }
        return values;
    }

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
};

class LiveProcessTest : public ::testing::Test {
protected:
    LiveProcessTest() { live.processes = std::make_unique<LinuxProcessTable>(); }
    platform::Platform live;
    platform::ScopedPlatform scope{live};
    class NoImages : public TImageList {
        int Count() const override { return 1; }
        void Delete(int) override {}
        int AddIcon(const std::string&) override { return -1; }
    } images;
    TProcessList list{images, "default"};

    TProcessItem* find(std::uint32_t processId) {
        for (int i = 0; i < list.Count(); ++i)
            if (list.Items(i).ProcessID() == processId)
                return &list.Items(i);
        return nullptr;
    }
};

TEST_F(LiveProcessTest, ChildIsListedWithItsPidThreadsAndPath) {
    Child child(3);
    list.Refresh();
    TProcessItem* item = find(child.id());
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->ThreadCount(), 3u);
    EXPECT_EQ(item->Path(), fs::canonical(PROCESS_TEST_CHILD).string());
    EXPECT_EQ(item->Name(), fs::path(PROCESS_TEST_CHILD).filename().string());
    EXPECT_GT(item->MemoryUsage(), 0u);
    EXPECT_EQ(item->Priority(),
              platform::priorityClassFor(sched_getscheduler(0), getpriority(PRIO_PROCESS, 0)));
    EXPECT_EQ(find(static_cast<std::uint32_t>(getpid())), nullptr); // the test itself is left out
}

TEST_F(LiveProcessTest, SetPriorityChangesEveryThreadAndNotifies) {
    Child child(2);
    list.Refresh();
    TProcessItem* item = find(child.id());
    ASSERT_NE(item, nullptr);
    // The child starts at the test's own nice value, which need not be 0 (a build run under nice).
    item->SetPriority(platform::NORMAL_PRIORITY_CLASS);
    if (item->Priority() != platform::NORMAL_PRIORITY_CLASS)
        GTEST_SKIP() << "the child cannot be brought back to nice 0 here";
    int notified = 0;
    item->OnPriorityChange = [&](TProcessItem&) { ++notified; };

    item->SetPriority(platform::BELOW_NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(item->Priority(), platform::BELOW_NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(child.threadNiceValues(), (std::vector<int>{5, 5}));
    item->SetPriority(platform::IDLE_PRIORITY_CLASS);
    EXPECT_EQ(item->Priority(), platform::IDLE_PRIORITY_CLASS);
    EXPECT_EQ(child.threadNiceValues(), (std::vector<int>{19, 19}));
    EXPECT_EQ(notified, 2);
    EXPECT_EQ(live.processes->priorityClass(child.id()), platform::IDLE_PRIORITY_CLASS);
}

TEST_F(LiveProcessTest, TerminateEndsTheProcessAndFailsOnceItHasGone) {
    Child child(1);
    list.Refresh();
    TProcessItem* item = find(child.id());
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->Terminate());
    EXPECT_EQ(child.waitForSignal(), SIGKILL);
    EXPECT_FALSE(item->Terminate());
    EXPECT_EQ(live.processes->terminate(child.id(), 0), ProcessTable::NoSuchProcess);
    EXPECT_EQ(live.processes->terminate(0, 0), ProcessTable::NoSuchProcess);
}

TEST_F(LiveProcessTest, TerminateIsDeniedForAnotherUsersProcess) {
    if (geteuid() != 0) {
        list.Refresh();
        TProcessItem* init = find(1);
        ASSERT_NE(init, nullptr);
        EXPECT_EQ(live.processes->terminate(1, startTimeOf(1)), ProcessTable::AccessDenied);
        EXPECT_FALSE(init->Terminate());
        return;
    }
    // As root, an ordinary user (nobody) tries to end the root-owned child.
    Child child(1);
    const pid_t tryer = fork();
    ASSERT_GE(tryer, 0);
    if (tryer == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(100);
        LinuxProcessTable table;
        _exit(static_cast<int>(table.terminate(child.id(), startTimeOf(child.id()))));
    }
    int status = 0;
    waitpid(tryer, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(ProcessTable::AccessDenied));
    EXPECT_EQ(kill(static_cast<pid_t>(child.id()), 0), 0); // still running
}

std::vector<Schedule> sorted(std::vector<Schedule> schedules) {
    std::sort(schedules.begin(), schedules.end(), [](const Schedule& a, const Schedule& b) {
        return std::tie(a.policy, a.priority, a.nice) < std::tie(b.policy, b.priority, b.nice);
    });
    return schedules;
}

// A sound server's or a browser's real-time threads must survive an ordinary class change.
TEST_F(LiveProcessTest, RealTimeThreadsKeepTheirScheduleUnlessRealtimeIsChosen) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give the child a SCHED_FIFO thread and to raise priorities";
    const int ownNice = getpriority(PRIO_PROCESS, 0);
    const Schedule realTime{SCHED_FIFO, 10, ownNice};
    const std::pair<std::uint32_t, Schedule> cases[]{
        {platform::BELOW_NORMAL_PRIORITY_CLASS, {SCHED_OTHER, 0, 5}},
        {platform::HIGH_PRIORITY_CLASS, {SCHED_OTHER, 0, -15}},
        {platform::IDLE_PRIORITY_CLASS, {SCHED_OTHER, 0, 19}},
        {platform::REALTIME_PRIORITY_CLASS, {SCHED_RR, 1, ownNice}}, // FIFO 10 is not demoted
    };
    for (const auto& [priorityClass, ordinary] : cases) {
        Child child(3, {"fifo"});
        ASSERT_EQ(sorted(child.threadSchedules()),
                  sorted({{SCHED_OTHER, 0, ownNice}, {SCHED_OTHER, 0, ownNice}, realTime}));
        list.Refresh();
        TProcessItem* item = find(child.id());
        ASSERT_NE(item, nullptr);
        item->SetPriority(priorityClass);
        EXPECT_EQ(item->Priority(), priorityClass);
        EXPECT_EQ(sorted(child.threadSchedules()), sorted({ordinary, ordinary, realTime}))
            << PriorityToText(priorityClass);
    }
}

// An unprivileged "High" is refused, and nothing of the process may have changed on the way.
TEST_F(LiveProcessTest, RefusedClassChangeLeavesEveryThreadAsItWas) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give a process of another user a SCHED_FIFO thread";
    Child child(3, {"fifo", "nobody"});
    const std::vector<Schedule> before = child.threadSchedules();
    ASSERT_EQ(std::count_if(before.begin(), before.end(),
                            [](const Schedule& s) { return s.policy == SCHED_FIFO; }),
              1);
    const pid_t setter = fork();
    ASSERT_GE(setter, 0);
    if (setter == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(100);
        list.Refresh();
        TProcessItem* item = find(child.id());
        if (!item)
            _exit(101);
        const std::uint32_t was = item->Priority();
        item->SetPriority(platform::HIGH_PRIORITY_CLASS);
        _exit(item->Priority() == was ? 0 : 1);
    }
    int status = 0;
    waitpid(setter, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the record must say the change was refused";
    EXPECT_EQ(child.threadSchedules(), before);
}

// A child that gets the given PID, or none when other processes keep taking it first.
std::unique_ptr<Child> childWithPid(std::uint32_t processId) {
    const int lastPid = open("/proc/sys/kernel/ns_last_pid", O_RDWR | O_CLOEXEC);
    if (lastPid < 0)
        return nullptr;
    flock(lastPid, LOCK_EX); // the convention of the tools that pick PIDs this way
    std::unique_ptr<Child> child;
    for (int attempt = 0; attempt < 50 && !(child && child->id() == processId); ++attempt) {
        child.reset();
        const std::string previous = std::to_string(processId - 1);
        if (pwrite(lastPid, previous.data(), previous.size(), 0) < 0)
            break;
        child = std::make_unique<Child>(1);
    }
    close(lastPid);
    return child && child->id() == processId ? std::move(child) : nullptr;
}

// The PID of a listed process can be taken by a new one before the user's click.
TEST_F(LiveProcessTest, RecycledPidIsNeitherEndedNorChanged) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to hand a PID on through ns_last_pid";
    auto listed = std::make_unique<Child>(1);
    list.Refresh();
    TProcessItem* item = find(listed->id());
    ASSERT_NE(item, nullptr);
    const std::uint32_t processId = listed->id();
    kill(static_cast<pid_t>(processId), SIGKILL);
    ASSERT_EQ(listed->waitForSignal(), SIGKILL);
    listed.reset();
    // Start times count in clock ticks (10 ms). A PID comes back only after the PID space has
    // wrapped, far later than one tick; handing it on at once could give the newcomer the same
    // tick.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const std::unique_ptr<Child> newcomer = childWithPid(processId);
    if (!newcomer)
        GTEST_SKIP() << "other processes kept taking the PID";
    const int nice = getpriority(PRIO_PROCESS, processId);

    const std::uint32_t was = item->Priority();
    item->SetPriority(platform::IDLE_PRIORITY_CLASS);
    EXPECT_EQ(item->Priority(), was);
    EXPECT_EQ(getpriority(PRIO_PROCESS, processId), nice);
    EXPECT_FALSE(item->Terminate());
    EXPECT_TRUE(newcomer->alive());
}

// Processes that a signal cannot end must not be reported as ended.
TEST_F(LiveProcessTest, EndingAnEndedOrUnkillableProcessFails) {
    Child child(1);
    list.Refresh();
    TProcessItem* item = find(child.id());
    ASSERT_NE(item, nullptr);
    kill(static_cast<pid_t>(child.id()), SIGKILL);
    for (int i = 0; i < 500 && child.state() != 'Z'; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(child.state(), 'Z');
    EXPECT_FALSE(item->Terminate()); // ended, not yet reaped
    ASSERT_EQ(child.waitForSignal(), SIGKILL);
    EXPECT_FALSE(item->Terminate()); // gone

    // Kernel threads ignore SIGKILL; root could send it and would be told they ended.
    TProcessItem* kernelThread = find(2);
    if (geteuid() == 0 && kernelThread && kernelThread->Name() == "[kthreadd]") {
        EXPECT_FALSE(kernelThread->Terminate());
    }
}

// Without root no PID can be handed on, but a start time that is not the process's own stands
// for a process that has been replaced.
TEST_F(LiveProcessTest, ActionsNeedTheStartTimeTheSnapshotRead) {
    Child child(1);
    LinuxProcessTable table;
    const std::uint64_t startTime = startTimeOf(child.id());
    ASSERT_NE(startTime, 0u);
    const int nice = getpriority(PRIO_PROCESS, child.id());
    const std::uint32_t lower =
        nice < 19 ? platform::IDLE_PRIORITY_CLASS : platform::BELOW_NORMAL_PRIORITY_CLASS;
    for (const std::uint64_t other : {startTime - 1, startTime + 1}) {
        EXPECT_FALSE(table.setPriorityClass(child.id(), other, lower));
        EXPECT_EQ(table.terminate(child.id(), other), ProcessTable::NoSuchProcess);
    }
    EXPECT_EQ(getpriority(PRIO_PROCESS, child.id()), nice);
    EXPECT_TRUE(child.alive());
    EXPECT_TRUE(table.setPriorityClass(child.id(), startTime, lower));
    EXPECT_EQ(table.terminate(child.id(), startTime), ProcessTable::Ended);
    EXPECT_EQ(child.waitForSignal(), SIGKILL);
}

} // namespace
} // namespace brenvik
