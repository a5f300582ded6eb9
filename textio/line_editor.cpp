// Interim: replaced by the line editor.
#include "textio/line_editor.h"
namespace pelorin::textio {
std::optional<Text> read_console_line() { return Text{}; }
CursorPos advance_position(CursorPos from, long, int) { return from; }
void move_cursor_by(CursorPos, long, int, int) {}
}  // namespace pelorin::textio
