#include "platform/posix/terminal_vt.h"

#include "platform/code_page.h"
#include "platform/utf8.h"

namespace pelorin::platform::vt {
namespace {

void csi(std::string& out) {
    out += esc;
    out += '[';
}

// A relative move: the count is left out when it is 1, as every terminal
// takes a missing count for 1.
void relative(std::string& out, int n, char final) {
    csi(out);
    if (n != 1) out += std::to_string(n);
    out += final;
}

// The column part of a move on the same row, without CR.
void move_along(std::string& out, int from, int to) {
    if (to > from) {
        cursor_forward(out, to - from);
    } else if (to < from) {
        const int n = from - to;
        std::string back;
        cursor_back(back, n);
        // Backspaces are shorter for a few columns; they never leave the row.
        out += n <= static_cast<int>(back.size()) ? std::string(static_cast<std::size_t>(n), '\b')
                                                  : back;
    }
}

}  // namespace

void move_to(std::string& out, int row, int col) {
    csi(out);
    if (row != 0 || col != 0) out += std::to_string(row + 1);
    if (col != 0) {
        out += ';';
        out += std::to_string(col + 1);
    }
    out += 'H';
}

void cursor_up(std::string& out, int n) {
    relative(out, n, 'A');
}
void cursor_down(std::string& out, int n) {
    relative(out, n, 'B');
}
void cursor_forward(std::string& out, int n) {
    relative(out, n, 'C');
}
void cursor_back(std::string& out, int n) {
    relative(out, n, 'D');
}

void show_cursor(std::string& out, bool visible) {
    out += visible ? show_cursor_sequence : hide_cursor_sequence;
}

void set_scroll_region(std::string& out, int top, int bottom) {
    csi(out);
    out += std::to_string(top + 1);
    out += ';';
    out += std::to_string(bottom + 1);
    out += 'r';
}

void reset_scroll_region(std::string& out) {
    csi(out);
    out += 'r';
}

void erase_chars(std::string& out, int n) {
    relative(out, n, 'X');
}

void erase_line_right(std::string& out) {
    csi(out);
    out += 'K';
}

void erase_below(std::string& out) {
    csi(out);
    out += 'J';
}

void insert_chars(std::string& out, int n) {
    relative(out, n, '@');
}

void delete_chars(std::string& out, int n) {
    relative(out, n, 'P');
}

void bell(std::string& out) {
    out += '\a';
}

void request_cursor_position(std::string& out) {
    csi(out);
    out += "6n";
}

void move_cursor(std::string& out, Coord from, Coord to) {
    if (from == to) return;
    std::string vertical;
    if (to.y < from.y) cursor_up(vertical, from.y - to.y);
    if (to.y > from.y) cursor_down(vertical, to.y - from.y);

    std::string along = vertical;
    move_along(along, from.x, to.x);
    std::string from_start = vertical + '\r';
    move_along(from_start, 0, to.x);
    std::string absolute;
    move_to(absolute, to.y, to.x);

    // On a tie the absolute move wins: it does not depend on where the
    // terminal's cursor really is.
    const std::string* best = &absolute;
    if (along.size() < best->size()) best = &along;
    if (from_start.size() < best->size()) best = &from_start;
    out += *best;
}

void put_character(std::string& out, char32_t c, bool utf8) {
    if (utf8) {
        append_utf8(out, c);
    } else {
        const bool latin1 = (c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c <= 0xFF);
        out += latin1 ? static_cast<char>(c) : '?';
    }
}

void put_glyph(std::string& out, std::uint8_t byte, bool utf8, CodePage page) {
    put_character(out, code_page_to_unicode(page, byte), utf8);
}

}  // namespace pelorin::platform::vt
