#include "textio/console_output.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace pelorin::textio {

ConsoleState console_state;

void reset_console_state() {
    console_state = ConsoleState{};
}

namespace {

ConsoleReadRecord console_read_record;

}  // namespace

void ensure_console_channel() {
    Channel& ch = channel_table.records[CONSOLE_CHANNEL];
    if (ch.ops != nullptr) return;
    ch = Channel{};
    ch.mode = MODE_APPEND;
    ch.kind = KIND_DISK;
    ch.access = ACCESS_READ_WRITE;
    // Asking for the column and the width is what first fills the console
    // window; nothing reads the two values for the console.
    ch.column = static_cast<std::uint32_t>(console_get_column() - 1);
    int width = 0;
    console_get_size(&width, nullptr);
    ch.width = static_cast<std::uint32_t>(width);
    console_read_record = ConsoleReadRecord{};
    ch.stream = &console_read_record;
    ch.ops = &ConsoleDeviceOps;
}

namespace {

constexpr std::uint8_t BEL = 7;
constexpr std::uint8_t BS = 8;
constexpr std::uint8_t TAB = 9;
constexpr std::uint8_t LF = 10;
constexpr std::uint8_t CR = 13;
constexpr std::uint8_t BLANK = 32;
constexpr std::uint32_t BEEP_HZ = 1000;
constexpr std::uint32_t BEEP_MS = 250;
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

platform::Coord coord(std::int32_t x, std::int32_t y) {
    return platform::Coord{static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)};
}

void fill_window_once() {
    if (!console_state.window_filled) {
        console_state.window_filled = true;
        console_refresh_window();
    }
}

// Relative and absolute coordinates; both conversions leave the values alone
// while the console window is empty (standard output is not a console).
int to_relative_column(int x) {
    const ConsoleWindow& w = console_state.window;
    return w.empty() ? x : x - w.left + 1;
}
int to_relative_row(int y) {
    const ConsoleWindow& w = console_state.window;
    return w.empty() ? y : y - w.top + 1;
}
int to_absolute_column(int column) {
    const ConsoleWindow& w = console_state.window;
    return w.empty() ? column : w.left + column - 1;
}
int to_absolute_row(int row) {
    const ConsoleWindow& w = console_state.window;
    return w.empty() ? row : w.top + row - 1;
}

// Standard output that is not a console gets exactly the bytes given.
void write_redirected(const std::uint8_t* bytes, std::size_t length) {
    const platform::Handle out = console_handles(0);
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
    ConsoleWindow& w = console_state.window;
    w.left = 0;
    w.top = info.window.top;
    w.right = static_cast<std::int16_t>(info.size.x - 1);
    w.bottom = info.window.bottom;
    if (api().buffer_is_window()) console_state.view = ConsoleView{0, w.bottom - w.top};
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
    if (ctx.cursor_y > ctx.border.bottom) ctx.scroll(ctx, ctx.cursor_y - ctx.border.bottom);
}

void blank_rows(const WriteContext& ctx, std::int32_t from, std::int32_t to) {
    const int width = ctx.border.right - ctx.border.left + 1;
    for (std::int32_t r = from; r <= to; ++r) {
        (void)api().fill_attribute(ctx.output, ctx.attribute, width, coord(ctx.border.left, r));
        (void)api().fill_character(ctx.output, BLANK, width, coord(ctx.border.left, r));
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
void scroll_region(const WriteContext& ctx, const Box& region, int rows) {
    if (rows >= region.bottom - region.top + 1) {
        blank_rows(ctx, ctx.border.top, ctx.border.bottom);
        return;
    }
    const platform::Rect source{
        static_cast<std::int16_t>(region.left), static_cast<std::int16_t>(region.top + rows),
        static_cast<std::int16_t>(region.right), static_cast<std::int16_t>(region.bottom)};
    (void)api().scroll(ctx.output, source, coord(region.left, region.top),
                       platform::CharCell{BLANK, ctx.attribute});
    // The console fills only the source cells the moved text leaves; when
    // fewer rows move than the distance, the rows in between keep old text.
    const int moved = region.bottom - (region.top + rows) + 1;
    if (moved < rows) blank_rows(ctx, region.top + moved, region.bottom);
}

// --- the control-character pass -----------------------------------------

struct TtyPass {
    WriteContext& ctx;
    std::array<std::uint8_t, RUN_CAPACITY> run{};
    int count = 0;
    // The column the cursor will have once the run is put.
    std::int32_t x = 0;
    // A BS, LF or CR moved the cursor since the last run was put.
    bool moved = false;
};

void end_run(TtyPass& p) {
    if (p.count == 0) return;
    console_put_run(p.ctx, p.run.data(), p.count);
    p.count = 0;
    p.moved = false;
}

void join_run(TtyPass& p, std::uint8_t byte, int n) {
    if (p.count + n > RUN_CAPACITY) end_run(p);
    std::fill_n(p.run.begin() + p.count, n, byte);
    p.count += n;
    p.x += n;
    const Box& b = p.ctx.border;
    if (p.x > b.right) p.x = (p.x - b.left) % (b.right - b.left + 1) + b.left;
}

void cursor_moved(TtyPass& p) {
    p.x = p.ctx.cursor_x;
    p.moved = true;
}

void on_bell(TtyPass&) {
    api().beep(BEEP_HZ, BEEP_MS);
}

// BS neither erases nor goes back to the row above.
void on_backspace(TtyPass& p) {
    end_run(p);
    WriteContext& ctx = p.ctx;
    // The clamp matters only after a failed cell write, when the cursor
    // stayed behind the tracked column.
    if (p.x > ctx.border.left) ctx.cursor_x = std::max(ctx.cursor_x - 1, ctx.border.left);
    cursor_moved(p);
}

// Tab stops lie every 8 columns from the border's left edge.
void on_tab(TtyPass& p) {
    const int n = TAB_WIDTH - (p.x - p.ctx.border.left) % TAB_WIDTH;
    join_run(p, BLANK, n);
}

// LF includes the carriage return.
void on_line_feed(TtyPass& p) {
    end_run(p);
    p.ctx.cursor_x = p.ctx.border.left;
    ++p.ctx.cursor_y;
    cursor_moved(p);
}

void on_carriage_return(TtyPass& p) {
    end_run(p);
    p.ctx.cursor_x = p.ctx.border.left;
    cursor_moved(p);
}

void tty_byte(TtyPass& p, std::uint8_t byte) {
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
    (void)api().set_cursor_position(ctx.output, coord(ctx.cursor_x, ctx.cursor_y));
    if (ctx.border.top == ctx.window.top || ctx.view_set) return;
    const platform::Rect w{
        static_cast<std::int16_t>(ctx.border.left), static_cast<std::int16_t>(ctx.border.top),
        static_cast<std::int16_t>(ctx.border.right), static_cast<std::int16_t>(ctx.border.bottom)};
    (void)api().set_window(ctx.output, true, w);
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
    (void)api().get_cursor_info(console_handles(0), ci);
    return ci.visible;
}

}  // namespace

platform::Handle console_handles(int which) {
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
    return which == 1 ? console_state.input_handle : console_state.output_handle;
}

void console_refresh_window() {
    platform::ScreenBufferInfo info;
    if (api().screen_buffer_info(console_handles(0), info)) {
        take_window(info);
    } else {
        console_state.window = ConsoleWindow{};
    }
}

void console_get_size(int* width, int* height) {
    fill_window_once();
    const ConsoleWindow& w = console_state.window;
    const bool empty = w.empty();
    if (width != nullptr) *width = empty ? 80 : w.right - w.left + 1;
    if (height != nullptr) *height = empty ? 25 : w.bottom - w.top + 1;
}

void console_get_cursor(int* column, int* row) {
    fill_window_once();
    platform::ScreenBufferInfo info;
    int c = 0;
    int r = 0;
    if (api().screen_buffer_info(console_handles(0), info)) {
        c = to_relative_column(info.cursor.x);
        r = to_relative_row(info.cursor.y);
    }
    if (column != nullptr) *column = c;
    if (row != nullptr) *row = r;
}

int console_get_column() {
    fill_window_once();
    platform::ScreenBufferInfo info;
    const int x = api().screen_buffer_info(console_handles(0), info) ? info.cursor.x : 0;
    return to_relative_column(x);
}

int console_get_row() {
    fill_window_once();
    platform::ScreenBufferInfo info;
    const int y = api().screen_buffer_info(console_handles(0), info) ? info.cursor.y : 0;
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
    ctx.scroll = console_scroll;
    ctx.put = console_put_cells;
    ctx.output = console_handles(0);
    // The console is read before the border is made: a window that is the
    // buffer may have changed since the last write.
    platform::ScreenBufferInfo info;
    const bool known = api().screen_buffer_info(ctx.output, info);
    if (known && api().buffer_is_window()) take_window(info);
    const int view_top = console_view_top();
    const int view_bottom = console_view_bottom();
    const ConsoleWindow& w = console_state.window;
    const int cols = w.right - w.left + 1;
    const int rows = w.bottom - w.top + 1;
    ctx.border = Box{w.left, w.top + view_top - 1, w.left + cols - 1, w.top + view_bottom - 1};
    ctx.window = Box{w.left, w.top, w.left + cols - 1, w.top + rows - 1};
    ctx.view_set = ctx.border.top != ctx.window.top || ctx.border.bottom != ctx.window.bottom;
    read_console_at_start(ctx, known ? &info : nullptr);
    return ctx;
}

void console_write_raw(const void* bytes, std::size_t length, unsigned flags) {
    if (length == 0 && (flags & WRITE_ADJUST) == 0) return;
    fill_window_once();
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    if (console_state.window.empty()) {
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
    TtyPass p{ctx};
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
    const Box& b = ctx.border;
    while (count > 0) {
        // Only a buffer made wider behind the engine's back puts the cursor
        // past the edge; it then goes on at the start of the next row.
        if (ctx.cursor_x > b.right) {
            ctx.cursor_x = b.left;
            ++ctx.cursor_y;
        }
        const int segment = std::min(count, b.right - ctx.cursor_x + 1);
        scroll_if_below(ctx);
        if (!ctx.put(ctx, bytes, segment)) return;  // the rest of the run is lost
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
    return api().write_cells(ctx.output, cells.data(), count, coord(ctx.cursor_x, ctx.cursor_y));
}

void console_scroll(WriteContext& ctx, int rows) {
    if (ctx.view_set) {
        // The user resized the window after the first output: just the
        // view's rows scroll, where they are.
        scroll_region(ctx, ctx.border, rows);
    } else {
        rows -= move_border_down(ctx, rows);
        if (rows == 0) return;  // the cursor's row is inside the moved border
        scroll_region(ctx, Box{0, 0, ctx.buffer_columns - 1, ctx.buffer_rows - 1}, rows);
    }
    ctx.cursor_y = ctx.border.bottom;
}

Status console_locate(int row, int column, int cursor_visible, std::uint32_t* result) {
    std::uint32_t state = 0;
    Status status = STATUS_OK;
    if (!locate_allowed(row, column)) {
        status = STATUS_BAD_CALL;
    } else {
        ensure_console_channel();
        if (column == 0) column = console_get_column();
        if (row == 0) row = console_get_row();
        state = (static_cast<std::uint32_t>(column) & 0xFF) +
                ((static_cast<std::uint32_t>(row) & 0xFF) << 8) +
                (cursor_is_visible() ? 0x10000u : 0u);
        console_set_cursor(to_absolute_row(row), to_absolute_column(column), cursor_visible);
    }
    if (result != nullptr) *result = state;
    return set_status(status);
}

void console_set_cursor(int row, int column, int cursor_visible) {
    const platform::Handle out = console_handles(0);
    platform::ScreenBufferInfo info;
    const bool known = api().screen_buffer_info(out, info);
    if (column < 0) column = known ? info.cursor.x : 0;
    if (row < 0) row = known ? info.cursor.y : 0;
    if (cursor_visible >= 0) {
        platform::CursorInfo ci;
        (void)api().get_cursor_info(out, ci);
        ci.visible = cursor_visible != 0;
        (void)api().set_cursor_info(out, ci);
    }
    console_state.scroll_pending = false;
    (void)api().set_cursor_position(out, coord(column, row));
}

}  // namespace pelorin::textio
