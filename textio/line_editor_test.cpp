#include "textio/line_editor.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/testing/memory_console.h"
#include "textio/answer_input.h"
#include "textio/key_reader.h"
#include "textio/line_editor_internal.h"
#include "textio/testing/console_fixture.h"

namespace pelorin::textio {
namespace {

using platform::key_state::enhanced;

platform::KeyEvent char_key(char c) {
    platform::KeyEvent k;
    k.ch = static_cast<std::uint8_t>(c);
    return k;
}

platform::KeyEvent grey_key(std::uint16_t scan) {
    platform::KeyEvent k;
    k.scan_code = scan;
    k.control_state = enhanced;
    return k;
}

const platform::KeyEvent LEFT = grey_key(0x4B);
const platform::KeyEvent RIGHT = grey_key(0x4D);
const platform::KeyEvent UP = grey_key(0x48);
const platform::KeyEvent DOWN = grey_key(0x50);
const platform::KeyEvent HOME = grey_key(0x47);
const platform::KeyEvent END = grey_key(0x4F);
const platform::KeyEvent DEL = grey_key(0x53);
const platform::KeyEvent INSERT = grey_key(0x52);
const platform::KeyEvent PAGE_UP = grey_key(0x49);
const platform::KeyEvent ENTER = char_key('\r');
const platform::KeyEvent BACKSPACE = char_key('\b');
const platform::KeyEvent TAB = char_key('\t');
const platform::KeyEvent ESC = char_key('\x1b');

class LineEditor : public ConsoleTest {
  protected:
    void type(const std::string& text) {
        for (char c : text)
            con().push_key(char_key(c));
    }
    void press(const platform::KeyEvent& k, int times = 1) {
        for (int i = 0; i < times; ++i)
            con().push_key(k);
    }
    std::string read_line() {
        std::optional<Text> line = read_console_line();
        EXPECT_TRUE(line.has_value());
        return line.value_or("<failed>");
    }
    // Row r (1-based) of the window, trailing blanks removed.
    std::string row(int r) {
        std::string s = con().window_row(r);
        while (!s.empty() && s.back() == ' ')
            s.pop_back();
        return s;
    }
    platform::Coord cursor() { return con().cursor(); }

    // Reads a line; when the editor has taken every key pushed so far and
    // waits, records the cursor and row `r`, then presses Enter.
    std::string read_line_observing(int r) {
        con().on_sleep = [this, r](platform::MemoryConsole& c) {
            if (c.pending_events() > 0 || observed_) return;
            observed_ = true;
            seen_cursor_ = c.cursor();
            seen_row_ = row(r);
            c.push_key(ENTER);
        };
        return read_line();
    }
    bool observed_ = false;
    platform::Coord seen_cursor_;
    std::string seen_row_;
};

TEST_F(LineEditor, TypingAppendsAndInsertsInTheMiddle) {
    install(20, 4);
    type("helo");
    press(LEFT);
    type("l");
    press(ENTER);
    EXPECT_EQ(read_line(), "hello");
    EXPECT_EQ(row(1), "hello");
    EXPECT_EQ(cursor(), at(5, 0)) << "after its last character";
}

TEST_F(LineEditor, DeleteBackspaceAndTheirEdges) {
    install(20, 4);
    press(BACKSPACE);
    press(LEFT);
    type("abcd");
    press(DEL);  // at the end: a beep and nothing else
    press(HOME);
    press(RIGHT);
    press(DEL);  // removes b
    press(END);
    press(RIGHT);
    press(BACKSPACE);  // removes d
    press(ENTER);
    EXPECT_EQ(read_line(), "ac");
    EXPECT_EQ(row(1), "ac") << "the cells the text left are blanked";
    ASSERT_EQ(con().beeps().size(), 1u);
    EXPECT_EQ(con().beeps()[0], std::make_pair(1000u, 250u));
}

TEST_F(LineEditor, DeleteInTheMiddleKeepsTheCursor) {
    install(20, 4);
    type("abcdef");
    press(LEFT, 4);
    press(DEL);
    EXPECT_EQ(read_line_observing(1), "abdef");
    EXPECT_EQ(seen_row_, "abdef") << "the last cell of the old text is blanked";
    EXPECT_EQ(seen_cursor_, at(2, 0)) << "the cursor stays";
}

TEST_F(LineEditor, EscErasesTheLineAndTypingGoesOn) {
    install(20, 4);
    con().put_text(0, 0, "> ");
    con().set_cursor(at(2, 0));
    type("wrong");
    press(LEFT, 2);
    press(ESC);
    type("ok");
    press(ENTER);
    EXPECT_EQ(read_line(), "ok");
    EXPECT_EQ(row(1), "> ok");
    EXPECT_EQ(cursor(), at(4, 0));
}

TEST_F(LineEditor, TabStopsCountCharactersOfTheLine) {
    install(18, 2);
    con().put_text(0, 1, "abc");
    con().set_cursor(at(3, 1));
    press(TAB);
    type("12345");
    press(TAB);  // its blanks pass the last cell: the view scrolls
    type("x");
    press(ENTER);
    EXPECT_EQ(read_line(), std::string(8, ' ') + "12345" + "   " + "x");
    EXPECT_EQ(cursor(), at(2, 1));
}

TEST_F(LineEditor, UpAndDownMoveByOneRowOfTheLine) {
    install(80, 6);
    const std::string line = std::string(80, 'a') + std::string(20, 'b');
    type(line);
    press(HOME);
    press(RIGHT, 90);
    press(UP);  // pos 90 -> 10
    type("X");
    press(UP);    // pos 11 < 80: nothing
    press(DOWN);  // pos 11 -> 91
    type("Y");
    press(DOWN);  // 92 + 80 > 102: nothing
    press(ENTER);
    std::string want = line;
    want.insert(want.begin() + 10, 'X');
    want.insert(want.begin() + 91, 'Y');
    EXPECT_EQ(read_line(), want);
    EXPECT_EQ(row(1), want.substr(0, 80));
    EXPECT_EQ(row(2), want.substr(80));
}

TEST_F(LineEditor, DownToJustBelowTheViewScrollsIt) {
    install(10, 3);
    con().set_cursor(at(0, 1));
    type(std::string(19, 'a'));
    press(HOME);
    type("X");  // the line now ends in the last cell
    for (const platform::KeyEvent& k : {DOWN, LEFT, DOWN})
        press(k);
    type("Y");
    press(ENTER);
    EXPECT_EQ(read_line(), "X" + std::string(19, 'a') + "Y");
    EXPECT_EQ(cursor(), at(1, 2));
}

TEST_F(LineEditor, TypingIntoTheLastCellOfTheLastRowScrollsTheView) {
    install(10, 3);
    con().set_cursor(at(7, 2));
    type("abc");
    EXPECT_EQ(read_line_observing(2), "abc");
    EXPECT_EQ(seen_row_, "       abc") << "the view scrolled by one row";
    EXPECT_EQ(seen_cursor_, at(0, 2)) << "column 1 of the last row";
    EXPECT_EQ(row(3), "");
}

TEST_F(LineEditor, InsertNearTheBottomThatScrollsKeepsTheCursorOnItsCharacter) {
    install(10, 3);
    con().set_cursor(at(0, 2));
    type("abcdefghij");  // fills the last row: the view scrolls
    press(HOME);
    type("X");
    press(ENTER);
    EXPECT_EQ(read_line(), "Xabcdefghij");
    EXPECT_EQ(row(2), "Xabcdefghi");
    EXPECT_EQ(row(3), "j");
    EXPECT_EQ(cursor(), at(1, 2)) << "the cursor ends after the last character";
}

TEST_F(LineEditor, EnterInTheMiddleReturnsTheWholeLine) {
    install(20, 4);
    type("answer");
    press(LEFT, 3);
    press(ENTER);
    EXPECT_EQ(read_line(), "answer");
    EXPECT_EQ(cursor(), at(6, 0));
}

TEST_F(LineEditor, IgnoredAndInsertedCodes) {
    install(20, 4);
    type(std::string("\x01\x02\x1f", 3));
    press(INSERT);
    press(PAGE_UP);
    press(grey_key(0x3B));  // F1
    con().push_key(char_key('\x7f'));
    con().push_key(char_key('\xe9'));
    press(ENTER);
    EXPECT_EQ(read_line(), "\x7f\xe9");
}

TEST_F(LineEditor, TypedAheadKeysAreEditedInOrderAcrossLines) {
    install(20, 4);
    type("first");
    press(ENTER);
    type("sec");
    press(BACKSPACE);
    type("cond");
    press(ENTER);
    EXPECT_EQ(read_line(), "first");
    console_write_raw("\r\n", 2, 0);
    EXPECT_EQ(read_line(), "second");
    EXPECT_EQ(row(2), "second");
}

TEST_F(LineEditor, CursorVisibilityFoundAtTheStartIsRestored) {
    install(20, 4);
    con().set_cursor_visible(false);
    type("a");
    press(ENTER);
    EXPECT_EQ(read_line(), "a");
    EXPECT_FALSE(con().cursor_visible());
    con().set_cursor_visible(true);
    press(ENTER);
    EXPECT_EQ(read_line(), "");
    EXPECT_TRUE(con().cursor_visible());
}

TEST_F(LineEditor, WaitsForKeysIn25MsSteps) {
    install(20, 4);
    int fed = 0;
    con().on_sleep = [&](platform::MemoryConsole& c) {
        if (++fed == 3) c.push_key(char_key('z'));
        if (fed == 5) c.push_key(ENTER);
    };
    EXPECT_EQ(read_line(), "z");
    ASSERT_GE(con().sleeps().size(), 5u);
    for (std::uint32_t ms : con().sleeps())
        EXPECT_EQ(ms, 25u);
}

TEST_F(LineEditor, SizeIsReadBeforeEveryKey) {
    install(20, 4).set_buffer_is_window(true);
    type(std::string(15, 'a'));
    con().on_sleep = [this](platform::MemoryConsole& c) {
        if (c.pending_events() > 0 || observed_) return;
        observed_ = true;
        c.resize(10, 4);  // narrower while the line is typed
        c.set_cursor(at(5, 1));
        press(UP);  // one row of the new width up: pos 15 -> 5
        type("X");
        press(ENTER);
    };
    EXPECT_EQ(read_line(), std::string(5, 'a') + "X" + std::string(10, 'a'));
}

TEST_F(LineEditor, LineLongerThanTheWindowStopsAtItsTopRow) {
    install(10, 3);
    std::string line;
    for (int i = 0; i < 45; ++i)
        line += static_cast<char>('A' + i % 26);
    type(line);  // the first 20 characters scroll off the top
    press(HOME);
    type("x");  // at the character the first cell shows
    press(UP);  // no row above in the view: nothing
    press(BACKSPACE);
    press(BACKSPACE);  // the character before scrolled off: it goes, the cursor stays
    type("y");
    press(ENTER);
    std::string want = line;
    want[19] = 'y';
    EXPECT_EQ(read_line(), want);
    EXPECT_EQ(row(1), want.substr(19, 10));
}

TEST_F(LineEditor, EditsTheLineWhenOutputIsNoConsole) {
    install(20, 4).set_output_redirected(true);  // the cursor queries give 0, 0
    type("helo");
    press(LEFT);
    type("l");
    press(HOME);
    type(">");
    press(END);
    press(BACKSPACE);
    type(std::string(80, '1'));
    press(UP);  // pos 85 -> 5: no view to stop at
    type("X");
    press(ENTER);
    EXPECT_EQ(read_line(), ">hellX" + std::string(80, '1'));
}

TEST(CursorArithmetic, AdvancePositionWrapsBothWays) {
    EXPECT_EQ(advance_position({1, 1}, 5, 80), (CursorPos{6, 1}));
    EXPECT_EQ(advance_position({80, 1}, 1, 80), (CursorPos{1, 2}));
    EXPECT_EQ(advance_position({1, 2}, -1, 80), (CursorPos{80, 1}));
    EXPECT_EQ(advance_position({1, 1}, -1, 80), (CursorPos{80, 0}));
    EXPECT_EQ(advance_position({3, 2}, -83, 80), (CursorPos{80, 0}));
    EXPECT_EQ(advance_position({10, 3}, 0, 10), (CursorPos{10, 3}));
}

}  // namespace
}  // namespace pelorin::textio
