// POSIX console: for now, standard output gets plain bytes and standard input
// is read as a stream (the terminal's own line input edits the answers).
#include <unistd.h>

#include <cerrno>

#include "platform/console_api.h"
#include "platform/us_keyboard.h"

namespace pelorin::platform {
namespace {

class StreamConsole final : public ConsoleApi {
public:
    Handle std_handle(StdHandle which) override { return which == StdHandle::input ? 1 : 2; }
    bool get_mode(Handle, std::uint32_t&) override { return false; }
    bool set_mode(Handle, std::uint32_t) override { return false; }
    bool screen_buffer_info(Handle, ScreenBufferInfo&) override { return false; }
    bool write_cells(Handle, const CharCell*, int, Coord) override { return false; }
    bool scroll(Handle, Rect, Coord, CharCell) override { return false; }
    bool fill_attribute(Handle, std::uint16_t, int, Coord) override { return false; }
    bool fill_character(Handle, std::uint8_t, int, Coord) override { return false; }
    bool set_cursor_position(Handle, Coord) override { return false; }
    bool set_window(Handle, bool, Rect) override { return false; }
    bool get_cursor_info(Handle, CursorInfo&) override { return false; }
    bool set_cursor_info(Handle, const CursorInfo&) override { return false; }
    bool write_file(Handle h, const void* bytes, std::uint32_t count,
                    std::uint32_t& written) override {
        written = 0;
        if (h != 2) return false;
        ssize_t n;
        do {
            n = ::write(STDOUT_FILENO, bytes, count);
        } while (n < 0 && errno == EINTR);
        if (n < 0) return false;
        written = static_cast<std::uint32_t>(n);
        return true;
    }
    bool peek_input(Handle, InputEvent&, std::uint32_t& count) override {
        count = 0;
        return false;
    }
    bool read_input(Handle, InputEvent&, std::uint32_t& count) override {
        count = 0;
        return false;
    }
    std::uint32_t map_virtual_key_char(std::uint32_t vk) override { return us_vk_to_char(vk); }
    bool set_ctrl_handler(CtrlHandler, bool) override { return true; }
    void beep(std::uint32_t, std::uint32_t) override {}
    void sleep(std::uint32_t ms) override { ::usleep(ms * 1000); }
};

}  // namespace

std::unique_ptr<ConsoleApi> make_system_console() { return std::make_unique<StreamConsole>(); }

}  // namespace pelorin::platform
