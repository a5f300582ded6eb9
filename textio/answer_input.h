// Taking what the user types: one field per call, from a line edited on the
// console, or straight from the byte stream when standard input is
// redirected.
#pragma once

#include <cstddef>

#include "textio/text_ops.h"

namespace pelorin::textio {

inline constexpr std::size_t FIELD_LIMIT = 4096;

// begin_input_line() then take_input_field().
Text read_input_field();
// True when the last stream-mode read met the end of standard input without
// taking any byte other than blanks.
bool input_exhausted();

}  // namespace pelorin::textio
