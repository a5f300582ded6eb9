#include "platform/posix/terminal_console.h"

#include <gtest/gtest.h>

#include <limits.h>

#include <memory>
#include <string>

#include "platform/posix/terminal_vt.h"
#include "platform/posix/testing/terminal_console_fixture.h"

namespace pelorin::platform {
namespace {

using testing::at;
using testing::cpr_request;
using testing::fake_terminal;
using testing::FakeTerminal;
using testing::in;
using testing::out;
using testing::rect;
using testing::report;
using testing::TerminalConsoleTest;

// --- standard output that is no console ---------------------------------------

void expect_stream_only(TerminalConsole& c, FakeTerminal& t) {
    ScreenBufferInfo info;
    std::uint32_t mode = 0;
    CursorInfo cursor;
    EXPECT_FALSE(c.screen_buffer_info(out, info));
    EXPECT_FALSE(c.get_mode(out, mode));
    EXPECT_FALSE(c.get_mode(in, mode));
    const CharCell cell{'x', 7};
    EXPECT_FALSE(c.write_cells(out, &cell, 1, at(0, 0)));
    EXPECT_FALSE(c.scroll(out, rect(0, 1, 9, 3), at(0, 0), CharCell{}));
    EXPECT_FALSE(c.fill_character(out, ' ', 5, at(0, 0)));
    EXPECT_FALSE(c.set_cursor_position(out, at(0, 0)));
    EXPECT_FALSE(c.get_cursor_info(out, cursor));

    const std::string bytes = "A\tB\a\b\x1b[1m\r\n";
    std::uint32_t written = 0;
    EXPECT_TRUE(c.write_file(out, bytes.data(), static_cast<std::uint32_t>(bytes.size()), written));
    EXPECT_EQ(written, bytes.size());
    c.beep(1000, 250);
    c.sleep(25);
    c.flush();
    InputEvent event;
    std::uint32_t count = 9;
    EXPECT_FALSE(c.peek_input(in, event, count));
    EXPECT_EQ(count, 0u);
    c.flush_at_end();

    EXPECT_EQ(t.written(), bytes);  // exactly the bytes given, nothing else
    EXPECT_EQ(t.writes.size(), 1u);
    EXPECT_EQ(t.sleeps, (std::vector<std::uint32_t>{250, 25}));
    EXPECT_TRUE(t.opened.empty());
    EXPECT_TRUE(t.mode_changes.empty());
    EXPECT_TRUE(t.dispositions.empty());
}

TEST_F(TerminalConsoleTest, OutputNotATerminalIsAByteStream) {
    t.output_is_tty = false;
    t.input_is_tty = false;
    expect_stream_only(make(), t);
}

TEST_F(TerminalConsoleTest, DumbOrUnnamedTerminalIsAByteStream) {
    // Its keyboard too: lines are read as the terminal's own editing makes them.
    expect_stream_only(make("dumb"), t);
    FakeTerminal fresh;
    fake_terminal = &fresh;
    expect_stream_only(make(""), fresh);
    fake_terminal = &t;
}

// --- geometry and the cursor report ---------------------------------------------

TEST_F(TerminalConsoleTest, WindowIsTheWholeBuffer) {
    t.size = winsize{10, 30, 0, 0};
    t.answer(report(4, 7));
    make();
    const ScreenBufferInfo i = info();
    EXPECT_EQ(i.size, at(30, 10));
    EXPECT_EQ(i.window, rect(0, 0, 29, 9));
    EXPECT_EQ(i.cursor, at(6, 3));
    EXPECT_EQ(i.attributes, 7);
    // Asked on standard input, the same terminal; nothing on standard output.
    EXPECT_EQ(t.written(0), cpr_request());
    EXPECT_EQ(t.written(1), "");
    EXPECT_EQ(t.handler(SIGWINCH), &on_window_size_signal);
    // Quiet while asking (signals kept), as before afterwards.
    ASSERT_EQ(t.mode_changes.size(), 2u);
    EXPECT_EQ(t.mode_changes[0].mode.c_lflag, tcflag_t{ISIG});
    EXPECT_EQ(t.mode_changes[1].mode.c_lflag, tcflag_t{ICANON | ECHO | ISIG});
    // Learnt once: later queries ask nothing.
    info();
    EXPECT_EQ(requests(), 1);
}

TEST_F(TerminalConsoleTest, NarrowOrFlatWindowIsReportedAsItIs) {
    t.size = winsize{10, 1, 0, 0};
    t.answer(report(1, 1));
    make();
    EXPECT_EQ(info().size, at(1, 10));

    FakeTerminal flat;
    flat.size = winsize{1, 40, 0, 0};
    flat.answer(report(1, 1));
    fake_terminal = &flat;
    make();
    EXPECT_EQ(info().window, rect(0, 0, 39, 0));
    console.reset();
    fake_terminal = &t;
}

TEST_F(TerminalConsoleTest, TerminalWithoutSizeIsAVt100Screen) {
    t.size_fails = true;
    t.answer(report(2, 2));
    make();
    EXPECT_EQ(info().size, at(80, 24));
}

TEST_F(TerminalConsoleTest, ReportBeyondTheWindowIsClamped) {
    ready(10, 4, at(2, 2));
    t.size = winsize{4, 10, 0, 0};
    t.answer(report(99, 999));
    testing::window_resized();
    EXPECT_EQ(info().cursor, at(9, 3));
}

TEST_F(TerminalConsoleTest, RedirectedInputAsksTheProcessTerminal) {
    t.input_is_tty = false;
    t.cursor_reply = report(3, 1);
    make();
    EXPECT_EQ(info().cursor, at(0, 2));
    EXPECT_EQ(t.opened, std::vector<std::string>{"/dev/tty"});
    EXPECT_EQ(t.written(FakeTerminal::tty_fd), cpr_request());
    EXPECT_EQ(t.written(0), "");
    console.reset();
    EXPECT_EQ(t.closed, std::vector<int>{FakeTerminal::tty_fd});
}

TEST_F(TerminalConsoleTest, InputOfAnotherTerminalIsNotAsked) {
    t.input_same_terminal = false;
    t.cursor_reply = report(3, 1);
    make();
    EXPECT_EQ(info().cursor, at(0, 2));
    EXPECT_EQ(t.written(0), "");
    EXPECT_EQ(t.written(FakeTerminal::tty_fd), cpr_request());
}

TEST_F(TerminalConsoleTest, NoTerminalToAskGivesTheBottomRow) {
    t.input_is_tty = false;
    t.output_is_controlling = false;  // the process's terminal is another one
    t.size = winsize{6, 20, 0, 0};
    make();
    EXPECT_EQ(info().cursor, at(0, 5));
    EXPECT_EQ(requests(), 0);
    EXPECT_TRUE(t.opened.empty());
    testing::window_resized();
    info();
    EXPECT_EQ(info().cursor, at(0, 5));
    EXPECT_EQ(requests(), 0);
}

TEST_F(TerminalConsoleTest, ProcessTerminalThatCannotBeOpenedGivesTheBottomRow) {
    t.input_is_tty = false;
    t.tty_openable = false;
    t.size = winsize{6, 20, 0, 0};
    make();
    EXPECT_EQ(info().cursor, at(0, 5));
    EXPECT_EQ(requests(), 0);
    testing::window_resized();
    info();
    EXPECT_EQ(t.opened.size(), 1u);  // looked for once
    console.reset();
    EXPECT_TRUE(t.closed.empty());
}

TEST_F(TerminalConsoleTest, SilentTerminalWaitsHalfASecondOnceAndFallsBack) {
    t.size = winsize{6, 20, 0, 0};
    make();
    const std::int64_t start = t.now;
    EXPECT_EQ(info().cursor, at(0, 5));
    EXPECT_EQ(t.now - start, TerminalInput::reply_wait_ms);
    EXPECT_TRUE(t.sleeps.empty());
    // Quiet still: an answer that comes late must not show.
    EXPECT_EQ(t.mode_changes.back().mode.c_lflag, tcflag_t{ISIG});

    // A resize learns the new size, but the terminal is not asked again.
    t.size = winsize{8, 20, 0, 0};
    testing::window_resized();
    const ScreenBufferInfo i = info();
    EXPECT_EQ(i.size, at(20, 8));
    EXPECT_EQ(i.cursor, at(0, 7));
    EXPECT_EQ(requests(), 1);
    EXPECT_EQ(t.now - start, TerminalInput::reply_wait_ms);

    // The end waits for the rest of the time an answer is looked for.
    console->flush_at_end();
    EXPECT_EQ(t.now - start, TerminalInput::reply_look_ms);
    EXPECT_EQ(t.mode_changes.back().mode.c_lflag, tcflag_t{ICANON | ECHO | ISIG});
}

// Keys typed ahead for the shell wait on the process's terminal: the answer
// would come behind them, so the terminal is not asked, and they stay.
TEST_F(TerminalConsoleTest, KeysTypedAheadForTheShellAreLeftAndTheTerminalNotAsked) {
    t.input_is_tty = false;
    t.size = winsize{6, 20, 0, 0};
    t.cursor_reply = report(2, 2);
    t.answer("ls\r");
    make();
    EXPECT_EQ(info().cursor, at(0, 5));
    EXPECT_EQ(requests(), 0);
    ASSERT_EQ(t.incoming.size(), 1u);
    EXPECT_EQ(t.incoming.front().bytes, "ls\r");
    EXPECT_EQ(t.modes[FakeTerminal::tty_fd].c_lflag, tcflag_t{ICANON | ECHO | ISIG});
}

TEST_F(TerminalConsoleTest, ReplyAtTheLastMomentCounts) {
    t.answer(report(2, 2), TerminalInput::reply_wait_ms - 1);
    make();
    EXPECT_EQ(info().cursor, at(1, 1));
}

TEST_F(TerminalConsoleTest, InterruptedWaitAndReadGoOn) {
    t.wait_errors = {EINTR};
    t.read_errors = {EINTR};
    t.answer(report(3, 4));
    make();
    EXPECT_EQ(info().cursor, at(3, 2));
}

TEST_F(TerminalConsoleTest, FailingReadEndsTheWaitForGood) {
    t.read_errors = {EIO};
    t.answer(report(3, 4));
    t.size = winsize{5, 10, 0, 0};
    make();
    EXPECT_EQ(info().cursor, at(0, 4));
    testing::window_resized();
    info();
    EXPECT_EQ(requests(), 1);
}

TEST_F(TerminalConsoleTest, TerminalModeThatCannotBeSetIsNotAsked) {
    t.tcsetattr_fails = true;
    t.size = winsize{5, 10, 0, 0};
    make();
    EXPECT_EQ(info().cursor, at(0, 4));
    EXPECT_EQ(requests(), 0);
}

TEST_F(TerminalConsoleTest, ResizeLearnsSizeAndCursorAfterSendingWhatIsHeld) {
    ready(10, 4, at(0, 0));
    ASSERT_TRUE(put("A", at(0, 0)));
    // Taller: the terminal kept the rows, and moved them down with the cursor.
    t.size = winsize{6, 10, 0, 0};
    t.answer(report(3, 1));
    testing::window_resized();
    ScreenBufferInfo i = info();
    EXPECT_EQ(i.size, at(10, 6));
    EXPECT_EQ(i.cursor, at(0, 2));
    ASSERT_EQ(t.writes.size(), 2u);
    EXPECT_EQ(t.writes[0].fd, 1);
    EXPECT_EQ(t.writes[0].bytes, "A\b");  // the drawing and the cursor wanted
    EXPECT_EQ(t.writes[1].bytes, cpr_request());
    console->flush();
    EXPECT_EQ(t.writes.size(), 2u);  // nothing to draw again

    // Wider: the lines are laid out again on a cleared screen, the cursor on
    // the same character, wherever the terminal said it had put it.
    t.size = winsize{6, 20, 0, 0};
    t.answer(report(1, 1));
    testing::window_resized();
    i = info();
    EXPECT_EQ(i.size, at(20, 6));
    EXPECT_EQ(i.cursor, at(0, 2));
    console->flush();
    EXPECT_EQ(t.writes.back().bytes, "\x1b[H\x1b[J\x1b[3HA\b");
}

// --- drawing ---------------------------------------------------------------------

TEST_F(TerminalConsoleTest, DrawingWaitsForTheProgramToWait) {
    ready(10, 4, at(3, 1));
    CursorInfo cursor;
    ASSERT_TRUE(put("A", at(3, 1)));
    ASSERT_TRUE(console->set_cursor_position(out, at(4, 1)));
    ASSERT_TRUE(console->get_cursor_info(out, cursor));
    cursor.visible = false;
    ASSERT_TRUE(console->set_cursor_info(out, cursor));
    cursor.visible = true;
    ASSERT_TRUE(console->set_cursor_info(out, cursor));
    EXPECT_TRUE(t.writes.empty());
    console->sleep(25);
    EXPECT_EQ(t.events, (std::vector<std::string>{"write", "sleep"}));
    EXPECT_EQ(t.written(), "A");  // the cell at the cursor, no move, no visibility change
}

TEST_F(TerminalConsoleTest, EveryWaitSendsWhatIsHeld) {
    ready(10, 4, at(0, 0));
    InputEvent event;
    std::uint32_t count = 0;
    std::uint32_t written = 0;
    auto draw = [&](const char* text, int x) {
        ASSERT_TRUE(put(text, at(x, 0)));
        ASSERT_TRUE(console->set_cursor_position(out, at(x + 1, 0)));
    };
    draw("a", 0);
    console->flush();
    draw("b", 1);
    EXPECT_TRUE(console->peek_input(in, event, count));
    draw("c", 2);
    EXPECT_TRUE(console->read_input(in, event, count));
    draw("d", 3);
    ASSERT_TRUE(console->write_file(out, "!", 1, written));
    EXPECT_EQ(t.writes.size(), 4u);  // d and ! together
    EXPECT_EQ(t.written(), "abcd!");
}

// One row high, the engine writes its text whole: drawn, and the cursor after it.
TEST_F(TerminalConsoleTest, TextWrittenWholeIsDrawnWithTheCursorAfterIt) {
    ready(10, 1, at(0, 0));
    std::uint32_t written = 0;
    ASSERT_TRUE(console->write_file(out, "ab", 2, written));
    ASSERT_TRUE(console->set_cursor_position(out, at(2, 0)));
    ASSERT_TRUE(console->write_file(out, "c\r\n", 3, written));
    EXPECT_EQ(t.written(), "abc\r\n");  // side by side, then the row scrolls
    EXPECT_EQ(info().cursor, at(0, 0));
}

TEST_F(TerminalConsoleTest, ScrollSequences) {
    // The whole window, one row, with the cursor on the bottom row's start.
    ready(10, 4, at(0, 3));
    ASSERT_TRUE(console->scroll(out, rect(0, 1, 9, 3), at(0, 0), CharCell{' ', 7}));
    console->flush();
    EXPECT_EQ(t.written(), "\n");
    t.writes.clear();

    // The top three rows only: a scroll region around them.
    ASSERT_TRUE(console->scroll(out, rect(0, 1, 9, 2), at(0, 0), CharCell{' ', 7}));
    ASSERT_TRUE(console->set_cursor_position(out, at(0, 2)));
    console->flush();
    EXPECT_EQ(t.written(), "\x1b[1;3r\x1b[3H\n\x1b[r\x1b[3H");
}

TEST_F(TerminalConsoleTest, FillsAndAttributes) {
    ready(10, 4, at(0, 0));
    EXPECT_TRUE(console->fill_attribute(out, 0x1F, 10, at(0, 1)));
    console->flush();
    EXPECT_EQ(t.written(), "");  // no colours, ever
    EXPECT_TRUE(console->fill_character(out, ' ', 10, at(0, 1)));
    EXPECT_TRUE(console->fill_character(out, '-', 2, at(8, 2)));
    console->flush();
    EXPECT_EQ(t.written(), "\x1b[3;9H--\x1b[H");  // below the cursor was blanked at the start
    EXPECT_FALSE(console->fill_character(out, ' ', 1, at(10, 0)));
}

TEST_F(TerminalConsoleTest, CellsBeyondTheRightEdgeAreCut) {
    ready(10, 4, at(8, 0));
    ASSERT_TRUE(put("xyzzy", at(8, 0)));
    ASSERT_TRUE(console->set_cursor_position(out, at(9, 0)));
    console->flush();
    EXPECT_EQ(t.written(), "xy\x1b[1;10H");
    EXPECT_FALSE(put("q", at(0, 4)));
    EXPECT_FALSE(put("", at(0, 0)));
}

TEST_F(TerminalConsoleTest, GlyphsFollowTheLocale) {
    const std::string cells = {'\x01', 'A', '\x82'};
    ready(10, 4, at(0, 0), true);
    ASSERT_TRUE(put(cells, at(0, 0)));
    console->set_cursor_position(out, at(3, 0));
    console->flush();
    EXPECT_EQ(t.written(),
              "\xE2\x98\xBA"
              "A\xC3\xA9");
    console.reset();

    FakeTerminal plain;
    fake_terminal = &plain;
    ready(10, 4, at(0, 0), false);
    ASSERT_TRUE(put(cells, at(0, 0)));
    console->set_cursor_position(out, at(3, 0));
    console->flush();
    EXPECT_EQ(plain.written(), "?A\xE9");
    console.reset();
    fake_terminal = &t;
}

TEST_F(TerminalConsoleTest, TypedTextGoesToFilesInTheTerminalsEncoding) {
    const struct {
        bool utf8;
        CodePage page;
        std::string typed;
        std::string file;
    } cases[] = {
        {true, CodePage::cp437, "caf\x82 ?!", "caf\xC3\xA9 ?!"},
        {true, CodePage::cp866, "\x88\x8b\x9d", "\xD0\x98\xD0\x9B\xD0\xAD"},
        {false, CodePage::cp437, "caf\x82", "caf\xE9"},
        {false, CodePage::cp866, "\x88", "?"},  // ISO 8859-1 has no Cyrillic
    };
    for (const auto& c : cases) {
        TerminalOptions options;
        options.utf8 = c.utf8;
        options.code_page = c.page;
        TerminalConsole terminal(testing::fake_sys, options);
        EXPECT_EQ(terminal.text_for_files(c.typed), c.file);
    }
}

TEST_F(TerminalConsoleTest, VisibilityAndTheEnd) {
    ready(10, 4, at(0, 0));
    CursorInfo cursor{25, false};
    ASSERT_TRUE(console->set_cursor_info(out, cursor));
    CursorInfo read{};
    ASSERT_TRUE(console->get_cursor_info(out, read));
    EXPECT_FALSE(read.visible);
    console->flush();
    EXPECT_EQ(t.written(), "\x1b[?25l");
    console->flush_at_end();
    EXPECT_EQ(t.written(), "\x1b[?25l\x1b[?25h");
}

TEST_F(TerminalConsoleTest, ShortAndInterruptedWritesAreCompleted) {
    ready(20, 4, at(0, 0));
    ASSERT_TRUE(put("0123456789", at(0, 0)));
    t.write_script = {3, -EINTR, 2, -EINTR, -EINTR};
    console->flush();
    EXPECT_EQ(t.written(), "0123456789\r");
    EXPECT_EQ(t.write_calls(), 3);

    const std::string raw = "raw bytes";
    std::uint32_t written = 0;
    t.write_script = {4, -EINTR, 1};
    ASSERT_TRUE(
        console->write_file(out, raw.data(), static_cast<std::uint32_t>(raw.size()), written));
    EXPECT_EQ(written, raw.size());
    EXPECT_EQ(t.written(), "0123456789\r" + raw);
}

TEST_F(TerminalConsoleTest, FailedWriteDropsTheOutputAndForgetsTheCursor) {
    ready(10, 4, at(2, 2));
    ASSERT_TRUE(put("A", at(2, 2)));
    t.write_script = {1, -ENOSPC};
    console->flush();
    EXPECT_EQ(t.written(), "A");  // the move back was lost
    ASSERT_TRUE(put("B", at(3, 2)));
    console->flush();
    EXPECT_EQ(t.written(), "A\x1b[3;4HB\b\b");

    std::uint32_t written = 0;
    t.write_script = {-ENOSPC};
    EXPECT_FALSE(console->write_file(out, "xy", 2, written));
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(console->write_file(out, "xy", 2, written));
}

TEST_F(TerminalConsoleTest, TerminalGoneOnWriteIsWrittenNoMore) {
    ready(10, 4, at(2, 2));
    ASSERT_TRUE(put("A", at(2, 2)));
    t.write_script = {-EIO};
    console->flush();
    const int calls = t.write_attempts;
    ASSERT_TRUE(put("B", at(3, 2)));
    console->flush();
    console->flush_at_end();
    std::uint32_t written = 0;
    EXPECT_FALSE(console->write_file(out, "xy", 2, written));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(t.write_attempts, calls);  // not one call more
    EXPECT_TRUE(t.write_script.empty());
}

TEST_F(TerminalConsoleTest, BeepRingsAfterWhatIsHeldThenWaits) {
    ready(10, 4, at(0, 0));
    ASSERT_TRUE(put("A", at(0, 0)));
    console->beep(1000, 250);
    EXPECT_EQ(t.events, (std::vector<std::string>{"write", "sleep"}));
    EXPECT_EQ(t.written(), "A\b\a");
    EXPECT_EQ(t.sleeps, std::vector<std::uint32_t>{250});
}

TEST_F(TerminalConsoleTest, HeldOutputHasALimit) {
    ready(100, 4, at(0, 0));
    std::size_t drawn = 0;
    for (char c = 'a'; drawn <= TerminalOutput::held_output_limit; c = c == 'z' ? 'a' : c + 1) {
        ASSERT_TRUE(put(std::string(100, c), at(0, 3)));
        ASSERT_TRUE(console->scroll(out, rect(0, 1, 99, 3), at(0, 0), CharCell{' ', 7}));
        drawn += 100;
    }
    EXPECT_EQ(t.write_calls(), 1);
}

// --- standard output that is no console: held bytes -------------------------

class HeldBytesTest : public TerminalConsoleTest {
  protected:
    void SetUp() override {
        TerminalConsoleTest::SetUp();
        t.output_is_tty = false;
        t.input_is_tty = false;
        make();
    }
    void print(const std::string& text) {
        std::uint32_t written = 0;
        ASSERT_TRUE(console->write_file(out, text.data(), static_cast<std::uint32_t>(text.size()),
                                        written));
        ASSERT_EQ(written, text.size());
    }
};

TEST_F(HeldBytesTest, LeaveInOneWriteWhenTheProgramWaitsOrEnds) {
    print("Q  1: ");
    print("statement\r\n");
    EXPECT_TRUE(t.writes.empty());
    EXPECT_TRUE(t.is_blocked(SIGTERM));  // an ending signal waits for them
    console->sleep(25);
    EXPECT_EQ(t.events, (std::vector<std::string>{"write", "sleep"}));
    EXPECT_EQ(t.written(), "Q  1: statement\r\n");
    EXPECT_TRUE(t.writes[0].interrupt_blocked);
    EXPECT_FALSE(t.is_blocked(SIGTERM));
    print("ok");
    InputEvent event;
    std::uint32_t count = 0;
    (void)console->peek_input(in, event, count);
    print("end\r\n");
    console->flush_at_end();
    EXPECT_EQ(t.write_calls(), 3);
    EXPECT_EQ(t.written(), "Q  1: statement\r\nokend\r\n");
}

// A pipe whose reader is slow, or a descriptor left non-blocking: nothing
// is dropped, and the process waits with the ending signals open, so that
// it can still be ended while its reader does not read.
TEST_F(HeldBytesTest, DeviceThatTakesNothingForNowIsWaitedOn) {
    t.output_is_pipe = true;
    const std::string text(3 * PIPE_BUF + 5, 'p');
    print(text);
    t.output_full_for = 1;                 // a reader that has not read yet
    t.write_script = {PIPE_BUF, -EAGAIN};  // a descriptor left non-blocking
    console->flush();
    EXPECT_EQ(t.written(), text);
    EXPECT_EQ(t.write_calls(), 4);  // a pipe's worth at a time
    EXPECT_EQ(t.output_waits_interruptible, (std::vector<bool>{true, true}));
}

TEST_F(TerminalConsoleTest, WindowCannotMove) {
    ready(10, 4, at(0, 0));
    EXPECT_TRUE(console->set_window(out, true, rect(0, 0, 9, 3)));
    EXPECT_FALSE(console->set_window(out, true, rect(0, 1, 9, 4)));
    EXPECT_FALSE(console->set_window(out, true, rect(0, 0, 8, 3)));
    EXPECT_TRUE(console->set_window(out, false, rect(0, 0, 0, 0)));
    EXPECT_FALSE(console->set_window(out, false, rect(0, 1, 0, 1)));
}

TEST_F(TerminalConsoleTest, HandlesAndKeyboardLayout) {
    ready(10, 4, at(0, 0));
    std::uint32_t mode = 0;
    EXPECT_TRUE(console->get_mode(out, mode));
    EXPECT_EQ(console->std_handle(StdHandle::input), in);
    EXPECT_EQ(console->std_handle(StdHandle::output), out);
    EXPECT_EQ(console->map_virtual_key_char(0x41), 0x41u);
    EXPECT_EQ(console->map_virtual_key_char(0xBA), static_cast<std::uint32_t>(';'));
}

}  // namespace
}  // namespace pelorin::platform
