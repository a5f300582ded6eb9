// The system calls of the terminal console, behind one table of function
// pointers: the console reaches the terminal only through it, so tests can
// script every answer of the system (interrupted calls, short writes, a
// device that is no terminal, a clock that jumps) without a real terminal.
#pragma once

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <termios.h>

#include <csignal>
#include <cstddef>
#include <cstdint>

namespace pelorin::platform {

struct TerminalSys {
    ssize_t (*read)(int fd, void* buffer, std::size_t count);
    ssize_t (*write)(int fd, const void* bytes, std::size_t count);
    int (*poll)(pollfd* fds, nfds_t count, int timeout_ms);
    int (*tcgetattr)(int fd, termios* mode);
    int (*tcsetattr)(int fd, int when, const termios* mode);
    // ioctl(TIOCGWINSZ).
    int (*get_window_size)(int fd, winsize* size);
    int (*open)(const char* path, int flags);
    int (*close)(int fd);
    int (*fstat)(int fd, struct stat* info);
    pid_t (*tcgetsid)(int fd);
    pid_t (*getsid)(pid_t pid);
    // A monotonic clock in milliseconds.
    std::int64_t (*now_ms)();
    void (*sleep_ms)(std::uint32_t ms);
    // Signal dispositions and the blocked set of the calling thread.
    int (*sigaction)(int signal, const struct sigaction* action, struct sigaction* old);
    int (*sigprocmask)(int how, const sigset_t* set, sigset_t* old);
    // The alternate stack signal handlers may run on.
    int (*sigaltstack)(const stack_t* stack, stack_t* old);
    // Sends `signal` to the process itself.
    int (*raise)(int signal);
    // Ends the process at once with `code` (no exit steps).
    void (*exit_now)(int code);
};

// The real calls of this system.
const TerminalSys& real_terminal_sys();

// Writes every byte, going on after interrupted and partial writes. Returns
// how many bytes went out: fewer than `count` only when the device failed.
std::size_t write_all(const TerminalSys& sys, int fd, const char* bytes, std::size_t count);

// Reads once, going on after interrupted calls; -1 on failure.
ssize_t read_some(const TerminalSys& sys, int fd, char* buffer, std::size_t count);

// tcsetattr with TCSANOW, going on after interrupted calls. Never
// TCSAFLUSH: keys typed ahead or pasted must not be thrown away.
bool set_terminal_mode(const TerminalSys& sys, int fd, const termios& mode);

// Whether both descriptors are the same terminal device.
bool same_terminal(const TerminalSys& sys, int a, int b);

// Whether `fd` is the controlling terminal of the process's session, the one
// that /dev/tty opens. (A descriptor opened through /dev/tty reports the
// device /dev/tty itself, so it cannot be compared with same_terminal.)
bool is_controlling_terminal(const TerminalSys& sys, int fd);

}  // namespace pelorin::platform
