#include "platform/posix/terminal_input.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/posix/terminal_modes.h"
#include "platform/posix/terminal_signals.h"
#include "platform/posix/terminal_vt.h"

namespace pelorin::platform {
namespace {

// A paste larger than this waits for the next poll, so one poll ends.
constexpr int most_reads_per_poll = 64;
// Keys beyond this many waiting here stay in the terminal's own input
// buffer until the program has taken some: a paste of any length arrives
// whole, and no more of it is held here than the key reader's queue takes.
constexpr std::size_t most_waiting_keys = 512;

std::uint64_t clock_value(std::int64_t now_ms) {
    return now_ms < 0 ? 0 : static_cast<std::uint64_t>(now_ms);
}

}  // namespace

TerminalInput::TerminalInput(const TerminalSys& sys, const TerminalOptions& options,
                             TerminalShared& shared)
    : sys_(sys),
      options_(options),
      shared_(shared),
      parser_(options.utf8 ? InputEncoding::utf8 : InputEncoding::latin1, options.code_page),
      tty_parser_(options.utf8 ? InputEncoding::utf8 : InputEncoding::latin1, options.code_page) {}

TerminalInput::~TerminalInput() {
    if (tty_opened_) sys_.close(tty_fd_);
}

bool TerminalInput::is_keyboard() {
    if (kind_ == Kind::unknown) {
        termios mode{};
        const bool tty = sys_.tcgetattr(options_.input_fd, &mode) == 0;
        kind_ = tty && options_.takes_sequences() ? Kind::keyboard : Kind::stream;
    }
    return kind_ == Kind::keyboard;
}

void TerminalInput::start_keyboard() {
    if (keyboard_started_) return;
    keyboard_started_ = true;
    watch_terminal_signals(sys_);
    (void)enter_keyboard_mode(sys_, options_.input_fd);
}

void TerminalInput::take_keyboard_again() {
    if (keyboard_started_ && !gone_) (void)enter_keyboard_mode(sys_, options_.input_fd);
}

// --- what the terminal sends ----------------------------------------------------

void TerminalInput::take(const ParsedInputs& items, bool keys) {
    for (const ParsedInput& item : items) {
        if (item.kind == ParsedInput::Kind::cursor_report) {
            shared_.reported_cursor = Coord{static_cast<std::int16_t>(item.column - 1),
                                            static_cast<std::int16_t>(item.row - 1)};
        } else if (item.kind == ParsedInput::Kind::key && keys) {
            keys_.push_back(item.key);
        }
        // Anything else the terminal sent is no key: set aside.
    }
}

// `keys`: the bytes come from the keyboard, and the keys among them count.
void TerminalInput::parse(TerminalInputParser& parser, const char* bytes, std::size_t count,
                          bool keys) {
    last_input_ms_ = sys_.now_ms();
    const std::uint64_t now = clock_value(last_input_ms_);
    for (std::size_t i = 0; i < count; ++i)
        take(parser.feed(static_cast<std::uint8_t>(bytes[i]), now), keys);
}

void TerminalInput::read_keyboard() {
    if (gone_ || !is_keyboard()) return;
    const int fd = options_.input_fd;
    char buffer[256];
    // Right after a wait that found nothing there is nothing to read: the
    // editor's poll costs one system call, not two.
    const bool quiet = std::exchange(known_quiet_, false);
    for (int reads = 0; !quiet && reads < most_reads_per_poll && keys_.size() < most_waiting_keys;
         ++reads) {
        const Wait ready = wait_readable(fd, 0);
        if (ready == Wait::interrupted) continue;
        if (ready != Wait::readable) break;
        const ssize_t n = read_some(sys_, fd, buffer, sizeof buffer);
        if (n <= 0) {
            if (read_failed(n)) return;
            break;
        }
        read_stalled_ = false;
        parse(parser_, buffer, static_cast<std::size_t>(n), true);
    }
}

// A read that brought nothing although the terminal was ready. A terminal
// that has hung up reads as the end of the file or fails with EIO, and then
// no longer is a terminal at all: that is the console being closed. True
// when it was.
bool TerminalInput::read_failed(ssize_t n) {
    const int error = n < 0 ? errno : 0;
    if (error == EAGAIN || error == EWOULDBLOCK) return false;
    termios mode{};
    if ((n == 0 || error == EIO) && sys_.tcgetattr(options_.input_fd, &mode) != 0) {
        gone_ = true;
        end_after_hang_up(sys_);
        return true;
    }
    // Still a terminal, but not one to read now (an end of file typed in the
    // moment after a stop, before the keyboard mode is back; a process in
    // the background): until a read works, waits do not watch it.
    read_stalled_ = true;
    return false;
}

bool TerminalInput::keys_ready() {
    start_keyboard();
    read_keyboard();
    take(parser_.tick(clock_value(sys_.now_ms())), true);
    return !keys_.empty();
}

TerminalInput::Wait TerminalInput::wait_readable(int fd, int timeout_ms) {
    pollfd wanted{fd, POLLIN, 0};
    const int ready = sys_.poll(&wanted, 1, timeout_ms);
    if (ready < 0) return errno == EINTR ? Wait::interrupted : Wait::failed;
    // A descriptor that cannot be waited on would end every wait at once.
    if (ready > 0 && (wanted.revents & POLLNVAL) != 0) return Wait::failed;
    return ready > 0 ? Wait::readable : Wait::quiet;
}

// Without keys the pause sleeps in the wait, using no processor time. The
// editor asks for short pauses between looks at the keyboard; once nothing
// has come for a while, a pause lasts until a key comes (or a due Esc, or a
// signal): the program cannot tell, and an idle prompt then costs no
// processor time. Any input brings the short pauses back.
void TerminalInput::pause(std::uint32_t ms) {
    if (!keyboard_started_ || gone_ || read_stalled_) {
        sys_.sleep_ms(ms);
        return;
    }
    const std::int64_t now = sys_.now_ms();
    std::int64_t timeout = quiet_waits_ >= settle_after_quiet_waits ? settled_wait_ms : ms;
    if (const std::optional<std::uint64_t> due = parser_.deadline())
        timeout = std::clamp<std::int64_t>(static_cast<std::int64_t>(*due) - now, 0, timeout);
    const Wait ready = wait_readable(options_.input_fd, static_cast<int>(timeout));
    known_quiet_ = ready == Wait::quiet;
    quiet_waits_ = ready == Wait::quiet ? quiet_waits_ + 1 : 0;
    if (ready == Wait::failed) sys_.sleep_ms(ms);
}

// --- the cursor question --------------------------------------------------------

// The device to ask for the cursor: standard input when it is the same
// terminal as standard output, else the process's terminal when standard
// output is that one, so that it works with standard input redirected. -1
// when there is none.
int TerminalInput::query_fd() {
    if (tty_looked_up_) return tty_fd_;
    tty_looked_up_ = true;
    termios mode{};
    if (sys_.tcgetattr(options_.input_fd, &mode) == 0 &&
        same_terminal(sys_, options_.input_fd, options_.output_fd)) {
        tty_fd_ = options_.input_fd;
    } else if (is_controlling_terminal(sys_, options_.output_fd)) {
        tty_fd_ = sys_.open(options_.tty_path.c_str(), O_RDWR | O_NOCTTY);
        tty_opened_ = tty_fd_ >= 0;
    }
    return tty_fd_;
}

bool TerminalInput::ask_cursor_position() {
    shared_.reported_cursor.reset();
    if (reply_missed_) return false;
    reply_missed_ = true;  // until the answer is in
    const int fd = query_fd();
    termios saved{};
    if (fd < 0 || sys_.tcgetattr(fd, &saved) != 0) return false;
    // The answer comes as input: without canonical mode it is readable at
    // once, without echo it does not show on the screen.
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    quiet.c_cc[VMIN] = 0;
    quiet.c_cc[VTIME] = 0;
    watch_terminal_signals(sys_);
    if (!change_terminal_mode(sys_, fd, quiet)) return false;
    std::string request;
    vt::request_cursor_position(request);
    TerminalInputParser& parser = fd == options_.input_fd ? parser_ : tty_parser_;
    parser.expect_report();
    const bool asked = write_all(sys_, fd, request.data(), request.size()) == request.size();
    const bool answered = asked && wait_for_report(fd, parser);
    put_back_mode(fd, saved);
    reply_missed_ = !answered;
    return answered;
}

// After the question: the keyboard's mode if keys are read from this
// terminal, else the user's own.
void TerminalInput::put_back_mode(int fd, const termios& saved) {
    if (keyboard_started_ && fd == options_.input_fd) {
        (void)change_terminal_mode(sys_, fd, saved);
    } else {
        restore_terminal_mode(sys_, fd);
    }
}

// Keys typed meanwhile are kept; the answer may still come after the time
// is up, and then the parser, still awaiting it, takes it out of the keys.
bool TerminalInput::wait_for_report(int fd, TerminalInputParser& parser) {
    const bool keys = fd == options_.input_fd && is_keyboard();
    const std::int64_t deadline = sys_.now_ms() + reply_wait_ms;
    char buffer[64];
    while (parser.report_expected()) {
        const std::int64_t left = deadline - sys_.now_ms();
        if (left <= 0) return false;
        const Wait ready = wait_readable(fd, static_cast<int>(left));
        if (ready == Wait::failed) return false;
        if (ready != Wait::readable) continue;
        const ssize_t n = read_some(sys_, fd, buffer, sizeof buffer);
        if (n <= 0) return false;
        parse(parser, buffer, static_cast<std::size_t>(n), keys);
    }
    return shared_.reported_cursor.has_value();
}

}  // namespace pelorin::platform
