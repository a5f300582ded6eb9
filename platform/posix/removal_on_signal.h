// Files to remove when a signal ends the process: the temporaries of
// replacements under way (replacement_file.h).
//
// While any is registered, every signal whose default action ends the
// process (and that the process was not started with ignored) has a handler
// that removes them, then hands the signal on: to the handler that was there
// before (the terminal's, which gives the terminal back and ends the
// process by the signal) or to the signal's default action, so the exit
// status still shows the signal. The handlers stay once installed; with no
// file registered they only hand the signal on. A signal that some handler
// has taken over since is taken back at the next registration.
#pragma once

#include <signal.h>

namespace pelorin::platform {

// At most this many files at once.
inline constexpr int removal_slots = 8;

// Blocks the signals the handlers are for, so that a file can be created
// and registered with no signal in between; release puts the mask back.
void hold_removal_signals(sigset_t& before);
void release_removal_signals(const sigset_t& before);

// Registers `path` (relative to the current directory, which the program
// never changes); the slot, or -1 when all are taken or the path is too long.
int remove_on_ending_signal(const char* path);
// Forgets the file of `slot` (-1 does nothing).
void keep_on_ending_signal(int slot);

// Removes every registered file; safe in a signal handler.
void remove_registered_files() noexcept;

}  // namespace pelorin::platform
