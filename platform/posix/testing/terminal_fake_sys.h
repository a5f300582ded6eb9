// A scripted stand-in for the system calls of the terminal console: a
// terminal on descriptors 0 and 1 (and 5, when /dev/tty is opened), a clock
// that moves only when a call waits, scripts of failures, and signal
// dispositions and a blocked set that are only recorded: raising a signal
// neither stops nor ends the test.
#pragma once

#include <fcntl.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/posix/terminal_sys.h"

namespace pelorin::platform::testing {

struct FakeTerminal {
    static constexpr int tty_fd = 5;

    // --- what the descriptors are ---
    bool output_is_tty = true;
    bool output_is_pipe = false;
    bool input_is_tty = true;
    bool input_same_terminal = true;  // fd 0 is the terminal of fd 1
    bool tty_openable = true;
    bool output_is_controlling = true;  // fd 1 is the process's terminal, /dev/tty
    winsize size{24, 80, 0, 0};
    bool size_fails = false;

    // --- scripts ---
    // Bytes the terminal sends, each readable from `at_ms` on.
    struct Chunk {
        std::int64_t at_ms;
        std::string bytes;
    };
    std::deque<Chunk> incoming;
    // Each entry is used by one write call: a positive number accepts at
    // most that many bytes, a negative one fails with that errno (-EINTR).
    std::deque<int> write_script;
    std::deque<int> read_errors;  // errno values for the next reads
    std::deque<int> wait_errors;
    bool tcsetattr_fails = false;
    // Things that happen at a time (a window resize), done as the clock
    // passes it in a wait.
    struct Action {
        std::int64_t at_ms;
        std::function<void()> act;
    };
    std::vector<Action> actions;
    // Standard output takes nothing more at the next this many looks; a
    // wait for it then lasts until it does.
    int output_full_for = 0;
    // The terminal answers every cursor-position request with this, if set.
    std::string cursor_reply;
    // A wait past this time fails the test (a loop waiting for ever).
    std::int64_t time_limit = INT64_MAX;
    // The terminal has hung up: polls report it, reads fail with this errno
    // (0: they return 0, the end of the file).
    bool hung_up = false;
    int hang_up_errno = 0;

    // --- what happened ---
    std::int64_t now = 1000;
    struct Write {
        int fd;
        std::string bytes;
        bool interrupt_blocked;  // SIGINT was blocked while it was written
    };
    std::vector<Write> writes;  // every successful write call
    int write_attempts = 0;     // every write call, failed ones too
    std::map<int, termios> modes;
    struct ModeChange {
        int fd;
        int when;  // TCSANOW, TCSADRAIN, TCSAFLUSH
        termios mode;
        bool ttou_ignored;  // SIGTTOU was ignored at the time
    };
    std::vector<ModeChange> mode_changes;
    std::map<int, struct sigaction> dispositions;  // absent: the default action
    sigset_t blocked{};
    std::vector<int> block_calls;  // SIG_BLOCK, SIG_UNBLOCK or SIG_SETMASK, in order
    struct Raised {
        int signal;
        bool default_action;
        bool blocked;
        void (*handler)(int);  // the handler in place when it was raised
    };
    std::vector<Raised> raised;
    std::vector<int> exit_codes;
    std::vector<stack_t> alternate_stacks;
    std::vector<std::string> opened;
    std::vector<int> closed;
    std::vector<std::uint32_t> sleeps;
    // Every wait until standard output takes more: whether SIGINT could
    // come meanwhile.
    std::vector<bool> output_waits_interruptible;
    // The order of visible events: "write", "sleep".
    std::vector<std::string> events;

    FakeTerminal() {
        sigemptyset(&blocked);
        termios cooked{};
        cooked.c_lflag = ICANON | ECHO | ISIG;
        cooked.c_cc[VMIN] = 1;
        modes[0] = modes[1] = modes[tty_fd] = cooked;
    }

    // Every byte written to `fd`, in order.
    std::string written(int fd = 1) const {
        std::string all;
        for (const Write& w : writes)
            if (w.fd == fd) all += w.bytes;
        return all;
    }
    int write_calls(int fd = 1) const {
        int n = 0;
        for (const Write& w : writes)
            n += w.fd == fd ? 1 : 0;
        return n;
    }
    // Readable bytes sent by the terminal at the present time.
    void answer(const std::string& bytes, std::int64_t delay_ms = 0) {
        incoming.push_back(Chunk{now + delay_ms, bytes});
    }

    void (*handler(int signal) const)(int) {
        const auto found = dispositions.find(signal);
        return found == dispositions.end() ? SIG_DFL : found->second.sa_handler;
    }
    bool is_blocked(int signal) const { return sigismember(&blocked, signal) == 1; }

    // The clock moved on to `now`: what was due happens.
    void pass_time() {
        if (now > time_limit) throw std::runtime_error("waited past the test's time limit");
        for (std::size_t i = 0; i < actions.size();) {
            if (actions[i].at_ms > now) {
                ++i;
                continue;
            }
            const std::function<void()> act = actions[i].act;
            actions.erase(actions.begin() + static_cast<std::ptrdiff_t>(i));
            act();
        }
    }

    bool is_tty(int fd) const {
        if (fd == 1) return output_is_tty;
        if (fd == 0) return input_is_tty;
        return fd == tty_fd;
    }
};

inline FakeTerminal* fake_terminal = nullptr;

namespace fake_calls {

inline ssize_t read(int fd, void* buffer, std::size_t count) {
    FakeTerminal& t = *fake_terminal;
    if (!t.read_errors.empty()) {
        errno = t.read_errors.front();
        t.read_errors.pop_front();
        return -1;
    }
    if (t.hung_up && t.is_tty(fd)) {
        errno = t.hang_up_errno;
        return t.hang_up_errno == 0 ? 0 : -1;
    }
    if (!t.is_tty(fd) || t.incoming.empty() || t.incoming.front().at_ms > t.now) return 0;
    std::string& bytes = t.incoming.front().bytes;
    const std::size_t n = std::min(count, bytes.size());
    std::memcpy(buffer, bytes.data(), n);
    bytes.erase(0, n);
    if (bytes.empty()) t.incoming.pop_front();
    return static_cast<ssize_t>(n);
}

inline ssize_t write(int fd, const void* bytes, std::size_t count) {
    FakeTerminal& t = *fake_terminal;
    ++t.write_attempts;
    std::size_t n = count;
    if (!t.write_script.empty()) {
        const int step = t.write_script.front();
        t.write_script.pop_front();
        if (step < 0) {
            errno = -step;
            // Taking nothing for now, the device shows it takes nothing.
            if (errno == EAGAIN) t.output_full_for = 1;
            return -1;
        }
        n = std::min(n, static_cast<std::size_t>(step));
    }
    t.writes.push_back({fd, std::string(static_cast<const char*>(bytes), n),
                        sigismember(&t.blocked, SIGINT) == 1});
    if (!t.cursor_reply.empty() && t.writes.back().bytes.find("\x1b[6n") != std::string::npos)
        t.answer(t.cursor_reply);
    t.events.push_back("write");
    return static_cast<ssize_t>(n);
}

inline int wait(int, bool for_writing, int timeout_ms, const sigset_t* during) {
    FakeTerminal& t = *fake_terminal;
    if (!t.wait_errors.empty()) {
        errno = t.wait_errors.front();
        t.wait_errors.pop_front();
        return -1;
    }
    if (for_writing) {
        if (t.output_full_for > 0 && timeout_ms == 0) {
            --t.output_full_for;
            return 0;
        }
        if (timeout_ms != 0) {
            const bool blocked =
                during != nullptr ? sigismember(during, SIGINT) == 1 : t.is_blocked(SIGINT);
            t.output_waits_interruptible.push_back(!blocked);
            t.output_full_for = 0;  // the reader has taken some
        }
        return 1;
    }
    // A hung-up terminal reads at once (and finds out).
    if (t.hung_up) return 1;
    if (!t.incoming.empty() && t.incoming.front().at_ms <= t.now + timeout_ms) {
        t.now = std::max(t.now, t.incoming.front().at_ms);
        t.pass_time();
        return 1;
    }
    if (timeout_ms < 0) throw std::runtime_error("waited for ever on a silent terminal");
    t.now += timeout_ms;
    t.pass_time();
    return 0;
}

inline int bytes_waiting(int fd, int* count) {
    FakeTerminal& t = *fake_terminal;
    *count = 0;
    for (const FakeTerminal::Chunk& c : t.incoming)
        if (t.is_tty(fd) && c.at_ms <= t.now) *count += static_cast<int>(c.bytes.size());
    return 0;
}

inline int tcgetattr(int fd, termios* mode) {
    FakeTerminal& t = *fake_terminal;
    if (!t.is_tty(fd)) {
        errno = ENOTTY;
        return -1;
    }
    if (t.hung_up) {  // a terminal that has hung up answers nothing
        errno = EIO;
        return -1;
    }
    *mode = t.modes[fd];
    return 0;
}

inline int tcsetattr(int fd, int when, const termios* mode) {
    FakeTerminal& t = *fake_terminal;
    if (!t.is_tty(fd) || t.tcsetattr_fails) {
        errno = t.tcsetattr_fails ? EIO : ENOTTY;
        return -1;
    }
    t.modes[fd] = *mode;
    t.mode_changes.push_back({fd, when, *mode, t.handler(SIGTTOU) == SIG_IGN});
    return 0;
}

inline int get_window_size(int fd, winsize* size) {
    FakeTerminal& t = *fake_terminal;
    if (!t.is_tty(fd) || t.size_fails) {
        errno = ENOTTY;
        return -1;
    }
    *size = t.size;
    return 0;
}

inline int open(const char* path, int) {
    FakeTerminal& t = *fake_terminal;
    t.opened.emplace_back(path);
    if (!t.tty_openable) {
        errno = ENXIO;
        return -1;
    }
    return FakeTerminal::tty_fd;
}

inline int close(int fd) {
    fake_terminal->closed.push_back(fd);
    return 0;
}

inline int fstat(int fd, struct stat* info) {
    FakeTerminal& t = *fake_terminal;
    *info = {};
    const bool tty = t.is_tty(fd);
    info->st_mode = tty ? S_IFCHR : fd == 1 && t.output_is_pipe ? S_IFIFO : S_IFREG;
    // Opened through /dev/tty, a descriptor reports that device, not the terminal.
    const int device = fd == FakeTerminal::tty_fd                      ? 300
                       : fd == 1 || (fd == 0 && t.input_same_terminal) ? 100
                                                                       : 200;
    info->st_rdev = tty ? static_cast<dev_t>(device) : 0;
    return 0;
}

constexpr pid_t fake_session = 42;

inline pid_t tcgetsid(int fd) {
    FakeTerminal& t = *fake_terminal;
    const bool controlling = fd == FakeTerminal::tty_fd || (fd == 1 && t.output_is_controlling) ||
                             (fd == 0 && t.input_same_terminal && t.output_is_controlling);
    if (!t.is_tty(fd) || !controlling) {
        errno = ENOTTY;
        return -1;
    }
    return fake_session;
}

inline pid_t getsid(pid_t) {
    return fake_session;
}

// The process is always in the foreground of the fake terminal.
inline pid_t tcgetpgrp(int) {
    return fake_session;
}

inline pid_t getpgrp() {
    return fake_session;
}

inline std::int64_t now_ms() {
    return fake_terminal->now;
}

inline void sleep_ms(std::uint32_t ms) {
    fake_terminal->sleeps.push_back(ms);
    fake_terminal->events.push_back("sleep");
    fake_terminal->now += ms;
    fake_terminal->pass_time();
}

inline int sigaction(int signal, const struct sigaction* action, struct sigaction* old) {
    FakeTerminal& t = *fake_terminal;
    if (old != nullptr) {
        *old = {};
        old->sa_handler = t.handler(signal);
        if (const auto found = t.dispositions.find(signal); found != t.dispositions.end())
            *old = found->second;
    }
    if (action != nullptr) t.dispositions[signal] = *action;
    return 0;
}

inline int sigprocmask(int how, const sigset_t* set, sigset_t* old) {
    FakeTerminal& t = *fake_terminal;
    if (old != nullptr) *old = t.blocked;
    if (set == nullptr) return 0;
    t.block_calls.push_back(how);
    for (int s = 1; s < NSIG; ++s) {
        if (sigismember(set, s) != 1 && how != SIG_SETMASK) continue;
        const bool in = sigismember(set, s) == 1;
        if (how == SIG_BLOCK || (how == SIG_SETMASK && in)) sigaddset(&t.blocked, s);
        if (how == SIG_UNBLOCK || (how == SIG_SETMASK && !in)) sigdelset(&t.blocked, s);
    }
    return 0;
}

inline int sigaltstack(const stack_t* stack, stack_t*) {
    if (stack != nullptr) fake_terminal->alternate_stacks.push_back(*stack);
    return 0;
}

inline int raise(int signal) {
    FakeTerminal& t = *fake_terminal;
    t.raised.push_back(
        {signal, t.handler(signal) == SIG_DFL, t.is_blocked(signal), t.handler(signal)});
    t.events.push_back("raise " + std::to_string(signal));
    return 0;
}

inline void exit_now(int code) {
    fake_terminal->exit_codes.push_back(code);
    fake_terminal->events.push_back("exit " + std::to_string(code));
}

}  // namespace fake_calls

inline const TerminalSys fake_sys{
    .read = fake_calls::read,
    .write = fake_calls::write,
    .wait = fake_calls::wait,
    .bytes_waiting = fake_calls::bytes_waiting,
    .tcgetattr = fake_calls::tcgetattr,
    .tcsetattr = fake_calls::tcsetattr,
    .get_window_size = fake_calls::get_window_size,
    .open = fake_calls::open,
    .close = fake_calls::close,
    .fstat = fake_calls::fstat,
    .tcgetsid = fake_calls::tcgetsid,
    .getsid = fake_calls::getsid,
    .tcgetpgrp = fake_calls::tcgetpgrp,
    .getpgrp = fake_calls::getpgrp,
    .now_ms = fake_calls::now_ms,
    .sleep_ms = fake_calls::sleep_ms,
    .sigaction = fake_calls::sigaction,
    .sigprocmask = fake_calls::sigprocmask,
    .sigaltstack = fake_calls::sigaltstack,
    .raise = fake_calls::raise,
    .exit_now = fake_calls::exit_now,
};

}  // namespace pelorin::platform::testing
