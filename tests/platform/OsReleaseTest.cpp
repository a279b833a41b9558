#include "platform/linux/OsRelease.h"

#include "support/TempHome.h"

#include <gtest/gtest.h>

namespace brenvik::platform {
namespace {

using test::writeFile;

TEST(OsRelease, ParsesShellStyleAssignments) {
    const auto values = parseOsRelease("# comment\n"
                                       "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"
                                       "NAME='Single $quoted'\n"
                                       "ID=debian\n"
                                       "  VERSION_ID=12  \r\n"
                                       "ESCAPED=\"say \\\"hi\\\" \\$5 \\\\ \\`x\\` \\n\"\n"
                                       "UNQUOTED=a\\ b\n"
                                       "EMPTY=\n"
                                       "CONCAT=\"a\"\"b\"\n"
                                       "OPEN=\"never closed\n"
                                       "bad-key=x\n"
                                       "=nothing\n"
                                       "no equals sign\n");
    const std::map<std::string, std::string> expected{
        {"PRETTY_NAME", "Debian GNU/Linux 12 (bookworm)"},
        {"NAME", "Single $quoted"},
        {"ID", "debian"},
        {"VERSION_ID", "12"},
        {"ESCAPED", "say \"hi\" $5 \\ `x` \\n"},
        {"UNQUOTED", "a b"},
        {"EMPTY", ""},
    };
    EXPECT_EQ(values, expected);
}

class OsReleaseKeyTest : public ::testing::Test {
protected:
    test::TempHome home;
    OsReleaseKey::Files files{home.root() / "etc-os-release", home.root() / "usr-lib-os-release",
                              home.root() / "machine-id"};
    OsReleaseKey key{files};

    std::optional<std::string> text(std::string_view name) {
        auto value = key.value(name);
        if (!value)
            return std::nullopt;
        EXPECT_EQ(value->type, REG_SZ);
        return value->text;
    }
};

TEST_F(OsReleaseKeyTest, ProductNameAndIdComeFromTheSystemFiles) {
    writeFile(files.osRelease, "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12\"\n");
    writeFile(files.osReleaseFallback, "PRETTY_NAME=\"Fallback\"\n");
    writeFile(files.machineId, "5f2b8a0c9e4d4c7a8b1e2d3f4a5b6c7d\n"); // a made-up machine
    EXPECT_EQ(text("ProductName"), "Debian GNU/Linux 12");
    // The program's own identifier derived from the machine id, never the machine id itself.
    EXPECT_EQ(text("productid"), "57e00f0d174d48ac8f9bf56f7abe7c48");
    EXPECT_EQ(key.valueNames(), (std::vector<std::string>{"ProductName", "ProductID"}));
    EXPECT_FALSE(key.value("CSDVersion")); // no Linux counterpart
    EXPECT_EQ(key.setValue("ProductName", RegValue::string("x")), ERROR_ACCESS_DENIED);
}

TEST_F(OsReleaseKeyTest, FallbacksAndAbsentValues) {
    EXPECT_TRUE(key.valueNames().empty());
    writeFile(files.osReleaseFallback, "NAME=Fallback\n");
    EXPECT_EQ(text("ProductName"), "Fallback"); // NAME when PRETTY_NAME is missing
    writeFile(files.osRelease, "ID=x\n");
    EXPECT_EQ(text("ProductName"), "Linux"); // the first file alone counts once it exists
    for (const char* id : {"", "uninitialized\n", "5f2b8a0c9e4d4c7a8b1e2d3f4a5b6cZZ\n"}) {
        writeFile(files.machineId, id);
        EXPECT_FALSE(key.value("ProductID")) << id;
    }
}

} // namespace
} // namespace brenvik::platform
