#include "platform/us_keyboard.h"

namespace pelorin::platform {

std::uint32_t us_vk_to_char(std::uint32_t vk) {
    if (vk >= 0x30 && vk <= 0x39) return vk;              // 0 to 9
    if (vk >= 0x41 && vk <= 0x5A) return vk;              // A to Z (reported in upper case)
    if (vk >= 0x60 && vk <= 0x69) return '0' + vk - 0x60;  // keypad 0 to 9
    switch (vk) {
        case 0x08: return 0x08;  // Backspace
        case 0x09: return 0x09;  // Tab
        case 0x0D: return 0x0D;  // Enter
        case 0x1B: return 0x1B;  // Esc
        case 0x20: return ' ';
        case 0x6A: return '*';   // keypad
        case 0x6B: return '+';
        case 0x6D: return '-';
        case 0x6E: return '.';
        case 0x6F: return '/';
        case 0xBA: return ';';   // VK_OEM_1
        case 0xBB: return '=';   // VK_OEM_PLUS
        case 0xBC: return ',';
        case 0xBD: return '-';
        case 0xBE: return '.';
        case 0xBF: return '/';   // VK_OEM_2
        case 0xC0: return '`';   // VK_OEM_3
        case 0xDB: return '[';   // VK_OEM_4
        case 0xDC: return '\\';  // VK_OEM_5
        case 0xDD: return ']';   // VK_OEM_6
        case 0xDE: return '\'';  // VK_OEM_7
        default: return 0;
    }
}

}  // namespace pelorin::platform
