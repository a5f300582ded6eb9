// Where the engine puts the questionnaire on a console of a given size: runs
// the dialogue in-process on an in-memory console of COLS x ROWS, with the
// answers read from standard input as a stream, until it needs a byte beyond
// the input (where the real program would wait for more), and prints the screen
// as UTF-8 rows (code page 437 glyphs, trailing blanks removed) followed by
// a line "cursor COLUMN ROW" (1-based).
//
// Usage: pelorin_screen_oracle COLS ROWS < answers
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/posix/terminal_vt.h"
#include "platform/testing/memory_console.h"
#include "textio/answer_input.h"
#include "textio/channels.h"
#include "textio/testing/start_afresh.h"
#include "typetest/dialogue.h"

namespace {

struct Ended {};

// The real program would block here: stop with the screen as it is.
int read_or_stop(void*) {
    const int c = std::getchar();
    if (c == EOF) throw Ended{};
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace pelorin;
    if (argc != 3) return 2;
    const int cols = std::atoi(argv[1]);
    const int rows = std::atoi(argv[2]);
    platform::MemoryConsole console(cols, rows);
    console.set_input_redirected(true);
    textio::start_afresh(&console);
    // The results file goes to a scratch directory, not next to the caller's.
    const auto scratch = std::filesystem::temp_directory_path() / "pelorin-screen-oracle";
    std::filesystem::create_directories(scratch);
    std::filesystem::current_path(scratch);
    textio::set_stdin_source(textio::StdinSource{read_or_stop, nullptr});
    try {
        (void)typetest::run_test();
    } catch (const Ended&) {
    }
    textio::close_all_files();
    std::string out;
    const platform::Rect w = console.window();
    for (int r = w.top; r <= w.bottom; ++r) {
        std::string row = console.row_text(r);
        while (!row.empty() && (row.back() == ' ' || row.back() == '\0'))
            row.pop_back();
        for (unsigned char b : row)
            platform::vt::put_glyph(out, b, true);
        out += '\n';
    }
    std::printf("%scursor %d %d\n", out.c_str(), console.cursor().x - w.left + 1,
                console.cursor().y - w.top + 1);
    return 0;
}
