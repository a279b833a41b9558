#include "app/SettingsClass.h"
#include "fakes/FakePlatform.h"
#include "platform/linux/LinuxServices.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace brenvik {
namespace {

namespace fs = std::filesystem;
using namespace platform;
using test::readFile;
using test::writeFile;

// The program's settings against the real Linux registry: hive files and autostart folder in a
// temporary home, the rest of the platform faked.
class LinuxRegistryTest : public ::testing::Test {
protected:
    test::TempHome home; // first: the registry takes its folders from the environment
    test::FakePlatformScope fake;
    fs::path machineHive = home.config() / "brenvik" / "HKEY_LOCAL_MACHINE.reg";
    fs::path autostart = home.config() / "autostart" / "Brenvik.desktop";
    fs::path program = home.root() / "my apps" / "brenvik";

    void SetUp() override {
        fake->registry = makeLinuxRegistry();
        writeFile(program, "#!/bin/sh\n");
        fake->fakeSystem().program = program;
    }
    static TSettings loaded() {
        TSettings settings;
        settings.SetRootKey(HKEY_LOCAL_MACHINE);
        settings.SetKeyPath(SettingsKeyPath);
        settings.Load();
        return settings;
    }
    static std::string settingsSection(const std::string& values) {
        return "\n[HKEY_LOCAL_MACHINE\\Software\\Orlevo\\Brenvik\\Settings]\n" + values;
    }
};

TEST_F(LinuxRegistryTest, FirstStartWritesTheDefaultsInLoadOrder) {
    const TSettings settings = loaded();
    EXPECT_TRUE(settings.ShowSplashOnStartup());
    EXPECT_FALSE(settings.RunAtStartup());
    const std::string text = readFile(machineHive);
    EXPECT_TRUE(text.ends_with(settingsSection("\"LoadBVSystemTray\"=dword:00000000\n"
                                               "\"CloseBVAfterWash\"=dword:00000000\n"
                                               "\"CleanMemWhenMemReach\"=dword:00000000\n"
                                               "\"CleanMemoryOnTimer\"=dword:00000000\n"
                                               "\"ShowSplashOnStartup\"=dword:00000001\n"
                                               "\"AutoRefreshTimerInt\"=dword:00000000\n"
                                               "\"CleanMemoryEveryMinute\"=dword:00000000\n"
                                               "\"CleanMemoryOnMemLimit\"=dword:00000000\n"
                                               "\"ShowMemoryLoadInTray\"=dword:00000001\n")))
        << text;
    EXPECT_FALSE(fs::exists(home.config() / "autostart")); // reading Run writes nothing
    EXPECT_FALSE(fs::exists(home.config() / "brenvik" / "HKEY_CURRENT_USER.reg"));
}

TEST_F(LinuxRegistryTest, StoredValueIsKeptAndTheOthersAdded) {
    writeFile(machineHive, "Brenvik Registry Hive Version 1\n" +
                               settingsSection("\"ShowSplashOnStartup\"=dword:00000000\n"));
    TSettings settings = loaded();
    EXPECT_FALSE(settings.ShowSplashOnStartup());
    EXPECT_TRUE(readFile(machineHive)
                    .ends_with(settingsSection("\"ShowSplashOnStartup\"=dword:00000000\n"
                                               "\"LoadBVSystemTray\"=dword:00000000\n"
                                               "\"CloseBVAfterWash\"=dword:00000000\n"
                                               "\"CleanMemWhenMemReach\"=dword:00000000\n"
                                               "\"CleanMemoryOnTimer\"=dword:00000000\n"
                                               "\"AutoRefreshTimerInt\"=dword:00000000\n"
                                               "\"CleanMemoryEveryMinute\"=dword:00000000\n"
                                               "\"CleanMemoryOnMemLimit\"=dword:00000000\n"
                                               "\"ShowMemoryLoadInTray\"=dword:00000001\n")));
    settings.SetLoadBVSystemTray(true);
    EXPECT_TRUE(ReadSettingsFlag("LoadBVSystemTray"));
}

TEST_F(LinuxRegistryTest, DamagedHiveIsSetAsideAndStartUpCarriesOn) {
    writeFile(machineHive, "Brenvik Registry Hive Version 1\n" +
                               settingsSection("\"ShowSplashOnStartup\"=dword:0000"));
    EXPECT_FALSE(ReadSettingsFlag("ShowSplashOnStartup"));
    EXPECT_TRUE(loaded().ShowSplashOnStartup());
    EXPECT_TRUE(fs::exists(machineHive.string() + ".bad"));
}

TEST_F(LinuxRegistryTest, RunAtStartupMakesAnAutostartEntryForTheProgram) {
    TSettings settings = loaded();
    settings.SetRunAtStartup(true);
    EXPECT_EQ(readFile(autostart), "[Desktop Entry]\nType=Application\nName=Brenvik\nExec=\"" +
                                       program.string() + "\"\n");
    {
        TRegistry run(HKEY_CURRENT_USER);
        ASSERT_TRUE(run.OpenKey(RunKeyPath, false));
        EXPECT_EQ(run.ReadString(RunValueName), program.string());
        EXPECT_EQ(run.GetValueNames(), std::vector<std::string>{RunValueName});
    }
    EXPECT_TRUE(loaded().RunAtStartup());
    // The next start writes the same value again: the file is not replaced.
    struct stat before {};
    ASSERT_EQ(::stat(autostart.c_str(), &before), 0);
    settings.SetRunAtStartup(true);
    struct stat after {};
    ASSERT_EQ(::stat(autostart.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);

    settings.SetRunAtStartup(false);
    EXPECT_TRUE(readFile(autostart).ends_with("\nHidden=true\n"));
    EXPECT_FALSE(loaded().RunAtStartup());
    settings.SetRunAtStartup(true);
    EXPECT_TRUE(loaded().RunAtStartup());
    EXPECT_EQ(readFile(autostart).find("Hidden"), std::string::npos);
}

TEST_F(LinuxRegistryTest, UserWrittenEntryKeepsItsOtherKeysThroughACycle) {
    const std::string entry = "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Brenvik memory\n"
                              "Comment[de]=Speicher\n"
                              "Exec=\"" +
                              program.string() +
                              "\"\n"
                              "Icon=brenvik\n"
                              "# started late on purpose\n"
                              "X-GNOME-Autostart-Delay=10\n";
    writeFile(autostart, entry);
    TSettings settings = loaded();
    EXPECT_TRUE(settings.RunAtStartup());
    settings.SetRunAtStartup(false);
    EXPECT_FALSE(loaded().RunAtStartup());
    settings.SetRunAtStartup(true);
    EXPECT_EQ(readFile(autostart), entry);
}

TEST_F(LinuxRegistryTest, LiveKeysSitInTheStoredTree) {
    TRegistry registry(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(registry.OpenKey("\\Software\\Microsoft\\Windows", false)); // above a live key
    EXPECT_EQ(registry.GetKeyNames(), std::vector<std::string>{"CurrentVersion"});
    ASSERT_TRUE(registry.OpenKey("\\Software\\Microsoft\\Windows\\CurrentVersion", false));
    EXPECT_EQ(registry.GetKeyNames(), std::vector<std::string>{"Run"});
    EXPECT_EQ(registry.ValueExists("ProductName"),
              fs::exists("/etc/os-release") || fs::exists("/usr/lib/os-release"));

    // RunOnce has no Linux counterpart: an ordinary stored key next to the live Run key.
    TRegistry user(HKEY_CURRENT_USER);
    ASSERT_TRUE(user.OpenKey("\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", true));
    user.WriteString("Once", "/usr/bin/once");
    ASSERT_TRUE(user.OpenKey("\\Software\\Microsoft\\Windows\\CurrentVersion", false));
    EXPECT_EQ(user.GetKeyNames(), (std::vector<std::string>{"RunOnce", "Run"}));
    EXPECT_NE(readFile(home.config() / "brenvik" / "HKEY_CURRENT_USER.reg")
                  .find("CurrentVersion\\RunOnce]\n\"Once\"=\"/usr/bin/once\"\n"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(home.config() / "autostart"));
}

} // namespace
} // namespace brenvik
