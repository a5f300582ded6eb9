#include "platform/standard_output_kind.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/posix/terminal_options.h"

namespace pelorin::platform {

// The questionnaire's rules for the locale and for escape sequences.
StandardOutputKind examine_standard_output() {
    const TerminalOptions options = TerminalOptions::from_environment();
    StandardOutputKind out;
    out.utf8 = options.utf8;
    out.is_terminal = ::isatty(STDOUT_FILENO) == 1;
    if (!out.is_terminal) return out;
    out.takes_sequences = options.takes_sequences();
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0) out.columns = size.ws_col;
    return out;
}

}  // namespace pelorin::platform
