// The code pages of the console the program was made for: every byte,
// control bytes included, has a glyph. Code page 437 is the console's
// default; code page 866 is the one a Cyrillic console uses.
#pragma once

#include <cstdint>

namespace pelorin::platform {

enum class CodePage { cp437, cp866 };

// The Unicode code point of the glyph shown for `byte` (0 shows as a blank).
char32_t code_page_to_unicode(CodePage page, std::uint8_t byte);
// The byte whose glyph is `code_point`, or -1 when the code page has none.
// Printable ASCII maps to itself.
int code_page_from_unicode(CodePage page, char32_t code_point);

// Code page 437, the default.
inline char32_t cp437_to_unicode(std::uint8_t byte) {
    return code_page_to_unicode(CodePage::cp437, byte);
}
inline int cp437_from_unicode(char32_t code_point) {
    return code_page_from_unicode(CodePage::cp437, code_point);
}

}  // namespace pelorin::platform
