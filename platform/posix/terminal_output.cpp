#include "platform/posix/terminal_output.h"

#include <limits.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "platform/posix/terminal_signals.h"

namespace pelorin::platform {

TerminalOutput::TerminalOutput(const TerminalSys& sys, const TerminalOptions& options,
                               TerminalWindow& window)
    : sys_(sys), options_(options), window_(window) {}

TerminalOutput::~TerminalOutput() {
    release();
}

void TerminalOutput::become_console() {
    screen_.set_charset(options_.utf8, options_.code_page);
    terminal_signal_state.cursor_fd = options_.output_fd;
}

// The reported cursor, inside the window.
std::optional<Coord> TerminalOutput::reported_cursor() const {
    if (!window_.reported_cursor) return std::nullopt;
    return Coord{std::clamp<int>(window_.reported_cursor->x, 0, window_.cols - 1),
                 std::clamp<int>(window_.reported_cursor->y, 0, window_.rows - 1)};
}

void TerminalOutput::start_screen() {
    screen_.reset(window_.cols, window_.rows);
    if (const std::optional<Coord> at = reported_cursor()) {
        screen_.set_terminal_cursor(*at);
    } else {
        screen_.set_cursor(Coord{0, window_.rows - 1});
    }
    screen_.clear_below_cursor();
}

void TerminalOutput::resize_screen() {
    screen_.resize(window_.cols, window_.rows, reported_cursor());
}

void TerminalOutput::continue_screen() {
    if (const std::optional<Coord> at = reported_cursor()) {
        screen_.redraw_cursor_line(window_.cols, window_.rows, *at);
    } else {
        start_screen();
    }
}

void TerminalOutput::hold() {
    if (signals_held_) return;
    signals_held_ = true;
    hold_ending_signals(sys_, mask_before_hold_);
}

void TerminalOutput::release() {
    if (!signals_held_) return;
    signals_held_ = false;
    release_ending_signals(sys_, mask_before_hold_);
}

// The terminal's cursor and visibility become the program's. A signal
// handler learns whether the cursor is hidden, to show it before the end.
void TerminalOutput::settle() {
    screen_.settle();
    terminal_signal_state.cursor_hidden = screen_.cursor_visible() ? 0 : 1;
}

bool TerminalOutput::send(bool settle_first) {
    if (settle_first) settle();
    const std::string bytes = screen_.take_output();
    const bool sent = bytes.empty() || write_out(bytes.data(), bytes.size()) == bytes.size();
    if (!sent) screen_.forget_terminal_cursor();
    if (!held_bytes_.empty()) {
        // What a device refuses is dropped, as an unheld write would drop it.
        (void)write_out(held_bytes_.data(), held_bytes_.size());
        held_bytes_.clear();
    }
    // Nothing is held now: the signals may act.
    release();
    return sent;
}

void TerminalOutput::hold_bytes(const char* bytes, std::size_t count) {
    hold();
    try {
        held_bytes_.append(bytes, count);
    } catch (const std::bad_alloc&) {
        send(false);
        (void)write_out(bytes, count);
        return;
    }
    if (held_bytes_.size() >= held_output_limit) send(false);
}

void TerminalOutput::limit_held() {
    if (screen_.output().size() > held_output_limit) send(false);
}

void TerminalOutput::ring_bell(bool settle_first) {
    hold();
    if (settle_first) settle();
    screen_.ring_bell();
    send(false);
}

std::size_t TerminalOutput::write_raw(const char* bytes, std::size_t count) {
    return write_out(bytes, count);
}

// To standard output, unless it is gone: a write failing with EIO means
// the terminal has hung up, one failing with EPIPE that the reader of a
// pipe has left, and writing on would only fail again.
std::size_t TerminalOutput::write_out(const char* bytes, std::size_t count) {
    if (gone_) return 0;
    errno = 0;
    // While the ending signals wait, they may still end a process stuck
    // on a reader that has stopped reading.
    const WriteWaits waits{signals_held_ ? &mask_before_hold_ : nullptr, write_step()};
    const std::size_t n = write_all(sys_, options_.output_fd, bytes, count, waits);
    if (n != count && (errno == EIO || errno == EPIPE)) {
        gone_ = true;
        terminal_signal_state.cursor_fd = -1;
    }
    return n;
}

// A pipe or a socket that shows it takes more takes PIPE_BUF bytes at once;
// a larger write could stop the process inside it. Files, terminals and
// other devices take a whole write.
std::size_t TerminalOutput::write_step() {
    if (!write_step_) {
        struct stat info {};
        const bool pipe = sys_.fstat(options_.output_fd, &info) == 0 &&
                          (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode));
        write_step_ = pipe ? std::size_t{PIPE_BUF} : 0;
    }
    return *write_step_;
}

}  // namespace pelorin::platform
