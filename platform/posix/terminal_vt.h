// The escape sequences of VT100-compatible terminals (xterm and its kin), as
// small functions that append to an output buffer.
//
// Every sequence the programs send a terminal, and when:
//
//   bytes              name     sent when
//   ESC [ r ; c H      CUP      the cursor goes where no shorter move takes it,
//                               and after a glyph in the bottom row's last cell
//                               (it cancels the wrap that would scroll)
//   ESC [ n A / B      CUU/CUD  the cursor moves up / down (a wrapped answer)
//   ESC [ n C / D      CUF/CUB  the cursor moves along its row
//   CR, BS                      the same, when shorter: to the row's start, or a
//                               few columns back
//   LF                          the screen scrolls: line feeds on the bottom row
//   ESC [ t ; b r      DECSTBM  around those feeds when only a part scrolls, then
//   ESC [ r                     reset (both put the cursor top left)
//   ESC [ n @          ICH      an insert in a row moves the rest of it right
//   ESC [ n P          DCH      a delete in a row moves the rest of it left (in
//                               a wrapped line, the next row's first characters
//                               then come in at the right edge)
//   ESC [ n X          ECH      a run of cells inside a row becomes blank
//   ESC [ K            EL       a row becomes blank from a cell to its end
//   ESC [ H ESC [ J    CUP, ED  the window is cleared after its width changed
//   ESC [ J            ED       from the cursor down at the start and after a stop
//                               (the rows the program goes on to write in become
//                               known blanks), and where everything from a cell
//                               on is to be blank over more than one row (Esc
//                               on a wrapped answer)
//   BEL                         the bell: a BEL byte printed, Delete at the end
//                               of an answer
//   ESC [ ? 25 l / h   DECTCEM  the cursor hidden / shown as the program asks;
//                               shown again at every end and stop, by the
//                               signal handlers too (show_cursor_sequence)
//   ESC [ 6 n          DSR      where is the cursor: at first use, after a
//                               resize or a stop (answer: ESC [ r ; c R)
//   glyph bytes                 a cell's character, in UTF-8 or ISO 8859-1; also
//                               a few known ones written again to step right
//                               over them, when shorter than CUF (Right: 1 byte)
//   ESC [ 1 m, ESC [ 0 m  SGR   pelorin-results only: the top type in bold
//                               (app/results/chart.cpp)
//
// No colour, no alternate screen, no mode of the terminal's is ever set.
// Rows and columns passed here are 0-based; the sequences carry them 1-based.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/code_page.h"
#include "platform/console_api.h"

namespace pelorin::platform::vt {

inline constexpr char esc = '\x1b';

// DECTCEM, as constants too: the cursor is shown again where nothing may be
// allocated (a signal handler, a program ending because memory ran out).
inline constexpr std::string_view show_cursor_sequence = "\x1b[?25h";
inline constexpr std::string_view hide_cursor_sequence = "\x1b[?25l";

// CUP: to (row, col) on the screen.
void move_to(std::string& out, int row, int col);
// CUU, CUD, CUF, CUB by n > 0; they stop at the screen's edges.
void cursor_up(std::string& out, int n);
void cursor_down(std::string& out, int n);
void cursor_forward(std::string& out, int n);
void cursor_back(std::string& out, int n);
// DECTCEM.
void show_cursor(std::string& out, bool visible);
// DECSTBM with the rows top to bottom, inclusive. Like its reset, it puts
// the cursor at the top-left corner of the screen.
void set_scroll_region(std::string& out, int top, int bottom);
void reset_scroll_region(std::string& out);
// ECH: n cells blank from the cursor on; the cursor stays.
void erase_chars(std::string& out, int n);
// EL 0: blank from the cursor to the end of its row; the cursor stays.
void erase_line_right(std::string& out);
// ED 0: blank from the cursor to the end of the screen; the cursor stays.
void erase_below(std::string& out);
// ICH: n blank cells in at the cursor, the rest of the row moving right
// (what passes the right edge is lost); the cursor stays.
void insert_chars(std::string& out, int n);
// DCH: n cells out at the cursor, the rest of the row moving left and
// blanks coming in at the right edge; the cursor stays.
void delete_chars(std::string& out, int n);
void bell(std::string& out);
// DSR 6: the terminal answers with ESC [ row ; col R.
void request_cursor_position(std::string& out);

// The shortest bytes that take the cursor from `from` to `to`, both on the
// screen: carriage return, backspaces, the relative moves, or CUP. No byte
// that could scroll is ever chosen.
void move_cursor(std::string& out, Coord from, Coord to);

// A character in the terminal's encoding: UTF-8 when the terminal takes it,
// else one byte of ISO 8859-1; '?' where that has no such character.
void put_character(std::string& out, char32_t c, bool utf8);
// The glyph that a cell holding `byte` shows in the code page.
void put_glyph(std::string& out, std::uint8_t byte, bool utf8, CodePage page = CodePage::cp437);

}  // namespace pelorin::platform::vt
