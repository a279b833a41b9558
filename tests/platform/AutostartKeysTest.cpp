#include "platform/linux/AutostartKeys.h"

#include "support/TempHome.h"

#include <gtest/gtest.h>

namespace brenvik::platform {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

// A package's entry, with everything a rewrite must keep: comments, translations, unknown keys,
// another group, CRLF and a missing final line break.
const std::string PackageEntry = "# Installed by the mail package\n"
                                 "[Desktop Entry]\n"
                                 "Type=Application\n"
                                 "Name=Mail Notifier\n"
                                 "Name[de]=Postbenachrichtigung\n"
                                 "Comment=Checks mail\r\n"
                                 "Exec=\"/opt/mail tools/notify\" --tray\n"
                                 "X-KDE-autostart-phase=2\n"
                                 "\n"
                                 "[Desktop Action Check]\n"
                                 "Exec=notify --check";

class AutostartKeysTest : public ::testing::Test {
protected:
    test::TempHome home;
    fs::path user = home.config() / "autostart";
    fs::path system = home.root() / "etc-xdg" / "autostart";
    fs::path vendor = home.root() / "vendor-xdg" / "autostart";
    UserAutostartKey userKey{user};
    SystemAutostartKey systemKey{user, {system, vendor}};

    // OnlyShowIn and NotShowIn are read against the session's desktops.
    AutostartKeysTest() { home.setEnv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME"); }

    static std::optional<std::string> data(KeyProvider& key, std::string_view name) {
        auto value = key.value(name);
        if (!value)
            return std::nullopt;
        EXPECT_EQ(value->type, REG_SZ);
        return value->text;
    }
};

TEST_F(AutostartKeysTest, WritingCreatesAnEntryThatReadsBack) {
    EXPECT_TRUE(userKey.valueNames().empty()); // no folder yet
    ASSERT_EQ(userKey.setValue("Brenvik", RegValue::string("/nonexistent/my apps/brenvik")),
              ERROR_SUCCESS);
    EXPECT_EQ(readFile(user / "Brenvik.desktop"), "[Desktop Entry]\n"
                                                  "Type=Application\n"
                                                  "Name=Brenvik\n"
                                                  "Exec=\"/nonexistent/my apps/brenvik\"\n");
    EXPECT_EQ(data(userKey, "Brenvik"), "/nonexistent/my apps/brenvik");
    EXPECT_EQ(data(userKey, "BRENVIK"), "/nonexistent/my apps/brenvik"); // names ignore case
    EXPECT_EQ(userKey.valueNames(), std::vector<std::string>{"Brenvik"});

    ASSERT_EQ(userKey.setValue("brenvik", RegValue::string("/usr/bin/brenvik")), ERROR_SUCCESS);
    EXPECT_FALSE(fs::exists(user / "brenvik.desktop")); // the existing file was changed
    EXPECT_EQ(data(userKey, "Brenvik"), "/usr/bin/brenvik");
    // An expandable string is kept as text; other types have no place in an entry.
    EXPECT_EQ(userKey.setValue("Exp", RegValue::string("$HOME/x", REG_EXPAND_SZ)), ERROR_SUCCESS);
    EXPECT_EQ(data(userKey, "Exp"), "$HOME/x");
    EXPECT_EQ(userKey.setValue("Num", RegValue::dword(1)), ERROR_INVALID_PARAMETER);
}

TEST_F(AutostartKeysTest, DisableAndEnableKeepAPackageEntryByteForByte) {
    writeFile(user / "mail.desktop", PackageEntry);
    EXPECT_EQ(data(userKey, "mail"), "\"/opt/mail tools/notify\" --tray");

    ASSERT_EQ(userKey.deleteValue("mail"), ERROR_SUCCESS);
    EXPECT_TRUE(fs::exists(user / "mail.desktop"));
    EXPECT_FALSE(userKey.value("mail"));
    EXPECT_TRUE(userKey.valueNames().empty());
    EXPECT_EQ(userKey.deleteValue("mail"), ERROR_FILE_NOT_FOUND);
    std::string hidden = PackageEntry;
    hidden.insert(hidden.find("\n\n[Desktop Action"), "\nHidden=true");
    EXPECT_EQ(readFile(user / "mail.desktop"), hidden);

    // Enabled again with the data it read: the file is exactly what the package wrote.
    ASSERT_EQ(userKey.setValue("mail", RegValue::string("\"/opt/mail tools/notify\" --tray")),
              ERROR_SUCCESS);
    EXPECT_EQ(readFile(user / "mail.desktop"), PackageEntry);

    // A new command changes the Exec line alone.
    ASSERT_EQ(userKey.setValue("mail", RegValue::string("/usr/bin/notify")), ERROR_SUCCESS);
    std::string changed = PackageEntry;
    changed.replace(changed.find("\"/opt/mail tools/notify\" --tray"),
                    std::string_view("\"/opt/mail tools/notify\" --tray").size(),
                    "/usr/bin/notify");
    EXPECT_EQ(readFile(user / "mail.desktop"), changed);
}

TEST_F(AutostartKeysTest, EntriesSwitchedOffAnotherWayReadAsNoValue) {
    const std::vector<std::pair<const char*, std::string>> cases{
        {"hidden", "[Desktop Entry]\nType=Application\nExec=a\nHidden=true\n"},
        {"gnomeOff",
         "[Desktop Entry]\nType=Application\nExec=a\nX-GNOME-Autostart-enabled=false\n"},
        {"noExec", "[Desktop Entry]\nType=Application\nName=x\n"},
        {"emptyExec", "[Desktop Entry]\nType=Application\nExec=\n"},
        {"blankExec", "[Desktop Entry]\nType=Application\nExec=  \n"},
        {"link", "[Desktop Entry]\nType=Link\nURL=http://x\nExec=a\n"},
        {"otherDesktop", "[Desktop Entry]\nExec=a\nOnlyShowIn=KDE;XFCE;\n"},
        {"notHere", "[Desktop Entry]\nExec=a\nNotShowIn=KDE;GNOME;\n"},
        {"notInstalled", "[Desktop Entry]\nExec=a\nTryExec=/nonexistent/a\n"},
        {"notOnPath", "[Desktop Entry]\nExec=a\nTryExec=nonexistent-program-x\n"},
    };
    for (const auto& [id, text] : cases)
        writeFile(user / (std::string(id) + ".desktop"), text);
    writeFile(user / "on.desktop", "[Desktop Entry]\nExec=a\nHidden=false\n");
    writeFile(user / "onHere.desktop",
              "[Desktop Entry]\nExec=a\nOnlyShowIn=KDE;GNOME;\nNotShowIn=XFCE;\nTryExec=sh\n");
    writeFile(user / "notes.txt", "[Desktop Entry]\nExec=a\n");
    fs::create_directories(user / "folder.desktop");
    EXPECT_EQ(userKey.valueNames(), (std::vector<std::string>{"on", "onHere"}));
    // Without a desktop no OnlyShowIn matches, as for the session's own start condition.
    home.setEnv("XDG_CURRENT_DESKTOP", "");
    EXPECT_EQ(userKey.valueNames(), (std::vector<std::string>{"notHere", "on"}));

    // Switching the GNOME-disabled one on removes only that key.
    ASSERT_EQ(userKey.setValue("gnomeOff", RegValue::string("a")), ERROR_SUCCESS);
    EXPECT_EQ(readFile(user / "gnomeOff.desktop"), "[Desktop Entry]\nType=Application\nExec=a\n");
}

TEST_F(AutostartKeysTest, NamesThatCannotBeFileNamesAreRefused) {
    for (const std::string& name :
         std::vector<std::string>{"", ".", "..", "../escape", "a/b", std::string("nul\0x", 5)}) {
        EXPECT_EQ(userKey.setValue(name, RegValue::string("x")), ERROR_INVALID_PARAMETER) << name;
        EXPECT_EQ(systemKey.setValue(name, RegValue::string("x")), ERROR_INVALID_PARAMETER) << name;
        EXPECT_EQ(userKey.deleteValue(name), ERROR_INVALID_PARAMETER) << name;
        EXPECT_FALSE(userKey.value(name)) << name;
    }
    EXPECT_FALSE(fs::exists(home.config() / "escape.desktop"));
    EXPECT_FALSE(fs::exists(user));
}

TEST_F(AutostartKeysTest, SymlinkedEntryStaysALink) {
    writeFile(home.root() / "dotfiles" / "tool.desktop", "[Desktop Entry]\nExec=tool\n");
    fs::create_directories(user);
    fs::create_symlink(home.root() / "dotfiles" / "tool.desktop", user / "tool.desktop");
    ASSERT_EQ(userKey.deleteValue("tool"), ERROR_SUCCESS);
    EXPECT_TRUE(fs::is_symlink(user / "tool.desktop"));
    EXPECT_EQ(readFile(home.root() / "dotfiles" / "tool.desktop"),
              "[Desktop Entry]\nExec=tool\nHidden=true\n");
    // A link to a file not made yet is written through as well.
    fs::create_symlink("../../dotfiles/new.desktop", user / "new.desktop");
    ASSERT_EQ(userKey.setValue("new", RegValue::string("new")), ERROR_SUCCESS);
    EXPECT_TRUE(fs::is_symlink(user / "new.desktop"));
    EXPECT_EQ(data(userKey, "new"), "new");
}

// A system entry: a real one from this machine when there is one, else a fixture.
std::pair<std::string, std::string> systemEntry() {
    std::error_code error;
    for (fs::directory_iterator it("/etc/xdg/autostart", error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().extension() != ".desktop")
            continue;
        const std::string text = readFile(it->path());
        const auto entry = DesktopEntry::parse(text);
        const auto exec = entry.string("Desktop Entry", "Exec");
        if (exec && !entry.boolean("Desktop Entry", "Hidden").value_or(false) &&
            entry.boolean("Desktop Entry", "X-GNOME-Autostart-enabled").value_or(true))
            return {it->path().stem().string(), text};
    }
    return {"sys-daemon", "[Desktop Entry]\nType=Application\nName=Daemon\nExec=/usr/bin/daemon "
                          "--session\nOnlyShowIn=GNOME;\n"};
}

TEST_F(AutostartKeysTest, SystemEntriesAsThisUserSeesThem) {
    const auto [id, text] = systemEntry();
    const std::string command =
        commandFromExec(*DesktopEntry::parse(text).string("Desktop Entry", "Exec"));
    writeFile(system / (id + ".desktop"), text);
    writeFile(vendor / (id + ".desktop"), "[Desktop Entry]\nExec=/vendor/loses\n");
    writeFile(vendor / "vendor-only.desktop", "[Desktop Entry]\nExec=/vendor/only\n");
    writeFile(system / "masked.desktop", "[Desktop Entry]\nExec=/usr/bin/masked\n");
    writeFile(user / "masked.desktop", "[Desktop Entry]\nHidden=true\n");
    writeFile(system / "mine.desktop", "[Desktop Entry]\nExec=/usr/bin/system-copy\n");
    writeFile(user / "mine.desktop", "[Desktop Entry]\nExec=/usr/bin/user-copy\n");

    std::vector<std::string> expected{id, "vendor-only"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(systemKey.valueNames(), expected);
    EXPECT_EQ(data(systemKey, id), command); // the earlier folder wins
    EXPECT_FALSE(systemKey.value("masked"));
    EXPECT_FALSE(systemKey.value("mine"));                  // the user's own file replaces it...
    EXPECT_EQ(data(userKey, "mine"), "/usr/bin/user-copy"); // ...and is the user's value
    EXPECT_EQ(userKey.valueNames(), std::vector<std::string>{"mine"});

    // Deleting masks the entry for this user; the system file is never touched.
    ASSERT_EQ(systemKey.deleteValue(id), ERROR_SUCCESS);
    EXPECT_EQ(readFile(system / (id + ".desktop")), text);
    EXPECT_EQ(readFile(user / (id + ".desktop")), "[Desktop Entry]\nHidden=true\n");
    EXPECT_FALSE(systemKey.value(id));
    EXPECT_FALSE(userKey.value(id));
    EXPECT_EQ(systemKey.deleteValue(id), ERROR_FILE_NOT_FOUND);

    // Writing it back removes the mask, since the system entry says the same.
    ASSERT_EQ(systemKey.setValue(id, RegValue::string(command)), ERROR_SUCCESS);
    EXPECT_FALSE(fs::exists(user / (id + ".desktop")));
    EXPECT_EQ(data(systemKey, id), command);
    EXPECT_EQ(readFile(system / (id + ".desktop")), text);
}

TEST_F(AutostartKeysTest, SystemEntryMaskedByAUserCopyIsUnhiddenNotRemoved) {
    writeFile(system / "sync.desktop", "[Desktop Entry]\nExec=/usr/bin/sync-agent\n");
    const std::string copy = "[Desktop Entry]\nName=Sync\nExec=/usr/bin/sync-agent\n"
                             "X-GNOME-Autostart-enabled=false\n# my note\n";
    writeFile(user / "sync.desktop", copy);
    EXPECT_FALSE(systemKey.value("sync"));
    ASSERT_EQ(systemKey.setValue("sync", RegValue::string("/usr/bin/sync-agent")), ERROR_SUCCESS);
    EXPECT_EQ(
        readFile(user / "sync.desktop"),
        "[Desktop Entry]\nName=Sync\nExec=/usr/bin/sync-agent\nType=Application\n# my note\n");
    EXPECT_EQ(readFile(system / "sync.desktop"), "[Desktop Entry]\nExec=/usr/bin/sync-agent\n");
}

TEST_F(AutostartKeysTest, NewOrChangedSystemValuesBecomeUserEntries) {
    ASSERT_EQ(systemKey.setValue("fresh", RegValue::string("/usr/bin/fresh")), ERROR_SUCCESS);
    EXPECT_EQ(readFile(user / "fresh.desktop"),
              "[Desktop Entry]\nType=Application\nName=fresh\nExec=/usr/bin/fresh\n");
    EXPECT_EQ(data(userKey, "fresh"), "/usr/bin/fresh");

    writeFile(system / "agent.desktop",
              "[Desktop Entry]\nType=Application\nName=Agent\nName[fr]=Agent FR\nExec=agent\n");
    ASSERT_EQ(systemKey.setValue("agent", RegValue::string("agent --quiet")), ERROR_SUCCESS);
    EXPECT_EQ(readFile(user / "agent.desktop"), "[Desktop Entry]\nType=Application\nName=Agent\n"
                                                "Name[fr]=Agent FR\nExec=agent --quiet\n");
    EXPECT_EQ(readFile(system / "agent.desktop"),
              "[Desktop Entry]\nType=Application\nName=Agent\nName[fr]=Agent FR\nExec=agent\n");
    // Unchanged data for a visible system entry writes nothing.
    writeFile(system / "same.desktop", "[Desktop Entry]\nExec=/usr/bin/same\n");
    ASSERT_EQ(systemKey.setValue("same", RegValue::string("/usr/bin/same")), ERROR_SUCCESS);
    EXPECT_FALSE(fs::exists(user / "same.desktop"));
}

TEST_F(AutostartKeysTest, DisabledValuesAreRecordedInTheFolderUntilEnabledOrForgotten) {
    const auto [id, text] = systemEntry();
    const std::string systemCommand =
        commandFromExec(*DesktopEntry::parse(text).string("Desktop Entry", "Exec"));
    writeFile(system / (id + ".desktop"), text);
    writeFile(user / "mail.desktop", PackageEntry);
    struct Case {
        KeyProvider& key;
        std::string name;
        std::string command;
    };
    for (const Case& c : {Case{userKey, "mail", "\"/opt/mail tools/notify\" --tray"},
                          Case{systemKey, id, systemCommand}}) {
        SCOPED_TRACE(c.name);
        using Recorded = std::vector<std::pair<std::string, RegValue>>;
        const fs::path file = user / (c.name + ".desktop");
        ASSERT_EQ(c.key.disableValue(c.name), ERROR_SUCCESS);
        EXPECT_FALSE(c.key.value(c.name));
        EXPECT_EQ(c.key.disabledValues(), (Recorded{{c.name, RegValue::string(c.command)}}));
        EXPECT_NE(readFile(file).find("Hidden=true\nX-Brenvik-Disabled=true\n"), std::string::npos);

        // Forgetting keeps it hidden, without the record.
        ASSERT_EQ(c.key.forgetDisabledValue(c.name), ERROR_SUCCESS);
        EXPECT_FALSE(c.key.value(c.name));
        EXPECT_TRUE(c.key.disabledValues().empty());
        EXPECT_EQ(readFile(file).find("X-Brenvik"), std::string::npos);

        // Writing the value back takes the record off with the rest of what hid it.
        ASSERT_EQ(c.key.setValue(c.name, RegValue::string(c.command)), ERROR_SUCCESS);
        ASSERT_EQ(c.key.disableValue(c.name), ERROR_SUCCESS);
        ASSERT_EQ(c.key.setValue(c.name, RegValue::string(c.command)), ERROR_SUCCESS);
        EXPECT_EQ(data(c.key, c.name), c.command);
        EXPECT_TRUE(c.key.disabledValues().empty());

        // A plain delete is no disabling, and a live entry is never touched by forgetting.
        ASSERT_EQ(c.key.deleteValue(c.name), ERROR_SUCCESS);
        EXPECT_TRUE(c.key.disabledValues().empty());
        ASSERT_EQ(c.key.setValue(c.name, RegValue::string(c.command)), ERROR_SUCCESS);
        const std::string live = fs::exists(file) ? readFile(file) : std::string();
        ASSERT_EQ(c.key.forgetDisabledValue(c.name), ERROR_SUCCESS);
        EXPECT_EQ(fs::exists(file) ? readFile(file) : std::string(), live);
        EXPECT_EQ(data(c.key, c.name), c.command);
    }
    EXPECT_EQ(readFile(user / "mail.desktop"), PackageEntry);
    EXPECT_FALSE(fs::exists(user / (id + ".desktop")));
}

TEST_F(AutostartKeysTest, EnablingAMaskedSystemEntryStartsWhatThePackageSaysNow) {
    // The package changed its command while the entry was disabled; the remembered command is
    // the old one.
    const std::string old = "/usr/bin/agent --old %U";
    writeFile(system / "agent.desktop", "[Desktop Entry]\nType=Application\nExec=" + old + "\n");
    ASSERT_EQ(systemKey.disableValue("agent"), ERROR_SUCCESS);
    const std::string updated = "[Desktop Entry]\nType=Application\nExec=/usr/bin/agent --new %U\n";
    writeFile(system / "agent.desktop", updated);
    ASSERT_EQ(systemKey.setValue("agent", RegValue::string(old)), ERROR_SUCCESS);
    EXPECT_FALSE(fs::exists(user / "agent.desktop"));
    EXPECT_EQ(data(systemKey, "agent"), "/usr/bin/agent --new %U");
    EXPECT_EQ(readFile(system / "agent.desktop"), updated);

    // A package that went away leaves the user an entry of its own, with a valid Exec line.
    ASSERT_EQ(systemKey.disableValue("agent"), ERROR_SUCCESS);
    fs::remove(system / "agent.desktop");
    ASSERT_EQ(systemKey.setValue("agent", RegValue::string(old)), ERROR_SUCCESS);
    EXPECT_EQ(readFile(user / "agent.desktop"),
              "[Desktop Entry]\nType=Application\nName=agent\nExec=/usr/bin/agent --old %U\n");
    EXPECT_EQ(data(userKey, "agent"), old);
}

} // namespace
} // namespace brenvik::platform
