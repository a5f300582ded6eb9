#include "platform/posix/terminal_signals.h"
#include "platform/system_console_internal.h"

namespace pelorin::platform {

// The terminal console's records: the one record of everything its signal
// handlers read and write, the terminal modes to give back included.
void reset_system_console_state() {
    reset_terminal_signal_state();
}

}  // namespace pelorin::platform
