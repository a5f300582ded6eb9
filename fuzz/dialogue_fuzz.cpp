// Arbitrary bytes as redirected standard input to the whole dialogue: it
// always ends, with exit code 0 or 1, with bounded output, and a results
// file only when the report was reached.
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "fuzz/fuzz_support.h"
#include "textio/channels.h"
#include "typetest/dialogue.h"

namespace {

void enter_scratch_directory() {
    static bool done = false;
    if (done) return;
    done = true;
    const auto dir = std::filesystem::temp_directory_path() / "pelorin-dialogue-fuzz";
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelorin;
    enter_scratch_directory();
    std::remove("RESULTS.TXT");
    platform::MemoryConsole console(80, 25);
    fuzz::ByteFeed feed{data, size, 0};
    fuzz::fresh_services(console, feed);
    const int code = typetest::run_test();
    textio::close_all_files();
    const bool reported = console.output().find("Test Results :") != std::string::npos;
    if (code != 0 && code != 1) std::abort();
    if (code == 1 && reported) std::abort();
    if (reported != std::filesystem::exists("RESULTS.TXT")) std::abort();
    // Each answer read shows at most one statement screen.
    if (console.output().size() > 2048 + 300 * (size + 1)) std::abort();
    textio::start_afresh();
    return 0;
}
