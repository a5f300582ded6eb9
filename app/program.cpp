#include "app/program.h"

#include <cfenv>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "textio/channels.h"
#include "typetest/dialogue.h"

namespace pelorin::app {

void set_float_environment() {
    // The default environment masks every exception, rounds to nearest and,
    // on x86, gives the x87 unit its 64-bit significand. Score arithmetic is
    // single precision with each result stored at once, which gives the same
    // values as IEEE single arithmetic on any processor.
    std::fesetenv(FE_DFL_ENV);
    std::fesetround(FE_TONEAREST);
}

void on_out_of_memory() {
    static bool ending = false;
    if (ending) throw std::bad_alloc();
    ending = true;
    std::fputs("pelorin: out of memory\n", stderr);
    program_end(EXIT_OUT_OF_MEMORY);
}

void program_start() {
    std::set_new_handler(on_out_of_memory);
    textio::clear_channel_table();
    set_float_environment();
    program_end(typetest::run_test());
}

void program_end(int code) {
    // std::exit runs the registered exit steps, last registered first, then
    // flushes and closes the standard streams.
    std::exit(code);
}

}  // namespace pelorin::app
