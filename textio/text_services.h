// textio/: the console and file text services the questionnaire stands on,
// built on platform/'s console and knowing nothing of the questionnaire.
// text_ops and number_text (texts and the numbers shown in them), channels
// and print (the numbered channels, the print operations and the results
// file), console_output (the engine that puts bytes on the console),
// answer_input (one field per read), key_reader (console key events to key
// codes) and line_editor (one edited line from the keyboard).
//
// A module's header holds what its callers may use; its *_internal.h holds
// its process-wide state and the steps it shares with the other modules'
// implementation and with tests.
#pragma once

namespace pelorin::textio {

// Puts every piece of process-wide state of the text services back as it
// is at start: the channel table (any file still open is closed first) and
// the console's operation table, the console state, the input context and
// its byte source, the pattern state and the key reader. Tests, fuzz
// targets and benchmarks reset the text services through this alone.
void reset_services();

}  // namespace pelorin::textio
