#include "textio/console_output.h"

#include <cstdint>

#include "textio/print.h"

namespace pelorin::textio {

ConsoleState console_state;

void reset_console_state() { console_state = ConsoleState{}; }

namespace {

platform::ConsoleApi& api() { return platform::console(); }

void fill_window_once() {
    if (!console_state.window_filled) {
        console_state.window_filled = true;
        console_refresh_window();
    }
}

// Standard output that is not a console gets exactly the bytes given.
void write_redirected(const std::uint8_t* bytes, std::size_t length) {
    const platform::Handle out = console_handles(0);
    while (length > 0) {
        const auto chunk = static_cast<std::uint32_t>(length > 0x40000000 ? 0x40000000 : length);
        std::uint32_t written = 0;
        // A call that reports success but writes nothing would never make
        // progress: it ends the write like a failure.
        if (!api().write_file(out, bytes, chunk, written) || written == 0) return;
        bytes += written;
        length -= written;
    }
}

}  // namespace

platform::Handle console_handles(int which) {
    if (!console_state.handles_fetched) {
        console_state.handles_fetched = true;
        console_state.input_handle = api().std_handle(platform::StdHandle::input);
        console_state.output_handle = api().std_handle(platform::StdHandle::output);
        std::uint32_t mode = 0;
        if (console_state.input_handle != 0 && api().get_mode(console_state.input_handle, mode)) {
            (void)api().set_mode(console_state.input_handle, mode | platform::enable_processed_input);
        }
    }
    return which == 1 ? console_state.input_handle : console_state.output_handle;
}

void console_refresh_window() {
    platform::ScreenBufferInfo info;
    ConsoleWindow& w = console_state.window;
    if (api().screen_buffer_info(console_handles(0), info)) {
        w.left = 0;
        w.top = info.window.top;
        w.right = static_cast<std::int16_t>(info.size.x - 1);
        w.bottom = info.window.bottom;
    } else {
        w = ConsoleWindow{};
    }
}

void console_get_size(int* width, int* height) {
    fill_window_once();
    const ConsoleWindow& w = console_state.window;
    const bool empty = w.empty();
    if (width != nullptr) *width = empty ? 80 : w.right - w.left + 1;
    if (height != nullptr) *height = empty ? 25 : w.bottom - w.top + 1;
}

void console_get_cursor(int* column, int* row) {
    fill_window_once();
    platform::ScreenBufferInfo info;
    int c = 0;
    int r = 0;
    if (api().screen_buffer_info(console_handles(0), info)) {
        c = info.cursor.x - console_state.window.left + 1;
        r = info.cursor.y - console_state.window.top + 1;
    }
    if (column != nullptr) *column = c;
    if (row != nullptr) *row = r;
}

int console_get_column() {
    fill_window_once();
    platform::ScreenBufferInfo info;
    const int x = api().screen_buffer_info(console_handles(0), info) ? info.cursor.x : 0;
    return console_state.window.empty() ? x : x - console_state.window.left + 1;
}

int console_get_row() {
    fill_window_once();
    platform::ScreenBufferInfo info;
    const int y = api().screen_buffer_info(console_handles(0), info) ? info.cursor.y : 0;
    return console_state.window.empty() ? y : y - console_state.window.top + 1;
}

void console_write_raw(const void* bytes, std::size_t length, unsigned flags) {
    if (length == 0 && (flags & WRITE_ADJUST) == 0) return;
    fill_window_once();
    if (console_state.window.empty()) {
        write_redirected(static_cast<const std::uint8_t*>(bytes), length);
        return;
    }
    // The console path (screen buffer, wrapping, scrolling) comes with the
    // output engine; until then a console gets the bytes unchanged.
    write_redirected(static_cast<const std::uint8_t*>(bytes), length);
}

void console_set_cursor(int row, int column, int cursor_visible) {
    const platform::Handle out = console_handles(0);
    platform::ScreenBufferInfo info;
    const bool known = api().screen_buffer_info(out, info);
    if (column < 0) column = known ? info.cursor.x : 0;
    if (row < 0) row = known ? info.cursor.y : 0;
    if (cursor_visible >= 0) {
        platform::CursorInfo ci;
        (void)api().get_cursor_info(out, ci);
        ci.visible = cursor_visible != 0;
        (void)api().set_cursor_info(out, ci);
    }
    console_state.scroll_pending = false;
    (void)api().set_cursor_position(
        out, platform::Coord{static_cast<std::int16_t>(column), static_cast<std::int16_t>(row)});
}

}  // namespace pelorin::textio
