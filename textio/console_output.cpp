#include "textio/console_output.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "textio/channels.h"
#include "textio/console_output_internal.h"

namespace pelorin::textio {

ConsoleState console_state;

void reset_console_state() {
    console_state = ConsoleState{};
}

namespace {

constexpr std::uint8_t BEL = 7;
constexpr std::uint8_t BS = 8;
constexpr std::uint8_t TAB = 9;
constexpr std::uint8_t LF = 10;
constexpr std::uint8_t CR = 13;
constexpr std::uint8_t BLANK = 32;
constexpr int TAB_WIDTH = 8;
// Printable characters gather into runs of at most this many bytes; a run is
// also the most one cell write ever carries.
constexpr int RUN_CAPACITY = 256;
// Used when the console cannot be queried at the start of a write.
constexpr std::int32_t FALLBACK_COLUMNS = 80;
constexpr std::int32_t FALLBACK_ROWS = 25;
constexpr std::uint16_t FALLBACK_ATTRIBUTE = 7;

static_assert(sizeof(platform::CharCell) == 4, "a cell is a character and a 16-bit attribute");

platform::ConsoleApi& api() {
    return platform::console();
}

platform::Handle output_handle() {
    return console_handles(platform::StdHandle::output);
}

void fill_window_once() {
    if (!console_state.window_filled) {
        console_state.window_filled = true;
        console_refresh_window();
    }
}

// Standard output is not a console: the ConsoleWindow is empty, all zero
// when the console cannot be queried. A window one column wide or one row
// high does not count as a console either.
bool output_redirected() {
    fill_window_once();
    const platform::Rect& w = console_state.window;
    return w.left == w.right || w.top == w.bottom;
}

// Relative and absolute coordinates; both conversions leave the values alone
// where there is no console at all. A window too small to count as a console
// still converts: its first column is 1, so a placement there is not taken
// for "keep the current column", and the cursor goes where the text is.
bool no_console() {
    fill_window_once();
    return !console_state.window_known;
}
int to_relative_column(int x) {
    return no_console() ? x : x - console_state.window.left + 1;
}
int to_relative_row(int y) {
    return no_console() ? y : y - console_state.window.top + 1;
}
int to_absolute_column(int column) {
    return no_console() ? column : console_state.window.left + column - 1;
}
int to_absolute_row(int row) {
    return no_console() ? row : console_state.window.top + row - 1;
}

// Standard output that is not a console gets exactly the bytes given.
void write_redirected(const std::uint8_t* bytes, std::size_t length) {
    const platform::Handle out = output_handle();
    while (length > 0) {
        const auto chunk = static_cast<std::uint32_t>(length > 0x40000000 ? 0x40000000 : length);
        std::uint32_t written = 0;
        // A call that reports success but writes nothing would never make
        // progress: it ends the write like a failure.
        if (!api().write_file(out, bytes, chunk, written) || written == 0) return;
        bytes += written;
        length -= written;
    }
}

// The ConsoleWindow from a successful query. A console whose buffer is its
// window changes size at any moment: its view is the whole window as it is.
void take_window(const platform::ScreenBufferInfo& info) {
    console_state.window = platform::Rect{0, info.window.top, info.size.x - 1, info.window.bottom};
    if (api().buffer_is_window())
        console_state.view = ConsoleView{0, console_state.window.height() - 1};
}

// --- building the context ---------------------------------------------

void read_console_at_start(WriteContext& ctx, const platform::ScreenBufferInfo* info) {
    if (info != nullptr) {
        ctx.cursor_x = info->cursor.x;
        ctx.cursor_y = info->cursor.y;
        ctx.buffer_columns = info->size.x;
        ctx.buffer_rows = info->size.y;
        ctx.attribute = info->attributes;
    } else {
        ctx.cursor_x = ctx.border.left;
        ctx.cursor_y = ctx.border.top;
        ctx.buffer_columns = FALLBACK_COLUMNS;
        ctx.buffer_rows = FALLBACK_ROWS;
        ctx.attribute = FALLBACK_ATTRIBUTE;
    }
}

// --- scrolling -----------------------------------------------------------

void scroll_if_below(WriteContext& ctx) {
    if (ctx.cursor_y > ctx.border.bottom) console_scroll(ctx, ctx.cursor_y - ctx.border.bottom);
}

void blank_rows(const WriteContext& ctx, int from, int to) {
    const int width = ctx.border.width();
    for (int r = from; r <= to; ++r) {
        (void)api().fill_attribute(ctx.output, ctx.attribute, width,
                                   platform::Coord(ctx.border.left, r));
        (void)api().fill_character(ctx.output, BLANK, width, platform::Coord(ctx.border.left, r));
    }
}

// Moves the border (and, at the end of the write, the visible window) down
// into rows the buffer has below it; returns how many rows that made.
int move_border_down(WriteContext& ctx, int rows) {
    const int below = ctx.buffer_rows - ctx.border.bottom - 1;
    if (below <= 0) return 0;
    const int move = std::min(rows, below);
    ctx.border.top += move;
    ctx.border.bottom += move;
    return move;
}

// Moves the region's text up by `rows` and leaves every row under it blank.
void scroll_region(const WriteContext& ctx, const platform::Rect& region, int rows) {
    if (rows >= region.height()) {
        blank_rows(ctx, ctx.border.top, ctx.border.bottom);
        return;
    }
    const platform::Rect source{region.left, region.top + rows, region.right, region.bottom};
    (void)api().scroll(ctx.output, source, platform::Coord(region.left, region.top),
                       platform::CharCell{BLANK, ctx.attribute});
    // The console fills only the source cells the moved text leaves; when
    // fewer rows move than the distance, the rows in between keep old text.
    const int moved = region.bottom - (region.top + rows) + 1;
    if (moved < rows) blank_rows(ctx, region.top + moved, region.bottom);
}

// --- the control-character pass -----------------------------------------

// The state of console_tty, the control-character pass.
struct ControlPass {
    WriteContext& ctx;
    std::array<std::uint8_t, RUN_CAPACITY> run{};
    int count = 0;
    // The column the cursor will have once the run is put.
    std::int32_t x = 0;
    // A BS, LF or CR moved the cursor since the last run was put.
    bool moved = false;
};

void end_run(ControlPass& p) {
    if (p.count == 0) return;
    console_put_run(p.ctx, p.run.data(), p.count);
    p.count = 0;
    p.moved = false;
}

void join_run(ControlPass& p, std::uint8_t byte, int n) {
    if (p.count + n > RUN_CAPACITY) end_run(p);
    std::fill_n(p.run.begin() + p.count, n, byte);
    p.count += n;
    p.x += n;
    const platform::Rect& b = p.ctx.border;
    if (p.x > b.right) p.x = (p.x - b.left) % b.width() + b.left;
}

void cursor_moved(ControlPass& p) {
    p.x = p.ctx.cursor_x;
    p.moved = true;
}

void on_bell(ControlPass&) {
    console_beep();
}

// BS neither erases nor goes back to the row above.
void on_backspace(ControlPass& p) {
    end_run(p);
    WriteContext& ctx = p.ctx;
    // The clamp matters only after a failed cell write, when the cursor
    // stayed behind the tracked column.
    if (p.x > ctx.border.left) ctx.cursor_x = std::max<int>(ctx.cursor_x - 1, ctx.border.left);
    cursor_moved(p);
}

// Tab stops lie every 8 columns from the border's left edge.
void on_tab(ControlPass& p) {
    const int n = TAB_WIDTH - (p.x - p.ctx.border.left) % TAB_WIDTH;
    join_run(p, BLANK, n);
}

// LF includes the carriage return.
void on_line_feed(ControlPass& p) {
    end_run(p);
    p.ctx.cursor_x = p.ctx.border.left;
    ++p.ctx.cursor_y;
    cursor_moved(p);
}

void on_carriage_return(ControlPass& p) {
    end_run(p);
    p.ctx.cursor_x = p.ctx.border.left;
    cursor_moved(p);
}

void tty_byte(ControlPass& p, std::uint8_t byte) {
    switch (byte) {
        case BEL:
            on_bell(p);
            break;
        case BS:
            on_backspace(p);
            break;
        case TAB:
            on_tab(p);
            break;
        case LF:
            on_line_feed(p);
            break;
        case CR:
            on_carriage_return(p);
            break;
        default:
            join_run(p, byte, 1);
            break;  // every other byte shows its glyph
    }
}

// --- the end of a write ----------------------------------------------------

// A pending scroll is carried out before anything else is written.
void carry_out_pending_scroll(WriteContext& ctx) {
    if (!console_state.scroll_pending) return;
    console_state.scroll_pending = false;
    ctx.cursor_x = ctx.border.left;
    ++ctx.cursor_y;
    scroll_if_below(ctx);
}

// Text that ended in the last cell of the bottom row leaves the cursor on
// that cell and keeps the scroll for the next write: a prompt exactly as wide
// as the window stays on screen with its cursor, at the price of an empty row
// when a line end follows.
void apply_end_rule(WriteContext& ctx) {
    if (ctx.cursor_x == ctx.border.left && ctx.cursor_y == ctx.border.bottom + 1) {
        console_state.scroll_pending = true;
        ctx.cursor_x = ctx.border.right;
        ctx.cursor_y = ctx.border.bottom;
        return;
    }
    scroll_if_below(ctx);
}

void place_cursor_and_window(const WriteContext& ctx) {
    (void)api().set_cursor_position(ctx.output, platform::Coord(ctx.cursor_x, ctx.cursor_y));
    if (ctx.border.top == ctx.window.top || ctx.view_set) return;
    (void)api().set_window(ctx.output, true, ctx.border);
}

// --- locate ----------------------------------------------------------------

bool locate_allowed(int row, int column) {
    const int top = console_view_top();
    const int bottom = console_view_bottom();
    int width = 0;
    console_get_size(&width, nullptr);
    if (row != 0 && (row < top || row > bottom)) return false;
    return column == 0 || (column >= 0 && column <= width);
}

bool cursor_is_visible() {
    platform::CursorInfo ci;
    ci.visible = false;
    (void)api().get_cursor_info(output_handle(), ci);
    return ci.visible;
}

}  // namespace

void console_beep() {
    constexpr std::uint32_t BEEP_HZ = 1000;
    constexpr std::uint32_t BEEP_MS = 250;
    api().beep(BEEP_HZ, BEEP_MS);
}

void ensure_console_channel() {
    Channel& ch = channel_table.records[CONSOLE_CHANNEL];
    if (ch.ops != nullptr) return;
    ch = Channel{};
    // The first print or keyboard read is when the ConsoleWindow is first
    // filled (and the console handles fetched).
    fill_window_once();
    ch.ops = &ConsoleDeviceOps;
}

platform::Handle console_handles(platform::StdHandle which) {
    if (!console_state.handles_fetched) {
        console_state.handles_fetched = true;
        console_state.input_handle = api().std_handle(platform::StdHandle::input);
        console_state.output_handle = api().std_handle(platform::StdHandle::output);
        std::uint32_t mode = 0;
        if (console_state.input_handle != 0 && api().get_mode(console_state.input_handle, mode)) {
            (void)api().set_mode(console_state.input_handle,
                                 mode | platform::enable_processed_input);
        }
    }
    return which == platform::StdHandle::input ? console_state.input_handle
                                               : console_state.output_handle;
}

void console_refresh_window() {
    platform::ScreenBufferInfo info;
    console_state.window_known = api().screen_buffer_info(output_handle(), info);
    if (console_state.window_known) {
        take_window(info);
    } else {
        console_state.window = platform::Rect{};
    }
}

void console_get_size(int* width, int* height) {
    // A window that is the buffer may change size at any moment: it is read
    // afresh.
    if (api().buffer_is_window()) console_refresh_window();
    const bool redirected = output_redirected();
    if (width != nullptr) *width = redirected ? 80 : console_state.window.width();
    if (height != nullptr) *height = redirected ? 25 : console_state.window.height();
}

void console_get_cursor(int* column, int* row) {
    fill_window_once();
    platform::ScreenBufferInfo info;
    int c = 0;
    int r = 0;
    if (api().screen_buffer_info(output_handle(), info)) {
        c = to_relative_column(info.cursor.x);
        r = to_relative_row(info.cursor.y);
    }
    if (column != nullptr) *column = c;
    if (row != nullptr) *row = r;
}

int console_get_column() {
    fill_window_once();
    platform::ScreenBufferInfo info;
    const int x = api().screen_buffer_info(output_handle(), info) ? info.cursor.x : 0;
    return to_relative_column(x);
}

int console_get_row() {
    fill_window_once();
    platform::ScreenBufferInfo info;
    const int y = api().screen_buffer_info(output_handle(), info) ? info.cursor.y : 0;
    return to_relative_row(y);
}

int console_view_top() {
    if (console_state.view.top < 0) console_state.view.top = 0;
    return console_state.view.top + 1;
}

int console_view_bottom() {
    if (console_state.view.bottom < 0) {
        int height = 0;
        console_get_size(nullptr, &height);
        console_state.view.bottom = height - 1;
    }
    return console_state.view.bottom + 1;
}

WriteContext console_write_context() {
    WriteContext ctx;
    ctx.output = output_handle();
    // The console is read before the border is made: a window that is the
    // buffer may have changed since the last write.
    platform::ScreenBufferInfo info;
    const bool known = api().screen_buffer_info(ctx.output, info);
    if (known && api().buffer_is_window()) take_window(info);
    const int view_top = console_view_top();
    const int view_bottom = console_view_bottom();
    const platform::Rect& w = console_state.window;
    ctx.border = platform::Rect{w.left, w.top + view_top - 1, w.right, w.top + view_bottom - 1};
    ctx.window = w;
    ctx.view_set = ctx.border.top != ctx.window.top || ctx.border.bottom != ctx.window.bottom;
    read_console_at_start(ctx, known ? &info : nullptr);
    return ctx;
}

void console_write_raw(const void* bytes, std::size_t length, unsigned flags) {
    if (length == 0 && (flags & WRITE_ADJUST) == 0) return;
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    if (output_redirected()) {
        write_redirected(p, length);
        return;
    }
    WriteContext ctx = console_write_context();
    carry_out_pending_scroll(ctx);
    console_tty(ctx, p, length);
    apply_end_rule(ctx);
    place_cursor_and_window(ctx);
    console_refresh_window();
}

void console_tty(WriteContext& ctx, const std::uint8_t* bytes, std::size_t length) {
    ControlPass p{ctx};
    p.x = ctx.cursor_x;
    for (std::size_t i = 0; i < length; ++i)
        tty_byte(p, bytes[i]);
    if (p.count > 0) {
        end_run(p);  // console_put_run checks for a scroll before it writes
        return;
    }
    // A line feed on the bottom row scrolls at once; text that filled the
    // bottom row does not (the end rule keeps that scroll pending).
    if (p.moved) scroll_if_below(ctx);
}

void console_put_run(WriteContext& ctx, const std::uint8_t* bytes, int count) {
    const platform::Rect& b = ctx.border;
    while (count > 0) {
        // Only a buffer made wider behind the engine's back puts the cursor
        // past the edge; it then goes on at the start of the next row.
        if (ctx.cursor_x > b.right) {
            ctx.cursor_x = b.left;
            ++ctx.cursor_y;
        }
        const int segment = std::min(count, b.right - ctx.cursor_x + 1);
        scroll_if_below(ctx);
        if (!console_put_cells(ctx, bytes, segment)) return;  // the rest of the run is lost
        bytes += segment;
        count -= segment;
        ctx.cursor_x += segment;
        // The cursor wraps at once; any scroll waits for the next character.
        if (ctx.cursor_x == b.right + 1) {
            ctx.cursor_x = b.left;
            ++ctx.cursor_y;
        }
    }
}

bool console_put_cells(WriteContext& ctx, const std::uint8_t* bytes, int count) {
    if (count <= 0 || count > RUN_CAPACITY) return false;
    std::array<platform::CharCell, RUN_CAPACITY> cells;
    for (int i = 0; i < count; ++i)
        cells[static_cast<std::size_t>(i)] = {bytes[i], ctx.attribute};
    return api().write_cells(ctx.output, cells.data(), count,
                             platform::Coord(ctx.cursor_x, ctx.cursor_y));
}

void console_scroll(WriteContext& ctx, int rows) {
    if (ctx.view_set) {
        // The user resized the window after the first output: just the
        // view's rows scroll, where they are.
        scroll_region(ctx, ctx.border, rows);
    } else {
        rows -= move_border_down(ctx, rows);
        if (rows == 0) return;  // the cursor's row is inside the moved border
        scroll_region(ctx, platform::Rect{0, 0, ctx.buffer_columns - 1, ctx.buffer_rows - 1}, rows);
    }
    ctx.cursor_y = ctx.border.bottom;
}

Status console_locate(int row, int column, CursorVisibility visibility, LocateResult* before) {
    LocateResult found;
    Status status = STATUS_OK;
    if (!locate_allowed(row, column)) {
        status = STATUS_BAD_CALL;
    } else {
        ensure_console_channel();
        if (column == 0) column = console_get_column();
        if (row == 0) row = console_get_row();
        found = LocateResult{static_cast<std::uint8_t>(column), static_cast<std::uint8_t>(row),
                             cursor_is_visible()};
        console_set_cursor(to_absolute_row(row), to_absolute_column(column), visibility);
    }
    if (before != nullptr) *before = found;
    return status;
}

void console_set_cursor(int row, int column, CursorVisibility visibility) {
    const platform::Handle out = output_handle();
    platform::ScreenBufferInfo info;
    const bool known = api().screen_buffer_info(out, info);
    if (column < 0) column = known ? info.cursor.x : 0;
    if (row < 0) row = known ? info.cursor.y : 0;
    if (visibility != CursorVisibility::keep) {
        platform::CursorInfo ci;
        (void)api().get_cursor_info(out, ci);
        ci.visible = visibility == CursorVisibility::show;
        (void)api().set_cursor_info(out, ci);
    }
    console_state.scroll_pending = false;
    (void)api().set_cursor_position(out, platform::Coord(column, row));
}

}  // namespace pelorin::textio
