// An in-memory console with the Windows semantics of each call: a screen
// buffer of any size with a visible window inside it, a cursor and its
// visibility, the current attribute, scripted input events and logs of
// beeps and sleeps. Every engine, key-reader and editor test runs on it.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/console_api.h"

namespace pelorin::platform {

class MemoryConsole final : public ConsoleApi {
  public:
    static constexpr Handle input_handle = 1;
    static constexpr Handle output_handle = 2;

    // A screen buffer of `columns` x `rows` cells, blank in attribute 7, with
    // the visible window covering its top `window_rows` rows (all of them
    // when 0 or more than `rows`). The cursor starts at (0, 0), visible.
    MemoryConsole(int columns, int rows, int window_rows = 0);

    // Standard output redirected: screen_buffer_info fails and write_file
    // collects the bytes in output().
    void set_output_redirected(bool redirected) { output_redirected_ = redirected; }
    // Standard input redirected: get_mode fails on the input handle.
    void set_input_redirected(bool redirected) { input_redirected_ = redirected; }
    // Standard error shows in the console's window.
    void set_standard_error_shown(bool shown) { standard_error_shown_ = shown; }

    // --- inspection -------------------------------------------------------
    // Row y of the screen buffer (absolute) as its characters, full width.
    std::string row_text(int y) const;
    // Row r (1-based) of the visible window.
    std::string window_row(int r) const;
    CharCell cell(int x, int y) const;
    Coord cursor() const { return cursor_; }
    bool cursor_visible() const { return cursor_info_.visible; }
    Rect window() const { return window_; }
    Coord size() const { return Coord{columns_, rows_}; }
    std::uint16_t attribute() const { return attribute_; }
    std::uint32_t input_mode() const { return input_mode_; }
    // Bytes received through write_file.
    const std::string& output() const { return output_; }
    // Lines received through write_error_line, each ending in a line feed.
    const std::string& error_output() const { return error_output_; }
    const std::vector<std::pair<std::uint32_t, std::uint32_t>>& beeps() const { return beeps_; }
    const std::vector<std::uint32_t>& sleeps() const { return sleeps_; }
    int write_cells_calls() const { return write_cells_calls_; }
    int write_file_calls() const { return write_file_calls_; }
    // Every window rectangle that set_window installed, in order.
    const std::vector<Rect>& window_changes() const { return window_changes_; }

    // --- set-up -----------------------------------------------------------
    void set_cursor(Coord c) { cursor_ = c; }
    void set_attribute(std::uint16_t a) { attribute_ = a; }
    void set_cursor_visible(bool v) { cursor_info_.visible = v; }
    // Resizes the visible window (the user dragging the window edge).
    void set_window_rect(Rect w) { window_ = w; }
    // A console whose buffer is its window, as a terminal: resize() then
    // changes both, keeping the cells that still fit.
    void set_buffer_is_window(bool same) { buffer_is_window_ = same; }
    void resize(int columns, int rows);
    // Writes characters straight into the buffer (no cursor move).
    void put_text(int x, int y, const std::string& text);
    // write_file accepts at most this many bytes per call (0: no limit).
    void set_write_limit(std::uint32_t limit) { write_limit_ = limit; }
    // write_file fails from now on.
    void set_write_failing(bool failing) { write_failing_ = failing; }
    // write_cells fails from now on.
    void set_write_cells_failing(bool failing) { write_cells_failing_ = failing; }
    // write_cells succeeds this many more times, then fails (-1: no limit).
    void set_write_cells_budget(int calls) { write_cells_budget_ = calls; }

    // --- input ------------------------------------------------------------
    void push_event(const InputEvent& event) { events_.push_back(event); }
    void push_key(const KeyEvent& key) { events_.push_back(InputEvent{EventKind::key, key}); }
    std::size_t pending_events() const { return events_.size(); }
    // Called at every sleep; tests use it to feed keys over time. When none
    // is set, a wait of more than `max_idle_sleeps` sleeps in a row throws
    // std::runtime_error instead of hanging the test.
    std::function<void(MemoryConsole&)> on_sleep;
    int max_idle_sleeps = 1000;
    // Raises a console control event as the platform would: handlers are
    // asked from the last installed to the first until one handles it.
    bool raise_ctrl_event(std::uint32_t type);
    std::size_t ctrl_handler_count() const { return handlers_.size(); }

    // --- ConsoleApi -------------------------------------------------------
    Handle std_handle(StdHandle which) override;
    bool get_mode(Handle h, std::uint32_t& mode) override;
    bool set_mode(Handle h, std::uint32_t mode) override;
    bool screen_buffer_info(Handle h, ScreenBufferInfo& info) override;
    bool write_cells(Handle h, const CharCell* cells, int count, Coord at) override;
    bool scroll(Handle h, Rect source, Coord dest, CharCell fill) override;
    bool fill_attribute(Handle h, std::uint16_t attributes, int count, Coord at) override;
    bool fill_character(Handle h, std::uint8_t ch, int count, Coord at) override;
    bool set_cursor_position(Handle h, Coord pos) override;
    bool set_window(Handle h, bool absolute, Rect window) override;
    bool get_cursor_info(Handle h, CursorInfo& info) override;
    bool set_cursor_info(Handle h, const CursorInfo& info) override;
    bool write_file(Handle h, const void* bytes, std::uint32_t count,
                    std::uint32_t& written) override;
    bool peek_input(Handle h, InputEvent& event, std::uint32_t& count) override;
    bool read_input(Handle h, InputEvent& event, std::uint32_t& count) override;
    std::uint32_t map_virtual_key_char(std::uint32_t virtual_key) override;
    bool set_ctrl_handler(CtrlHandler handler, bool add) override;
    void beep(std::uint32_t frequency_hz, std::uint32_t duration_ms) override;
    void sleep(std::uint32_t ms) override;
    bool buffer_is_window() const override { return buffer_is_window_; }
    bool shows_standard_error() override { return standard_error_shown_; }
    void write_error_line(std::string_view line) override { error_output_.append(line) += '\n'; }
    void flush() override { ++flushes_; }
    int flushes() const { return flushes_; }

  private:
    bool is_output(Handle h) const { return h == output_handle && !output_redirected_; }
    // SetConsoleCursorPosition moves the window origin just enough to show
    // a cursor placed outside it.
    void scroll_window_to(Coord pos);
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < columns_ && y < rows_; }
    CharCell& at(int x, int y) { return cells_[index(x, y)]; }
    const CharCell& at(int x, int y) const { return cells_[index(x, y)]; }
    std::size_t index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(columns_) +
               static_cast<std::size_t>(x);
    }

    int columns_;
    int rows_;
    std::vector<CharCell> cells_;
    Rect window_;
    Coord cursor_;
    CursorInfo cursor_info_;
    std::uint16_t attribute_ = 7;
    std::uint32_t input_mode_ = 0x01F7;  // the Windows default input mode
    bool buffer_is_window_ = false;
    bool output_redirected_ = false;
    bool input_redirected_ = false;
    bool standard_error_shown_ = false;
    std::string output_;
    std::string error_output_;
    std::uint32_t write_limit_ = 0;
    bool write_failing_ = false;
    bool write_cells_failing_ = false;
    int write_cells_calls_ = 0;
    int write_cells_budget_ = -1;
    int write_file_calls_ = 0;
    std::vector<Rect> window_changes_;
    std::deque<InputEvent> events_;
    std::vector<CtrlHandler> handlers_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> beeps_;
    std::vector<std::uint32_t> sleeps_;
    int idle_sleeps_ = 0;
    int flushes_ = 0;
};

}  // namespace pelorin::platform
