#include "textio/status.h"

namespace pelorin::textio {

Status last_status = STATUS_OK;

}  // namespace pelorin::textio
