// What makes bytes UTF-8, for the readers of typed or stored text (the
// terminal's input parser, pelorin-results' charts): the bytes that start a
// character, and the range the byte after each must lie in so that the
// character is neither overlong, a surrogate, nor beyond U+10FFFF.
#pragma once

#include <cstdint>
#include <optional>

namespace pelorin::platform {

struct Utf8Lead {
    int length = 0;            // bytes of the whole character, 2 to 4
    std::uint8_t low = 0x80;   // the range of the byte after the lead byte
    std::uint8_t high = 0xBF;  // (every later one lies in 80 to BF)
    char32_t bits = 0;         // the code point's bits in the lead byte
};

// Nothing for ASCII, a continuation byte, or a byte UTF-8 never uses.
std::optional<Utf8Lead> utf8_lead(std::uint8_t byte);

}  // namespace pelorin::platform
