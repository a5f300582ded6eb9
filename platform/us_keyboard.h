// The US PC keyboard layout: what Windows' MapVirtualKeyA reports for it, and
// the virtual keys and scan codes of its keys, for consoles that have to make
// up key events themselves.
#pragma once

#include <cstdint>

namespace pelorin::platform {

// MapVirtualKeyA(vk, MAPVK_VK_TO_CHAR) on a US layout: the key's unshifted
// character (letters in upper case), 0 when it has none.
std::uint32_t us_vk_to_char(std::uint32_t virtual_key);

}  // namespace pelorin::platform
