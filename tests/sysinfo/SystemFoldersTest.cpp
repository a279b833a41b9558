#include "fakes/FakePlatform.h"
#include "platform/TRegistry.h"
#include "support/TempHome.h"
#include "sysinfo/ComputerInfo.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <memory>

namespace brenvik {
namespace {

using platform::ShellFolder;

std::vector<std::string> folderTexts(const TSystemFolders& folders) {
    std::vector<std::string> texts;
    for (const FolderRow& row : FolderRows())
        texts.push_back(row.read(folders));
    return texts;
}

TEST(SystemFolders, SixteenRowsInOrderWithoutTrailingSeparators) {
    test::FakePlatformScope fake;
    test::TempHome home;
    home.setEnv("TMP", "/var/tmp/");
    auto& folders = fake->fakeFolders();
    // Every row its own path, so that two crossed rows show.
    folders.shellFolders = {
        {ShellFolder::AppData, "/h/.config/"},       {ShellFolder::Cookies, "/h/cookies"},
        {ShellFolder::Desktop, "/h/Desktop"},        {ShellFolder::Favorites, "/h/bookmarks"},
        {ShellFolder::Fonts, "/h/fonts//"},          {ShellFolder::History, "/h/history"},
        {ShellFolder::InternetCache, "/h/.cache"},   {ShellFolder::Nethood, "/h/network"},
        {ShellFolder::Recent, "/h/recent"},          {ShellFolder::SendTo, "/h/send-to/"},
        {ShellFolder::StartMenu, "/h/applications"}, {ShellFolder::Templates, "/h/Templates/"},
    };
    folders.programFiles = "/usr/bin/";
    folders.system = "/usr/lib";
    folders.windows = "/";
    const TComputerInfo info;
    const std::vector<std::string> expected{
        "/h/.config", "/h/cookies", "/h/Desktop",   "/h/bookmarks",
        "/h/fonts",   "/h/history", "/h/.cache",    "/h/network",
        "/usr/bin",   "/h/recent",  "/h/send-to",   "/h/applications",
        "/usr/lib",   "/var/tmp",   "/h/Templates", "/",
    };
    EXPECT_EQ(folderTexts(info.Folders()), expected);

    std::vector<std::string> captions;
    for (const FolderRow& row : FolderRows())
        captions.emplace_back(row.caption);
    const std::vector<std::string> expectedCaptions{
        "App Data", "Cookies",    "Desktop",       "Favorites", "Fonts",   "History",
        "Cache",    "Net Places", "Program Files", "Recent",    "Send To", "Start menu",
        "System",   "Temp",       "Templates",     "Windows",
    };
    EXPECT_EQ(captions, expectedCaptions);
}

TEST(SystemFolders, TrailingPathDelimiterOnAppendsOne) {
    test::FakePlatformScope fake;
    fake->fakeFolders().shellFolders = {{ShellFolder::Desktop, "/h/Desktop"},
                                        {ShellFolder::AppData, "/h/.config/"}};
    fake->fakeFolders().windows = "/";
    TSystemFolders folders;
    EXPECT_FALSE(folders.TrailingPathDelimiter());
    folders.SetTrailingPathDelimiter(true);
    EXPECT_EQ(folders.Desktop(), "/h/Desktop/");
    EXPECT_EQ(folders.AppData(), "/h/.config/");
    EXPECT_EQ(folders.Windows(), "/");
    EXPECT_EQ(folders.Cookies(), ""); // nothing to end with a separator
}

TEST(SystemFolders, ProgramFilesComesFromTheRegistryFirst) {
    test::FakePlatformScope fake;
    fake->fakeFolders().programFiles = "/usr/bin";
    EXPECT_EQ(TSystemFolders().ProgramFiles(), "/usr/bin");
    platform::TRegistry registry(platform::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(registry.OpenKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", true));
    registry.WriteString("ProgramFilesDir", "/opt/programs/");
    EXPECT_EQ(TSystemFolders().ProgramFiles(), "/opt/programs");
}

TEST(SystemFolders, TempTakesTmpThenTempThenTheSystemsDefault) {
    struct Case {
        const char* tmp;
        const char* temp;
        const char* shown;
    };
    const Case cases[] = {
        {"/tmp-a", "/temp-b", "/tmp-a"}, {"", "/temp-b", "/temp-b"}, {"", "", "/default-temp"},
        {"/short~1/", "", "/long/form"}, // the long form, without its trailing separator
        {"/gone", "", "/gone"},          // no long form: the path as it stands
        {"$HOME/tmp", "", "$HOME/tmp"},  // references are not expanded
    };
    for (const Case& c : cases) {
        test::FakePlatformScope fake;
        test::TempHome home;
        home.setEnv("TMP", c.tmp);
        home.setEnv("TEMP", c.temp);
        fake->fakeFolders().defaultTemp = "/default-temp";
        fake->fakeFolders().longNames = {{"/short~1/", "/long/form/"}, {"/gone", ""}};
        EXPECT_EQ(TSystemFolders().Temp(), c.shown) << c.tmp << " | " << c.temp;
    }
}

// What `xdg-user-dir NAME` prints in the current environment.
std::string xdgUserDir(const std::string& name) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(("xdg-user-dir " + name).c_str(), "r"),
                                               pclose);
    if (!pipe)
        return "(cannot run xdg-user-dir)";
    std::string text;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr)
        text += buffer;
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

// The Linux folders of this machine, in a temporary home.
class LinuxFolders : public ::testing::Test {
protected:
    test::TempHome home_;
    TSystemFolders folders_;
};

TEST_F(LinuxFolders, UserFoldersAgreeWithXdgUserDir) {
    if (xdgUserDir("DESKTOP").rfind("(cannot", 0) == 0 || xdgUserDir("DESKTOP").empty())
        GTEST_SKIP() << "xdg-user-dir is not installed";
    // No file and no variable: the home folder.
    EXPECT_EQ(folders_.Desktop(), xdgUserDir("DESKTOP"));
    EXPECT_EQ(folders_.Templates(), xdgUserDir("TEMPLATES"));
    // A variable alone.
    home_.setEnv("XDG_TEMPLATES_DIR", (home_.root() / "From variable").string());
    EXPECT_EQ(folders_.Templates(), xdgUserDir("TEMPLATES"));
    // The file wins over the variable; the last line of a name counts; $HOME expands.
    test::writeFile(home_.config() / "user-dirs.dirs",
                    "# written by xdg-user-dirs-update\n"
                    "XDG_DESKTOP_DIR=\"$HOME/Old desktop\"\n"
                    "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                    "XDG_TEMPLATES_DIR=\"/srv/shared \\\"templates\\\"\"\n");
    EXPECT_EQ(folders_.Desktop(), (home_.root() / "Schreibtisch").string());
    EXPECT_EQ(folders_.Desktop(), xdgUserDir("DESKTOP"));
    EXPECT_EQ(folders_.Templates(), xdgUserDir("TEMPLATES"));
}

TEST_F(LinuxFolders, RowsFollowTheBaseDirectoriesAndTheSystemsFolders) {
    const std::vector<std::string> texts = folderTexts(folders_);
    EXPECT_EQ(texts[0], home_.config().string());                     // App Data
    EXPECT_EQ(texts[4], (home_.data() / "fonts").string());           // Fonts
    EXPECT_EQ(texts[6], home_.cache().string());                      // Cache
    EXPECT_EQ(texts[9], (home_.data() / "RecentDocuments").string()); // Recent
    EXPECT_EQ(texts[11], (home_.data() / "applications").string());   // Start menu
    EXPECT_EQ(texts[8], "/usr/bin");                                  // Program Files
    EXPECT_EQ(texts[12], "/usr/lib");                                 // System
    EXPECT_EQ(texts[15], "/");                                        // Windows: the root stays
    for (const int none : {1, 3, 5, 7, 10})                           // no Linux counterpart
        EXPECT_EQ(texts[static_cast<std::size_t>(none)], "") << FolderRows()[none].caption;
}

TEST_F(LinuxFolders, TempFollowsTmpTempTmpdirAndResolvesLinks) {
    const auto real = home_.root() / "real-temp";
    std::filesystem::create_directories(real);
    std::filesystem::create_directory_symlink(real, home_.root() / "link");
    home_.setEnv("TMP", "");
    home_.setEnv("TEMP", (home_.root() / "link").string() + "/");
    home_.setEnv("TMPDIR", "/somewhere-else");
    EXPECT_EQ(folders_.Temp(), real.string());
    home_.setEnv("TEMP", "");
    EXPECT_EQ(folders_.Temp(), "/somewhere-else"); // does not exist: kept as it stands
    home_.setEnv("TMPDIR", "");
    EXPECT_EQ(folders_.Temp(), std::filesystem::canonical("/tmp").string());
}

} // namespace
} // namespace brenvik
