// The real program, started as a child process on Qt's offscreen platform: every way of being told
// to end runs the close sequence and ends the process promptly with success.

#include "support/TempHome.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace brenvik {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ProgramLifeTest : public ::testing::TestWithParam<int> {
protected:
    test::TempHome home;

    // Copies the program into a folder of its own, as an installed copy would be.
    fs::path installProgram() {
        const fs::path built = fs::path(std::getenv("BRENVIK_BINARY_DIR")) / "brenvik";
        const fs::path folder = home.root() / "program";
        fs::create_directories(folder);
        fs::copy_file(built, folder / "brenvik");
        return folder / "brenvik";
    }

    pid_t start(const fs::path& program) {
        const pid_t child = fork();
        if (child == 0) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            execl(program.c_str(), program.c_str(), nullptr);
            _exit(127);
        }
        return child;
    }

    // The exit status, or -1 when the child did not end within the time.
    int waitFor(pid_t child, std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (waitpid(child, &status, WNOHANG) == child)
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            std::this_thread::sleep_for(20ms);
        }
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        return -1;
    }

    // Start-up has run when the settings were written.
    bool waitForStartUp() {
        const auto end = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < end) {
            if (fs::exists(home.config() / "brenvik") && !fs::is_empty(home.config() / "brenvik"))
                return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }
};

TEST_P(ProgramLifeTest, EndsCleanlyWhenToldToTerminate) {
    const pid_t child = start(installProgram());
    ASSERT_GT(child, 0);
    ASSERT_TRUE(waitForStartUp());
    std::this_thread::sleep_for(300ms);
    kill(child, GetParam());
    EXPECT_EQ(waitFor(child, 15s), 0);
}

INSTANTIATE_TEST_SUITE_P(Signals, ProgramLifeTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP));

} // namespace
} // namespace brenvik
