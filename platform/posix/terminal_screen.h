// What the terminal shows and how to change it. The screen model keeps two
// copies of the cells: the screen the program has drawn, and the screen the
// terminal shows as far as it is known. Drawing changes only the first; at
// settle() the bytes that bring the terminal to it are worked out row by row
// (the terminal's own insert and delete of characters where a row's text
// has moved sideways) and appended to the held output, which the console
// sends to the terminal in one piece.
//
// The model also knows which rows go on in the next one (a line of text
// wrapping at the right edge), so that the lines can be laid out again when
// the terminal changes its width, and the line the cursor is in can be drawn
// again after the shell has written over the screen.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/console_api.h"

namespace pelorin::platform {

class TerminalScreen {
  public:
    // A screen of `cols` x `rows` cells whose contents are not known (they
    // hold whatever was there before), the terminal's cursor at an unknown
    // place. The held output is kept.
    void reset(int cols, int rows);
    // How the terminal shows the cells' bytes.
    void set_charset(bool utf8, CodePage page) {
        utf8_ = utf8;
        code_page_ = page;
    }
    int cols() const { return cols_; }
    int rows() const { return rows_; }
    bool inside(Coord at) const { return at.x >= 0 && at.y >= 0 && at.x < cols_ && at.y < rows_; }

    // `count` cells from `at` along its row; none may pass the right edge.
    void put_cells(Coord at, const std::uint8_t* bytes, int count);
    // `count` cells from `at`, going on at the start of the next rows, up to
    // the end of the screen.
    void fill(Coord at, int count, std::uint8_t ch);
    // Moves the cells of `source` so that its top-left lands on `dest`; the
    // cells of `source` that the moved copy does not cover become `fill`.
    // False when `source` lies outside the screen.
    bool scroll(Rect source, Coord dest, std::uint8_t fill);
    void ring_bell();
    // Bytes written at the cursor as a console writes text it is given
    // whole: glyphs wrapping at the right edge, the screen scrolling up under
    // the bottom row; BS, CR, LF, TAB and BEL act as their names say. The
    // cursor follows.
    void type(const char* bytes, std::size_t count);
    // Blanks the terminal from the cursor to the end of the screen, so that
    // the rows the program goes on to write in are known blank to their end
    // and an insert or a delete in them can move the rest of the row.
    void clear_below_cursor();

    // The cursor and visibility the program wants; the terminal gets them
    // at settle().
    Coord cursor() const { return cursor_; }
    void set_cursor(Coord at) { cursor_ = at; }
    bool cursor_visible() const { return visible_; }
    void set_cursor_visible(bool visible) { visible_ = visible; }
    // Where the terminal's own cursor is, as learnt from the terminal; the
    // program's cursor goes there too.
    void set_terminal_cursor(Coord at);
    // After output that may not have reached the terminal.
    void forget_terminal_cursor() { real_.reset(); }

    // The terminal is now `cols` x `rows`, its cursor where it `reported` it
    // (nothing: it did not say). Everything already drawn is sent first. A
    // change of height moves the rows with the cursor, as the terminal did;
    // a change of width lays every line out again at the new width, on a
    // screen cleared for it, the cursor on the same character.
    void resize(int cols, int rows, std::optional<Coord> reported);
    // The shell has written on the terminal (the process was stopped), which
    // is now `cols` x `rows`: the line the cursor is in is drawn again from
    // the start of a row of its own at the `reported` cursor, and the cursor
    // goes back into it.
    void redraw_cursor_line(int cols, int rows, Coord reported);

    // Appends what brings the terminal to the screen drawn, the cursor and
    // the visibility wanted.
    void settle();
    const std::string& output() const { return out_; }
    std::string take_output();

    // The byte a cell holds, or -1 while the cell shows what was there before.
    int cell(int x, int y) const;
    // Whether row `y`'s text goes on at the start of the next row.
    bool continues(int y) const { return continues_[static_cast<std::size_t>(y)] != 0; }

  private:
    using Cells = std::vector<int>;
    struct Line;
    int index(int x, int y) const { return y * cols_ + x; }
    int unknown_cell();
    void go_to(Coord at);
    bool glyphs_along(Coord from, Coord to, std::string& glyphs) const;
    void erase_below_changes();
    void after_last_column(int y);
    void put_glyphs(Coord at, const int* cells, int count);
    void draw_differences();
    void draw_row(int y);
    bool shift_row(int y);
    void draw_runs(int y);
    void scroll_lines(int top, int bottom, int lines);
    std::vector<Line> lines_of_screen(int& cursor_line, int& cursor_offset) const;
    int first_row_kept(const std::vector<Line>& lines, int cursor_line, int cursor_offset) const;
    void lay_out(const std::vector<Line>& lines, int first_row, int cursor_line, int cursor_offset);
    void shift_rows(int delta);
    void keep_rows(const Cells& cells, const std::vector<char>& continues, int from, int count);
    void new_row_below();

    int cols_ = 0;
    int rows_ = 0;
    // One entry per cell: the byte drawn, or a negative mark of the cell that
    // was there before we drew (unique, so a moved unknown cell is told apart).
    Cells want_;   // the screen the program has drawn
    Cells shown_;  // the screen the terminal shows
    int next_unknown_ = -1;
    // Per row of the drawn screen: its text goes on in the next row.
    std::vector<char> continues_;
    // The rows that have left the top of the screen, oldest first, as many
    // as `most_kept_cells` hold, so that a wider window can show them again.
    Cells kept_;
    std::vector<char> kept_continues_;
    // The row whose last cell the latest drawing filled, or -1.
    int edge_row_ = -1;
    std::optional<Coord> real_;
    bool real_visible_ = true;  // terminals start with the cursor shown
    Coord cursor_;
    bool visible_ = true;
    bool utf8_ = false;
    CodePage code_page_ = CodePage::cp437;
    std::string out_;
};

}  // namespace pelorin::platform
