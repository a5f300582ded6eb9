// Answer input's reading state and its two steps, shared with its tests;
// callers use answer_input.h.
#pragma once

#include <cstddef>

#include "textio/answer_input.h"
#include "textio/text_ops.h"

namespace pelorin::textio {

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

// Chooses the source of the next field: on a console, a line edited on it
// (with its line end echoed); redirected, the byte stream. Prints no prompt:
// everything the user is to see has been printed before the read.
void begin_input_line();
// The next field from the source begin_input_line chose.
Text take_input_field();

}  // namespace pelorin::textio
