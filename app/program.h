// app/: the top layer, the process itself: main() and the start-up and
// shutdown around the questionnaire.
//
// Start-up and shutdown of the process.
#pragma once

namespace pelorin::app {

// Clears the channel table, sets the floating-point mode, runs the test and
// ends the program with the exit code the test gives.
[[noreturn]] void program_start();
// Runs the exit steps (last registered first) and ends the process with `code`.
[[noreturn]] void program_end(int code);

// Sets the floating-point environment of the whole run: all exceptions
// masked, round to nearest (ties to even), 64-bit significand where the
// processor has precision control.
void set_float_environment();

}  // namespace pelorin::app
