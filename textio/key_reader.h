// The key reader: drains the console's pending input events, translates key
// presses into key codes and queues them for the line editor.
//
// Key codes: 1 to 255 a character; an extended key with code byte b is
// b * 256 + 255 (Left is 0x4BFF).
#pragma once

#include <array>
#include <atomic>
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

constexpr int extended_key(int code_byte) {
    return code_byte * 256 + 255;
}

inline constexpr int KEY_QUEUE_SLOTS = 512;

// A ring of key codes: empty when head == tail; a put that makes them meet
// drops the oldest code, so at most KEY_QUEUE_SLOTS - 1 codes wait.
struct KeyQueue {
    std::array<int, KEY_QUEUE_SLOTS> slots{};
    int head = 0;
    int tail = 0;
};

// Process-wide state of the key reader; reset_key_reader() starts it afresh.
struct KeyReaderState {
    KeyQueue queue;
    // The decimal number typed on the keypad with Alt held, kept modulo 256
    // (only its value modulo 256 is ever used, and any number of digits may
    // come); alt_number_typed tells whether the number is not 0, which ends
    // it with a character.
    unsigned alt_number = 0;
    bool alt_number_typed = false;
    bool handler_installed = false;
    // The removal of the control handler is on the at-exit list. That list
    // cannot be taken back, so a restart of the reader does not clear this.
    bool removal_registered = false;
    // Close events the control handler has seen and no poll has queued yet.
    // The handler runs on a thread of the platform's or in a signal handler,
    // so it only touches this lock-free counter; the next poll turns each
    // count into a KEY_CLOSE code on the program's own thread.
    std::atomic<int> close_requests{0};
};

extern KeyReaderState key_reader_state;

// Polls, then tells whether a key code waits.
bool key_available();
// Polls and takes the next key code, or nothing when the queue is empty.
std::optional<int> key_read();
// Drains every pending console input event into the queue; the first call
// also installs the console control handler.
void key_poll_events();
// Key code for one key event, or nothing.
std::optional<int> translate_key(std::uint8_t ch, std::uint16_t scan_code,
                                 std::uint16_t virtual_key, std::uint32_t control_state);

// Starts the key reader afresh (tests): empty queue, no Alt number, handler
// not yet installed.
void reset_key_reader();

}  // namespace pelorin::textio
