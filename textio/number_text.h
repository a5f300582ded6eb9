// Conversions between single-precision numbers and text: the bank's weight
// texts, the scores and answers shown and written, and the "Q###: "
// statement number. Every form here is visible to the user byte for byte.
#pragma once

#include <string_view>

#include "textio/text_ops.h"

namespace pelorin::textio {

// A bank item to the nearest single: leading blanks (32 only) skipped, "&B",
// "&H", "&O" radix forms, otherwise the longest decimal prefix (0 if none).
float text_to_single(std::string_view item);

// The string form: v rounded to 7 significant digits in decimal form,
// trailing fraction zeros and then a point left standing removed ("1",
// "17.69", "0.6666667", "-0.5"). Magnitudes outside [0.1, 1e7) use an
// exponent form.
Text format_str_single(float v);
// The print form: one blank in front unless the text starts with '-'.
Text format_print_single(float v);

// The pattern with its numeric field filled in: for "Q###: " the letter Q,
// v as a whole number right-aligned in three positions, colon and blank.
Text format_using(std::string_view pattern, float v);

// Part of reset_services(): empties the pattern state.
void reset_pattern_state();

}  // namespace pelorin::textio
