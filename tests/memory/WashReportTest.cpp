#include "memory/WashReport.h"

#include "memory/WashLog.h"
#include "support/TempHome.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace brenvik {
namespace {

constexpr std::uint64_t MB = 1 << 20;

platform::MemoryStatus status(std::uint64_t freeMB, std::uint64_t availableMB,
                              std::uint64_t cacheMB, std::uint64_t swapUsedMB) {
    platform::MemoryStatus s;
    s.totalPhys = 8192 * MB;
    s.freePhys = freeMB * MB;
    s.availPhys = availableMB * MB;
    s.cached = cacheMB * MB;
    s.swapTotal = 4096 * MB;
    s.swapFree = (4096 - swapUsedMB) * MB;
    return s;
}

WashReport sample() {
    WashReport report;
    report.endedAt = 1'800'000'000;
    report.requested = 2048;
    report.obtained = 2048;
    report.seconds = 1.14;
    report.before = status(300, 5000, 4000, 0);
    report.peak = status(120, 2900, 2050, 0);
    report.after = status(2250, 5012, 2054, 0);
    return report;
}

TEST(WashReportTest, ArithmeticComparesAfterWithBefore) {
    const WashReport report = sample();
    EXPECT_EQ(report.cacheReleased(), static_cast<std::int64_t>(1946 * MB));
    EXPECT_EQ(report.freeChange(), static_cast<std::int64_t>(1950 * MB));
    EXPECT_EQ(report.availableChange(), static_cast<std::int64_t>(12 * MB));
    EXPECT_EQ(report.swapChange(), 0);
}

TEST(WashReportTest, TextSaysWhatTheWashDid) {
    struct Case {
        const char* name;
        std::function<void(WashReport&)> change;
        std::string text;
    };
    const std::vector<Case> cases{
        {"completed", [](WashReport&) {},
         "Washed 2048 MB in 1.1 s \u2014 1.90 GB of cache released, available memory +12.00 MB"},
        {"cancelled",
         [](WashReport& r) {
             r.stop = WashReport::Stop::Cancelled;
             r.obtained = 10;
             r.requested = 100;
             r.after = r.before;
             r.seconds = 0.04;
         },
         "Wash cancelled after 10 of 100 MB (0.0 s) \u2014 available memory +0.00 B"},
        {"reserve",
         [](WashReport& r) {
             r.stop = WashReport::Stop::Reserve;
             r.obtained = 900;
             r.after = status(2000, 4990, 3000, 312);
         },
         "Washed 900 of 2048 MB in 1.1 s, stopped to keep a safety reserve free \u2014 1000.00 MB "
         "of cache released, 312.00 MB moved to swap, available memory -10.00 MB"},
        {"failed",
         [](WashReport& r) {
             r.stop = WashReport::Stop::Failed;
             r.obtained = 0;
             r.after = r.before;
         },
         "Washed 0 of 2048 MB in 1.1 s, the system gave no more memory"},
    };
    for (const auto& c : cases) {
        WashReport report = sample();
        c.change(report);
        EXPECT_EQ(washReportText(report), c.text) << c.name;
    }
}

TEST(WashReportTest, JsonIsOneLineWithTheFigures) {
    const std::string json = washReportJson(sample());
    EXPECT_EQ(json.find('\n'), std::string::npos);
    EXPECT_EQ(json.front(), '{');
    EXPECT_EQ(json.back(), '}');
    EXPECT_NE(json.find("\"stop\":\"completed\""), std::string::npos);
    EXPECT_NE(json.find("\"seconds\":1.140"), std::string::npos);
    EXPECT_NE(json.find("\"cacheReleased\":" + std::to_string(1946 * MB)), std::string::npos);
}

class WashLogTest : public ::testing::Test {
protected:
    test::TempHome home;
};

TEST_F(WashLogTest, KeepsTheNewestHundredAndStaysBounded) {
    WashLog log;
    EXPECT_EQ(log.file(), home.state() / "brenvik" / "washes.jsonl");
    for (int i = 0; i < 450; ++i) {
        WashReport report = sample();
        report.endedAt = i;
        ASSERT_TRUE(log.append(report));
    }
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), WashLog::Kept);
    EXPECT_EQ(lines.front().rfind("{\"endedAt\":350,", 0), 0u);
    EXPECT_EQ(lines.back().rfind("{\"endedAt\":449,", 0), 0u);
    EXPECT_LT(std::filesystem::file_size(log.file()),
              2 * WashLog::Kept * (lines.back().size() + 1) + 1);
}

TEST_F(WashLogTest, TornLastLineIsSkippedAndClosedOff) {
    WashLog log;
    ASSERT_TRUE(log.appendLine("{\"n\":1}"));
    test::writeFile(log.file(), test::readFile(log.file()) + "{\"n\":2,\"torn"); // crash mid-write
    EXPECT_EQ(log.lines(), std::vector<std::string>{"{\"n\":1}"});
    ASSERT_TRUE(log.appendLine("{\"n\":3}"));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"{\"n\":1}", "{\"n\":3}"}));
}

TEST_F(WashLogTest, SurvivesAKillDuringWrites) {
    WashLog log;
    const pid_t child = fork();
    if (child == 0) {
        for (int i = 0;; ++i)
            log.appendLine("{\"n\":" + std::to_string(i) + ",\"pad\":\"" + std::string(400, 'x') +
                           "\"}");
    }
    usleep(150'000);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    const auto before = log.lines();
    ASSERT_FALSE(before.empty());
    for (const auto& line : before)
        EXPECT_EQ(line.back(), '}');
    ASSERT_TRUE(log.appendLine("{\"n\":\"after\"}"));
    EXPECT_EQ(log.lines().back(), "{\"n\":\"after\"}");
}

} // namespace
} // namespace brenvik
