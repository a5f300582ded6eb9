// The system calls of the terminal console, behind one table of function
// pointers: the console reaches the terminal only through it, so tests can
// script every answer of the system (interrupted calls, short writes, a
// device that is no terminal, a clock that jumps) without a real terminal.
#pragma once

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
    // Waits until `fd` can be read (or, `for_writing`, written), `timeout_ms`
    // passes (-1: no limit) or a signal comes; meanwhile the signal mask is
    // `during`, when that is not null. 1 ready, 0 time up, -1 failed (errno;
    // EINTR: a signal). See wait_for_descriptor.
    int (*wait)(int fd, bool for_writing, int timeout_ms, const sigset_t* during);
    // ioctl(FIONREAD): how many bytes wait to be read.
    int (*bytes_waiting)(int fd, int* count);
    int (*tcgetattr)(int fd, termios* mode);
    int (*tcsetattr)(int fd, int when, const termios* mode);
    // ioctl(TIOCGWINSZ).
    int (*get_window_size)(int fd, winsize* size);
    int (*open)(const char* path, int flags);
    int (*close)(int fd);
    int (*fstat)(int fd, struct stat* info);
    pid_t (*tcgetsid)(int fd);
    pid_t (*getsid)(pid_t pid);
    pid_t (*tcgetpgrp)(int fd);
    pid_t (*getpgrp)();
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

// The one way this program waits on a descriptor: select() (pselect), which
// every system takes for terminals. macOS's poll() does not: it reports
// POLLNVAL for a terminal at once. Only a descriptor too high for select()
// is waited on with poll().
int wait_for_descriptor(int fd, bool for_writing, int timeout_ms, const sigset_t* during);

// How write_all waits for a descriptor that takes no more bytes for now.
struct WriteWaits {
    // The signal mask while it waits, when not null: the signals held back
    // while the program's output is may then end a process whose reader
    // has stopped reading.
    const sigset_t* open_mask = nullptr;
    // At most this many bytes per write (0: no limit), each only once the
    // descriptor shows it takes more: a pipe then takes them all at once,
    // so the process never sits inside a write with the signals held back.
    std::size_t step = 0;
};

// Writes every byte, going on after interrupted and partial writes and
// waiting for a descriptor that takes no more for now (a full pipe, a
// non-blocking descriptor) until it does. Returns how many bytes went out:
// fewer than `count` only when the device failed (or the reader is gone).
std::size_t write_all(const TerminalSys& sys, int fd, const char* bytes, std::size_t count,
                      const WriteWaits& waits = {});

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

// Whether the process is in the background of the terminal `fd`: another
// process group is the terminal's foreground one, and a change of the
// terminal's mode or a read would stop the process (SIGTTOU, SIGTTIN).
bool in_background(const TerminalSys& sys, int fd);

}  // namespace pelorin::platform
