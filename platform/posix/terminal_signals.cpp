#include "platform/posix/terminal_signals.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>

#include "platform/posix/terminal_modes.h"
#include "platform/posix/terminal_vt.h"

namespace pelorin::platform {

TerminalSignalState terminal_signal_state;

static_assert(std::atomic<CtrlHandler>::is_always_lock_free,
              "signal handlers may only read lock-free control handlers");

void reset_terminal_signal_state() {
    TerminalSignalState& s = terminal_signal_state;
    s.sys = TerminalSys{};
    s.watching = false;
    s.hang_up_ignored = false;
    for (auto& h : s.ctrl_handlers)
        h.store(nullptr);
    s.closed = 0;
    s.continued = 0;
    s.window_resized = 0;
    s.cursor_hidden = 0;
    s.cursor_fd = -1;
    for (TerminalSignalState::ModeEntry& e : s.modes) {
        e.changed = 0;
        e.fd = -1;
        e.original = termios{};
    }
    for (TerminalSignalState::Removal& r : s.removals)
        r.used = 0;
    s.crash_actions = {};
}

namespace {

// The signals from outside whose default action ends the process, but for
// SIGHUP (the close event, on_hang_up_signal). All systems have them.
constexpr int outside_ends[] = {SIGINT,  SIGQUIT,   SIGTERM, SIGPIPE, SIGALRM, SIGUSR1,
                                SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ};
// A fault of the program's own, or its abort.
constexpr int crashes[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS};
static_assert(std::size(crashes) <= TerminalSignalState::max_crash_actions);

// The crash handlers' own stack: a crash may come from running out of stack.
alignas(16) char crash_stack[64 * 1024];

}  // namespace

sigset_t ending_signals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int s : outside_ends)
        sigaddset(&set, s);
    for (const int s : {SIGHUP, SIGTSTP})
        sigaddset(&set, s);
    return set;
}

void hold_ending_signals(const TerminalSys& sys, sigset_t& before) {
    const sigset_t set = ending_signals();
    (void)sys.sigprocmask(SIG_BLOCK, &set, &before);
}

void release_ending_signals(const TerminalSys& sys, const sigset_t& before) {
    (void)sys.sigprocmask(SIG_SETMASK, &before, nullptr);
}

namespace {

const TerminalSys& handler_sys() {
    return terminal_signal_state.sys;
}

void show_cursor_if_hidden() noexcept {
    TerminalSignalState& s = terminal_signal_state;
    if (s.cursor_hidden == 0 || s.cursor_fd < 0) return;
    (void)handler_sys().write(s.cursor_fd, vt::show_cursor_sequence.data(),
                              vt::show_cursor_sequence.size());
    s.cursor_hidden = 0;
}

void set_action(const TerminalSys& sys, int signal, void (*handler)(int), int flags = 0) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_mask = ending_signals();
    sigaddset(&action.sa_mask, SIGCONT);
    action.sa_flags = SA_RESTART | flags;
    (void)sys.sigaction(signal, &action, nullptr);
}

// Raises `signal`, unblocked.
void raise_unblocked(const TerminalSys& sys, int signal) noexcept {
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    (void)sys.sigprocmask(SIG_UNBLOCK, &only, nullptr);
    (void)sys.raise(signal);
}

// Raises `signal` again with its default action, unblocked.
void take_default_action(const TerminalSys& sys, int signal) noexcept {
    set_action(sys, signal, SIG_DFL);
    raise_unblocked(sys, signal);
}

// Takes the default action of `signal`, which ends the process; the exit is
// for a signal that somehow did not.
void end_by_signal(const TerminalSys& sys, int signal) noexcept {
    take_default_action(sys, signal);
    sys.exit_now(128 + signal);
}

// What the program leaves as the user had it while it stops: the
// terminal's mode and its cursor.
void give_terminal_back() noexcept {
    restore_terminal_modes(handler_sys());
    show_cursor_if_hidden();
}

// And before the process ends: no temporary file either. (A stop keeps
// them: the program finishes them when it goes on.)
void leave_as_found() noexcept {
    remove_registered_files();
    give_terminal_back();
}

void give_close_event() noexcept {
    if (terminal_signal_state.closed != 0) return;
    terminal_signal_state.closed = 1;
    (void)call_ctrl_handlers(ctrl_event::close);
}

bool ignored_now(const TerminalSys& sys, int signal) {
    struct sigaction current {};
    return sys.sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

// Only a signal left to its default action is the program's to take: one
// ignored at start stays ignored (a background job, nohup), and one whose
// handler is someone else's (a fuzzer's timer) keeps it.
bool ours_to_take(const TerminalSys& sys, int signal) {
    struct sigaction current {};
    return sys.sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_DFL &&
           (current.sa_flags & SA_SIGINFO) == 0;
}

// A crash always gets the program's handler, which gives the terminal back;
// a handler that was there before (a sanitizer's) gets the crash after it.
void take_crash(const TerminalSys& sys, int signal, std::size_t slot, int flags) {
    TerminalSignalState::CrashAction& action = terminal_signal_state.crash_actions[slot];
    action.signal = signal;
    if (sys.sigaction(signal, nullptr, &action.before) != 0) action.before = {};
    if (action.before.sa_handler == SIG_IGN) return;
    set_action(sys, signal, on_crash_signal, flags);
}

}  // namespace

void watch_terminal_signals(const TerminalSys& sys) {
    TerminalSignalState& s = terminal_signal_state;
    if (s.watching) return;
    s.watching = true;
    s.sys = sys;
    for (const int signal : outside_ends)
        if (ours_to_take(sys, signal)) set_action(sys, signal, on_ending_signal);
    stack_t stack{};
    stack.ss_sp = crash_stack;
    stack.ss_size = sizeof crash_stack;
    const bool own_stack = sys.sigaltstack(&stack, nullptr) == 0;
    for (std::size_t i = 0; i < std::size(crashes); ++i)
        take_crash(sys, crashes[i], i, own_stack ? SA_ONSTACK : 0);
    s.hang_up_ignored = ignored_now(sys, SIGHUP);
    if (ours_to_take(sys, SIGHUP)) set_action(sys, SIGHUP, on_hang_up_signal);
    if (ours_to_take(sys, SIGTSTP)) set_action(sys, SIGTSTP, on_stop_signal);
    set_action(sys, SIGCONT, on_continue_signal);
    set_action(sys, SIGWINCH, on_window_size_signal);
}

// --- control handlers ---------------------------------------------------------

bool add_ctrl_handler(const TerminalSys& sys, CtrlHandler handler) {
    if (handler == nullptr) return false;
    sigset_t before;
    hold_ending_signals(sys, before);
    bool added = false;
    for (auto& slot : terminal_signal_state.ctrl_handlers) {
        if (slot.load() != nullptr) continue;
        slot.store(handler);
        added = true;
        break;
    }
    release_ending_signals(sys, before);
    return added;
}

bool remove_ctrl_handler(const TerminalSys& sys, CtrlHandler handler) {
    auto& slots = terminal_signal_state.ctrl_handlers;
    sigset_t before;
    hold_ending_signals(sys, before);
    // The newest registration of the handler goes; the later ones close up
    // so the order of the rest is kept.
    bool removed = false;
    for (std::size_t i = slots.size(); i-- > 0;) {
        if (slots[i].load() != handler || handler == nullptr) continue;
        for (std::size_t j = i; j + 1 < slots.size(); ++j)
            slots[j].store(slots[j + 1].load());
        slots.back().store(nullptr);
        removed = true;
        break;
    }
    release_ending_signals(sys, before);
    return removed;
}

bool call_ctrl_handlers(std::uint32_t event) noexcept {
    const auto& slots = terminal_signal_state.ctrl_handlers;
    for (std::size_t i = slots.size(); i-- > 0;) {
        const CtrlHandler h = slots[i].load();
        if (h != nullptr && h(event)) return true;
    }
    return false;
}

// --- the handlers ----------------------------------------------------------------

void on_ending_signal(int signal) noexcept {
    const int saved_errno = errno;
    if (signal == SIGINT && call_ctrl_handlers(ctrl_event::c)) {
        errno = saved_errno;
        return;
    }
    leave_as_found();
    end_by_signal(handler_sys(), signal);
    errno = saved_errno;
}

void on_crash_signal(int signal) noexcept {
    leave_as_found();
    const TerminalSys& sys = handler_sys();
    for (const TerminalSignalState::CrashAction& a : terminal_signal_state.crash_actions) {
        if (a.signal != signal || a.before.sa_handler == SIG_DFL) continue;
        // Someone's handler was there first: the crash is theirs to report.
        (void)sys.sigaction(signal, &a.before, nullptr);
        raise_unblocked(sys, signal);
    }
    end_by_signal(sys, signal);
}

void on_hang_up_signal(int signal) noexcept {
    const int saved_errno = errno;
    give_close_event();
    leave_as_found();
    end_by_signal(handler_sys(), signal);
    errno = saved_errno;
}

void on_stop_signal(int signal) noexcept {
    const int saved_errno = errno;
    const TerminalSys& sys = handler_sys();
    give_terminal_back();
    // Stopped by the default action; execution goes on here when continued.
    take_default_action(sys, signal);
    set_action(sys, signal, on_stop_signal);
    // Also when the stop did not happen (an orphaned process group): the
    // terminal was given back all the same and must be taken again.
    terminal_signal_state.continued = 1;
    errno = saved_errno;
}

void on_continue_signal(int) noexcept {
    terminal_signal_state.continued = 1;
}

void on_window_size_signal(int) noexcept {
    terminal_signal_state.window_resized = 1;
}

// --- files to remove ---------------------------------------------------------------

int remove_on_ending_signal(const char* path) {
    const std::size_t length = std::strlen(path);
    if (length >= removal_path_bytes) return -1;
    sigset_t before;
    hold_ending_signals(real_terminal_sys(), before);
    watch_terminal_signals(real_terminal_sys());
    int taken = -1;
    auto& removals = terminal_signal_state.removals;
    for (std::size_t i = 0; i < removals.size() && taken < 0; ++i) {
        if (removals[i].used != 0) continue;
        std::memcpy(removals[i].path.data(), path, length + 1);
        removals[i].used = 1;
        taken = static_cast<int>(i);
    }
    release_ending_signals(real_terminal_sys(), before);
    return taken;
}

void keep_on_ending_signal(int slot) {
    if (slot < 0 || slot >= removal_slots) return;
    terminal_signal_state.removals[static_cast<std::size_t>(slot)].used = 0;
}

void remove_registered_files() noexcept {
    const int saved_errno = errno;
    for (TerminalSignalState::Removal& r : terminal_signal_state.removals) {
        if (r.used == 0) continue;
        (void)::unlink(r.path.data());
        r.used = 0;
    }
    errno = saved_errno;
}

bool take_continued() noexcept {
    if (terminal_signal_state.continued == 0) return false;
    terminal_signal_state.continued = 0;
    return true;
}

bool take_window_resized() noexcept {
    if (terminal_signal_state.window_resized == 0) return false;
    terminal_signal_state.window_resized = 0;
    return true;
}

void end_after_hang_up(const TerminalSys& sys) noexcept {
    give_close_event();
    remove_registered_files();
    restore_terminal_modes(sys);
    if (terminal_signal_state.hang_up_ignored) {
        sys.exit_now(hang_up_exit_code);
    } else {
        end_by_signal(sys, SIGHUP);
    }
}

}  // namespace pelorin::platform
