#pragma once

// The wash hot key's stored form and the keys it can name. A shortcut code is 16 bits: the
// Windows virtual-key code in the low byte, Shift 0x2000, Ctrl 0x4000, Alt 0x8000. Stored codes
// keep that layout so that a "Shortcut" value means the same key everywhere; the X keyboard
// speaks in keysyms, so the keys the code can name are mapped here in both directions.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brenvik::platform {

inline constexpr std::uint16_t ShortcutShift = 0x2000;
inline constexpr std::uint16_t ShortcutCtrl = 0x4000;
inline constexpr std::uint16_t ShortcutAlt = 0x8000;
inline constexpr std::uint16_t ShortcutKeyMask = 0x00FF;

// A few virtual-key codes the widgets name directly.
inline constexpr std::uint8_t VK_SPACE = 0x20;
inline constexpr std::uint8_t VK_NUMPAD0 = 0x60;
inline constexpr std::uint8_t VK_F1 = 0x70;

// A code split into the key and its modifiers.
struct Shortcut {
    std::uint8_t virtualKey = 0;
    bool shift = false;
    bool ctrl = false;
    bool alt = false;

    static Shortcut fromCode(std::uint16_t code);
    std::uint16_t code() const;
    bool operator==(const Shortcut&) const = default;
};

// The X keysym of a virtual key (the unshifted symbol: lower-case letters, digits, the keypad's
// number keysyms); nullopt when the key has no mapping and so cannot be grabbed.
std::optional<std::uint32_t> keysymForVirtualKey(std::uint8_t virtualKey);
// The virtual key of an X keysym (upper- and lower-case letters both name the letter key);
// nullopt for keysyms the code cannot store.
std::optional<std::uint8_t> virtualKeyForKeysym(std::uint32_t keysym);
// The key as desktop shortcut settings write it: modifiers, then the keysym's name ("CTRL+ALT+w",
// "SHIFT+KP_7"); empty when the key is unmapped.
std::string shortcutTrigger(const Shortcut& key);
// The key's name as the entry box shows it ("W", "F5", "Num 7", "Page Up"); empty when unmapped.
std::string_view virtualKeyName(std::uint8_t virtualKey);

} // namespace brenvik::platform
