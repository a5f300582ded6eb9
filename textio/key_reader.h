// The key reader: drains the console's pending input events, translates key
// presses into key codes and queues them for the line editor.
//
// Key codes: 1 to 255 a character; an extended key with code byte b is
// b * 256 + 255 (Left is 0x4BFF).
#pragma once

#include <cstdint>
#include <optional>

namespace pelorin::textio {

inline constexpr int KEY_HOME = 0x47FF;
inline constexpr int KEY_UP = 0x48FF;
inline constexpr int KEY_LEFT = 0x4BFF;
inline constexpr int KEY_RIGHT = 0x4DFF;
inline constexpr int KEY_END = 0x4FFF;
inline constexpr int KEY_DOWN = 0x50FF;
inline constexpr int KEY_DELETE = 0x53FF;
inline constexpr int KEY_CLOSE = 0x6BFF;  // Alt+F4: the console is being closed

// Polls, then tells whether a key code waits.
bool key_available();
// Polls and takes the next key code, or nothing when the queue is empty.
std::optional<int> key_read();

// Part of reset_services(): empty queue, no Alt number, handler not yet
// installed.
void reset_key_reader();

// The key code of one key event (a key press with its character, scan
// code, virtual key and modifier flags), or nothing.
std::optional<int> translate_key(std::uint8_t ch, std::uint16_t scan_code,
                                 std::uint16_t virtual_key, std::uint32_t control_state);

}  // namespace pelorin::textio
