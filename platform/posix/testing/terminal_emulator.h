// A small model of a VT100-compatible terminal, for tests: it takes the bytes
// the terminal console sends and keeps the screen, cursor, deferred wrap,
// scroll region and cursor visibility as xterm would. A sequence it does not
// know fails the test, so nothing outside the expected set slips through.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace pelorin::platform::testing {

class TerminalEmulator {
  public:
    // Every cell starts as `old`: what was on the screen before the program.
    TerminalEmulator(int cols, int rows, char32_t old = U'.')
        : cols_(cols),
          rows_(rows),
          bottom_(rows - 1),
          cells_(static_cast<std::size_t>(cols * rows), old) {}

    // With `onlcr` a line feed also returns the carriage, as the terminal
    // driver's output processing does.
    void set_onlcr(bool onlcr) { onlcr_ = onlcr; }
    // Bytes beyond ASCII as ISO 8859-1 characters, not UTF-8.
    void set_latin1(bool latin1) { latin1_ = latin1; }
    void place_cursor(int x, int y) {
        x_ = x;
        y_ = y;
    }

    void feed(const std::string& bytes) {
        for (std::size_t i = 0; i < bytes.size();)
            i = step(bytes, i);
    }

    char32_t at(int x, int y) const { return cells_[index(x, y)]; }
    std::u32string row(int y) const {
        const auto start = cells_.begin() + static_cast<std::ptrdiff_t>(index(0, y));
        return std::u32string(start, start + cols_);
    }
    int x() const { return x_; }
    int y() const { return y_; }
    bool wrap_pending() const { return wrap_pending_; }
    bool cursor_visible() const { return visible_; }
    int bells() const { return bells_; }
    // Rows that left the top of the whole screen (to the scroll-back).
    int scrolled_off() const { return scrolled_off_; }
    bool region_is_whole_screen() const { return top_ == 0 && bottom_ == rows_ - 1; }

  private:
    char32_t& cell(int x, int y) { return cells_[index(x, y)]; }
    std::size_t index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(cols_) +
               static_cast<std::size_t>(x);
    }

    void scroll_up() {
        if (top_ == 0 && bottom_ == rows_ - 1) ++scrolled_off_;
        for (int y = top_; y < bottom_; ++y)
            for (int x = 0; x < cols_; ++x)
                cell(x, y) = cell(x, y + 1);
        for (int x = 0; x < cols_; ++x)
            cell(x, bottom_) = U' ';
    }

    void line_feed() {
        if (y_ == bottom_) {
            scroll_up();
        } else if (y_ < rows_ - 1) {
            ++y_;
        }
        if (onlcr_) x_ = 0;
    }

    void print(char32_t c) {
        if (wrap_pending_) {
            x_ = 0;
            line_feed();
            wrap_pending_ = false;
        }
        cell(x_, y_) = c;
        if (x_ == cols_ - 1) {
            wrap_pending_ = true;
        } else {
            ++x_;
        }
    }

    std::size_t utf8(const std::string& b, std::size_t i) {
        const auto lead = static_cast<unsigned char>(b[i]);
        const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
        char32_t c = lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k)
            c = (c << 6) |
                (static_cast<unsigned char>(b.at(i + static_cast<std::size_t>(k))) & 0x3F);
        print(c);
        return i + 1 + static_cast<std::size_t>(extra);
    }

    std::size_t step(const std::string& b, std::size_t i) {
        const auto c = static_cast<unsigned char>(b[i]);
        if (c == 0x1B) return sequence(b, i);
        if (c >= 0x80 && latin1_) {
            print(c);
            return i + 1;
        }
        if (c >= 0x80) return utf8(b, i);
        switch (c) {
            case '\r':
                x_ = 0;
                wrap_pending_ = false;
                break;
            case '\b':
                if (x_ > 0) --x_;
                wrap_pending_ = false;
                break;
            case '\n':
                line_feed();
                wrap_pending_ = false;
                break;
            case '\a':
                ++bells_;
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    ADD_FAILURE() << "control byte " << int{c} << " sent to the terminal";
                } else {
                    print(c);
                }
        }
        return i + 1;
    }

    std::size_t sequence(const std::string& b, std::size_t i) {
        if (i + 1 >= b.size() || b[i + 1] != '[') {
            ADD_FAILURE() << "escape without [ sent";
            return b.size();
        }
        std::size_t j = i + 2;
        const bool private_mode = j < b.size() && b[j] == '?';
        if (private_mode) ++j;
        std::vector<int> params{0};
        bool given = false;
        for (; j < b.size() && (std::isdigit(static_cast<unsigned char>(b[j])) || b[j] == ';');
             ++j) {
            if (b[j] == ';') {
                params.push_back(0);
            } else {
                params.back() = params.back() * 10 + (b[j] - '0');
                given = true;
            }
        }
        if (j >= b.size()) {
            ADD_FAILURE() << "unfinished escape sequence";
            return b.size();
        }
        apply(b[j], private_mode, params, given);
        return j + 1;
    }

    void apply(char final, bool private_mode, const std::vector<int>& p, bool given) {
        const int n = std::max(p[0], 1);
        wrap_pending_ = false;
        if (private_mode) {
            if (p[0] == 25 && (final == 'h' || final == 'l')) {
                visible_ = final == 'h';
            } else {
                ADD_FAILURE() << "unknown private sequence " << final;
            }
            return;
        }
        switch (final) {
            case 'H':
                y_ = std::clamp(std::max(p[0], 1) - 1, 0, rows_ - 1);
                x_ = std::clamp((p.size() > 1 ? std::max(p[1], 1) : 1) - 1, 0, cols_ - 1);
                break;
            case 'A':
                y_ = std::max(y_ - n, y_ >= top_ ? top_ : 0);
                break;
            case 'B':
                y_ = std::min(y_ + n, y_ <= bottom_ ? bottom_ : rows_ - 1);
                break;
            case 'C':
                x_ = std::min(x_ + n, cols_ - 1);
                break;
            case 'D':
                x_ = std::max(x_ - n, 0);
                break;
            case 'X':
                for (int x = x_; x < std::min(x_ + n, cols_); ++x)
                    cell(x, y_) = U' ';
                break;
            case 'K':
                for (int x = x_; x < cols_; ++x)
                    cell(x, y_) = U' ';
                break;
            case 'J':  // from the cursor to the end of the screen
                for (int i = y_ * cols_ + x_; i < cols_ * rows_; ++i)
                    cells_[static_cast<std::size_t>(i)] = U' ';
                break;
            case '@':  // the rest of the row moves right, blanks come in
                for (int x = cols_ - 1; x >= x_; --x)
                    cell(x, y_) = x - n >= x_ ? cell(x - n, y_) : U' ';
                break;
            case 'P':  // the rest of the row moves left, blanks come in at the edge
                for (int x = x_; x < cols_; ++x)
                    cell(x, y_) = x + n < cols_ ? cell(x + n, y_) : U' ';
                break;
            case 'r':
                top_ = given ? std::max(p[0], 1) - 1 : 0;
                bottom_ = given && p.size() > 1 ? p[1] - 1 : rows_ - 1;
                x_ = 0;
                y_ = 0;
                break;
            default:
                ADD_FAILURE() << "unknown sequence " << final;
        }
    }

    int cols_;
    int rows_;
    int top_ = 0;
    int bottom_;
    std::vector<char32_t> cells_;
    int x_ = 0;
    int y_ = 0;
    bool wrap_pending_ = false;
    bool visible_ = true;
    bool onlcr_ = false;
    bool latin1_ = false;
    int bells_ = 0;
    int scrolled_off_ = 0;
};

}  // namespace pelorin::platform::testing
