// What each system's console folder (posix/, windows/) gives
// platform/console.cpp besides make_system_console().
#pragma once

namespace pelorin::platform {

// Forgets the process-wide records of this system's console, as at start;
// part of reset_platform().
void reset_system_console_state();

}  // namespace pelorin::platform
