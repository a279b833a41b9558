// The startup model over the real Run keys: the user's and the system's autostart entries in
// temporary XDG folders.

#include "RunKeys.h"
#include "ctl/Commands.h"
#include "fakes/FakePlatform.h"
#include "platform/linux/LinuxServices.h"
#include "startup/StartupClass.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>
#include <tuple>

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

using Row = std::tuple<std::string, std::string, std::string, std::string>;

class StartupAutostartTest : public ::testing::Test {
protected:
    test::TempHome home;
    test::FakePlatformScope fake;
    std::filesystem::path userFolder = home.config() / "autostart";
    std::filesystem::path systemFolder = home.root() / "etc-xdg" / "autostart";
    // Where brenvikctl keeps it too: the program's folder, a portable copy's.
    std::filesystem::path store = home.root() / "portable" / "startup.dat";

    StartupAutostartTest() {
        fake->registry = makeLinuxRegistry();
        std::filesystem::create_directories(store.parent_path());
        fake->fakeSystem().program = store.parent_path() / "brenvik";
        home.setEnv("XDG_CURRENT_DESKTOP", "GNOME");
    }

    // A run of the program: the store, then a refresh as the Startup page does it.
    void start(TStartupList& list) {
        list.LoadFromFile(store);
        for (int i = 0; i < list.Count();) {
            if (list.Items(i)->Enabled() && !list.Items(i)->IsValueCurrent())
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
    static TStartupItem* find(TStartupList& list, const std::string& name, bool enabled) {
        for (int i = 0; i < list.Count(); ++i)
            if (list.Items(i)->Name() == name && list.Items(i)->Enabled() == enabled)
                return list.Items(i);
        return nullptr;
    }
    // The rows a fresh start of the program shows, sorted.
    std::vector<Row> programRows() {
        TStartupList list;
        start(list);
        std::vector<Row> rows;
        for (int i = 0; i < list.Count(); ++i) {
            const TStartupItem& item = *list.Items(i);
            rows.emplace_back(item.Name(), item.Enabled() ? "Active" : "Disabled",
                              item.CommandLine(), item.Location());
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    int ctl(std::vector<std::string> args, bool json = false) {
        ctl::Invocation call{std::move(args), json, ctlOut, ctlErr};
        ctlOut.str({});
        return ctl::runStartup(call);
    }
    // What `brenvikctl startup list` shows, sorted.
    std::vector<Row> ctlRows() {
        EXPECT_EQ(ctl({"list"}, true), 0) << ctlErr.str();
        std::vector<Row> rows;
        for (const auto& entry : nlohmann::json::parse(ctlOut.str()))
            rows.emplace_back(entry["name"], entry["status"], entry["commandLine"],
                              entry["location"]);
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    std::ostringstream ctlOut;
    std::ostringstream ctlErr;
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
    // The mask is no entry of the user's own; it records the system entry as disabled.
    TStartupList rescanned;
    rescanned.ScanRegistry();
    ASSERT_EQ(rescanned.Count(), 1);
    EXPECT_FALSE(rescanned.Items(0)->Enabled());
    EXPECT_EQ(rescanned.Items(0)->Location(), test::MachineRun);

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

TEST_F(StartupAutostartTest, DeletingADisabledEntryLeavesALiveEntryOfTheSameNameAlone) {
    struct Case {
        std::filesystem::path folder; // where the entry lives
        std::string location;
    };
    for (const Case& c : {Case{userFolder, test::UserRun}, Case{systemFolder, test::MachineRun}}) {
        SCOPED_TRACE(c.location);
        const auto file = c.folder / "agent.desktop";
        test::writeFile(file, "[Desktop Entry]\nType=Application\nExec=/usr/bin/agent --old\n");
        {
            TStartupList list;
            start(list);
            find(list, "agent")->SetEnabled(false);
            ASSERT_TRUE(list.SaveToFile(store).saved);
        }
        // The program writes its entry anew, with a new command (and no override hides it).
        std::filesystem::remove(userFolder / "agent.desktop");
        const std::string live = "[Desktop Entry]\nType=Application\nExec=/usr/bin/agent --new\n";
        test::writeFile(file, live);

        TStartupList list;
        start(list);
        ASSERT_EQ(list.Count(), 2);
        TStartupItem* disabled = find(list, "agent", false);
        ASSERT_NE(disabled, nullptr);
        EXPECT_EQ(disabled->CommandLine(), "/usr/bin/agent --old");
        list.Remove(disabled);
        EXPECT_EQ(test::readFile(file), live);
        EXPECT_EQ(c.folder == userFolder, std::filesystem::exists(userFolder / "agent.desktop"));
        ASSERT_TRUE(list.SaveToFile(store).saved);
        EXPECT_EQ(programRows(),
                  (std::vector<Row>{{"agent", "Active", "/usr/bin/agent --new", c.location}}));
        std::filesystem::remove(file);
        std::filesystem::remove(store);
    }
}

// One entry, disabled or switched by the program (a list kept open, saved at its end) and by
// brenvikctl in either order; afterwards both show the same, and a disabled entry is listed.
TEST_F(StartupAutostartTest, ProgramAndCtlAgreeInEitherOrderOfSaving) {
    const std::string entry = "[Desktop Entry]\nType=Application\nExec=/usr/bin/notes --tray\n";
    struct Case {
        std::string what;
        bool disabledBefore;          // the entry's state when both start
        std::vector<std::string> ctl; // what brenvikctl does while the program runs
        bool programSavesFirst;
        std::string status; // afterwards; empty when the entry is gone
    };
    const std::vector<Case> cases{
        {"ctl disables, program saves after", false, {"disable", "notes"}, false, "Disabled"},
        {"ctl disables, program saved before", false, {"disable", "notes"}, true, "Disabled"},
        {"ctl enables, program saves after", true, {"enable", "notes"}, false, "Active"},
        {"ctl enables, program saved before", true, {"enable", "notes"}, true, "Active"},
        {"ctl deletes, program saves after", true, {"delete", "notes"}, false, ""},
        {"ctl deletes, program saved before", true, {"delete", "notes"}, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(store);
        test::writeFile(userFolder / "notes.desktop", entry);
        if (c.disabledBefore) {
            TStartupList list;
            start(list);
            find(list, "notes")->SetEnabled(false);
            ASSERT_TRUE(list.SaveToFile(store).saved);
        }
        TStartupList program;
        start(program);
        if (c.programSavesFirst) {
            ASSERT_TRUE(program.SaveToFile(store).saved);
        }
        ASSERT_EQ(ctl(c.ctl), 0) << ctlErr.str();
        if (!c.programSavesFirst) {
            ASSERT_TRUE(program.SaveToFile(store).saved);
        }

        const auto rows = programRows();
        EXPECT_EQ(rows, ctlRows());
        std::vector<Row> expected;
        if (!c.status.empty())
            expected.emplace_back("notes", c.status, "/usr/bin/notes --tray", test::UserRun);
        EXPECT_EQ(rows, expected);
        EXPECT_EQ(test::valueOf(HKEY_CURRENT_USER, RunKey, "notes").has_value(),
                  c.status == "Active");
    }
}

TEST_F(StartupAutostartTest, EntryDisabledByACopyThatNeverSavedIsListedAsDisabled) {
    test::writeFile(userFolder / "notes.desktop",
                    "[Desktop Entry]\nType=Application\nExec=/usr/bin/notes\n");
    test::writeFile(systemFolder / "agent.desktop",
                    "[Desktop Entry]\nType=Application\nExec=/usr/bin/agent\n");
    {
        TStartupList list;
        start(list);
        ASSERT_TRUE(list.SaveToFile(store).saved);
        // Killed before the store was written again.
        find(list, "notes")->SetEnabled(false);
        find(list, "agent")->SetEnabled(false);
    }
    const std::vector<Row> disabled{{"agent", "Disabled", "/usr/bin/agent", test::MachineRun},
                                    {"notes", "Disabled", "/usr/bin/notes", test::UserRun}};
    EXPECT_EQ(programRows(), disabled);
    EXPECT_EQ(ctlRows(), disabled);
    // And they can be enabled again.
    ASSERT_EQ(ctl({"enable", "notes"}), 0);
    ASSERT_EQ(ctl({"enable", "agent"}), 0);
    EXPECT_EQ(test::valueOf(HKEY_CURRENT_USER, RunKey, "notes"),
              RegValue::string("/usr/bin/notes"));
    EXPECT_EQ(test::valueOf(HKEY_LOCAL_MACHINE, RunKey, "agent"),
              RegValue::string("/usr/bin/agent"));
    EXPECT_FALSE(std::filesystem::exists(userFolder / "agent.desktop"));
}

TEST_F(StartupAutostartTest, EnabledSystemEntryIsListedWithThePackagesCurrentCommand) {
    test::writeFile(systemFolder / "agent.desktop",
                    "[Desktop Entry]\nType=Application\nExec=/usr/bin/agent --old %U\n");
    ASSERT_EQ(ctl({"disable", "agent"}), 0);
    test::writeFile(systemFolder / "agent.desktop",
                    "[Desktop Entry]\nType=Application\nExec=/usr/bin/agent --new %U\n");
    {
        TStartupList list;
        start(list);
        find(list, "agent")->SetEnabled(true);
        ASSERT_TRUE(list.SaveToFile(store).saved);
    }
    const std::vector<Row> rows{{"agent", "Active", "/usr/bin/agent --new %U", test::MachineRun}};
    EXPECT_EQ(programRows(), rows);
    EXPECT_EQ(ctlRows(), rows);
    EXPECT_FALSE(std::filesystem::exists(userFolder / "agent.desktop"));
}

} // namespace
} // namespace brenvik
