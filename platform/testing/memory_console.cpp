#include "platform/testing/memory_console.h"

#include <algorithm>
#include <stdexcept>

#include "platform/scroll_cells.h"
#include "platform/us_keyboard.h"

namespace pelorin::platform {

MemoryConsole::MemoryConsole(int columns, int rows, int window_rows)
    : columns_(columns),
      rows_(rows),
      cells_(static_cast<std::size_t>(columns * rows)),
      window_{0, 0, columns - 1, (window_rows > 0 && window_rows < rows ? window_rows : rows) - 1} {
}

std::string MemoryConsole::row_text(int y) const {
    std::string s;
    if (y < 0 || y >= rows_) return s;
    for (int x = 0; x < columns_; ++x)
        s.push_back(static_cast<char>(at(x, y).ch));
    return s;
}

std::string MemoryConsole::window_row(int r) const {
    return row_text(window_.top + r - 1);
}

CharCell MemoryConsole::cell(int x, int y) const {
    return inside(x, y) ? at(x, y) : CharCell{};
}

void MemoryConsole::resize(int columns, int rows) {
    std::vector<CharCell> cells(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows));
    for (int y = 0; y < std::min(rows, rows_); ++y)
        for (int x = 0; x < std::min(columns, columns_); ++x)
            cells[static_cast<std::size_t>(y) * static_cast<std::size_t>(columns) +
                  static_cast<std::size_t>(x)] = at(x, y);
    columns_ = columns;
    rows_ = rows;
    cells_ = std::move(cells);
    window_ = Rect{0, 0, columns - 1, rows - 1};
    cursor_ = Coord{std::min<int>(cursor_.x, columns - 1), std::min<int>(cursor_.y, rows - 1)};
}

void MemoryConsole::put_text(int x, int y, const std::string& text) {
    for (char c : text) {
        if (inside(x, y)) at(x, y).ch = static_cast<std::uint8_t>(c);
        ++x;
    }
}

bool MemoryConsole::raise_ctrl_event(std::uint32_t type) {
    for (auto it = handlers_.rbegin(); it != handlers_.rend(); ++it) {
        if ((*it)(type)) return true;
    }
    return false;
}

Handle MemoryConsole::std_handle(StdHandle which) {
    return which == StdHandle::input ? input_handle : output_handle;
}

bool MemoryConsole::get_mode(Handle h, std::uint32_t& mode) {
    if (h == input_handle && !input_redirected_) {
        mode = input_mode_;
        return true;
    }
    if (is_output(h)) {
        mode = 0x0003;
        return true;
    }
    return false;
}

bool MemoryConsole::set_mode(Handle h, std::uint32_t mode) {
    if (h == input_handle && !input_redirected_) {
        input_mode_ = mode;
        return true;
    }
    return is_output(h);
}

bool MemoryConsole::screen_buffer_info(Handle h, ScreenBufferInfo& info) {
    if (!is_output(h)) return false;
    info.size = size();
    info.cursor = cursor_;
    info.attributes = attribute_;
    info.window = window_;
    return true;
}

bool MemoryConsole::write_cells(Handle h, const CharCell* cells, int count, Coord at_pos) {
    ++write_cells_calls_;
    if (!is_output(h) || write_cells_failing_ || write_cells_budget_ == 0 || count <= 0)
        return false;
    if (write_cells_budget_ > 0) --write_cells_budget_;
    if (at_pos.x < 0 || at_pos.y < 0 || at_pos.y >= rows_ || at_pos.x >= columns_) return false;
    // The target rectangle is clipped to the buffer; cells beyond it are lost.
    const int n = std::min(count, columns_ - at_pos.x);
    for (int i = 0; i < n; ++i)
        at(at_pos.x + i, at_pos.y) = cells[i];
    return true;
}

bool MemoryConsole::scroll(Handle h, Rect source, Coord dest, CharCell fill) {
    return is_output(h) && scroll_cells(cells_, columns_, rows_, source, dest, fill);
}

bool MemoryConsole::fill_attribute(Handle h, std::uint16_t attributes, int count, Coord at_pos) {
    if (!is_output(h) || !inside(at_pos.x, at_pos.y)) return false;
    int index = at_pos.y * columns_ + at_pos.x;
    for (int i = 0; i < count && index < columns_ * rows_; ++i, ++index)
        cells_[static_cast<std::size_t>(index)].attributes = attributes;
    return true;
}

bool MemoryConsole::fill_character(Handle h, std::uint8_t ch, int count, Coord at_pos) {
    if (!is_output(h) || !inside(at_pos.x, at_pos.y)) return false;
    int index = at_pos.y * columns_ + at_pos.x;
    for (int i = 0; i < count && index < columns_ * rows_; ++i, ++index)
        cells_[static_cast<std::size_t>(index)].ch = ch;
    return true;
}

bool MemoryConsole::set_cursor_position(Handle h, Coord pos) {
    if (!is_output(h) || !inside(pos.x, pos.y)) return false;
    cursor_ = pos;
    scroll_window_to(pos);
    return true;
}

void MemoryConsole::scroll_window_to(Coord pos) {
    const int width = window_.width();
    const int height = window_.height();
    int left = window_.left;
    int top = window_.top;
    if (pos.x < left) left = pos.x;
    if (pos.x >= left + width) left = pos.x - width + 1;
    if (pos.y < top) top = pos.y;
    if (pos.y >= top + height) top = pos.y - height + 1;
    window_ = Rect{left, top, left + width - 1, top + height - 1};
}

bool MemoryConsole::set_window(Handle h, bool absolute, Rect w) {
    if (!is_output(h)) return false;
    if (!absolute) {
        w = Rect{window_.left + w.left, window_.top + w.top, window_.right + w.right,
                 window_.bottom + w.bottom};
    }
    if (w.left < 0 || w.top < 0 || w.right >= columns_ || w.bottom >= rows_ || w.left > w.right ||
        w.top > w.bottom)
        return false;
    window_ = w;
    window_changes_.push_back(w);
    return true;
}

bool MemoryConsole::get_cursor_info(Handle h, CursorInfo& info) {
    if (!is_output(h)) return false;
    info = cursor_info_;
    return true;
}

bool MemoryConsole::set_cursor_info(Handle h, const CursorInfo& info) {
    // The cursor's height is a percentage of the cell: 1 to 100.
    if (!is_output(h) || info.size < 1 || info.size > 100) return false;
    cursor_info_ = info;
    return true;
}

bool MemoryConsole::write_file(Handle h, const void* bytes, std::uint32_t count,
                               std::uint32_t& written) {
    ++write_file_calls_;
    written = 0;
    // A console that is not redirected still takes the bytes here: the engine
    // only writes this way to a console too small to count as one.
    if (h != output_handle || write_failing_) return false;
    const std::uint32_t n = write_limit_ != 0 ? std::min(count, write_limit_) : count;
    output_.append(static_cast<const char*>(bytes), n);
    written = n;
    return true;
}

bool MemoryConsole::peek_input(Handle h, InputEvent& event, std::uint32_t& count) {
    count = 0;
    if (h != input_handle || input_redirected_) return false;
    if (!events_.empty()) {
        event = events_.front();
        count = 1;
    }
    return true;
}

bool MemoryConsole::read_input(Handle h, InputEvent& event, std::uint32_t& count) {
    count = 0;
    // The real call would wait for an event; the key reader only reads a
    // record that peek has just reported, so an empty queue here is a fault.
    if (h != input_handle || input_redirected_ || events_.empty()) return false;
    event = events_.front();
    events_.pop_front();
    count = 1;
    idle_sleeps_ = 0;
    return true;
}

std::uint32_t MemoryConsole::map_virtual_key_char(std::uint32_t virtual_key) {
    return us_vk_to_char(virtual_key);
}

bool MemoryConsole::set_ctrl_handler(CtrlHandler handler, bool add) {
    if (handler == nullptr) return false;
    if (add) {
        handlers_.push_back(handler);
        return true;
    }
    const auto it = std::find(handlers_.rbegin(), handlers_.rend(), handler);
    if (it == handlers_.rend()) return false;
    handlers_.erase(std::next(it).base());
    return true;
}

void MemoryConsole::beep(std::uint32_t frequency_hz, std::uint32_t duration_ms) {
    beeps_.emplace_back(frequency_hz, duration_ms);
}

void MemoryConsole::sleep(std::uint32_t ms) {
    sleeps_.push_back(ms);
    if (on_sleep) {
        on_sleep(*this);
        return;
    }
    if (events_.empty() && ++idle_sleeps_ > max_idle_sleeps)
        throw std::runtime_error("memory console: waiting for a key that never comes");
}

}  // namespace pelorin::platform
