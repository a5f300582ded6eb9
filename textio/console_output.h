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
#include <string_view>

#include "platform/console_api.h"
#include "textio/channels.h"
#include "textio/status.h"

namespace pelorin::textio {

// console_write_raw flag: take the console path even for length 0, which
// carries out a line feed that earlier output left pending.
inline constexpr unsigned WRITE_ADJUST = 8;

// The line end, on the console and in files alike: CR LF.
inline constexpr std::string_view LINE_END = "\r\n";

// The rows in which text is placed and which scroll, stored 0-based (-1
// while unset). Fixed at first use and never changed afterwards, so output
// keeps to the height the window had then even if the user resizes it.
struct ConsoleView {
    int top = -1;
    int bottom = -1;
};

// Process-wide console state; reset_console_state() starts it afresh.
struct ConsoleState {
    // The ConsoleWindow: the rectangle in which console output happens,
    // absolute, as wide as the whole screen buffer and as high as the
    // visible window; all zero when standard output is not a console.
    platform::Rect window;
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
void reset_console_state();

// Sets up the console channel (channel 0) if it has no operation table yet.
void ensure_console_channel();

// Writes the bytes at the console cursor (BEL, BS, TAB, LF and CR handled
// here, wrapping, scrolling), or unchanged to standard output when that is
// not a console. Length 0 does nothing unless flags hold WRITE_ADJUST.
void console_write_raw(const void* bytes, std::size_t length, unsigned flags);

// The console's one sound: 1000 Hz for 250 ms, waiting until it has ended.
void console_beep();

// Width (screen-buffer columns) and height (window rows) of the
// ConsoleWindow, or 80 and 25 when it is empty. Either pointer may be null.
void console_get_size(int* width, int* height);
int console_get_column();
int console_get_row();
void console_get_cursor(int* column, int* row);
// What a cursor placement does to the cursor's visibility.
enum class CursorVisibility { keep = -1, hide = 0, show = 1 };

// The cursor as console_locate found it before the call: its relative
// column and row (the low 8 bits of each) and whether it was visible. All
// zero when the call was refused.
struct LocateResult {
    std::uint8_t column = 0;
    std::uint8_t row = 0;
    bool cursor_visible = false;
    friend bool operator==(const LocateResult&, const LocateResult&) = default;
};

// Relative placement; 0 keeps the current row or column. A row outside the
// view or a column outside 1 to the width is refused (STATUS_BAD_CALL) and
// nothing changes.
Status console_locate(int row, int column, CursorVisibility visibility, LocateResult* before);
// Absolute placement; a negative coordinate keeps the current one.
void console_set_cursor(int row, int column, CursorVisibility visibility);
// The standard input or output handle, fetched once.
platform::Handle console_handles(platform::StdHandle which);
// Re-reads the ConsoleWindow from the console.
void console_refresh_window();
// The view's top and bottom rows, relative and 1-based, fixed at first use:
// the top is row 1, the bottom the height console_get_size gives then.
int console_view_top();
int console_view_bottom();

// --- the steps of one console write -------------------------------------

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
