// The fixture of the terminal console's tests: a console over the scripted
// system calls, with the process-wide terminal state started afresh.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/posix/terminal_console.h"
#include "platform/posix/terminal_signals.h"
#include "platform/posix/terminal_vt.h"
#include "platform/posix/testing/terminal_fake_sys.h"
#include "platform/testing/coords.h"

namespace pelorin::platform::testing {

inline constexpr Handle out = TerminalConsole::output_handle;
inline constexpr Handle in = TerminalConsole::input_handle;

using platform::at;
using platform::rect;

inline std::string report(int row, int col) {
    return "\x1b[" + std::to_string(row) + ";" + std::to_string(col) + "R";
}

// The window changes size: what the handler of SIGWINCH notes.
inline void window_resized() {
    on_window_size_signal(SIGWINCH);
}

inline std::string cpr_request() {
    std::string s;
    vt::request_cursor_position(s);
    return s;
}

class TerminalConsoleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake_terminal = &t;
        reset_platform();
    }
    void TearDown() override {
        console.reset();
        // Keys typed ahead or pasted are never thrown away.
        for (const FakeTerminal::ModeChange& change : t.mode_changes)
            EXPECT_NE(change.when, TCSAFLUSH);
        fake_terminal = nullptr;
        reset_platform();
    }

    TerminalConsole& make(std::string term = "xterm-256color", bool utf8 = false) {
        TerminalOptions options;
        options.term = std::move(term);
        options.utf8 = utf8;
        console = std::make_unique<TerminalConsole>(fake_sys, options);
        return *console;
    }

    // A console on a cols x rows terminal whose cursor is at `cursor`.
    TerminalConsole& ready(int cols, int rows, Coord cursor, bool utf8 = false) {
        FakeTerminal& f = *fake_terminal;
        f.size =
            winsize{static_cast<unsigned short>(rows), static_cast<unsigned short>(cols), 0, 0};
        f.answer(report(cursor.y + 1, cursor.x + 1));
        make("xterm", utf8);
        ScreenBufferInfo info;
        EXPECT_TRUE(console->screen_buffer_info(out, info));
        EXPECT_EQ(info.cursor, cursor);
        console->flush();  // the erase below the cursor that starts the screen
        f.writes.clear();
        f.events.clear();
        return *console;
    }

    ScreenBufferInfo info() {
        ScreenBufferInfo i;
        EXPECT_TRUE(console->screen_buffer_info(out, i));
        return i;
    }

    bool put(const std::string& text, Coord where) {
        std::vector<CharCell> cells;
        for (char c : text)
            cells.push_back(CharCell{static_cast<std::uint8_t>(c), 7});
        return console->write_cells(out, cells.data(), static_cast<int>(cells.size()), where);
    }

    int requests() const {
        int n = 0;
        for (const auto& w : t.writes)
            n += w.bytes == cpr_request() ? 1 : 0;
        return n;
    }

  public:  // what every test works with
    FakeTerminal t;
    std::unique_ptr<TerminalConsole> console;
};

}  // namespace pelorin::platform::testing
