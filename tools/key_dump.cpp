// pelorin-keys: what the terminal's input parser makes of each key pressed,
// for checking a terminal that no test reaches. It reads the keyboard in the
// mode the questionnaire reads it in and prints, for every read, the bytes
// that came and each thing the parser made of them: a key event (virtual
// key, scan code, character, modifier flags) with the key code the line
// editor would get, a cursor-position report, or a sequence set aside.
// Ctrl+D ends it; so does Ctrl+C, with the terminal given back either way.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "platform/posix/terminal_input_parser.h"
#include "platform/posix/terminal_modes.h"
#include "platform/posix/terminal_options.h"
#include "platform/posix/terminal_signals.h"
#include "platform/posix/terminal_sys.h"
#include "textio/key_reader.h"

namespace {

using namespace pelorin::platform;

void say(const std::string& line) {
    // The keyboard mode keeps the user's output processing, which may or may
    // not turn LF into CR LF: both are written.
    const std::string out = line + "\r\n";
    (void)::write(STDOUT_FILENO, out.data(), out.size());
}

std::string hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

std::string modifiers(std::uint32_t state) {
    std::string names;
    const std::pair<std::uint32_t, const char*> flags[] = {{key_state::any_ctrl, "Ctrl"},
                                                           {key_state::any_alt, "Alt"},
                                                           {key_state::shift, "Shift"},
                                                           {key_state::enhanced, "enhanced"}};
    for (const auto& [bits, name] : flags)
        if ((state & bits) != 0) names.append(" ").append(name);
    return names;
}

std::string describe(const ParsedInput& item) {
    if (item.kind == ParsedInput::Kind::cursor_report)
        return "  cursor report: row " + std::to_string(item.row) + ", column " +
               std::to_string(item.column);
    if (item.kind == ParsedInput::Kind::other) return "  a sequence that is no key, set aside";
    const KeyEvent& k = item.key;
    std::string line = "  key: virtual key " + hex(k.virtual_key, 2) + ", scan code " +
                       hex(k.scan_code, 2) + ", character " + hex(k.ch, 2);
    if (k.ch >= 0x20 && k.ch < 0x7F)
        line.append(" '").append(1, static_cast<char>(k.ch)).append("'");
    line += modifiers(k.control_state);
    const std::optional<int> code =
        pelorin::textio::translate_key(k.ch, k.scan_code, k.virtual_key, k.control_state);
    line += code ? ", key code " + hex(static_cast<unsigned>(*code), 4) : ", no key code";
    return line;
}

// True when the things parsed end the dump (Ctrl+D).
bool show(const ParsedInputs& items) {
    bool end = false;
    for (const ParsedInput& item : items) {
        say(describe(item));
        end = end || (item.kind == ParsedInput::Kind::key && item.key.ch == 4);
    }
    return end;
}

int dump_keys(const TerminalSys& sys, TerminalInputParser& parser) {
    for (;;) {
        const std::int64_t now = sys.now_ms();
        const std::optional<std::uint64_t> deadline = parser.deadline();
        const int timeout = deadline ? static_cast<int>(std::max<std::int64_t>(
                                           static_cast<std::int64_t>(*deadline) - now, 0))
                                     : -1;
        const int ready = sys.wait(STDIN_FILENO, false, timeout, nullptr);
        if (ready < 0) continue;  // a signal: the window changed size, say
        if (ready == 0) {
            if (show(parser.tick(static_cast<std::uint64_t>(sys.now_ms())))) return 0;
            continue;
        }
        unsigned char bytes[64];
        const ssize_t n = sys.read(STDIN_FILENO, bytes, sizeof bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n == 0 ? 0 : 1;
        std::string line = "read";
        for (ssize_t i = 0; i < n; ++i)
            line.append(" ").append(hex(bytes[i], 2));
        say(line);
        bool end = false;
        for (ssize_t i = 0; i < n; ++i)
            end = show(parser.feed(bytes[i], static_cast<std::uint64_t>(sys.now_ms()))) || end;
        if (end) return 0;
    }
}

}  // namespace

int main() {
    const TerminalSys& sys = real_terminal_sys();
    if (::isatty(STDIN_FILENO) != 1) {
        std::fputs("pelorin-keys: standard input is no terminal\n", stderr);
        return 2;
    }
    const TerminalOptions options = TerminalOptions::from_environment();
    // Ctrl+C and the other ending signals give the terminal back first.
    watch_terminal_signals(sys);
    if (!enter_keyboard_mode(sys, STDIN_FILENO)) {
        std::fputs("pelorin-keys: the terminal's mode cannot be changed\n", stderr);
        return 2;
    }
    TerminalInputParser parser(options.utf8 ? InputEncoding::utf8 : InputEncoding::latin1,
                               options.code_page);
    std::string hello = "Press keys to see what they make (";
    hello.append(options.utf8 ? "UTF-8" : "ISO 8859-1")
        .append(", code page ")
        .append(options.code_page == CodePage::cp866 ? "866" : "437")
        .append("); Ctrl+D ends.");
    say(hello);
    const int code = dump_keys(sys, parser);
    restore_terminal_mode(sys, STDIN_FILENO);
    return code;
}
