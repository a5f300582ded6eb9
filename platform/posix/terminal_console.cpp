#include "platform/posix/terminal_console.h"

#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "platform/posix/terminal_modes.h"
#include "platform/posix/terminal_signals.h"
#include "platform/us_keyboard.h"

namespace pelorin::platform {
namespace {

// The console whose held output goes out when the program ends.
TerminalConsole* console_at_exit = nullptr;

void flush_console_at_exit() {
    if (console_at_exit != nullptr) console_at_exit->flush_at_end();
}

}  // namespace

TerminalOptions TerminalOptions::from_environment() {
    TerminalOptions options;
    const char* term = std::getenv("TERM");
    options.term = term != nullptr ? term : "";
    options.utf8 = locale_is_utf8();
    return options;
}

bool locale_is_utf8() {
    // A locale object of its own, so the program's locale stays "C".
    const locale_t users = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (users == static_cast<locale_t>(nullptr)) return false;
    const char* codeset = ::nl_langinfo_l(CODESET, users);
    const bool utf8 = codeset != nullptr && std::strcmp(codeset, "UTF-8") == 0;
    ::freelocale(users);
    return utf8;
}

TerminalConsole::TerminalConsole(const TerminalSys& sys, TerminalOptions options)
    : sys_(sys),
      options_(std::move(options)),
      keyboard_(options_.utf8 ? InputEncoding::utf8 : InputEncoding::latin1) {}

TerminalConsole::~TerminalConsole() {
    if (console_at_exit == this) console_at_exit = nullptr;
    release_signals();
    if (tty_opened_) sys_.close(tty_fd_);
}

// --- what the terminal is ------------------------------------------------------

bool TerminalConsole::is_console() {
    if (kind_ == Kind::unknown) {
        termios mode{};
        const bool tty = sys_.tcgetattr(options_.output_fd, &mode) == 0;
        // A terminal without a name, or one that says it is "dumb", may
        // show escape sequences as text.
        const bool takes_sequences = !options_.term.empty() && options_.term != "dumb";
        kind_ = tty && takes_sequences ? Kind::console : Kind::stream;
        screen_.set_utf8(options_.utf8);
        if (kind_ == Kind::console) terminal_signal_state.cursor_fd = options_.output_fd;
    }
    return kind_ == Kind::console;
}

bool TerminalConsole::ready() {
    if (!is_console()) return false;
    if (!geometry_known_) learn_geometry();
    // What follows may draw: it is held until the next wait.
    hold_signals();
    return true;
}

bool TerminalConsole::drawable(Handle h, Coord at) {
    return h == output_handle && ready() && screen_.inside(at);
}

void TerminalConsole::learn_geometry() {
    if (!resize_watched_) {
        resize_watched_ = true;
        sys_.watch_resize();
    }
    // What is held was drawn for the terminal as it was; it goes first.
    if (geometry_known_) send(true);
    winsize size{};
    int cols = 80;
    int rows = 24;  // a VT100's screen, for a terminal that tells no size
    if (sys_.get_window_size(options_.output_fd, &size) == 0 && size.ws_col > 0 &&
        size.ws_row > 0) {
        cols = std::min<int>(size.ws_col, 0x7FFF);
        rows = std::min<int>(size.ws_row, 0x7FFF);
    }
    screen_.reset(cols, rows);
    geometry_known_ = true;
    Coord at;
    if (!reply_missed_ && ask_cursor_position(at)) {
        screen_.set_terminal_cursor(at);
    } else {
        screen_.set_cursor(Coord{0, static_cast<std::int16_t>(rows - 1)});
    }
}

// The device to ask for the cursor: standard input when it is the same
// terminal as standard output, else the process's terminal when standard
// output is that one, so that it works with standard input redirected. -1
// when there is none.
int TerminalConsole::query_fd() {
    if (tty_looked_up_) return tty_fd_;
    tty_looked_up_ = true;
    termios mode{};
    if (sys_.tcgetattr(options_.input_fd, &mode) == 0 &&
        same_terminal(sys_, options_.input_fd, options_.output_fd)) {
        tty_fd_ = options_.input_fd;
    } else if (is_controlling_terminal(sys_, options_.output_fd)) {
        tty_fd_ = sys_.open(options_.tty_path.c_str(), O_RDWR | O_NOCTTY);
        tty_opened_ = tty_fd_ >= 0;
    }
    return tty_fd_;
}

bool TerminalConsole::ask_cursor_position(Coord& at) {
    reply_missed_ = true;  // until the answer is in
    const int fd = query_fd();
    termios saved{};
    if (fd < 0 || sys_.tcgetattr(fd, &saved) != 0) return false;
    // The answer comes as input: without canonical mode it is readable at
    // once, without echo it does not show on the screen.
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    quiet.c_cc[VMIN] = 0;
    quiet.c_cc[VTIME] = 0;
    watch_terminal_signals(sys_);
    if (!change_terminal_mode(sys_, fd, quiet)) return false;
    std::string request;
    vt::request_cursor_position(request);
    const bool asked = write_all(sys_, fd, request.data(), request.size()) == request.size();
    const bool answered = asked && wait_for_report(fd);
    put_back_mode(fd, saved);
    if (!answered) {
        late_reply_expected_ = asked;
        return false;
    }
    reply_missed_ = false;
    at.x = static_cast<std::int16_t>(std::clamp(scanner_.column() - 1, 0, screen_.cols() - 1));
    at.y = static_cast<std::int16_t>(std::clamp(scanner_.row() - 1, 0, screen_.rows() - 1));
    return true;
}

// After the question: the keyboard's mode if keys are read from this
// terminal, else the user's own.
void TerminalConsole::put_back_mode(int fd, const termios& saved) {
    if (keyboard_started_ && fd == options_.input_fd) {
        (void)change_terminal_mode(sys_, fd, saved);
    } else {
        restore_terminal_mode(sys_, fd);
    }
}

bool TerminalConsole::wait_for_report(int fd) {
    const std::int64_t deadline = sys_.now_ms() + reply_wait_ms;
    char buffer[64];
    for (;;) {
        const std::int64_t left = deadline - sys_.now_ms();
        if (left <= 0) return false;
        pollfd wanted{fd, POLLIN, 0};
        const int ready = sys_.poll(&wanted, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return false;
        if (ready == 0) continue;
        const ssize_t n = read_some(sys_, fd, buffer, sizeof buffer);
        if (n <= 0) return false;
        for (ssize_t i = 0; i < n; ++i) {
            if (scanner_.feed(static_cast<std::uint8_t>(buffer[i]), input_)) {
                input_.append(buffer + i + 1, static_cast<std::size_t>(n - i - 1));
                return true;
            }
        }
    }
}

// --- output -----------------------------------------------------------------

// The terminal's cursor and visibility become the program's. A signal
// handler learns whether the cursor is hidden, to show it before the end.
void TerminalConsole::settle() {
    screen_.settle();
    terminal_signal_state.cursor_hidden = screen_.cursor_visible() ? 0 : 1;
}

void TerminalConsole::send(bool settle_first) {
    if (settle_first) settle();
    const std::string bytes = screen_.take_output();
    if (!bytes.empty() && write_out(bytes.data(), bytes.size()) != bytes.size())
        screen_.forget_terminal_cursor();
    // Nothing is held now: the signals may act.
    release_signals();
}

// To standard output, unless the terminal is gone: a write failing with EIO
// means it has hung up, and writing on would only fail again.
std::size_t TerminalConsole::write_out(const char* bytes, std::size_t count) {
    if (output_gone_) return 0;
    errno = 0;
    const std::size_t n = write_all(sys_, options_.output_fd, bytes, count);
    if (n != count && errno == EIO) {
        output_gone_ = true;
        terminal_signal_state.cursor_fd = -1;
    }
    return n;
}

void TerminalConsole::hold_signals() {
    if (signals_held_) return;
    signals_held_ = true;
    hold_ending_signals(sys_, mask_before_hold_);
}

void TerminalConsole::release_signals() {
    if (!signals_held_) return;
    signals_held_ = false;
    release_ending_signals(sys_, mask_before_hold_);
}

void TerminalConsole::limit_held_output() {
    if (screen_.output().size() > held_output_limit) send(false);
}

void TerminalConsole::flush() {
    if (kind_ == Kind::console && geometry_known_) send(true);
}

void TerminalConsole::flush_at_end() {
    try {
        if (kind_ == Kind::console && geometry_known_) {
            // A cursor hidden for a redraw must not stay hidden in the user's shell.
            screen_.set_cursor_visible(true);
            send(true);
        }
    } catch (const std::bad_alloc&) {
        // Memory ran out, which is what ends the program: what was drawn is
        // lost, but the cursor is shown all the same.
        static constexpr char show[] = "\x1b[?25h";
        if (kind_ == Kind::console) (void)write_out(show, sizeof show - 1);
    }
    restore_terminal_modes(sys_);
}

// --- ConsoleApi -------------------------------------------------------------

Handle TerminalConsole::std_handle(StdHandle which) {
    return which == StdHandle::input ? input_handle : output_handle;
}

bool TerminalConsole::get_mode(Handle h, std::uint32_t& mode) {
    if (h == input_handle) {
        if (!input_is_terminal()) return false;
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
        if (!input_is_terminal()) return false;
        input_mode_ = mode;
        return true;
    }
    return h == output_handle && is_console();
}

bool TerminalConsole::screen_buffer_info(Handle h, ScreenBufferInfo& info) {
    if (h != output_handle || !is_console()) return false;
    // A changed window is learnt afresh, but only here: the calls between
    // two queries work on the geometry the program was told.
    go_on_after_stop();
    if (take_window_resized() && geometry_known_) learn_geometry();
    (void)ready();
    const auto cols = static_cast<std::int16_t>(screen_.cols());
    const auto rows = static_cast<std::int16_t>(screen_.rows());
    info.size = Coord{cols, rows};
    info.cursor = screen_.cursor();
    info.attributes = 7;
    info.window =
        Rect{0, 0, static_cast<std::int16_t>(cols - 1), static_cast<std::int16_t>(rows - 1)};
    return true;
}

bool TerminalConsole::write_cells(Handle h, const CharCell* cells, int count, Coord at) {
    if (count <= 0 || !drawable(h, at)) return false;
    const int n = std::min(count, screen_.cols() - at.x);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        bytes[static_cast<std::size_t>(i)] = cells[i].ch;
    screen_.put_cells(at, bytes.data(), n);
    limit_held_output();
    return true;
}

bool TerminalConsole::scroll(Handle h, Rect source, Coord dest, CharCell fill) {
    if (h != output_handle || !ready()) return false;
    const bool done = screen_.scroll(source, dest, fill.ch);
    limit_held_output();
    return done;
}

bool TerminalConsole::fill_attribute(Handle h, std::uint16_t, int, Coord at) {
    // No colours: the terminal's own are kept.
    return drawable(h, at);
}

bool TerminalConsole::fill_character(Handle h, std::uint8_t ch, int count, Coord at) {
    if (!drawable(h, at)) return false;
    screen_.fill(at, count, ch);
    limit_held_output();
    return true;
}

bool TerminalConsole::set_cursor_position(Handle h, Coord pos) {
    if (!drawable(h, pos)) return false;
    screen_.set_cursor(pos);
    return true;
}

bool TerminalConsole::set_window(Handle h, bool absolute, Rect window) {
    if (h != output_handle || !ready()) return false;
    // The buffer is the window: it can only stay as it is.
    if (!absolute) return window == Rect{};
    return window == Rect{0, 0, static_cast<std::int16_t>(screen_.cols() - 1),
                          static_cast<std::int16_t>(screen_.rows() - 1)};
}

bool TerminalConsole::get_cursor_info(Handle h, CursorInfo& info) {
    if (h != output_handle || !ready()) return false;
    info.size = 25;
    info.visible = screen_.cursor_visible();
    return true;
}

bool TerminalConsole::set_cursor_info(Handle h, const CursorInfo& info) {
    if (h != output_handle || !ready()) return false;
    screen_.set_cursor_visible(info.visible);
    return true;
}

bool TerminalConsole::write_file(Handle h, const void* bytes, std::uint32_t count,
                                 std::uint32_t& written) {
    written = 0;
    if (h != output_handle) return false;
    flush();  // what was drawn comes first
    const std::size_t n = write_out(static_cast<const char*>(bytes), count);
    written = static_cast<std::uint32_t>(n);
    return n == count;
}

std::uint32_t TerminalConsole::map_virtual_key_char(std::uint32_t virtual_key) {
    return us_vk_to_char(virtual_key);
}

bool TerminalConsole::set_ctrl_handler(CtrlHandler handler, bool add) {
    // The handlers are the process's: signal handlers call them.
    return add ? add_ctrl_handler(sys_, handler) : remove_ctrl_handler(sys_, handler);
}

void TerminalConsole::beep(std::uint32_t, std::uint32_t duration_ms) {
    // The terminal's bell has no pitch; the wait keeps the beep's length.
    if (is_console()) {
        hold_signals();
        if (geometry_known_) settle();
        screen_.ring_bell();
        send(false);
    }
    sys_.sleep_ms(duration_ms);
}

void TerminalConsole::sleep(std::uint32_t ms) {
    flush();
    if (keyboard_started_ && !input_gone_ && !read_stalled_) {
        wait_for_input(ms);
    } else {
        sys_.sleep_ms(ms);
    }
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

}  // namespace pelorin::platform
