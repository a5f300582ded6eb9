#include "platform/posix/terminal_console.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

#include "platform/posix/terminal_modes.h"
#include "platform/posix/terminal_signals.h"
#include "platform/posix/terminal_vt.h"
#include "platform/system_console.h"
#include "platform/us_keyboard.h"

namespace pelorin::platform {
namespace {

// The console whose held output goes out when the program ends.
TerminalConsole* console_at_exit = nullptr;

void flush_console_at_exit() {
    if (console_at_exit != nullptr) console_at_exit->flush_at_end();
}

}  // namespace

TerminalConsole::TerminalConsole(const TerminalSys& sys, TerminalOptions options)
    : sys_(sys),
      options_(std::move(options)),
      output_(sys_, options_, window_),
      input_(sys_, options_, window_) {}

TerminalConsole::~TerminalConsole() {
    if (console_at_exit == this) console_at_exit = nullptr;
}

// --- what the terminal is ------------------------------------------------------

bool TerminalConsole::is_console() {
    if (kind_ == Kind::unknown) {
        termios mode{};
        const bool tty = sys_.tcgetattr(options_.output_fd, &mode) == 0;
        kind_ = tty && options_.takes_sequences() ? Kind::console : Kind::stream;
        if (kind_ == Kind::console) output_.become_console();
    }
    return kind_ == Kind::console;
}

bool TerminalConsole::ready() {
    if (!is_console()) return false;
    if (!geometry_known_) learn_geometry(Change::first_use);
    output_.hold();
    return true;
}

bool TerminalConsole::drawable(Handle h, Coord at) {
    return h == output_handle && ready() && output_.screen().inside(at);
}

void TerminalConsole::learn_geometry(Change change) {
    watch_terminal_signals(sys_);
    // What is held was drawn for the terminal as it was; it goes first.
    if (change != Change::first_use) output_.send(true);
    winsize size{};
    window_.cols = 80;
    window_.rows = 24;  // a VT100's screen, for a terminal that tells no size
    if (sys_.get_window_size(options_.output_fd, &size) == 0 && size.ws_col > 0 &&
        size.ws_row > 0) {
        window_.cols = std::min<int>(size.ws_col, 0x7FFF);
        window_.rows = std::min<int>(size.ws_row, 0x7FFF);
    }
    geometry_known_ = true;
    (void)input_.ask_cursor_position();
    switch (change) {
        case Change::first_use:
            output_.start_screen();
            break;
        case Change::resized:
            output_.resize_screen();
            break;
        case Change::continued:
            output_.continue_screen();
            break;
    }
    output_.hold();
}

// The terminal may have changed since the last look, and the program must
// follow before it handles a key or draws: after a stop the terminal had the
// user's mode and the shell may have written on it, so the keyboard mode is
// taken again and the cursor learnt afresh; after a window size change the
// size and the cursor are learnt afresh.
void TerminalConsole::look_at_terminal() {
    const bool continued = take_continued();
    if (continued) input_.take_keyboard_again();
    const bool resized = take_window_resized();
    if (kind_ != Kind::console || !geometry_known_) return;
    if (continued) {
        learn_geometry(Change::continued);
    } else if (resized) {
        learn_geometry(Change::resized);
    }
}

void TerminalConsole::flush() {
    output_.send(kind_ == Kind::console && geometry_known_);
    input_.take_late_reply();
}

void TerminalConsole::flush_at_end() {
    try {
        const bool drawn = kind_ == Kind::console && geometry_known_;
        // A cursor hidden for a redraw must not stay hidden in the user's shell.
        if (drawn) output_.screen().set_cursor_visible(true);
        output_.send(drawn);
    } catch (const std::bad_alloc&) {
        // Memory ran out, which is what ends the program: what was drawn is
        // lost, but the cursor is shown all the same.
        const std::string_view show = vt::show_cursor_sequence;
        if (kind_ == Kind::console) (void)output_.write_raw(show.data(), show.size());
    }
    input_.finish_reply();
    restore_terminal_modes(sys_);
}

// --- ConsoleApi: output ---------------------------------------------------------

Handle TerminalConsole::std_handle(StdHandle which) {
    return which == StdHandle::input ? input_handle : output_handle;
}

bool TerminalConsole::get_mode(Handle h, std::uint32_t& mode) {
    if (h == input_handle) {
        if (!input_.is_keyboard()) return false;
        mode = input_mode_;
        return true;
    }
    if (h != output_handle || !is_console()) return false;
    mode = 0x0003;  // processed output, wrap at the end of a line
    return true;
}

bool TerminalConsole::set_mode(Handle h, std::uint32_t mode) {
    if (h == input_handle) {
        // Recorded only: Ctrl+C signals whatever the mode says, as the
        // program always asks for processed input.
        if (!input_.is_keyboard()) return false;
        input_mode_ = mode;
        return true;
    }
    return h == output_handle && is_console();
}

bool TerminalConsole::screen_buffer_info(Handle h, ScreenBufferInfo& info) {
    if (h != output_handle || !is_console()) return false;
    // A changed window is learnt afresh here and when keys are looked for,
    // never between: the calls between two queries work on the geometry the
    // program was told.
    look_at_terminal();
    (void)ready();
    const TerminalScreen& screen = output_.screen();
    info.size = Coord{screen.cols(), screen.rows()};
    info.cursor = screen.cursor();
    info.attributes = 7;
    info.window = Rect{0, 0, screen.cols() - 1, screen.rows() - 1};
    return true;
}

bool TerminalConsole::write_cells(Handle h, const CharCell* cells, int count, Coord at) {
    if (count <= 0 || !drawable(h, at)) return false;
    const int n = std::min(count, output_.screen().cols() - at.x);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        bytes[static_cast<std::size_t>(i)] = cells[i].ch;
    output_.screen().put_cells(at, bytes.data(), n);
    output_.limit_held();
    return true;
}

bool TerminalConsole::scroll(Handle h, Rect source, Coord dest, CharCell fill) {
    if (h != output_handle || !ready()) return false;
    const bool done = output_.screen().scroll(source, dest, fill.ch);
    output_.limit_held();
    return done;
}

bool TerminalConsole::fill_attribute(Handle h, std::uint16_t, int, Coord at) {
    // No colours: the terminal's own are kept.
    return drawable(h, at);
}

bool TerminalConsole::fill_character(Handle h, std::uint8_t ch, int count, Coord at) {
    if (!drawable(h, at)) return false;
    output_.screen().fill(at, count, ch);
    output_.limit_held();
    return true;
}

bool TerminalConsole::set_cursor_position(Handle h, Coord pos) {
    if (!drawable(h, pos)) return false;
    output_.screen().set_cursor(pos);
    return true;
}

bool TerminalConsole::set_window(Handle h, bool absolute, Rect window) {
    if (h != output_handle || !ready()) return false;
    // The buffer is the window: it can only stay as it is.
    if (!absolute) return window == Rect{};
    const TerminalScreen& screen = output_.screen();
    return window == Rect{0, 0, screen.cols() - 1, screen.rows() - 1};
}

bool TerminalConsole::get_cursor_info(Handle h, CursorInfo& info) {
    if (h != output_handle || !ready()) return false;
    info.size = 25;
    info.visible = output_.screen().cursor_visible();
    return true;
}

bool TerminalConsole::set_cursor_info(Handle h, const CursorInfo& info) {
    if (h != output_handle || !ready()) return false;
    output_.screen().set_cursor_visible(info.visible);
    return true;
}

bool TerminalConsole::write_file(Handle h, const void* bytes, std::uint32_t count,
                                 std::uint32_t& written) {
    written = 0;
    if (h != output_handle) return false;
    const char* text = static_cast<const char*>(bytes);
    if (!is_console()) {
        // Held like drawing: one write when the program next waits or ends.
        output_.hold_bytes(text, count);
        written = count;
        return true;
    }
    // A console too small for the engine's own drawing (one row high) gets
    // its text this way: drawn like the rest and sent at once, so the screen
    // copy, the cursor the program asks for and the terminal stay together.
    if (!ready()) return false;
    output_.screen().type(text, count);
    if (!output_.send(true)) return false;
    written = count;
    return true;
}

bool TerminalConsole::shows_standard_error() {
    return is_console() && same_terminal(sys_, options_.output_fd, STDERR_FILENO);
}

void TerminalConsole::beep(std::uint32_t, std::uint32_t duration_ms) {
    // The terminal's bell has no pitch; the wait keeps the beep's length.
    if (is_console()) output_.ring_bell(geometry_known_);
    sys_.sleep_ms(duration_ms);
}

// --- ConsoleApi: input ----------------------------------------------------------

std::string TerminalConsole::text_for_files(std::string_view typed) {
    std::string text;
    for (const char c : typed) {
        const auto byte = static_cast<std::uint8_t>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            vt::put_glyph(text, byte, options_.utf8, options_.code_page);
        }
    }
    return text;
}

// Gathers what the keyboard has sent; true when a key event waits.
bool TerminalConsole::keys_ready() {
    look_at_terminal();
    return input_.keys_ready();
}

bool TerminalConsole::peek_input(Handle h, InputEvent& event, std::uint32_t& count) {
    flush();
    count = 0;
    if (h != input_handle || !input_.is_keyboard()) return false;
    if (!keys_ready()) return true;
    event = InputEvent{EventKind::key, input_.front()};
    count = 1;
    return true;
}

bool TerminalConsole::read_input(Handle h, InputEvent& event, std::uint32_t& count) {
    if (!peek_input(h, event, count)) return false;
    if (count == 1) input_.pop();
    return true;
}

std::uint32_t TerminalConsole::map_virtual_key_char(std::uint32_t virtual_key) {
    return us_vk_to_char(virtual_key);
}

bool TerminalConsole::set_ctrl_handler(CtrlHandler handler, bool add) {
    // The handlers are the process's: signal handlers call them.
    return add ? add_ctrl_handler(sys_, handler) : remove_ctrl_handler(sys_, handler);
}

void TerminalConsole::sleep(std::uint32_t ms) {
    flush();
    input_.pause(ms);
}

// --- the system console -----------------------------------------------------

std::unique_ptr<ConsoleApi> make_system_console() {
    auto made =
        std::make_unique<TerminalConsole>(real_terminal_sys(), TerminalOptions::from_environment());
    static const bool registered = std::atexit(flush_console_at_exit) == 0;
    (void)registered;
    console_at_exit = made.get();
    return made;
}

// The one record of everything the signal handlers use, the terminal modes
// to give back included.
void reset_system_console_state() {
    reset_terminal_signal_state();
}

}  // namespace pelorin::platform
