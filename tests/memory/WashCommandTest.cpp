// brenvikctl wash over the fake platform's blocks.

#include "ctl/Commands.h"
#include "fakes/FakePlatform.h"
#include "memory/WashLog.h"
#include "support/TempHome.h"

#include <chrono>
#include <csignal>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

namespace brenvik {
namespace {

class WashCommandTest : public ::testing::Test {
protected:
    int run(std::vector<std::string> args, bool json, bool terminal = false) {
        ctl::Invocation call{std::move(args), json, out, err, terminal};
        return ctl::runWash(call);
    }

    test::TempHome home;
    test::FakePlatformScope fake;
    test::FakeBlockAllocator& blocks = fake->fakeAllocator();
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(WashCommandTest, JsonReportsTheWash) {
    ASSERT_EQ(run({"3"}, true), 0);
    const auto report = nlohmann::json::parse(out.str());
    EXPECT_EQ(report["requested"], 3);
    EXPECT_EQ(report["obtained"], 3);
    EXPECT_EQ(report["released"], 3);
    EXPECT_EQ(report["endedBy"], "completed");
    EXPECT_EQ(report["availableBefore"], 1024ull << 20);
    EXPECT_EQ(report["availableAfter"], 1024ull << 20);
    EXPECT_GE(report["seconds"].get<double>(), 0.0);
    EXPECT_EQ(blocks.held(), 0);
    EXPECT_EQ(err.str(), "") << "no progress without a terminal";
}

TEST_F(WashCommandTest, TerminalFollowsTheBlocksAndIsWipedBeforeTheReport) {
    // Slow blocks, so that the line is redrawn while the wash takes them and gives them back.
    const auto slowly = [] { std::this_thread::sleep_for(std::chrono::milliseconds(300)); };
    blocks.onObtain = [slowly](int) { slowly(); };
    blocks.onRelease = slowly;
    ASSERT_EQ(run({"3"}, false, true), 0);
    const std::string shown = err.str();
    for (const char* line :
         {"\rTaking blocks: 1 of 3  (Ctrl+C cancels)", "\rTaking blocks: 2 of 3  (Ctrl+C cancels)",
          "\rGiving back blocks: 1 of 3", "\rGiving back blocks: 2 of 3"})
        EXPECT_NE(shown.find(line), std::string::npos) << line << " in " << shown;
    // Wiped: blanks over the last text, and the cursor back at the start of the line.
    const std::size_t lastStart = shown.rfind('\r', shown.size() - 2);
    ASSERT_NE(lastStart, std::string::npos);
    EXPECT_EQ(shown.substr(lastStart + 1).find_first_not_of(' '), shown.size() - lastStart - 2);
    EXPECT_EQ(shown.back(), '\r');
    EXPECT_EQ(out.str().find('\r'), std::string::npos) << "the report stays on standard output";
    EXPECT_NE(out.str().find("Blocks obtained:   3\n"), std::string::npos) << out.str();
}

TEST_F(WashCommandTest, InterruptCancelsTheWashAndGivesTheBlocksBack) {
    // Ctrl+C arrives while the wash takes its third block; without the cancel the wash would
    // take twenty seconds.
    const auto interruptAtThirdBlock = [this] {
        blocks.onObtain = [third = blocks.obtainCalls() + 2](int call) {
            if (call == third)
                std::raise(SIGINT);
            if (call >= third)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        };
    };
    for (const bool terminal : {false, true}) {
        SCOPED_TRACE(terminal ? "on a terminal" : "without a terminal");
        interruptAtThirdBlock();
        out.str({});
        err.str({});
        ASSERT_EQ(run({"1000"}, true, terminal), 0);
        const auto report = nlohmann::json::parse(out.str());
        EXPECT_EQ(report["endedBy"], "cancelled");
        EXPECT_GE(report["obtained"], 3);
        EXPECT_LT(report["obtained"], 1000);
        EXPECT_EQ(report["released"], report["obtained"]);
        EXPECT_EQ(blocks.held(), 0);
        EXPECT_EQ(err.str().empty(), !terminal) << err.str();
        // The handler goes with the wash: Ctrl+C ends the program again.
        struct sigaction now {};
        ::sigaction(SIGINT, nullptr, &now);
        EXPECT_EQ(now.sa_handler, SIG_DFL);
    }
}

TEST_F(WashCommandTest, PrintsAndLogsWhatTheWashDid) {
    // The file cache shrinks while the blocks are taken.
    blocks.onObtain = [this](int call) {
        if (call == 1)
            fake->fakeSystem().memory.cached -= 300ull << 20;
    };
    ASSERT_EQ(run({"2"}, true), 0);
    const auto json = nlohmann::json::parse(out.str());
    EXPECT_EQ(json["report"]["cacheReleased"], 300ull << 20);
    EXPECT_EQ(json["report"]["stop"], "completed");
    // The seconds are the wash's own, longer on a busy machine.
    EXPECT_THAT(
        json["text"].get<std::string>(),
        ::testing::MatchesRegex("Washed 2 MB in [0-9]+\\.[0-9] s \u2014 300\\.00 MB of cache "
                                "released, available memory \\+0\\.00 B"));
    const auto lines = WashLog().lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(nlohmann::json::parse(lines[0])["cacheReleased"], 300ull << 20);

    out.str({});
    ASSERT_EQ(run({"2"}, false), 0);
    EXPECT_NE(out.str().find("File cache:"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("\nWashed 2 MB in "), std::string::npos) << out.str();
    EXPECT_EQ(WashLog().lines().size(), 2u);
}

TEST_F(WashCommandTest, TextTellsWhyTheWashEndedEarly) {
    blocks.failAt = 2;
    ASSERT_EQ(run({"10"}, false), 0);
    const std::string text = out.str();
    EXPECT_NE(text.find("Blocks obtained:   2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Ended by:          block refused\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Available before:  1024 MB\n"), std::string::npos) << text;
}

TEST_F(WashCommandTest, BlockNotTakenBackFailsTheCommand) {
    blocks.rejectAt = 0;
    EXPECT_EQ(run({"2"}, false), 1);
    EXPECT_NE(out.str().find("Blocks not given back:"), std::string::npos);
}

TEST_F(WashCommandTest, BadAmountIsAUsageError) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"x"}, {"-1"}, {"12MB"}, {"3", "4"}, {"99999999999"}}) {
        SCOPED_TRACE(args.empty() ? "" : args.front());
        EXPECT_EQ(run(args, false), 2);
    }
    EXPECT_EQ(blocks.obtainCalls(), 0);
}

} // namespace
} // namespace brenvik
