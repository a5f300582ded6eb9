#include "platform/testing/memory_console.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "platform/testing/coords.h"

namespace pelorin::platform {
namespace {

constexpr Handle out = MemoryConsole::output_handle;
constexpr Handle in = MemoryConsole::input_handle;

// Fills every row with its own letter ('a' for row 0, ...) across the width.
void letter_rows(MemoryConsole& c) {
    for (int y = 0; y < c.size().y; ++y)
        c.put_text(0, y, std::string(static_cast<std::size_t>(c.size().x), char('a' + y)));
}

TEST(MemoryConsole, StartsBlankWithTheWindowOnTopRows) {
    MemoryConsole c(6, 5, 3);
    ScreenBufferInfo info;
    ASSERT_TRUE(c.screen_buffer_info(out, info));
    EXPECT_EQ(info.size, at(6, 5));
    EXPECT_EQ(info.window, rect(0, 0, 5, 2));
    EXPECT_EQ(info.cursor, at(0, 0));
    EXPECT_EQ(info.attributes, 7);
    for (int y = 0; y < 5; ++y)
        EXPECT_EQ(c.row_text(y), "      ");
    EXPECT_EQ(c.cell(5, 4).attributes, 7);
    EXPECT_TRUE(c.cursor_visible());

    // A window asked taller than the buffer, or none, covers the buffer.
    EXPECT_EQ(MemoryConsole(4, 3, 9).window(), rect(0, 0, 3, 2));
    EXPECT_EQ(MemoryConsole(4, 3).window(), rect(0, 0, 3, 2));
}

TEST(MemoryConsole, ModesAndRedirection) {
    MemoryConsole c(4, 2);
    EXPECT_EQ(c.std_handle(StdHandle::input), in);
    EXPECT_EQ(c.std_handle(StdHandle::output), out);
    std::uint32_t mode = 0;
    ASSERT_TRUE(c.get_mode(in, mode));
    EXPECT_TRUE(c.set_mode(in, mode | enable_processed_input));
    EXPECT_EQ(c.input_mode(), mode | enable_processed_input);
    EXPECT_FALSE(c.get_mode(99, mode));

    c.set_input_redirected(true);
    EXPECT_FALSE(c.get_mode(in, mode));
    EXPECT_FALSE(c.set_mode(in, 0));

    ScreenBufferInfo info;
    c.set_output_redirected(true);
    EXPECT_FALSE(c.screen_buffer_info(out, info));
    EXPECT_FALSE(c.get_mode(out, mode));
    CursorInfo ci;
    EXPECT_FALSE(c.get_cursor_info(out, ci));
    EXPECT_FALSE(c.set_cursor_position(out, at(0, 0)));
}

TEST(MemoryConsole, WriteCellsPutsOneRowClippedAtTheRightEdge) {
    MemoryConsole c(5, 2);
    const CharCell cells[] = {{'a', 0x1F}, {'b', 7}, {'c', 7}, {'d', 7}};
    ASSERT_TRUE(c.write_cells(out, cells, 2, at(1, 1)));
    EXPECT_EQ(c.row_text(0), "     ");
    EXPECT_EQ(c.row_text(1), " ab  ");
    EXPECT_EQ(c.cell(1, 1).attributes, 0x1F);
    EXPECT_EQ(c.cursor(), at(0, 0));  // the console's own cursor stays

    // Cells beyond the buffer's right edge are lost, not carried to the next row.
    ASSERT_TRUE(c.write_cells(out, cells, 4, at(3, 0)));
    EXPECT_EQ(c.row_text(0), "   ab");
    EXPECT_EQ(c.row_text(1), " ab  ");

    EXPECT_FALSE(c.write_cells(out, cells, 1, at(0, 2)));
    EXPECT_FALSE(c.write_cells(out, cells, 1, at(5, 0)));
    EXPECT_FALSE(c.write_cells(in, cells, 1, at(0, 0)));
    EXPECT_EQ(c.write_cells_calls(), 5);
}

TEST(MemoryConsole, WriteCellsFaults) {
    MemoryConsole c(4, 1);
    const CharCell cell{'x', 7};
    c.set_write_cells_budget(2);
    EXPECT_TRUE(c.write_cells(out, &cell, 1, at(0, 0)));
    EXPECT_TRUE(c.write_cells(out, &cell, 1, at(1, 0)));
    EXPECT_FALSE(c.write_cells(out, &cell, 1, at(2, 0)));
    EXPECT_EQ(c.row_text(0), "xx  ");
    c.set_write_cells_budget(-1);
    EXPECT_TRUE(c.write_cells(out, &cell, 1, at(2, 0)));
    c.set_write_cells_failing(true);
    EXPECT_FALSE(c.write_cells(out, &cell, 1, at(3, 0)));
    EXPECT_EQ(c.row_text(0), "xxx ");
}

TEST(MemoryConsole, ScrollMovesTheRectangleAndFillsWhatItUncovers) {
    // Whole buffer up by one row: the bottom row is left filled.
    MemoryConsole c(3, 4);
    letter_rows(c);
    ASSERT_TRUE(c.scroll(out, rect(0, 1, 2, 3), at(0, 0), CharCell{' ', 0x20}));
    EXPECT_EQ(c.row_text(0), "bbb");
    EXPECT_EQ(c.row_text(1), "ccc");
    EXPECT_EQ(c.row_text(2), "ddd");
    EXPECT_EQ(c.row_text(3), "   ");
    EXPECT_EQ(c.cell(0, 3).attributes, 0x20);
    EXPECT_EQ(c.cell(0, 2).attributes, 7);

    // Up by two over a source of one row: the row between the moved text and
    // the source is neither covered nor part of the source, so it keeps its text.
    letter_rows(c);
    ASSERT_TRUE(c.scroll(out, rect(0, 3, 2, 3), at(0, 1), CharCell{'.', 7}));
    EXPECT_EQ(c.row_text(0), "aaa");
    EXPECT_EQ(c.row_text(1), "ddd");
    EXPECT_EQ(c.row_text(2), "ccc");
    EXPECT_EQ(c.row_text(3), "...");
}

TEST(MemoryConsole, ScrollOfAPartRectangleAndClipping) {
    MemoryConsole c(4, 3);
    letter_rows(c);
    // Columns 1..2 of rows 1..2 move right by one; column 3 of the
    // destination is overwritten, column 1 uncovered and filled.
    ASSERT_TRUE(c.scroll(out, rect(1, 1, 2, 2), at(2, 1), CharCell{'-', 7}));
    EXPECT_EQ(c.row_text(0), "aaaa");
    EXPECT_EQ(c.row_text(1), "b-bb");
    EXPECT_EQ(c.row_text(2), "c-cc");

    // A destination partly outside the buffer loses what falls outside.
    letter_rows(c);
    ASSERT_TRUE(c.scroll(out, rect(0, 0, 3, 0), at(2, 2), CharCell{'-', 7}));
    EXPECT_EQ(c.row_text(0), "----");
    EXPECT_EQ(c.row_text(2), "ccaa");

    // A source reaching beyond the buffer is clipped first.
    letter_rows(c);
    ASSERT_TRUE(c.scroll(out, rect(0, 1, 9, 9), at(0, 0), CharCell{'-', 7}));
    EXPECT_EQ(c.row_text(0), "bbbb");
    EXPECT_EQ(c.row_text(1), "cccc");
    EXPECT_EQ(c.row_text(2), "----");

    EXPECT_FALSE(c.scroll(out, rect(5, 0, 9, 2), at(0, 0), CharCell{}));
}

TEST(MemoryConsole, FillsRunOnToTheNextRowsAndStopAtTheEnd) {
    MemoryConsole c(3, 3);
    ASSERT_TRUE(c.fill_character(out, '#', 4, at(2, 0)));
    EXPECT_EQ(c.row_text(0), "  #");
    EXPECT_EQ(c.row_text(1), "###");
    EXPECT_EQ(c.row_text(2), "   ");
    ASSERT_TRUE(c.fill_attribute(out, 0x4E, 100, at(1, 2)));
    EXPECT_EQ(c.cell(0, 2).attributes, 7);
    EXPECT_EQ(c.cell(1, 2).attributes, 0x4E);
    EXPECT_EQ(c.cell(2, 2).attributes, 0x4E);
    EXPECT_EQ(c.cell(1, 2).ch, ' ');  // attributes only
    EXPECT_FALSE(c.fill_character(out, '#', 1, at(0, 3)));
    EXPECT_FALSE(c.fill_attribute(out, 7, 1, at(-1, 0)));
}

TEST(MemoryConsole, CursorPositionKeepsTheCursorInTheWindow) {
    MemoryConsole c(5, 10, 3);
    ASSERT_TRUE(c.set_cursor_position(out, at(4, 2)));
    EXPECT_EQ(c.cursor(), at(4, 2));
    EXPECT_EQ(c.window(), rect(0, 0, 4, 2));
    EXPECT_FALSE(c.set_cursor_position(out, at(5, 2)));
    EXPECT_FALSE(c.set_cursor_position(out, at(0, 10)));
    EXPECT_EQ(c.cursor(), at(4, 2));

    // Below the window: the window moves down just far enough.
    ASSERT_TRUE(c.set_cursor_position(out, at(1, 6)));
    EXPECT_EQ(c.window(), rect(0, 4, 4, 6));
    // Above it: the window's top comes up to the cursor's row.
    ASSERT_TRUE(c.set_cursor_position(out, at(1, 1)));
    EXPECT_EQ(c.window(), rect(0, 1, 4, 3));
    EXPECT_TRUE(c.window_changes().empty());  // not a set_window call
}

TEST(MemoryConsole, CursorInfo) {
    MemoryConsole c(3, 3);
    CursorInfo ci;
    ASSERT_TRUE(c.get_cursor_info(out, ci));
    EXPECT_TRUE(ci.visible);
    ci.visible = false;
    ASSERT_TRUE(c.set_cursor_info(out, ci));
    EXPECT_FALSE(c.cursor_visible());
    ci.visible = true;
    ci.size = 0;
    EXPECT_FALSE(c.set_cursor_info(out, ci));
    ci.size = 101;
    EXPECT_FALSE(c.set_cursor_info(out, ci));
    EXPECT_FALSE(c.cursor_visible());
}

TEST(MemoryConsole, SetWindowAbsoluteAndRelative) {
    MemoryConsole c(6, 8, 3);
    ASSERT_TRUE(c.set_window(out, true, rect(0, 2, 5, 4)));
    EXPECT_EQ(c.window(), rect(0, 2, 5, 4));
    ASSERT_TRUE(c.set_window(out, false, rect(0, 1, 0, 2)));  // down one, one row taller
    EXPECT_EQ(c.window(), rect(0, 3, 5, 6));
    EXPECT_FALSE(c.set_window(out, true, rect(0, 6, 5, 8)));  // past the buffer
    EXPECT_FALSE(c.set_window(out, true, rect(0, 4, 5, 3)));  // upside down
    EXPECT_FALSE(c.set_window(out, false, rect(-1, 0, 0, 0)));
    EXPECT_EQ(c.window(), rect(0, 3, 5, 6));
    ASSERT_EQ(c.window_changes().size(), 2u);
    EXPECT_EQ(c.window_changes()[0], rect(0, 2, 5, 4));
    EXPECT_EQ(c.window_changes()[1], rect(0, 3, 5, 6));
}

TEST(MemoryConsole, WriteFileCapturesWithFaults) {
    MemoryConsole c(3, 3);
    c.set_output_redirected(true);
    std::uint32_t written = 99;
    ASSERT_TRUE(c.write_file(out, "ab\r\n", 4, written));
    EXPECT_EQ(written, 4u);
    c.set_write_limit(3);
    ASSERT_TRUE(c.write_file(out, "\x07\x08\x09xyz", 6, written));
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(c.output(), std::string("ab\r\n\x07\x08\x09"));
    c.set_write_failing(true);
    EXPECT_FALSE(c.write_file(out, "q", 1, written));
    EXPECT_EQ(written, 0u);
    EXPECT_FALSE(c.write_file(in, "q", 1, written));
    EXPECT_EQ(c.write_file_calls(), 4);
    EXPECT_EQ(c.row_text(0), "   ");  // nothing reaches the screen buffer
}

TEST(MemoryConsole, ScriptedInput) {
    MemoryConsole c(3, 3);
    InputEvent event;
    std::uint32_t count = 9;
    ASSERT_TRUE(c.peek_input(in, event, count));
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(c.read_input(in, event, count));

    KeyEvent a;
    a.ch = 'a';
    a.virtual_key = 0x41;
    c.push_event(InputEvent{EventKind::focus, {}});
    c.push_key(a);
    ASSERT_TRUE(c.peek_input(in, event, count));
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(event.kind, EventKind::focus);
    EXPECT_EQ(c.pending_events(), 2u);  // peek leaves it queued
    ASSERT_TRUE(c.read_input(in, event, count));
    ASSERT_TRUE(c.read_input(in, event, count));
    EXPECT_EQ(event.kind, EventKind::key);
    EXPECT_EQ(event.key, a);
    EXPECT_EQ(c.pending_events(), 0u);
    EXPECT_EQ(c.map_virtual_key_char(0x41),
              static_cast<std::uint32_t>('A'));  // upper case, as Windows reports

    c.push_key(a);
    c.set_input_redirected(true);
    EXPECT_FALSE(c.peek_input(in, event, count));
    EXPECT_FALSE(c.read_input(in, event, count));
}

bool refuse(std::uint32_t) {
    return false;
}
bool take_all(std::uint32_t) {
    return true;
}

TEST(MemoryConsole, ControlHandlersAreAskedLastInstalledFirst) {
    MemoryConsole c(3, 3);
    EXPECT_FALSE(c.raise_ctrl_event(ctrl_event::c));
    ASSERT_TRUE(c.set_ctrl_handler(take_all, true));
    ASSERT_TRUE(c.set_ctrl_handler(refuse, true));
    EXPECT_TRUE(c.raise_ctrl_event(ctrl_event::c));  // refuse passes it on
    ASSERT_TRUE(c.set_ctrl_handler(take_all, false));
    EXPECT_FALSE(c.raise_ctrl_event(ctrl_event::brk));
    EXPECT_EQ(c.ctrl_handler_count(), 1u);
    EXPECT_FALSE(c.set_ctrl_handler(take_all, false));
    EXPECT_FALSE(c.set_ctrl_handler(nullptr, true));
}

TEST(MemoryConsole, BeepSleepAndIdleWaits) {
    MemoryConsole c(3, 3);
    c.beep(1000, 250);
    ASSERT_EQ(c.beeps().size(), 1u);
    EXPECT_EQ(c.beeps()[0], std::make_pair(1000u, 250u));

    c.max_idle_sleeps = 2;
    c.sleep(25);
    c.sleep(25);
    EXPECT_THROW(c.sleep(25), std::runtime_error);
    EXPECT_EQ(c.sleeps().size(), 3u);

    int calls = 0;
    c.on_sleep = [&calls](MemoryConsole& mc) {
        if (++calls == 2) mc.push_key(KeyEvent{});
    };
    c.sleep(25);
    c.sleep(25);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(c.pending_events(), 1u);
}

}  // namespace
}  // namespace pelorin::platform
