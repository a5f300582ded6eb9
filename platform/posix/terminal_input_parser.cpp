#include "platform/posix/terminal_input_parser.h"

#include "platform/code_page.h"
#include "platform/utf8.h"

namespace pelorin::platform {
namespace {

namespace ks = key_state;
using namespace us_keys;

constexpr std::uint8_t ESC = 0x1B;
constexpr std::uint32_t SHIFT = ks::shift;
constexpr std::uint32_t CTRL = ks::left_ctrl;
constexpr std::uint32_t ALT = ks::left_alt;

constexpr PcKey fkey(int n) {
    return function_key(n);
}
constexpr PcKey kpad(int d) {
    return keypad_digit(d);
}

// What terminals send for the keys, one row per form. Sequences with the
// xterm modifier parameter (ESC [ 1 ; m A, ESC [ 3 ; m ~), rxvt's modifier
// finals (ESC [ 3 ^) and an Esc before any of them (Alt) are decoded from
// these rows by rule, in decode_sequence().
constexpr TerminalSequence sequence_table[] = {
    {"\r", enter},                  // Enter in raw mode, every terminal
    {"\n", enter},                  // Enter where newlines are not turned into CR; pastes
    {"\x7f", backspace},            // Backspace on xterm, VTE, rxvt, linux console
    {"\b", backspace},              // Backspace set to send BS (PuTTY option, old VTs)
    {"\t", tab},                    // Tab
    {"\x1b[A", up},                 // cursor keys, normal mode: xterm, VTE, linux console
    {"\x1b[B", down},               //   "
    {"\x1b[C", right},              //   "
    {"\x1b[D", left},               //   "
    {"\x1bOA", up},                 // cursor keys, application mode (DECCKM): xterm, tmux
    {"\x1bOB", down},               //   "
    {"\x1bOC", right},              //   "
    {"\x1bOD", left},               //   "
    {"\x1b[a", up, SHIFT},          // rxvt: Shift+Up
    {"\x1b[b", down, SHIFT},        // rxvt: Shift+Down
    {"\x1b[c", right, SHIFT},       // rxvt: Shift+Right
    {"\x1b[d", left, SHIFT},        // rxvt: Shift+Left
    {"\x1bOa", up, CTRL},           // rxvt: Ctrl+Up
    {"\x1bOb", down, CTRL},         // rxvt: Ctrl+Down
    {"\x1bOc", right, CTRL},        // rxvt: Ctrl+Right
    {"\x1bOd", left, CTRL},         // rxvt: Ctrl+Left
    {"\x1b[H", home},               // xterm, VTE
    {"\x1bOH", home},               // xterm in application mode
    {"\x1b[1~", home},              // linux console, screen, tmux, PuTTY (VT220 Find)
    {"\x1b[7~", home},              // rxvt
    {"\x1b[F", end},                // xterm, VTE
    {"\x1bOF", end},                // xterm in application mode
    {"\x1b[4~", end},               // linux console, screen, tmux, PuTTY (VT220 Select)
    {"\x1b[8~", end},               // rxvt
    {"\x1b[2~", insert},            // VT220 editing keypad, every terminal
    {"\x1b[3~", del},               //   "
    {"\x1b[5~", page_up},           //   "
    {"\x1b[6~", page_down},         //   "
    {"\x1b[E", keypad_clear},       // xterm: keypad 5 with Num Lock off
    {"\x1bOE", keypad_clear},       // xterm in application mode
    {"\x1b[G", keypad_clear},       // linux console, PuTTY: keypad 5
    {"\x1b[Z", tab, SHIFT},         // back-tab (Shift+Tab): xterm, VTE, rxvt, linux console
    {"\x1bOP", fkey(1)},            // xterm, VTE: F1-F4 as VT100 PF1-PF4
    {"\x1bOQ", fkey(2)},            //   "
    {"\x1bOR", fkey(3)},            //   "
    {"\x1bOS", fkey(4)},            //   "
    {"\x1b[11~", fkey(1)},          // rxvt, PuTTY, old xterm: F1-F4 as VT220 keys
    {"\x1b[12~", fkey(2)},          //   "
    {"\x1b[13~", fkey(3)},          //   "
    {"\x1b[14~", fkey(4)},          //   "
    {"\x1b[15~", fkey(5)},          // F5 on all but the linux console
    {"\x1b[17~", fkey(6)},          // F6-F12, every terminal (VT220 numbering skips 16, 22)
    {"\x1b[18~", fkey(7)},          //   "
    {"\x1b[19~", fkey(8)},          //   "
    {"\x1b[20~", fkey(9)},          //   "
    {"\x1b[21~", fkey(10)},         //   "
    {"\x1b[23~", fkey(11)},         //   " (Shift+F1 on rxvt and the linux console)
    {"\x1b[24~", fkey(12)},         //   " (Shift+F2 on rxvt and the linux console)
    {"\x1b[[A", fkey(1)},           // linux console: F1-F5
    {"\x1b[[B", fkey(2)},           //   "
    {"\x1b[[C", fkey(3)},           //   "
    {"\x1b[[D", fkey(4)},           //   "
    {"\x1b[[E", fkey(5)},           //   "
    {"\x1b[25~", fkey(3), SHIFT},   // rxvt, linux console: Shift+F3-F10 as VT220 F13-F20
    {"\x1b[26~", fkey(4), SHIFT},   //   "
    {"\x1b[28~", fkey(5), SHIFT},   //   "
    {"\x1b[29~", fkey(6), SHIFT},   //   "
    {"\x1b[31~", fkey(7), SHIFT},   //   "
    {"\x1b[32~", fkey(8), SHIFT},   //   "
    {"\x1b[33~", fkey(9), SHIFT},   //   "
    {"\x1b[34~", fkey(10), SHIFT},  //   "
    {"\x1bOM", keypad_enter},       // application keypad mode (DECKPAM): keypad Enter
    {"\x1bOj", keypad_multiply},    //   " keypad *
    {"\x1bOk", keypad_add},         //   " keypad +
    {"\x1bOm", keypad_subtract},    //   " keypad -
    {"\x1bOn", keypad_decimal},     //   " keypad full stop
    {"\x1bOo", keypad_divide},      //   " keypad /
    {"\x1bOp", kpad(0)},            //   " keypad digits
    {"\x1bOq", kpad(1)},            //   "
    {"\x1bOr", kpad(2)},            //   "
    {"\x1bOs", kpad(3)},            //   "
    {"\x1bOt", kpad(4)},            //   "
    {"\x1bOu", kpad(5)},            //   "
    {"\x1bOv", kpad(6)},            //   "
    {"\x1bOw", kpad(7)},            //   "
    {"\x1bOx", kpad(8)},            //   "
    {"\x1bOy", kpad(9)},            //   "
};

struct FoundKey {
    PcKey key;
    std::uint32_t modifiers;
};

void push_item(ParsedInputs& out, const ParsedInput& item) {
    if (out.count < ParsedInputs::capacity) out.items[out.count++] = item;
}

void push(ParsedInputs& out, const KeyEvent& event) {
    ParsedInput item;
    item.kind = ParsedInput::Kind::key;
    item.key = event;
    push_item(out, item);
}

void push_other(ParsedInputs& out) {
    push_item(out, ParsedInput{});
}

void push_key(ParsedInputs& out, PcKey key, std::uint32_t modifiers) {
    KeyEvent e;
    e.virtual_key = key.virtual_key;
    e.scan_code = key.scan_code;
    e.ch = key_event_char(key, modifiers);
    e.control_state = modifiers | (key.enhanced ? ks::enhanced : 0);
    push(out, e);
}

// A character with no key of its own on the keyboard (beyond ASCII).
void push_character(ParsedInputs& out, std::uint8_t ch) {
    KeyEvent e;
    e.ch = ch;
    push(out, e);
}

// ---- sequences --------------------------------------------------------------

const TerminalSequence* find_row(char intro, std::string_view middle, char final_byte) {
    for (const TerminalSequence& row : sequence_table) {
        const std::string_view b = row.bytes;
        if (b.size() == middle.size() + 3 && b[0] == '\x1b' && b[1] == intro &&
            b.substr(2, middle.size()) == middle && b.back() == final_byte)
            return &row;
    }
    return nullptr;
}

std::optional<FoundKey> found(const TerminalSequence* row, std::uint32_t modifiers) {
    if (row == nullptr) return std::nullopt;
    return FoundKey{row->key, row->modifiers | modifiers};
}

bool all_digits(std::string_view s) {
    if (s.empty() || s.size() > 3) return false;
    for (const char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// xterm's modifier parameter: 1 + (Shift 1, Alt 2, Ctrl 4, Meta 8).
std::optional<std::uint32_t> modifier_param(std::string_view digits) {
    if (!all_digits(digits)) return std::nullopt;
    int m = 0;
    for (const char c : digits)
        m = m * 10 + (c - '0');
    if (m < 1 || m > 16) return std::nullopt;
    const int bits = m - 1;
    std::uint32_t state = 0;
    if ((bits & 1) != 0) state |= SHIFT;
    if ((bits & (2 | 8)) != 0) state |= ALT;
    if ((bits & 4) != 0) state |= CTRL;
    return state;
}

// rxvt ends a modified VT220 key with $ (Shift), ^ (Ctrl) or @ (both).
std::optional<std::uint32_t> rxvt_final_modifiers(char final_byte) {
    switch (final_byte) {
        case '~':
            return 0u;
        case '$':
            return SHIFT;
        case '^':
            return CTRL;
        case '@':
            return CTRL | SHIFT;
        default:
            return std::nullopt;
    }
}

// ESC [ n ; m ~ (xterm) and ESC [ n $ / ^ / @ (rxvt).
std::optional<FoundKey> decode_vt220_key(std::string_view first,
                                         std::optional<std::string_view> second, char final_byte) {
    std::optional<std::uint32_t> modifiers = rxvt_final_modifiers(final_byte);
    if (!modifiers || !all_digits(first)) return std::nullopt;
    if (second) {
        if (final_byte != '~') return std::nullopt;
        modifiers = modifier_param(*second);
        if (!modifiers) return std::nullopt;
    }
    return found(find_row('[', first, '~'), *modifiers);
}

// ESC [ 1 ; m X (xterm), ESC O m X (older xterm, konsole). xterm sends F1-F4
// unmodified as ESC O P-S but modified as ESC [ 1 ; m P-S, so the other
// introducer's row serves when the sequence's own has none.
std::optional<FoundKey> decode_letter_key(char intro, std::string_view first,
                                          std::optional<std::string_view> second, char final_byte) {
    std::string_view m;
    if (second) {
        if (!first.empty() && first != "1") return std::nullopt;
        m = *second;
    } else if (intro == 'O') {
        m = first;
    } else {
        return std::nullopt;
    }
    const std::optional<std::uint32_t> modifiers = modifier_param(m);
    if (!modifiers) return std::nullopt;
    const TerminalSequence* row = find_row(intro, "", final_byte);
    if (row == nullptr) row = find_row(intro == '[' ? 'O' : '[', "", final_byte);
    return found(row, *modifiers);
}

// `seq` is what followed the ESC: introducer, parameters, final byte.
std::optional<FoundKey> decode_sequence(std::string_view seq) {
    const char intro = seq.front();
    const char final_byte = seq.back();
    const std::string_view body = seq.substr(1, seq.size() - 2);
    if (const TerminalSequence* row = find_row(intro, body, final_byte)) return found(row, 0);

    const std::size_t semicolon = body.find(';');
    const std::string_view first = body.substr(0, semicolon);
    std::optional<std::string_view> second;
    if (semicolon != std::string_view::npos) second = body.substr(semicolon + 1);
    const bool letter =
        (final_byte >= 'A' && final_byte <= 'Z') || (final_byte >= 'a' && final_byte <= 'z');
    if (letter) return decode_letter_key(intro, first, second, final_byte);
    if (intro == '[') return decode_vt220_key(first, second, final_byte);
    return std::nullopt;
}

bool is_final(std::uint8_t byte) {
    return byte >= 0x40 && byte <= 0x7E;
}

// ---- single bytes -----------------------------------------------------------

const TerminalSequence* find_byte_row(std::uint8_t byte) {
    for (const TerminalSequence& row : sequence_table) {
        if (row.bytes.size() == 1 && static_cast<std::uint8_t>(row.bytes[0]) == byte) return &row;
    }
    return nullptr;
}

// The key that types `key_char` on a US keyboard, carrying `byte`.
void push_char_key(ParsedInputs& out, std::uint8_t key_char, std::uint8_t byte,
                   std::uint32_t state) {
    const std::optional<CharKey> k = us_char_key(key_char);
    if (!k) return;
    KeyEvent e;
    e.virtual_key = k->key.virtual_key;
    e.scan_code = k->key.scan_code;
    e.ch = byte;
    e.control_state = state | (k->shift ? SHIFT : 0);
    push(out, e);
}

// Ctrl with a key sends the key's character less 64: bytes 1-26 are
// Ctrl+A-Z, 0 is Ctrl+@ (the 2 key), 28-31 Ctrl+\ ] ^ _ .
void push_control(ParsedInputs& out, std::uint8_t byte) {
    std::uint8_t ch = static_cast<std::uint8_t>(byte + 0x40);
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<std::uint8_t>(ch - 'A' + 'a');
    push_char_key(out, ch, byte, CTRL);
}

void push_printable(ParsedInputs& out, std::uint8_t byte) {
    push_char_key(out, byte, byte, 0);
}

}  // namespace

std::span<const TerminalSequence> terminal_sequences() {
    return sequence_table;
}

std::uint8_t key_event_char(PcKey key, std::uint32_t modifiers) {
    const bool ctrl = (modifiers & ks::any_ctrl) != 0;
    if (key.virtual_key == enter.virtual_key && ctrl) return 10;
    if (key == backspace && ctrl) return 127;
    return static_cast<std::uint8_t>(us_vk_to_char(key.virtual_key));
}

void TerminalInputParser::push_code_point(ParsedInputs& out, char32_t code_point) const {
    const int byte = code_page_from_unicode(code_page_, code_point);
    const bool text = byte >= 0x20 && byte != 0x7F;
    if (text) {
        push_character(out, static_cast<std::uint8_t>(byte));
    } else {
        push_printable(out, '?');
    }
}

// ---- the parser --------------------------------------------------------------

ParsedInputs TerminalInputParser::feed(std::uint8_t byte, std::uint64_t now_ms) {
    ParsedInputs out;
    if (timed_out(now_ms)) settle(out);
    last_ms_ = now_ms;
    switch (mode_) {
        case Mode::ground:
            ground(byte, out);
            break;
        case Mode::escape:
            after_escape(byte, out);
            break;
        case Mode::utf8:
            in_utf8(byte, out);
            break;
        case Mode::mouse:
            if (--skip_ == 0) {
                push_other(out);
                to_ground();
            }
            break;
        default:
            in_sequence(byte, out);
            break;
    }
    return out;
}

ParsedInputs TerminalInputParser::tick(std::uint64_t now_ms) {
    ParsedInputs out;
    if (timed_out(now_ms)) settle(out);
    return out;
}

std::optional<std::uint64_t> TerminalInputParser::deadline() const {
    if (!waiting_for_time()) return std::nullopt;
    return last_ms_ + escape_timeout_ms;
}

// A clock that goes backwards settles nothing.
bool TerminalInputParser::timed_out(std::uint64_t now_ms) const {
    return waiting_for_time() && now_ms >= last_ms_ && now_ms - last_ms_ >= escape_timeout_ms;
}

bool TerminalInputParser::waiting_for_time() const {
    return mode_ != Mode::ground && mode_ != Mode::utf8;
}

// Between two things the terminal sent: nothing pending.
void TerminalInputParser::to_ground() {
    mode_ = Mode::ground;
    alt_ = false;
    seq_len_ = 0;
}

// Nothing followed in time. Every Esc waiting is the Esc key, and a [ or O
// after them the key typed next; anything longer was a sequence cut short.
void TerminalInputParser::settle(ParsedInputs& out) {
    if (mode_ == Mode::escape) {
        if (alt_) push_key(out, escape, 0);
        push_key(out, escape, 0);
    } else if ((mode_ == Mode::csi || mode_ == Mode::ss3) && seq_len_ == 1) {
        if (alt_) push_key(out, escape, 0);
        push_key(out, escape, 0);
        push_printable(out, static_cast<std::uint8_t>(seq_[0]));
    } else {
        push_other(out);
    }
    to_ground();
}

void TerminalInputParser::ground(std::uint8_t byte, ParsedInputs& out) {
    if (byte == ESC) {
        to_ground();
        mode_ = Mode::escape;
    } else if (byte >= 0x80) {
        if (encoding_ == InputEncoding::latin1) {
            push_code_point(out, byte);
        } else {
            start_utf8(byte);
        }
    } else if (byte >= 0x20 && byte < 0x7F) {
        push_printable(out, byte);
    } else if (const TerminalSequence* row = find_byte_row(byte)) {
        push_key(out, row->key, row->modifiers);
    } else {
        push_control(out, byte);
    }
}

// After ESC: another ESC (Alt for the sequence that may follow), a sequence
// introducer, or any other key. Terminals send Alt with a character as an
// Esc before it, but so does the Esc key typed just before the character,
// or queued with it while the program was busy (a beep, a paste); the
// editor binds nothing to Alt with a character, so the keys are taken as
// typed: Esc, then the character.
void TerminalInputParser::after_escape(std::uint8_t byte, ParsedInputs& out) {
    if (byte == ESC) {
        if (alt_) push_key(out, escape, 0);
        alt_ = true;
        return;
    }
    if (byte == '[' || byte == 'O') {
        mode_ = byte == '[' ? Mode::csi : Mode::ss3;
        seq_[0] = static_cast<char>(byte);
        seq_len_ = 1;
        return;
    }
    if (alt_) push_key(out, escape, 0);
    push_key(out, escape, 0);
    to_ground();
    ground(byte, out);
}

// A control byte or ESC inside a sequence ends it unfinished (it is set
// aside) and counts on its own.
void TerminalInputParser::restart(std::uint8_t byte, ParsedInputs& out) {
    if (mode_ != Mode::utf8) push_other(out);
    to_ground();
    ground(byte, out);
}

void TerminalInputParser::in_sequence(std::uint8_t byte, ParsedInputs& out) {
    if (byte < 0x20 || byte >= 0x7F) return restart(byte, out);
    if (mode_ == Mode::discard) {
        if (is_final(byte)) {
            push_other(out);
            to_ground();
        }
        return;
    }
    if (seq_len_ == seq_.size()) {
        const bool ends = is_final(byte);
        to_ground();
        if (ends) {
            push_other(out);
        } else {
            mode_ = Mode::discard;
        }
        return;
    }
    seq_[seq_len_++] = static_cast<char>(byte);
    if (mode_ == Mode::csi && seq_len_ == 2 && byte == '[') {
        mode_ = Mode::linux_fkey;
        return;
    }
    // rxvt's $ (Shift) ends a sequence although it is no final byte.
    const bool ends = mode_ == Mode::linux_fkey || is_final(byte) ||
                      (mode_ == Mode::csi && byte == '$' && seq_len_ > 2);
    if (ends) finish_sequence(out);
}

void TerminalInputParser::finish_sequence(ParsedInputs& out) {
    const std::array<char, 16> bytes = seq_;
    const std::string_view seq(bytes.data(), seq_len_);
    const std::uint32_t alt = alt_ ? ALT : 0;
    to_ground();
    if (take_report(seq, alt != 0, out)) return;
    // An X10 mouse report: three raw bytes follow, none of them keys.
    if (seq == "[M") {
        mode_ = Mode::mouse;
        skip_ = 3;
        return;
    }
    if (const std::optional<FoundKey> k = decode_sequence(seq)) {
        push_key(out, k->key, k->modifiers | alt);
    } else {
        push_other(out);
    }
}

// ESC [ row ; column R, while one is awaited. Five digits are more than any
// screen has.
bool TerminalInputParser::take_report(std::string_view seq, bool after_escape, ParsedInputs& out) {
    if (!report_expected_ || seq.size() < 5 || seq.front() != '[' || seq.back() != 'R')
        return false;
    const std::string_view body = seq.substr(1, seq.size() - 2);
    const std::size_t semicolon = body.find(';');
    if (semicolon == std::string_view::npos) return false;
    int numbers[2] = {0, 0};
    const std::string_view parts[2] = {body.substr(0, semicolon), body.substr(semicolon + 1)};
    for (int i = 0; i < 2; ++i) {
        if (parts[i].empty() || parts[i].size() > 5) return false;
        for (const char c : parts[i]) {
            if (c < '0' || c > '9') return false;
            numbers[i] = numbers[i] * 10 + (c - '0');
        }
    }
    report_expected_ = false;
    // Of ESC ESC [ ... R the first Esc was a key of its own.
    if (after_escape) push_key(out, escape, 0);
    ParsedInput report;
    report.kind = ParsedInput::Kind::cursor_report;
    report.row = numbers[0];
    report.column = numbers[1];
    push_item(out, report);
    return true;
}

void TerminalInputParser::start_utf8(std::uint8_t byte) {
    // A continuation byte or a byte UTF-8 never uses: dropped.
    if (!utf8_.start(byte)) return;
    to_ground();
    mode_ = Mode::utf8;
}

void TerminalInputParser::in_utf8(std::uint8_t byte, ParsedInputs& out) {
    const Utf8Decoder::Step step = utf8_.next(byte);
    if (step == Utf8Decoder::Step::invalid) return restart(byte, out);
    if (step == Utf8Decoder::Step::more) return;
    to_ground();
    push_code_point(out, utf8_.code_point());
}

}  // namespace pelorin::platform
