// The three steps of format_using over the one pattern state of the
// program, shared with the tests; callers use number_text.h.
#pragma once

#include <string_view>

#include "textio/number_text.h"

namespace pelorin::textio {

// format_using runs begin, value and end and joins their pieces.
void pattern_begin(std::string_view pattern);
Text pattern_value(float v);
Text pattern_end();
// Part of reset_services(): empties the pattern state.
void reset_pattern_state();

}  // namespace pelorin::textio
