// The one parser for everything a POSIX terminal sends: the bytes of typed
// keys become the key events a US PC keyboard gives on the Windows console
// (character, scan code, virtual key, modifier flags), so the key reader's
// translation tables work unchanged on a terminal; the terminal's answer to
// the cursor-position request is a report of its own; anything else it may
// send (mouse reports, sequences no key makes) is told apart and set aside.
//
// The parser is fed one byte at a time together with the time it arrived,
// and asked with tick() whether time alone settles anything; it never reads
// a descriptor or a clock itself. The one thing time decides is whether an
// Esc byte is the Esc key or the start of an escape sequence: a sequence's
// bytes arrive together, so an Esc followed by nothing for escape_timeout_ms
// is the key. Alt comes only with a sequence (an Esc before it, or xterm's
// modifier parameter): an Esc before a plain character is the Esc key and
// then the character, whether they arrive together or not.
//
// Only key presses come out (key_down, repeat count 1): terminals report no
// releases. Memory use is fixed whatever the input.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "platform/code_page.h"
#include "platform/console_api.h"
#include "platform/us_keyboard.h"
#include "platform/utf8.h"

namespace pelorin::platform {

// How the terminal sends characters beyond ASCII. Either way they arrive as
// the bytes of the code page whose glyphs they are. A typed character is
// text, never a command: one whose glyph sits at a control position (the
// smiling face of byte 1, the note of byte 13), or that the code page does
// not have, arrives as '?'. Only the keys themselves give control codes.
enum class InputEncoding { utf8, latin1 };

// One thing the terminal sent.
struct ParsedInput {
    enum class Kind {
        key,            // a key typed: `key`
        cursor_report,  // ESC [ row ; column R, awaited: `row`, `column` (1-based)
        other,          // a sequence that is no key, or one cut short
    };
    Kind kind = Kind::other;
    KeyEvent key;
    int row = 0;
    int column = 0;
    friend bool operator==(const ParsedInput&, const ParsedInput&) = default;
};

// What one feed() or tick() completed: at most four things (ESC ESC [ cut
// short by time, then the byte that came late).
struct ParsedInputs {
    static constexpr std::size_t capacity = 5;
    std::array<ParsedInput, capacity> items{};
    std::size_t count = 0;

    std::size_t size() const { return count; }
    bool empty() const { return count == 0; }
    const ParsedInput& operator[](std::size_t i) const { return items[i]; }
    const ParsedInput* begin() const { return items.data(); }
    const ParsedInput* end() const { return items.data() + count; }
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

class TerminalInputParser {
  public:
    static constexpr std::uint64_t escape_timeout_ms = 50;

    explicit TerminalInputParser(InputEncoding encoding = InputEncoding::utf8,
                                 CodePage page = CodePage::cp437)
        : encoding_(encoding), code_page_(page) {}

    // One byte from the terminal, received at now_ms (any monotonic clock
    // in milliseconds).
    ParsedInputs feed(std::uint8_t byte, std::uint64_t now_ms);
    // No byte came until now_ms: an Esc (or a sequence cut short) waiting
    // longer than escape_timeout_ms is settled.
    ParsedInputs tick(std::uint64_t now_ms);
    // When tick() would settle what waits; nothing when no Esc waits.
    std::optional<std::uint64_t> deadline() const;

    // A cursor-position report is awaited (the terminal has been asked):
    // until one comes, ESC [ row ; column R is that report, not the key that
    // some terminals send the same way (xterm's Shift+F3 is ESC [ 1 ; 2 R).
    void expect_report() { report_expected_ = true; }
    bool report_expected() const { return report_expected_; }

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

    void to_ground();
    bool waiting_for_time() const;
    bool timed_out(std::uint64_t now_ms) const;
    void settle(ParsedInputs& out);
    void ground(std::uint8_t byte, ParsedInputs& out);
    void after_escape(std::uint8_t byte, ParsedInputs& out);
    void in_sequence(std::uint8_t byte, ParsedInputs& out);
    void finish_sequence(ParsedInputs& out);
    bool take_report(std::string_view seq, bool after_escape, ParsedInputs& out);
    void start_utf8(std::uint8_t byte);
    void in_utf8(std::uint8_t byte, ParsedInputs& out);
    void restart(std::uint8_t byte, ParsedInputs& out);

    void push_code_point(ParsedInputs& out, char32_t code_point) const;

    InputEncoding encoding_;
    CodePage code_page_;
    Mode mode_ = Mode::ground;
    // An ESC before the pending one: the sequence comes with Alt.
    bool alt_ = false;
    std::array<char, 16> seq_{};
    std::uint8_t seq_len_ = 0;
    std::uint8_t skip_ = 0;
    Utf8Decoder utf8_;
    std::uint64_t last_ms_ = 0;
    bool report_expected_ = false;
};

}  // namespace pelorin::platform
