// platform/posix/: the system console of Linux, macOS and the BSDs, a POSIX
// terminal. terminal_console (this header) is the ConsoleApi; the other
// terminal_* modules are its parts (screen, keyboard and input, modes,
// signals, escape sequences, the system-call table, the reset of its
// process-wide records), key_decoder turns the bytes a terminal sends into
// key events.
//
// The console on a POSIX terminal. The screen buffer is the terminal window:
// the buffer is as large as the window, so scrolling moves text up inside it.
// The cursor is learnt from the terminal once (and again after the window
// changes size, or the process goes on after a stop) and tracked here
// otherwise. Cells show the glyphs of code page 437; no colour is ever set.
// Drawing is held back and reaches the terminal in one write when the
// program next waits or ends; while anything is held, the signals that end
// or stop the process wait (terminal_signals.h), so nothing drawn is lost.
//
// When standard output is no terminal, or the terminal is not known to take
// escape sequences (TERM unset or "dumb"), it is no console: the only output
// is write_file's, byte for byte.
//
// When standard input is a terminal, it is the console's keyboard: from the
// first poll for keys to the end of the program the terminal is in the
// keyboard mode (terminal_modes.h), and the bytes of the keys become key
// events of a US PC keyboard. A terminal that has hung up is the console
// being closed. Standard input that is no terminal is no console input.
#pragma once

#include <csignal>
#include <cstdint>
#include <string>

#include "platform/console_api.h"
#include "platform/posix/terminal_keyboard.h"
#include "platform/posix/terminal_screen.h"
#include "platform/posix/terminal_sys.h"
#include "platform/posix/terminal_vt.h"

namespace pelorin::platform {

struct TerminalOptions {
    std::string term;   // the TERM variable, empty when unset
    bool utf8 = false;  // the user's locale encodes characters in UTF-8
    int input_fd = 0;
    int output_fd = 1;
    std::string tty_path = "/dev/tty";

    static TerminalOptions from_environment();
};

// Whether the locale the user chose (LC_ALL, LC_CTYPE, LANG) is UTF-8. The
// program's own locale is left as it is.
bool locale_is_utf8();

class TerminalConsole final : public ConsoleApi {
  public:
    static constexpr Handle input_handle = 1;
    static constexpr Handle output_handle = 2;
    // How long the terminal has to answer the cursor-position request.
    static constexpr int reply_wait_ms = 500;
    // A cursor report begun in the input is taken as keys when its rest has
    // not come after this long.
    static constexpr int reply_gap_ms = 50;
    // After this many pauses without input (a second of the editor's), a
    // pause waits up to settled_wait_ms for a key.
    static constexpr int settle_after_quiet_waits = 40;
    static constexpr int settled_wait_ms = 1000;
    // Held drawing beyond this goes out at once.
    static constexpr std::size_t held_output_limit = 64 * 1024;

    TerminalConsole(const TerminalSys& sys, TerminalOptions options);
    ~TerminalConsole() override;
    TerminalConsole(const TerminalConsole&) = delete;
    TerminalConsole& operator=(const TerminalConsole&) = delete;

    Handle std_handle(StdHandle which) override;
    bool get_mode(Handle h, std::uint32_t& mode) override;
    bool set_mode(Handle h, std::uint32_t mode) override;
    bool screen_buffer_info(Handle h, ScreenBufferInfo& info) override;
    bool write_cells(Handle h, const CharCell* cells, int count, Coord at) override;
    bool scroll(Handle h, Rect source, Coord dest, CharCell fill) override;
    bool fill_attribute(Handle h, std::uint16_t attributes, int count, Coord at) override;
    bool fill_character(Handle h, std::uint8_t ch, int count, Coord at) override;
    bool set_cursor_position(Handle h, Coord pos) override;
    bool set_window(Handle h, bool absolute, Rect window) override;
    bool get_cursor_info(Handle h, CursorInfo& info) override;
    bool set_cursor_info(Handle h, const CursorInfo& info) override;
    bool write_file(Handle h, const void* bytes, std::uint32_t count,
                    std::uint32_t& written) override;
    bool peek_input(Handle h, InputEvent& event, std::uint32_t& count) override;
    bool read_input(Handle h, InputEvent& event, std::uint32_t& count) override;
    std::uint32_t map_virtual_key_char(std::uint32_t virtual_key) override;
    bool set_ctrl_handler(CtrlHandler handler, bool add) override;
    void beep(std::uint32_t frequency_hz, std::uint32_t duration_ms) override;
    void sleep(std::uint32_t ms) override;
    void flush() override;

    // The program's end: what is held goes out, with the cursor shown, and
    // the terminal gets back the mode it had.
    void flush_at_end();
    // Reads, without waiting, what the keyboard's terminal has sent since.
    void poll_input();
    // The bytes read from the terminal that were no cursor report: keys
    // typed ahead, for the key decoder.
    std::string take_input();

  private:
    bool is_console();
    bool ready();
    bool drawable(Handle h, Coord at);
    void learn_geometry();
    bool ask_cursor_position(Coord& at);
    void put_back_mode(int fd, const termios& saved);
    bool wait_for_report(int fd);
    void take_bytes(const char* bytes, std::size_t count);
    int query_fd();
    void settle();
    void send(bool settle_first);
    std::size_t write_out(const char* bytes, std::size_t count);
    void limit_held_output();
    void hold_signals();
    void release_signals();

    // The keyboard (terminal_console_input.cpp).
    bool input_is_terminal();
    bool keys_ready();
    void start_keyboard();
    void go_on_after_stop();
    bool read_failed(ssize_t n);
    void wait_for_input(std::uint32_t ms);

    const TerminalSys& sys_;
    TerminalOptions options_;
    TerminalScreen screen_;
    enum class Kind { unknown, console, stream };
    Kind kind_ = Kind::unknown;
    bool resize_watched_ = false;
    bool geometry_known_ = false;
    // The terminal once let the request go unanswered: it is not asked again.
    bool reply_missed_ = false;
    // Its answer may still come, and must not be taken for keys.
    bool late_reply_expected_ = false;
    bool tty_looked_up_ = false;
    bool tty_opened_ = false;
    int tty_fd_ = -1;
    vt::CursorReportScanner scanner_;
    std::string input_;
    std::int64_t last_input_ms_ = 0;
    // A write failed with EIO: the terminal is gone and is written no more.
    bool output_gone_ = false;
    // The ending signals are blocked while output is held.
    bool signals_held_ = false;
    sigset_t mask_before_hold_{};

    enum class InputKind { unknown, terminal, stream };
    InputKind input_kind_ = InputKind::unknown;
    std::uint32_t input_mode_ = enable_processed_input;
    bool keyboard_started_ = false;
    // The terminal has hung up, or reads fail for good: no more reads.
    bool input_gone_ = false;
    // The last read failed: waits do not watch the terminal until one works.
    bool read_stalled_ = false;
    // The last wait found nothing to read, and nothing was read since.
    bool input_known_quiet_ = false;
    // Pauses in a row in which no input came.
    int quiet_waits_ = 0;
    TerminalKeyboard keyboard_;
};

}  // namespace pelorin::platform
