#include "platform/us_keyboard.h"

#include <array>
#include <string_view>

namespace pelorin::platform {

std::uint32_t us_vk_to_char(std::uint32_t vk) {
    if (vk >= 0x30 && vk <= 0x39) return vk;               // 0 to 9
    if (vk >= 0x41 && vk <= 0x5A) return vk;               // A to Z (reported in upper case)
    if (vk >= 0x60 && vk <= 0x69) return '0' + vk - 0x60;  // keypad 0 to 9
    switch (vk) {
        case 0x03:
            return 0x03;  // Ctrl+Break (VK_CANCEL), as Windows reports it
        case 0x08:
            return 0x08;  // Backspace
        case 0x09:
            return 0x09;  // Tab
        case 0x0D:
            return 0x0D;  // Enter
        case 0x1B:
            return 0x1B;  // Esc
        case 0x20:
            return ' ';
        case 0x6A:
            return '*';  // keypad
        case 0x6B:
            return '+';
        case 0x6D:
            return '-';
        case 0x6E:
            return '.';
        case 0x6F:
            return '/';
        case 0xBA:
            return ';';  // VK_OEM_1
        case 0xBB:
            return '=';  // VK_OEM_PLUS
        case 0xBC:
            return ',';
        case 0xBD:
            return '-';
        case 0xBE:
            return '.';
        case 0xBF:
            return '/';  // VK_OEM_2
        case 0xC0:
            return '`';  // VK_OEM_3
        case 0xDB:
            return '[';  // VK_OEM_4
        case 0xDC:
            return '\\';  // VK_OEM_5
        case 0xDD:
            return ']';  // VK_OEM_6
        case 0xE2:
            return '\\';  // the 102nd key (VK_OEM_102), beside the left Shift
        case 0xDE:
            return '\'';  // VK_OEM_7
        default:
            return 0;
    }
}

namespace {

// The keys of the main block that type something other than a letter:
// unshifted character, shifted character, virtual key, scan code.
struct SymbolKey {
    char plain;
    char shifted;
    std::uint16_t virtual_key;
    std::uint16_t scan_code;
};

constexpr std::array<SymbolKey, 22> symbol_keys{{
    {'1', '!', 0x31, 0x02},  {'2', '@', 0x32, 0x03}, {'3', '#', 0x33, 0x04},
    {'4', '$', 0x34, 0x05},  {'5', '%', 0x35, 0x06}, {'6', '^', 0x36, 0x07},
    {'7', '&', 0x37, 0x08},  {'8', '*', 0x38, 0x09}, {'9', '(', 0x39, 0x0A},
    {'0', ')', 0x30, 0x0B},  {'-', '_', 0xBD, 0x0C}, {'=', '+', 0xBB, 0x0D},
    {'[', '{', 0xDB, 0x1A},  {']', '}', 0xDD, 0x1B}, {';', ':', 0xBA, 0x27},
    {'\'', '"', 0xDE, 0x28}, {'`', '~', 0xC0, 0x29}, {'\\', '|', 0xDC, 0x2B},
    {',', '<', 0xBC, 0x33},  {'.', '>', 0xBE, 0x34}, {'/', '?', 0xBF, 0x35},
    {' ', ' ', 0x20, 0x39},
}};

// The letter keys row by row, each row's scan codes running on from its first.
struct LetterRow {
    std::string_view letters;
    std::uint16_t first_scan;
};
constexpr std::array<LetterRow, 3> letter_rows{{
    {"QWERTYUIOP", 0x10},
    {"ASDFGHJKL", 0x1E},
    {"ZXCVBNM", 0x2C},
}};

std::optional<CharKey> letter_key(char upper, bool shift) {
    for (const LetterRow& row : letter_rows) {
        const std::size_t i = row.letters.find(upper);
        if (i == std::string_view::npos) continue;
        const auto scan = static_cast<std::uint16_t>(row.first_scan + i);
        return CharKey{PcKey{static_cast<std::uint16_t>(upper), scan}, shift};
    }
    return std::nullopt;
}

}  // namespace

std::optional<CharKey> us_char_key(std::uint8_t ch) {
    if (ch >= 'a' && ch <= 'z') return letter_key(static_cast<char>(ch - 'a' + 'A'), false);
    if (ch >= 'A' && ch <= 'Z') return letter_key(static_cast<char>(ch), true);
    for (const SymbolKey& k : symbol_keys) {
        const PcKey key{k.virtual_key, k.scan_code};
        if (ch == static_cast<std::uint8_t>(k.plain)) return CharKey{key, false};
        if (ch == static_cast<std::uint8_t>(k.shifted)) return CharKey{key, true};
    }
    return std::nullopt;
}

}  // namespace pelorin::platform
