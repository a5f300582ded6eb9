#include "textio/key_reader.h"

#include <cstdlib>

#include "platform/console_api.h"
#include "textio/console_output.h"
#include "textio/key_reader_internal.h"

namespace pelorin::textio {

KeyReaderState key_reader_state;

namespace {

namespace ks = platform::key_state;

// A translation table entry: a plain character (below 256) or an extended
// code byte times 256.
constexpr std::uint16_t x(int code_byte) {
    return static_cast<std::uint16_t>(code_byte * 256);
}

struct EnhancedKeyRow {
    std::uint8_t scan;
    std::uint16_t plain, shift, ctrl, alt;
};

// Keys the console flags as enhanced (the grey keys, keypad Enter and /).
constexpr std::array<EnhancedKeyRow, 12> EnhancedKeyTable{{
    {0x1C, 13, 13, 10, x(0xA6)},                 // keypad Enter
    {0x35, '/', '?', x(0x95), x(0xA4)},          // keypad /
    {0x47, x(0x47), x(0x47), x(0x77), x(0x97)},  // Home
    {0x48, x(0x48), x(0x48), x(0x8D), x(0x98)},  // Up
    {0x49, x(0x49), x(0x49), x(0x84), x(0x99)},  // Page Up
    {0x4B, x(0x4B), x(0x4B), x(0x73), x(0x9B)},  // Left
    {0x4D, x(0x4D), x(0x4D), x(0x74), x(0x9D)},  // Right
    {0x4F, x(0x4F), x(0x4F), x(0x75), x(0x9F)},  // End
    {0x50, x(0x50), x(0x50), x(0x91), x(0xA0)},  // Down
    {0x51, x(0x51), x(0x51), x(0x76), x(0xA1)},  // Page Down
    {0x52, x(0x52), x(0x52), x(0x92), x(0xA2)},  // Insert
    {0x53, x(0x53), x(0x53), x(0x93), x(0xA3)},  // Delete
}};

// One row per scan code 0x00 to 0x58: without modifier, Shift, Ctrl, Alt, as
// on a US PC keyboard. Only the extended entries ever become keys; the plain
// ones document the key and are never used, as the console's own character
// wins over them.
using KeyCodeRow = std::array<std::uint16_t, 4>;
constexpr std::array<KeyCodeRow, 0x59> KeyCodeTable{{
    {0, 0, 0, 0},                          // 00
    {27, 27, 27, x(0x01)},                 // 01 Esc
    {'1', '!', 0, x(0x78)},                // 02 1
    {'2', '@', x(0x03), x(0x79)},          // 03 2
    {'3', '#', 0, x(0x7A)},                // 04 3
    {'4', '$', 0, x(0x7B)},                // 05 4
    {'5', '%', 0, x(0x7C)},                // 06 5
    {'6', '^', 30, x(0x7D)},               // 07 6
    {'7', '&', 0, x(0x82)},                // 08 7 (Alt shares the code of Alt+minus)
    {'8', '*', 0, x(0x83)},                // 09 8 (Alt shares the code of Alt+equals)
    {'9', '(', 0, x(0x80)},                // 0A 9
    {'0', ')', 0, x(0x81)},                // 0B 0
    {'-', '_', 31, x(0x82)},               // 0C minus
    {'=', '+', 0, x(0x83)},                // 0D equals
    {8, 8, 127, x(0xE0)},                  // 0E Backspace
    {9, x(0x0F), x(0x94), x(0x0F)},        // 0F Tab
    {'q', 'Q', 17, x(0x10)},               // 10 Q
    {'w', 'W', 23, x(0x11)},               // 11 W
    {'e', 'E', 5, x(0x12)},                // 12 E
    {'r', 'R', 18, x(0x13)},               // 13 R
    {'t', 'T', 20, x(0x14)},               // 14 T
    {'y', 'Y', 25, x(0x15)},               // 15 Y
    {'u', 'U', 21, x(0x16)},               // 16 U
    {'i', 'I', 9, x(0x17)},                // 17 I
    {'o', 'O', 15, x(0x18)},               // 18 O
    {'p', 'P', 16, x(0x19)},               // 19 P
    {'[', '{', 27, x(0x1A)},               // 1A left bracket
    {']', '}', 29, x(0x1B)},               // 1B right bracket
    {13, 13, 10, x(0x1C)},                 // 1C Enter
    {0, 0, 0, 0},                          // 1D Ctrl
    {'a', 'A', 1, x(0x1E)},                // 1E A
    {'s', 'S', 19, x(0x1F)},               // 1F S
    {'d', 'D', 4, x(0x20)},                // 20 D
    {'f', 'F', 6, x(0x21)},                // 21 F
    {'g', 'G', 7, x(0x22)},                // 22 G
    {'h', 'H', 8, x(0x23)},                // 23 H
    {'j', 'J', 10, x(0x24)},               // 24 J
    {'k', 'K', 11, x(0x25)},               // 25 K
    {'l', 'L', 12, x(0x26)},               // 26 L
    {';', ':', 0, x(0x27)},                // 27 semicolon
    {'\'', '"', 0, x(0x28)},               // 28 apostrophe
    {'`', '~', 0, x(0x29)},                // 29 grave accent
    {0, 0, 0, 0},                          // 2A left Shift
    {'\\', '|', 28, 0},                    // 2B backslash
    {'z', 'Z', 26, x(0x2C)},               // 2C Z
    {'x', 'X', 24, x(0x2D)},               // 2D X
    {'c', 'C', 3, x(0x2E)},                // 2E C
    {'v', 'V', 22, x(0x2F)},               // 2F V
    {'b', 'B', 2, x(0x30)},                // 30 B
    {'n', 'N', 14, x(0x31)},               // 31 N
    {'m', 'M', 13, x(0x32)},               // 32 M
    {',', '<', 0, x(0x33)},                // 33 comma
    {'.', '>', 0, x(0x34)},                // 34 full stop
    {'/', '?', 0, x(0x35)},                // 35 slash
    {0, 0, 0, 0},                          // 36 right Shift
    {'*', '*', 0, 0},                      // 37 keypad *
    {0, 0, 0, 0},                          // 38 Alt
    {' ', ' ', ' ', ' '},                  // 39 space
    {0, 0, 0, 0},                          // 3A Caps Lock
    {x(0x3B), x(0x54), x(0x5E), x(0x68)},  // 3B F1
    {x(0x3C), x(0x55), x(0x5F), x(0x69)},  // 3C F2
    {x(0x3D), x(0x56), x(0x60), x(0x6A)},  // 3D F3
    {x(0x3E), x(0x57), x(0x61), x(0x6B)},  // 3E F4
    {x(0x3F), x(0x58), x(0x62), x(0x6C)},  // 3F F5
    {x(0x40), x(0x59), x(0x63), x(0x6D)},  // 40 F6
    {x(0x41), x(0x5A), x(0x64), x(0x6E)},  // 41 F7
    {x(0x42), x(0x5B), x(0x65), x(0x6F)},  // 42 F8
    {x(0x43), x(0x5C), x(0x66), x(0x70)},  // 43 F9
    {x(0x44), x(0x5D), x(0x67), x(0x71)},  // 44 F10
    {0, 0, 0, 0},                          // 45 Num Lock
    {0, 0, 0, 0},                          // 46 Scroll Lock
    {x(0x47), '7', x(0x77), 0},            // 47 keypad 7
    {x(0x48), '8', x(0x8D), 0},            // 48 keypad 8
    {x(0x49), '9', x(0x84), 0},            // 49 keypad 9
    {'-', '-', 0, 0},                      // 4A keypad minus
    {x(0x4B), '4', x(0x73), 0},            // 4B keypad 4
    {x(0x4C), '5', x(0x8F), x(0x4C)},      // 4C keypad 5
    {x(0x4D), '6', x(0x74), 0},            // 4D keypad 6
    {'+', '+', 0, 0},                      // 4E keypad plus
    {x(0x4F), '1', x(0x75), 0},            // 4F keypad 1
    {x(0x50), '2', x(0x91), 0},            // 50 keypad 2
    {x(0x51), '3', x(0x76), 0},            // 51 keypad 3
    {x(0x52), '0', x(0x92), 0},            // 52 keypad 0
    {x(0x53), '.', x(0x93), 0},            // 53 keypad full stop
    {0, 0, 0, 0},                          // 54 SysRq
    {0, 0, 0, 0},                          // 55
    {0, 0, 0, 0},                          // 56
    {x(0x85), x(0x87), x(0x89), x(0x8B)},  // 57 F11
    {x(0x86), x(0x88), x(0x8A), x(0x8C)},  // 58 F12
}};

enum Column { PLAIN = 0, SHIFT = 1, CTRL = 2, ALT = 3 };

// Alt before Ctrl before Shift: the first modifier held picks the column.
Column column_for(std::uint32_t state) {
    if ((state & ks::any_alt) != 0) return ALT;
    if ((state & ks::any_ctrl) != 0) return CTRL;
    if ((state & ks::shift) != 0) return SHIFT;
    return PLAIN;
}

bool alt_only(std::uint32_t state) {
    return (state & ks::any_alt) != 0 && (state & (ks::any_ctrl | ks::shift)) == 0;
}

// A table entry as a key code: plain characters stay as they are, an
// extended code byte b becomes b * 256 + 255.
int entry_code(std::uint16_t entry) {
    return entry >= 256 ? entry | 0xFF : entry;
}

std::optional<int> translate_enhanced(std::uint16_t scan_code, std::uint32_t state) {
    for (const EnhancedKeyRow& row : EnhancedKeyTable) {
        if (row.scan != scan_code) continue;
        const std::uint16_t by_column[] = {row.plain, row.shift, row.ctrl, row.alt};
        const std::uint16_t entry = by_column[column_for(state)];
        if (entry == 0) return std::nullopt;
        return entry_code(entry);
    }
    return std::nullopt;
}

std::uint32_t other_case(std::uint32_t ch) {
    if (ch >= 'A' && ch <= 'Z') return ch + ('a' - 'A');
    if (ch >= 'a' && ch <= 'z') return ch - ('a' - 'A');
    return ch;
}

std::optional<int> character_or_none(std::uint8_t ch) {
    if (ch == 0) return std::nullopt;
    return ch;
}

// ---- the queue ------------------------------------------------------------

bool queue_full() {
    const KeyQueue& q = key_reader_state.queue;
    return (q.tail + 1) % KEY_QUEUE_SLOTS == q.head;
}

// Only called with room in the queue: a key event queues at most one code,
// and events are taken from the console only while there is room for it.
void put_key(int code) {
    if (queue_full()) return;
    KeyQueue& q = key_reader_state.queue;
    q.slots[static_cast<std::size_t>(q.tail)] = code;
    q.tail = (q.tail + 1) % KEY_QUEUE_SLOTS;
}

void drop_alt_number() {
    key_reader_state.alt_number = 0;
    key_reader_state.alt_number_typed = false;
}

// One more keypad digit with Alt held: number * 10 + digit, modulo 256.
void add_alt_digit(unsigned digit) {
    KeyReaderState& s = key_reader_state;
    s.alt_number = (s.alt_number * 10 + digit) % 256;
    if (digit != 0) s.alt_number_typed = true;
}

// Ends an Alt number under way: its value modulo 256 is the character.
void finish_alt_number() {
    if (!key_reader_state.alt_number_typed) return;
    put_key(static_cast<int>(key_reader_state.alt_number));
    drop_alt_number();
}

// ---- the console control handler ------------------------------------------

static_assert(std::atomic<int>::is_always_lock_free,
              "the control handler may only touch a lock-free counter");

bool on_console_ctrl(std::uint32_t ctrl_type) {
    switch (ctrl_type) {
        case platform::ctrl_event::close:
        case platform::ctrl_event::logoff:
        case platform::ctrl_event::shutdown:
            key_reader_state.close_requests.fetch_add(1, std::memory_order_release);
            return true;
        default:
            // Ctrl+C, Ctrl+Break and the rest: the platform's default action.
            return false;
    }
}

void remove_ctrl_handler() {
    if (!key_reader_state.handler_installed) return;
    key_reader_state.handler_installed = false;
    (void)platform::console().set_ctrl_handler(&on_console_ctrl, false);
}

void install_ctrl_handler() {
    key_reader_state.handler_installed = true;
    if (!key_reader_state.removal_registered) {
        key_reader_state.removal_registered = true;
        (void)std::atexit(&remove_ctrl_handler);
    }
    (void)platform::console().set_ctrl_handler(&on_console_ctrl, true);
}

// As many close events as there is room for; the rest wait for the next poll.
void queue_close_requests() {
    std::atomic<int>& requests = key_reader_state.close_requests;
    while (!queue_full() && requests.load(std::memory_order_acquire) > 0) {
        requests.fetch_sub(1, std::memory_order_acq_rel);
        put_key(KEY_CLOSE);
    }
}

// ---- key events -------------------------------------------------------------

void key_pressed(const platform::KeyEvent& key) {
    if (key.repeat_count == 0) return;
    const std::optional<int> r =
        translate_key(key.ch, key.scan_code, key.virtual_key, key.control_state);
    const bool keypad_digit = key.virtual_key >= 0x60 && key.virtual_key <= 0x69;
    if (keypad_digit && alt_only(key.control_state)) {
        add_alt_digit(key.virtual_key - 0x60u);
        if (r) put_key(*r);
    } else if (r) {
        drop_alt_number();
        put_key(*r);
    } else if (!alt_only(key.control_state)) {
        finish_alt_number();
    }
}

// Releasing Alt after the digits is what normally completes an Alt number.
void key_released(const platform::KeyEvent& key) {
    if (alt_only(key.control_state)) return;
    finish_alt_number();
}

void handle_event(const platform::InputEvent& event) {
    if (event.kind != platform::EventKind::key) return;
    if (event.key.key_down) {
        key_pressed(event.key);
    } else {
        key_released(event.key);
    }
}

}  // namespace

std::optional<int> translate_key(std::uint8_t ch, std::uint16_t scan_code,
                                 std::uint16_t virtual_key, std::uint32_t state) {
    if (ch == 0 && (state & ks::enhanced) != 0) return translate_enhanced(scan_code, state);
    if (scan_code >= KeyCodeTable.size()) return character_or_none(ch);

    const std::uint32_t unshifted = platform::console().map_virtual_key_char(virtual_key) & 0xFFFF;
    const KeyCodeRow& row = KeyCodeTable[scan_code];
    const Column column = column_for(state);
    std::uint32_t value = row[column];
    if (column == PLAIN && ch != 0) value = unshifted;
    if (value >= 256 && (ch == unshifted || ch == other_case(unshifted))) {
        return entry_code(static_cast<std::uint16_t>(value));
    }
    return character_or_none(ch);
}

void key_poll_events() {
    if (!key_reader_state.handler_installed) install_ctrl_handler();
    queue_close_requests();
    platform::ConsoleApi& api = platform::console();
    const platform::Handle input = console_handles(platform::StdHandle::input);
    // A full queue leaves the events in the console's input buffer.
    while (!queue_full()) {
        platform::InputEvent event;
        std::uint32_t count = 0;
        if (!api.peek_input(input, event, count) || count == 0) return;
        // Read only the record peek has just reported, so the read never waits.
        if (!api.read_input(input, event, count) || count == 0) return;
        handle_event(event);
    }
}

bool key_available() {
    key_poll_events();
    return key_reader_state.queue.head != key_reader_state.queue.tail;
}

std::optional<int> key_read() {
    key_poll_events();
    KeyQueue& q = key_reader_state.queue;
    if (q.head == q.tail) return std::nullopt;
    const int code = q.slots[static_cast<std::size_t>(q.head)];
    q.head = (q.head + 1) % KEY_QUEUE_SLOTS;
    key_poll_events();
    return code;
}

void reset_key_reader() {
    key_reader_state.queue = KeyQueue{};
    drop_alt_number();
    key_reader_state.handler_installed = false;
    key_reader_state.close_requests.store(0);
}

}  // namespace pelorin::textio
