#include "platform/AtomicFile.h"

#include "support/TempHome.h"

#include <gtest/gtest.h>

namespace brenvik::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& file : fs::directory_iterator(folder))
        names.push_back(file.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AtomicFile, ReplacingLeavesOnlyTheFile) {
    test::TempHome home;
    const fs::path file = home.root() / "tool.desktop";
    for (const std::string text : {"first\n", "second\n"}) {
        const auto written = replaceFile(file, text, 0640);
        ASSERT_TRUE(written);
        EXPECT_EQ(readAll(written->get(), 100), text);
        EXPECT_EQ(test::readFile(file), text);
    }
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(namesIn(home.root()), (std::vector<std::string>{"tool.desktop"}));
}

TEST(AtomicFile, TemporaryFilesOfKilledSavesGoAtALaterSave) {
    test::TempHome home;
    const fs::path file = home.root() / "tool.desktop";
    struct Case {
        std::string name;
        fs::file_time_type::duration age;
        bool removed;
    };
    const std::vector<Case> cases{
        {".tool.desktop.a1B2c3", 1h, true},   {".tool.desktop.XXXXXX", StaleTemporaryAge, true},
        {".tool.desktop.Zz9Zz9", 0s, false}, // may be a save in progress
        {".tool.desktop.a1B2c", 1h, false},  // not a temporary name
        {".tool.desktop.a1-2c3", 1h, false},  {"tool.desktop.a1B2c3", 1h, false},
        {".other.desktop.a1B2c3", 1h, false},
    };
    for (const Case& c : cases) {
        test::writeFile(home.root() / c.name, "left over");
        fs::last_write_time(home.root() / c.name, fs::file_time_type::clock::now() - c.age);
    }
    ASSERT_TRUE(replaceFile(file, "text\n", 0644));
    for (const Case& c : cases)
        EXPECT_EQ(fs::exists(home.root() / c.name), !c.removed) << c.name;

    // A caller that holds the save lock removes a fresh one too.
    removeStaleTemporaries(file, 0s);
    EXPECT_FALSE(fs::exists(home.root() / ".tool.desktop.Zz9Zz9"));
}

} // namespace
} // namespace brenvik::platform
