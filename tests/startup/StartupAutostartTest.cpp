// The startup model over the real Run keys: the user's and the system's autostart entries in
// temporary XDG folders.

#include "RunKeys.h"
#include "fakes/FakePlatform.h"
#include "platform/linux/LinuxServices.h"
#include "startup/StartupClass.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>
#include <sstream>

namespace brenvik {
namespace {

using namespace platform;
using test::RunKey;

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class StartupAutostartTest : public ::testing::Test {
protected:
    test::TempHome home;
    test::FakePlatformScope fake;
    std::filesystem::path userFolder = home.config() / "autostart";
    std::filesystem::path systemFolder = home.root() / "etc-xdg" / "autostart";
    std::filesystem::path store = home.root() / "startup.dat";

    StartupAutostartTest() { fake->registry = makeLinuxRegistry(); }

    // A run of the program: the store, then a refresh as the Startup page does it.
    void start(TStartupList& list) {
        list.LoadFromFile(store);
        for (int i = 0; i < list.Count();) {
            if (list.Items(i)->Enabled() && !list.Items(i)->IsValuePresent())
                list.Delete(i);
            else
                ++i;
        }
        list.ScanRegistry();
    }
    static TStartupItem* find(TStartupList& list, const std::string& name) {
        for (int i = 0; i < list.Count(); ++i)
            if (list.Items(i)->Name() == name)
                return list.Items(i);
        return nullptr;
    }
};

TEST_F(StartupAutostartTest, UserEntryKeepsItsOtherKeysThroughDisableRestartEnable) {
    const std::string original = "[Desktop Entry]\n"
                                 "Type=Application\n"
                                 "Name=Note Taker\n"
                                 "Name[de]=Notizen\n"
                                 "Comment=Keeps notes\n"
                                 "Exec=/usr/bin/notes --tray\n"
                                 "Icon=notes\n"
                                 "X-Custom-Key=kept\n";
    test::writeFile(userFolder / "notes.desktop", original);
    {
        TStartupList list;
        start(list);
        TStartupItem* notes = find(list, "notes");
        ASSERT_NE(notes, nullptr);
        EXPECT_TRUE(notes->Enabled());
        EXPECT_EQ(notes->CommandLine(), "/usr/bin/notes --tray");
        EXPECT_EQ(notes->Location(), test::UserRun);
        notes->SetEnabled(false);
        ASSERT_TRUE(list.SaveToFile(store).saved);
    }
    EXPECT_FALSE(test::valueOf(HKEY_CURRENT_USER, RunKey, "notes"));

    TStartupList list;
    start(list);
    TStartupItem* notes = find(list, "notes");
    ASSERT_NE(notes, nullptr);
    EXPECT_FALSE(notes->Enabled());
    EXPECT_EQ(notes->CommandLine(), "/usr/bin/notes --tray");
    EXPECT_EQ(list.Count(), 1);

    notes->SetEnabled(true);
    EXPECT_EQ(test::valueOf(HKEY_CURRENT_USER, RunKey, "notes"),
              RegValue::string("/usr/bin/notes --tray"));
    const auto after = linesOf(test::readFile(userFolder / "notes.desktop"));
    for (const std::string& line : linesOf(original))
        EXPECT_NE(std::find(after.begin(), after.end(), line), after.end()) << line;
    EXPECT_EQ(std::find(after.begin(), after.end(), "Hidden=true"), after.end());
}

TEST_F(StartupAutostartTest, SystemEntryIsMaskedByAUserOverrideAndNeverWritten) {
    // A real entry of this system when there is one, else one of the same shape.
    const std::filesystem::path real = "/etc/xdg/autostart/xdg-user-dirs.desktop";
    const std::string text = std::filesystem::exists(real)
                                 ? test::readFile(real)
                                 : "[Desktop Entry]\nType=Application\nName=User folders update\n"
                                   "Exec=xdg-user-dirs-update\nNoDisplay=true\n";
    test::writeFile(systemFolder / "xdg-user-dirs.desktop", text);

    TStartupList list;
    start(list);
    TStartupItem* entry = find(list, "xdg-user-dirs");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->Location(), test::MachineRun);
    EXPECT_EQ(entry->CommandLine(), "xdg-user-dirs-update");

    entry->SetEnabled(false);
    EXPECT_FALSE(entry->IsValuePresent());
    const auto mask = linesOf(test::readFile(userFolder / "xdg-user-dirs.desktop"));
    EXPECT_NE(std::find(mask.begin(), mask.end(), "Hidden=true"), mask.end());
    EXPECT_EQ(test::readFile(systemFolder / "xdg-user-dirs.desktop"), text);
    // The mask is no entry of the user's own.
    TStartupList rescanned;
    rescanned.ScanRegistry();
    EXPECT_EQ(find(rescanned, "xdg-user-dirs"), nullptr);

    entry->SetEnabled(true);
    EXPECT_TRUE(entry->IsValuePresent());
    EXPECT_FALSE(std::filesystem::exists(userFolder / "xdg-user-dirs.desktop"));
    EXPECT_EQ(test::readFile(systemFolder / "xdg-user-dirs.desktop"), text);
}

TEST_F(StartupAutostartTest, EntryRemovedByAnotherProgramIsDroppedAtTheNextStart) {
    test::writeFile(userFolder / "gone.desktop", "[Desktop Entry]\nType=Application\nExec=/gone\n");
    {
        TStartupList list;
        start(list);
        ASSERT_NE(find(list, "gone"), nullptr);
        ASSERT_TRUE(list.SaveToFile(store).saved);
    }
    std::filesystem::remove(userFolder / "gone.desktop");
    TStartupList list;
    start(list);
    EXPECT_EQ(list.Count(), 0);
}

} // namespace
} // namespace brenvik
