#include "sysinfo/Launchers.h"

#include "fakes/FakePlatform.h"
#include "support/TempHome.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace brenvik {
namespace {

// A program folder with a Help folder holding `files`.
class HelpFolder : public ::testing::Test {
protected:
    void install(std::initializer_list<const char*> files) {
        for (const char* file : files)
            test::writeFile(home_.root() / "program" / "Help" / file, file);
        fake_->fakeSystem().program = home_.root() / "program" / "brenvik";
    }
    std::filesystem::path help(const char* file) const {
        return home_.root() / "program" / "Help" / file;
    }
    std::vector<std::string> openedFiles() {
        std::vector<std::string> files;
        for (const auto& call : fake_->fakeShell().calls) {
            EXPECT_EQ(call.verb, "Open");
            files.push_back(call.file);
        }
        return files;
    }

    test::TempHome home_;
    test::FakePlatformScope fake_;
};

TEST_F(HelpFolder, BothCommandsOpenTheSameFileWhateverItsCase) {
    fake_->fakeShell().handledTypes = {"application/vnd.ms-htmlhelp"};
    for (const char* installed : {"brenvik.chm", "Brenvik.chm", "BRENVIK.CHM"}) {
        SCOPED_TRACE(installed);
        std::filesystem::remove_all(home_.root() / "program");
        fake_->fakeShell().calls.clear();
        install({installed});
        OpenHelp("brenvik.chm"); // the navigation item
        OpenHelp("Brenvik.chm"); // the tray item
        EXPECT_EQ(openedFiles(), (std::vector<std::string>{help(installed), help(installed)}));
    }
}

TEST_F(HelpFolder, TwoFilesDifferingInCaseStillGiveOneFile) {
    fake_->fakeShell().handledTypes = {"application/x-chm"};
    install({"brenvik.chm", "Brenvik.chm"});
    OpenHelp("brenvik.chm");
    OpenHelp("Brenvik.chm");
    const auto files = openedFiles();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0], files[1]);
}

TEST_F(HelpFolder, WithoutAViewerForCompiledHelpThePagesOpen) {
    install({"brenvik.chm", "index.html"});
    OpenHelp("Brenvik.chm");
    EXPECT_EQ(openedFiles(), std::vector<std::string>{help("index.html")});
}

TEST_F(HelpFolder, WithoutAHelpFolderTheShellGetsTheNameAsGiven) {
    fake_->fakeSystem().program = home_.root() / "bare" / "brenvik";
    OpenHelp("brenvik.chm");
    EXPECT_EQ(openedFiles(),
              std::vector<std::string>{(home_.root() / "bare" / "Help" / "brenvik.chm")});
}

TEST(SystemRestore, StartsTheFirstLauncherFoundEveryTime) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> onPath;
        std::vector<std::string> started;
    };
    const Case cases[] = {
        {{{"timeshift-launcher", "/usr/bin/timeshift-launcher"},
          {"timeshift-gtk", "/usr/bin/timeshift-gtk"}},
         {"/usr/bin/timeshift-launcher", "/usr/bin/timeshift-launcher"}},
        {{{"timeshift-gtk", "/usr/local/bin/timeshift-gtk"}},
         {"/usr/local/bin/timeshift-gtk", "/usr/local/bin/timeshift-gtk"}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        test::FakePlatformScope fake;
        for (const auto& [name, path] : c.onPath)
            fake->fakeShell().programs[name] = path;
        StartSystemRestore();
        StartSystemRestore();
        std::vector<std::string> started;
        for (const auto& call : fake->fakeShell().calls) {
            EXPECT_EQ(call.verb, "open");
            started.push_back(call.file);
        }
        EXPECT_EQ(started, c.started);
    }
}

TEST(HelpBuild, TheCompiledHelpAndItsPagesLieBesideTheProgram) {
    const char* build = std::getenv("BRENVIK_BINARY_DIR");
    ASSERT_NE(build, nullptr);
    const std::filesystem::path help = std::filesystem::path(build) / "Help";
    ASSERT_TRUE(std::filesystem::is_regular_file(help / "brenvik.chm"));
    EXPECT_GT(std::filesystem::file_size(help / "brenvik.chm"), 4096u);
    // An ITSF header: the file is compiled help, not a copy of something else.
    EXPECT_EQ(test::readFile(help / "brenvik.chm").substr(0, 4), "ITSF");
    EXPECT_TRUE(std::filesystem::is_regular_file(help / "index.html"));
}

} // namespace
} // namespace brenvik
