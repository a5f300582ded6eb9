// Taking what the user types: one field per call, from a line edited on the
// console, or straight from the byte stream when standard input is
// redirected.
#pragma once

#include <cstddef>
#include <string_view>

#include "textio/text_ops.h"

namespace pelorin::textio {

inline constexpr std::size_t FIELD_LIMIT = 4096;

// Where the bytes of standard input come from in stream mode. The default
// reads the C runtime's standard input one byte at a time; tests put a
// string in its place. read returns 0..255, or -1 at end of input.
struct StdinSource {
    int (*read)(void* context) = nullptr;
    void* context = nullptr;
};

struct InputContext {
    enum class Source { line, channel };
    Text line;
    std::size_t position = 0;
    Source source = Source::line;
    // Set by a stream-mode read that met the end of standard input before
    // taking any byte other than blanks.
    bool exhausted = false;
    bool channel_ready = false;
};

extern InputContext input_context;
void reset_input_context();
// Replaces the stream-mode byte source (nullptr read: back to stdin).
void set_stdin_source(StdinSource source);

// begin_input_line() then take_input_field().
Text read_input_field();
// Chooses the source of the next field: on a console, a line edited on it
// (with its line end echoed); redirected, the byte stream. Prints no prompt:
// everything the user is to see has been printed before the read.
void begin_input_line();
// The next field from the source begin_input_line chose.
Text take_input_field();
// True when the last stream-mode read met the end of standard input without
// taking any byte other than blanks.
bool input_exhausted();

}  // namespace pelorin::textio
