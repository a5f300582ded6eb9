// Taking what the user types: one field per call, from a line edited on the
// console, or straight from the byte stream when standard input is
// redirected.
#pragma once

#include <cstddef>

#include "textio/text_ops.h"

namespace pelorin::textio {

inline constexpr std::size_t FIELD_LIMIT = 4096;

// begin_input_line() then take_input_field().
Text read_input_field();
// True when the last stream-mode read met the end of standard input without
// taking any byte other than blanks.
bool input_exhausted();

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

// Part of reset_services(): the reading state as at start, and the byte
// source back to stdin.
void reset_input_context();

}  // namespace pelorin::textio
