// "Active" checked against the session's own reader of autostart entries: systemd's generator
// turns the autostart folders into user units. After a series of changes through the program and
// brenvikctl, every entry listed as Active must be a unit that starts the argv the entry shows,
// and every unit the session starts must be listed as Active.

#include "RunKeys.h"
#include "ctl/Commands.h"
#include "fakes/FakePlatform.h"
#include "platform/DesktopEntry.h"
#include "platform/linux/LinuxServices.h"
#include "platform/linux/SearchPath.h"
#include "startup/StartupClass.h"
#include "support/TempHome.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>

extern char** environ;

namespace brenvik {
namespace {

namespace fs = std::filesystem;
using Argv = std::vector<std::string>;

const fs::path Generator = "/lib/systemd/user-generators/systemd-xdg-autostart-generator";

int runProgram(const Argv& argv) {
    std::vector<char*> pointers;
    for (const auto& argument : argv)
        pointers.push_back(const_cast<char*>(argument.c_str()));
    pointers.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned =
        posix_spawn(&child, pointers[0], &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A unit file's command line: blank-separated words, double quotes with backslash escapes,
// "%%" for a percent sign.
Argv unitWords(std::string_view line) {
    Argv words;
    std::size_t at = 0;
    while (at < line.size()) {
        if (line[at] == ' ') {
            ++at;
            continue;
        }
        std::string word;
        bool quoted = false;
        for (; at < line.size() && (quoted || line[at] != ' '); ++at) {
            if (line[at] == '"')
                quoted = !quoted;
            else if (line[at] == '\\' && at + 1 < line.size())
                word += line[++at];
            else if (line[at] == '%' && at + 1 < line.size() && line[at + 1] == '%')
                word += line[at++];
            else
                word += line[at];
        }
        words.push_back(word);
    }
    return words;
}

struct Unit {
    Argv command;
    bool started = true;   // its ExecCondition, if any, passes in this session
    bool gnomeOff = false; // its entry says X-GNOME-Autostart-enabled=false
};

// The units the generator makes, by desktop file id.
std::map<std::string, Unit> generatedUnits(const fs::path& out) {
    fs::create_directories(out);
    EXPECT_EQ(runProgram({Generator.string(), out.string(), out.string(), out.string()}), 0);
    std::map<std::string, Unit> units;
    for (const auto& file : fs::directory_iterator(out)) {
        const std::string name = file.path().filename().string();
        if (!name.starts_with("app-") || !name.ends_with("@autostart.service"))
            continue;
        Unit unit;
        fs::path source; // the entry, whose file name is the id (the unit's name is escaped)
        std::istringstream lines(test::readFile(file.path()));
        for (std::string line; std::getline(lines, line);) {
            if (line.starts_with("ExecStart=:"))
                unit.command = unitWords(line.substr(std::string_view("ExecStart=:").size()));
            if (line.starts_with("ExecCondition="))
                unit.started =
                    runProgram(unitWords(line.substr(std::string_view("ExecCondition=").size()))) ==
                    0;
            if (line.starts_with("SourcePath=")) {
                source = line.substr(std::string_view("SourcePath=").size());
                const auto entry = platform::DesktopEntry::parse(test::readFile(source));
                unit.gnomeOff =
                    !entry.boolean("Desktop Entry", "X-GNOME-Autostart-enabled").value_or(true);
            }
        }
        units[source.stem().string()] = unit;
    }
    return units;
}

// The argv the session starts for a command line as the program shows it: field codes are
// dropped (nothing is opened at log-on) and the program is found on the PATH.
Argv sessionArgv(const std::string& commandLine) {
    Argv argv;
    for (auto& word : platform::splitExec(commandLine).value_or(Argv{}))
        if (!platform::isFieldCode(word))
            argv.push_back(word);
    if (!argv.empty())
        argv[0] = platform::findExecutable(argv[0]).string();
    return argv;
}

class StartupSessionTest : public ::testing::Test {
protected:
    test::TempHome home;
    test::FakePlatformScope fake;
    fs::path user = home.config() / "autostart";
    fs::path system = home.root() / "etc-xdg" / "autostart";
    std::ostringstream out;
    std::ostringstream err;

    StartupSessionTest() {
        fake->registry = platform::makeLinuxRegistry();
        fs::create_directories(home.root() / "portable");
        fake->fakeSystem().program = home.root() / "portable" / "brenvik";
        home.setEnv("XDG_CURRENT_DESKTOP", "GNOME");
    }
    void ctl(std::vector<std::string> args) {
        ctl::Invocation call{std::move(args), false, out, err};
        ASSERT_EQ(ctl::runStartup(call), 0) << err.str();
    }
    void entry(const fs::path& folder, const std::string& id, const std::string& lines) {
        test::writeFile(folder / (id + ".desktop"), "[Desktop Entry]\nType=Application\n" + lines);
    }
};

TEST_F(StartupSessionTest, ActiveEntriesAreWhatTheSessionStarts) {
    if (!fs::exists(Generator))
        GTEST_SKIP() << Generator << " is not installed (Debian's systemd package ships it)";

    // Entries the session starts.
    entry(user, "notes", "Exec=sh -c \"echo 'a b'\" %U\n");
    entry(user, "percent", "Exec=printf 100%%\n");
    entry(user, "gnome-only", "Exec=true --gnome\nOnlyShowIn=GNOME;\n");
    entry(system, "agent", "Exec=true --old %U\n");
    entry(system, "indexer", "Exec=env --unset=X true\n");
    entry(system, "vanishing", "Exec=true --vanishing \"a b\" %f\n");
    // Entries the session never starts for reasons of its own.
    entry(user, "hidden", "Exec=true\nHidden=true\n");
    entry(user, "gnome-off", "Exec=true\nX-GNOME-Autostart-enabled=false\n");
    entry(user, "kde-only", "Exec=true\nOnlyShowIn=KDE;\n");
    entry(user, "not-gnome", "Exec=true\nNotShowIn=GNOME;\n");
    entry(user, "not-installed", "Exec=true\nTryExec=/nonexistent/program\n");
    entry(user, "empty-exec", "Exec=\n");
    test::writeFile(user / "link.desktop", "[Desktop Entry]\nType=Link\nExec=true\nURL=x\n");
    // Entries changed through the program and brenvikctl.
    entry(user, "disabled", "Exec=true --disabled\n");
    entry(user, "deleted-disabled", "Exec=true --deleted-disabled\n");
    entry(user, "deleted", "Exec=true --deleted\n");
    entry(system, "system-disabled", "Exec=true --system-disabled\n");
    entry(user, "re-enabled", "Exec=true --re-enabled\n");

    ctl({"disable", "disabled"});
    ctl({"disable", "deleted-disabled"});
    ctl({"delete", "deleted-disabled"});
    ctl({"delete", "deleted"});
    ctl({"disable", "system-disabled"});
    ctl({"disable", "re-enabled"});
    ctl({"enable", "re-enabled"});
    // A package changes a disabled entry's command, another removes its entry.
    ctl({"disable", "agent"});
    entry(system, "agent", "Exec=true --new %U\n");
    ctl({"disable", "vanishing"});
    fs::remove(system / "vanishing.desktop");
    {
        // The program enables both and ends.
        TStartupList list;
        list.LoadFromFile(home.root() / "portable" / "startup.dat");
        for (int i = 0; i < list.Count(); ++i)
            if (list.Items(i)->Name() == "agent" || list.Items(i)->Name() == "vanishing")
                list.Items(i)->SetEnabled(true);
        ASSERT_TRUE(list.SaveToFile(home.root() / "portable" / "startup.dat").saved);
    }

    // What brenvikctl lists, as the program shows it after a refresh.
    ctl::Invocation call{{"list"}, true, out, err};
    out.str({});
    ASSERT_EQ(ctl::runStartup(call), 0);
    std::map<std::string, Argv> active;
    std::set<std::string> listed;
    for (const auto& row : nlohmann::json::parse(out.str())) {
        listed.insert(row["name"]);
        if (row["status"] == "Active")
            active[row["name"]] = sessionArgv(row["commandLine"]);
    }

    std::map<std::string, Argv> started;
    for (const auto& [id, unit] : generatedUnits(home.root() / "units")) {
        // systemd 252's generator leaves this key to GNOME's session, which honours it.
        if (unit.started && !unit.gnomeOff)
            started[id] = unit.command;
    }
    EXPECT_EQ(active, started);
    // The session's own switches are no concern of the startup list: those entries are not
    // listed at all. Disabled entries are listed, not started.
    for (const std::string id : {"hidden", "gnome-off", "kde-only", "not-gnome", "not-installed",
                                 "empty-exec", "link", "deleted-disabled", "deleted"})
        EXPECT_FALSE(listed.contains(id)) << id;
    for (const std::string id : {"disabled", "system-disabled"}) {
        EXPECT_TRUE(listed.contains(id)) << id;
        EXPECT_FALSE(started.contains(id)) << id;
    }
    EXPECT_EQ(started["agent"], (Argv{platform::findExecutable("true").string(), "--new"}));
    EXPECT_EQ(started["vanishing"],
              (Argv{platform::findExecutable("true").string(), "--vanishing", "a b"}));
}

} // namespace
} // namespace brenvik
