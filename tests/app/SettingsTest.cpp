#include "app/SettingsClass.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

namespace brenvik {
namespace {

using namespace platform;

class SettingsTest : public ::testing::Test {
protected:
    test::FakePlatformScope fake;

    std::vector<std::string> storedNames() {
        TRegistry registry(HKEY_LOCAL_MACHINE);
        EXPECT_TRUE(registry.OpenKey(SettingsKeyPath, false));
        return registry.GetValueNames();
    }
    std::int32_t stored(const std::string& name) {
        TRegistry registry(HKEY_LOCAL_MACHINE);
        EXPECT_TRUE(registry.OpenKey(SettingsKeyPath, false));
        return registry.ReadInteger(name);
    }
    void store(const std::string& name, const RegValue& value) {
        TRegistry registry(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(registry.OpenKey(SettingsKeyPath, true));
        HKEY key = 0;
        ASSERT_EQ(fake->registry->openKey(HKEY_LOCAL_MACHINE, SettingsKeyPath, false, key), 0);
        fake->registry->setValue(key, name, value);
        fake->registry->closeKey(key);
    }
    TSettings loaded() {
        TSettings settings;
        settings.SetRootKey(HKEY_LOCAL_MACHINE);
        settings.SetKeyPath(SettingsKeyPath);
        settings.Load();
        return settings;
    }
};

TEST_F(SettingsTest, NewObjectHoldsFalseAndZero) {
    TSettings settings;
    EXPECT_FALSE(settings.ShowSplashOnStartup());
    EXPECT_FALSE(settings.LoadBVSystemTray());
    EXPECT_EQ(settings.AutoRefreshTimerInt(), 0);
    EXPECT_FALSE(settings.RunAtStartup());
}

TEST_F(SettingsTest, FirstStartWritesTheDefaultsInLoadOrderTheMemoryLoadLast) {
    TSettings settings = loaded();
    const std::vector<std::string> order{
        "LoadBVSystemTray",       "CloseBVAfterWash",      "CleanMemWhenMemReach",
        "CleanMemoryOnTimer",     "ShowSplashOnStartup",   "AutoRefreshTimerInt",
        "CleanMemoryEveryMinute", "CleanMemoryOnMemLimit", "ShowMemoryLoadInTray"};
    EXPECT_EQ(storedNames(), order);
    const std::vector<std::int32_t> defaults{0, 0, 0, 0, 1, 0, 0, 0, 1};
    for (std::size_t i = 0; i < order.size(); ++i)
        EXPECT_EQ(stored(order[i]), defaults[i]) << order[i];
    EXPECT_TRUE(settings.ShowSplashOnStartup());
    EXPECT_TRUE(settings.ShowMemoryLoadInTray());
}

TEST_F(SettingsTest, ExistingValueIsKeptAndTheOthersAdded) {
    store("ShowSplashOnStartup", RegValue::dword(0));
    TSettings settings = loaded();
    EXPECT_FALSE(settings.ShowSplashOnStartup());
    EXPECT_EQ(stored("ShowSplashOnStartup"), 0);
    EXPECT_EQ(storedNames().size(), 9u);
    EXPECT_EQ(storedNames().front(), "ShowSplashOnStartup");
}

// A key written by a version without the memory-load preference: the eight stay as they were and
// the new one is added after them, on.
TEST_F(SettingsTest, KeyOfAnOlderVersionGetsTheMemoryLoadAddedAfterItsEight) {
    const std::vector<std::string> eight{"LoadBVSystemTray",       "CloseBVAfterWash",
                                         "CleanMemWhenMemReach",   "CleanMemoryOnTimer",
                                         "ShowSplashOnStartup",    "AutoRefreshTimerInt",
                                         "CleanMemoryEveryMinute", "CleanMemoryOnMemLimit"};
    for (const std::string& name : eight)
        store(name, RegValue::dword(1));
    TSettings settings = loaded();
    std::vector<std::string> expected = eight;
    expected.push_back("ShowMemoryLoadInTray");
    EXPECT_EQ(storedNames(), expected);
    for (const std::string& name : eight)
        EXPECT_EQ(stored(name), 1) << name;
    EXPECT_TRUE(settings.ShowMemoryLoadInTray());

    store("ShowMemoryLoadInTray", RegValue::dword(0));
    EXPECT_FALSE(loaded().ShowMemoryLoadInTray());
}

TEST_F(SettingsTest, ValueOfAnotherTypeIsTreatedAsAbsent) {
    store("AutoRefreshTimerInt", RegValue::string("3"));
    TSettings settings = loaded();
    EXPECT_EQ(settings.AutoRefreshTimerInt(), 0);
    EXPECT_EQ(stored("AutoRefreshTimerInt"), 0);
}

TEST_F(SettingsTest, SettersWriteThroughAtOnce) {
    TSettings settings = loaded();
    settings.SetLoadBVSystemTray(true);
    EXPECT_EQ(stored("LoadBVSystemTray"), 1);
    settings.SetLoadBVSystemTray(false);
    EXPECT_EQ(stored("LoadBVSystemTray"), 0);
    settings.SetAutoRefreshTimerInt(4);
    settings.SetCleanMemoryEveryMinute(120);
    settings.SetCleanMemoryOnMemLimit(300);
    settings.SetCloseBVAfterWash(true);
    settings.SetCleanMemWhenMemReach(true);
    settings.SetCleanMemoryOnTimer(true);
    settings.SetShowSplashOnStartup(false);
    settings.SetShowMemoryLoadInTray(false);
    EXPECT_EQ(stored("AutoRefreshTimerInt"), 4);
    EXPECT_EQ(stored("CleanMemoryEveryMinute"), 120);
    EXPECT_EQ(stored("CleanMemoryOnMemLimit"), 300);
    EXPECT_EQ(stored("CloseBVAfterWash"), 1);
    EXPECT_EQ(stored("CleanMemWhenMemReach"), 1);
    EXPECT_EQ(stored("CleanMemoryOnTimer"), 1);
    EXPECT_EQ(stored("ShowSplashOnStartup"), 0);
    EXPECT_EQ(stored("ShowMemoryLoadInTray"), 0);
    EXPECT_FALSE(settings.ShowMemoryLoadInTray());
}

TEST_F(SettingsTest, RunAtStartupWritesAndRemovesTheProgramPath) {
    TSettings settings = loaded(); // creates the Run key
    settings.SetRunAtStartup(true);
    TRegistry run(HKEY_CURRENT_USER);
    ASSERT_TRUE(run.OpenKey(RunKeyPath, false));
    EXPECT_EQ(run.ReadString(RunValueName), "/opt/brenvik/brenvik");
    EXPECT_TRUE(loaded().RunAtStartup());

    fake->fakeSystem().program = "/home/user/moved/brenvik";
    settings.SetRunAtStartup(true);
    EXPECT_EQ(run.ReadString(RunValueName), "/home/user/moved/brenvik");

    settings.SetRunAtStartup(false);
    EXPECT_FALSE(run.ValueExists(RunValueName));
    EXPECT_FALSE(settings.RunAtStartup());
}

TEST_F(SettingsTest, SettingsKeyThatCannotOpenLeavesFalseAndZero) {
    fake->registry->setHive(HKEY_LOCAL_MACHINE, nullptr);
    TSettings settings = loaded();
    EXPECT_FALSE(settings.ShowSplashOnStartup());
    EXPECT_FALSE(settings.ShowMemoryLoadInTray());
    settings.SetCloseBVAfterWash(true); // memory only, nothing raised
    EXPECT_TRUE(settings.CloseBVAfterWash());
}

TEST_F(SettingsTest, ReadSettingsFlagIsFalseOnEveryFailure) {
    EXPECT_FALSE(ReadSettingsFlag("LoadBVSystemTray")); // key missing
    store("LoadBVSystemTray", RegValue::string("1"));
    EXPECT_FALSE(ReadSettingsFlag("LoadBVSystemTray")); // another type
    store("LoadBVSystemTray", RegValue::dword(7));
    EXPECT_TRUE(ReadSettingsFlag("LoadBVSystemTray"));
}

} // namespace
} // namespace brenvik
