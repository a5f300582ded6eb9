// How the terminal console is set up: the terminal's name, its encoding and
// the code page of the program's characters, read from the environment.
// pelorin-results reads its output's the same way (standard_output_kind.h),
// so this is a module of its own: that program takes it without the
// console.
#pragma once

#include <string>

#include "platform/code_page.h"

namespace pelorin::platform {

struct TerminalOptions {
    std::string term;   // the TERM variable, empty when unset
    bool utf8 = false;  // the user's locale encodes characters in UTF-8
    // The code page of the program's characters: 866 for a user whose
    // language is written in Cyrillic, 437 for everyone else.
    CodePage code_page = CodePage::cp437;
    int input_fd = 0;
    int output_fd = 1;
    std::string tty_path = "/dev/tty";

    static TerminalOptions from_environment();

    // A terminal without a name, or one that says it is "dumb", may show
    // escape sequences as text, and its cursor cannot be moved: nothing is
    // drawn on it, and its keys are not read one by one either, so that
    // what the user sees is what the program takes. It keeps its own line
    // editing, and the program reads lines from it as from a file.
    bool takes_sequences() const { return !term.empty() && term != "dumb"; }
};

// What the locale the user chose says about the terminal's characters: the
// first of LC_ALL, LC_CTYPE and LANG that is set names it (nothing: "C").
// The name is read, so a locale that is not installed counts too; only a
// name without an encoding asks the system what its encoding is; the C
// and POSIX locales count as UTF-8. The program's own locale is left as it is.
void read_locale(TerminalOptions& options, const char* lc_all, const char* lc_ctype,
                 const char* lang);

}  // namespace pelorin::platform
