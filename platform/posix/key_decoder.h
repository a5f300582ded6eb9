// Turns the bytes a POSIX terminal sends for the keyboard into the key events
// a US PC keyboard gives on the Windows console (character, scan code,
// virtual key, modifier flags), so the key reader's translation tables work
// unchanged on a terminal.
//
// The decoder is fed one byte at a time together with the time it arrived,
// and asked with tick() whether time alone settles anything; it never reads
// a descriptor or a clock itself. The one thing time decides is whether an
// Esc byte is the Esc key or the start of an escape sequence: a sequence's
// bytes arrive together, so an Esc followed by nothing for escape_timeout_ms
// is the key.
//
// Only key presses come out (key_down, repeat count 1): terminals report no
// releases. Memory use is fixed whatever the input; sequences no row of the
// table knows, and malformed ones, are swallowed whole.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "platform/console_api.h"
#include "platform/us_keyboard.h"

namespace pelorin::platform {

// How the terminal sends characters beyond ASCII. Either way they arrive as
// the code page 437 bytes whose glyphs they are; characters without such a
// glyph are dropped.
enum class InputEncoding { utf8, latin1 };

// The key events completed by one feed() or tick(): at most three.
struct DecodedKeys {
    static constexpr std::size_t capacity = 4;
    std::array<KeyEvent, capacity> events{};
    std::size_t count = 0;

    std::size_t size() const { return count; }
    bool empty() const { return count == 0; }
    const KeyEvent& operator[](std::size_t i) const { return events[i]; }
    const KeyEvent* begin() const { return events.data(); }
    const KeyEvent* end() const { return events.data() + count; }
};

// One row of the table of what terminals send: the bytes, the key they stand
// for and the modifiers held with it (key_state bits).
struct TerminalSequence {
    std::string_view bytes;
    PcKey key;
    std::uint32_t modifiers = 0;
};

// Every row of the table, for tests and the key diagnostic.
std::span<const TerminalSequence> terminal_sequences();

// The character a key's event carries: what the key types (Enter 13,
// Backspace 8, keypad digits, ...), with Ctrl+Enter 10 and Ctrl+Backspace
// 127; 0 for keys that type nothing (arrows, function keys).
std::uint8_t key_event_char(PcKey key, std::uint32_t modifiers);

class KeyDecoder {
  public:
    static constexpr std::uint64_t escape_timeout_ms = 50;

    explicit KeyDecoder(InputEncoding encoding = InputEncoding::utf8) : encoding_(encoding) {}

    // One byte from the terminal, received at now_ms (any monotonic clock
    // in milliseconds).
    DecodedKeys feed(std::uint8_t byte, std::uint64_t now_ms);
    // No byte came until now_ms: an Esc (or a sequence cut short) waiting
    // longer than escape_timeout_ms is settled.
    DecodedKeys tick(std::uint64_t now_ms);
    // When tick() would settle what waits; nothing when no Esc waits.
    std::optional<std::uint64_t> deadline() const;

  private:
    enum class Mode : std::uint8_t {
        ground,      // between keys
        escape,      // after ESC
        csi,         // after ESC [
        ss3,         // after ESC O
        linux_fkey,  // after ESC [ [
        discard,     // a sequence too long to be a key, up to its final byte
        mouse,       // the three bytes of an X10 mouse report
        utf8,        // inside a UTF-8 character
    };

    bool waiting_for_time() const;
    bool timed_out(std::uint64_t now_ms) const;
    void settle(DecodedKeys& out);
    void ground(std::uint8_t byte, bool alt, DecodedKeys& out);
    void after_escape(std::uint8_t byte, DecodedKeys& out);
    void in_sequence(std::uint8_t byte, DecodedKeys& out);
    void finish_sequence(DecodedKeys& out);
    void start_utf8(std::uint8_t byte, bool alt);
    void in_utf8(std::uint8_t byte, DecodedKeys& out);
    void restart(std::uint8_t byte, DecodedKeys& out);

    InputEncoding encoding_;
    Mode mode_ = Mode::ground;
    // An ESC before the pending one (escape modes), or before the character
    // (utf8 mode): the key comes with Alt.
    bool alt_ = false;
    std::array<char, 16> seq_{};
    std::uint8_t seq_len_ = 0;
    std::uint8_t skip_ = 0;
    char32_t code_point_ = 0;
    std::uint8_t utf8_left_ = 0;
    std::uint8_t utf8_low_ = 0x80;
    std::uint8_t utf8_high_ = 0xBF;
    std::uint64_t last_ms_ = 0;
};

}  // namespace pelorin::platform
