#include "platform/console_api.h"

#include <cstdio>

#include "platform/standard_streams.h"
#include "platform/system_console.h"

namespace pelorin::platform {
namespace {

ConsoleApi* installed = nullptr;

ConsoleApi& system_console() {
    // Never destroyed: exit steps registered during the run (the removal of
    // the control handler, the terminal's restoration) still use it after
    // static destructors would have run.
    static ConsoleApi* const instance = make_system_console().release();
    return *instance;
}

}  // namespace

void ConsoleApi::write_error_line(std::string_view line) {
    flush();
    (void)std::fwrite(line.data(), 1, line.size(), stderr);
    (void)std::fputc('\n', stderr);
    (void)std::fflush(stderr);
}

ConsoleApi& console() {
    return installed != nullptr ? *installed : system_console();
}

ConsoleApi* set_console(ConsoleApi* c) {
    ConsoleApi* previous = installed;
    installed = c;
    return previous;
}

void reset_platform() {
    installed = nullptr;
    reset_standard_input();
    reset_system_console_state();
}

}  // namespace pelorin::platform
