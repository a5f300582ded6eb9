// What the terminal shows and how to change it: a copy of the screen's cells,
// the terminal's real cursor and visibility next to the ones the program
// wants, and the output that turns one into the other. Drawing only appends
// to the held output; the console sends it to the terminal in one piece.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/console_api.h"

namespace pelorin::platform {

class TerminalScreen {
  public:
    // A screen of `cols` x `rows` cells whose contents are not known (they
    // hold whatever was there before), the terminal's cursor at an unknown
    // place. The held output is kept.
    void reset(int cols, int rows);
    void set_utf8(bool utf8) { utf8_ = utf8; }
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

    // Appends what brings the terminal's cursor and visibility to the wanted ones.
    void settle();
    const std::string& output() const { return out_; }
    std::string take_output();

    // The byte a cell holds, or -1 while the cell shows what was there before.
    int cell(int x, int y) const;

  private:
    using Cells = std::vector<int>;
    int index(int x, int y) const { return y * cols_ + x; }
    void go_to(Coord at);
    void fill_row(Coord at, int count, std::uint8_t ch);
    void scroll_lines(int top, int bottom, int lines);
    void repaint_differences(const Cells& wanted);

    int cols_ = 0;
    int rows_ = 0;
    // One entry per cell: the byte drawn, or a negative mark of the cell that
    // was there before we drew (unique, so a moved unknown cell is told apart).
    Cells cells_;
    std::optional<Coord> real_;
    bool real_visible_ = true;  // terminals start with the cursor shown
    Coord cursor_;
    bool visible_ = true;
    bool utf8_ = false;
    std::string out_;
};

}  // namespace pelorin::platform
