#include "platform/output_terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/posix/terminal_console.h"

namespace pelorin::platform {

OutputTerminal examine_standard_output() {
    OutputTerminal out;
    out.utf8 = locale_is_utf8();
    out.is_terminal = ::isatty(STDOUT_FILENO) == 1;
    if (!out.is_terminal) return out;
    // As for the questionnaire's screen: a terminal without a name, or one
    // that says it is "dumb", may show escape sequences as text.
    const char* term = std::getenv("TERM");
    out.takes_sequences = term != nullptr && *term != '\0' && std::strcmp(term, "dumb") != 0;
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0) out.columns = size.ws_col;
    return out;
}

// POSIX streams never translate line ends.
void set_standard_output_binary() {}

}  // namespace pelorin::platform
