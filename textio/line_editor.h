// The console line editor: reads one line from the keyboard and lets the
// user edit it in place before pressing Enter.
#pragma once

#include <optional>

#include "textio/text_ops.h"

namespace pelorin::textio {

// A screen position, relative and 1-based.
struct CursorPos {
    int column = 0;
    int row = 0;
    friend bool operator==(const CursorPos&, const CursorPos&) = default;
};

// The line typed, or nothing when no text could be made for it.
std::optional<Text> read_console_line();

// Cursor arithmetic over a line wrapping at `cols`.
CursorPos advance_position(CursorPos from, long n, int cols);
void move_cursor_by(CursorPos from, long n, int cols, int rows);

}  // namespace pelorin::textio
