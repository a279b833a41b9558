#include "RunKeys.h"
#include "ctl/Commands.h"
#include "fakes/FakePlatform.h"
#include "startup/StartupClass.h"
#include "startup/StartupStore.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

namespace brenvik {
namespace {

using namespace platform;
using test::putString;
using test::RunKey;
using test::valueOf;

class StartupCommandTest : public ::testing::Test {
protected:
    test::TempHome home;
    test::FakePlatformScope fake;
    std::ostringstream out;
    std::ostringstream err;

    StartupCommandTest() {
        std::filesystem::create_directories(home.root() / "portable");
        fake->fakeSystem().program = home.root() / "portable" / "brenvik";
        putString(HKEY_CURRENT_USER, RunKey, "app", "/usr/bin/app");
        putString(HKEY_LOCAL_MACHINE, RunKey, "Backup", "/usr/bin/backup --quiet");
    }

    int run(std::vector<std::string> args, bool json = false) {
        out.str({});
        err.str({});
        ctl::Invocation call{std::move(args), json, out, err};
        return ctl::runStartup(call);
    }
    std::vector<std::pair<std::string, bool>> stored() {
        TStartupList list;
        list.LoadFromFile(home.root() / "portable" / "startup.dat");
        std::vector<std::pair<std::string, bool>> entries;
        for (int i = 0; i < list.Count(); ++i)
            entries.emplace_back(list.Items(i)->Name(), list.Items(i)->Enabled());
        return entries;
    }
};

TEST_F(StartupCommandTest, ListShowsEntriesByNameAsTextAndJson) {
    ASSERT_EQ(run({"list"}), 0);
    std::istringstream lines(out.str());
    std::string header;
    std::string first;
    std::getline(lines, header);
    std::getline(lines, first);
    EXPECT_EQ(header.rfind("Program Name", 0), 0u);
    EXPECT_EQ(first.rfind("app ", 0), 0u) << first;
    EXPECT_NE(first.find("Active"), std::string::npos);

    ASSERT_EQ(run({"list"}, true), 0);
    const auto json = nlohmann::json::parse(out.str());
    ASSERT_EQ(json.size(), 2u);
    EXPECT_EQ(json[1]["name"], "Backup");
    EXPECT_EQ(json[1]["status"], "Active");
    EXPECT_EQ(json[1]["commandLine"], "/usr/bin/backup --quiet");
    EXPECT_EQ(json[1]["location"], test::MachineRun);
    EXPECT_FALSE(std::filesystem::exists(home.root() / "portable" / "startup.dat"));
}

TEST_F(StartupCommandTest, JsonReplacesBytesThatAreNotUtf8) {
    putString(HKEY_CURRENT_USER, RunKey, "caf\xe9", "/usr/bin/caf\xe9");
    ASSERT_EQ(run({"list"}, true), 0);
    const auto json = nlohmann::json::parse(out.str());
    ASSERT_EQ(json.size(), 3u);
    EXPECT_EQ(json[2]["name"], "caf\uFFFD");
    EXPECT_EQ(json[2]["commandLine"], "/usr/bin/caf\uFFFD");
    ASSERT_EQ(run({"disable", "caf\xe9"}, true), 0);
    EXPECT_EQ(nlohmann::json::parse(out.str())["entries"][0]["name"], "caf\uFFFD");
}

TEST_F(StartupCommandTest, DisableEnableAndDeleteGoThroughTheStore) {
    ASSERT_EQ(run({"disable", "APP"}), 0) << err.str();
    EXPECT_EQ(out.str(), "Disabled app (" + test::UserRun + ")\n");
    EXPECT_FALSE(valueOf(HKEY_CURRENT_USER, RunKey, "app"));
    EXPECT_EQ(stored(),
              (std::vector<std::pair<std::string, bool>>{{"app", false}, {"Backup", true}}));

    ASSERT_EQ(run({"list"}, true), 0);
    EXPECT_EQ(nlohmann::json::parse(out.str())[0]["status"], "Disabled");

    ASSERT_EQ(run({"enable", "app"}, true), 0);
    const auto json = nlohmann::json::parse(out.str());
    EXPECT_EQ(json["action"], "Enabled");
    EXPECT_EQ(json["entries"][0]["status"], "Active");
    EXPECT_EQ(valueOf(HKEY_CURRENT_USER, RunKey, "app"), RegValue::string("/usr/bin/app"));

    ASSERT_EQ(run({"delete", "Backup"}), 0);
    EXPECT_FALSE(valueOf(HKEY_LOCAL_MACHINE, RunKey, "Backup"));
    EXPECT_EQ(stored(), (std::vector<std::pair<std::string, bool>>{{"app", true}}));
}

TEST_F(StartupCommandTest, NameThatMatchesNothingFailsAndChangesNothing) {
    const auto before = test::runValues();
    EXPECT_EQ(run({"disable", "nothing"}), 1);
    EXPECT_EQ(err.str(), "brenvikctl: no startup entry is named 'nothing'\n");
    EXPECT_EQ(test::runValues(), before);
    EXPECT_FALSE(std::filesystem::exists(home.root() / "portable" / "startup.dat"));
}

TEST_F(StartupCommandTest, BadUsageIsExitCodeTwo) {
    const std::vector<std::vector<std::string>> cases{
        {}, {"disable"}, {"list", "extra"}, {"rename", "app"}, {"enable", "a", "b"}};
    for (const auto& args : cases)
        EXPECT_EQ(run(args), 2) << (args.empty() ? "" : args[0]);
}

} // namespace
} // namespace brenvik
