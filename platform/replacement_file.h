// A file that replaces another only once it is complete. The new bytes are
// written beside the old file under a temporary name, and that file takes
// the old one's name only after it was written, handed to the disk and
// closed without error (and the folder's new entry handed to the disk too).
// Whatever fails or ends the program before that, the old file stays as it
// was and the temporary is removed (an ending signal, a closed console, a
// failed write or close); only a kill that cannot be caught leaves the
// temporary behind. A stop (Ctrl+Z) is no end: the temporary stays for the
// program to finish when it goes on.
//
// Nothing is ever written through the name but a link the user made: a
// symbolic link is followed (on POSIX systems; on Windows, where making one
// takes an administrator, it is replaced), and its target replaced in the
// target's own folder, unless it lies in a sticky folder that everyone may write (/tmp)
// and belongs neither to the user nor to the folder's owner, as the Linux
// kernel's protected links rule has it; such a link, a FIFO or any other
// object that is no regular file is replaced by the new file, never opened.
// What stands in the way and cannot be replaced (a directory) or must not
// be (a regular file the user could not write) is left alone, and the
// replacement fails. An old regular file's permissions pass to the new one,
// but for the set-user-ID and set-group-ID bits; a new file gets those a
// plain create gives.
//
// In a folder where no new file may be made, an old file the user may write
// is rewritten in place instead: its new content is kept in memory and
// written over the old one only when complete, so that only a failure of
// that last write can leave it half old.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelorin::platform {

struct ReplacementFile;

// Why a replacement failed: the file that could not be written (a followed
// link's target) and the system's words for the error ("Read-only file
// system").
struct ReplacementError {
    std::string file;
    std::string reason;
};

// The buffer of the new file's stream: a report that fits in it reaches the
// operating system in one write.
inline constexpr std::size_t replacement_buffer_bytes = 8192;

// Starts the new file that is to replace `name` (relative to the current
// directory). nullptr when nothing may be written there, and then `error`
// (when given) says why.
ReplacementFile* begin_replacement(std::string_view name, ReplacementError* error = nullptr);
// Adds bytes to the new file; false when they could not be taken.
bool replacement_write(ReplacementFile& file, const void* bytes, std::size_t count);
// Closes the new file and puts it in the old one's place; false when any
// step failed, and then `error` (when given) says why. The old file then
// stays, but when the new one's entry in the folder could not be handed to
// the disk after it took the name, or an in-place rewrite failed. Frees
// `file`.
bool finish_replacement(ReplacementFile* file, ReplacementError* error = nullptr);
// Closes and removes the new file; the old one stays. Frees `file`.
void abandon_replacement(ReplacementFile* file);

}  // namespace pelorin::platform
