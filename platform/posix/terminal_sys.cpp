#include "platform/posix/terminal_sys.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace pelorin::platform {

namespace {

int real_open(const char* path, int flags) {
    return ::open(path, flags | O_CLOEXEC);
}

int real_get_window_size(int fd, winsize* size) {
    return ::ioctl(fd, TIOCGWINSZ, size);
}

std::int64_t real_now_ms() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

void real_sleep_ms(std::uint32_t ms) {
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    // A signal (a window resize) must not cut the wait short.
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

int real_sigprocmask(int how, const sigset_t* set, sigset_t* old) {
    return ::pthread_sigmask(how, set, old);
}

void real_exit_now(int code) {
    ::_exit(code);
}

const TerminalSys real_sys{
    .read = ::read,
    .write = ::write,
    .poll = ::poll,
    .tcgetattr = ::tcgetattr,
    .tcsetattr = ::tcsetattr,
    .get_window_size = real_get_window_size,
    .open = real_open,
    .close = ::close,
    .fstat = ::fstat,
    .tcgetsid = ::tcgetsid,
    .getsid = ::getsid,
    .now_ms = real_now_ms,
    .sleep_ms = real_sleep_ms,
    .sigaction = ::sigaction,
    .sigprocmask = real_sigprocmask,
    .sigaltstack = ::sigaltstack,
    .raise = ::raise,
    .exit_now = real_exit_now,
};

}  // namespace

const TerminalSys& real_terminal_sys() {
    return real_sys;
}

std::size_t write_all(const TerminalSys& sys, int fd, const char* bytes, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = sys.write(fd, bytes + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        // A device that accepts nothing without an error would keep us here
        // for ever; it counts as failed.
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

ssize_t read_some(const TerminalSys& sys, int fd, char* buffer, std::size_t count) {
    for (;;) {
        const ssize_t n = sys.read(fd, buffer, count);
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

bool set_terminal_mode(const TerminalSys& sys, int fd, const termios& mode) {
    for (;;) {
        if (sys.tcsetattr(fd, TCSANOW, &mode) == 0) return true;
        if (errno != EINTR) return false;
    }
}

bool same_terminal(const TerminalSys& sys, int a, int b) {
    struct stat first {};
    struct stat second {};
    if (sys.fstat(a, &first) != 0 || sys.fstat(b, &second) != 0) return false;
    return S_ISCHR(first.st_mode) && S_ISCHR(second.st_mode) && first.st_rdev == second.st_rdev;
}

bool is_controlling_terminal(const TerminalSys& sys, int fd) {
    const pid_t session = sys.tcgetsid(fd);
    return session != -1 && session == sys.getsid(0);
}

}  // namespace pelorin::platform
