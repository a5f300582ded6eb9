// Operations on texts: byte strings with an explicit length, one byte per
// character, no character-set conversion anywhere. A text literal handed to
// these operations is measured up to its first zero byte (std::string_view
// from a const char* does exactly that); a Text keeps its full length.
//
// An operation that cannot get storage yields the empty text.
#pragma once

#include <string>
#include <string_view>

namespace pelorin::textio {

using Text = std::string;

// Copy with exactly the bytes a to z made upper case.
Text text_upper(std::string_view text);
// text_upper(text) equals `word`, decided without a copy of the text (an
// answer may be megabytes long and is compared several times).
bool text_upper_equals(std::string_view text, std::string_view word);
// Unsigned byte-wise comparison; the longer text is greater when one is a
// prefix of the other. 0 exactly when lengths and bytes are equal.
int text_compare(std::string_view a, std::string_view b);
// The first min(n, length) bytes; n <= 0 gives the empty text.
Text text_left(std::string_view text, long n);
// A new text: a followed by b.
Text text_concat(std::string_view a, std::string_view b);
// Appends `tail` to `variable` in place.
void text_append(Text& variable, std::string_view tail);
// `variable` takes over `value`; the empty text releases its storage.
void text_assign(Text& variable, Text value);
// Empties `variable` and releases its storage.
void text_clear(Text& variable);

}  // namespace pelorin::textio
