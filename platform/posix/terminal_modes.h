// The modes this program puts terminals in, and the modes they had before.
//
// What a terminal had is remembered before the program first changes it, in
// the signal record (terminal_signal_record.h) that signal handlers read, so
// the terminal can be given back exactly as it was at every end: a normal
// exit, a fatal signal, a stop (Ctrl+Z). Modes always change with TCSANOW: keys typed
// ahead or pasted are never thrown away.
#pragma once

#include "platform/posix/terminal_sys.h"
#include "platform/posix/terminal_system_config.h"

namespace pelorin::platform {

// The mode keys are read in, made from the user's mode `user`:
// - no canonical lines and no echo: each key is read as it is typed, and
//   only the line editor draws (ICANON, ECHO off; VMIN 1, VTIME 0);
// - no input translation: CR, LF and bytes beyond ASCII arrive as the
//   terminal sends them (ICRNL, INLCR, IGNCR, ISTRIP off);
// - no implementation extensions, so Ctrl+V and Ctrl+O are keys rather than
//   "quote next" and "discard output" on the systems that honour those
//   outside canonical mode (IEXTEN off);
// - everything else as the user has it: Ctrl+C, Ctrl+\ and Ctrl+Z still
//   signal (ISIG), Ctrl+S and Ctrl+Q still pause and resume output when the
//   user has that on (IXON), and output is processed as before (OPOST,
//   ONLCR): the drawing never relies on either;
// - no status character (Ctrl+T on the BSDs and macOS), whose status line
//   the system would print on the screen behind the program's back.
// `status_index` is the c_cc index of the status character, -1 for none.
termios keyboard_mode(const termios& user, int status_index = status_char_index);

// The mode the terminal is asked for its cursor in, made from the mode
// `current` in force: the answer is readable at once (no canonical lines;
// VMIN 0, VTIME 0) and not shown (no echo); signals as before; no status
// character either.
termios question_mode(const termios& current, int status_index = status_char_index);

// Puts `mode` in force on `fd`; before the program's first change to that
// terminal, what it had is remembered. False when it could not be set.
bool change_terminal_mode(const TerminalSys& sys, int fd, const termios& mode);
// Puts the keyboard mode, made from what the terminal had before the
// program's first change, in force on `fd`.
bool enter_keyboard_mode(const TerminalSys& sys, int fd);
// Gives `fd` back what it had, if a mode of the program's is in force.
// SIGTTOU is ignored meanwhile, so that a process put in the background can
// still do it instead of being stopped.
void restore_terminal_mode(const TerminalSys& sys, int fd) noexcept;
// The same for every terminal; safe in a signal handler.
void restore_terminal_modes(const TerminalSys& sys) noexcept;

}  // namespace pelorin::platform
