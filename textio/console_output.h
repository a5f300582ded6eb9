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
#include "textio/status.h"

namespace pelorin::textio {

// console_write_raw flag: take the console path even for length 0, which
// carries out a line feed that earlier output left pending.
inline constexpr unsigned WRITE_ADJUST = 8;

// The line end, on the console and in files alike: CR LF.
inline constexpr std::string_view LINE_END = "\r\n";

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

// The standard input or output handle, fetched once.
platform::Handle console_handles(platform::StdHandle which);

// Part of reset_services(): the console state as at start.
void reset_console_state();

}  // namespace pelorin::textio
