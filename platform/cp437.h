// Code page 437, the default code page of the console the program was made
// for: every byte, control bytes included, has a glyph.
#pragma once

#include <cstdint>

namespace pelorin::platform {

// The Unicode code point of the glyph shown for `byte` (0 shows as a blank).
char32_t cp437_to_unicode(std::uint8_t byte);
// The byte whose glyph is `code_point`, or -1 when code page 437 has none.
// Printable ASCII maps to itself.
int cp437_from_unicode(char32_t code_point);

}  // namespace pelorin::platform
