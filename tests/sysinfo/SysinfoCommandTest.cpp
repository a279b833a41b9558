#include "support/TempHome.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>

namespace brenvik {
namespace {

struct CtlRun {
    int exitCode = -1;
    std::string out;
};

CtlRun brenvikctl(const std::string& arguments) {
    const std::string program = std::string(std::getenv("BRENVIK_BINARY_DIR")) + "/brenvikctl";
    CtlRun run;
    FILE* pipe = popen((program + " " + arguments + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr)
        return run;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        run.out += buffer;
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(SysinfoCommand, JsonHoldsEveryRowOfTheThreeBoxesWithTheirCaptions) {
    test::TempHome home;
    home.setEnv("TMP", (home.root() / "temp").string());
    std::filesystem::create_directories(home.root() / "temp");
    const CtlRun run = brenvikctl("sysinfo --json");
    ASSERT_EQ(run.exitCode, 0);
    const auto json = nlohmann::ordered_json::parse(run.out);
    std::vector<std::string> keys;
    for (const auto& [section, rows] : json.items()) {
        for (const auto& [caption, value] : rows.items()) {
            EXPECT_TRUE(value.is_string()) << caption;
            keys.push_back(section + "/" + caption);
        }
    }
    const std::vector<std::string> expected{
        "windows/Version:",
        "windows/Product ID:",
        "windows/Product Name:",
        "windows/Product Type:",
        "windows/SP Version:",
        "windows/Version Build:",
        "windows/Major:",
        "windows/Minor:",
        "cpu/Processor:",
        "cpu/No of Pro.:",
        "cpu/Vendor:",
        "cpu/Family:",
        "cpu/Model:",
        "cpu/Stepping:",
        "cpu/IA64:",
        "cpu/MMX Support:",
        "cpu/Norm Frequency:",
        "cpu/L2 Cache:",
        "cpu/L3 Cache:",
        "folders/App Data",
        "folders/Cookies",
        "folders/Desktop",
        "folders/Favorites",
        "folders/Fonts",
        "folders/History",
        "folders/Cache",
        "folders/Net Places",
        "folders/Program Files",
        "folders/Recent",
        "folders/Send To",
        "folders/Start menu",
        "folders/System",
        "folders/Temp",
        "folders/Templates",
        "folders/Windows",
    };
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(json["folders"]["Temp"], (home.root() / "temp").string());
    EXPECT_EQ(json["folders"]["App Data"], home.config().string());
    const std::string longMode = json["cpu"]["IA64:"];
    EXPECT_TRUE(longMode == "Yes" || longMode == "No");
}

TEST(SysinfoCommand, JsonReplacesBytesThatAreNotUtf8) {
    test::TempHome home;
    const auto temp = home.root() / "caf\xe9";
    std::filesystem::create_directories(temp);
    home.setEnv("TMP", temp.string());
    const CtlRun run = brenvikctl("sysinfo --json");
    ASSERT_EQ(run.exitCode, 0);
    const auto json = nlohmann::ordered_json::parse(run.out);
    EXPECT_EQ(json["folders"]["Temp"], (home.root() / "caf\uFFFD").string());
}

TEST(SysinfoCommand, ProductIdIsDerivedFromTheMachineIdNotTheMachineIdItself) {
    test::TempHome home;
    test::writeFile(home.root() / "machine-id", "0123456789abcdef0123456789abcdef\n");
    home.setEnv("BRENVIK_MACHINE_ID_FILE", (home.root() / "machine-id").string());
    const CtlRun run = brenvikctl("sysinfo --json");
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(nlohmann::ordered_json::parse(run.out)["windows"]["Product ID:"],
              "b41dd8a500894995a8d613908d8b6a61");
}

TEST(SysinfoCommand, TextShowsTheBoxesAndRejectsArguments) {
    const CtlRun run = brenvikctl("sysinfo");
    ASSERT_EQ(run.exitCode, 0);
    for (const char* text : {"Windows\nVersion:", "\nCPU Information\nProcessor:",
                             "\nSpecial Folders Locations\nApp Data", "Norm Frequency:"})
        EXPECT_NE(run.out.find(text), std::string::npos) << text;
    EXPECT_EQ(brenvikctl("sysinfo extra").exitCode, 2);
}

} // namespace
} // namespace brenvik
