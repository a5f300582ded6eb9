// The console output engine: writes characters straight into the console's
// screen buffer at the cursor, handles BEL, BS, TAB, LF and CR itself, wraps
// at the right edge, scrolls the view and places the cursor when done. When
// standard output is not a console the same bytes go out unchanged.
//
// Coordinates: absolute ones are the screen buffer's own, from 0; relative
// ones (every query, console_locate) are from 1, counted from the top-left
// corner of the ConsoleWindow.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/console_api.h"
#include "textio/status.h"

namespace pelorin::textio {

// console_write_raw flag: take the console path even for length 0, which
// carries out a line feed that earlier output left pending.
inline constexpr unsigned WRITE_ADJUST = 8;

// The rectangle in which console output happens, absolute: as wide as the
// whole screen buffer, as high as the visible window. All zero when standard
// output is not a console.
struct ConsoleWindow {
    std::int16_t left = 0;
    std::int16_t top = 0;
    std::int16_t right = 0;
    std::int16_t bottom = 0;
    bool empty() const { return left == right || top == bottom; }
};

// Process-wide console state; reset_console_state() starts it afresh.
struct ConsoleState {
    ConsoleWindow window;
    bool window_filled = false;
    // ConsoleView rows, relative and 1-based; -1 while unset. Fixed at first use.
    int view_top = -1;
    int view_bottom = -1;
    bool scroll_pending = false;
    platform::Handle input_handle = 0;
    platform::Handle output_handle = 0;
    bool handles_fetched = false;
};

extern ConsoleState console_state;
void reset_console_state();

void console_write_raw(const void* bytes, std::size_t length, unsigned flags);

// Width (screen-buffer columns) and height (window rows) of the
// ConsoleWindow, or 80 and 25 when it is empty. Either pointer may be null.
void console_get_size(int* width, int* height);
int console_get_column();
int console_get_row();
void console_get_cursor(int* column, int* row);
// Relative placement; 0 keeps the current row or column; cursor_visible 0
// hides, > 0 shows, < 0 leaves it. result: column low 8 bits, row in bits
// 8-15, bit 16 when the cursor was visible before the call.
Status console_locate(int row, int column, int cursor_visible, std::uint32_t* result);
// Absolute placement; a negative coordinate keeps the current one.
void console_set_cursor(int row, int column, int cursor_visible);
// 1: the standard input handle, 0: the standard output handle.
platform::Handle console_handles(int which);
// Re-reads the ConsoleWindow from the console.
void console_refresh_window();

}  // namespace pelorin::textio
