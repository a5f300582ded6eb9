// The outcome of a service operation that can fail, as a small number. The
// operation returns it; nothing shows it: failures of the text services are
// silent by design. The one the questionnaire asks for is whether the
// results file was saved, which the user is always told.
#pragma once

namespace pelorin::textio {

enum Status : int {
    STATUS_OK = 0,
    STATUS_BAD_CALL = 1,
    STATUS_FILE_NOT_FOUND = 2,
    STATUS_FILE_IO = 3,
    STATUS_OUT_OF_MEMORY = 4,
};

}  // namespace pelorin::textio
