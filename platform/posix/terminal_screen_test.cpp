#include "platform/posix/terminal_screen.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/code_page.h"
#include "platform/posix/terminal_vt.h"
#include "platform/posix/testing/terminal_emulator.h"
#include "platform/testing/coords.h"

namespace pelorin::platform {
namespace {

class TerminalScreenTest : public ::testing::Test {
  protected:
    void start(int cols, int rows, bool utf8 = false) {
        screen.reset(cols, rows);
        screen.set_charset(utf8, CodePage::cp437);
        term = std::make_unique<testing::TerminalEmulator>(cols, rows);
    }

    void put(int x, int y, const std::string& text) {
        screen.put_cells(at(x, y), reinterpret_cast<const std::uint8_t*>(text.data()),
                         static_cast<int>(text.size()));
    }

    // Brings the terminal to the screen drawn and the cursor wanted, as the
    // console does when the program waits; returns the bytes it took.
    std::string send() {
        screen.settle();
        std::string bytes = screen.take_output();
        term->feed(bytes);
        return bytes;
    }

    // The terminal shows what the screen copy says: drawn cells as their
    // glyphs, cells never drawn as what was there before.
    void expect_terminal_matches() {
        for (int y = 0; y < screen.rows(); ++y)
            for (int x = 0; x < screen.cols(); ++x) {
                const int c = screen.cell(x, y);
                const char32_t want = c < 0 ? U'.' : cp437_to_unicode(static_cast<std::uint8_t>(c));
                ASSERT_EQ(term->at(x, y), want) << "cell " << x << ',' << y;
            }
    }

    void draw_rows(const char* const* rows) {
        for (int y = 0; y < screen.rows(); ++y)
            put(0, y, rows[y]);
    }

  public:  // what every test works with
    TerminalScreen screen;
    std::unique_ptr<testing::TerminalEmulator> term;
};

TEST_F(TerminalScreenTest, CellAtTheTrackedCursorIsJustItsGlyph) {
    start(10, 4);
    screen.set_terminal_cursor(at(3, 1));
    put(3, 1, "A");
    screen.set_cursor(at(4, 1));
    screen.settle();
    EXPECT_EQ(screen.take_output(), "A");
}

TEST_F(TerminalScreenTest, UnknownTerminalCursorIsPlacedAbsolutely) {
    start(10, 4);
    put(2, 1, "hi");
    screen.set_cursor(at(4, 1));
    EXPECT_EQ(send(), "\x1b[2;3Hhi");
    put(3, 1, "!");  // the cursor is known now
    EXPECT_EQ(send(), "\b!");
}

TEST_F(TerminalScreenTest, LastCellOfTheBottomRowLeavesNoWrapPending) {
    start(10, 4);
    screen.set_terminal_cursor(at(7, 3));
    term->place_cursor(7, 3);
    put(7, 3, "XYZ");
    screen.set_cursor(at(9, 3));
    EXPECT_EQ(send(), "XYZ\x1b[4;10H");
    EXPECT_FALSE(term->wrap_pending());
    EXPECT_EQ(term->scrolled_off(), 0);
    screen.set_cursor(at(0, 0));
    send();
    EXPECT_EQ(term->scrolled_off(), 0);
    expect_terminal_matches();
}

TEST_F(TerminalScreenTest, MoveAfterTheLastCellOfARowIsAbsolute) {
    start(10, 4);
    screen.set_terminal_cursor(at(7, 1));
    term->place_cursor(7, 1);
    put(7, 1, "abc");
    put(0, 2, "d");
    screen.set_cursor(at(1, 2));
    EXPECT_EQ(send(), "abc\x1b[3Hd");
    expect_terminal_matches();
}

const char* const four_rows[] = {"row0 aaaaa", "row1 bbbbb", "row2 ccccc", "row3 ddddd"};

TEST_F(TerminalScreenTest, WholeWindowScrollsByLineFeedAtTheBottom) {
    start(10, 4);
    draw_rows(four_rows);
    screen.set_cursor(at(0, 3));
    screen.settle();
    send();
    ASSERT_TRUE(screen.scroll(rect(0, 1, 9, 3), at(0, 0), ' '));
    EXPECT_EQ(send(), "\n");
    EXPECT_EQ(term->scrolled_off(), 1);
    expect_terminal_matches();
    EXPECT_EQ(term->row(3), U"          ");
    EXPECT_EQ(term->row(0), U"row1 bbbbb");
}

TEST_F(TerminalScreenTest, WholeWindowScrollFromAnotherColumn) {
    start(10, 4);
    draw_rows(four_rows);
    screen.set_cursor(at(4, 3));
    screen.settle();
    send();
    ASSERT_TRUE(screen.scroll(rect(0, 2, 9, 3), at(0, 0), ' '));
    EXPECT_EQ(send(), "\r\n\n\x1b[4C");  // back to the cursor's column
    EXPECT_EQ(term->scrolled_off(), 2);
    expect_terminal_matches();
}

TEST_F(TerminalScreenTest, PartOfTheRowsScrollsInsideARegion) {
    start(10, 4);
    draw_rows(four_rows);
    screen.set_cursor(at(0, 2));
    screen.settle();
    send();
    // The view is the top three rows of the window.
    ASSERT_TRUE(screen.scroll(rect(0, 1, 9, 2), at(0, 0), ' '));
    EXPECT_EQ(send(), "\x1b[1;3r\x1b[3H\n\x1b[r\x1b[3H");
    EXPECT_TRUE(term->region_is_whole_screen());
    EXPECT_EQ(term->scrolled_off(), 0);
    EXPECT_EQ(term->row(3), U"row3 ddddd");
    expect_terminal_matches();
    screen.settle();  // back to where the program wants the cursor
    send();
    EXPECT_EQ(term->x(), 0);
    EXPECT_EQ(term->y(), 2);
}

TEST_F(TerminalScreenTest, RowsInTheMiddleScrollByMoreThanOne) {
    start(10, 4);
    draw_rows(four_rows);
    ASSERT_TRUE(screen.scroll(rect(0, 3, 9, 3), at(0, 1), ' '));
    send();
    expect_terminal_matches();
    EXPECT_EQ(term->row(0), U"row0 aaaaa");
    EXPECT_EQ(term->row(1), U"row3 ddddd");
    EXPECT_EQ(term->row(2), U"row2 ccccc");  // neither source nor destination
    EXPECT_EQ(term->row(3), U"          ");
}

TEST_F(TerminalScreenTest, NarrowRectangleIsRedrawnNotScrolled) {
    start(10, 4);
    draw_rows(four_rows);
    send();
    ASSERT_TRUE(screen.scroll(rect(2, 1, 5, 3), at(2, 0), ' '));
    const std::string bytes = send();
    EXPECT_EQ(bytes.find('\n'), std::string::npos);
    expect_terminal_matches();
    EXPECT_EQ(term->row(0), U"row1 baaaa");
    EXPECT_EQ(term->row(3), U"ro    dddd");
}

TEST_F(TerminalScreenTest, FillOtherThanBlankIsDrawn) {
    start(10, 4);
    draw_rows(four_rows);
    ASSERT_TRUE(screen.scroll(rect(0, 1, 9, 3), at(0, 0), 'z'));
    send();
    expect_terminal_matches();
    EXPECT_EQ(term->row(3), U"zzzzzzzzzz");
}

TEST_F(TerminalScreenTest, ScrollOutsideTheScreenFails) {
    start(10, 4);
    EXPECT_FALSE(screen.scroll(rect(0, 4, 9, 6), at(0, 0), ' '));
    EXPECT_EQ(screen.take_output(), "");
}

TEST_F(TerminalScreenTest, FillsEraseOrDrawCells) {
    start(10, 4);
    draw_rows(four_rows);
    screen.set_cursor(at(0, 3));
    screen.settle();
    send();
    screen.fill(at(4, 3), 6, ' ');  // to the end of the row
    EXPECT_EQ(send(), "\x1b[5C\x1b[K\r");
    screen.fill(at(1, 0), 3, ' ');  // inside a row: blanks as short as the erase
    EXPECT_EQ(send(), "\x1b[1;2H   \x1b[4H");
    screen.fill(at(1, 1), 7, ' ');  // longer: erased
    EXPECT_EQ(send(), "\x1b[2;2H\x1b[7X\x1b[4H");
    screen.fill(at(8, 1), 4, 0);  // over two rows; byte 0 shows blank
    screen.fill(at(0, 2), 2, '#');
    EXPECT_EQ(send(), "\x1b[2;9H  \x1b[3H##\x1b[4H");
    expect_terminal_matches();
    EXPECT_EQ(term->row(0), U"r    aaaaa");
    EXPECT_EQ(term->row(1), U"r         ");
    EXPECT_EQ(term->row(2), U"##w2 ccccc");
    EXPECT_EQ(term->row(3), U"row3      ");
}

TEST_F(TerminalScreenTest, OnlyNetVisibilityChangesAreSent) {
    start(10, 4);
    screen.set_terminal_cursor(at(0, 0));
    screen.set_cursor_visible(false);
    screen.set_cursor_visible(true);
    screen.settle();
    EXPECT_EQ(screen.take_output(), "");
    screen.set_cursor_visible(false);
    screen.settle();
    screen.settle();
    EXPECT_EQ(screen.take_output(), "\x1b[?25l");
}

TEST_F(TerminalScreenTest, TextMovedSidewaysIsShiftedByTheTerminal) {
    start(12, 3);
    put(0, 1, "abcdef      ");
    screen.set_cursor(at(2, 1));
    send();
    put(2, 1, "Xcdef");  // an insert at column 2
    screen.set_cursor(at(3, 1));
    EXPECT_EQ(send(), "\x1b[@X");
    put(3, 1, "def ");  // the c deleted
    EXPECT_EQ(send(), "\x1b[P");
    put(0, 1, "a-");              // one changed cell moves nothing
    EXPECT_EQ(send(), "\b\b-X");  // the X again: shorter than a move
    expect_terminal_matches();
    // A row of a wrapped line shifts too; its last cell goes on in the next.
    put(0, 0, "0123456789AB");
    put(0, 1, "Ca-Xdef");
    screen.set_cursor(at(0, 0));
    send();
    put(0, 0, "*0123456789A");
    put(0, 1, "BCa-Xdef");
    EXPECT_EQ(send(), "\x1b[@*\x1b[2H\x1b[@B\x1b[H");
    expect_terminal_matches();
}

// The screen after a change of the terminal's width, row by row, and the
// cursor.
struct Relaid {
    std::vector<std::u32string> rows;
    Coord cursor;
};

Relaid resized(int cols, int rows) {
    TerminalScreen screen;
    screen.reset(8, 4);
    screen.set_terminal_cursor(at(0, 0));
    const auto put = [&](int x, int y, std::string_view text) {
        screen.put_cells(at(x, y), reinterpret_cast<const std::uint8_t*>(text.data()),
                         static_cast<int>(text.size()));
    };
    put(0, 0, "Q 1: yes");  // a line of 13 characters over two rows
    put(0, 1, "or no");
    put(0, 2, "ab");  // an answer being typed, the cursor after a
    screen.set_cursor(at(1, 2));
    screen.settle();
    (void)screen.take_output();
    screen.resize(cols, rows, at(0, 0));
    testing::TerminalEmulator term(cols, rows);
    term.feed(screen.take_output());
    screen.settle();
    term.feed(screen.take_output());
    Relaid r{{}, screen.cursor()};
    for (int y = 0; y < rows; ++y)
        r.rows.push_back(term.row(y));
    EXPECT_EQ(term.x(), r.cursor.x);
    EXPECT_EQ(term.y(), r.cursor.y);
    return r;
}

TEST(TerminalScreenResize, LinesAreLaidOutAgainAtANewWidth) {
    Relaid narrow = resized(5, 6);
    EXPECT_EQ(narrow.rows, (std::vector<std::u32string>{U"Q 1: ", U"yesor", U" no  ", U"ab   ",
                                                        U"     ", U"     "}));
    EXPECT_EQ(narrow.cursor, at(1, 3));
    Relaid wide = resized(20, 3);
    EXPECT_EQ(wide.rows[0], U"Q 1: yesor no       ");
    EXPECT_EQ(wide.rows[1], U"ab                  ");
    EXPECT_EQ(wide.cursor, at(1, 1));
    // Too few rows: the first ones go.
    Relaid flat = resized(4, 2);
    EXPECT_EQ(flat.rows, (std::vector<std::u32string>{U"o   ", U"ab  "}));
    EXPECT_EQ(flat.cursor, at(1, 1));
}

TEST_F(TerminalScreenTest, ChangeOfHeightMovesTheRowsWithTheCursor) {
    start(6, 4);
    put(0, 2, "top");
    put(0, 3, "low");
    screen.set_cursor(at(3, 3));
    send();
    screen.resize(6, 3, at(3, 2));  // a row went to the scroll-back
    EXPECT_EQ(screen.take_output(), "");
    EXPECT_EQ(screen.cell(0, 1), 't');
    EXPECT_EQ(screen.cell(0, 2), 'l');
    EXPECT_EQ(screen.cursor(), at(3, 2));
    screen.resize(6, 5, at(3, 4));  // and came back, with another
    EXPECT_EQ(screen.cell(0, 3), 't');
    EXPECT_EQ(screen.cell(0, 0), -1);
    EXPECT_EQ(screen.cursor(), at(3, 4));
}

TEST_F(TerminalScreenTest, CursorLineIsDrawnAgainBelowWhatTheShellWrote) {
    start(6, 4);
    screen.set_terminal_cursor(at(0, 1));
    term->place_cursor(0, 1);
    put(0, 1, "Q1:");
    put(0, 2, "answer");  // a wrapped answer, the cursor in its second row
    put(0, 3, "ab");
    screen.set_cursor(at(1, 3));
    send();
    term->feed("\r\n^Z\r\n$ fg");  // the shell, below
    screen.redraw_cursor_line(6, 4, at(4, 3));
    send();
    EXPECT_EQ(term->row(0), U"^Z    ");
    EXPECT_EQ(term->row(1), U"$ fg  ");
    EXPECT_EQ(term->row(2), U"answer");
    EXPECT_EQ(term->row(3), U"ab    ");
    EXPECT_EQ(screen.cursor(), at(1, 3));
    EXPECT_EQ(term->x(), 1);
    EXPECT_EQ(term->y(), 3);
}

// Any mix of drawing, when it reaches the terminal, leaves the terminal
// showing what the copy says, with the cursor and visibility wanted.
void random_session(bool utf8, bool onlcr, unsigned seed) {
    constexpr int cols = 9;
    constexpr int rows = 6;
    TerminalScreen screen;
    screen.reset(cols, rows);
    screen.set_charset(utf8, CodePage::cp437);
    testing::TerminalEmulator term(cols, rows);
    term.set_onlcr(onlcr);
    term.set_latin1(!utf8);
    std::mt19937 random(seed);
    auto pick = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    for (int step = 0; step < 400; ++step) {
        switch (pick(0, 5)) {
            case 0:
            case 1: {
                const int x = pick(0, cols - 1);
                std::vector<std::uint8_t> bytes(static_cast<std::size_t>(pick(1, cols - x)));
                for (auto& b : bytes)
                    b = static_cast<std::uint8_t>(pick(0, 255));
                screen.put_cells(at(x, pick(0, rows - 1)), bytes.data(),
                                 static_cast<int>(bytes.size()));
                break;
            }
            case 2:
                screen.fill(at(pick(0, cols - 1), pick(0, rows - 1)), pick(1, 20),
                            static_cast<std::uint8_t>(pick(0, 1) != 0 ? ' ' : pick(0, 255)));
                break;
            case 3: {
                const int top = pick(1, rows - 1);
                const int bottom = pick(top, rows - 1);
                const int full = pick(0, 2) != 0;
                const int left = full ? 0 : pick(0, cols - 1);
                const int right = full ? cols - 1 : pick(left, cols - 1);
                ASSERT_TRUE(
                    screen.scroll(rect(left, top, right, bottom), at(left, pick(0, top - 1)), ' '));
                break;
            }
            case 4:
                screen.set_cursor(at(pick(0, cols - 1), pick(0, rows - 1)));
                screen.set_cursor_visible(pick(0, 1) != 0);
                break;
            default:
                screen.settle();
                term.feed(screen.take_output());
        }
    }
    screen.settle();
    term.feed(screen.take_output());
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < cols; ++x) {
            const int c = screen.cell(x, y);
            const char32_t glyph = c < 0 ? U'.' : cp437_to_unicode(static_cast<std::uint8_t>(c));
            const bool latin1 = (glyph >= 0x20 && glyph < 0x7F) || (glyph >= 0xA0 && glyph <= 0xFF);
            const char32_t want = utf8 || latin1 ? glyph : U'?';
            ASSERT_EQ(term.at(x, y), want) << "seed " << seed << " cell " << x << ',' << y;
        }
    EXPECT_EQ(term.x(), screen.cursor().x) << "seed " << seed;
    EXPECT_EQ(term.y(), screen.cursor().y) << "seed " << seed;
    EXPECT_EQ(term.cursor_visible(), screen.cursor_visible()) << "seed " << seed;
    EXPECT_TRUE(term.region_is_whole_screen());
}

TEST(TerminalScreenSession, TerminalAlwaysShowsTheCopy) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        random_session(seed % 2 == 0, seed % 3 == 0, seed);
        if (HasFatalFailure()) return;
    }
}

}  // namespace
}  // namespace pelorin::platform
