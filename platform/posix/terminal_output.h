// The output half of the terminal console: the screen model, and the
// drawing it holds back; or, when standard output is no console, the bytes
// it holds back. Either reaches standard output in one write when the
// program next waits or ends (or the held bytes grow past a limit); while
// anything is held, the signals that end or stop the process wait
// (terminal_signals.h), so nothing drawn or printed is lost.
#pragma once

#include <csignal>
#include <cstddef>
#include <optional>
#include <string>

#include "platform/posix/terminal_options.h"
#include "platform/posix/terminal_screen.h"
#include "platform/posix/terminal_sys.h"
#include "platform/posix/terminal_window.h"

namespace pelorin::platform {

class TerminalOutput {
  public:
    // Held drawing or bytes beyond this go out at once.
    static constexpr std::size_t held_output_limit = std::size_t{64} * 1024;

    TerminalOutput(const TerminalSys& sys, const TerminalOptions& options, TerminalWindow& window);
    ~TerminalOutput();
    TerminalOutput(const TerminalOutput&) = delete;
    TerminalOutput& operator=(const TerminalOutput&) = delete;

    TerminalScreen& screen() { return screen_; }
    const TerminalScreen& screen() const { return screen_; }

    // Standard output is this terminal: signal handlers may write on it.
    void become_console();
    // What the terminal is now, from the window record: its size, and the
    // cursor where it reported it (the bottom row's start when it did not).
    // The first time, the screen is a new one; after the window changed
    // size, the screen follows it; after a stop, the line the cursor is in
    // is drawn again below what the shell wrote.
    void start_screen();
    void resize_screen();
    void continue_screen();

    // What follows may draw: the ending signals wait until it is sent.
    void hold();
    // Everything held goes to the terminal, after the cursor and visibility
    // the program wants when `settle_first`; the signals may act again.
    // False when the drawing did not all reach the terminal.
    bool send(bool settle_first);
    // Sends early what has grown past the limit.
    void limit_held();
    // The terminal's bell, after what is held (and the cursor the program
    // wants, when `settle_first`).
    void ring_bell(bool settle_first);
    // Bytes written as they are, at once.
    std::size_t write_raw(const char* bytes, std::size_t count);
    // Bytes for standard output as they are (no console), held like the
    // drawing until send().
    void hold_bytes(const char* bytes, std::size_t count);

  private:
    std::optional<Coord> reported_cursor() const;
    void settle();
    void release();
    std::size_t write_out(const char* bytes, std::size_t count);
    std::size_t write_step();

    const TerminalSys& sys_;
    const TerminalOptions& options_;
    TerminalWindow& window_;
    TerminalScreen screen_;
    std::string held_bytes_;
    // How many bytes one write carries at most, once known (see WriteWaits).
    std::optional<std::size_t> write_step_;
    // A write failed with EIO or EPIPE: the terminal or the reader is gone,
    // and standard output is written no more.
    bool gone_ = false;
    // The ending signals are blocked while output is held.
    bool signals_held_ = false;
    sigset_t mask_before_hold_{};
};

}  // namespace pelorin::platform
