// The steps of a replacement that differ between systems, each defined in
// the system's own file (posix/, windows/), and the record they share.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/replacement_file.h"

namespace pelorin::platform {

struct ReplacementFile {
    std::string name;       // the file to replace (a followed link's target)
    std::string temporary;  // the new file, beside it, until it takes the name
    // A regular file had the name: its permissions (POSIX mode bits and
    // owner, or Windows attributes) pass to the new file.
    bool old_is_file = false;
    std::uint32_t old_permissions = 0;
    std::uint32_t old_owner = 0;
    std::uint32_t old_group = 0;
    // The slot that has the temporary removed at an abnormal end; -1 when none.
    int removal_slot = -1;
    std::FILE* stream = nullptr;
    std::array<char, replacement_buffer_bytes> buffer{};
    // Rewritten in place: the old file open for writing (a descriptor, or a
    // Windows handle), and the new content, written over it at the finish.
    bool in_place = false;
    std::intptr_t in_place_handle = -1;
    std::string in_place_content;
    // The system's number for the first error of a step (errno, or a
    // Windows error code); 0 while none.
    int error = 0;
};

namespace replacement_steps {

// Looks at what has the name now, following the links that may be
// followed; false when it must be left alone.
bool inspect_old(ReplacementFile& file);

// no: failed; refused: the folder takes no new file (no right to make one).
enum class Created { yes, name_taken, refused, no };
// Creates file.temporary, which must not exist yet, with the permissions the
// new file is to have, opens file.stream on it and has it removed at an
// abnormal end of the program.
Created create_temporary(ReplacementFile& file);
// Hands the written bytes to the disk; false when the device reports an error.
bool sync(ReplacementFile& file);
// Gives the closed temporary the name, and hands the folder's entry to the
// disk; false when that failed.
bool move_into_place(ReplacementFile& file);
// Removes the closed temporary.
void remove_temporary(ReplacementFile& file);

// Opens the old regular file itself for a rewrite (file.in_place_handle).
bool open_in_place(ReplacementFile& file);
// Writes file.in_place_content over the old content, cuts the file after
// it, hands it to the disk and closes it; the ending signals wait
// meanwhile, so that no end of the program comes between.
bool rewrite_in_place(ReplacementFile& file);
// Closes the old file (unless that was done), unchanged.
void close_in_place(ReplacementFile& file);

// Keeps the system's number of the error a step just met in file.error,
// unless an earlier one is kept.
void note_error(ReplacementFile& file);
// The system's number for running out of memory.
int out_of_memory_error();
// The system's words for an error number, without a final full stop.
std::string describe_error(int error);
// Tells this process's temporaries from another's.
unsigned long process_number();

}  // namespace replacement_steps
}  // namespace pelorin::platform
