#include "crash/FaultReport.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace brenvik::crash {
namespace {

std::vector<std::filesystem::path> reports() {
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(reportsFolder(), error))
        found.push_back(entry.path());
    return found;
}

// Runs the crashing child and returns its wait status.
int runChild(const std::string& fault) {
    std::string program = CRASH_CHILD;
    std::string argument = fault;
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t child = 0;
    EXPECT_EQ(posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, environ), 0);
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

struct FatalCase {
    const char* fault;
    int signal;
    const char* name;
    friend void PrintTo(const FatalCase& c, std::ostream* out) { *out << c.fault; }
};

class FatalSignalTest : public ::testing::TestWithParam<FatalCase> {
protected:
    test::TempHome home;
};

TEST_P(FatalSignalTest, ChildLeavesAMinimalReportAndDiesOfItsSignal) {
    const FatalCase& c = GetParam();
    const int status = runChild(c.fault);
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
    EXPECT_EQ(WTERMSIG(status), c.signal);

    const auto files = reports();
    ASSERT_EQ(files.size(), 1u);
    const std::string text = test::readFile(files[0]);
    EXPECT_NE(text.find("Brenvik fatal error report"), std::string::npos);
    EXPECT_NE(text.find(std::string("Signal: ") + c.name), std::string::npos) << text;
    const auto trace = text.find("Stack trace:\n");
    ASSERT_NE(trace, std::string::npos);
    EXPECT_NE(text.find("crash_child", trace), std::string::npos) << "no frame of the program";
    EXPECT_NE(text.find("Modules:\n"), std::string::npos);
    EXPECT_NE(text.find("libc.so"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Faults, FatalSignalTest,
                         ::testing::Values(FatalCase{"segv", SIGSEGV, "SIGSEGV"},
                                           FatalCase{"abort", SIGABRT, "SIGABRT"},
                                           FatalCase{"fpe", SIGFPE, "SIGFPE"}),
                         [](const auto& info) { return std::string(info.param.fault); });

TEST(FatalSignalReports, TwoCrashesLeaveTwoReports) {
    test::TempHome home;
    EXPECT_TRUE(WIFSIGNALED(runChild("segv")));
    EXPECT_TRUE(WIFSIGNALED(runChild("segv")));
    EXPECT_EQ(reports().size(), 2u);
}

} // namespace
} // namespace brenvik::crash
