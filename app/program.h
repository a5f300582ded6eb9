// Start-up and shutdown of the process.
#pragma once

namespace pelorin::app {

// Clears the channel table, sets the floating-point mode and runs the test.
[[noreturn]] void program_start();
// Runs the exit steps (last registered first) and ends the process with `code`.
[[noreturn]] void program_end(int code);

// Sets the floating-point environment of the whole run: all exceptions
// masked, round to nearest (ties to even), 64-bit significand where the
// processor has precision control.
void set_float_environment();

// Tests and fuzz targets run the dialogue in-process: with a hook installed,
// program_end calls it instead of ending the process. The hook must not
// return (it throws).
using EndHook = void (*)(int code);
void set_program_end_hook(EndHook hook);

}  // namespace pelorin::app
