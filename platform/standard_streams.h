// The process's standard streams, as the program meets them at start and as
// answer input reads standard input byte by byte.
#pragma once

#include <cstddef>

namespace pelorin::platform {

// A standard input, output or error that is closed when the program starts
// is opened on the null device, so that no file the program opens later can
// take its descriptor (and receive the console's output). Called first thing.
void open_missing_standard_streams();

// A write that cannot be done fails, to be dropped or reported, instead of
// ending the program by a signal: standard output whose reader has gone
// (SIGPIPE: pelorin < answers | head), a file past the size limit (SIGXFSZ:
// ulimit -f). Called at start, before the first write.
void fail_writes_without_signals();

// The next byte of standard input, 0 to 255, or -1 at its end (or when it
// cannot be read; either is then for good). Bytes are read ahead in blocks;
// before the program waits for a block that has not come yet, what the
// console holds back goes out (ConsoleApi::flush): output waits while input
// is there at once, and a reader on the other end of a pipe sees every
// prompt before it must answer. Standard input that was left in
// non-blocking mode is waited on: it has ended only when it says so.
int read_standard_input_byte();

// Standard input and output carry every byte as it is: no line-end
// translation, and a Ctrl+Z byte is no end of the input.
void set_standard_streams_binary();

// Forgets what was read ahead; part of reset_platform().
void reset_standard_input();

// Defined in the platform's own file:
// Whether standard input has bytes (or its end) to be read at once.
bool standard_input_ready();
// One read of up to `size` bytes: their count, 0 at the end, -1 when it
// failed (errno).
long read_standard_input_once(unsigned char* buffer, std::size_t size);
// Waits until standard input has bytes to read or has ended; false when it
// cannot be waited on.
bool wait_for_standard_input();

}  // namespace pelorin::platform
