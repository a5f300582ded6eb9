#include "platform/posix/terminal_sys.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/select.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace pelorin::platform {

namespace {

int real_open(const char* path, int flags) {
    return ::open(path, flags | O_CLOEXEC);
}

int real_bytes_waiting(int fd, int* count) {
    return ::ioctl(fd, FIONREAD, count);
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
    .wait = wait_for_descriptor,
    .bytes_waiting = real_bytes_waiting,
    .tcgetattr = ::tcgetattr,
    .tcsetattr = ::tcsetattr,
    .get_window_size = real_get_window_size,
    .open = real_open,
    .close = ::close,
    .fstat = ::fstat,
    .tcgetsid = ::tcgetsid,
    .getsid = ::getsid,
    .tcgetpgrp = ::tcgetpgrp,
    .getpgrp = ::getpgrp,
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

namespace {

// poll() for a descriptor select() cannot take, with the mask put in force
// around it: a signal in between is only taken before the wait instead of
// ending it.
int poll_descriptor(int fd, bool for_writing, int timeout_ms, const sigset_t* during) {
    pollfd wanted{fd, static_cast<short>(for_writing ? POLLOUT : POLLIN), 0};
    sigset_t before;
    if (during != nullptr) ::pthread_sigmask(SIG_SETMASK, during, &before);
    int ready = ::poll(&wanted, 1, timeout_ms);
    const int error = errno;
    if (during != nullptr) ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    errno = error;
    if (ready > 0 && (wanted.revents & POLLNVAL) != 0) {
        errno = EBADF;
        ready = -1;
    }
    return ready;
}

}  // namespace

int wait_for_descriptor(int fd, bool for_writing, int timeout_ms, const sigset_t* during) {
    if (fd < 0) {
        errno = EBADF;
        return -1;
    }
    if (fd >= FD_SETSIZE) return poll_descriptor(fd, for_writing, timeout_ms, during);
    fd_set set;
    FD_ZERO(&set);
    FD_SET(fd, &set);
    const timespec limit{static_cast<time_t>(timeout_ms / 1000),
                         static_cast<long>(timeout_ms % 1000) * 1000000L};
    // A hung-up terminal or a pipe without writer counts as readable: the
    // read that follows finds out what it is.
    return ::pselect(fd + 1, for_writing ? nullptr : &set, for_writing ? &set : nullptr, nullptr,
                     timeout_ms < 0 ? nullptr : &limit, during);
}

namespace {

// Waits until `fd` takes more bytes: looked at with the mask as it is, and
// only when it takes none, waited for with the open mask. False when it
// cannot be waited on.
bool takes_more(const TerminalSys& sys, int fd, const sigset_t* open_mask) {
    int ready = sys.wait(fd, true, 0, nullptr);
    while (ready == 0 || (ready < 0 && errno == EINTR))
        ready = sys.wait(fd, true, -1, open_mask);
    return ready > 0;
}

}  // namespace

std::size_t write_all(const TerminalSys& sys, int fd, const char* bytes, std::size_t count,
                      const WriteWaits& waits) {
    std::size_t done = 0;
    while (done < count) {
        std::size_t size = count - done;
        if (waits.step > 0) {
            size = std::min(size, waits.step);
            // A descriptor that cannot be waited on is written all the same.
            (void)takes_more(sys, fd, waits.open_mask);
        }
        const ssize_t n = sys.write(fd, bytes + done, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (takes_more(sys, fd, waits.open_mask)) continue;
            break;
        }
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

bool in_background(const TerminalSys& sys, int fd) {
    const pid_t foreground = sys.tcgetpgrp(fd);
    return foreground != -1 && foreground != sys.getpgrp();
}

}  // namespace pelorin::platform
