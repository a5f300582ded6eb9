// Where every test of the text services, fuzz target and benchmark starts
// and ends: the platform and the text services as at start.
#pragma once

#include "platform/console_api.h"
#include "textio/text_services.h"

namespace pelorin::textio {

// Resets both layers and installs `console` as the process's console; with
// nullptr the system console is the process's console again.
inline void start_afresh(platform::ConsoleApi* console = nullptr) {
    platform::reset_platform();
    reset_services();
    if (console != nullptr) platform::set_console(console);
}

}  // namespace pelorin::textio
