// The Windows console backend against the real console API (run under Wine
// by tools/wine-test.sh). The results are read back with Windows calls of
// their own, so a wrong argument in the backend shows as a wrong cell.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/console_api.h"
#include "platform/us_keyboard.h"

namespace pelorin::platform {
namespace {

Handle handle_of(HANDLE h) {
    return reinterpret_cast<Handle>(h);
}

// A headless Wine has no console, so the tests that need one skip there;
// tools/wine-test.sh gives the tests a console and sets this variable so that
// a missing console fails them instead of hiding them.
bool console_required() {
    return GetEnvironmentVariableA("PELORIN_REQUIRE_CONSOLE", nullptr, 0) > 0;
}

// Marks the test skipped, or failed where a console is required, when there
// is no console; SetUp returns then and the test body does not run.
void expect_console(bool present) {
    if (present) return;
    if (console_required()) FAIL() << "no console attached";
    GTEST_SKIP() << "no console attached (run through tools/wine-test.sh)";
}

// A scratch file removed when closed.
HANDLE temp_file() {
    char dir[MAX_PATH];
    char name[MAX_PATH];
    if (GetTempPathA(MAX_PATH, dir) == 0 || GetTempFileNameA(dir, "pel", 0, name) == 0) {
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

std::string file_contents(HANDLE file) {
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    std::string bytes(64, '\0');
    DWORD n = 0;
    if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr)) n = 0;
    bytes.resize(n);
    return bytes;
}

// --- handles and redirected output (no console needed) ---------------------

class Win32StdHandle : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_input_ = GetStdHandle(STD_INPUT_HANDLE);
        saved_output_ = GetStdHandle(STD_OUTPUT_HANDLE);
    }
    void TearDown() override {
        SetStdHandle(STD_INPUT_HANDLE, saved_input_);
        SetStdHandle(STD_OUTPUT_HANDLE, saved_output_);
    }
    std::unique_ptr<ConsoleApi> api_ = make_system_console();

  private:
    HANDLE saved_input_ = nullptr;
    HANDLE saved_output_ = nullptr;
};

TEST_F(Win32StdHandle, GivesTheHandleValueAndZeroForNullOrInvalid) {
    HANDLE file = temp_file();
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetStdHandle(STD_INPUT_HANDLE, nullptr));
    ASSERT_TRUE(SetStdHandle(STD_OUTPUT_HANDLE, file));
    EXPECT_EQ(api_->std_handle(StdHandle::input), 0u);
    EXPECT_EQ(api_->std_handle(StdHandle::output), handle_of(file));
    ASSERT_TRUE(SetStdHandle(STD_INPUT_HANDLE, file));
    ASSERT_TRUE(SetStdHandle(STD_OUTPUT_HANDLE, INVALID_HANDLE_VALUE));
    EXPECT_EQ(api_->std_handle(StdHandle::input), handle_of(file));
    EXPECT_EQ(api_->std_handle(StdHandle::output), 0u);
    CloseHandle(file);
}

TEST(Win32NotAConsole, FilesAndPipesFailEveryConsoleCall) {
    auto api = make_system_console();
    HANDLE file = temp_file();
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE pipe_read = nullptr;
    HANDLE pipe_write = nullptr;
    ASSERT_TRUE(CreatePipe(&pipe_read, &pipe_write, nullptr, 0));
    for (HANDLE win : {file, pipe_read, pipe_write}) {
        const Handle h = handle_of(win);
        std::uint32_t mode = 0x1234;
        EXPECT_FALSE(api->get_mode(h, mode));
        EXPECT_EQ(mode, 0x1234u) << "a failed query leaves the mode alone";
        ScreenBufferInfo info;
        EXPECT_FALSE(api->screen_buffer_info(h, info));
        const CharCell cell{'x', 7};
        EXPECT_FALSE(api->write_cells(h, &cell, 1, Coord{0, 0}));
        EXPECT_FALSE(api->set_cursor_position(h, Coord{0, 0}));
        CursorInfo cursor;
        EXPECT_FALSE(api->get_cursor_info(h, cursor));
        InputEvent event;
        std::uint32_t count = 7;
        EXPECT_FALSE(api->peek_input(h, event, count));
        EXPECT_EQ(count, 0u);
    }
    EXPECT_EQ(file_contents(file), "") << "console calls wrote into the file";
    CloseHandle(pipe_read);
    CloseHandle(pipe_write);
    CloseHandle(file);
}

TEST(Win32WriteFile, BytesReachAFileUnchanged) {
    auto api = make_system_console();
    HANDLE file = temp_file();
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string bytes("A\t\a\b\r\n\0\xFFz", 9);
    std::uint32_t written = 0;
    ASSERT_TRUE(api->write_file(handle_of(file), bytes.data(), 9, written));
    EXPECT_EQ(written, 9u);
    ASSERT_TRUE(api->write_file(handle_of(file), "ok", 2, written));
    EXPECT_EQ(written, 2u);
    EXPECT_EQ(file_contents(file), "");  // held until the program waits
    api->sleep(0);
    EXPECT_EQ(file_contents(file), bytes + "ok");
    CloseHandle(file);
}

TEST(Win32WriteFile, ReachesAPipeWhenTheProgramWaitsAndDropsWhatAHandleRefuses) {
    auto api = make_system_console();
    HANDLE pipe_read = nullptr;
    HANDLE pipe_write = nullptr;
    ASSERT_TRUE(CreatePipe(&pipe_read, &pipe_write, nullptr, 0));
    std::uint32_t written = 0;
    ASSERT_TRUE(api->write_file(handle_of(pipe_write), "Q  1: ", 6, written));
    EXPECT_EQ(written, 6u);
    ASSERT_TRUE(api->write_file(handle_of(pipe_write), "y", 1, written));
    DWORD waiting = 99;
    ASSERT_TRUE(PeekNamedPipe(pipe_read, nullptr, 0, nullptr, &waiting, nullptr));
    EXPECT_EQ(waiting, 0u);
    api->flush();
    char got[16] = {};
    DWORD n = 0;
    ASSERT_TRUE(ReadFile(pipe_read, got, sizeof got, &n, nullptr));
    EXPECT_EQ(std::string(got, n), "Q  1: y");

    // The read end takes nothing: the bytes are dropped, nothing is said.
    ASSERT_TRUE(api->write_file(handle_of(pipe_read), "x", 1, written));
    api->flush();
    ASSERT_TRUE(api->write_file(handle_of(pipe_write), "z", 1, written));
    api->flush();
    ASSERT_TRUE(ReadFile(pipe_read, got, sizeof got, &n, nullptr));
    EXPECT_EQ(std::string(got, n), "z");
    written = 99;
    EXPECT_FALSE(api->write_file(0, "x", 1, written));
    EXPECT_EQ(written, 0u);
    CloseHandle(pipe_read);
    CloseHandle(pipe_write);
}

TEST(Win32WriteFile, HeldBytesGoOutAtTheLimit) {
    auto api = make_system_console();
    HANDLE file = temp_file();
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string line(1000, 'w');
    std::uint32_t written = 0;
    for (int i = 0; i < 70; ++i)
        ASSERT_TRUE(api->write_file(handle_of(file), line.data(), 1000, written));
    const auto size = [file] {
        LARGE_INTEGER bytes{};
        return GetFileSizeEx(file, &bytes) ? bytes.QuadPart : -1;
    };
    EXPECT_EQ(size(), 66000);  // the first 66 lines passed 64 KiB
    api->flush();
    EXPECT_EQ(size(), 70000);
    CloseHandle(file);
}

// --- keyboard layout, timing --------------------------------------------------

TEST(Win32MapVirtualKey, AgreesWithTheUsTableOfTheOtherConsoles) {
    auto api = make_system_console();
    for (std::uint32_t vk = 0; vk < 256; ++vk) {
        EXPECT_EQ(api->map_virtual_key_char(vk), us_vk_to_char(vk)) << "vk " << vk;
    }
    EXPECT_EQ(api->map_virtual_key_char('Q'), static_cast<std::uint32_t>('Q'));
    EXPECT_EQ(api->map_virtual_key_char(VK_OEM_5), static_cast<std::uint32_t>('\\'));
    EXPECT_EQ(api->map_virtual_key_char(VK_F1), 0u);
}

TEST(Win32Sleep, WaitsAboutTheTimeAsked) {
    auto api = make_system_console();
    const auto start = std::chrono::steady_clock::now();
    api->sleep(40);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // The system timer ticks every 10 to 16 ms, so allow one tick early.
    EXPECT_GE(elapsed, std::chrono::milliseconds(24));
    EXPECT_LT(elapsed, std::chrono::seconds(5));
}

// --- control handler ------------------------------------------------------------

// What the handlers of one test saw; the platform calls them on a thread of
// its own, hence the atomics and the events the test waits on.
struct CtrlSeen {
    std::atomic<int> calls{0};
    std::atomic<std::uint32_t> type{0xFFFF};
    HANDLE signal = nullptr;
};

struct CtrlTestState {
    CtrlSeen platform;  // the handler installed through the backend
    CtrlSeen guard;     // a handler registered before it, directly with Windows
};

CtrlTestState ctrl_test;

void note(CtrlSeen& seen, std::uint32_t type) {
    seen.type = type;
    ++seen.calls;
    SetEvent(seen.signal);
}

bool handling_handler(std::uint32_t type) {
    note(ctrl_test.platform, type);
    return true;
}

bool passing_handler(std::uint32_t type) {
    note(ctrl_test.platform, type);
    return false;
}

// Registered first, so asked last: it takes whatever the platform handler
// passes on, which keeps the default action (ending the process) away.
BOOL WINAPI guard_handler(DWORD type) {
    note(ctrl_test.guard, type);
    return TRUE;
}

TEST(Win32CtrlHandler, RemovesOnlyTheInstalledHandler) {
    auto api = make_system_console();
    ASSERT_TRUE(api->set_ctrl_handler(passing_handler, true));
    EXPECT_FALSE(api->set_ctrl_handler(handling_handler, false));
    EXPECT_TRUE(api->set_ctrl_handler(passing_handler, false));
    EXPECT_FALSE(api->set_ctrl_handler(passing_handler, false)) << "removed twice";
}

class Win32CtrlEvents : public ::testing::Test {
  protected:
    void SetUp() override {
        for (CtrlSeen* seen : {&ctrl_test.platform, &ctrl_test.guard}) {
            seen->calls = 0;
            seen->type = 0xFFFF;
            seen->signal = CreateEventA(nullptr, FALSE, FALSE, nullptr);
            ASSERT_NE(seen->signal, nullptr);
        }
        // Events go to every process on the console, so they are raised only
        // on a console of this process's own (as tools/wine-test.sh makes).
        DWORD ids[2];
        expect_console(GetConsoleProcessList(ids, 2) == 1);
        if (IsSkipped() || HasFatalFailure()) return;
        // Ctrl+C reaches the handlers even if this process was started with
        // it switched off.
        ASSERT_TRUE(SetConsoleCtrlHandler(nullptr, FALSE));
        ASSERT_TRUE(SetConsoleCtrlHandler(guard_handler, TRUE));
        guard_installed_ = true;
    }
    void TearDown() override {
        if (guard_installed_) SetConsoleCtrlHandler(guard_handler, FALSE);
        for (CtrlSeen* seen : {&ctrl_test.platform, &ctrl_test.guard})
            CloseHandle(seen->signal);
    }
    // Ctrl+C: Wine raises no Ctrl+Break for a process group.
    static void raise_ctrl_c() { ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)); }
    static bool wait_for(const CtrlSeen& seen) {
        return WaitForSingleObject(seen.signal, 10000) == WAIT_OBJECT_0;
    }
    std::unique_ptr<ConsoleApi> api_ = make_system_console();

  private:
    bool guard_installed_ = false;
};

TEST_F(Win32CtrlEvents, AHandledEventStopsAtThePlatformHandler) {
    ASSERT_TRUE(api_->set_ctrl_handler(handling_handler, true));
    raise_ctrl_c();
    ASSERT_TRUE(wait_for(ctrl_test.platform));
    EXPECT_EQ(ctrl_test.platform.type, ctrl_event::c);

    // Once removed it is asked no more; the guard sees this second event only.
    ASSERT_TRUE(api_->set_ctrl_handler(handling_handler, false));
    raise_ctrl_c();
    ASSERT_TRUE(wait_for(ctrl_test.guard));
    EXPECT_EQ(ctrl_test.guard.calls, 1);
    EXPECT_EQ(ctrl_test.platform.calls, 1);
}

TEST_F(Win32CtrlEvents, AnEventNotHandledGoesOnToTheNextHandler) {
    ASSERT_TRUE(api_->set_ctrl_handler(passing_handler, true));
    raise_ctrl_c();
    ASSERT_TRUE(wait_for(ctrl_test.guard));
    EXPECT_EQ(ctrl_test.platform.calls, 1);
    EXPECT_EQ(ctrl_test.platform.type, ctrl_event::c);
    EXPECT_EQ(ctrl_test.guard.type, ctrl_event::c);
    EXPECT_TRUE(api_->set_ctrl_handler(passing_handler, false));
}

TEST_F(Win32CtrlEvents, InstallingAgainReplacesTheHandler) {
    ASSERT_TRUE(api_->set_ctrl_handler(passing_handler, true));
    ASSERT_TRUE(api_->set_ctrl_handler(handling_handler, true));
    raise_ctrl_c();
    ASSERT_TRUE(wait_for(ctrl_test.platform));
    EXPECT_FALSE(api_->set_ctrl_handler(passing_handler, false));
    // One removal takes the trampoline out: it was registered once.
    ASSERT_TRUE(api_->set_ctrl_handler(handling_handler, false));
    raise_ctrl_c();
    ASSERT_TRUE(wait_for(ctrl_test.guard));
    EXPECT_EQ(ctrl_test.guard.calls, 1);
    EXPECT_EQ(ctrl_test.platform.calls, 1);
}

// --- screen buffer ----------------------------------------------------------------

// A fresh 10 x 6 screen buffer, blank in attribute 7, its window the top four
// rows, code page 437 for the byte-to-glyph mapping a US Windows uses.
class Win32ScreenBuffer : public ::testing::Test {
  protected:
    static constexpr SHORT cols = 10;
    static constexpr SHORT rows = 6;

    void SetUp() override {
        buffer_ = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            CONSOLE_TEXTMODE_BUFFER, nullptr);
        expect_console(buffer_ != INVALID_HANDLE_VALUE);
        if (IsSkipped() || HasFatalFailure()) return;
        saved_cp_ = GetConsoleOutputCP();
        ASSERT_TRUE(SetConsoleOutputCP(437));
        resize(cols, rows);
    }
    void TearDown() override {
        if (buffer_ == INVALID_HANDLE_VALUE) return;
        SetConsoleOutputCP(saved_cp_);
        CloseHandle(buffer_);
    }

    void resize(SHORT width, SHORT height) {
        // The window first: the buffer may not shrink below it.
        const SMALL_RECT window{0, 0, cols - 1, static_cast<SHORT>(height < 4 ? height - 1 : 3)};
        ASSERT_TRUE(SetConsoleWindowInfo(buffer_, TRUE, &window));
        ASSERT_TRUE(SetConsoleScreenBufferSize(buffer_, COORD{width, height}));
        DWORD n = 0;
        const DWORD cells = static_cast<DWORD>(width * height);
        ASSERT_TRUE(FillConsoleOutputCharacterA(buffer_, ' ', cells, COORD{0, 0}, &n));
        ASSERT_TRUE(FillConsoleOutputAttribute(buffer_, 7, cells, COORD{0, 0}, &n));
        ASSERT_TRUE(SetConsoleTextAttribute(buffer_, 7));
        ASSERT_TRUE(SetConsoleCursorPosition(buffer_, COORD{0, 0}));
        width_ = width;
    }

    Handle h() const { return handle_of(buffer_); }

    std::string row(int y) const {
        std::string text(static_cast<std::size_t>(width_), '?');
        DWORD n = 0;
        if (!ReadConsoleOutputCharacterA(buffer_, text.data(), static_cast<DWORD>(width_),
                                         COORD{0, static_cast<SHORT>(y)}, &n)) {
            return "<unreadable>";
        }
        text.resize(n);
        return text;
    }

    WORD attribute(int x, int y) const {
        WORD a = 0;
        DWORD n = 0;
        ReadConsoleOutputAttribute(buffer_, &a, 1,
                                   COORD{static_cast<SHORT>(x), static_cast<SHORT>(y)}, &n);
        return a;
    }

    void put(int y, const char* text) {
        DWORD n = 0;
        WriteConsoleOutputCharacterA(buffer_, text, static_cast<DWORD>(std::strlen(text)),
                                     COORD{0, static_cast<SHORT>(y)}, &n);
    }

    ScreenBufferInfo info() {
        ScreenBufferInfo i;
        EXPECT_TRUE(api_->screen_buffer_info(h(), i));
        return i;
    }

    std::unique_ptr<ConsoleApi> api_ = make_system_console();
    HANDLE buffer_ = INVALID_HANDLE_VALUE;

  private:
    UINT saved_cp_ = 0;
    SHORT width_ = cols;
};

TEST_F(Win32ScreenBuffer, InfoReportsSizeCursorAttributeAndWindow) {
    ASSERT_TRUE(SetConsoleCursorPosition(buffer_, COORD{3, 2}));
    ASSERT_TRUE(SetConsoleTextAttribute(buffer_, 0x1E));
    const ScreenBufferInfo i = info();
    EXPECT_EQ(i.size, (Coord{10, 6}));
    EXPECT_EQ(i.cursor, (Coord{3, 2}));
    EXPECT_EQ(i.attributes, 0x1E);
    EXPECT_EQ(i.window, (Rect{0, 0, 9, 3}));
}

TEST_F(Win32ScreenBuffer, WriteCellsPutsEveryByteAsItsOwnCellWithoutMovingTheCursor) {
    const std::vector<CharCell> cells = {{'A', 0x1E}, {7, 7},    {8, 0x70}, {9, 7},      {10, 7},
                                         {13, 7},     {0, 0x0C}, {0xFF, 7}, {0xB3, 0x4F}};
    ASSERT_TRUE(api_->write_cells(h(), cells.data(), 9, Coord{1, 2}));
    EXPECT_EQ(row(2), std::string(" A\a\b\t\n\r\0\xFF\xB3", 10));
    EXPECT_EQ(row(1), "          ");
    EXPECT_EQ(row(3), "          ");
    EXPECT_EQ(attribute(0, 2), 7);
    EXPECT_EQ(attribute(1, 2), 0x1E);
    EXPECT_EQ(attribute(3, 2), 0x70);
    EXPECT_EQ(attribute(7, 2), 0x0C);
    EXPECT_EQ(attribute(9, 2), 0x4F);
    EXPECT_EQ(info().cursor, (Coord{0, 0}));
}

TEST_F(Win32ScreenBuffer, WriteCellsIsClippedAtTheRightEdge) {
    const std::vector<CharCell> cells = {{'a', 7}, {'b', 7}, {'c', 7}, {'d', 7}, {'e', 7}};
    EXPECT_TRUE(api_->write_cells(h(), cells.data(), 5, Coord{7, 1}));
    EXPECT_EQ(row(1), "       abc");
    EXPECT_EQ(row(2), "          ") << "clipped cells must not wrap";
}

TEST_F(Win32ScreenBuffer, WriteCellsTakesRowsLongerThanARun) {
    resize(320, 2);
    std::vector<CharCell> cells(300);
    std::string expected(10, ' ');
    for (int i = 0; i < 300; ++i) {
        cells[static_cast<std::size_t>(i)].ch = static_cast<std::uint8_t>('a' + i % 26);
        expected.push_back(static_cast<char>('a' + i % 26));
    }
    expected.append(10, ' ');
    ASSERT_TRUE(api_->write_cells(h(), cells.data(), 300, Coord{10, 1}));
    EXPECT_EQ(row(1), expected);
}

TEST_F(Win32ScreenBuffer, ScrollMovesTheRectangleAndFillsWhatItUncovers) {
    for (int y = 0; y < rows; ++y)
        put(y, std::string(10, static_cast<char>('0' + y)).c_str());
    ASSERT_TRUE(api_->scroll(h(), Rect{0, 1, 9, 5}, Coord{0, 0}, CharCell{'.', 0x2A}));
    EXPECT_EQ(row(0), "1111111111");
    EXPECT_EQ(row(4), "5555555555");
    EXPECT_EQ(row(5), "..........");
    EXPECT_EQ(attribute(0, 4), 7);
    EXPECT_EQ(attribute(9, 5), 0x2A);
}

TEST_F(Win32ScreenBuffer, ScrollOfAPartialRectangleHasNoClip) {
    for (int y = 0; y < rows; ++y)
        put(y, std::string(10, static_cast<char>('0' + y)).c_str());
    ASSERT_TRUE(api_->scroll(h(), Rect{2, 0, 5, 1}, Coord{4, 3}, CharCell{' ', 7}));
    EXPECT_EQ(row(0), "00    0000");
    EXPECT_EQ(row(1), "11    1111");
    EXPECT_EQ(row(2), "2222222222");
    EXPECT_EQ(row(3), "3333000033");
    EXPECT_EQ(row(4), "4444111144");
}

TEST_F(Win32ScreenBuffer, FillsContinueOnTheNextRowAndStopAtTheEnd) {
    ASSERT_TRUE(api_->fill_character(h(), 'x', 14, Coord{7, 1}));
    ASSERT_TRUE(api_->fill_attribute(h(), 0x4F, 14, Coord{7, 1}));
    EXPECT_EQ(row(1), "       xxx");
    EXPECT_EQ(row(2), "xxxxxxxxxx");
    EXPECT_EQ(row(3), "x         ");
    EXPECT_EQ(attribute(6, 1), 7);
    EXPECT_EQ(attribute(7, 1), 0x4F);
    EXPECT_EQ(attribute(0, 3), 0x4F);
    EXPECT_EQ(attribute(1, 3), 7);

    EXPECT_TRUE(api_->fill_character(h(), 0xDB, 100, Coord{5, 5}));
    EXPECT_EQ(row(5), "     \xDB\xDB\xDB\xDB\xDB");
    EXPECT_EQ(row(0), "          ") << "a fill past the end must not wrap to the top";
}

TEST_F(Win32ScreenBuffer, CursorPositionStaysInsideTheBuffer) {
    EXPECT_TRUE(api_->set_cursor_position(h(), Coord{4, 2}));
    EXPECT_EQ(info().cursor, (Coord{4, 2}));
    EXPECT_TRUE(api_->set_cursor_position(h(), Coord{9, 5}));
    EXPECT_EQ(info().cursor, (Coord{9, 5}));
    EXPECT_FALSE(api_->set_cursor_position(h(), Coord{10, 0}));
    EXPECT_FALSE(api_->set_cursor_position(h(), Coord{0, 6}));
    EXPECT_EQ(info().cursor, (Coord{9, 5}));
}

TEST_F(Win32ScreenBuffer, WindowMovesInsideTheBufferOnly) {
    EXPECT_TRUE(api_->set_window(h(), true, Rect{0, 2, 9, 5}));
    EXPECT_EQ(info().window, (Rect{0, 2, 9, 5}));
    // Relative: the edges move by the given amounts.
    EXPECT_TRUE(api_->set_window(h(), false, Rect{0, -1, 0, -1}));
    EXPECT_EQ(info().window, (Rect{0, 1, 9, 4}));
    EXPECT_FALSE(api_->set_window(h(), true, Rect{0, 3, 9, 6}));
    EXPECT_EQ(info().window, (Rect{0, 1, 9, 4}));
}

TEST_F(Win32ScreenBuffer, CursorVisibilityAndSizeRoundTrip) {
    ASSERT_TRUE(api_->set_cursor_info(h(), CursorInfo{50, false}));
    CursorInfo got;
    ASSERT_TRUE(api_->get_cursor_info(h(), got));
    EXPECT_EQ(got.size, 50u);
    EXPECT_FALSE(got.visible);
    ASSERT_TRUE(api_->set_cursor_info(h(), CursorInfo{25, true}));
    ASSERT_TRUE(api_->get_cursor_info(h(), got));
    EXPECT_EQ(got.size, 25u);
    EXPECT_TRUE(got.visible);
}

// --- console input ------------------------------------------------------------------

// The console's input buffer, emptied before and after each test, with code
// page 437 so that 8-bit characters keep their byte.
class Win32ConsoleInput : public ::testing::Test {
  protected:
    void SetUp() override {
        input_ =
            CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        expect_console(input_ != INVALID_HANDLE_VALUE);
        if (IsSkipped() || HasFatalFailure()) return;
        saved_cp_ = GetConsoleCP();
        ASSERT_TRUE(SetConsoleCP(437));
        ASSERT_TRUE(FlushConsoleInputBuffer(input_));
    }
    void TearDown() override {
        if (input_ == INVALID_HANDLE_VALUE) return;
        FlushConsoleInputBuffer(input_);
        SetConsoleCP(saved_cp_);
        CloseHandle(input_);
    }

    void push(const INPUT_RECORD& record) {
        DWORD n = 0;
        ASSERT_TRUE(WriteConsoleInputA(input_, &record, 1, &n));
        ASSERT_EQ(n, 1u);
    }

    static INPUT_RECORD key_record(const KeyEvent& k) {
        INPUT_RECORD r{};
        r.EventType = KEY_EVENT;
        r.Event.KeyEvent.bKeyDown = k.key_down ? TRUE : FALSE;
        r.Event.KeyEvent.wRepeatCount = k.repeat_count;
        r.Event.KeyEvent.wVirtualKeyCode = k.virtual_key;
        r.Event.KeyEvent.wVirtualScanCode = k.scan_code;
        r.Event.KeyEvent.uChar.AsciiChar = static_cast<CHAR>(k.ch);
        r.Event.KeyEvent.dwControlKeyState = k.control_state;
        return r;
    }

    Handle h() const { return handle_of(input_); }

    std::unique_ptr<ConsoleApi> api_ = make_system_console();
    HANDLE input_ = INVALID_HANDLE_VALUE;

  private:
    UINT saved_cp_ = 0;
};

TEST_F(Win32ConsoleInput, PeekLeavesTheEventAndReadTakesIt) {
    const KeyEvent q{true, 1, 'Q', 0x10, 'q', 0};
    push(key_record(q));
    for (int pass = 0; pass < 2; ++pass) {
        InputEvent seen;
        std::uint32_t count = 0;
        ASSERT_TRUE(api_->peek_input(h(), seen, count));
        ASSERT_EQ(count, 1u) << "pass " << pass;
        EXPECT_EQ(seen.kind, EventKind::key);
        EXPECT_EQ(seen.key, q);
    }
    InputEvent taken;
    std::uint32_t count = 0;
    ASSERT_TRUE(api_->read_input(h(), taken, count));
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(taken.key, q);
    // Nothing waits now: peek succeeds and reports no record.
    ASSERT_TRUE(api_->peek_input(h(), taken, count));
    EXPECT_EQ(count, 0u);
}

TEST_F(Win32ConsoleInput, KeyEventsKeepEveryField) {
    const std::vector<KeyEvent> keys = {
        // Left on the grey cursor block, Ctrl held, Num Lock on.
        {true, 1, 0x25, 0x4B, 0, key_state::enhanced | key_state::left_ctrl | key_state::num_lock},
        // A release with a repeat count, and an 8-bit character.
        {false, 3, 0x45, 0x12, 0x82, key_state::shift | key_state::right_alt},
        {true, 1, VK_NUMPAD9, 0x49, 0, key_state::left_alt},
    };
    for (const KeyEvent& k : keys)
        push(key_record(k));
    for (const KeyEvent& k : keys) {
        InputEvent seen;
        std::uint32_t count = 0;
        ASSERT_TRUE(api_->read_input(h(), seen, count));
        ASSERT_EQ(count, 1u);
        EXPECT_EQ(seen.kind, EventKind::key);
        EXPECT_EQ(seen.key, k);
    }
}

TEST_F(Win32ConsoleInput, OtherEventsKeepTheirKindBetweenKeys) {
    const KeyEvent a{true, 1, 'A', 0x1E, 'a', 0};
    const KeyEvent b{false, 1, 'A', 0x1E, 'a', 0};
    push(key_record(a));
    const std::vector<std::pair<WORD, EventKind>> others = {
        {MOUSE_EVENT, EventKind::mouse},
        {WINDOW_BUFFER_SIZE_EVENT, EventKind::window_buffer_size},
        {MENU_EVENT, EventKind::menu},
        {FOCUS_EVENT, EventKind::focus},
    };
    for (const auto& [type, kind] : others) {
        INPUT_RECORD r{};
        r.EventType = type;
        push(r);
    }
    push(key_record(b));

    InputEvent seen;
    std::uint32_t count = 0;
    ASSERT_TRUE(api_->read_input(h(), seen, count));
    EXPECT_EQ(seen.kind, EventKind::key);
    EXPECT_EQ(seen.key, a);
    for (const auto& [type, kind] : others) {
        ASSERT_TRUE(api_->read_input(h(), seen, count));
        ASSERT_EQ(count, 1u);
        EXPECT_EQ(seen.kind, kind) << "event type " << type;
    }
    ASSERT_TRUE(api_->read_input(h(), seen, count));
    EXPECT_EQ(seen.kind, EventKind::key);
    EXPECT_EQ(seen.key, b);
}

TEST_F(Win32ConsoleInput, ModeRoundTrips) {
    std::uint32_t mode = 0;
    ASSERT_TRUE(api_->get_mode(h(), mode));
    ASSERT_TRUE(api_->set_mode(h(), mode & ~enable_processed_input));
    std::uint32_t changed = 0;
    ASSERT_TRUE(api_->get_mode(h(), changed));
    EXPECT_EQ(changed & enable_processed_input, 0u);
    ASSERT_TRUE(api_->set_mode(h(), mode | enable_processed_input));
    ASSERT_TRUE(api_->get_mode(h(), changed));
    EXPECT_EQ(changed, mode | enable_processed_input);
}

}  // namespace
}  // namespace pelorin::platform
