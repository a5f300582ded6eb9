// The one UTF-8 codec of the program, both directions: the terminal's input
// parser decodes typed bytes one at a time as they come, pelorin-results
// decodes stored text a character at a time, and the terminal's writer and
// the charts encode. Only well-formed characters are taken: no overlong
// form, no surrogate, nothing beyond U+10FFFF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pelorin::platform {

// Decodes one character fed a byte at a time. Fixed size, no allocation.
class Utf8Decoder {
  public:
    enum class Step {
        more,     // the byte was taken; the character needs more
        done,     // the byte was taken and ends the character: code_point()
        invalid,  // the byte cannot come next; it was not taken
    };

    // Starts a character with its first byte; false (and nothing started)
    // for ASCII, a continuation byte, or a byte UTF-8 never uses.
    bool start(std::uint8_t lead);
    // Each byte after the first.
    Step next(std::uint8_t byte);
    char32_t code_point() const { return code_point_; }

  private:
    char32_t code_point_ = 0;
    std::uint8_t left_ = 0;    // bytes still to come
    std::uint8_t low_ = 0x80;  // the range the next byte must lie in
    std::uint8_t high_ = 0xBF;
};

struct Utf8Character {
    char32_t code_point = 0;
    std::size_t length = 0;  // bytes, 1 to 4
};

// The well-formed character at the start of `s` (ASCII too), or nothing.
std::optional<Utf8Character> decode_utf8(std::string_view s);

// Appends the bytes of `c`, a code point up to U+10FFFF.
void append_utf8(std::string& out, char32_t c);

}  // namespace pelorin::platform
