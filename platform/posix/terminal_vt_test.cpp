#include "platform/posix/terminal_vt.h"

#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "platform/posix/testing/terminal_emulator.h"
#include "platform/testing/coords.h"

namespace pelorin::platform::vt {
namespace {

std::string built(void (*helper)(std::string&, int), int n) {
    std::string out;
    helper(out, n);
    return out;
}

TEST(VtSequences, CursorPlacementAndMoves) {
    std::string out;
    move_to(out, 0, 0);
    EXPECT_EQ(out, "\x1b[H");
    out.clear();
    move_to(out, 4, 0);
    EXPECT_EQ(out, "\x1b[5H");
    out.clear();
    move_to(out, 0, 9);
    EXPECT_EQ(out, "\x1b[1;10H");
    out.clear();
    move_to(out, 23, 79);
    EXPECT_EQ(out, "\x1b[24;80H");

    EXPECT_EQ(built(cursor_up, 1), "\x1b[A");
    EXPECT_EQ(built(cursor_up, 12), "\x1b[12A");
    EXPECT_EQ(built(cursor_down, 3), "\x1b[3B");
    EXPECT_EQ(built(cursor_forward, 1), "\x1b[C");
    EXPECT_EQ(built(cursor_back, 40), "\x1b[40D");
}

TEST(VtSequences, ModesRegionsAndErasing) {
    std::string out;
    show_cursor(out, false);
    show_cursor(out, true);
    EXPECT_EQ(out, "\x1b[?25l\x1b[?25h");
    out.clear();
    set_scroll_region(out, 2, 7);
    reset_scroll_region(out);
    EXPECT_EQ(out, "\x1b[3;8r\x1b[r");
    EXPECT_EQ(built(erase_chars, 1), "\x1b[X");
    EXPECT_EQ(built(erase_chars, 12), "\x1b[12X");
    out.clear();
    erase_line_right(out);
    bell(out);
    request_cursor_position(out);
    EXPECT_EQ(out, "\x1b[K\a\x1b[6n");
}

std::string move(Coord from, Coord to) {
    std::string out;
    move_cursor(out, from, to);
    return out;
}

TEST(VtCursorMove, PicksTheShortestForm) {
    EXPECT_EQ(move(at(5, 3), at(5, 3)), "");
    EXPECT_EQ(move(at(5, 3), at(0, 3)), "\r");
    EXPECT_EQ(move(at(5, 3), at(4, 3)), "\b");
    EXPECT_EQ(move(at(5, 3), at(2, 3)), "\b\b\b");     // shorter than ESC [ 3 D
    EXPECT_EQ(move(at(9, 3), at(2, 3)), "\x1b[7D");    // shorter than seven backspaces
    EXPECT_EQ(move(at(30, 3), at(1, 3)), "\r\x1b[C");  // from the row's start
    EXPECT_EQ(move(at(2, 3), at(7, 3)), "\x1b[5C");
    EXPECT_EQ(move(at(4, 3), at(4, 1)), "\x1b[2A");
    EXPECT_EQ(move(at(4, 1), at(4, 2)), "\x1b[B");
    EXPECT_EQ(move(at(10, 20), at(0, 21)), "\x1b[B\r");
    EXPECT_EQ(move(at(50, 40), at(3, 2)), "\x1b[3;4H");
}

TEST(VtCursorMove, TieGoesToTheAbsoluteMove) {
    EXPECT_EQ(move(at(0, 0), at(0, 7)), "\x1b[8H");   // as long as ESC [ 7 B
    EXPECT_EQ(move(at(10, 5), at(0, 6)), "\x1b[7H");  // as long as ESC [ B CR
}

// Every move, from anywhere to anywhere on a small screen, lands where it
// should, never scrolls and is never longer than the absolute move.
TEST(VtCursorMove, LandsOnTargetFromEverywhere) {
    constexpr int cols = 12;
    constexpr int rows = 5;
    for (int fy = 0; fy < rows; ++fy)
        for (int fx = 0; fx < cols; ++fx)
            for (int ty = 0; ty < rows; ++ty)
                for (int tx = 0; tx < cols; ++tx) {
                    testing::TerminalEmulator term(cols, rows);
                    term.place_cursor(fx, fy);
                    const std::string bytes = move(at(fx, fy), at(tx, ty));
                    term.feed(bytes);
                    std::string absolute;
                    move_to(absolute, ty, tx);
                    ASSERT_EQ(term.x(), tx) << fx << ',' << fy << " -> " << tx << ',' << ty;
                    ASSERT_EQ(term.y(), ty) << fx << ',' << fy << " -> " << tx << ',' << ty;
                    ASSERT_EQ(bytes.find('\n'), std::string::npos);
                    ASSERT_LE(bytes.size(), absolute.size());
                }
}

std::string glyph(std::uint8_t byte, bool utf8) {
    std::string out;
    put_glyph(out, byte, utf8);
    return out;
}

TEST(VtGlyphs, Utf8ShowsCodePage437) {
    EXPECT_EQ(glyph('A', true), "A");
    EXPECT_EQ(glyph(0, true), " ");
    EXPECT_EQ(glyph(1, true), "\xE2\x98\xBA");     // U+263A smiling face
    EXPECT_EQ(glyph(0x82, true), "\xC3\xA9");      // e with acute accent
    EXPECT_EQ(glyph(0xB3, true), "\xE2\x94\x82");  // box drawing vertical
    EXPECT_EQ(glyph(0xFF, true), "\xC2\xA0");      // no-break space
}

TEST(VtGlyphs, Latin1TerminalsGetLatin1OrQuestionMark) {
    EXPECT_EQ(glyph('A', false), "A");
    EXPECT_EQ(glyph('~', false), "~");
    EXPECT_EQ(glyph(' ', false), " ");
    EXPECT_EQ(glyph(0, false), " ");  // the blank glyph of byte 0
    EXPECT_EQ(glyph(1, false), "?");
    EXPECT_EQ(glyph(0x7F, false), "?");
    EXPECT_EQ(glyph(0x82, false), "\xE9");  // e with acute accent
    EXPECT_EQ(glyph(0xB3, false), "?");     // box drawing
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(glyph(static_cast<std::uint8_t>(b), false).size(), 1u);
}

TEST(VtGlyphs, CodePage866ShowsCyrillic) {
    std::string out;
    put_glyph(out, 0x80, true, CodePage::cp866);
    EXPECT_EQ(out, "\xD0\x90");  // А
}

TEST(VtGlyphs, EveryUtf8GlyphDecodesBackToItsCodePoint) {
    for (int b = 0; b < 256; ++b) {
        testing::TerminalEmulator term(2, 1);
        term.feed(glyph(static_cast<std::uint8_t>(b), true));
        EXPECT_EQ(term.at(0, 0), cp437_to_unicode(static_cast<std::uint8_t>(b))) << b;
        EXPECT_EQ(term.x(), 1) << b;
    }
}

}  // namespace
}  // namespace pelorin::platform::vt
