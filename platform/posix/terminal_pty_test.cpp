// The terminal console on a real pseudo-terminal: the test holds the far
// (master) side and plays the terminal, answering the cursor request.
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>

#include "platform/posix/terminal_console.h"
#include "platform/posix/terminal_modes.h"
#include "platform/posix/terminal_signals.h"
#include "platform/posix/testing/pseudo_terminal.h"

namespace pelorin::platform {
namespace {

// Reads from `fd` until `done` holds for what was read, or five seconds pass.
template <typename Done>
std::string read_until(int fd, Done done) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done(got) && std::chrono::steady_clock::now() < deadline) {
        if (!testing::readable_within(fd, 100)) continue;
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

// The characters of the next `n` keys the console reads, or fewer after five
// seconds.
std::string typed_keys(TerminalConsole& console, std::size_t n) {
    std::string typed;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (typed.size() < n && std::chrono::steady_clock::now() < deadline) {
        InputEvent event;
        std::uint32_t count = 0;
        if (console.read_input(TerminalConsole::input_handle, event, count) && count == 1) {
            typed += static_cast<char>(event.key.ch);
        } else {
            console.sleep(10);
        }
    }
    return typed;
}

class TerminalPtyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty.opened());
        // Resizes of the test process's own terminal are no concern here,
        // and its signals keep their actions.
        sys.sigaction = [](int, const struct sigaction*, struct sigaction* old) {
            if (old != nullptr) *old = {};
            return 0;
        };
        options.term = "xterm";
        options.utf8 = true;
        options.input_fd = slave;
        options.output_fd = slave;
        options.tty_path = "/dev/null";
    }
    void TearDown() override { reset_platform(); }

  public:  // what every test works with
    testing::PseudoTerminal pty{12, 40};
    const int master = pty.master();
    const int slave = pty.slave();
    TerminalSys sys = real_terminal_sys();
    TerminalOptions options;
};

TEST_F(TerminalPtyTest, LearnsTheCursorAndDrawsOnTheTerminal) {
    termios before{};
    ASSERT_EQ(::tcgetattr(slave, &before), 0);
    std::string request;
    std::thread far_side([&] {
        request = read_until(master, [](const std::string& s) { return s.size() >= 4; });
        const std::string answer = "xy\x1b[5;3R";  // keys typed just before the answer
        (void)::write(master, answer.data(), answer.size());
    });
    TerminalConsole console(sys, options);
    ScreenBufferInfo info;
    ASSERT_TRUE(console.screen_buffer_info(TerminalConsole::output_handle, info));
    far_side.join();

    EXPECT_EQ(request, "\x1b[6n");
    EXPECT_EQ(info.size, (Coord{40, 12}));
    EXPECT_EQ(info.cursor, (Coord{2, 4}));
    termios after{};
    ASSERT_EQ(::tcgetattr(slave, &after), 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag);  // canonical, echoing, as it was
    EXPECT_EQ(typed_keys(console, 2), "xy");

    const CharCell cells[] = {{'H', 7}, {0x82, 7}};
    ASSERT_TRUE(console.write_cells(TerminalConsole::output_handle, cells, 2, Coord{2, 4}));
    ASSERT_TRUE(console.set_cursor_position(TerminalConsole::output_handle, Coord{4, 4}));
    console.flush();
    const std::string shown = "\x1b[JH\xC3\xA9";  // after blanking below the cursor
    EXPECT_EQ(read_until(master, [&](const std::string& s) { return s.size() >= shown.size(); }),
              shown);
}

TEST_F(TerminalPtyTest, TerminalThatNeverAnswersIsAskedOnce) {
    TerminalConsole console(sys, options);
    ScreenBufferInfo info;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(console.screen_buffer_info(TerminalConsole::output_handle, info));
    const auto waited = std::chrono::steady_clock::now() - start;
    // The console counts whole milliseconds: its wait may end up to one
    // short of the steady clock's.
    EXPECT_GE(waited, std::chrono::milliseconds(TerminalInput::reply_wait_ms - 1));
    EXPECT_EQ(info.cursor, (Coord{0, 11}));
    EXPECT_EQ(read_until(master, [](const std::string& s) { return s.size() >= 4; }), "\x1b[6n");

    // The answer comes late, between keys: the keys are kept, the answer dropped.
    const std::string late = "k\x1b[5;3Rm";
    ASSERT_EQ(::write(master, late.data(), late.size()), static_cast<ssize_t>(late.size()));
    EXPECT_EQ(typed_keys(console, 2), "km");
    restore_terminal_modes(sys);
}

TEST(TerminalSignals, WindowChangeIsRecordedOnce) {
    reset_platform();
    struct sigaction action {};
    action.sa_handler = on_window_size_signal;
    sigemptyset(&action.sa_mask);
    struct sigaction before {};
    ASSERT_EQ(::sigaction(SIGWINCH, &action, &before), 0);
    ASSERT_EQ(::raise(SIGWINCH), 0);
    ::sigaction(SIGWINCH, &before, nullptr);
    EXPECT_TRUE(take_window_resized());
    EXPECT_FALSE(take_window_resized());
}

}  // namespace
}  // namespace pelorin::platform
