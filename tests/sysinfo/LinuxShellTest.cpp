#include "platform/Shell.h"
#include "platform/linux/LinuxServices.h"
#include "support/TempHome.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace brenvik {
namespace {

namespace fs = std::filesystem;

// The desktop's shell on this machine, with a PATH and data folders of the test's own.
class LinuxShell : public ::testing::Test {
protected:
    void SetUp() override {
        bin_ = home_.root() / "bin";
        fs::create_directories(bin_);
        home_.setEnv("PATH", bin_.string());
        home_.setEnv("XDG_DATA_DIRS", (home_.root() / "system-data").string());
    }

    // A program that writes its working folder and its arguments, one a line, to `report`.
    fs::path reporter(const std::string& name, const fs::path& report) {
        const fs::path program = bin_ / name;
        test::writeFile(program, "#!/bin/sh\n{ pwd; for a in \"$@\"; do echo \"$a\"; done; } > '" +
                                     report.string() + ".part'\n/bin/mv '" + report.string() +
                                     ".part' '" + report.string() + "'\n");
        fs::permissions(program, fs::perms::owner_all);
        return program;
    }

    // The report's lines once the started program has written it.
    static std::vector<std::string> waitForReport(const fs::path& report) {
        for (int i = 0; i < 500 && !fs::exists(report); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::vector<std::string> lines;
        std::string text = test::readFile(report);
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = text.find('\n', at);
            lines.push_back(text.substr(at, end - at));
            at = end == std::string::npos ? text.size() : end + 1;
        }
        return lines;
    }

    test::TempHome home_;
    fs::path bin_;
    std::unique_ptr<platform::Shell> shell_ = platform::makeLinuxShell();
};

TEST_F(LinuxShell, OpenStartsAProgramWithItsParametersInItsFolder) {
    const fs::path report = home_.root() / "report";
    const fs::path program = reporter("tool", report);
    const fs::path folder = home_.root() / "work folder";
    fs::create_directories(folder);
    ASSERT_TRUE(shell_->execute("open", program.string(), "one \"two words\"  three", folder));
    EXPECT_EQ(waitForReport(report),
              (std::vector<std::string>{folder.string(), "one", "two words", "three"}));
}

TEST_F(LinuxShell, OpenFindsABareNameOnThePath) {
    const fs::path report = home_.root() / "report";
    reporter("brenvik-test-tool", report);
    ASSERT_TRUE(shell_->execute("Open", "brenvik-test-tool", "", home_.root()));
    EXPECT_EQ(waitForReport(report), (std::vector<std::string>{home_.root().string()}));
    EXPECT_EQ(shell_->findProgram("brenvik-test-tool"), bin_ / "brenvik-test-tool");
    EXPECT_EQ(shell_->findProgram("no-such-program"), fs::path());
    test::writeFile(bin_ / "not-executable", "#!/bin/sh\n");
    EXPECT_EQ(shell_->findProgram("not-executable"), fs::path());
}

TEST_F(LinuxShell, DocumentsAndFoldersGoToTheDesktopsOpener) {
    const fs::path report = home_.root() / "report";
    reporter("xdg-open", report);
    ASSERT_TRUE(shell_->execute("explore", "/usr/share"));
    EXPECT_EQ(waitForReport(report).at(1), "/usr/share");
    fs::remove(report);
    // A relative name that begins with a dash must not read as an option of the opener.
    ASSERT_TRUE(shell_->execute("open", "-notes.txt", "", home_.root()));
    EXPECT_EQ(waitForReport(report).at(1), "./-notes.txt");
}

TEST_F(LinuxShell, AnExecutableDocumentStillGoesToTheOpener) {
    // On a stick formatted for another system every file carries the execute bit.
    const fs::path report = home_.root() / "report";
    reporter("xdg-open", report);
    const fs::path help = home_.root() / "Help" / "brenvik.chm";
    test::writeFile(help, std::string("ITSF\x03\0\0\0", 8));
    fs::permissions(help, fs::perms::owner_all);
    ASSERT_TRUE(shell_->execute("Open", help.string()));
    EXPECT_EQ(waitForReport(report).at(1), help.string());
    fs::remove(report);
    // A bare name on the PATH that is no program is a document too.
    test::writeFile(bin_ / "readme", "plain text\n");
    fs::permissions(bin_ / "readme", fs::perms::owner_all);
    ASSERT_TRUE(shell_->execute("open", "readme", "", home_.root()));
    EXPECT_EQ(waitForReport(report).at(1), "readme");
}

TEST_F(LinuxShell, RefusesWhatItCannotStart) {
    EXPECT_FALSE(shell_->execute("explore", ""));                 // an empty field
    EXPECT_FALSE(shell_->execute("explore", "/usr/share"));       // no opener on the PATH
    EXPECT_FALSE(shell_->execute("print", "/etc/hostname"));      // a verb it does not know
    test::writeFile(bin_ / "broken", "#!/no/such/interpreter\n"); // exec fails
    fs::permissions(bin_ / "broken", fs::perms::owner_all);
    EXPECT_FALSE(shell_->execute("open", (bin_ / "broken").string()));
}

TEST_F(LinuxShell, KnowsWhetherTheDesktopHasAnApplicationForAType) {
    EXPECT_FALSE(shell_->hasHandlerFor("application/vnd.ms-htmlhelp"));
    test::writeFile(home_.data() / "applications" / "viewers" / "chm-viewer.desktop",
                    "[Desktop Entry]\nType=Application\nName=Viewer\nExec=viewer %f\n"
                    "MimeType=text/plain;application/vnd.ms-htmlhelp;\n");
    EXPECT_TRUE(shell_->hasHandlerFor("application/vnd.ms-htmlhelp"));
    EXPECT_TRUE(shell_->hasHandlerFor("text/plain"));
    EXPECT_FALSE(shell_->hasHandlerFor("application/x-chm"));
    EXPECT_FALSE(shell_->hasHandlerFor("application/vnd"));
}

} // namespace
} // namespace brenvik
