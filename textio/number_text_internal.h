// The inner steps of the number texts: the digits both number forms are
// made from, and the three steps of format_using over the one pattern state
// of the program (its tests run them one by one). Callers use
// number_text.h.
#pragma once

#include <string_view>

#include "textio/number_text.h"

namespace pelorin::textio {

// The 7-digit decimal text of format_str_single and format_print_single.
Text format_single_digits(float v);

// format_using runs begin, value and end and joins their pieces.
void pattern_begin(std::string_view pattern);
Text pattern_value(float v);
Text pattern_end();
// The numeric field of `width` places for any value: the single rounded to a
// whole number through doubles, cut and marked when it does not fit.
// format_using writes a whole number from 0 that fits without it.
Text rounded_number_field(float v, int width);

}  // namespace pelorin::textio
