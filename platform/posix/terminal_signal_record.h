// The one record of everything the terminal console's signal handlers read
// and write: the modes to give the terminals back, the files to remove when
// a signal ends the process, the control handlers and the flags the
// handlers set. Data only: the modes (terminal_modes.h) and the signals
// (terminal_signals.h) both work on it, and neither needs the other for it.
#pragma once

#include <array>
#include <atomic>
#include <csignal>
#include <cstddef>

#include "platform/console_api.h"
#include "platform/posix/terminal_sys.h"

namespace pelorin::platform {

// At most this many files to remove at once, each a path of fewer bytes.
inline constexpr int removal_slots = 8;
inline constexpr std::size_t removal_path_bytes = 1024;

struct TerminalSignalState {
    // A terminal whose mode the program changes, and the mode it had before.
    struct ModeEntry {
        int fd = -1;
        termios original{};
        // A mode of the program's is (or is about to be) in force.
        volatile std::sig_atomic_t changed = 0;
    };

    // The system calls the handlers make.
    TerminalSys sys{};
    bool watching = false;
    // SIGHUP was ignored when the handlers were installed (nohup).
    bool hang_up_ignored = false;
    // The console control handlers, oldest first; the newest is called first.
    static constexpr std::size_t max_ctrl_handlers = 8;
    std::array<std::atomic<CtrlHandler>, max_ctrl_handlers> ctrl_handlers{};
    // The close event has been given: it is given once.
    volatile std::sig_atomic_t closed = 0;
    // The process went on after a stop.
    volatile std::sig_atomic_t continued = 0;
    // The window changed size since the console last looked.
    volatile std::sig_atomic_t window_resized = 0;
    // The terminal shows no cursor; it is shown again before the process
    // ends or stops. cursor_fd is where, -1 when nothing may be written.
    volatile std::sig_atomic_t cursor_hidden = 0;
    volatile std::sig_atomic_t cursor_fd = -1;
    // The keyboard's terminal and the one asked for the cursor, which are
    // one and the same but for unusual redirections.
    std::array<ModeEntry, 2> modes;
    // Files to remove when a signal ends the process (relative to the
    // current directory, which the program never changes).
    struct Removal {
        volatile std::sig_atomic_t used = 0;
        std::array<char, removal_path_bytes> path{};
    };
    std::array<Removal, removal_slots> removals;
    // What each crash signal had before the program's handler: a crash is
    // handed on to it (a sanitizer's or a fuzzer's report) once the
    // terminal is given back.
    struct CrashAction {
        int signal = 0;
        struct sigaction before {};
    };
    static constexpr std::size_t max_crash_actions = 8;
    std::array<CrashAction, max_crash_actions> crash_actions{};
};

extern TerminalSignalState terminal_signal_state;

}  // namespace pelorin::platform
