// platform/windows/: the system console on Windows, this one file, with the
// checklist of what only a real Windows console can show beside it.
//
// The Windows console: every ConsoleApi operation is the Windows function of
// the same meaning, called directly. <windows.h> stays inside this file so
// that its macros never reach the engine.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "platform/console_api.h"
#include "platform/system_console.h"

namespace pelorin::platform {
namespace {

// The control handler is a plain C++ function; Windows wants a WINAPI one.
// One trampoline is registered with Windows and forwards to the handler kept
// here. The platform calls it on a thread of its own, hence the atomic.
struct CtrlState {
    std::atomic<CtrlHandler> handler{nullptr};
    bool trampoline_registered = false;
};

CtrlState ctrl_state;

// What write_file holds for a standard output that is no console: it leaves
// in one WriteFile when the program next waits (a key, a sleep, a beep, a
// block of redirected input) or ends, at the latest at held_limit bytes.
// The control handler's thread sends it too, before a console control
// event ends the process, hence the lock.
struct HeldOutput {
    static constexpr std::size_t held_limit = 64 * 1024;
    SRWLOCK lock = SRWLOCK_INIT;
    HANDLE handle = nullptr;
    std::string bytes;
};

HeldOutput held_output;

// With the lock taken. A handle that refuses the bytes drops them, as an
// unheld write would have.
void send_locked(HeldOutput& held) {
    std::size_t done = 0;
    while (done < held.bytes.size()) {
        const std::size_t left = held.bytes.size() - done;
        const DWORD chunk = left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left);
        DWORD n = 0;
        if (!WriteFile(held.handle, held.bytes.data() + done, chunk, &n, nullptr) || n == 0) break;
        done += n;
    }
    held.bytes.clear();
}

void send_held_output() {
    AcquireSRWLockExclusive(&held_output.lock);
    send_locked(held_output);
    ReleaseSRWLockExclusive(&held_output.lock);
}

void hold_output(HANDLE handle, const char* bytes, std::size_t count) {
    AcquireSRWLockExclusive(&held_output.lock);
    if (handle != held_output.handle) send_locked(held_output);
    held_output.handle = handle;
    try {
        held_output.bytes.append(bytes, count);
    } catch (const std::bad_alloc&) {
        send_locked(held_output);
        held_output.bytes.assign(bytes, count);
    }
    if (held_output.bytes.size() >= HeldOutput::held_limit) send_locked(held_output);
    ReleaseSRWLockExclusive(&held_output.lock);
}

// Asked before the default action of a console control event ends the
// process: what is held goes out first. A write of the program's own that
// is under way (a reader that does not read) is not waited for.
BOOL WINAPI send_held_at_ctrl_event(DWORD) {
    if (TryAcquireSRWLockExclusive(&held_output.lock)) {
        send_locked(held_output);
        ReleaseSRWLockExclusive(&held_output.lock);
    }
    return FALSE;
}

BOOL WINAPI ctrl_trampoline(DWORD ctrl_type) {
    const CtrlHandler handler = ctrl_state.handler.load();
    return handler != nullptr && handler(ctrl_type) ? TRUE : FALSE;
}

HANDLE to_win(Handle h) {
    return reinterpret_cast<HANDLE>(h);
}

Handle from_win(HANDLE h) {
    return h == nullptr || h == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<Handle>(h);
}

COORD to_win(Coord c) {
    return COORD{c.x, c.y};
}
Coord from_win(COORD c) {
    return Coord{c.X, c.Y};
}
SMALL_RECT to_win(Rect r) {
    return SMALL_RECT{r.left, r.top, r.right, r.bottom};
}
Rect from_win(SMALL_RECT r) {
    return Rect{r.Left, r.Top, r.Right, r.Bottom};
}

CHAR_INFO to_win(CharCell cell) {
    CHAR_INFO info{};
    info.Char.AsciiChar = static_cast<CHAR>(cell.ch);
    info.Attributes = cell.attributes;
    return info;
}

DWORD cell_count(int count) {
    return count > 0 ? static_cast<DWORD>(count) : 0;
}

InputEvent from_win(const INPUT_RECORD& record) {
    InputEvent event;
    switch (record.EventType) {
        case KEY_EVENT: {
            const KEY_EVENT_RECORD& k = record.Event.KeyEvent;
            event.kind = EventKind::key;
            event.key.key_down = k.bKeyDown != FALSE;
            event.key.repeat_count = k.wRepeatCount;
            event.key.virtual_key = k.wVirtualKeyCode;
            event.key.scan_code = k.wVirtualScanCode;
            event.key.ch = static_cast<std::uint8_t>(k.uChar.AsciiChar);
            event.key.control_state = k.dwControlKeyState;
            break;
        }
        case MOUSE_EVENT:
            event.kind = EventKind::mouse;
            break;
        case WINDOW_BUFFER_SIZE_EVENT:
            event.kind = EventKind::window_buffer_size;
            break;
        case MENU_EVENT:
            event.kind = EventKind::menu;
            break;
        // FOCUS_EVENT, and any kind a later Windows may add: the key reader
        // drops every event that is not a key, so the exact kind is moot.
        default:
            event.kind = EventKind::focus;
            break;
    }
    return event;
}

// One record, or none: the key reader handles a single event per call.
bool take_input(BOOL(WINAPI* call)(HANDLE, PINPUT_RECORD, DWORD, LPDWORD), Handle h,
                InputEvent& event, std::uint32_t& count) {
    INPUT_RECORD record{};
    DWORD n = 0;
    const BOOL ok = call(to_win(h), &record, 1, &n);
    count = ok ? n : 0;
    if (ok && n == 1) event = from_win(record);
    return ok != FALSE;
}

class Win32Console final : public ConsoleApi {
  public:
    Handle std_handle(StdHandle which) override {
        return from_win(
            GetStdHandle(which == StdHandle::input ? STD_INPUT_HANDLE : STD_OUTPUT_HANDLE));
    }

    bool get_mode(Handle h, std::uint32_t& mode) override {
        // Standard input that is no console stays none. The answer input
        // asks before every field, and under Wine every refusal is a round
        // trip to its server.
        if (h != 0 && h == redirected_input_) return false;
        DWORD m = 0;
        if (!GetConsoleMode(to_win(h), &m)) {
            if (h == std_handle(StdHandle::input)) redirected_input_ = h;
            return false;
        }
        mode = m;
        return true;
    }

    bool set_mode(Handle h, std::uint32_t mode) override {
        return SetConsoleMode(to_win(h), mode) != FALSE;
    }

    bool screen_buffer_info(Handle h, ScreenBufferInfo& info) override {
        CONSOLE_SCREEN_BUFFER_INFO csbi{};
        if (!GetConsoleScreenBufferInfo(to_win(h), &csbi)) return false;
        info.size = from_win(csbi.dwSize);
        info.cursor = from_win(csbi.dwCursorPosition);
        info.attributes = csbi.wAttributes;
        info.window = from_win(csbi.srWindow);
        return true;
    }

    bool write_cells(Handle h, const CharCell* cells, int count, Coord at) override {
        if (count <= 0) return false;
        // The engine writes runs of at most 256 cells, built on the stack;
        // only a longer row, which the engine never asks for, takes the heap.
        constexpr int stack_cells = 256;
        std::array<CHAR_INFO, stack_cells> small;
        std::vector<CHAR_INFO> large;
        CHAR_INFO* row = small.data();
        if (count > stack_cells) {
            large.resize(static_cast<std::size_t>(count));
            row = large.data();
        }
        for (int i = 0; i < count; ++i)
            row[i] = to_win(cells[i]);
        SMALL_RECT target{at.x, at.y, static_cast<SHORT>(at.x + count - 1), at.y};
        return WriteConsoleOutputA(to_win(h), row, COORD{static_cast<SHORT>(count), 1}, COORD{0, 0},
                                   &target) != FALSE;
    }

    bool scroll(Handle h, Rect source, Coord dest, CharCell fill) override {
        const SMALL_RECT src = to_win(source);
        const CHAR_INFO blank = to_win(fill);
        return ScrollConsoleScreenBufferA(to_win(h), &src, nullptr, to_win(dest), &blank) != FALSE;
    }

    bool fill_attribute(Handle h, std::uint16_t attributes, int count, Coord at) override {
        DWORD done = 0;
        return FillConsoleOutputAttribute(to_win(h), attributes, cell_count(count), to_win(at),
                                          &done) != FALSE;
    }

    bool fill_character(Handle h, std::uint8_t ch, int count, Coord at) override {
        DWORD done = 0;
        return FillConsoleOutputCharacterA(to_win(h), static_cast<CHAR>(ch), cell_count(count),
                                           to_win(at), &done) != FALSE;
    }

    bool set_cursor_position(Handle h, Coord pos) override {
        return SetConsoleCursorPosition(to_win(h), to_win(pos)) != FALSE;
    }

    bool set_window(Handle h, bool absolute, Rect window) override {
        const SMALL_RECT rect = to_win(window);
        return SetConsoleWindowInfo(to_win(h), absolute ? TRUE : FALSE, &rect) != FALSE;
    }

    bool get_cursor_info(Handle h, CursorInfo& info) override {
        CONSOLE_CURSOR_INFO cci{};
        if (!GetConsoleCursorInfo(to_win(h), &cci)) return false;
        info.size = cci.dwSize;
        info.visible = cci.bVisible != FALSE;
        return true;
    }

    bool set_cursor_info(Handle h, const CursorInfo& info) override {
        const CONSOLE_CURSOR_INFO cci{info.size, info.visible ? TRUE : FALSE};
        return SetConsoleCursorInfo(to_win(h), &cci) != FALSE;
    }

    // Held: the engine writes here only when standard output is no console.
    bool write_file(Handle h, const void* bytes, std::uint32_t count,
                    std::uint32_t& written) override {
        written = 0;
        if (h == 0) return false;
        hold_output(to_win(h), static_cast<const char*>(bytes), count);
        written = count;
        return true;
    }

    void flush() override { send_held_output(); }

    // Both are consoles: the one console of the process, as a rule.
    bool shows_standard_error() override {
        CONSOLE_SCREEN_BUFFER_INFO csbi{};
        DWORD mode = 0;
        return GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &csbi) &&
               GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode);
    }

    bool peek_input(Handle h, InputEvent& event, std::uint32_t& count) override {
        flush();
        return take_input(PeekConsoleInputA, h, event, count);
    }

    bool read_input(Handle h, InputEvent& event, std::uint32_t& count) override {
        flush();
        return take_input(ReadConsoleInputA, h, event, count);
    }

    std::uint32_t map_virtual_key_char(std::uint32_t virtual_key) override {
        return MapVirtualKeyA(virtual_key, MAPVK_VK_TO_CHAR);
    }

    bool set_ctrl_handler(CtrlHandler handler, bool add) override;

    void beep(std::uint32_t frequency_hz, std::uint32_t duration_ms) override {
        flush();
        Beep(frequency_hz, duration_ms);
    }

    void sleep(std::uint32_t ms) override {
        flush();
        Sleep(ms);
    }

  private:
    Handle redirected_input_ = 0;
};

// One platform handler at a time, which is all the key reader installs:
// adding while one is installed replaces it, and removing takes out the
// handler only if it is the installed one. A null handler keeps its Windows
// meaning (Ctrl+C ignored or not) and goes straight through.
bool Win32Console::set_ctrl_handler(CtrlHandler handler, bool add) {
    if (handler == nullptr) return SetConsoleCtrlHandler(nullptr, add ? TRUE : FALSE) != FALSE;
    if (add) {
        // Stored first, so that an event arriving as soon as the trampoline
        // is registered already finds the handler.
        ctrl_state.handler.store(handler);
        if (!ctrl_state.trampoline_registered) {
            ctrl_state.trampoline_registered =
                SetConsoleCtrlHandler(ctrl_trampoline, TRUE) != FALSE;
            if (!ctrl_state.trampoline_registered) ctrl_state.handler.store(nullptr);
        }
        return ctrl_state.trampoline_registered;
    }
    if (!ctrl_state.trampoline_registered || ctrl_state.handler.load() != handler) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (!SetConsoleCtrlHandler(ctrl_trampoline, FALSE)) return false;
    ctrl_state.trampoline_registered = false;
    ctrl_state.handler.store(nullptr);
    return true;
}

}  // namespace

// The control handler's record; a trampoline still registered with Windows
// is taken out first. What is held goes out.
void reset_system_console_state() {
    send_held_output();
    if (ctrl_state.trampoline_registered) (void)SetConsoleCtrlHandler(ctrl_trampoline, FALSE);
    ctrl_state.trampoline_registered = false;
    ctrl_state.handler.store(nullptr);
}

std::unique_ptr<ConsoleApi> make_system_console() {
    // Redirected answers are read byte for byte, as on every other system:
    // the C runtime's text mode would drop carriage returns and end the
    // input at the first Ctrl+Z byte.
    (void)_setmode(_fileno(stdin), _O_BINARY);
    // What is held leaves at the end, and before a control event ends the
    // process.
    static const bool sends_at_end = std::atexit(send_held_output) == 0 &&
                                     SetConsoleCtrlHandler(send_held_at_ctrl_event, TRUE) != FALSE;
    (void)sends_at_end;
    return std::make_unique<Win32Console>();
}

}  // namespace pelorin::platform
