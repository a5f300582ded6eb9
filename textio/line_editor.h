// The console line editor: reads one line from the keyboard and lets the
// user edit it in place before pressing Enter.
#pragma once

#include <optional>

#include "textio/text_ops.h"

namespace pelorin::textio {

// The line typed, or nothing when no text could be made for it.
std::optional<Text> read_console_line();

}  // namespace pelorin::textio
