#include "platform/posix/terminal_screen.h"

#include <algorithm>
#include <utility>

#include "platform/posix/terminal_vt.h"
#include "platform/scroll_cells.h"

namespace pelorin::platform {
namespace {

constexpr int blank = ' ';
// How far a row's text may move sideways to be shifted by the terminal.
constexpr int most_shifted = 16;
// Equal cells between two changes that are written again rather than
// stepped over: a cursor move costs about as much.
constexpr int most_rewritten = 3;
// The cells of rows that left the top of the screen kept for a wider
// window: a long answer whole, and more than a tall window holds.
constexpr std::size_t most_kept_cells = std::size_t{1} << 18;

int rows_for(int length, int cols) {
    return std::max(1, (length + cols - 1) / cols);
}

// The rows of the line the cursor is in: its text's, and the row of the
// cursor too when that stands after them.
int rows_with_cursor(int length, int cursor_offset, int cols) {
    return std::max(rows_for(length, cols), cursor_offset / cols + 1);
}

}  // namespace

// A line of text as it wraps over rows: its characters, without the blanks
// after them.
struct TerminalScreen::Line {
    std::vector<int> cells;
};

void TerminalScreen::reset(int cols, int rows) {
    cols_ = cols;
    rows_ = rows;
    want_.resize(static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows));
    for (int& c : want_)
        c = unknown_cell();
    shown_ = want_;
    continues_.assign(static_cast<std::size_t>(rows), 0);
    kept_.clear();
    kept_continues_.clear();
    edge_row_ = -1;
    real_.reset();
}

int TerminalScreen::unknown_cell() {
    const int mark = next_unknown_;
    next_unknown_ = next_unknown_ == -0x7FFFFFFF ? -1 : next_unknown_ - 1;
    return mark;
}

int TerminalScreen::cell(int x, int y) const {
    const int c = want_[static_cast<std::size_t>(index(x, y))];
    return c < 0 ? -1 : c;
}

void TerminalScreen::set_terminal_cursor(Coord at) {
    real_ = at;
    cursor_ = at;
}

// --- drawing --------------------------------------------------------------------

void TerminalScreen::put_cells(Coord at, const std::uint8_t* bytes, int count) {
    if (count <= 0) return;
    // A row whose last cell was just filled goes on where the text goes on.
    if (at.x == 0 && at.y > 0)
        continues_[static_cast<std::size_t>(at.y - 1)] = edge_row_ == at.y - 1 ? 1 : 0;
    for (int i = 0; i < count; ++i)
        want_[static_cast<std::size_t>(index(at.x + i, at.y))] = bytes[i];
    edge_row_ = at.x + count == cols_ ? at.y : -1;
}

void TerminalScreen::fill(Coord at, int count, std::uint8_t ch) {
    for (int i = index(at.x, at.y); count > 0 && i < cols_ * rows_; ++i, --count)
        want_[static_cast<std::size_t>(i)] = ch;
}

bool TerminalScreen::scroll(Rect source, Coord dest, std::uint8_t fill) {
    const int top = std::max<int>(source.top, 0);
    const int bottom = std::min<int>(source.bottom, rows_ - 1);
    if (std::max<int>(source.left, 0) > std::min<int>(source.right, cols_ - 1) || top > bottom)
        return false;
    // Whole rows moving up are what the terminal scrolls itself, with what
    // was drawn before on the rows that leave (they go to its scroll-back);
    // anything else, and what the scroll leaves different, is drawn cell by
    // cell.
    const int dy = dest.y + (top - source.top);
    const bool whole_rows = source.left <= 0 && source.right >= cols_ - 1 && dest.x == source.left;
    const bool feeds = whole_rows && dy < top;
    if (feeds) draw_differences();
    Cells wanted = want_;
    (void)scroll_cells<int>(wanted, cols_, rows_, source, dest, fill);
    if (feeds) scroll_lines(std::max(dy, 0), bottom, top - dy);
    want_ = std::move(wanted);
    return true;
}

void TerminalScreen::ring_bell() {
    vt::bell(out_);
}

void TerminalScreen::type(const char* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const auto byte = static_cast<std::uint8_t>(bytes[i]);
        switch (byte) {
            case '\a':
                ring_bell();
                break;
            case '\b':
                cursor_.x = std::max(cursor_.x - 1, 0);
                break;
            case '\r':
                cursor_.x = 0;
                break;
            case '\n':
                cursor_.x = 0;
                new_row_below();
                break;
            case '\t':
                type("        ", static_cast<std::size_t>(8 - cursor_.x % 8));
                break;
            default:
                put_cells(cursor_, &byte, 1);
                if (++cursor_.x == cols_) {
                    cursor_.x = 0;
                    new_row_below();
                }
        }
    }
}

// The cursor goes down a row; from the bottom one the screen scrolls up.
void TerminalScreen::new_row_below() {
    if (cursor_.y < rows_ - 1) {
        ++cursor_.y;
        return;
    }
    draw_differences();
    scroll_lines(0, rows_ - 1, 1);
}

void TerminalScreen::clear_below_cursor() {
    go_to(cursor_);
    vt::erase_below(out_);
    const auto from = static_cast<std::ptrdiff_t>(index(cursor_.x, cursor_.y));
    std::fill(want_.begin() + from, want_.end(), blank);
    std::fill(shown_.begin() + from, shown_.end(), blank);
}

// --- bringing the terminal along ---------------------------------------------------

void TerminalScreen::go_to(Coord at) {
    if (real_) {
        std::string move;
        vt::move_cursor(move, *real_, at);
        std::string again;
        out_ += glyphs_along(*real_, at, again) && again.size() < move.size() ? again : move;
    } else {
        vt::move_to(out_, at.y, at.x);
    }
    real_ = at;
}

// A short move right along a row can be the glyphs it passes written again,
// when the terminal shows them as known: one byte each where they are one
// byte wide, against three or more for a cursor move.
bool TerminalScreen::glyphs_along(Coord from, Coord to, std::string& glyphs) const {
    if (to.y != from.y || to.x <= from.x || to.x - from.x > most_rewritten) return false;
    for (int x = from.x; x < to.x; ++x) {
        const int c = shown_[static_cast<std::size_t>(index(x, from.y))];
        if (c < 0) return false;
        vt::put_glyph(glyphs, static_cast<std::uint8_t>(c), utf8_, code_page_);
    }
    return true;
}

// The terminal's cursor after a glyph in the last column of row `y`.
void TerminalScreen::after_last_column(int y) {
    if (y == rows_ - 1) {
        // The cursor waits on the last cell for the next glyph to wrap it,
        // and a wrap from the bottom row would scroll the screen: placing it
        // now cancels that.
        real_ = Coord{cols_ - 1, y};
        vt::move_to(out_, y, cols_ - 1);
    } else {
        // Terminals differ in where a move from a pending wrap starts; the
        // next move is an absolute one.
        real_.reset();
    }
}

void TerminalScreen::put_glyphs(Coord at, const int* cells, int count) {
    go_to(at);
    for (int i = 0; i < count; ++i) {
        const auto byte = static_cast<std::uint8_t>(cells[i] < 0 ? blank : cells[i]);
        vt::put_glyph(out_, byte, utf8_, code_page_);
        const auto k = static_cast<std::size_t>(index(at.x + i, at.y));
        // A cell whose earlier content we never knew can only be drawn blank.
        want_[k] = shown_[k] = byte;
    }
    const int x = at.x + count;
    if (x < cols_) {
        real_ = Coord{x, at.y};
    } else {
        after_last_column(at.y);
    }
}

void TerminalScreen::draw_differences() {
    erase_below_changes();
    for (int y = 0; y < rows_; ++y) {
        const auto row = want_.begin() + index(0, y);
        if (!std::equal(row, row + cols_, shown_.begin() + index(0, y))) draw_row(y);
    }
}

// When everything from some cell to the end of the screen is to be blank
// and more than one row of it changes, as when a wrapped answer is erased,
// one erase to the end of the screen does it all.
void TerminalScreen::erase_below_changes() {
    const auto end = static_cast<int>(want_.size());
    int from = end;
    while (from > 0 && want_[static_cast<std::size_t>(from - 1)] == blank)
        --from;
    while (from < end &&
           want_[static_cast<std::size_t>(from)] == shown_[static_cast<std::size_t>(from)])
        ++from;
    if (from == end) return;
    int last = end - 1;
    while (want_[static_cast<std::size_t>(last)] == shown_[static_cast<std::size_t>(last)])
        --last;
    if (last / cols_ == from / cols_) return;  // one row: erasing it is as short
    go_to(Coord{from % cols_, from / cols_});
    vt::erase_below(out_);
    std::fill(shown_.begin() + from, shown_.end(), blank);
}

void TerminalScreen::draw_row(int y) {
    (void)shift_row(y);
    draw_runs(y);
}

// When the row's text from its first change on has moved sideways, as an
// insert or a delete in the middle of a line moves it, the terminal moves it
// itself (ICH, DCH) and only the new characters are drawn. True when it did.
bool TerminalScreen::shift_row(int y) {
    const int* want = want_.data() + index(0, y);
    int* shown = shown_.data() + index(0, y);
    int first = 0;
    while (want[first] == shown[first])
        ++first;
    int last = cols_ - 1;
    while (want[last] == shown[last])
        --last;
    const int changed = last - first + 1;
    // Blanks to the end of the row are one erase.
    if (std::all_of(want + first, want + cols_, [](int c) { return c == blank; })) return false;
    for (int n = 1; n <= std::min(most_shifted, changed); ++n) {
        std::string insert;
        vt::insert_chars(insert, n);
        const bool inserts = static_cast<int>(insert.size()) + n < changed &&
                             std::equal(want + first + n, want + cols_, shown + first);
        std::string remove;
        vt::delete_chars(remove, n);
        // The cells coming in at the right edge are blank; in a line that
        // wraps they are the next row's first characters, drawn after.
        const bool tail_blank =
            std::all_of(want + cols_ - n, want + cols_, [](int c) { return c == blank; });
        const int tail_cost = tail_blank ? 0 : n + most_rewritten * 2;
        const bool deletes = static_cast<int>(remove.size()) + tail_cost < changed &&
                             std::equal(want + first, want + cols_ - n, shown + first + n);
        if (!inserts && !deletes) continue;
        go_to(Coord{first, y});
        if (inserts) {
            out_ += insert;
            std::copy_backward(shown + first, shown + cols_ - n, shown + cols_);
            std::fill(shown + first, shown + first + n, blank);
        } else {
            out_ += remove;
            std::copy(shown + first + n, shown + cols_, shown + first);
            std::fill(shown + cols_ - n, shown + cols_, blank);
        }
        return true;
    }
    return false;
}

// The changed cells of a row, as runs: a run of blanks to the end of the row
// is erased, any other run drawn; a few equal cells between two changes are
// drawn along rather than stepped over.
void TerminalScreen::draw_runs(int y) {
    const int* want = want_.data() + index(0, y);
    const int* shown = shown_.data() + index(0, y);
    for (int x = 0; x < cols_;) {
        if (want[x] == shown[x]) {
            ++x;
            continue;
        }
        int end = x;
        for (int k = x + 1; k < cols_ && k - end <= most_rewritten + 1; ++k) {
            if (want[k] != shown[k]) {
                end = k;
            } else if (want[k] < 0) {
                break;  // an unknown cell cannot be drawn along
            }
        }
        const Coord at{x, y};
        const auto is_blank = [](int c) { return c == blank; };
        if (std::all_of(want + x, want + cols_, is_blank)) {
            go_to(at);
            vt::erase_line_right(out_);
            std::fill(shown_.begin() + index(x, y), shown_.begin() + index(0, y + 1), blank);
            return;
        }
        std::string erase;
        vt::erase_chars(erase, end - x + 1);
        if (std::all_of(want + x, want + end + 1, is_blank) &&
            static_cast<int>(erase.size()) < end - x + 1) {
            go_to(at);
            out_ += erase;
            std::fill(shown_.begin() + index(x, y), shown_.begin() + index(end + 1, y), blank);
        } else {
            put_glyphs(at, want + x, end - x + 1);
        }
        x = end + 1;
    }
}

// Scrolls the rows top to bottom up by `lines` with line feeds on the bottom
// one: every terminal does that, and the rows leaving the top of the whole
// screen go to the terminal's scroll-back. A part of the screen gets a scroll
// region around it for the time of the feeds. Both copies of the screen move.
void TerminalScreen::scroll_lines(int top, int bottom, int lines) {
    const bool whole = top == 0 && bottom == rows_ - 1;
    if (!whole) {
        vt::set_scroll_region(out_, top, bottom);
        real_ = Coord{0, 0};
    }
    // Column 0 first: whether a line feed also returns the carriage depends
    // on the terminal's output mode.
    go_to(Coord{0, bottom});
    out_.append(static_cast<std::size_t>(std::min(lines, bottom - top + 1)), '\n');
    if (!whole) {
        vt::reset_scroll_region(out_);
        real_ = Coord{0, 0};
    }
    if (top == 0) keep_rows(want_, continues_, 0, std::min(lines, bottom + 1));
    // The rows move up, and the rows the feeds bring in are blank.
    const int kept = std::max(bottom - top + 1 - lines, 0);
    for (Cells* cells : {&want_, &shown_}) {
        const auto from = cells->begin() + index(0, bottom + 1 - kept);
        std::copy(from, from + static_cast<std::ptrdiff_t>(kept) * cols_,
                  cells->begin() + index(0, top));
        std::fill(cells->begin() + index(0, top + kept), cells->begin() + index(0, bottom + 1),
                  blank);
    }
    for (int y = top; y <= bottom; ++y) {
        const int from = y + lines;
        continues_[static_cast<std::size_t>(y)] =
            from <= bottom ? continues_[static_cast<std::size_t>(from)] : 0;
    }
    if (top > 0) continues_[static_cast<std::size_t>(top - 1)] = 0;
    edge_row_ = edge_row_ - lines >= top && edge_row_ <= bottom ? edge_row_ - lines : -1;
}

// Rows `from` on of `cells` (the screen's width) leave the top of the screen.
void TerminalScreen::keep_rows(const Cells& cells, const std::vector<char>& continues, int from,
                               int count) {
    for (int y = from; y < from + count; ++y) {
        const auto row = cells.begin() + index(0, y);
        kept_.insert(kept_.end(), row, row + cols_);
        kept_continues_.push_back(continues[static_cast<std::size_t>(y)]);
    }
    // Trimmed a quarter at a time, so that a long run of scrolls does not
    // move the whole store at each row.
    if (kept_.size() <= most_kept_cells + most_kept_cells / 4) return;
    const std::size_t excess = kept_.size() - most_kept_cells;
    const std::size_t rows =
        (excess + static_cast<std::size_t>(cols_) - 1) / static_cast<std::size_t>(cols_);
    kept_.erase(kept_.begin(), kept_.begin() + static_cast<std::ptrdiff_t>(rows) * cols_);
    kept_continues_.erase(kept_continues_.begin(),
                          kept_continues_.begin() + static_cast<std::ptrdiff_t>(rows));
}

void TerminalScreen::settle() {
    draw_differences();
    if (!real_ || *real_ != cursor_) go_to(cursor_);
    if (real_visible_ != visible_) {
        vt::show_cursor(out_, visible_);
        real_visible_ = visible_;
    }
}

std::string TerminalScreen::take_output() {
    return std::exchange(out_, std::string{});
}

// --- the terminal changed under us ----------------------------------------------------

// The lines of the drawn screen, each over its rows; which holds the cursor,
// and the cursor's place in it.
std::vector<TerminalScreen::Line> TerminalScreen::lines_of_screen(int& cursor_line,
                                                                  int& cursor_offset) const {
    // The rows kept from above the screen come first.
    Cells cells = kept_;
    cells.insert(cells.end(), want_.begin(), want_.end());
    std::vector<char> continues = kept_continues_;
    continues.insert(continues.end(), continues_.begin(), continues_.end());
    const auto all_rows = static_cast<int>(continues.size());
    const int cursor_row = cursor_.y + all_rows - rows_;
    std::vector<Line> lines;
    cursor_line = 0;
    cursor_offset = cursor_.x;
    for (int y = 0; y < all_rows; ++y) {
        Line line;
        const int first = y;
        for (;; ++y) {
            const auto row = cells.begin() + index(0, y);
            line.cells.insert(line.cells.end(), row, row + cols_);
            if (y == all_rows - 1 || continues[static_cast<std::size_t>(y)] == 0) break;
        }
        for (int& c : line.cells)
            if (c < 0) c = blank;  // what was there before: not to be drawn again
        while (!line.cells.empty() && line.cells.back() == blank)
            line.cells.pop_back();
        if (cursor_row >= first && cursor_row <= y) {
            cursor_line = static_cast<int>(lines.size());
            cursor_offset = (cursor_row - first) * cols_ + cursor_.x;
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

// Draws `lines` from the top of a blank screen, beginning with the row of
// them numbered `first`, and puts the cursor back into its line.
void TerminalScreen::lay_out(const std::vector<Line>& lines, int first, int cursor_line,
                             int cursor_offset) {
    std::fill(want_.begin(), want_.end(), blank);
    std::fill(continues_.begin(), continues_.end(), 0);
    kept_.clear();
    kept_continues_.clear();
    edge_row_ = -1;
    int row = -first;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::vector<int>& cells = lines[i].cells;
        const int length = static_cast<int>(cells.size());
        const bool has_cursor = static_cast<int>(i) == cursor_line;
        const int count =
            has_cursor ? rows_with_cursor(length, cursor_offset, cols_) : rows_for(length, cols_);
        if (has_cursor) cursor_ = Coord{cursor_offset % cols_, row + cursor_offset / cols_};
        for (int r = 0; r < count; ++r, ++row) {
            if (row >= rows_) continue;
            const int from = std::min(r * cols_, length);
            const int to = std::min(from + cols_, length);
            if (row < 0) {
                // Above the screen: kept as the terminal's scroll-back would be.
                Cells above(static_cast<std::size_t>(cols_), blank);
                std::copy(cells.begin() + from, cells.begin() + to, above.begin());
                keep_rows(above, {static_cast<char>(r + 1 < count ? 1 : 0)}, 0, 1);
                continue;
            }
            std::copy(cells.begin() + from, cells.begin() + to, want_.begin() + index(0, row));
            if (r + 1 < count) continues_[static_cast<std::size_t>(row)] = 1;
        }
    }
}

void TerminalScreen::shift_rows(int delta) {
    const int old_rows = static_cast<int>(continues_.size());
    if (delta < 0) keep_rows(want_, continues_, 0, std::min(-delta, old_rows));
    Cells want(static_cast<std::size_t>(cols_ * rows_));
    Cells shown(want.size());
    std::vector<char> continues(static_cast<std::size_t>(rows_), 0);
    for (int y = 0; y < rows_; ++y) {
        const int from = y - delta;
        for (int x = 0; x < cols_; ++x) {
            const auto k = static_cast<std::size_t>(index(x, y));
            if (from >= 0 && from < old_rows) {
                want[k] = want_[k - static_cast<std::size_t>(delta * cols_)];
                shown[k] = shown_[k - static_cast<std::size_t>(delta * cols_)];
            } else {
                want[k] = shown[k] = unknown_cell();
            }
        }
        if (from >= 0 && from < old_rows)
            continues[static_cast<std::size_t>(y)] = continues_[static_cast<std::size_t>(from)];
    }
    want_ = std::move(want);
    shown_ = std::move(shown);
    continues_ = std::move(continues);
    edge_row_ = -1;
}

// The first of the rows `lines` take at the screen's width that stays on
// the screen: the rows down to the last line with text (or the cursor) are
// shown as far as they fit, and the rows after the cursor's go first.
int TerminalScreen::first_row_kept(const std::vector<Line>& lines, int cursor_line,
                                   int cursor_offset) const {
    int total = 0;
    int cursor_row = 0;
    for (int i = 0, row = 0; i < static_cast<int>(lines.size()); ++i) {
        const auto length = static_cast<int>(lines[static_cast<std::size_t>(i)].cells.size());
        if (i == cursor_line) {
            cursor_row = row + cursor_offset / cols_;
            row += rows_with_cursor(length, cursor_offset, cols_);
        } else {
            row += rows_for(length, cols_);
        }
        if (length > 0 || i <= cursor_line) total = row;
    }
    return std::clamp(total - rows_, 0, cursor_row);
}

void TerminalScreen::resize(int cols, int rows, std::optional<Coord> reported) {
    draw_differences();
    if (cols == cols_ && reported) {
        // The terminal kept the rows and moved them with the cursor.
        rows_ = rows;
        shift_rows(reported->y - cursor_.y);
        set_terminal_cursor(*reported);
        return;
    }
    if (cols == cols_) {
        reset(cols, rows);
        cursor_ = Coord{0, rows - 1};
        return;
    }
    int cursor_line = 0;
    int cursor_offset = 0;
    const std::vector<Line> lines = lines_of_screen(cursor_line, cursor_offset);
    cols_ = cols;
    rows_ = rows;
    want_.assign(static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows), blank);
    continues_.assign(static_cast<std::size_t>(rows), 0);
    lay_out(lines, first_row_kept(lines, cursor_line, cursor_offset), cursor_line, cursor_offset);
    // The terminal's own rearrangement of the old rows is not known: the
    // screen is cleared and drawn again.
    shown_.assign(want_.size(), blank);
    vt::move_to(out_, 0, 0);
    vt::erase_below(out_);
    real_ = Coord{0, 0};
}

void TerminalScreen::redraw_cursor_line(int cols, int rows, Coord reported) {
    // Nothing was written meanwhile.
    if (cols == cols_ && rows == rows_ && real_ && *real_ == reported && cursor_ == reported)
        return;
    int cursor_line = 0;
    int cursor_offset = 0;
    std::vector<Line> lines = lines_of_screen(cursor_line, cursor_offset);
    lines = {std::move(lines[static_cast<std::size_t>(cursor_line)])};
    reset(cols, rows);
    real_ = reported;
    // After whatever the shell wrote, on a row of its own; the screen
    // scrolls up to make room below, as far as the rows above allow.
    int start = reported.x == 0 ? reported.y : reported.y + 1;
    const int count =
        rows_with_cursor(static_cast<int>(lines[0].cells.size()), cursor_offset, cols_);
    const int feeds = std::min(start + count - rows_, start);
    if (feeds > 0) {
        scroll_lines(0, rows_ - 1, feeds);
        start -= feeds;
    }
    // A line longer than the screen keeps the cursor's row in sight.
    start = std::min(start, rows_ - 1 - cursor_offset / cols_);
    const Cells before = want_;
    lay_out(lines, -start, 0, cursor_offset);
    // The rows above the line are as the shell left them; from the line's
    // first row on the screen the terminal is blanked, so that those rows
    // are known. (A line begun above the screen starts in the top row.)
    const int top = std::max(start, 0);
    std::copy(before.begin(), before.begin() + index(0, top), want_.begin());
    go_to(Coord{0, top});
    vt::erase_below(out_);
    std::fill(shown_.begin() + index(0, top), shown_.end(), blank);
}

}  // namespace pelorin::platform
