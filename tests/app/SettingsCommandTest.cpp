// brenvikctl settings over the fake platform: every preference, the memory-load one included.

#include "app/SettingsClass.h"
#include "ctl/Commands.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

namespace brenvik {
namespace {

class SettingsCommandTest : public ::testing::Test {
protected:
    int run(bool json) {
        ctl::Invocation call{{}, json, out, err};
        return ctl::runSettings(call);
    }
    void store(const char* name, std::int32_t value) {
        platform::TRegistry registry(platform::HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(registry.OpenKey(SettingsKeyPath, true));
        registry.WriteInteger(name, value);
    }

    test::FakePlatformScope fake;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(SettingsCommandTest, FirstRunReportsTheMemoryLoadOnInTextAndJson) {
    ASSERT_EQ(run(false), 0);
    const std::string text = out.str();
    EXPECT_NE(text.find("ShowMemoryLoadInTray    true\n"), std::string::npos) << text;
    // After the others, as Load adds it.
    EXPECT_GT(text.find("ShowMemoryLoadInTray"), text.find("RunAtStartup"));
    out.str({});
    ASSERT_EQ(run(true), 0);
    const auto json = nlohmann::json::parse(out.str());
    EXPECT_EQ(json.at("ShowMemoryLoadInTray"), true);
    EXPECT_EQ(json.size(), 10u);
}

TEST_F(SettingsCommandTest, StoredOffIsReportedOff) {
    store("ShowMemoryLoadInTray", 0);
    ASSERT_EQ(run(true), 0);
    EXPECT_EQ(nlohmann::json::parse(out.str()).at("ShowMemoryLoadInTray"), false);
}

} // namespace
} // namespace brenvik
