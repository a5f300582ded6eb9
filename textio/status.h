// The outcome of a service operation, as a small number. Nothing in the
// program shows one: failures of the text services are silent by design,
// and the questionnaire never asks. Tests check them.
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
