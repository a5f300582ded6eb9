// Answer input's reading state, its two steps and the byte source of
// redirected input, shared with tests; callers use answer_input.h.
#pragma once

#include <cstddef>

#include "textio/answer_input.h"
#include "textio/text_ops.h"

namespace pelorin::textio {

// Where the bytes of standard input come from in stream mode. The default
// takes them from the platform (platform/standard_streams.h), which reads
// ahead in blocks; tests put a string in its place. read returns 0..255, or
// -1 at end of input.
struct StdinSource {
    int (*read)(void* context) = nullptr;
    void* context = nullptr;
};

// Replaces the stream-mode byte source (nullptr read: back to stdin).
void set_stdin_source(StdinSource source);

// The one reading state of the program, started afresh by reset_services().
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
// Part of reset_services(); the byte source goes back to stdin too.
void reset_input_context();

// Chooses the source of the next field: on a console, a line edited on it
// (with its line end echoed); redirected, the byte stream. Prints no prompt:
// everything the user is to see has been printed before the read.
void begin_input_line();
// The next field from the source begin_input_line chose.
Text take_input_field();

}  // namespace pelorin::textio
