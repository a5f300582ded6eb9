// The window and the cursor as the terminal last told them: the one small
// record the two halves of the terminal console (terminal_output.h,
// terminal_input.h) both go by.
#pragma once

#include <optional>

#include "platform/console_api.h"

namespace pelorin::platform {

struct TerminalWindow {
    // The window's size in cells, once learnt.
    int cols = 0;
    int rows = 0;
    // Where the terminal said its cursor was, 0-based, when it last answered.
    std::optional<Coord> reported_cursor;
};

}  // namespace pelorin::platform
