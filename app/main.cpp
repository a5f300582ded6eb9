// Process entry. The program takes no arguments: any that are given are ignored.
#include "app/program.h"

#include "platform/standard_streams.h"

int main() {
    // Before anything opens a file: a closed standard stream must not lend
    // its descriptor to the results file.
    pelorin::platform::open_missing_standard_streams();
    pelorin::platform::fail_writes_without_signals();
    pelorin::app::set_float_environment();
    pelorin::app::program_start();
}
