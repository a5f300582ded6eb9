// A file that replaces another only once it is complete. The new bytes are
// written beside the old file under a temporary name, and that file takes
// the old one's name only after it was written, handed to the disk and
// closed without error. Whatever fails or ends the program before that, the
// old file stays as it was and the temporary is removed (an ending signal, a
// closed console, a failed write or close); only a kill that cannot be
// caught leaves the temporary behind.
//
// Nothing is ever written through the name: a symbolic link, a FIFO or any
// other object that is no regular file is replaced by the new file, never
// opened. What stands in the way and cannot be replaced (a directory) or
// must not be (a regular file the user could not write) is left alone, as
// if the file could not be created. An old regular file's permissions pass
// to the new one; a new file gets those a plain create gives.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>

namespace pelorin::platform {

struct ReplacementFile;

// The buffer of the new file's stream: a report that fits in it reaches the
// operating system in one write.
inline constexpr std::size_t replacement_buffer_bytes = 8192;

// Starts the new file that is to replace `name` (relative to the current
// directory). nullptr when nothing may be written there.
ReplacementFile* begin_replacement(std::string_view name);
// Where the new bytes go: a binary stream, fully buffered.
std::FILE* replacement_stream(ReplacementFile& file);
// Closes the new file and puts it in the old one's place; false when any
// step failed, and then the old file stays. Frees `file`.
bool finish_replacement(ReplacementFile* file);
// Closes and removes the new file; the old one stays. Frees `file`.
void abandon_replacement(ReplacementFile* file);

}  // namespace pelorin::platform
