// Arbitrary bytes as redirected standard input to the whole dialogue: it
// always ends, with exit code 0 or 1, with bounded output, and a results
// file only when the report was reached.
//
// RESULTS.TXT is written in a scratch folder of this process's own, entered
// for each run and left after it, so the target runs from any folder (and
// beside another copy of itself) and libFuzzer's corpus and crash files go
// where the user asked.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "textio/channels.h"
#include "typetest/dialogue.h"

namespace {

std::filesystem::path home;
std::filesystem::path scratch;

void remove_scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
}

// The arguments with a crash-file prefix in the folder the target was
// started from, unless the user gave one: a crash is found inside a run,
// when the scratch folder is the current one.
std::vector<char*>& with_artifact_prefix(int argc, char** argv) {
    static std::vector<char*> args(argv, argv + argc);
    static std::string prefix = "-artifact_prefix=" + home.string() + "/";
    bool given = false;
    for (int i = 1; i < argc; ++i)
        given = given || std::strncmp(argv[i], "-artifact_prefix=", 17) == 0;
    if (!given) args.insert(args.begin() + 1, prefix.data());
    args.push_back(nullptr);
    return args;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    home = std::filesystem::current_path();
    std::string dir = (std::filesystem::temp_directory_path() / "pelorin-dialogue-fuzz-XXXXXX");
    if (::mkdtemp(dir.data()) == nullptr) std::abort();
    scratch = dir;
    std::atexit(remove_scratch);
    std::vector<char*>& args = with_artifact_prefix(*argc, *argv);
    *argc = static_cast<int>(args.size()) - 1;
    *argv = args.data();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelorin;
    std::filesystem::current_path(scratch);
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
    std::filesystem::current_path(home);
    return 0;
}
