#include "textio/line_editor.h"

#include <new>

#include "platform/console_api.h"
#include "textio/console_output.h"
#include "textio/key_reader.h"
#include "textio/line_editor_internal.h"

namespace pelorin::textio {
namespace {

constexpr std::uint32_t KEY_POLL_MS = 25;
constexpr int KEY_BACKSPACE = 8;
constexpr int KEY_TAB = 9;
constexpr int KEY_ESC = 27;

// Every placement goes through here: a position the console refuses (outside
// the view) still applies the visibility, and the cursor stays put.
void place(int row, int column, CursorVisibility visibility) {
    if (console_locate(row, column, visibility, nullptr) != STATUS_OK)
        (void)console_locate(0, 0, visibility, nullptr);
}

void hide_cursor() {
    place(0, 0, CursorVisibility::hide);
}

void show_cursor() {
    place(0, 0, CursorVisibility::show);
}

void write_text(const Text& text, std::size_t from) {
    if (from < text.size()) console_write_raw(text.data() + from, text.size() - from, 0);
}

void write_blanks(std::size_t n) {
    static constexpr char blanks[] = "                                ";
    for (; n > 0; n -= n < 32 ? n : 32)
        console_write_raw(blanks, n < 32 ? n : 32, 0);
}

CursorPos read_cursor() {
    CursorPos p;
    console_get_cursor(&p.column, &p.row);
    return p;
}

// The cursor queries give 0, 0 when output is no console.
bool on_screen(CursorPos p) {
    return p.row >= 1 && p.column >= 1;
}

int wait_for_key() {
    for (;;) {
        while (!key_available())
            platform::console().sleep(KEY_POLL_MS);
        if (const std::optional<int> code = key_read()) return *code;
    }
}

class Editor {
  public:
    explicit Editor(Text& line) : line_(line) {}

    // Acts on one key; false when it ended the line.
    bool handle(int code) {
        read_size();
        const CursorPos cursor = read_cursor();
        if (code == 13 || code == 10) return false;
        if (code == KEY_BACKSPACE) return backspace(cursor), true;
        if (code == KEY_TAB) return insert(cursor, Text(8 - pos_ % 8, ' ')), true;
        if (code == KEY_ESC) return erase_all(cursor), true;
        if (code >= 32 && code <= 255)
            return insert(cursor, Text(1, static_cast<char>(code))), true;
        move(cursor, code);
        return true;
    }

    void finish() {
        read_size();
        (void)step(read_cursor(), static_cast<long>(line_.size() - pos_));
    }

  private:
    // The console's size is read with the cursor before every key: the user
    // may have changed it since the last one.
    void read_size() { console_get_size(&cols_, &rows_); }

    // Moves the cursor n characters along the line, as far as the view
    // goes: the part of a line longer than the window that has scrolled off
    // the top is not aimed at, the move stops in the first cell; nor is a
    // part below the last cell. Returns the n moved, by which pos_ goes.
    // Without a console to show the line (the cursor query gives 0, 0)
    // there is no view to stop at: the move is the key's whole move.
    long step(CursorPos from, long n) const {
        if (on_screen(from)) {
            const long here = static_cast<long>(from.row - 1) * cols_ + (from.column - 1);
            const long below = static_cast<long>(rows_) * cols_;  // column 1 just below the view
            if (here + n < 0) n = -here;
            if (here + n > below) n = below - 1 - here;
        }
        move_cursor_by(from, n, cols_, rows_);
        return n;
    }

    void move(CursorPos cursor, int code) {
        if (code == KEY_DELETE) return delete_at(cursor);
        const std::optional<long> n = cursor_step(code, cursor);
        if (!n) return;
        pos_ = static_cast<std::size_t>(static_cast<long>(pos_) + step(cursor, *n));
    }

    // How far a cursor key moves pos_; nothing for any other key, and for
    // a move that would leave the line (Home and End always place), or go
    // up to a row above the view. Without a console there is no view.
    std::optional<long> cursor_step(int code, CursorPos cursor) const {
        const auto len = static_cast<long>(line_.size());
        const auto pos = static_cast<long>(pos_);
        const auto allowed = [](bool ok, long n) {
            return ok ? std::optional<long>(n) : std::nullopt;
        };
        switch (code) {
            case KEY_HOME:
                return -pos;
            case KEY_END:
                return len - pos;
            case KEY_LEFT:
                return allowed(pos > 0, -1);
            case KEY_RIGHT:
                return allowed(pos < len, 1);
            case KEY_UP:
                return allowed(pos >= cols_ && (cursor.row > 1 || !on_screen(cursor)), -cols_);
            case KEY_DOWN:
                // From the bottom row only to just below it, which scrolls
                // the view: further down the text is not on the screen.
                return allowed(pos + cols_ <= len && (cursor.row < rows_ || cursor.column == 1),
                               cols_);
            default:
                return std::nullopt;
        }
    }

    // The character before the cursor goes; when it has scrolled off the
    // top, the cursor stays in the first cell, which shows the same
    // character as before.
    void backspace(CursorPos cursor) {
        if (pos_ == 0) return;
        const long moved = step(cursor, -1);
        --pos_;
        remove(1, advance_position(cursor, moved, cols_));
    }

    void erase_all(CursorPos cursor) {
        const long moved = step(cursor, -static_cast<long>(pos_));
        pos_ = 0;
        remove(line_.size(), advance_position(cursor, moved, cols_));
    }

    void delete_at(CursorPos cursor) {
        if (pos_ == line_.size()) {
            console_beep();
            return;
        }
        remove(1, cursor);
    }

    // Deletes d characters at pos_ and redraws the rest of the line over the
    // old one, blanking the cells it has left.
    void remove(std::size_t d, CursorPos back_to) {
        hide_cursor();
        line_.erase(pos_, d);
        write_text(line_, pos_);
        write_blanks(d);
        place(back_to.row, back_to.column, CursorVisibility::keep);
    }

    void insert(CursorPos old, const Text& chars) {
        try {
            line_.insert(pos_, chars);
        } catch (const std::bad_alloc&) {
            return;  // the key is lost; the line stays as it was
        }
        const auto n = static_cast<long>(chars.size());
        const auto k = static_cast<long>(line_.size() - pos_);
        hide_cursor();
        write_text(line_, pos_);
        const CursorPos after = read_cursor();
        long moved = 0;
        if (k == n) {
            // At the end of the line the write left the cursor after the
            // new characters; when they went past the last cell the view
            // scrolled and the target, below it, is refused: it stays.
            move_cursor_by(old, n, cols_, rows_);
        } else if (past_last_row(advance_position(old, k, cols_))) {
            // The view scrolled under the text: step back from where it ended.
            moved = step(after, n - k) - (n - k);
        } else {
            moved = step(old, n) - n;
        }
        // A move stopped at the top of the view leaves the edit position on
        // the character the cursor shows.
        pos_ = static_cast<std::size_t>(static_cast<long>(pos_) + n + moved);
    }

    bool past_last_row(CursorPos end) const {
        return end.row > rows_ + 1 || (end.row == rows_ + 1 && end.column > 1);
    }

    Text& line_;
    std::size_t pos_ = 0;
    int cols_ = 80;
    int rows_ = 25;
};

}  // namespace

CursorPos advance_position(CursorPos from, long n, int cols) {
    const long linear = static_cast<long>(from.row - 1) * cols + (from.column - 1) + n;
    long row = linear / cols;
    long column = linear % cols;
    if (column < 0) {
        column += cols;
        --row;
    }
    return CursorPos{static_cast<int>(column + 1), static_cast<int>(row + 1)};
}

void move_cursor_by(CursorPos from, long n, int cols, int rows) {
    const CursorPos to = advance_position(from, n, cols);
    if (to.column == 1 && to.row == rows + 1) {
        // Just below the last row: a line end from the last cell scrolls the
        // view by one row and leaves the cursor in column 1 of the last row.
        place(rows, cols, CursorVisibility::keep);
        console_write_raw(LINE_END.data(), LINE_END.size(), 0);
        return;
    }
    place(to.row, to.column, CursorVisibility::keep);
}

std::optional<Text> read_console_line() {
    Text line;
    try {
        line.reserve(80);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    LocateResult before;
    (void)console_locate(0, 0, CursorVisibility::keep, &before);
    hide_cursor();
    show_cursor();
    Editor editor(line);
    while (editor.handle(wait_for_key()))
        show_cursor();
    show_cursor();
    editor.finish();
    place(0, 0, before.cursor_visible ? CursorVisibility::show : CursorVisibility::hide);
    return line;
}

}  // namespace pelorin::textio
