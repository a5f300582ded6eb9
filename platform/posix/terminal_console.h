// platform/posix/: the system console of Linux, macOS and the BSDs, a POSIX
// terminal. terminal_console (this header) is the ConsoleApi; the other
// terminal_* modules are its parts: the output half (terminal_output, with
// the screen model terminal_screen and the escape sequences terminal_vt),
// the input half (terminal_input, with terminal_input_parser, the one parser
// of everything the terminal sends), the record both halves go by
// (terminal_window), the set-up read from the environment
// (terminal_options), the modes, the signals and the one record their
// handlers use (terminal_signal_record), and the system-call table
// (terminal_sys). testing/ holds the fakes, the emulator and the fixtures of
// their tests.
//
// The console on a POSIX terminal. The screen buffer is the terminal window:
// the buffer is as large as the window, so scrolling moves text up inside it.
// The cursor is learnt from the terminal once (and again after the window
// changes size, or the process goes on after a stop) and tracked here
// otherwise. Cells show the glyphs of code page 437 (866 for a Cyrillic
// locale); no colour is ever set.
//
// The console has two halves: the output half (terminal_output.h: the
// screen model and the drawing held back until the program waits) and the
// input half (terminal_input.h: the keyboard, through the one input parser,
// and the modes). This class hands each ConsoleApi call to its half, and
// brings both along when the terminal changes under them.
//
// When standard output is no terminal, or the terminal is not known to take
// escape sequences (TERM unset, empty or "dumb"), it is no console: the only
// output is write_file's, byte for byte, held as drawing is until the
// program waits or ends. Standard input that is no terminal,
// or such a terminal, is no console input: it is read as a stream of lines,
// which the terminal's own line editing makes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/console_api.h"
#include "platform/posix/terminal_input.h"
#include "platform/posix/terminal_options.h"
#include "platform/posix/terminal_output.h"
#include "platform/posix/terminal_sys.h"
#include "platform/posix/terminal_window.h"

namespace pelorin::platform {

class TerminalConsole final : public ConsoleApi {
  public:
    static constexpr Handle input_handle = 1;
    static constexpr Handle output_handle = 2;

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
    bool buffer_is_window() const override { return true; }
    std::string text_for_files(std::string_view typed) override;
    bool shows_standard_error() override;
    void flush() override;

    // The program's end: what is held goes out, with the cursor shown, and
    // the terminal gets back the mode it had.
    void flush_at_end();

  private:
    bool is_console();
    bool ready();
    bool drawable(Handle h, Coord at);
    // Why the terminal is looked at afresh.
    enum class Change { first_use, resized, continued };
    void learn_geometry(Change change);
    void look_at_terminal();
    bool keys_ready();

    const TerminalSys& sys_;
    TerminalOptions options_;
    TerminalWindow window_;
    TerminalOutput output_;
    TerminalInput input_;
    enum class Kind { unknown, console, stream };
    Kind kind_ = Kind::unknown;
    bool geometry_known_ = false;
    std::uint32_t input_mode_ = enable_processed_input;
};

}  // namespace pelorin::platform
