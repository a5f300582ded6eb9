// Arbitrary terminal bytes at arbitrary times through the input parser, and
// every key event it makes through the key reader's translation. Nothing may
// crash, every event must look like one a US PC keyboard can make, and a
// cursor report comes only when one is awaited.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/posix/terminal_input_parser.h"
#include "platform/testing/memory_console.h"
#include "platform/us_keyboard.h"
#include "textio/key_reader.h"

namespace {

using namespace pelorin;
namespace ks = platform::key_state;

void check(bool ok) {
    if (!ok) std::abort();
}

bool is_enhanced_scan(std::uint16_t scan) {
    switch (scan) {
        case 0x1C:
        case 0x35:
        case 0x47:
        case 0x48:
        case 0x49:
        case 0x4B:
        case 0x4D:
        case 0x4F:
        case 0x50:
        case 0x51:
        case 0x52:
        case 0x53:
            return true;
        default:
            return false;
    }
}

void check_event(const platform::KeyEvent& e) {
    check(e.key_down && e.repeat_count == 1);
    check((e.control_state & ~(ks::shift | ks::left_ctrl | ks::left_alt | ks::enhanced)) == 0);
    check(e.scan_code <= 0x58);
    if ((e.control_state & ks::enhanced) != 0) check(is_enhanced_scan(e.scan_code));
    if (e.virtual_key == 0) {
        // A character with no key of its own: never plain ASCII, never nothing.
        check(e.scan_code == 0 && e.ch != 0 && (e.ch < 0x20 || e.ch >= 0x7F));
    } else {
        check(e.scan_code != 0);
    }
    const bool keypad = e.virtual_key >= 0x60 && e.virtual_key <= 0x6F;
    if (e.ch >= 0x20 && e.ch < 0x7F && !keypad) {
        const std::optional<platform::CharKey> k = platform::us_char_key(e.ch);
        check(k.has_value() && k->key.virtual_key == e.virtual_key &&
              k->key.scan_code == e.scan_code);
        check(k->shift == ((e.control_state & ks::shift) != 0));
    }
}

void check_code(std::optional<int> code) {
    if (!code) return;
    check(*code >= 0 && *code <= 0xFFFF);
    check(*code < 256 || (*code & 0xFF) == 0xFF);
}

void take(const platform::ParsedInputs& items, bool report_awaited) {
    check(items.size() <= 4);
    for (const platform::ParsedInput& item : items) {
        if (item.kind == platform::ParsedInput::Kind::cursor_report) {
            check(report_awaited && item.row >= 0 && item.column >= 0);
            continue;
        }
        if (item.kind != platform::ParsedInput::Kind::key) continue;
        const platform::KeyEvent& e = item.key;
        check_event(e);
        check_code(textio::translate_key(e.ch, e.scan_code, e.virtual_key, e.control_state));
    }
}

}  // namespace

// Input: the first byte chooses the encoding (bit 0) and whether a cursor
// report is awaited (bit 1); then pairs of bytes. In a pair (op, value),
// op % 4 == 0 lets `value` milliseconds pass with a tick; otherwise `value`
// is a byte from the terminal arriving op / 4 milliseconds after the one
// before.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static platform::MemoryConsole console(80, 25);
    platform::set_console(&console);
    if (size == 0) return 0;
    platform::TerminalInputParser parser((data[0] & 1) != 0 ? platform::InputEncoding::latin1
                                                            : platform::InputEncoding::utf8);
    if ((data[0] & 2) != 0) parser.expect_report();
    std::uint64_t now = 0;
    for (std::size_t i = 1; i + 1 < size; i += 2) {
        const std::uint8_t op = data[i];
        const std::uint8_t value = data[i + 1];
        if (op % 4 == 0) {
            now += value;
            take(parser.tick(now), parser.report_expected());
            const std::optional<std::uint64_t> deadline = parser.deadline();
            if (deadline) check(*deadline > now);
        } else {
            now += op / 4;
            const bool awaited = parser.report_expected();
            take(parser.feed(value, now), awaited);
        }
    }
    // Once the timeout has passed after the last byte, nothing waits for time.
    take(parser.tick(now + platform::TerminalInputParser::escape_timeout_ms),
         parser.report_expected());
    check(!parser.deadline().has_value());
    return 0;
}
