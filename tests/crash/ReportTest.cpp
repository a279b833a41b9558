#include "crash/FaultReport.h"
#include "crash/StackTrace.h"
#include "crash/ThrowTrace.h"
#include "fakes/FakePlatform.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace brenvik::crash {
namespace {

[[gnu::noinline]] void throwFromTheDepths() {
    throw std::runtime_error("depths");
}

std::vector<void*> framesOfCaughtThrow() {
    try {
        throwFromTheDepths();
    } catch (const std::exception& e) {
        return throwTraceOf(dynamic_cast<const void*>(&e), typeid(e));
    }
    return {};
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += line + '\n';
    return text;
}

TEST(ThrowTrace, NamesTheThrowingFunctionOnlyWhileRecording) {
    enableThrowTraces(true);
    const std::vector<void*> frames = framesOfCaughtThrow();
    enableThrowTraces(false);
    ASSERT_FALSE(frames.empty());
    const std::string text = joined(describeFrames(frames));
    EXPECT_NE(text.find("throwFromTheDepths"), std::string::npos) << text;
    EXPECT_NE(text.find("ReportTest.cpp:"), std::string::npos) << "no source line: " << text;

    EXPECT_TRUE(framesOfCaughtThrow().empty());
}

TEST(ReportName, IsTheUtcTimeThenProcessThenSerial) {
    struct Case {
        long long seconds;
        long pid;
        unsigned serial;
        const char* name;
    };
    for (const Case& c :
         {Case{0, 7, 1, "report-19700101-000000-7-1.txt"},
          Case{951825599, 123, 2, "report-20000229-115959-123-2.txt"},
          Case{1796904000, 4194304, 1000, "report-20261210-120000-4194304-1000.txt"},
          Case{-1, 1, 1, "report-19691231-235959-1-1.txt"}}) {
        char name[96];
        formatReportName(name, sizeof name, c.seconds, c.pid, c.serial);
        EXPECT_STREQ(name, c.name);
    }
    char tiny[8];
    formatReportName(tiny, sizeof tiny, 0, 1, 1);
    EXPECT_STREQ(tiny, "report-");
}

class ReportFileTest : public ::testing::Test {
protected:
    test::TempHome home;
    test::FakePlatformScope fake;
};

TEST_F(ReportFileTest, ReportsInTheSameSecondNeverReplaceEachOther) {
    const auto when = std::chrono::system_clock::now();
    const auto first = writeReport("first", when);
    const auto second = writeReport("second", when);
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    EXPECT_EQ(first.parent_path(), home.state() / "brenvik" / "reports");
    EXPECT_EQ(test::readFile(first), "first");
    EXPECT_EQ(test::readFile(second), "second");
    // Nothing half-written is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(first.parent_path()),
                            std::filesystem::directory_iterator()),
              2);
}

TEST_F(ReportFileTest, FolderKeepsTheNewestReportsOnly) {
    // Reports left by earlier runs and by this one, some in the same second.
    const auto start = std::chrono::system_clock::now() - std::chrono::hours(1);
    std::vector<std::filesystem::path> written;
    const auto fileNow = std::filesystem::file_time_type::clock::now();
    for (std::size_t i = 0; i < MaxReportsKept + 12; ++i) {
        const auto age = std::chrono::seconds(static_cast<int>(i));
        written.push_back(writeReport(std::to_string(i), start + age / 3));
        ASSERT_FALSE(written.back().empty());
        // Apart in time as consecutive faults are, whatever the file system's clock grain.
        std::filesystem::last_write_time(written.back(), fileNow - std::chrono::minutes(5) + age);
    }
    const auto folder = home.state() / "brenvik" / "reports";
    test::writeFile(folder / "notes.txt", "not a report");
    writeReport("last", start + std::chrono::hours(1));
    std::size_t reports = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        reports += entry.path().filename().string().rfind("report-", 0) == 0;
    EXPECT_EQ(reports, MaxReportsKept);
    EXPECT_TRUE(std::filesystem::exists(folder / "notes.txt"));
    for (std::size_t i = 0; i < written.size(); ++i)
        EXPECT_EQ(std::filesystem::exists(written[i]), i >= written.size() - (MaxReportsKept - 1))
            << i;
}

TEST_F(ReportFileTest, UnwritableFolderGivesNoPath) {
    test::writeFile(home.state() / "brenvik", "a file where the folder should be");
    EXPECT_TRUE(writeReport("text", std::chrono::system_clock::now()).empty());
}

TEST_F(ReportFileTest, ComposedReportHoldsEverySectionAndStaysBounded) {
    FaultDescription fault;
    fault.typeName = "std::runtime_error";
    fault.message = std::string(3 * MaxReportBytes, 'x');
    fault.frames = captureFrames();
    const std::string text = composeReport(fault, std::chrono::system_clock::now());
    EXPECT_LE(text.size(), MaxReportBytes);
    for (const char* part :
         {"Brenvik error report\nTime: ", "Program: Brenvik 7.1.0 (/opt/brenvik/brenvik)",
          "Exception: std::runtime_error\n", "[message truncated]",
          "Stack trace (where it was handled):\n  #0 ", "Modules:\n", "Threads (", "Processes: ",
          "Kernel: Linux", "Distribution: ", "Physical memory: 2048 MB total, 1024 MB available"})
        EXPECT_NE(text.find(part), std::string::npos) << part;
}

} // namespace
} // namespace brenvik::crash
