// <windows.h> stays inside this file so that its macros reach no other code.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/standard_output_kind.h"

namespace pelorin::platform {

StandardOutputKind examine_standard_output() {
    StandardOutputKind out;
    out.utf8 = GetConsoleOutputCP() == CP_UTF8;
    const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode))
        return out;
    out.is_terminal = true;
    // Only a console already set to act on escape sequences gets them; the
    // console's modes are left as the user has them.
    out.takes_sequences = (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(handle, &info)) return out;
    out.columns = info.srWindow.Right - info.srWindow.Left + 1;
    // By default the console goes to the next row as soon as a row's last
    // cell is written, so a line that fills the row and then ends would be
    // followed by an empty row: such lines leave that cell free.
    const bool wraps_at_once =
        (mode & ENABLE_WRAP_AT_EOL_OUTPUT) != 0 && (mode & DISABLE_NEWLINE_AUTO_RETURN) == 0;
    if (wraps_at_once && info.srWindow.Right == info.dwSize.X - 1 && out.columns > 1) --out.columns;
    return out;
}

}  // namespace pelorin::platform
