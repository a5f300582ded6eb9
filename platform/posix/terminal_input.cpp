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
                             TerminalWindow& window)
    : sys_(sys),
      options_(options),
      window_(window),
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
    // A stop gave the terminal the user's mode; an answer still awaited
    // must not show on it.
    if (awaited_ && !(keyboard_started_ && awaited_->fd == options_.input_fd)) {
        termios mode{};
        if (sys_.tcgetattr(awaited_->fd, &mode) == 0)
            (void)change_terminal_mode(sys_, awaited_->fd, question_mode(mode));
    }
}

// --- what the terminal sends ----------------------------------------------------

void TerminalInput::take(const ParsedInputs& items, bool keys) {
    for (const ParsedInput& item : items) {
        if (item.kind == ParsedInput::Kind::cursor_report) {
            window_.reported_cursor = Coord{item.column - 1, item.row - 1};
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
    // A late answer came among the keys.
    if (awaited_ && awaited_->fd == options_.input_fd && !parser_.report_expected())
        reply_settled();
    return !keys_.empty();
}

TerminalInput::Wait TerminalInput::wait_readable(int fd, int timeout_ms) {
    const int ready = sys_.wait(fd, false, timeout_ms, nullptr);
    // A descriptor that cannot be waited on fails every wait at once.
    if (ready < 0) return errno == EINTR ? Wait::interrupted : Wait::failed;
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

TerminalInputParser& TerminalInput::parser_for(int fd) {
    return fd == options_.input_fd ? parser_ : tty_parser_;
}

bool TerminalInput::reads_keys(int fd) {
    return fd == options_.input_fd && is_keyboard();
}

// Something typed waits on `fd` (in the question's mode, where a line not
// yet ended counts too).
bool TerminalInput::typed_ahead(int fd) {
    int count = 0;
    return sys_.bytes_waiting(fd, &count) == 0 && count > 0;
}

bool TerminalInput::ask_cursor_position() {
    window_.reported_cursor.reset();
    if (reply_missed_) return false;
    const int fd = query_fd();
    termios mode{};
    if (fd < 0 || sys_.tcgetattr(fd, &mode) != 0) return false;
    // A process in the background (`pelorin < answers &`) would be stopped
    // by the change of mode; it is asked again once brought to the front.
    if (in_background(sys_, fd)) return false;
    watch_terminal_signals(sys_);
    if (!change_terminal_mode(sys_, fd, question_mode(mode))) return false;
    // Keys typed ahead on a terminal that is not the keyboard are the
    // shell's: the answer would come behind them, and reading them would
    // take them from the shell. The cursor stays unknown this time.
    if (!reads_keys(fd) && typed_ahead(fd)) {
        put_back_mode(fd);
        return false;
    }
    reply_missed_ = true;  // until the answer is in
    std::string request;
    vt::request_cursor_position(request);
    parser_for(fd).expect_report();
    awaited_ = AwaitedReply{fd, sys_.now_ms()};
    if (write_all(sys_, fd, request.data(), request.size()) != request.size()) {
        reply_settled();
        return false;
    }
    reply_missed_ = !take_reply(awaited_->asked_ms + reply_wait_ms, reads_keys(fd));
    return !reply_missed_;
}

// After the question: the keyboard's mode if keys are read from this
// terminal, else the user's own.
void TerminalInput::put_back_mode(int fd) {
    if (keyboard_started_ && fd == options_.input_fd) {
        (void)enter_keyboard_mode(sys_, fd);
    } else {
        restore_terminal_mode(sys_, fd);
    }
}

void TerminalInput::reply_settled() {
    if (!awaited_) return;
    put_back_mode(awaited_->fd);
    awaited_.reset();
}

// Reads the awaited answer until it is in or `deadline` passes (a deadline
// already past: what has come, without waiting). With `keys`, keys typed
// around it are kept; else only the bytes up to the end of the answer are
// read, so that what is typed after it stays for whoever reads the terminal
// next. True when the answer came; once it has, or the terminal fails, the
// terminal gets back its mode.
bool TerminalInput::take_reply(std::int64_t deadline, bool keys) {
    const int fd = awaited_->fd;
    TerminalInputParser& parser = parser_for(fd);
    char buffer[64];
    bool failed = false;
    while (parser.report_expected() && !failed) {
        const std::int64_t left = std::max<std::int64_t>(deadline - sys_.now_ms(), 0);
        const Wait ready = wait_readable(fd, static_cast<int>(left));
        if (ready == Wait::interrupted) continue;
        if (ready == Wait::quiet) return false;
        const ssize_t n =
            ready == Wait::readable ? read_some(sys_, fd, buffer, keys ? sizeof buffer : 1) : -1;
        failed = n <= 0;
        if (!failed) parse(parser, buffer, static_cast<std::size_t>(n), keys);
    }
    reply_settled();
    return !failed && window_.reported_cursor.has_value();
}

void TerminalInput::take_late_reply() {
    if (!awaited_ || (keyboard_started_ && awaited_->fd == options_.input_fd)) return;
    if (sys_.now_ms() < awaited_->asked_ms + reply_look_ms) {
        (void)take_reply(sys_.now_ms(), reads_keys(awaited_->fd));
    } else {
        reply_settled();
    }
}

void TerminalInput::finish_reply() {
    if (!awaited_) return;
    const std::int64_t until = awaited_->asked_ms + reply_look_ms;
    // What comes later is the shell's.
    if (sys_.now_ms() < until) (void)take_reply(until, false);
    reply_settled();
}

}  // namespace pelorin::platform
