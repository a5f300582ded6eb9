// app/: the top layer, the process itself: main() and the start-up and
// shutdown around the questionnaire.
//
// Start-up and shutdown of the process.
#pragma once

namespace pelorin::app {

// The exit code when memory runs out: the program then ends at once, with
// one line on standard error, as for any end from outside.
inline constexpr int EXIT_OUT_OF_MEMORY = 3;

// Clears the channel table, sets the floating-point mode, runs the test and
// ends the program with the exit code the test gives.
[[noreturn]] void program_start();
// Runs the exit steps (last registered first) and ends the process with `code`.
[[noreturn]] void program_end(int code);
// What the program does when an allocation fails: it cannot go on (every
// answer and every line needs memory), so it ends with EXIT_OUT_OF_MEMORY
// through the exit steps, which drop an unfinished results file and give the
// terminal back. An allocation that fails again during those steps makes the
// step at hand give up (std::bad_alloc). Installed by program_start.
void on_out_of_memory();

// Sets the floating-point environment of the whole run: all exceptions
// masked, round to nearest (ties to even), 64-bit significand where the
// processor has precision control.
void set_float_environment();

}  // namespace pelorin::app
