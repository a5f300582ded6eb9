#include "platform/posix/terminal_modes.h"
#include "platform/posix/terminal_signals.h"
#include "platform/posix/terminal_sys.h"
#include "platform/system_console_internal.h"

namespace pelorin::platform {

// The terminal console's records: the window-change flag, the signal
// handlers' record and the terminal modes remembered for giving back.
void reset_system_console_state() {
    reset_terminal_signals();
    reset_terminal_signal_state();
    reset_terminal_mode_record();
}

}  // namespace pelorin::platform
