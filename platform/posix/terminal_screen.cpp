#include "platform/posix/terminal_screen.h"

#include <algorithm>
#include <utility>

#include "platform/posix/terminal_vt.h"
#include "platform/scroll_cells.h"

namespace pelorin::platform {
namespace {

bool shows_blank(std::uint8_t ch) {
    return ch == ' ' || ch == 0;
}

}  // namespace

void TerminalScreen::reset(int cols, int rows) {
    cols_ = cols;
    rows_ = rows;
    cells_.resize(static_cast<std::size_t>(cols * rows));
    for (std::size_t i = 0; i < cells_.size(); ++i)
        cells_[i] = -1 - static_cast<int>(i);
    real_.reset();
}

int TerminalScreen::cell(int x, int y) const {
    const int c = cells_[static_cast<std::size_t>(index(x, y))];
    return c < 0 ? -1 : c;
}

void TerminalScreen::set_terminal_cursor(Coord at) {
    real_ = at;
    cursor_ = at;
}

void TerminalScreen::go_to(Coord at) {
    if (real_) {
        vt::move_cursor(out_, *real_, at);
    } else {
        vt::move_to(out_, at.y, at.x);
    }
    real_ = at;
}

void TerminalScreen::put_cells(Coord at, const std::uint8_t* bytes, int count) {
    if (count <= 0) return;
    go_to(at);
    for (int i = 0; i < count; ++i) {
        vt::put_glyph(out_, bytes[i], utf8_);
        cells_[static_cast<std::size_t>(index(at.x + i, at.y))] = bytes[i];
    }
    const int x = at.x + count;
    if (x < cols_) {
        real_ = Coord{static_cast<std::int16_t>(x), at.y};
    } else if (at.y == rows_ - 1) {
        // The cursor waits on the last cell for the next glyph to wrap it,
        // and a wrap from the bottom row would scroll the screen: placing it
        // now cancels that.
        real_ = Coord{static_cast<std::int16_t>(cols_ - 1), at.y};
        vt::move_to(out_, real_->y, real_->x);
    } else {
        // Terminals differ in where a move from a pending wrap starts; the
        // next move is an absolute one.
        real_.reset();
    }
}

void TerminalScreen::fill_row(Coord at, int count, std::uint8_t ch) {
    if (!shows_blank(ch)) {
        const std::vector<std::uint8_t> same(static_cast<std::size_t>(count), ch);
        put_cells(at, same.data(), count);
        return;
    }
    go_to(at);
    if (at.x + count == cols_) {
        vt::erase_line_right(out_);
    } else {
        vt::erase_chars(out_, count);
    }
    std::fill_n(cells_.begin() + index(at.x, at.y), count, ch);
}

void TerminalScreen::fill(Coord at, int count, std::uint8_t ch) {
    int x = at.x;
    for (int y = at.y; count > 0 && y < rows_; ++y) {
        const int n = std::min(count, cols_ - x);
        fill_row(Coord{static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)}, n, ch);
        count -= n;
        x = 0;
    }
}

// Scrolls the rows top to bottom up by `lines` with line feeds on the bottom
// one: every terminal does that, and the rows leaving the top of the whole
// screen go to the terminal's scroll-back. A part of the screen gets a scroll
// region around it for the time of the feeds.
void TerminalScreen::scroll_lines(int top, int bottom, int lines) {
    const bool whole = top == 0 && bottom == rows_ - 1;
    if (!whole) {
        vt::set_scroll_region(out_, top, bottom);
        real_ = Coord{0, 0};
    }
    // Column 0 first: whether a line feed also returns the carriage depends
    // on the terminal's output mode.
    go_to(Coord{0, static_cast<std::int16_t>(bottom)});
    out_.append(static_cast<std::size_t>(std::min(lines, bottom - top + 1)), '\n');
    if (!whole) {
        vt::reset_scroll_region(out_);
        real_ = Coord{0, 0};
    }
    for (int y = top; y <= bottom; ++y) {
        for (int x = 0; x < cols_; ++x) {
            const int from = y + lines;
            cells_[static_cast<std::size_t>(index(x, y))] =
                from <= bottom ? cells_[static_cast<std::size_t>(index(x, from))] : ' ';
        }
    }
}

// Draws every cell that differs from what the screen should hold. A cell
// whose earlier content we never knew can only be drawn blank.
void TerminalScreen::repaint_differences(const Cells& wanted) {
    for (int y = 0; y < rows_; ++y) {
        int x = 0;
        while (x < cols_) {
            if (cells_[static_cast<std::size_t>(index(x, y))] ==
                wanted[static_cast<std::size_t>(index(x, y))]) {
                ++x;
                continue;
            }
            std::vector<std::uint8_t> run;
            while (x + static_cast<int>(run.size()) < cols_) {
                const auto i = static_cast<std::size_t>(index(x + static_cast<int>(run.size()), y));
                if (cells_[i] == wanted[i]) break;
                run.push_back(wanted[i] < 0 ? ' ' : static_cast<std::uint8_t>(wanted[i]));
            }
            put_cells(Coord{static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)}, run.data(),
                      static_cast<int>(run.size()));
            x += static_cast<int>(run.size());
        }
    }
}

bool TerminalScreen::scroll(Rect source, Coord dest, std::uint8_t fill) {
    // What the screen must hold afterwards.
    Cells wanted = cells_;
    if (!scroll_cells<int>(wanted, cols_, rows_, source, dest, fill)) return false;
    // Whole rows moving up are what the terminal scrolls itself; anything
    // else, and what the scroll leaves different, is drawn cell by cell.
    const int top = std::max<int>(source.top, 0);
    const int bottom = std::min<int>(source.bottom, rows_ - 1);
    const int dy = dest.y + (top - source.top);
    const bool whole_rows = source.left <= 0 && source.right >= cols_ - 1 && dest.x == source.left;
    if (whole_rows && dy < top) scroll_lines(std::max(dy, 0), bottom, top - dy);
    repaint_differences(wanted);
    return true;
}

void TerminalScreen::ring_bell() {
    vt::bell(out_);
}

void TerminalScreen::settle() {
    if (!real_ || *real_ != cursor_) go_to(cursor_);
    if (real_visible_ != visible_) {
        vt::show_cursor(out_, visible_);
        real_visible_ = visible_;
    }
}

std::string TerminalScreen::take_output() {
    return std::exchange(out_, std::string{});
}

}  // namespace pelorin::platform
