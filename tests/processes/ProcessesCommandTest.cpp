// brenvikctl processes over the fake process table.

#include "ctl/Commands.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

namespace brenvik {
namespace {

class ProcessesCommandTest : public ::testing::Test {
protected:
    ProcessesCommandTest() {
        auto& editor = table.add(300, "/usr/bin/zed");
        editor.threadCount = 3;
        editor.memory = 5'000'000'000;
        table.add(20, "/usr/bin/Beta").priority = 0;
        table.add(100, "/usr/bin/alpha").priority = platform::HIGH_PRIORITY_CLASS;
        table.add(7, "");
    }
    int run(std::vector<std::string> args, bool json) {
        ctl::Invocation call{std::move(args), json, out, err};
        return ctl::runProcesses(call);
    }

    test::FakePlatformScope fake;
    test::FakeProcessTable& table = fake->fakeProcesses();
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(ProcessesCommandTest, JsonListsThePageRowsInThePageOrder) {
    ASSERT_EQ(run({}, true), 0);
    const auto rows = nlohmann::json::parse(out.str());
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0]["name"], "alpha");
    EXPECT_EQ(rows[0]["priority"], "High");
    EXPECT_EQ(rows[1]["name"], "Beta");
    EXPECT_EQ(rows[1]["priority"], "Unknown");
    EXPECT_EQ(rows[2]["name"], "zed");
    EXPECT_EQ(rows[2]["memory"], "4.66 GB");
    EXPECT_EQ(rows[2]["memoryBytes"], 5'000'000'000u);
    EXPECT_EQ(rows[2]["path"], "/usr/bin/zed");
    EXPECT_EQ(rows[2]["pid"], 300);
    EXPECT_EQ(rows[2]["threads"], 3);
    EXPECT_EQ(rows[3]["name"], ""); // empty names last
}

TEST_F(ProcessesCommandTest, JsonReplacesBytesThatAreNotUtf8) {
    table.add(400, "/opt/caf\xe9/caf\xe9");
    ASSERT_EQ(run({}, true), 0);
    const auto rows = nlohmann::json::parse(out.str());
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[2]["name"], "caf\uFFFD");
    EXPECT_EQ(rows[2]["path"], "/opt/caf\uFFFD/caf\uFFFD");
}

TEST_F(ProcessesCommandTest, TextIsATableWithAHeaderAndArgumentsAreRefused) {
    ASSERT_EQ(run({}, false), 0);
    std::istringstream lines(out.str());
    std::string header, first;
    std::getline(lines, header);
    std::getline(lines, first);
    EXPECT_EQ(header.rfind("Process", 0), 0u);
    EXPECT_NE(header.find("Memory Usage"), std::string::npos);
    EXPECT_EQ(first.rfind("alpha", 0), 0u);
    EXPECT_NE(first.find("/usr/bin/alpha"), std::string::npos);
    EXPECT_EQ(run({"extra"}, false), 2);
}

} // namespace
} // namespace brenvik
