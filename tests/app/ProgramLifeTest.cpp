// The real program, started as a child process on Qt's offscreen platform: every way of being told
// to end, in whatever state start-up is, runs the close sequence, which saves the startup store,
// and ends the process promptly with success.

#include "support/TempHome.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace brenvik {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ProgramLifeTest : public ::testing::Test {
protected:
    test::TempHome home;
    fs::path program = installProgram();
    fs::path store = program.parent_path() / "startup.dat";

    ProgramLifeTest() {
        // One autostart entry: the store the close sequence writes names it.
        test::writeFile(home.config() / "autostart" / "life-sync.desktop",
                        "[Desktop Entry]\nType=Application\nName=Life Sync\nExec=life-sync\n");
    }

    // Copies the program into a folder of its own, as an installed copy would be.
    fs::path installProgram() {
        const fs::path built = fs::path(std::getenv("BRENVIK_BINARY_DIR")) / "brenvik";
        const fs::path folder = home.root() / "program";
        fs::create_directories(folder);
        fs::copy_file(built, folder / "brenvik");
        return folder / "brenvik";
    }

    // Settings stored before the start, as lines of the machine hive's settings key.
    void storeSettings(const std::string& values) {
        test::writeFile(home.config() / "brenvik" / "HKEY_LOCAL_MACHINE.reg",
                        "Brenvik Registry Hive Version 1\n\n"
                        "[HKEY_LOCAL_MACHINE\\Software\\Orlevo\\Brenvik\\Settings]\n" +
                            values);
    }

    pid_t start() {
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

    // Start-up has run when the settings object has written the preferences it found missing.
    bool waitForStartUp() {
        const fs::path hive = home.config() / "brenvik" / "HKEY_LOCAL_MACHINE.reg";
        const auto end = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < end) {
            if (fs::exists(hive) &&
                test::readFile(hive).find("AutoRefreshTimerInt") != std::string::npos)
                return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }

    // Waits until the child sleeps without using the processor, as it does in a message box.
    static bool waitUntilIdle(pid_t child) {
        const auto end = std::chrono::steady_clock::now() + 20s;
        std::string last;
        int quiet = 0;
        while (std::chrono::steady_clock::now() < end && quiet < 4) {
            std::this_thread::sleep_for(100ms);
            // The state and the user and system times, after the name's closing bracket.
            const std::string stat = test::readFile("/proc/" + std::to_string(child) + "/stat");
            std::istringstream fields(stat.substr(stat.rfind(')') + 2));
            std::string state, skip, user, system;
            fields >> state;
            for (int i = 0; i < 10; ++i)
                fields >> skip;
            fields >> user >> system;
            const std::string now = user + ' ' + system;
            quiet = state == "S" && now == last ? quiet + 1 : 0;
            last = now;
        }
        return quiet >= 4;
    }

    bool storeNamesTheEntry() {
        return fs::exists(store) && test::readFile(store).find("life-sync") != std::string::npos;
    }
};

class ProgramEndsOnSignal : public ProgramLifeTest, public ::testing::WithParamInterface<int> {};

TEST_P(ProgramEndsOnSignal, EndsCleanlyAndSavesTheStore) {
    storeSettings("\"ShowSplashOnStartup\"=dword:00000000\n");
    const pid_t child = start();
    ASSERT_GT(child, 0);
    ASSERT_TRUE(waitForStartUp());
    std::this_thread::sleep_for(300ms);
    kill(child, GetParam());
    EXPECT_EQ(waitFor(child, 15s), 0);
    EXPECT_TRUE(storeNamesTheEntry());
}

TEST_P(ProgramEndsOnSignal, AlsoDuringTheStartUpRefusalBox) {
    // Ctrl+Alt with a key no desktop can grab: the refusal box opens during start-up and waits.
    storeSettings("\"ShowSplashOnStartup\"=dword:00000000\n\"Shortcut\"=dword:0000c007\n");
    const pid_t child = start();
    ASSERT_GT(child, 0);
    ASSERT_TRUE(waitUntilIdle(child));
    kill(child, GetParam());
    EXPECT_EQ(waitFor(child, 15s), 0);
    // Start-up went on to the startup list, which the close sequence then saved.
    EXPECT_TRUE(storeNamesTheEntry());
}

TEST_F(ProgramLifeTest, StopRequestDuringTheSplashHoldEndsTheProgram) {
    const pid_t child = start(); // a first start: the splash shows
    ASSERT_GT(child, 0);
    ASSERT_TRUE(waitForStartUp());
    kill(child, SIGTERM); // within the 2-second hold
    EXPECT_EQ(waitFor(child, 15s), 0);
    EXPECT_TRUE(storeNamesTheEntry());
}

INSTANTIATE_TEST_SUITE_P(Signals, ProgramEndsOnSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP));

} // namespace
} // namespace brenvik
