// The US PC keyboard layout: what Windows' MapVirtualKeyA reports for it, and
// the virtual keys and scan codes of its keys, for consoles that have to make
// up key events themselves.
#pragma once

#include <cstdint>
#include <optional>

namespace pelorin::platform {

// MapVirtualKeyA(vk, MAPVK_VK_TO_CHAR) on a US layout: the key's unshifted
// character (letters in upper case), 0 when it has none.
std::uint32_t us_vk_to_char(std::uint32_t virtual_key);

// A key as the console reports it: virtual key, scan code, and whether the
// console flags it as an enhanced key (the grey keys beside the main block,
// keypad Enter and keypad /).
struct PcKey {
    std::uint16_t virtual_key = 0;
    std::uint16_t scan_code = 0;
    bool enhanced = false;
    friend constexpr bool operator==(const PcKey&, const PcKey&) = default;
};

// The key that types the printable ASCII character `ch` (32 to 126) and
// whether Shift is held for it; nothing for any other byte.
struct CharKey {
    PcKey key;
    bool shift = false;
};
std::optional<CharKey> us_char_key(std::uint8_t ch);

namespace us_keys {
inline constexpr PcKey escape{0x1B, 0x01};
inline constexpr PcKey backspace{0x08, 0x0E};
inline constexpr PcKey tab{0x09, 0x0F};
inline constexpr PcKey enter{0x0D, 0x1C};
inline constexpr PcKey space{0x20, 0x39};

inline constexpr PcKey home{0x24, 0x47, true};
inline constexpr PcKey up{0x26, 0x48, true};
inline constexpr PcKey page_up{0x21, 0x49, true};
inline constexpr PcKey left{0x25, 0x4B, true};
inline constexpr PcKey right{0x27, 0x4D, true};
inline constexpr PcKey end{0x23, 0x4F, true};
inline constexpr PcKey down{0x28, 0x50, true};
inline constexpr PcKey page_down{0x22, 0x51, true};
inline constexpr PcKey insert{0x2D, 0x52, true};
inline constexpr PcKey del{0x2E, 0x53, true};

// F1 to F12 (n from 1).
constexpr PcKey function_key(int n) {
    const int scan = n <= 10 ? 0x3A + n : 0x57 + (n - 11);
    return PcKey{static_cast<std::uint16_t>(0x6F + n), static_cast<std::uint16_t>(scan)};
}

// The keypad with Num Lock on: digits 0 to 9 (VK_NUMPAD0 to VK_NUMPAD9).
constexpr PcKey keypad_digit(int d) {
    constexpr std::uint16_t scans[10] = {0x52, 0x4F, 0x50, 0x51, 0x4B,
                                         0x4C, 0x4D, 0x47, 0x48, 0x49};
    return PcKey{static_cast<std::uint16_t>(0x60 + d), scans[d]};
}
inline constexpr PcKey keypad_multiply{0x6A, 0x37};
inline constexpr PcKey keypad_add{0x6B, 0x4E};
inline constexpr PcKey keypad_subtract{0x6D, 0x4A};
inline constexpr PcKey keypad_decimal{0x6E, 0x53};
inline constexpr PcKey keypad_divide{0x6F, 0x35, true};
inline constexpr PcKey keypad_enter{0x0D, 0x1C, true};
// Keypad 5 with Num Lock off (VK_CLEAR).
inline constexpr PcKey keypad_clear{0x0C, 0x4C};
}  // namespace us_keys

}  // namespace pelorin::platform
