// The one status cell of the text services. Every service operation leaves
// its outcome here; nothing in the program reads it back, and no status has a
// message text: failures are silent by design.
#pragma once

namespace pelorin::textio {

enum Status : int {
    STATUS_OK = 0,
    STATUS_BAD_CALL = 1,
    STATUS_FILE_NOT_FOUND = 2,
    STATUS_FILE_IO = 3,
    STATUS_OUT_OF_MEMORY = 4,
};

// The status left by the last service operation.
extern Status last_status;

// Records `s` in last_status and returns it, so operations can end with
// `return set_status(...)`.
inline Status set_status(Status s) {
    last_status = s;
    return s;
}

}  // namespace pelorin::textio
