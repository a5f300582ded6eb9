// platform/: the bottom layer, the console as the text services see it.
// console_api (this header) is its front door: the console functions, the
// process's console and the platform's one reset. code_page and us_keyboard
// are the code pages and the keyboard layout the consoles share,
// scroll_cells the rectangle scroll of those that keep their cells
// themselves. The real console of the system is chosen by CMake: posix/ (a
// POSIX terminal) or windows/ (the Windows console); each also defines
// system_console.h's reset. Beside the console: replacement_file (a file
// that replaces another only once complete: RESULTS.TXT), standard_streams
// (the standard streams at start, standard input's bytes) and
// standard_output_kind (what standard output is, for pelorin-results'
// charts), whose system calls are in posix/ and windows/ too; and utf8, the
// one UTF-8 codec of the program. testing/ holds the in-memory console every
// engine, key-reader and editor test runs on, and the other test support.
//
// The small set of console functions the text services call.
//
// Each operation mirrors one Windows console function with the same meaning and
// arguments, in plain C++ types, so that the output engine and the key reader
// are written once against the Windows semantics and run unchanged over the
// real Windows console, a POSIX terminal, or an in-memory console in tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace pelorin::platform {

// Opaque console handle; 0 means "no handle" (GetStdHandle returned null).
using Handle = std::uintptr_t;

enum class StdHandle { input, output };

// Screen-buffer coordinate (COORD): column x, row y, both from 0. Console
// coordinates fit in 16 bits; callers compute in int and pass ints.
struct Coord {
    std::int16_t x = 0;
    std::int16_t y = 0;
    constexpr Coord() = default;
    constexpr Coord(int x, int y)
        : x(static_cast<std::int16_t>(x)), y(static_cast<std::int16_t>(y)) {}
    friend bool operator==(const Coord&, const Coord&) = default;
};

// Inclusive rectangle (SMALL_RECT), in the same 16-bit coordinates.
struct Rect {
    std::int16_t left = 0;
    std::int16_t top = 0;
    std::int16_t right = 0;
    std::int16_t bottom = 0;
    constexpr Rect() = default;
    constexpr Rect(int left, int top, int right, int bottom)
        : left(static_cast<std::int16_t>(left)),
          top(static_cast<std::int16_t>(top)),
          right(static_cast<std::int16_t>(right)),
          bottom(static_cast<std::int16_t>(bottom)) {}
    constexpr int width() const { return right - left + 1; }
    constexpr int height() const { return bottom - top + 1; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// CONSOLE_SCREEN_BUFFER_INFO, the fields the engine reads.
struct ScreenBufferInfo {
    Coord size;                    // dwSize: columns and rows of the screen buffer
    Coord cursor;                  // dwCursorPosition
    std::uint16_t attributes = 7;  // wAttributes
    Rect window;                   // srWindow: the visible window, absolute
};

// CHAR_INFO with an 8-bit character.
struct CharCell {
    std::uint8_t ch = ' ';
    std::uint16_t attributes = 7;
};

// CONSOLE_CURSOR_INFO.
struct CursorInfo {
    std::uint32_t size = 25;
    bool visible = true;
};

// dwControlKeyState bits of a key event.
namespace key_state {
inline constexpr std::uint32_t right_alt = 0x0001;
inline constexpr std::uint32_t left_alt = 0x0002;
inline constexpr std::uint32_t right_ctrl = 0x0004;
inline constexpr std::uint32_t left_ctrl = 0x0008;
inline constexpr std::uint32_t shift = 0x0010;
inline constexpr std::uint32_t num_lock = 0x0020;
inline constexpr std::uint32_t scroll_lock = 0x0040;
inline constexpr std::uint32_t caps_lock = 0x0080;
inline constexpr std::uint32_t enhanced = 0x0100;
inline constexpr std::uint32_t any_alt = right_alt | left_alt;
inline constexpr std::uint32_t any_ctrl = right_ctrl | left_ctrl;
}  // namespace key_state

// KEY_EVENT_RECORD with an 8-bit character (uChar.AsciiChar).
struct KeyEvent {
    bool key_down = true;
    std::uint16_t repeat_count = 1;
    std::uint16_t virtual_key = 0;
    std::uint16_t scan_code = 0;
    std::uint8_t ch = 0;
    std::uint32_t control_state = 0;
    friend bool operator==(const KeyEvent&, const KeyEvent&) = default;
};

// INPUT_RECORD: key events carry a KeyEvent; every other kind is dropped by
// the key reader, so only its kind is kept.
enum class EventKind { key, mouse, window_buffer_size, menu, focus };

struct InputEvent {
    EventKind kind = EventKind::key;
    KeyEvent key;
};

// Console control events (CTRL_*_EVENT).
namespace ctrl_event {
inline constexpr std::uint32_t c = 0;
inline constexpr std::uint32_t brk = 1;
inline constexpr std::uint32_t close = 2;
inline constexpr std::uint32_t logoff = 5;
inline constexpr std::uint32_t shutdown = 6;
}  // namespace ctrl_event

// A console control handler: returns true when it handled the event. Called on
// a thread of the platform's, or from a signal handler on POSIX terminals, so
// it must only do what is safe there.
using CtrlHandler = bool (*)(std::uint32_t ctrl_type);

// Console input mode bit switched on by the engine (ENABLE_PROCESSED_INPUT).
inline constexpr std::uint32_t enable_processed_input = 0x0001;

class ConsoleApi {
  public:
    virtual ~ConsoleApi() = default;

    // GetStdHandle; 0 when there is none.
    virtual Handle std_handle(StdHandle which) = 0;
    // GetConsoleMode / SetConsoleMode; get fails when the handle is not a console.
    virtual bool get_mode(Handle h, std::uint32_t& mode) = 0;
    virtual bool set_mode(Handle h, std::uint32_t mode) = 0;

    // GetConsoleScreenBufferInfo; fails when the handle is not a console.
    virtual bool screen_buffer_info(Handle h, ScreenBufferInfo& info) = 0;
    // WriteConsoleOutputA of `count` cells as one row, source corner (0, 0),
    // target rectangle from `at` to (at.x + count - 1, at.y), clipped to the buffer.
    virtual bool write_cells(Handle h, const CharCell* cells, int count, Coord at) = 0;
    // ScrollConsoleScreenBufferA with no clip rectangle: moves `source` so its
    // top-left lands on `dest`; the cells of `source` not covered by the moved
    // rectangle are filled with `fill`.
    virtual bool scroll(Handle h, Rect source, Coord dest, CharCell fill) = 0;
    // FillConsoleOutputAttribute / FillConsoleOutputCharacterA: `count` cells
    // from `at`, continuing on the next rows, stopping at the buffer's end.
    virtual bool fill_attribute(Handle h, std::uint16_t attributes, int count, Coord at) = 0;
    virtual bool fill_character(Handle h, std::uint8_t ch, int count, Coord at) = 0;
    // SetConsoleCursorPosition; fails outside the buffer.
    virtual bool set_cursor_position(Handle h, Coord pos) = 0;
    // SetConsoleWindowInfo; fails when the window would leave the buffer.
    virtual bool set_window(Handle h, bool absolute, Rect window) = 0;
    // GetConsoleCursorInfo / SetConsoleCursorInfo.
    virtual bool get_cursor_info(Handle h, CursorInfo& info) = 0;
    virtual bool set_cursor_info(Handle h, const CursorInfo& info) = 0;

    // WriteFile: raw bytes, used when standard output is not a console. The
    // system consoles hold them like drawing (see flush), so success means
    // taken; a device that then refuses them drops them, and nothing is said.
    virtual bool write_file(Handle h, const void* bytes, std::uint32_t count,
                            std::uint32_t& written) = 0;

    // PeekConsoleInputA / ReadConsoleInputA for one record; `count` is the
    // number of records reported (0 or 1). Peek never waits.
    virtual bool peek_input(Handle h, InputEvent& event, std::uint32_t& count) = 0;
    virtual bool read_input(Handle h, InputEvent& event, std::uint32_t& count) = 0;
    // MapVirtualKeyA(vk, MAPVK_VK_TO_CHAR): the key's unshifted character, 0 if none.
    virtual std::uint32_t map_virtual_key_char(std::uint32_t virtual_key) = 0;
    // SetConsoleCtrlHandler.
    virtual bool set_ctrl_handler(CtrlHandler handler, bool add) = 0;

    // Beep (waits until the sound has ended) and Sleep.
    virtual void beep(std::uint32_t frequency_hz, std::uint32_t duration_ms) = 0;
    virtual void sleep(std::uint32_t ms) = 0;

    // The characters of a line typed at the console, as the user's own files
    // hold text read there: the console's code page as it is on the Windows
    // console; on a terminal, its encoding (UTF-8, as a rule).
    virtual std::string text_for_files(std::string_view typed) { return std::string(typed); }

    // Whether the screen buffer is the visible window itself, as on a
    // terminal: the user changes the size of both at once, at any moment,
    // and the console keeps what it shows in step itself.
    virtual bool buffer_is_window() const { return false; }

    // Standard error, for the one line the user must read whatever happens
    // to the screen (the results could not be saved). Where it shows in
    // this console's own window (the same terminal, the same Windows
    // console), the line is to be drawn like any output, which keeps the
    // screen as the console knows it; elsewhere write_error_line writes it
    // there, with a line end, after what the console holds back, so that a
    // stream that takes both keeps their order.
    virtual bool shows_standard_error() { return false; }
    virtual void write_error_line(std::string_view line);

    // A console may hold back what it has drawn, and the bytes of
    // write_file, until the program next waits (for a key, a sleep, a beep,
    // or bytes of redirected input that have not come yet) or ends, so that
    // each wait costs one write; flush hands them to the device now.
    // Consoles that draw at once ignore it.
    virtual void flush() {}
};

// The process's console. Until one is installed this is the system console
// made by make_system_console().
ConsoleApi& console();
// Installs `c` as the process's console (tests install a MemoryConsole) and
// returns the previous one; nullptr goes back to the system console.
ConsoleApi* set_console(ConsoleApi* c);

// Puts the platform back as it is at start: the system console is the
// process's console again, and the process-wide records of this system's
// console are forgotten. Tests, fuzz targets and benchmarks reset the
// platform through this alone.
void reset_platform();

// The real console of this platform: Win32Console on Windows, TerminalConsole
// elsewhere. Defined in the platform's own implementation file.
std::unique_ptr<ConsoleApi> make_system_console();

}  // namespace pelorin::platform
