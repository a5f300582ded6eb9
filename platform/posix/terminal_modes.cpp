#include "platform/posix/terminal_modes.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/posix/terminal_signal_record.h"

namespace pelorin::platform {

namespace {

void disable_status_char(termios& mode, int status_index) {
    if (status_index >= 0) mode.c_cc[status_index] = static_cast<cc_t>(_POSIX_VDISABLE);
}

}  // namespace

termios keyboard_mode(const termios& user, int status_index) {
    termios keys = user;
    keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
    keys.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | ISTRIP);
    keys.c_cc[VMIN] = 1;
    keys.c_cc[VTIME] = 0;
    disable_status_char(keys, status_index);
    return keys;
}

termios question_mode(const termios& current, int status_index) {
    termios quiet = current;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    quiet.c_cc[VMIN] = 0;
    quiet.c_cc[VTIME] = 0;
    disable_status_char(quiet, status_index);
    return quiet;
}

namespace {

TerminalSignalState::ModeEntry* find_entry(int fd) {
    for (TerminalSignalState::ModeEntry& e : terminal_signal_state.modes)
        if (e.fd == fd) return &e;
    return nullptr;
}

TerminalSignalState::ModeEntry* remember(const TerminalSys& sys, int fd) {
    if (TerminalSignalState::ModeEntry* known = find_entry(fd)) return known;
    TerminalSignalState::ModeEntry* free = find_entry(-1);
    if (free == nullptr) return nullptr;
    termios original{};
    if (sys.tcgetattr(fd, &original) != 0) return nullptr;
    free->original = original;
    // A signal handler finds the entry only through `changed`, which is set
    // after this: the fence keeps the entry's fields written before it.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    free->fd = fd;
    return free;
}

void restore(const TerminalSys& sys, TerminalSignalState::ModeEntry& e) noexcept {
    if (e.changed == 0) return;
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    struct sigaction before {};
    const int saved_errno = errno;
    const bool ignored = sys.sigaction(SIGTTOU, &ignore, &before) == 0;
    (void)set_terminal_mode(sys, e.fd, e.original);
    if (ignored) (void)sys.sigaction(SIGTTOU, &before, nullptr);
    e.changed = 0;
    errno = saved_errno;
}

}  // namespace

bool change_terminal_mode(const TerminalSys& sys, int fd, const termios& mode) {
    TerminalSignalState::ModeEntry* e = remember(sys, fd);
    if (e == nullptr) return false;
    const bool was_changed = e->changed != 0;
    // Marked first: a signal arriving while the mode changes restores it.
    e->changed = 1;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (set_terminal_mode(sys, fd, mode)) return true;
    if (!was_changed) e->changed = 0;
    return false;
}

bool enter_keyboard_mode(const TerminalSys& sys, int fd) {
    const TerminalSignalState::ModeEntry* e = remember(sys, fd);
    return e != nullptr && change_terminal_mode(sys, fd, keyboard_mode(e->original));
}

void restore_terminal_mode(const TerminalSys& sys, int fd) noexcept {
    if (fd < 0) return;
    if (TerminalSignalState::ModeEntry* e = find_entry(fd)) restore(sys, *e);
}

void restore_terminal_modes(const TerminalSys& sys) noexcept {
    for (TerminalSignalState::ModeEntry& e : terminal_signal_state.modes)
        if (e.fd >= 0) restore(sys, e);
}

}  // namespace pelorin::platform
