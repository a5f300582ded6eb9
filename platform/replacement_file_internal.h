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
    std::string name;       // the file to replace
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
};

namespace replacement_steps {

// Looks at what has the name now; false when it must be left alone.
bool inspect_old(ReplacementFile& file);

enum class Created { yes, name_taken, no };
// Creates file.temporary, which must not exist yet, with the permissions the
// new file is to have, opens file.stream on it and has it removed at an
// abnormal end of the program.
Created create_temporary(ReplacementFile& file);
// Hands the written bytes to the disk; false when the device reports an error.
bool sync(ReplacementFile& file);
// Gives the closed temporary the name; false when that failed.
bool move_into_place(ReplacementFile& file);
// Removes the closed temporary.
void remove_temporary(ReplacementFile& file);
// Tells this process's temporaries from another's.
unsigned long process_number();

}  // namespace replacement_steps
}  // namespace pelorin::platform
