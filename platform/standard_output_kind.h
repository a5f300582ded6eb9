// What kind of thing standard output is, for a program that draws text
// charts on it (pelorin-results): a terminal window or a file or pipe, how
// wide the window is, whether it acts on escape sequences and whether it
// shows UTF-8 text. One implementation per system, in platform/posix/ and
// platform/windows/.
#pragma once

namespace pelorin::platform {

struct StandardOutputKind {
    bool is_terminal = false;      // a terminal window (a console on Windows)
    bool takes_sequences = false;  // it acts on escape sequences such as bold
    bool utf8 = false;             // text in UTF-8 shows as its characters
    // The columns a line may fill without an empty row after it: the
    // window's width, or one less; 0 when unknown.
    int columns = 0;
};

// Looks at standard output without changing it.
StandardOutputKind examine_standard_output();

}  // namespace pelorin::platform
