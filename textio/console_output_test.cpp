#include "textio/console_output.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "textio/console_output_internal.h"
#include "textio/print.h"
#include "textio/testing/console_fixture.h"

namespace pelorin::textio {
namespace {

using Rows = std::vector<std::string>;
using ConsoleOutput = ConsoleTest;

const std::pair<std::uint32_t, std::uint32_t> bell{1000u, 250u};

// --- line ends and scrolling -----------------------------------------------

TEST_F(ConsoleOutput, LineEndOnTheBottomRowScrollsTheBufferInTheCurrentAttribute) {
    install(8, 4);
    console_print("one", true);
    console_print("two", true);
    console_print("three", true);
    console_print("four", false);
    EXPECT_EQ(con().cursor(), at(4, 3));
    con().set_attribute(0x1E);
    console_newline();
    EXPECT_EQ(screen(), (Rows{"two     ", "three   ", "four    ", "        "}));
    EXPECT_EQ(con().cursor(), at(0, 3));
    EXPECT_EQ(con().cell(0, 3).attributes, 0x1E);
    EXPECT_EQ(con().cell(7, 3).attributes, 0x1E);
    EXPECT_EQ(con().cell(0, 2).attributes, 7);
    EXPECT_EQ(con().window(), rect(0, 0, 7, 3));
    EXPECT_TRUE(con().window_changes().empty());
}

TEST_F(ConsoleOutput, LineEndOnTheBottomRowMovesTheWindowWhileTheBufferHasRowsBelow) {
    install(8, 6, 4);
    console_print("one", true);
    console_print("two", true);
    console_print("three", true);
    console_print("four", false);
    console_newline();
    EXPECT_EQ(screen(),
              (Rows{"one     ", "two     ", "three   ", "four    ", "        ", "        "}));
    EXPECT_EQ(con().window(), rect(0, 1, 7, 4));
    EXPECT_EQ(con().window_changes(), std::vector<platform::Rect>{rect(0, 1, 7, 4)});
    EXPECT_EQ(con().cursor(), at(0, 4));

    console_print("five", true);  // the window reaches the buffer's last row
    EXPECT_EQ(con().window(), rect(0, 2, 7, 5));
    console_print("six", true);  // no rows left below: the buffer scrolls
    EXPECT_EQ(screen(),
              (Rows{"two     ", "three   ", "four    ", "five    ", "six     ", "        "}));
    EXPECT_EQ(con().window(), rect(0, 2, 7, 5));
    EXPECT_EQ(con().cursor(), at(0, 5));
    int column = 0;
    int row = 0;
    console_get_cursor(&column, &row);
    EXPECT_EQ(column, 1);
    EXPECT_EQ(row, 4);
}

TEST_F(ConsoleOutput, TextAsWideAsTheWindowOnTheBottomRowLeavesTheScrollPending) {
    install(8, 4);
    ASSERT_EQ(console_locate(4, 1, CursorVisibility::keep, nullptr), STATUS_OK);
    write("ABCDEFGH");
    EXPECT_EQ(screen(), (Rows{"        ", "        ", "        ", "ABCDEFGH"}));
    EXPECT_EQ(con().cursor(), at(7, 3));
    EXPECT_TRUE(console_state.scroll_pending);

    write("x");  // scrolls first, then starts at column 1 of the new bottom row
    EXPECT_EQ(screen(), (Rows{"        ", "        ", "ABCDEFGH", "x       "}));
    EXPECT_EQ(con().cursor(), at(1, 3));
    EXPECT_FALSE(console_state.scroll_pending);

    write("1234567");
    EXPECT_TRUE(console_state.scroll_pending);
    ASSERT_EQ(console_locate(2, 3, CursorVisibility::keep, nullptr),
              STATUS_OK);  // cancels the scroll
    EXPECT_FALSE(console_state.scroll_pending);
    write("yz");
    EXPECT_EQ(screen(), (Rows{"        ", "  yz    ", "ABCDEFGH", "x1234567"}));
    EXPECT_EQ(con().cursor(), at(4, 1));
}

TEST_F(ConsoleOutput, FullWidthTextAndALineEndLeaveOneEmptyRow) {
    install(8, 4);
    console_print("ABCDEFGH", true);
    console_print("x", false);
    EXPECT_EQ(screen(), (Rows{"ABCDEFGH", "        ", "x       ", "        "}));

    ASSERT_EQ(console_locate(4, 1, CursorVisibility::keep, nullptr), STATUS_OK);
    console_print("abcdefgh", true);
    console_print("y", false);
    EXPECT_EQ(screen(), (Rows{"x       ", "abcdefgh", "        ", "y       "}));
    EXPECT_EQ(con().cursor(), at(1, 3));
}

TEST_F(ConsoleOutput, TextOneWiderThanTheWindowWrapsItsLastCharacter) {
    install(8, 4);
    write("ABCDEFGHI");
    EXPECT_EQ(screen(), (Rows{"ABCDEFGH", "I       ", "        ", "        "}));
    EXPECT_EQ(con().cursor(), at(1, 1));
    EXPECT_FALSE(console_state.scroll_pending);

    ASSERT_EQ(console_locate(4, 1, CursorVisibility::keep, nullptr), STATUS_OK);
    write("abcdefghi");
    EXPECT_EQ(screen(), (Rows{"I       ", "        ", "abcdefgh", "i       "}));
    EXPECT_EQ(con().cursor(), at(1, 3));
    EXPECT_FALSE(console_state.scroll_pending);
}

// --- control characters -------------------------------------------------------

TEST_F(ConsoleOutput, TabStopsEveryEightColumns) {
    install(20, 3);
    con().put_text(0, 0, std::string(20, 'z'));
    write("A\tB");  // the TAB writes its blanks over what was there
    EXPECT_EQ(con().row_text(0), "A       Bzzzzzzzzzzz");
    EXPECT_EQ(con().cursor(), at(9, 0));
    write("\r\n1234567\tx");  // from column 8: one blank
    EXPECT_EQ(con().row_text(1), "1234567 x           ");
    write("\r\n12345678\tx");  // from column 9: eight blanks
    EXPECT_EQ(con().row_text(2), "12345678        x   ");
    EXPECT_EQ(con().cursor(), at(17, 2));
}

TEST_F(ConsoleOutput, TabBlanksWrapOntoTheNextRow) {
    install(10, 3);
    for (int y = 0; y < 3; ++y)
        con().put_text(0, y, "zzzzzzzzzz");
    write("12345678\tx");
    EXPECT_EQ(screen(), (Rows{"12345678  ", "      xzzz", "zzzzzzzzzz"}));
    EXPECT_EQ(con().cursor(), at(7, 1));
    write("\tQ");  // the stop is counted on the wrapped row: column 9
    EXPECT_EQ(con().row_text(1), "      x Qz");

    install(10, 3);
    write("1234567890\tx");  // a full row, then a TAB from column 1 of the next
    EXPECT_EQ(screen(), (Rows{"1234567890", "        x ", "          "}));
    EXPECT_EQ(con().cursor(), at(9, 1));
}

TEST_F(ConsoleOutput, BackspaceMovesLeftWithoutErasingOrLeavingTheRow) {
    install(8, 4);
    write("AB\bC");
    EXPECT_EQ(con().row_text(0), "AC      ");
    EXPECT_EQ(con().cursor(), at(2, 0));
    write("\b\b");
    EXPECT_EQ(con().row_text(0), "AC      ");
    EXPECT_EQ(con().cursor(), at(0, 0));
    write("\b");  // column 1: nothing happens
    EXPECT_EQ(con().cursor(), at(0, 0));
    write("\r\n\bX");
    EXPECT_EQ(screen(), (Rows{"AC      ", "X       ", "        ", "        "}));
    EXPECT_EQ(con().cursor(), at(1, 1));
}

TEST_F(ConsoleOutput, CarriageReturnAndLineFeedAlone) {
    install(8, 4);
    write("abc");
    write("\r");
    EXPECT_EQ(con().cursor(), at(0, 0));
    EXPECT_EQ(con().row_text(0), "abc     ");
    write("X");
    EXPECT_EQ(con().row_text(0), "Xbc     ");
    write("\n");  // a line feed returns to column 1 as well
    EXPECT_EQ(con().cursor(), at(0, 1));
    write("\n\n");
    EXPECT_EQ(con().cursor(), at(0, 3));
    EXPECT_EQ(con().row_text(0), "Xbc     ");
}

TEST_F(ConsoleOutput, BellBeepsAndTakesNoColumn) {
    install(8, 4);
    write("ab");
    const int cell_writes = con().write_cells_calls();
    write("\a");
    EXPECT_EQ(con().beeps(), (std::vector<std::pair<std::uint32_t, std::uint32_t>>{bell}));
    EXPECT_EQ(con().cursor(), at(2, 0));
    EXPECT_EQ(screen(), (Rows{"ab      ", "        ", "        ", "        "}));
    EXPECT_EQ(con().write_cells_calls(), cell_writes);

    write("c\ad");  // the bell does not split the run
    EXPECT_EQ(con().beeps().size(), 2u);
    EXPECT_EQ(con().row_text(0), "abcd    ");
    EXPECT_EQ(con().write_cells_calls(), cell_writes + 1);
}

TEST_F(ConsoleOutput, EveryOtherByteIsOneCell) {
    install(8, 2);
    const std::string bytes("\x00\x0b\x0c\xff\x01\x1b\x7f", 7);
    write(bytes);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(con().cell(i, 0).ch, static_cast<std::uint8_t>(bytes[std::size_t(i)])) << i;
    EXPECT_EQ(con().cell(7, 0).ch, ' ');
    EXPECT_EQ(con().cursor(), at(7, 0));
}

// --- invariance ----------------------------------------------------------------

struct Snapshot {
    std::vector<std::string> rows;
    platform::Coord cursor;
    platform::Rect window;
    bool pending = false;
    bool operator==(const Snapshot&) const = default;
};

// 600 bytes cycling through every byte but the five control characters.
std::string printable_text() {
    std::string text;
    for (int b = 0; text.size() < 600; b = (b + 1) % 256) {
        if (b != 7 && b != 8 && b != 9 && b != 10 && b != 13) text.push_back(char(b));
    }
    return text;
}

class Invariance : public ConsoleTest {
  protected:
    Snapshot written_in(int window_rows, int buffer_rows, const std::vector<std::size_t>& chunks) {
        install(10, buffer_rows, window_rows);
        const std::string text = printable_text();
        std::size_t i = 0;
        for (std::size_t k = 0; i < text.size(); ++k) {
            const std::size_t n = std::min(chunks[k % chunks.size()], text.size() - i);
            write(std::string_view(text).substr(i, n));
            i += n;
        }
        return Snapshot{screen(), con().cursor(), con().window(), console_state.scroll_pending};
    }
};

TEST_F(Invariance, SixHundredBytesLookTheSameInOnePieceInPiecesAndByteByByte) {
    const std::string text = printable_text();
    for (const int buffer_rows : {3, 6}) {
        const Snapshot whole = written_in(3, buffer_rows, {600});
        EXPECT_EQ(written_in(3, buffer_rows, {1}), whole) << buffer_rows;
        EXPECT_EQ(written_in(3, buffer_rows, {7, 255, 256, 257, 3}), whole) << buffer_rows;
        EXPECT_EQ(written_in(3, buffer_rows, {10}), whole) << buffer_rows;

        // The buffer holds the text's last rows; the text ended in the last cell.
        for (int y = 0; y < buffer_rows; ++y) {
            const std::size_t from = 600 - std::size_t(10 * (buffer_rows - y));
            EXPECT_EQ(whole.rows[std::size_t(y)], text.substr(from, 10)) << y;
        }
        EXPECT_EQ(whole.cursor, at(9, buffer_rows - 1));
        EXPECT_EQ(whole.window, rect(0, buffer_rows - 3, 9, buffer_rows - 1));
        EXPECT_TRUE(whole.pending);
    }
}

TEST_F(ConsoleOutput, PrintableBytesGoOutInRunsOf256) {
    install(300, 2);
    write(std::string(300, 'a'));
    EXPECT_EQ(con().write_cells_calls(), 2);
    EXPECT_EQ(con().row_text(0), std::string(300, 'a'));
    EXPECT_EQ(con().cursor(), at(0, 1));
}

// --- the adjust write -----------------------------------------------------------

TEST_F(ConsoleOutput, EmptyAdjustWriteCarriesOutAPendingScroll) {
    install(8, 4);
    ASSERT_EQ(console_locate(4, 1, CursorVisibility::keep, nullptr), STATUS_OK);
    write("ABCDEFGH");
    console_write_raw(nullptr, 0, 0);  // without the flag: nothing at all
    EXPECT_TRUE(console_state.scroll_pending);
    EXPECT_EQ(con().cursor(), at(7, 3));

    console_write_raw(nullptr, 0, WRITE_ADJUST);
    EXPECT_FALSE(console_state.scroll_pending);
    EXPECT_EQ(screen(), (Rows{"        ", "        ", "ABCDEFGH", "        "}));
    EXPECT_EQ(con().cursor(), at(0, 3));
}

TEST_F(ConsoleOutput, EmptyAdjustWriteWithNothingPendingLeavesTheCursor) {
    install(8, 4);
    write("ab");
    ASSERT_EQ(console_locate(2, 4, CursorVisibility::keep, nullptr), STATUS_OK);
    const int cell_writes = con().write_cells_calls();
    console_write_raw(nullptr, 0, WRITE_ADJUST);
    EXPECT_EQ(con().cursor(), at(3, 1));
    EXPECT_EQ(screen(), (Rows{"ab      ", "        ", "        ", "        "}));
    EXPECT_EQ(con().write_cells_calls(), cell_writes);
}

// --- console_locate ---------------------------------------------------------------

TEST_F(ConsoleOutput, LocateRefusesPositionsOutsideTheView) {
    install(8, 4);
    ASSERT_EQ(console_locate(2, 3, CursorVisibility::keep, nullptr), STATUS_OK);
    for (const auto& [row, column] :
         std::vector<std::pair<int, int>>{{5, 1}, {0, 9}, {0, -1}, {-1, 0}, {5, 0}}) {
        LocateResult result{1, 2, true};
        EXPECT_EQ(console_locate(row, column, CursorVisibility::hide, &result), STATUS_BAD_CALL)
            << row << ',' << column;
        EXPECT_EQ(result, LocateResult{});
        EXPECT_EQ(con().cursor(), at(2, 1));
        EXPECT_TRUE(con().cursor_visible());
    }
    EXPECT_EQ(console_locate(4, 8, CursorVisibility::keep, nullptr), STATUS_OK);
    EXPECT_EQ(con().cursor(), at(7, 3));
}

TEST_F(ConsoleOutput, LocateReportsTheStateBeforeTheCall) {
    install(8, 4);
    ASSERT_EQ(console_locate(2, 3, CursorVisibility::keep, nullptr), STATUS_OK);
    LocateResult result;
    ASSERT_EQ(console_locate(0, 5, CursorVisibility::keep, &result),
              STATUS_OK);  // column 5 of the present row
    EXPECT_EQ(result, (LocateResult{5, 2, true}));
    EXPECT_EQ(con().cursor(), at(4, 1));
    EXPECT_TRUE(con().cursor_visible());

    ASSERT_EQ(console_locate(0, 0, CursorVisibility::hide, &result), STATUS_OK);  // hides
    EXPECT_EQ(result, (LocateResult{5, 2, true}));
    EXPECT_FALSE(con().cursor_visible());
    ASSERT_EQ(console_locate(3, 0, CursorVisibility::keep, &result), STATUS_OK);
    EXPECT_EQ(result, (LocateResult{5, 3, false})) << "it was hidden";
    EXPECT_FALSE(con().cursor_visible());
    ASSERT_EQ(console_locate(0, 0, CursorVisibility::show, &result), STATUS_OK);
    EXPECT_TRUE(con().cursor_visible());
    EXPECT_EQ(con().cursor(), at(4, 2));

    // Locating sets up the console channel.
    EXPECT_EQ(channel_table.records[CONSOLE_CHANNEL].ops, &ConsoleDeviceOps);
}

TEST_F(ConsoleOutput, LocateKeepsTheLowEightBitsAndWorksRelativeToTheWindow) {
    install(300, 3);
    LocateResult result;
    ASSERT_EQ(console_locate(3, 300, CursorVisibility::keep, nullptr), STATUS_OK);
    ASSERT_EQ(console_locate(0, 0, CursorVisibility::keep, &result), STATUS_OK);
    EXPECT_EQ(result, (LocateResult{300 & 0xFF, 3, true}));

    install(8, 8, 3);
    con().set_window_rect(rect(0, 4, 7, 6));
    ASSERT_EQ(console_locate(1, 1, CursorVisibility::keep, nullptr), STATUS_OK);
    EXPECT_EQ(con().cursor(), at(0, 4));
    ASSERT_EQ(console_locate(3, 8, CursorVisibility::keep, nullptr), STATUS_OK);
    EXPECT_EQ(con().cursor(), at(7, 6));
    int column = 0;
    int row = 0;
    console_get_cursor(&column, &row);
    EXPECT_EQ(column, 8);
    EXPECT_EQ(row, 3);
    write("\r\nz");  // the view's bottom row is the window's: this scrolls
    EXPECT_EQ(con().window(), rect(0, 5, 7, 7));
    EXPECT_EQ(con().row_text(7), "z       ");
}

// --- a window resized after the first output ---------------------------------------

TEST_F(ConsoleOutput, AWindowMadeTallerKeepsOutputToTheFirstRows) {
    install(8, 6, 3);
    console_print("a", true);
    for (int y = 3; y < 6; ++y)
        con().put_text(0, y, "zzzzzzzz");
    con().set_window_rect(rect(0, 0, 7, 5));  // the user drags the window taller
    console_print("b", true);
    console_print("c", true);
    console_print("d", true);
    EXPECT_EQ(screen(),
              (Rows{"c       ", "d       ", "        ", "zzzzzzzz", "zzzzzzzz", "zzzzzzzz"}));
    EXPECT_EQ(con().cursor(), at(0, 2));
    EXPECT_EQ(con().window(), rect(0, 0, 7, 5));
    EXPECT_TRUE(con().window_changes().empty());

    int width = 0;
    int height = 0;
    console_get_size(&width, &height);
    EXPECT_EQ(width, 8);
    EXPECT_EQ(height, 6);
    EXPECT_EQ(console_locate(4, 1, CursorVisibility::keep, nullptr),
              STATUS_BAD_CALL);  // the view stays 3 rows
}

TEST_F(ConsoleOutput, AWindowThatIsTheBufferIsFollowedAtEveryWrite) {
    install(8, 4).set_buffer_is_window(true);
    write("a\r\nb\r\nc\r\n");
    con().resize(8, 3);  // shorter: the cursor's row is now the bottom one
    write("d\r\n");
    EXPECT_EQ(screen(), (Rows{"b       ", "d       ", "        "}));
    EXPECT_EQ(con().cursor(), at(0, 2));
    con().resize(12, 5);  // wider and taller: both are used
    write("0123456789\r\ne\r\nf");
    EXPECT_EQ(screen(), (Rows{"b           ", "d           ", "0123456789  ", "e           ",
                              "f           "}));
    EXPECT_EQ(con().cursor(), at(1, 4));
    int width = 0;
    int height = 0;
    console_get_size(&width, &height);
    EXPECT_EQ(width, 12);
    EXPECT_EQ(height, 5);
    EXPECT_EQ(console_locate(5, 12, CursorVisibility::keep, nullptr), STATUS_OK);
}

// Another program left the cursor further below the view than one row.
TEST_F(ConsoleOutput, ScrollingByTheWholeViewBlanksItsRows) {
    install(8, 6, 2);
    write("a\r\nb");
    con().set_window_rect(rect(0, 0, 7, 5));
    console_write_raw(nullptr, 0, WRITE_ADJUST);  // takes in the new window
    for (int y = 2; y < 6; ++y)
        con().put_text(0, y, std::string(8, char('c' + y - 2)));
    con().set_cursor(at(0, 5));
    write("x");
    EXPECT_EQ(screen(),
              (Rows{"        ", "x       ", "cccccccc", "dddddddd", "eeeeeeee", "ffffffff"}));
    EXPECT_EQ(con().cursor(), at(1, 1));
}

TEST_F(ConsoleOutput, ScrollingFurtherThanTheRowsThatMoveBlanksTheRowsBetween) {
    install(8, 6, 3);
    write("a\r\nb\r\nc");
    con().set_window_rect(rect(0, 0, 7, 5));
    console_write_raw(nullptr, 0, WRITE_ADJUST);
    for (int y = 3; y < 6; ++y)
        con().put_text(0, y, "dddddddd");
    con().set_cursor(at(0, 4));
    write("x");
    EXPECT_EQ(screen(),
              (Rows{"c       ", "        ", "x       ", "dddddddd", "dddddddd", "dddddddd"}));
}

TEST_F(ConsoleOutput, TheWindowMovesAsFarAsItCanThenTheBufferScrolls) {
    install(8, 4, 2);
    write("a\r\nb");
    con().put_text(0, 2, "cccccccc");
    con().put_text(0, 3, "dddddddd");
    con().set_cursor(at(0, 3));
    write("\n");
    EXPECT_EQ(screen(), (Rows{"b       ", "cccccccc", "dddddddd", "        "}));
    EXPECT_EQ(con().window(), rect(0, 2, 7, 3));
    EXPECT_EQ(con().window_changes(), std::vector<platform::Rect>{rect(0, 2, 7, 3)});
    EXPECT_EQ(con().cursor(), at(0, 3));
}

TEST_F(ConsoleOutput, ScrollingAtLeastTheBufferHeightBlanksTheView) {
    install(8, 3);
    console_write_raw(nullptr, 0, WRITE_ADJUST);  // fills the window and fixes the view
    for (int y = 0; y < 3; ++y)
        con().put_text(0, y, std::string(8, char('a' + y)));
    con().set_attribute(0x2A);
    WriteContext ctx = console_write_context();
    ctx.cursor_y = 1;
    console_scroll(ctx, 2);
    EXPECT_EQ(screen(), (Rows{"cccccccc", "        ", "        "}));
    EXPECT_EQ(ctx.cursor_y, 2);
    EXPECT_EQ(con().cell(3, 1).attributes, 0x2A);

    con().put_text(0, 0, "xxxxxxxx");
    ctx.cursor_y = 0;
    console_scroll(ctx, 3);
    EXPECT_EQ(screen(), (Rows{"        ", "        ", "        "}));
    EXPECT_EQ(ctx.cursor_y, 2);
    EXPECT_EQ(con().cell(0, 0).attributes, 0x2A);
}

// --- redirected output and consoles too small to be one ------------------------------

TEST_F(ConsoleOutput, RedirectedOutputGetsTheBytesUnchanged) {
    install(8, 4).set_output_redirected(true);
    console_print("a\tb\a\bc", true);
    console_print(std::string(20, 'w'), false);
    EXPECT_EQ(con().output(), "a\tb\a\bc\r\n" + std::string(20, 'w'));
    EXPECT_TRUE(con().beeps().empty());
    EXPECT_EQ(con().write_cells_calls(), 0);
    EXPECT_EQ(screen(), (Rows{"        ", "        ", "        ", "        "}));

    int width = 0;
    int height = 0;
    console_get_size(&width, &height);
    EXPECT_EQ(width, 80);
    EXPECT_EQ(height, 25);
    int column = 9;
    int row = 9;
    console_get_cursor(&column, &row);
    EXPECT_EQ(column, 0);
    EXPECT_EQ(row, 0);
    EXPECT_EQ(console_get_column(), 0);
}

TEST_F(ConsoleOutput, RedirectedWritesRetryPartialCountsAndStopAtAFailure) {
    install(8, 4).set_output_redirected(true);
    con().set_write_limit(3);
    console_print("0123456789", false);
    EXPECT_EQ(con().output(), "0123456789");
    EXPECT_EQ(con().write_file_calls(), 4);

    con().set_write_failing(true);
    console_print("lost", true);
    EXPECT_EQ(con().output(), "0123456789");
    EXPECT_EQ(con().write_file_calls(), 6);  // one try for the text, one for the line end
}

TEST_F(ConsoleOutput, OneColumnOrOneRowIsNotAConsole) {
    install(1, 4);
    console_print("ab", true);
    EXPECT_EQ(con().output(), "ab\r\n");
    EXPECT_EQ(con().write_cells_calls(), 0);

    install(8, 4, 1);
    console_print("a\tb", true);
    EXPECT_EQ(con().output(), "a\tb\r\n");
    EXPECT_EQ(con().row_text(0), "        ");
    EXPECT_EQ(con().cursor(), at(0, 0));
    // Its coordinates are still the window's: column 1 is the first cell,
    // not "keep the current column".
    EXPECT_EQ(console_locate(1, 3, CursorVisibility::keep, nullptr), STATUS_OK);
    EXPECT_EQ(console_get_column(), 3);
    EXPECT_EQ(console_locate(1, 1, CursorVisibility::keep, nullptr), STATUS_OK);
    EXPECT_EQ(con().cursor(), at(0, 0));
}

// --- failing cell writes ---------------------------------------------------------------

TEST_F(ConsoleOutput, AFailedCellWriteDropsTheRestOfItsRun) {
    install(8, 4);
    con().set_write_cells_budget(1);
    write("ABCDEFGHIJ");  // the second segment fails
    EXPECT_EQ(screen(), (Rows{"ABCDEFGH", "        ", "        ", "        "}));
    EXPECT_EQ(con().cursor(), at(0, 1));

    con().set_write_cells_budget(0);
    const int cell_writes = con().write_cells_calls();
    write("ab\ncd");  // both runs are tried; the line feed still moves
    EXPECT_EQ(con().write_cells_calls(), cell_writes + 2);
    EXPECT_EQ(con().cursor(), at(0, 2));

    con().set_write_cells_budget(-1);
    write("x");
    EXPECT_EQ(screen(), (Rows{"ABCDEFGH", "        ", "x       ", "        "}));
    EXPECT_EQ(con().cursor(), at(1, 2));
}

// --- the print operations on the console channel ------------------------------------------

TEST_F(ConsoleOutput, PrintAndNewlineReachTheConsoleThroughChannelZero) {
    install(8, 4);
    console_print("Hello", true);
    console_print("wide text!", false);
    console_newline();
    const int cell_writes = con().write_cells_calls();
    console_print("", false);  // nothing at all
    EXPECT_EQ(con().write_cells_calls(), cell_writes);
    console_print_chars("ok", false);
    EXPECT_EQ(screen(), (Rows{"Hello   ", "wide tex", "t!      ", "ok      "}));
    EXPECT_EQ(con().cursor(), at(2, 3));

    const Channel& ch = channel_table.records[CONSOLE_CHANNEL];
    EXPECT_EQ(ch.ops, &ConsoleDeviceOps);
    EXPECT_EQ(ConsoleDeviceOps.write, &console_write_op);

    console_print("", true);  // the line end alone, on the bottom row
    EXPECT_EQ(screen(), (Rows{"wide tex", "t!      ", "ok      ", "        "}));
    EXPECT_EQ(con().cursor(), at(0, 3));
}

}  // namespace
}  // namespace pelorin::textio
