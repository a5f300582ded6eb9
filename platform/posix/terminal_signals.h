// The terminal console's signals: the ends of the process that come from
// outside, stopping and continuing, and the window changing size. Everything
// a signal handler reads or writes is in one record,
// terminal_signal_record.h, the terminal modes to give back included.
//
// - Ctrl+C (SIGINT), SIGTERM and Ctrl+\ (SIGQUIT) end the process as usual:
//   the terminal is given back its mode first, then the signal's default
//   action is taken by raising it again. SIGINT is first offered to the
//   console control handlers as a Ctrl+C event; one that handles it keeps
//   the process going. So do the other signals whose default is to end the
//   process (SIGPIPE, SIGALRM, SIGUSR1, ...).
// - A crash (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS) gives
//   the terminal back too and then ends the process by the same signal. Its
//   handler runs on a stack of its own, so that even running out of stack
//   leaves the terminal as the user had it.
// - A hang-up (SIGHUP, or the terminal found gone by a read) is the console's
//   close event: the control handlers are called with it, and the process
//   then ends at once, as a console process does after its close handlers.
// - Ctrl+Z (SIGTSTP) gives the terminal back before the process stops; when
//   it continues (SIGCONT, whatever stopped it) the console takes the
//   terminal again and learns the cursor afresh before the next key.
//
// A signal the process was started with ignored (SIGINT and SIGQUIT in a
// background job of a script, SIGHUP under nohup), or that the program
// ignores itself (SIGPIPE and SIGXFSZ, standard_streams.h), stays ignored.
//
// - A window size change (SIGWINCH) is only noted; the console learns the
//   new size at its next look at the terminal.
// - Every signal that ends the process first removes the files registered
//   for it: the temporaries of replacements under way (replacement_file.h),
//   so that only a kill that cannot be caught leaves one behind. A stop
//   keeps them, for the program to finish after it goes on. The handlers
//   are installed by the first registration too, when no console has
//   installed them.
//
// Handlers only do what is safe there: they set flags, call tcsetattr,
// write a fixed sequence, and raise. They never touch the output the console
// holds back: the console blocks these signals while it holds any (see
// hold_ending_signals), so a signal's action waits until what the program
// drew has reached the terminal.
#pragma once

#include <csignal>
#include <cstdint>

#include "platform/console_api.h"
#include "platform/posix/terminal_signal_record.h"
#include "platform/posix/terminal_sys.h"

namespace pelorin::platform {

// Exit code when the terminal is gone and SIGHUP, which the process was
// started with ignored, cannot end it: 128 + SIGHUP, the status a shell
// shows for a process ended by a hang-up.
inline constexpr int hang_up_exit_code = 128 + SIGHUP;

// Forgets the handlers, flags and modes (tests). Dispositions are left alone.
void reset_terminal_signal_state();

// Installs the handlers, once per process, to make their calls through `sys`.
void watch_terminal_signals(const TerminalSys& sys);

// The signals whose actions must wait while output is held: SIGINT, SIGQUIT,
// SIGTERM, SIGHUP, SIGTSTP and the other ending signals that come from
// outside. A crash cannot wait.
sigset_t ending_signals();
// Blocks them, keeping the mask there was in `before`; release puts it back.
void hold_ending_signals(const TerminalSys& sys, sigset_t& before);
void release_ending_signals(const TerminalSys& sys, const sigset_t& before);

// SetConsoleCtrlHandler for one handler; false when there is no room.
bool add_ctrl_handler(const TerminalSys& sys, CtrlHandler handler);
bool remove_ctrl_handler(const TerminalSys& sys, CtrlHandler handler);
// Calls the handlers, newest first, until one handles `event`.
bool call_ctrl_handlers(std::uint32_t event) noexcept;

// Registers `path` for removal by an ending signal, installing the handlers
// if no console has; the slot, or -1 when all are taken or the path is too
// long.
int remove_on_ending_signal(const char* path);
// Forgets the file of `slot` (-1 does nothing).
void keep_on_ending_signal(int slot);
// Removes every registered file; safe in a signal handler.
void remove_registered_files() noexcept;

// True once after each time the process went on from a stop.
bool take_continued() noexcept;
// True once for every run of window size changes since the last call.
bool take_window_resized() noexcept;

// The terminal is gone, found by the program's own thread: the close event,
// the terminal given back what can be, and the end (by SIGHUP's default
// action, or hang_up_exit_code when SIGHUP is ignored). Returns only where
// the system calls are a test's stand-ins.
void end_after_hang_up(const TerminalSys& sys) noexcept;

// The handlers themselves, for tests.
void on_ending_signal(int signal) noexcept;  // SIGINT, SIGQUIT, SIGTERM, ...
void on_crash_signal(int signal) noexcept;   // SIGSEGV, SIGABRT, ...
void on_hang_up_signal(int signal) noexcept;
void on_stop_signal(int signal) noexcept;
void on_continue_signal(int signal) noexcept;
void on_window_size_signal(int signal) noexcept;

}  // namespace pelorin::platform
