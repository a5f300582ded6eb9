// The keyboard half of the terminal console: the keyboard mode, the bytes
// the terminal sends, and the key events made of them.
#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/posix/terminal_console.h"
#include "platform/posix/terminal_modes.h"
#include "platform/posix/terminal_signals.h"

namespace pelorin::platform {
namespace {

// A paste larger than this waits for the next poll, so one poll ends.
constexpr int most_reads_per_poll = 64;

}  // namespace

bool TerminalConsole::input_is_terminal() {
    if (input_kind_ == InputKind::unknown) {
        termios mode{};
        const bool tty = sys_.tcgetattr(options_.input_fd, &mode) == 0;
        input_kind_ = tty ? InputKind::terminal : InputKind::stream;
    }
    return input_kind_ == InputKind::terminal;
}

// The first poll for keys: from here to the end the terminal is in the
// keyboard mode, and signals give it back before they end or stop the process.
void TerminalConsole::start_keyboard() {
    if (keyboard_started_) return;
    keyboard_started_ = true;
    watch_terminal_signals(sys_);
    (void)enter_keyboard_mode(sys_, options_.input_fd);
}

// After a stop the terminal had the user's mode, and the shell may have
// written on it: the keyboard mode is taken again and the cursor learnt
// afresh, before any key is handled or anything drawn.
void TerminalConsole::go_on_after_stop() {
    if (!take_continued()) return;
    if (keyboard_started_ && !input_gone_) (void)enter_keyboard_mode(sys_, options_.input_fd);
    if (kind_ == Kind::console && geometry_known_) learn_geometry();
}

void TerminalConsole::take_bytes(const char* bytes, std::size_t count) {
    last_input_ms_ = sys_.now_ms();
    for (std::size_t i = 0; i < count; ++i) {
        if (!late_reply_expected_) {
            input_ += bytes[i];
        } else if (scanner_.feed(static_cast<std::uint8_t>(bytes[i]), input_)) {
            late_reply_expected_ = false;  // the answer came after all: dropped
        }
    }
}

void TerminalConsole::poll_input() {
    if (input_gone_ || !input_is_terminal()) return;
    const int fd = options_.input_fd;
    char buffer[256];
    // Right after a wait that found nothing there is nothing to read: the
    // editor's poll costs one system call, not two.
    const bool known_quiet = std::exchange(input_known_quiet_, false);
    for (int reads = 0; !known_quiet && reads < most_reads_per_poll; ++reads) {
        pollfd wanted{fd, POLLIN, 0};
        const int ready = sys_.poll(&wanted, 1, 0);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        const ssize_t n = read_some(sys_, fd, buffer, sizeof buffer);
        if (n <= 0) {
            if (read_failed(n)) return;
            break;
        }
        read_stalled_ = false;
        take_bytes(buffer, static_cast<std::size_t>(n));
    }
    // A terminal sends its answer in one piece: a beginning left alone for
    // a while is a key (Esc, an arrow) that looked like one.
    if (scanner_.holding() && sys_.now_ms() - last_input_ms_ >= reply_gap_ms)
        scanner_.release(input_);
}

// A read that brought nothing although the terminal was ready. A terminal
// that has hung up reads as the end of the file or fails with EIO, and then
// no longer is a terminal at all: that is the console being closed. True
// when it was.
bool TerminalConsole::read_failed(ssize_t n) {
    const int error = n < 0 ? errno : 0;
    if (error == EAGAIN || error == EWOULDBLOCK) return false;
    termios mode{};
    if ((n == 0 || error == EIO) && sys_.tcgetattr(options_.input_fd, &mode) != 0) {
        input_gone_ = true;
        end_after_hang_up(sys_);
        return true;
    }
    // Still a terminal, but not one to read now (an end of file typed in the
    // moment after a stop, before the keyboard mode is back; a process in
    // the background): until a read works, waits do not watch it.
    read_stalled_ = true;
    return false;
}

std::string TerminalConsole::take_input() {
    return std::exchange(input_, std::string{});
}

// Gathers what the keyboard has sent; true when a key event waits.
bool TerminalConsole::keys_ready() {
    start_keyboard();
    go_on_after_stop();
    poll_input();
    const std::int64_t now = sys_.now_ms();
    keyboard_.feed(take_input(), now);
    keyboard_.tick(now);
    return !keyboard_.empty();
}

bool TerminalConsole::peek_input(Handle h, InputEvent& event, std::uint32_t& count) {
    flush();
    count = 0;
    if (h != input_handle || !input_is_terminal()) return false;
    if (!keys_ready()) return true;
    event = InputEvent{EventKind::key, keyboard_.front()};
    count = 1;
    return true;
}

bool TerminalConsole::read_input(Handle h, InputEvent& event, std::uint32_t& count) {
    if (!peek_input(h, event, count)) return false;
    if (count == 1) keyboard_.pop();
    return true;
}

// The editor's pause between two polls for keys. It ends early when a key
// comes, so the echo follows the key at once, and when a lone Esc becomes
// the Esc key; without keys it sleeps in poll(), using no processor time.
void TerminalConsole::wait_for_input(std::uint32_t ms) {
    const std::int64_t now = sys_.now_ms();
    // The editor asks for short pauses between looks at the keyboard. Once
    // nothing has come for a while, a pause lasts until a key comes (or a
    // due Esc, or a signal): the program cannot tell, and an idle prompt then
    // costs no processor time. Any input brings the short pauses back.
    std::int64_t timeout = quiet_waits_ >= settle_after_quiet_waits ? settled_wait_ms : ms;
    if (const std::optional<std::int64_t> due = keyboard_.deadline())
        timeout = std::clamp<std::int64_t>(*due - now, 0, timeout);
    if (scanner_.holding())
        timeout = std::clamp<std::int64_t>(last_input_ms_ + reply_gap_ms - now, 0, timeout);
    pollfd wanted{options_.input_fd, POLLIN, 0};
    const int ready = sys_.poll(&wanted, 1, static_cast<int>(timeout));
    input_known_quiet_ = ready == 0;
    quiet_waits_ = ready == 0 ? quiet_waits_ + 1 : 0;
    // A descriptor that cannot be waited on would end every wait at once.
    const bool unwatchable =
        (ready < 0 && errno != EINTR) || (ready > 0 && (wanted.revents & POLLNVAL) != 0);
    if (unwatchable) sys_.sleep_ms(ms);
}

}  // namespace pelorin::platform
