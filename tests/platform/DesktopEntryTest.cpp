#include "platform/DesktopEntry.h"

#include "platform/linux/AutostartKeys.h"

#include <gtest/gtest.h>

namespace brenvik::platform {
namespace {

TEST(DesktopEntry, ReadsKeysOfTheMainGroupOnly) {
    const auto entry = DesktopEntry::parse("# written by hand\n"
                                           "[Desktop Entry]\n"
                                           "Name = Mail checker\n"
                                           "Name[de]=Postprüfer\n"
                                           "Exec=check\\smail \\\\ now\n"
                                           "Hidden= true\n"
                                           "X-Flag=maybe\n"
                                           "[Desktop Action New]\n"
                                           "Exec=other\n");
    EXPECT_EQ(entry.string("Desktop Entry", "Name"), "Mail checker");
    EXPECT_EQ(entry.string("Desktop Entry", "Name[de]"), "Postprüfer");
    EXPECT_EQ(entry.string("Desktop Entry", "Exec"), "check mail \\ now");
    EXPECT_EQ(entry.string("Desktop Action New", "Exec"), "other");
    EXPECT_EQ(entry.boolean("Desktop Entry", "Hidden"), true);
    EXPECT_EQ(entry.boolean("Desktop Entry", "X-Flag"), std::nullopt);
    EXPECT_FALSE(entry.raw("Desktop Entry", "Icon"));
    EXPECT_EQ(entry.groups(), (std::vector<std::string>{"Desktop Entry", "Desktop Action New"}));
}

TEST(DesktopEntry, ChangesOnlyTheLinesItMust) {
    const std::string text = "# comment\r\n"
                             "[Desktop Entry]\r\n"
                             "Type=Application\r\n"
                             "Exec=old\r\n"
                             "Name[fr]=Nom\r\n"
                             "odd line without equals\r\n"
                             "\r\n"
                             "[Other]\r\n"
                             "Exec=keep";
    auto entry = DesktopEntry::parse(text);
    EXPECT_EQ(entry.text(), text);
    EXPECT_TRUE(entry.hasUnknownLines());
    entry.setString("Desktop Entry", "Exec", "new");
    entry.setRaw("Desktop Entry", "Hidden", "true");
    EXPECT_EQ(entry.text(), "# comment\r\n[Desktop Entry]\r\nType=Application\r\nExec=new\n"
                            "Name[fr]=Nom\r\nHidden=true\nodd line without equals\r\n\r\n"
                            "[Other]\r\nExec=keep");
    EXPECT_EQ(entry.removeIf("Desktop Entry", "Hidden", [](auto) { return true; }), 1u);
    entry.setString("Desktop Entry", "Exec", "old\r");
    EXPECT_NE(entry.text(), text); // "\r" is escaped, not a line end
    entry.setRaw("Desktop Entry", "Exec", "old");
    EXPECT_EQ(entry.text(), "# comment\r\n[Desktop Entry]\r\nType=Application\r\nExec=old\n"
                            "Name[fr]=Nom\r\nodd line without equals\r\n\r\n[Other]\r\nExec=keep");
}

TEST(DesktopEntry, MissingMainGroupGoesBeforeOtherGroups) {
    auto entry = DesktopEntry::parse("# top\n[Other]\nA=1\n");
    entry.setRaw("Desktop Entry", "Hidden", "true");
    EXPECT_EQ(entry.text(), "# top\n[Desktop Entry]\nHidden=true\n[Other]\nA=1\n");
    DesktopEntry fresh;
    fresh.setRaw("Desktop Entry", "Type", "Application");
    fresh.setString("Desktop Entry", "Name", " lead");
    EXPECT_EQ(fresh.text(), "[Desktop Entry]\nType=Application\nName=\\slead\n");
    EXPECT_EQ(DesktopEntry::parse(fresh.text()).string("Desktop Entry", "Name"), " lead");
}

TEST(DesktopEntry, StringEscapesRoundTrip) {
    for (const std::string value : {"", " a", "tab\there", "line\nbreak", "cr\rx", "back\\slash",
                                    "semi;colon", "trailing "}) {
        const auto escaped = escapeDesktopString(value);
        EXPECT_EQ(escaped.find('\n'), std::string::npos) << value;
        EXPECT_EQ(unescapeDesktopString(escaped), value) << value;
    }
}

TEST(DesktopEntry, SplitsExecLines) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases{
        {"/usr/bin/app", {"/usr/bin/app"}},
        {"app  --flag\targ", {"app", "--flag", "arg"}},
        {R"("/opt/my apps/app" %U)", {"/opt/my apps/app", "%U"}},
        {R"("a \"quoted\" \$HOME \`x\` \\ end")", {R"(a "quoted" $HOME `x` \ end)"}},
        {"app 100%%", {"app", "100%"}},
        {R"(app "")", {"app", ""}},
        {"", {}},
    };
    for (const auto& [exec, arguments] : cases)
        EXPECT_EQ(splitExec(exec), arguments) << exec;
    EXPECT_FALSE(splitExec(R"("unclosed)"));
}

TEST(DesktopEntry, JoinsExecLinesThatSplitBack) {
    const std::vector<std::vector<std::string>> cases{
        {"/usr/bin/app"},
        {"/opt/my apps/app", "--min"},
        {"a\"b", "$HOME", "`x`", "back\\slash", "~", "a;b", "50%", "#", "(x)", "it's"},
        {""},
        {"new\nline", "\ttab"},
    };
    for (const auto& arguments : cases) {
        const std::string exec = joinExec(arguments);
        EXPECT_EQ(splitExec(exec), arguments) << exec;
        // Through the file as well: string escapes are undone before the quoting.
        EXPECT_EQ(splitExec(unescapeDesktopString(escapeDesktopString(exec))), arguments) << exec;
    }
    EXPECT_EQ(joinExec({"/opt/my apps/app", "--min"}), R"("/opt/my apps/app" --min)");
    EXPECT_EQ(escapeDesktopString(joinExec({"C:\\x"})), R"("C:\\\\x")");
}

TEST(DesktopEntry, CommandLinesOfRunValuesReadBackUnchanged) {
    const std::vector<std::pair<std::string, std::string>> cases{
        // command, the Exec it is written as (before string escaping)
        {"/usr/bin/app", "/usr/bin/app"},
        {"/nonexistent/my apps/brenvik", R"("/nonexistent/my apps/brenvik")"},
        {"app --flag value", "app --flag value"},
        {R"("/opt/my apps/app" --min)", R"("/opt/my apps/app" --min)"},
        // Field codes stay field codes, whether the program is installed or not.
        {"app %U", "app %U"},
        {"/nonexistent/agent --old %U", "/nonexistent/agent --old %U"},
        {"/nonexistent/my apps/agent %f", "/nonexistent/my apps/agent %f"},
        {"agent 100%U", "agent 100%%U"},
        {"/x/50%", "/x/50%%"},
        {R"(C:\Program Files\App\app.exe)", R"("C:\\Program Files\\App\\app.exe")"},
        {"", R"("")"},
        {"  ", R"("  ")"},
        {R"(say "hi)", R"("say \"hi")"},
    };
    for (const auto& [command, exec] : cases) {
        EXPECT_EQ(execFromCommand(command), exec) << command;
        EXPECT_EQ(commandFromExec(execFromCommand(command)), command) << command;
    }
    // What a package wrote reads as its command line.
    EXPECT_EQ(commandFromExec(R"("/opt/my apps/app")"), "/opt/my apps/app");
    EXPECT_EQ(commandFromExec("sh -c 'x'"), R"(sh -c "'x'")");
    EXPECT_EQ(commandFromExec(R"("broken)"), R"("broken)");
}

} // namespace
} // namespace brenvik::platform
