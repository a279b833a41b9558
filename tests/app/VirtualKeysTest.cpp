#include "platform/VirtualKeys.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>

namespace brenvik::platform {
namespace {

TEST(ShortcutCodeTest, SplitsAndJoinsTheModifierBits) {
    const Shortcut ctrlAltW = Shortcut::fromCode(0xC057);
    EXPECT_EQ(ctrlAltW, (Shortcut{0x57, false, true, true}));
    EXPECT_EQ(ctrlAltW.code(), 0xC057);
    EXPECT_EQ((Shortcut{0x74, true, false, false}).code(), 0x2074);
    EXPECT_EQ(Shortcut::fromCode(0).code(), 0);
    // Bits that are neither the key nor a modifier do not survive a round trip, which is how a
    // malformed stored code is recognised.
    EXPECT_NE(Shortcut::fromCode(0x1057).code(), 0x1057);
}

struct KeyCase {
    std::uint8_t virtualKey;
    std::uint32_t keysym;
    const char* name;
};

class VirtualKeyTableTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(VirtualKeyTableTest, MapsBothWaysAndNamesTheKey) {
    const KeyCase& key = GetParam();
    EXPECT_EQ(keysymForVirtualKey(key.virtualKey), key.keysym);
    EXPECT_EQ(virtualKeyForKeysym(key.keysym), key.virtualKey);
    EXPECT_EQ(virtualKeyName(key.virtualKey), key.name);
}

INSTANTIATE_TEST_SUITE_P(
    EveryGroupOfKeys, VirtualKeyTableTest,
    ::testing::Values(KeyCase{'A', 0x61, "A"}, KeyCase{'W', 0x77, "W"}, KeyCase{'Z', 0x7A, "Z"},
                      KeyCase{'0', 0x30, "0"}, KeyCase{'9', 0x39, "9"}, KeyCase{0x70, 0xFFBE, "F1"},
                      KeyCase{0x87, 0xFFD5, "F24"}, KeyCase{0x25, 0xFF51, "Left"},
                      KeyCase{0x28, 0xFF54, "Down"}, KeyCase{0x24, 0xFF50, "Home"},
                      KeyCase{0x23, 0xFF57, "End"}, KeyCase{0x2D, 0xFF63, "Insert"},
                      KeyCase{0x2E, 0xFFFF, "Delete"}, KeyCase{0x21, 0xFF55, "Page Up"},
                      KeyCase{0x22, 0xFF56, "Page Down"}, KeyCase{0x60, 0xFFB0, "Num 0"},
                      KeyCase{0x69, 0xFFB9, "Num 9"}, KeyCase{0x6A, 0xFFAA, "Num *"},
                      KeyCase{0x6F, 0xFFAF, "Num /"}, KeyCase{0x6E, 0xFFAE, "Num ."},
                      KeyCase{0xBA, 0x3B, ";"}, KeyCase{0xBB, 0x3D, "="}, KeyCase{0xC0, 0x60, "`"},
                      KeyCase{0xDC, 0x5C, "\\"}, KeyCase{0xDE, 0x27, "'"},
                      KeyCase{0x20, 0x20, "Space"}),
    [](const ::testing::TestParamInfo<KeyCase>& info) {
        char name[8];
        std::snprintf(name, sizeof name, "VK%02X", info.param.virtualKey);
        return std::string(name);
    });

TEST(VirtualKeyTableTest, OtherKeysymsOfTheSameKeyNameIt) {
    struct Alias {
        std::uint32_t keysym;
        std::uint8_t virtualKey;
    };
    for (const Alias& alias : {Alias{0x57, 'W'},    // capital W
                               Alias{0x21, '1'},    // exclam: Shift+1
                               Alias{0x5F, 0xBD},   // underscore: Shift+minus
                               Alias{0x7C, 0xDC},   // bar: Shift+backslash
                               Alias{0xFF95, 0x24}, // keypad 7 with NumLock off
                               Alias{0xFF9F, 0x2E}})
        EXPECT_EQ(virtualKeyForKeysym(alias.keysym), alias.virtualKey) << alias.keysym;
}

TEST(ShortcutTriggerTest, WritesTheKeyAsDesktopShortcutSettingsDo) {
    const std::pair<std::uint16_t, const char*> cases[] = {
        {0xC057, "CTRL+ALT+w"},
        {0x2074, "SHIFT+F5"},
        {0xE067, "CTRL+ALT+SHIFT+KP_7"},
        {0x4021, "CTRL+Prior"},
        {0x80BA, "ALT+semicolon"},
        {0x0031, "1"},
        {0x4020, "CTRL+space"},
        {0x40DE, "CTRL+apostrophe"},
        {0x405B, ""}, // the Windows key: no key to write
    };
    for (const auto& [code, trigger] : cases)
        EXPECT_EQ(shortcutTrigger(Shortcut::fromCode(code)), trigger) << code;
}

TEST(VirtualKeyTableTest, KeysTheCodeCannotNameHaveNoMapping) {
    // VK_CANCEL, VK_SHIFT, VK_LWIN, VK_APPS, an unassigned code: a hot key on them is refused.
    for (std::uint8_t virtualKey : {0x00, 0x03, 0x10, 0x5B, 0x5D, 0xFF}) {
        EXPECT_FALSE(keysymForVirtualKey(virtualKey).has_value()) << int(virtualKey);
        EXPECT_TRUE(virtualKeyName(virtualKey).empty());
    }
    EXPECT_FALSE(virtualKeyForKeysym(0xFFE3).has_value());     // Control_L
    EXPECT_FALSE(virtualKeyForKeysym(0x1008FF13).has_value()); // a media key
}

} // namespace
} // namespace brenvik::platform
