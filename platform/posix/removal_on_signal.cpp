#include "platform/posix/removal_on_signal.h"

#include <pthread.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace pelorin::platform {
namespace {

// Every signal whose default action ends the process.
constexpr std::array ending_signal_numbers{
    SIGHUP,  SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,  SIGSEGV, SIGPIPE,
    SIGALRM, SIGTERM, SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGSYS};

constexpr std::size_t longest_path = 1024;

struct Slot {
    volatile sig_atomic_t used = 0;
    char path[longest_path] = {};
};

struct RemovalState {
    std::array<Slot, removal_slots> slots{};
    // What each signal did before our handler, to hand the signal on to.
    std::array<struct sigaction, ending_signal_numbers.size()> before{};
};

RemovalState state;

sigset_t removal_signals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int s : ending_signal_numbers)
        sigaddset(&set, s);
    return set;
}

bool is_function(const struct sigaction& action) {
    if ((action.sa_flags & SA_SIGINFO) != 0) return action.sa_sigaction != nullptr;
    return action.sa_handler != SIG_DFL && action.sa_handler != SIG_IGN;
}

void take_default_action(int signal) noexcept {
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    (void)::sigaction(signal, &fallback, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    (void)::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    (void)::raise(signal);
}

void on_ending_signal(int signal, siginfo_t* info, void* context) {
    const int saved_errno = errno;
    remove_registered_files();
    std::size_t i = 0;
    while (i < ending_signal_numbers.size() && ending_signal_numbers[i] != signal)
        ++i;
    const struct sigaction* before = i < state.before.size() ? &state.before[i] : nullptr;
    if (before == nullptr || !is_function(*before)) {
        take_default_action(signal);
    } else if ((before->sa_flags & SA_SIGINFO) != 0) {
        before->sa_sigaction(signal, info, context);
    } else {
        before->sa_handler(signal);
    }
    errno = saved_errno;
}

bool is_ours(const struct sigaction& action) {
    return (action.sa_flags & SA_SIGINFO) != 0 && action.sa_sigaction == on_ending_signal;
}

// Puts our handler in front of whatever handles each signal now, unless the
// signal is ignored: what the process was started with ignored stays so.
void take_ending_signals() {
    for (std::size_t i = 0; i < ending_signal_numbers.size(); ++i) {
        struct sigaction current {};
        if (::sigaction(ending_signal_numbers[i], nullptr, &current) != 0 || is_ours(current))
            continue;
        if ((current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == SIG_IGN) continue;
        state.before[i] = current;
        struct sigaction action {};
        action.sa_sigaction = on_ending_signal;
        sigfillset(&action.sa_mask);
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        (void)::sigaction(ending_signal_numbers[i], &action, nullptr);
    }
}

}  // namespace

void hold_removal_signals(sigset_t& before) {
    const sigset_t set = removal_signals();
    (void)::pthread_sigmask(SIG_BLOCK, &set, &before);
}

void release_removal_signals(const sigset_t& before) {
    (void)::pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

int remove_on_ending_signal(const char* path) {
    const std::size_t length = std::strlen(path);
    if (length >= longest_path) return -1;
    sigset_t before;
    hold_removal_signals(before);
    int taken = -1;
    for (std::size_t i = 0; i < state.slots.size() && taken < 0; ++i) {
        Slot& slot = state.slots[i];
        if (slot.used != 0) continue;
        std::memcpy(slot.path, path, length + 1);
        slot.used = 1;
        taken = static_cast<int>(i);
    }
    if (taken >= 0) take_ending_signals();
    release_removal_signals(before);
    return taken;
}

void keep_on_ending_signal(int slot) {
    if (slot < 0 || slot >= removal_slots) return;
    state.slots[static_cast<std::size_t>(slot)].used = 0;
}

void remove_registered_files() noexcept {
    for (Slot& slot : state.slots) {
        if (slot.used == 0) continue;
        (void)::unlink(slot.path);
        slot.used = 0;
    }
}

}  // namespace pelorin::platform
