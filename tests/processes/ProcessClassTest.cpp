// The process list model over the fake process table.

#include "processes/ProcessClass.h"

#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

namespace brenvik {
namespace {

using platform::ProcessTable;

// Records what the model does to the page's image list.
class RecordingImageList : public TImageList {
public:
    std::vector<std::string> images{"default"};
    int Count() const override { return static_cast<int>(images.size()); }
    void Delete(int index) override { images.erase(images.begin() + index); }
    int AddIcon(const std::string& icon) override {
        if (icon.empty())
            return -1;
        images.push_back(icon);
        return Count() - 1;
    }
};

class ProcessListTest : public ::testing::Test {
protected:
    test::FakePlatformScope fake;
    test::FakeProcessTable& table = fake->fakeProcesses();
    RecordingImageList images;
    TProcessList list{images, "default"};

    TProcessItem* find(std::uint32_t processId) {
        for (int i = 0; i < list.Count(); ++i)
            if (list.Items(i).ProcessID() == processId)
                return &list.Items(i);
        return nullptr;
    }
};

TEST_F(ProcessListTest, RefreshBuildsOneRecordPerProcessInTableOrder) {
    auto& editor = table.add(300, "/usr/bin/editor");
    editor.threadCount = 7;
    editor.priority = platform::HIGH_PRIORITY_CLASS;
    editor.memory = 5'000'000'000; // above 4 GiB: must not wrap
    table.add(12, "[kthreadd]");
    table.add(40, "kworker/0:1-events");
    list.Refresh();

    ASSERT_EQ(list.Count(), 3);
    const TProcessItem& first = list.Items(0);
    EXPECT_EQ(first.ProcessID(), 300u);
    EXPECT_EQ(first.ThreadCount(), 7u);
    EXPECT_EQ(first.Priority(), platform::HIGH_PRIORITY_CLASS);
    EXPECT_EQ(first.MemoryUsage(), 5'000'000'000u);
    EXPECT_EQ(first.Name(), "editor");
    EXPECT_EQ(first.Path(), "/usr/bin/editor");
    EXPECT_EQ(first.ListIndex(), -1);
    EXPECT_EQ(&first.Owner(), &list);
    // Process names are not paths, even when they hold a slash.
    EXPECT_EQ(list.Items(1).Name(), "[kthreadd]");
    EXPECT_EQ(list.Items(1).Path(), "[kthreadd]");
    EXPECT_EQ(list.Items(2).Name(), "kworker/0:1-events");
}

TEST_F(ProcessListTest, OwnProcessIsNeverListedWhateverTheCase) {
    table.ownPath = "/opt/Brenvik/brenvik";
    table.add(10, "/usr/bin/shell");
    table.add(11, "/OPT/BRENVIK/BRENVIK");
    table.add(12, "/opt/Brenvik/brenvik");
    list.Refresh();
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Items(0).ProcessID(), 10u);
}

TEST_F(ProcessListTest, UnreadableFiguresAreZeroAndShowUnknown) {
    table.add(10, "/usr/bin/shell").priority = 0;
    list.Refresh();
    EXPECT_EQ(list.Items(0).Priority(), 0u);
    EXPECT_EQ(list.Items(0).MemoryUsage(), 0u);
    EXPECT_EQ(PriorityToText(list.Items(0).Priority()), "Unknown");
}

TEST_F(ProcessListTest, PathComesFromTheModulesOnTheNtFamilyOnly) {
    auto& service = table.add(10, "service");
    service.modulePath = "/srv/bin/service";
    table.add(4, "System"); // module lookup fails: name and path stay the file text
    list.Refresh();
    EXPECT_EQ(find(10)->Path(), "service");

    list.SetWindowsVersion(wvWinXP);
    list.Refresh();
    EXPECT_EQ(find(10)->Path(), "/srv/bin/service");
    EXPECT_EQ(find(10)->Name(), "service");
    EXPECT_EQ(find(4)->Path(), "System");
    EXPECT_EQ(find(4)->Name(), "System");
}

TEST_F(ProcessListTest, RefreshCutsTheImageListBackToTheDefaultIcon) {
    table.add(10, "/usr/bin/editor").icon = "accessories-text-editor";
    table.add(11, "/usr/bin/plain");
    list.Refresh();
    EXPECT_EQ(list.Items(0).Icon(), "accessories-text-editor");
    EXPECT_EQ(list.Items(1).Icon(), "");
    images.AddIcon("a");
    images.AddIcon("b");
    list.Refresh();
    EXPECT_EQ(images.images, std::vector<std::string>{"default"});
    EXPECT_EQ(list.DefaultIcon(), "default");
}

TEST_F(ProcessListTest, RefreshReplacesEveryRecord) {
    table.add(10, "/usr/bin/a");
    list.Refresh();
    table.processes.clear();
    table.add(20, "/usr/bin/b");
    list.Refresh();
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Items(0).ProcessID(), 20u);
}

TEST_F(ProcessListTest, SetPriorityChangesTheRecordAndNotifiesOnlyOnSuccess) {
    table.add(10, "/usr/bin/a");
    table.add(11, "/usr/bin/protected");
    table.protectedIds.insert(11);
    list.Refresh();
    int notified = 0;
    for (int i = 0; i < list.Count(); ++i)
        list.Items(i).OnPriorityChange = [&](TProcessItem&) { ++notified; };

    TProcessItem& process = *find(10);
    process.SetPriority(platform::NORMAL_PRIORITY_CLASS); // the current class: nothing to do
    EXPECT_TRUE(table.priorityCalls.empty());
    EXPECT_EQ(notified, 0);

    process.SetPriority(platform::IDLE_PRIORITY_CLASS);
    EXPECT_EQ(process.Priority(), platform::IDLE_PRIORITY_CLASS);
    EXPECT_EQ(notified, 1);

    TProcessItem& refused = *find(11);
    refused.SetPriority(platform::HIGH_PRIORITY_CLASS);
    EXPECT_EQ(refused.Priority(), platform::NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(notified, 1);
}

TEST_F(ProcessListTest, UnattachedNotificationsAreSkipped) {
    table.add(10, "/usr/bin/a");
    list.Refresh();
    list.Items(0).SetPriority(platform::HIGH_PRIORITY_CLASS);
    EXPECT_EQ(list.Items(0).Priority(), platform::HIGH_PRIORITY_CLASS);
}

TEST_F(ProcessListTest, TerminateRetriesWithTheDebugPrivilegeOnTheNtFamilyOnly) {
    table.add(10, "/usr/bin/a");
    table.add(11, "/usr/bin/guarded");
    table.privilegeEnds.insert(11);
    list.Refresh();

    EXPECT_TRUE(find(10)->Terminate());
    EXPECT_FALSE(find(10)->Terminate()); // gone: fails without a privilege attempt
    EXPECT_FALSE(find(11)->Terminate()); // access denied, not the NT family
    EXPECT_TRUE(table.privilegeCalls.empty());

    for (TWindowsVersion version : {wvWin98, wvUnknown}) {
        list.SetWindowsVersion(version);
        EXPECT_FALSE(find(11)->Terminate());
    }
    EXPECT_TRUE(table.privilegeCalls.empty());

    list.SetWindowsVersion(wvWinVista);
    EXPECT_TRUE(find(11)->Terminate());
    EXPECT_EQ(table.privilegeCalls, std::vector<std::uint32_t>{11});
}

// Between a refresh and the user's click the listed process can end and its PID pass to another.
TEST_F(ProcessListTest, ActionsNeverReachANewProcessThatTookTheListedPid) {
    table.add(10, "/usr/bin/listed");
    list.Refresh();
    TProcessItem& listed = *find(10);
    int notified = 0;
    listed.OnPriorityChange = [&](TProcessItem&) { ++notified; };
    auto& newcomer = table.reusePid(10, "/usr/bin/newcomer");
    table.privilegeEnds.insert(10);

    listed.SetPriority(platform::IDLE_PRIORITY_CLASS);
    EXPECT_EQ(listed.Priority(), platform::NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(newcomer.priority, platform::NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(notified, 0);
    for (TWindowsVersion version : {wvUnknown, wvWinVista}) {
        list.SetWindowsVersion(version);
        EXPECT_FALSE(listed.Terminate());
    }
    ASSERT_EQ(table.processes.size(), 1u);
    EXPECT_EQ(table.processes[0].exeFile, "/usr/bin/newcomer");
}

TEST(PriorityToTextTest, NamesTheSixClassesAndNothingElse) {
    const std::vector<std::pair<std::uint32_t, std::string>> cases{
        {0x20, "Normal"},    {0x40, "Idle"},           {0x80, "High"},
        {0x100, "Realtime"}, {0x4000, "Below Normal"}, {0x8000, "Above Normal"},
        {0, "Unknown"},      {0x10, "Unknown"},        {0xFFFFFFFF, "Unknown"}};
    for (const auto& [priorityClass, text] : cases)
        EXPECT_EQ(PriorityToText(priorityClass), text) << priorityClass;
}

TEST(ListTextOrderTest, ComparesTextsByCodeWithLettersFoldedAndEmptyLast) {
    struct Case {
        const char* left;
        const char* right;
        bool before;
    };
    const Case cases[]{
        {"100", "20", true},   // numbers are texts
        {"abc", "ABD", true},  // case folded
        {"ABC", "abc", false}, // equal once folded
        {"abc", "abcd", true}, // a text that begins another first
        {"_x", "a", false},    // '_' (0x5F) is after 'A' (0x41) once folded
        {"Z", "[", true},      // folding maps to upper case, not lower
        {"x", "", true},       // empty texts last
        {"", "x", false},      {"", "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ListTextBefore(c.left, c.right), c.before) << c.left << " / " << c.right;
}

} // namespace
} // namespace brenvik
