// The console output engine's state and the steps of one write, shared
// with its tests; callers use console_output.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/console_api.h"
#include "textio/console_output.h"

namespace pelorin::textio {

// The rows in which text is placed and which scroll, stored 0-based (-1
// while unset). Fixed at first use and never changed afterwards, so output
// keeps to the height the window had then even if the user resizes it;
// but on a console whose screen buffer is its window (a terminal) there are
// no rows outside the window to keep to: the view is the whole window as it
// is at each write.
struct ConsoleView {
    int top = -1;
    int bottom = -1;
};

// Process-wide console state, started afresh by reset_services().
struct ConsoleState {
    // The ConsoleWindow: the rectangle in which console output happens,
    // absolute, as wide as the whole screen buffer and as high as the
    // visible window; all zero when standard output is not a console.
    platform::Rect window;
    // The console answered the last query: a window one row high or one
    // column wide is not a console for writing, but its coordinates are
    // still the window's.
    bool window_known = false;
    bool window_filled = false;
    ConsoleView view;
    // Set by a write whose text ended in the last cell of the view's bottom
    // row: the scroll that would follow waits for the next write, which a
    // cursor placement in between cancels.
    bool scroll_pending = false;
    platform::Handle input_handle = 0;
    platform::Handle output_handle = 0;
    bool handles_fetched = false;
};

extern ConsoleState console_state;

// Absolute placement; a negative coordinate keeps the current one.
void console_set_cursor(int row, int column, CursorVisibility visibility);

// Re-reads the ConsoleWindow from the console.
void console_refresh_window();
// The view's top and bottom rows, relative and 1-based, fixed at first use:
// the top is row 1, the bottom the height console_get_size gives then.
int console_view_top();
int console_view_bottom();

// The state of one console write, made on entry and dropped at return.
struct WriteContext {
    // The view's rows across the whole buffer width, absolute; scrolling
    // may move it down the buffer.
    platform::Rect border;
    std::int32_t cursor_x = 0;
    std::int32_t cursor_y = 0;
    // The ConsoleWindow as read at the start of the write.
    platform::Rect window;
    std::int32_t buffer_columns = 0;
    std::int32_t buffer_rows = 0;
    std::uint16_t attribute = 7;
    platform::Handle output = 0;
    // The view no longer covers the whole window (the user resized it after
    // the first output): only the view's rows scroll, in place.
    bool view_set = false;
};

// Builds the context of a write on the console: view, border, window, and
// the cursor, buffer size and attribute read from the console. Only for a
// console: the ConsoleWindow must be filled and not empty.
WriteContext console_write_context();
// The control-character pass over the bytes of one write.
void console_tty(WriteContext& ctx, const std::uint8_t* bytes, std::size_t length);
// Puts a run of characters at the cursor, wrapping at the border's right edge.
void console_put_run(WriteContext& ctx, const std::uint8_t* bytes, int count);
// One row segment of a run as one cell write in the write's attribute.
bool console_put_cells(WriteContext& ctx, const std::uint8_t* bytes, int count);
// Makes room below the view: moves the visible window down the buffer while
// the buffer has rows below it, otherwise scrolls the text up.
void console_scroll(WriteContext& ctx, int rows);

}  // namespace pelorin::textio
