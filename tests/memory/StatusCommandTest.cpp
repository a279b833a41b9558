// brenvikctl status over the fake platform: the Memory page's figures and the processor load.

#include "common/FileUtils.h"
#include "ctl/Commands.h"
#include "fakes/FakePlatform.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

namespace brenvik {
namespace {

// The dynamic performance data with a fixed load.
class FixedLoad : public platform::KeyProvider {
public:
    std::vector<std::string> valueNames() override { return {"KERNEL\\CPUUsage"}; }
    std::optional<platform::RegValue> value(std::string_view) override {
        return platform::RegValue::dword(37);
    }
};

class StatusCommandTest : public ::testing::Test {
protected:
    StatusCommandTest() {
        fake->fakeSystem().ticks = 90'061'999;
        fake->registry->mount(platform::HKEY_DYN_DATA, "PerfStats\\StatData",
                              std::make_shared<FixedLoad>());
    }
    int run(std::vector<std::string> args, bool json) {
        ctl::Invocation call{std::move(args), json, out, err};
        return ctl::runStatus(call);
    }

    test::FakePlatformScope fake;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(StatusCommandTest, TextShowsThePagesFigures) {
    ASSERT_EQ(run({}, false), 0);
    const std::string point = UserDecimalSeparator();
    EXPECT_EQ(out.str(), "Total:                      2048 MB\n"
                         "Used:                       1024 MB\n"
                         "Available:                  1024 MB\n"
                         "Physical Memory Available:  50 %\n"
                         "Paging File Max Size:       4" +
                             point +
                             "00 GB\n"
                             "Paging File Used:           1" +
                             point +
                             "00 GB\n"
                             "Paging File Available:      3" +
                             point +
                             "00 GB\n"
                             "Page File Usage:            25 %\n"
                             "System Uptime:              1 D 1 H 1 M 1 S \n"
                             "CPU Usage:                  37 %\n");
}

TEST_F(StatusCommandTest, JsonCarriesTextsPercentagesAndBytes) {
    ASSERT_EQ(run({}, true), 0);
    const auto status = nlohmann::json::parse(out.str());
    EXPECT_EQ(status["memory"]["total"], "2048 MB");
    EXPECT_EQ(status["memory"]["available_percent"], 50);
    EXPECT_EQ(status["memory"]["total_bytes"], 2048ull << 20);
    EXPECT_EQ(status["paging_file"]["usage_percent"], 25);
    EXPECT_EQ(status["paging_file"]["available_bytes"], 3072ull << 20);
    EXPECT_EQ(status["uptime"], "1 D 1 H 1 M 1 S ");
    EXPECT_EQ(status["cpu_usage_percent"], 37);
}

TEST_F(StatusCommandTest, TakesNoArguments) {
    EXPECT_EQ(run({"now"}, false), 2);
}

} // namespace
} // namespace brenvik
