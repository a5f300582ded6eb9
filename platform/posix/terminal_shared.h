// What the two halves of the terminal console share: how the console was
// set up, and the one small record both go by.
#pragma once

#include <optional>
#include <string>

#include "platform/console_api.h"

namespace pelorin::platform {

struct TerminalOptions {
    std::string term;   // the TERM variable, empty when unset
    bool utf8 = false;  // the user's locale encodes characters in UTF-8
    int input_fd = 0;
    int output_fd = 1;
    std::string tty_path = "/dev/tty";

    static TerminalOptions from_environment();
};

// The window and the cursor, as the terminal told them.
struct TerminalShared {
    // The window's size in cells, once learnt.
    int cols = 0;
    int rows = 0;
    // Where the terminal said its cursor was, 0-based, when it last answered.
    std::optional<Coord> reported_cursor;
};

}  // namespace pelorin::platform
