// The line editor's cursor arithmetic, shared with its tests; callers use
// line_editor.h.
#pragma once

#include "textio/line_editor.h"

namespace pelorin::textio {

// A screen position, relative and 1-based.
struct CursorPos {
    int column = 0;
    int row = 0;
    friend bool operator==(const CursorPos&, const CursorPos&) = default;
};

// Where a line wrapping at `cols` is n characters on from `from` (back when
// n is negative; one left of column 1 is the last column of the row above).
CursorPos advance_position(CursorPos from, long n, int cols);
// Puts the cursor there; just below the last of `rows` rows, a line end
// from the last cell scrolls the view by one row instead.
void move_cursor_by(CursorPos from, long n, int cols, int rows);

}  // namespace pelorin::textio
