#include "startup/StartupClass.h"

#include "RunKeys.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

namespace brenvik {
namespace {

using namespace platform;
using test::MachineRun;
using test::putString;
using test::putValue;
using test::RunKey;
using test::RunOnceExKey;
using test::RunOnceKey;
using test::UserRun;
using test::valueOf;

struct LocationCase {
    std::string text;
    HKEY root;
    std::string key;
};

TEST(StartupLocationTest, RootAndKeyFollowTheFirstRootNameInTableOrder) {
    const std::vector<LocationCase> cases{
        {"no root name here", 0, "no root name here"},
        {"", 0, ""},
        {"hkey_users\\lower case", 0, "hkey_users\\lower case"},
        {"HKEY_USERS\\S-1-5-18\\Run", HKEY_USERS, "\\S-1-5-18\\Run"},
        {"HKEY_CURRENT_CONFIG\\Software", HKEY_CURRENT_CONFIG, "\\Software"},
        {UserRun, HKEY_CURRENT_USER, RunKey},
        // Cut out wherever it stands; everything else stays.
        {"x:HKEY_LOCAL_MACHINE\\Run", HKEY_LOCAL_MACHINE, "x:\\Run"},
        // The first name in table order wins, not the first in the text; only its first
        // occurrence goes.
        {"HKEY_LOCAL_MACHINE\\HKEY_CLASSES_ROOT\\HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT,
         "HKEY_LOCAL_MACHINE\\\\HKEY_CLASSES_ROOT"},
    };
    for (const LocationCase& c : cases) {
        EXPECT_EQ(RootFromLocation(c.text), c.root) << c.text;
        EXPECT_EQ(KeyFromLocation(c.text), c.key) << c.text;
    }
}

TEST(StartupLocationTest, LocationTextGivesBackWhatRootAndKeyCameFrom) {
    for (const TRootName& root : RootNames) {
        const std::string text = LocationText(root.handle, "\\Software\\Run");
        EXPECT_EQ(text, std::string(root.name) + "\\Software\\Run");
        EXPECT_EQ(RootFromLocation(text), root.handle);
        EXPECT_EQ(KeyFromLocation(text), "\\Software\\Run");
    }
}

TEST(StartupItemTest, NewEntryIsDisabledAndEmpty) {
    TStartupItem item;
    EXPECT_FALSE(item.Enabled());
    EXPECT_EQ(item.Root(), 0u);
    EXPECT_TRUE(item.Name().empty());
    EXPECT_TRUE(item.Key().empty());
    EXPECT_TRUE(item.CommandLine().empty());
    EXPECT_TRUE(item.Location().empty());
}

TEST(StartupItemTest, SetLocationDerivesRootAndKey) {
    TStartupItem item;
    item.SetLocation(MachineRun);
    EXPECT_EQ(item.Root(), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(item.Key(), RunKey);
}

class StartupModelTest : public ::testing::Test {
protected:
    test::FakePlatformScope fake;

    static std::unique_ptr<TStartupItem> entry(const std::string& name, const std::string& command,
                                               const std::string& location, bool enabled) {
        auto item = std::make_unique<TStartupItem>();
        item->SetName(name);
        item->SetEnabled(enabled);
        item->SetCommandLine(command);
        item->SetLocation(location);
        return item;
    }
    static std::vector<std::string> names(const TStartupList& list) {
        std::vector<std::string> result;
        for (int i = 0; i < list.Count(); ++i)
            result.push_back(list.Items(i)->Name());
        return result;
    }
};

TEST_F(StartupModelTest, BuildingAnEntryNeverTouchesTheRegistry) {
    putString(HKEY_CURRENT_USER, RunKey, "App", "/usr/bin/app");
    const auto before = test::runValues();
    // Enabled is set while Location is still empty, as the scan and the store reader do.
    auto disabled = entry("App", "/usr/bin/app", UserRun, false);
    auto enabled = entry("New", "/usr/bin/new", UserRun, true);
    EXPECT_EQ(test::runValues(), before);
}

TEST_F(StartupModelTest, DisablingDeletesTheValueAndEnablingWritesItBackAsPlainString) {
    putValue(HKEY_CURRENT_USER, RunKey, "App", RegValue::string("%HOME%/app", REG_EXPAND_SZ));
    putString(HKEY_CURRENT_USER, RunKey, "Other", "/usr/bin/other");
    auto item = entry("App", "%HOME%/app", UserRun, true);

    item->SetEnabled(false);
    EXPECT_FALSE(item->Enabled());
    EXPECT_FALSE(valueOf(HKEY_CURRENT_USER, RunKey, "App"));
    EXPECT_TRUE(valueOf(HKEY_CURRENT_USER, RunKey, "Other"));

    item->SetEnabled(true);
    EXPECT_TRUE(item->Enabled());
    EXPECT_EQ(valueOf(HKEY_CURRENT_USER, RunKey, "App"), RegValue::string("%HOME%/app", REG_SZ));
}

TEST_F(StartupModelTest, EnablingLeavesAnExistingValueAsItIs) {
    putValue(HKEY_CURRENT_USER, RunKey, "App", RegValue::dword(7));
    auto item = entry("App", "/usr/bin/app", UserRun, false);
    item->SetEnabled(true);
    EXPECT_EQ(valueOf(HKEY_CURRENT_USER, RunKey, "App"), RegValue::dword(7));
}

TEST_F(StartupModelTest, MissingKeyChangesOnlyTheFlag) {
    auto item = entry("App", "/usr/bin/app", "HKEY_USERS" + RunKey, false);
    item->SetEnabled(true);
    EXPECT_TRUE(item->Enabled());
    TRegistry registry(HKEY_USERS);
    EXPECT_FALSE(registry.KeyExists(RunKey));
    item->SetEnabled(false);
    EXPECT_FALSE(item->Enabled());
}

TEST_F(StartupModelTest, ValueIsPresentOnlyAsAStringType) {
    putString(HKEY_CURRENT_USER, RunKey, "Plain", "a");
    putValue(HKEY_CURRENT_USER, RunKey, "Expand", RegValue::string("b", REG_EXPAND_SZ));
    putValue(HKEY_CURRENT_USER, RunKey, "Number", RegValue::dword(1));
    putValue(HKEY_CURRENT_USER, RunKey, "Bytes", RegValue::binary(REG_BINARY, {1, 2}));
    const std::vector<std::pair<std::string, bool>> cases{
        {"Plain", true}, {"Expand", true}, {"Number", false}, {"Bytes", false}, {"Gone", false}};
    for (const auto& [name, present] : cases)
        EXPECT_EQ(entry(name, "", UserRun, true)->IsValuePresent(), present) << name;
    EXPECT_FALSE(entry("Plain", "", "HKEY_USERS" + RunKey, true)->IsValuePresent());
    EXPECT_FALSE(entry("Plain", "", "", true)->IsValuePresent());
}

TEST_F(StartupModelTest, ScanReadsTheFiveSourcesInOrderAndOnlyTheirOwnValues) {
    putString(HKEY_LOCAL_MACHINE, RunOnceExKey, "Title", "Setup");
    putString(HKEY_LOCAL_MACHINE, RunOnceExKey + "\\0001", "Step", "/usr/bin/step");
    putString(HKEY_LOCAL_MACHINE, RunOnceKey, "MachineOnce", "/usr/bin/m1");
    putString(HKEY_LOCAL_MACHINE, RunKey, "MachineRun", "/usr/bin/m0");
    putString(HKEY_CURRENT_USER, RunOnceKey, "UserOnce", "/usr/bin/u1");
    putString(HKEY_CURRENT_USER, RunKey, "UserRun", "/usr/bin/u0");
    putString(HKEY_CURRENT_USER, RunOnceExKey, "NotASource", "/usr/bin/no");
    putString(HKEY_CURRENT_USER, RunKey + "\\Sub", "NotDirect", "/usr/bin/no");

    TStartupList list;
    list.ScanRegistry();
    EXPECT_EQ(names(list), (std::vector<std::string>{"UserRun", "UserOnce", "MachineRun",
                                                     "MachineOnce", "Title"}));
    const TStartupItem& title = *list.Items(4);
    EXPECT_TRUE(title.Enabled());
    EXPECT_EQ(title.CommandLine(), "Setup");
    EXPECT_EQ(title.Location(), "HKEY_LOCAL_MACHINE" + RunOnceExKey);
    EXPECT_EQ(title.Root(), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(title.Key(), RunOnceExKey);
}

TEST_F(StartupModelTest, RunOnceExWithOnlySubkeysAddsNothing) {
    putString(HKEY_LOCAL_MACHINE, RunOnceExKey + "\\0001", "Step", "/usr/bin/step");
    TStartupList list;
    list.ScanRegistry();
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(StartupModelTest, ScanKeepsExpandableTextAndListsOtherTypesWithoutCommandLine) {
    putValue(HKEY_CURRENT_USER, RunKey, "Expand", RegValue::string("%HOME%/x", REG_EXPAND_SZ));
    putValue(HKEY_CURRENT_USER, RunKey, "Number", RegValue::dword(3));
    const auto before = test::runValues();
    TStartupList list;
    list.ScanRegistry();
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items(0)->CommandLine(), "%HOME%/x");
    EXPECT_EQ(list.Items(1)->Name(), "Number");
    EXPECT_EQ(list.Items(1)->CommandLine(), "");
    EXPECT_EQ(test::runValues(), before);
}

TEST_F(StartupModelTest, ScanningTwiceAddsNothingTheSecondTime) {
    putString(HKEY_CURRENT_USER, RunKey, "A", "/a");
    putString(HKEY_LOCAL_MACHINE, RunKey, "A", "/a");
    TStartupList list;
    list.ScanRegistry();
    list.ScanRegistry();
    EXPECT_EQ(list.Count(), 2); // same name, two locations
}

TEST_F(StartupModelTest, EqualityFoldsOnlyLettersAToZ) {
    TStartupList list;
    list.Add(entry("app", "/usr/bin/app", "HKEY_CURRENT_USER\\software\\run", false));
    list.Add(entry("caf\xC3\xA9", "x", UserRun, false));
    EXPECT_TRUE(list.Contains("APP", "/USR/BIN/APP", "HKEY_CURRENT_USER\\SOFTWARE\\RUN"));
    EXPECT_TRUE(list.Contains("CAF\xC3\xA9", "X", UserRun));
    EXPECT_FALSE(list.Contains("CAF\xC3\x89", "X", UserRun)); // É is not folded
    EXPECT_FALSE(list.Contains("app", "/usr/bin/app2", "HKEY_CURRENT_USER\\software\\run"));
}

TEST_F(StartupModelTest, DisabledEntryKeepsItsValueFromBeingListedTwice) {
    TStartupList list;
    list.Add(entry("App", "/usr/bin/app", UserRun, false));
    putString(HKEY_CURRENT_USER, RunKey, "APP", "/USR/BIN/APP");
    putString(HKEY_CURRENT_USER, RunKey, "App2", "/usr/bin/app");
    list.ScanRegistry();
    ASSERT_EQ(list.Count(), 2);
    EXPECT_FALSE(list.Items(0)->Enabled());
    EXPECT_EQ(list.Items(1)->Name(), "App2");
}

TEST_F(StartupModelTest, SameNameWithAnotherCommandLineIsASecondEntry) {
    TStartupList list;
    list.Add(entry("App", "/usr/bin/old", UserRun, false));
    putString(HKEY_CURRENT_USER, RunKey, "App", "/usr/bin/new");
    list.ScanRegistry();
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items(1)->CommandLine(), "/usr/bin/new");
}

TEST_F(StartupModelTest, RemoveDeletesTheValueAndTheEntry) {
    putString(HKEY_CURRENT_USER, RunKey, "A", "/a");
    putString(HKEY_CURRENT_USER, RunKey, "B", "/b");
    TStartupList list;
    list.ScanRegistry();
    list.Remove(list.Items(0));
    EXPECT_EQ(names(list), std::vector<std::string>{"B"});
    EXPECT_FALSE(valueOf(HKEY_CURRENT_USER, RunKey, "A"));
    EXPECT_TRUE(valueOf(HKEY_CURRENT_USER, RunKey, "B"));
}

TEST_F(StartupModelTest, RemovingADisabledEntryTouchesNoRegistryValue) {
    putString(HKEY_CURRENT_USER, RunKey, "Other", "/other");
    TStartupList list;
    list.Add(entry("App", "/usr/bin/app", UserRun, false));
    const auto before = test::runValues();
    list.Remove(list.Items(0));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(test::runValues(), before);
}

TEST_F(StartupModelTest, DeleteDropsAnEntryWithoutTouchingItsValue) {
    putValue(HKEY_CURRENT_USER, RunKey, "Number", RegValue::dword(3));
    TStartupList list;
    list.ScanRegistry();
    list.Delete(0);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(valueOf(HKEY_CURRENT_USER, RunKey, "Number"));
}

} // namespace
} // namespace brenvik
