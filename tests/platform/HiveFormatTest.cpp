#include "platform/HiveFile.h"

#include <gtest/gtest.h>

namespace brenvik::platform {
namespace {

Hive::Keys oneKey(std::string name, std::vector<std::pair<std::string, RegValue>> values) {
    Hive::Keys keys;
    const std::string folded = Registry::foldPath(name);
    keys[folded] = Hive::Key{std::move(name), std::move(values)};
    return keys;
}

struct FormatCase {
    const char* label;
    std::string name;
    RegValue value;
    std::string line; // the value's line in the file
};

void PrintTo(const FormatCase& param, std::ostream* out) {
    *out << param.label;
}

class HiveFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(HiveFormatTest, WritesTheReadableLineAndReadsItBack) {
    const auto& param = GetParam();
    const auto keys = oneKey("Software\\Test", {{param.name, param.value}});
    const std::string text = HiveFile::format("HKEY_CURRENT_USER", keys);
    EXPECT_EQ(text, "Brenvik Registry Hive Version 1\n\n[HKEY_CURRENT_USER\\Software\\Test]\n" +
                        param.line + "\n");
    const auto parsed = HiveFile::parse("HKEY_CURRENT_USER", text);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->at("SOFTWARE\\TEST").values, keys.at("SOFTWARE\\TEST").values);
}

INSTANTIATE_TEST_SUITE_P(
    Values, HiveFormatTest,
    ::testing::Values(
        FormatCase{"dword", "LoadBVSystemTray", RegValue::dword(1),
                   "\"LoadBVSystemTray\"=dword:00000001"},
        FormatCase{"dwordHigh", "Big", RegValue::dword(0xfffffffeu), "\"Big\"=dword:fffffffe"},
        FormatCase{"plain", "Path", RegValue::string("/opt/brenvik/brenvik"),
                   "\"Path\"=\"/opt/brenvik/brenvik\""},
        FormatCase{"quoteAndBackslash", "Q", RegValue::string("say \"hi\" C:\\dir\\"),
                   R"("Q"="say \"hi\" C:\\dir\\")"},
        FormatCase{"controls", "C",
                   RegValue::string("a\nb\rc\td\x01"
                                    "e\x7f"),
                   R"("C"="a\nb\rc\td\x01e\x7f")"},
        FormatCase{"utf8", "Name \xc3\xa9", RegValue::string("\xe2\x82\xac 5"),
                   "\"Name \xc3\xa9\"=\"\xe2\x82\xac 5\""},
        FormatCase{"nameWithQuote", "a\"b=c", RegValue::string(""), R"("a\"b=c"="")"},
        FormatCase{"defaultValue", "", RegValue::string("x"), "@=\"x\""},
        FormatCase{"atSign", "@", RegValue::string("x"), "\"@\"=\"x\""},
        FormatCase{"expand", "E", RegValue::string("%HOME%\\bin", REG_EXPAND_SZ),
                   R"("E"=expand:"%HOME%\\bin")"},
        FormatCase{"binary", "B", RegValue::binary(REG_BINARY, {0x00, 0xff, 0x10}),
                   "\"B\"=hex:00,ff,10"},
        FormatCase{"emptyBinary", "B", RegValue::binary(REG_BINARY, {}), "\"B\"=hex:"},
        FormatCase{"qword", "Q", RegValue::binary(REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}),
                   "\"Q\"=hex(b):01,00,00,00,00,00,00,00"},
        FormatCase{"none", "N", RegValue::binary(REG_NONE, {}), "\"N\"=hex(0):"}),
    [](const auto& info) { return info.param.label; });

TEST(HiveFormat, KeepsKeyAndValueOrderAndEmptyKeys) {
    Hive::Keys keys =
        oneKey("Software\\Orlevo\\Brenvik\\Settings", {{"Zeta", RegValue::dword(0)},
                                                       {"Alpha", RegValue::dword(1)},
                                                       {"Mid", RegValue::string("m")}});
    keys["SOFTWARE"] = Hive::Key{"Software", {}};
    keys["SOFTWARE\\ORLEVO"] = Hive::Key{"Software\\Orlevo", {}};
    keys["SOFTWARE\\ORLEVO\\BRENVIK"] = Hive::Key{"Software\\Orlevo\\Brenvik", {}};
    keys[""] = Hive::Key{"", {{"RootValue", RegValue::dword(2)}}};
    const std::string text = HiveFile::format("HKEY_LOCAL_MACHINE", keys);
    EXPECT_EQ(text, "Brenvik Registry Hive Version 1\n"
                    "\n[HKEY_LOCAL_MACHINE]\n\"RootValue\"=dword:00000002\n"
                    "\n[HKEY_LOCAL_MACHINE\\Software]\n"
                    "\n[HKEY_LOCAL_MACHINE\\Software\\Orlevo]\n"
                    "\n[HKEY_LOCAL_MACHINE\\Software\\Orlevo\\Brenvik]\n"
                    "\n[HKEY_LOCAL_MACHINE\\Software\\Orlevo\\Brenvik\\Settings]\n"
                    "\"Zeta\"=dword:00000000\n\"Alpha\"=dword:00000001\n\"Mid\"=\"m\"\n");
    const auto parsed = HiveFile::parse("HKEY_LOCAL_MACHINE", text);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(HiveFile::format("HKEY_LOCAL_MACHINE", *parsed), text);
}

TEST(HiveFormat, ReadsHandEditedFilesLeniently) {
    // Comments, blank lines, CRLF line ends, a section given twice, a repeated value, and a
    // key whose parents have no section of their own.
    const auto parsed = HiveFile::parse("HKEY_CURRENT_USER", "Brenvik Registry Hive Version 1\r\n"
                                                             "; my settings\r\n"
                                                             "[HKEY_CURRENT_USER\\A\\B]\r\n"
                                                             "\"x\"=dword:00000001\r\n"
                                                             "\n"
                                                             "[HKEY_CURRENT_USER\\a\\b]\n"
                                                             "\"X\"=dword:0000000A\n"
                                                             "\"y\"=\"]\"\n");
    ASSERT_TRUE(parsed.has_value());
    ASSERT_TRUE(parsed->contains("A"));
    const auto& values = parsed->at("A\\B").values;
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].first, "x");
    EXPECT_EQ(values[0].second, RegValue::dword(10));
    EXPECT_EQ(values[1].second, RegValue::string("]"));
}

TEST(HiveFormat, RefusesWhatDoesNotParse) {
    const std::string head = "Brenvik Registry Hive Version 1\n[HKEY_CURRENT_USER\\K]\n";
    const std::vector<std::pair<const char*, std::string>> bad{
        {"empty", ""},
        {"no header", "[HKEY_CURRENT_USER\\K]\n"},
        {"other header", "Windows Registry Editor Version 5.00\n"},
        {"cut mid-line", head + "\"Name\"=dword:000"},
        {"cut without line end", head + "\"Name\"=dword:00000001"},
        {"short dword", head + "\"Name\"=dword:001\n"},
        {"long dword", head + "\"Name\"=dword:000000001\n"},
        {"unclosed string", head + "\"Name\"=\"abc\n"},
        {"text after string", head + "\"Name\"=\"abc\" x\n"},
        {"unknown escape", head + "\"Name\"=\"a\\qb\"\n"},
        {"bad hex escape", head + "\"Name\"=\"a\\x4\"\n"},
        {"odd byte", head + "\"Name\"=hex:0,01\n"},
        {"string as hex", head + "\"Name\"=hex(1):61,00\n"},
        {"unknown type", head + "\"Name\"=word:1\n"},
        {"no equals", head + "\"Name\"dword:00000001\n"},
        {"value before section", "Brenvik Registry Hive Version 1\n\"Name\"=\"a\"\n"},
        {"other root", "Brenvik Registry Hive Version 1\n[HKEY_LOCAL_MACHINE\\K]\n"},
        {"root prefix only", "Brenvik Registry Hive Version 1\n[HKEY_CURRENT_USERS\\K]\n"},
        {"open section", "Brenvik Registry Hive Version 1\n[HKEY_CURRENT_USER\\K\n"},
        {"garbage", std::string("Brenvik Registry Hive Version 1\n\x01\x02\xff\n", 36)},
    };
    for (const auto& [label, text] : bad)
        EXPECT_FALSE(HiveFile::parse("HKEY_CURRENT_USER", text).has_value()) << label;
}

} // namespace
} // namespace brenvik::platform
