#include "platform/VirtualKeys.h"

#include <string>
#include <vector>

namespace brenvik::platform {

namespace {

struct KeyRow {
    std::uint8_t virtualKey;
    std::uint32_t keysym; // the unshifted X keysym the key is grabbed by
    std::string name;
    std::string keysymName; // the keysym's own name, as desktop shortcut settings write the key
};

// Keysym values are the X protocol's (X11/keysymdef.h); they are written out so the core needs no
// X headers.
std::vector<KeyRow> buildKeyTable() {
    std::vector<KeyRow> rows;
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        rows.push_back({static_cast<std::uint8_t>(letter),
                        static_cast<std::uint32_t>(letter - 'A' + 'a'), std::string(1, letter),
                        std::string(1, static_cast<char>(letter - 'A' + 'a'))});
    for (char digit = '0'; digit <= '9'; ++digit)
        rows.push_back({static_cast<std::uint8_t>(digit), static_cast<std::uint32_t>(digit),
                        std::string(1, digit), std::string(1, digit)});
    for (int i = 0; i < 24; ++i) // VK_F1..VK_F24, XK_F1..XK_F24
        rows.push_back({static_cast<std::uint8_t>(VK_F1 + i), 0xFFBEu + i,
                        "F" + std::to_string(i + 1), "F" + std::to_string(i + 1)});
    for (int i = 0; i < 10; ++i) // VK_NUMPAD0..9, XK_KP_0..9
        rows.push_back({static_cast<std::uint8_t>(VK_NUMPAD0 + i), 0xFFB0u + i,
                        "Num " + std::to_string(i), "KP_" + std::to_string(i)});
    const std::vector<KeyRow> fixed{
        {VK_SPACE, 0x0020, "Space", "space"},
        {0x21, 0xFF55, "Page Up", "Prior"},
        {0x22, 0xFF56, "Page Down", "Next"},
        {0x23, 0xFF57, "End", "End"},
        {0x24, 0xFF50, "Home", "Home"},
        {0x25, 0xFF51, "Left", "Left"},
        {0x26, 0xFF52, "Up", "Up"},
        {0x27, 0xFF53, "Right", "Right"},
        {0x28, 0xFF54, "Down", "Down"},
        {0x2D, 0xFF63, "Insert", "Insert"},
        {0x2E, 0xFFFF, "Delete", "Delete"},
        {0x6A, 0xFFAA, "Num *", "KP_Multiply"},
        {0x6B, 0xFFAB, "Num +", "KP_Add"},
        {0x6C, 0xFFAC, "Separator", "KP_Separator"},
        {0x6D, 0xFFAD, "Num -", "KP_Subtract"},
        {0x6E, 0xFFAE, "Num .", "KP_Decimal"},
        {0x6F, 0xFFAF, "Num /", "KP_Divide"},
        {0xBA, 0x003B, ";", "semicolon"},
        {0xBB, 0x003D, "=", "equal"},
        {0xBC, 0x002C, ",", "comma"},
        {0xBD, 0x002D, "-", "minus"},
        {0xBE, 0x002E, ".", "period"},
        {0xBF, 0x002F, "/", "slash"},
        {0xC0, 0x0060, "`", "grave"},
        {0xDB, 0x005B, "[", "bracketleft"},
        {0xDC, 0x005C, "\\", "backslash"},
        {0xDD, 0x005D, "]", "bracketright"},
        {0xDE, 0x0027, "'", "apostrophe"},
    };
    rows.insert(rows.end(), fixed.begin(), fixed.end());
    return rows;
}

const std::vector<KeyRow>& keyTable() {
    static const std::vector<KeyRow> table = buildKeyTable();
    return table;
}

const KeyRow* rowForVirtualKey(std::uint8_t virtualKey) {
    for (const KeyRow& row : keyTable())
        if (row.virtualKey == virtualKey)
            return &row;
    return nullptr;
}

// Keysyms that are not a key's unshifted symbol but still name one key: capitals, the symbols
// Shift gives on a US keyboard, and the keypad's keysyms with NumLock off (which Windows reports
// as the navigation keys).
struct KeysymAlias {
    std::uint32_t keysym;
    std::uint8_t virtualKey;
};
constexpr KeysymAlias keysymAliases[] = {
    {0x21, '1'},
    {0x40, '2'},
    {0x23, '3'},
    {0x24, '4'},
    {0x25, '5'},
    {0x5E, '6'},
    {0x26, '7'},
    {0x2A, '8'},
    {0x28, '9'},
    {0x29, '0'},
    {0x5F, 0xBD},
    {0x2B, 0xBB},
    {0x7B, 0xDB},
    {0x7D, 0xDD},
    {0x7C, 0xDC},
    {0x3A, 0xBA},
    {0x22, 0xDE},
    {0x3C, 0xBC},
    {0x3E, 0xBE},
    {0x3F, 0xBF},
    {0x7E, 0xC0},
    // XK_KP_Home .. XK_KP_Delete
    {0xFF95, 0x24},
    {0xFF96, 0x25},
    {0xFF97, 0x26},
    {0xFF98, 0x27},
    {0xFF99, 0x28},
    {0xFF9A, 0x21},
    {0xFF9B, 0x22},
    {0xFF9C, 0x23},
    {0xFF9E, 0x2D},
    {0xFF9F, 0x2E},
};

} // namespace

Shortcut Shortcut::fromCode(std::uint16_t code) {
    return {static_cast<std::uint8_t>(code & ShortcutKeyMask), (code & ShortcutShift) != 0,
            (code & ShortcutCtrl) != 0, (code & ShortcutAlt) != 0};
}

std::uint16_t Shortcut::code() const {
    return static_cast<std::uint16_t>(virtualKey | (shift ? ShortcutShift : 0) |
                                      (ctrl ? ShortcutCtrl : 0) | (alt ? ShortcutAlt : 0));
}

std::optional<std::uint32_t> keysymForVirtualKey(std::uint8_t virtualKey) {
    if (const KeyRow* row = rowForVirtualKey(virtualKey))
        return row->keysym;
    return std::nullopt;
}

std::optional<std::uint8_t> virtualKeyForKeysym(std::uint32_t keysym) {
    if (keysym >= 'A' && keysym <= 'Z')
        return static_cast<std::uint8_t>(keysym);
    for (const KeyRow& row : keyTable())
        if (row.keysym == keysym)
            return row.virtualKey;
    for (const KeysymAlias& alias : keysymAliases)
        if (alias.keysym == keysym)
            return alias.virtualKey;
    return std::nullopt;
}

std::string shortcutTrigger(const Shortcut& key) {
    const KeyRow* row = rowForVirtualKey(key.virtualKey);
    if (row == nullptr)
        return {};
    std::string trigger;
    if (key.ctrl)
        trigger += "CTRL+";
    if (key.alt)
        trigger += "ALT+";
    if (key.shift)
        trigger += "SHIFT+";
    return trigger + row->keysymName;
}

std::string_view virtualKeyName(std::uint8_t virtualKey) {
    if (const KeyRow* row = rowForVirtualKey(virtualKey))
        return row->name;
    return {};
}

} // namespace brenvik::platform
