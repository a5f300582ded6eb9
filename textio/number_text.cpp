// Interim: filled in with the number texts.
#include "textio/number_text.h"
namespace pelorin::textio {
float text_to_single(std::string_view) { return 0; }
Text format_single_digits(float) { return {}; }
Text format_str_single(float) { return {}; }
Text format_print_single(float) { return {}; }
void pattern_begin(std::string_view) {}
Text pattern_value(float) { return {}; }
Text pattern_end() { return {}; }
Text format_using(std::string_view, float) { return {}; }
void reset_pattern_state() {}
}  // namespace pelorin::textio
