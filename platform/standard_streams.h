// The process's standard streams, as the program meets them at start and as
// answer input reads standard input byte by byte.
#pragma once

namespace pelorin::platform {

// A standard input, output or error that is closed when the program starts
// is opened on the null device, so that no file the program opens later can
// take its descriptor (and receive the console's output). Called first thing.
void open_missing_standard_streams();

// The next byte of standard input, 0 to 255, or -1 at its end (or when it
// cannot be read). Standard input that was left in non-blocking mode is
// waited on: it has ended only when it says so.
int read_standard_input_byte();

// Waits until standard input has bytes to read or has ended; false when it
// cannot be waited on. Defined in the platform's own file.
bool wait_for_standard_input();

}  // namespace pelorin::platform
