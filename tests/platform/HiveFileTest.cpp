#include "platform/HiveFile.h"

#include "support/TempHome.h"

#include <algorithm>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace brenvik::platform {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

constexpr const char* Key = "Software\\Orlevo\\Brenvik\\Settings";

class HiveFileTest : public ::testing::Test {
protected:
    test::TempHome home;
    fs::path file = home.config() / "brenvik" / "HKEY_LOCAL_MACHINE.reg";

    static std::unique_ptr<Registry> registryOn(const fs::path& file) {
        auto registry = std::make_unique<Registry>();
        registry->setHive(HKEY_LOCAL_MACHINE,
                          std::make_shared<HiveFile>(file, "HKEY_LOCAL_MACHINE"));
        return registry;
    }
    static LONG write(Registry& registry, const std::string& name, const RegValue& value) {
        HKEY key = 0;
        LONG result = registry.openKey(HKEY_LOCAL_MACHINE, Key, true, key);
        if (result != ERROR_SUCCESS)
            return result;
        result = registry.setValue(key, name, value);
        registry.closeKey(key);
        return result;
    }
    static std::optional<RegValue> read(Registry& registry, const std::string& name) {
        HKEY key = 0;
        if (registry.openKey(HKEY_LOCAL_MACHINE, Key, false, key) != ERROR_SUCCESS)
            return std::nullopt;
        RegValue value;
        const LONG result = registry.queryValue(key, name, value);
        registry.closeKey(key);
        return result == ERROR_SUCCESS ? std::optional(value) : std::nullopt;
    }
    std::vector<std::string> badFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(file.parent_path()))
            if (entry.path().filename().string().find(".bad") != std::string::npos)
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(HiveFileTest, NothingIsWrittenUntilTheFirstChangeThenAPrivateFolder) {
    auto registry = registryOn(file);
    EXPECT_FALSE(read(*registry, "Any"));
    EXPECT_FALSE(fs::exists(file.parent_path()));

    ASSERT_EQ(write(*registry, "LoadBVSystemTray", RegValue::dword(1)), ERROR_SUCCESS);
    struct stat info {};
    ASSERT_EQ(::stat(file.parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(readFile(file), "Brenvik Registry Hive Version 1\n"
                              "\n[HKEY_LOCAL_MACHINE\\Software]\n"
                              "\n[HKEY_LOCAL_MACHINE\\Software\\Orlevo]\n"
                              "\n[HKEY_LOCAL_MACHINE\\Software\\Orlevo\\Brenvik]\n"
                              "\n[HKEY_LOCAL_MACHINE\\Software\\Orlevo\\Brenvik\\Settings]\n"
                              "\"LoadBVSystemTray\"=dword:00000001\n");
    // No temporary file is left behind.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(file.parent_path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{"HKEY_LOCAL_MACHINE.reg", "HKEY_LOCAL_MACHINE.reg.lock"}));
}

TEST_F(HiveFileTest, AnotherCopySeesEveryChangeAndAHandEdit) {
    auto first = registryOn(file);
    auto second = registryOn(file);
    ASSERT_EQ(write(*first, "A", RegValue::dword(1)), ERROR_SUCCESS);
    EXPECT_EQ(read(*second, "A"), RegValue::dword(1));
    ASSERT_EQ(write(*second, "B", RegValue::string("two")), ERROR_SUCCESS);
    EXPECT_EQ(read(*first, "B"), RegValue::string("two"));
    ASSERT_EQ(write(*first, "A", RegValue::dword(3)), ERROR_SUCCESS);
    EXPECT_EQ(read(*second, "A"), RegValue::dword(3));

    // An edit in place keeps the inode; its size differs.
    std::string text = readFile(file);
    text.replace(text.find("\"two\""), 5, "\"edited\"");
    {
        std::ofstream out(file, std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
        out << text;
    }
    EXPECT_EQ(read(*first, "B"), RegValue::string("edited"));

    fs::remove(file);
    EXPECT_FALSE(read(*first, "A"));
}

TEST_F(HiveFileTest, DamagedFileIsSetAsideAndTheHiveStartsEmpty) {
    auto registry = registryOn(file);
    ASSERT_EQ(write(*registry, "A", RegValue::dword(1)), ERROR_SUCCESS);
    ASSERT_EQ(write(*registry, "B", RegValue::string("long enough to cut in the middle")),
              ERROR_SUCCESS);
    const std::string good = readFile(file);

    // Truncated mid-line: a fresh start (a new copy of the program) reads it.
    const std::string cut = good.substr(0, good.size() - 10);
    writeFile(file, cut);
    auto restarted = registryOn(file);
    EXPECT_FALSE(read(*restarted, "A"));
    EXPECT_EQ(badFiles(), std::vector<std::string>{"HKEY_LOCAL_MACHINE.reg.bad"});
    EXPECT_EQ(readFile(file.string() + ".bad"), cut);
    EXPECT_FALSE(fs::exists(file));

    // Garbage next time: an earlier .bad is never overwritten; and a change starts a new file.
    writeFile(file, "\x7f"
                    "ELF garbage");
    ASSERT_EQ(write(*restarted, "C", RegValue::dword(7)), ERROR_SUCCESS);
    EXPECT_EQ(badFiles(), (std::vector<std::string>{"HKEY_LOCAL_MACHINE.reg.bad",
                                                    "HKEY_LOCAL_MACHINE.reg.bad.1"}));
    EXPECT_EQ(readFile(file.string() + ".bad"), cut);
    EXPECT_EQ(readFile(file.string() + ".bad.1"), "\x7f"
                                                  "ELF garbage");
    EXPECT_EQ(read(*registryOn(file), "C"), RegValue::dword(7));
    EXPECT_FALSE(read(*registryOn(file), "A"));
}

TEST_F(HiveFileTest, FailedSaveKeepsTheOldFileAndReportsCantWrite) {
    auto registry = registryOn(file);
    ASSERT_EQ(write(*registry, "Kept", RegValue::dword(1)), ERROR_SUCCESS);
    const std::string before = readFile(file);

    // A full disk, made with a file size limit (root ignores a read-only folder).
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = before.size();
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const LONG result = write(*registry, "Lost", RegValue::string(std::string(100, 'x')));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(result, ERROR_CANTWRITE);
    EXPECT_EQ(readFile(file), before);
    EXPECT_FALSE(read(*registry, "Lost")); // the change is dropped in memory too
    EXPECT_EQ(read(*registry, "Kept"), RegValue::dword(1));
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(file.parent_path()))
        ++files;
    EXPECT_EQ(files, 2u); // the hive and its lock, no temporary left
}

TEST_F(HiveFileTest, FolderThatCannotBeMadeReportsCantWrite) {
    writeFile(home.config() / "brenvik", "a file where the folder should be");
    auto registry = registryOn(file);
    EXPECT_EQ(write(*registry, "A", RegValue::dword(1)), ERROR_CANTWRITE);
    EXPECT_FALSE(read(*registry, "A"));
}

TEST_F(HiveFileTest, LinkedHiveStaysALink) {
    // The link may point to a file that does not exist yet.
    const fs::path kept = home.root() / "dotfiles" / "machine.reg";
    fs::create_directories(kept.parent_path());
    fs::create_directories(file.parent_path());
    fs::create_symlink(kept, file);
    ASSERT_EQ(write(*registryOn(file), "A", RegValue::dword(1)), ERROR_SUCCESS);
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_NE(readFile(kept).find("\"A\"=dword:00000001"), std::string::npos);
}

TEST_F(HiveFileTest, TwoProcessesWritingAtOnceLoseNothing) {
    constexpr int Writes = 200;
    ASSERT_EQ(write(*registryOn(file), "Start", RegValue::dword(0)), ERROR_SUCCESS);
    std::vector<pid_t> children;
    for (const char* prefix : {"first", "second"}) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // Each child is a separate copy of the program with its own hive object.
            auto registry = registryOn(file);
            for (int i = 0; i < Writes; ++i)
                if (write(*registry, prefix + std::to_string(i), RegValue::dword(i)) !=
                    ERROR_SUCCESS)
                    ::_exit(1);
            ::_exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    auto registry = registryOn(file);
    HKEY key = 0;
    ASSERT_EQ(registry->openKey(HKEY_LOCAL_MACHINE, Key, false, key), ERROR_SUCCESS);
    std::vector<std::string> names;
    registry->valueNames(key, names);
    EXPECT_EQ(names.size(), 1u + 2 * Writes);
    for (const char* prefix : {"first", "second"}) {
        for (int i = 0; i < Writes; ++i) {
            RegValue value;
            EXPECT_EQ(registry->queryValue(key, prefix + std::to_string(i), value), ERROR_SUCCESS);
            EXPECT_EQ(value, RegValue::dword(static_cast<std::uint32_t>(i)));
        }
    }
    EXPECT_TRUE(badFiles().empty());
}

} // namespace
} // namespace brenvik::platform
