// The Linux process table: against a fixture proc tree, and against child processes the tests
// start themselves.

#include "platform/linux/LinuxProcessTable.h"

#include "platform/Platform.h"
#include "processes/ProcessClass.h"
#include "support/TempHome.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <sched.h>
#include <spawn.h>
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

// A child process of the test, killed and reaped when the object goes.
class Child {
public:
    explicit Child(int threads) {
        const std::string count = std::to_string(threads);
        char* argv[] = {const_cast<char*>(PROCESS_TEST_CHILD), const_cast<char*>(count.c_str()),
                        nullptr};
        if (posix_spawn(&pid_, PROCESS_TEST_CHILD, nullptr, nullptr, argv, environ) != 0)
            pid_ = -1;
        // Wait until every thread runs.
        LinuxProcessTable table;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (pid_ > 0 && threadCount(table) != static_cast<std::uint32_t>(threads) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~Child() {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
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
    std::uint32_t threadCount(LinuxProcessTable& table) const {
        for (const auto& entry : table.snapshot())
            if (entry.processId == id())
                return entry.threadCount;
        return 0;
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
    EXPECT_EQ(live.processes->terminate(child.id()), ProcessTable::NoSuchProcess);
    EXPECT_EQ(live.processes->terminate(0), ProcessTable::NoSuchProcess);
}

TEST_F(LiveProcessTest, TerminateIsDeniedForAnotherUsersProcess) {
    if (geteuid() != 0) {
        list.Refresh();
        TProcessItem* init = find(1);
        ASSERT_NE(init, nullptr);
        EXPECT_EQ(live.processes->terminate(1), ProcessTable::AccessDenied);
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
        _exit(static_cast<int>(table.terminate(child.id())));
    }
    int status = 0;
    waitpid(tryer, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(ProcessTable::AccessDenied));
    EXPECT_EQ(kill(static_cast<pid_t>(child.id()), 0), 0); // still running
}

} // namespace
} // namespace brenvik
