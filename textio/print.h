// The print operations on any channel, and the console's use of them.
#pragma once

#include <string_view>

#include "textio/channels.h"

namespace pelorin::textio {

// Print flags.
inline constexpr unsigned PRINT_NEWLINE = 1;
inline constexpr unsigned PRINT_ZONE = 2;  // next print zone: not part of the system, ignored
inline constexpr unsigned PRINT_NEWLINE_TOO = 4;

// The text's bytes as one channel write (none for an empty text), then the
// line end 13 10 as a second write if flags hold 1 or 4.
void print_text(int channel, std::string_view text, unsigned flags);
// The same for a zero-terminated array; nothing for a null pointer.
void print_chars(int channel, const char* chars, unsigned flags);
// The line end alone if flags hold 1 or 4.
void print_line_end(int channel, unsigned flags);

void console_print(std::string_view text, bool line_end);
void console_newline();
void console_print_chars(const char* chars, bool line_end);

// The console channel's write operation: the bytes go to the output engine.
Status console_write_op(Channel& channel, const std::uint8_t* bytes, std::size_t length);

// The text's bytes, then 13 10, as two writes on file channel n. Silent on
// failure.
void results_file_print(int n, std::string_view text);

// One line on standard error, for a failure the user must learn of. Where
// standard error shows on the console's screen, the line is printed there
// like any console line, so the engine's screen stays true; elsewhere it
// goes to standard error after what the console holds back.
void print_error_line(std::string_view text);

}  // namespace pelorin::textio
