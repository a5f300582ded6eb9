// Functions on the path of every answer and every report, each with a
// baseline doing the nearest plain work, so the figures read as ratios.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/testing/memory_console.h"
#include "textio/answer_input.h"
#include "textio/console_output.h"
#include "textio/number_text.h"
#include "textio/testing/start_afresh.h"

namespace {

using namespace pelorin;

const float scores[] = {16.6f, 17.55f, 17.69f, 18.59f, 7.0f, 0.0f, 20.84f, 7.19f};

void BM_format_str_single(benchmark::State& state) {
    for (auto _ : state)
        for (float v : scores)
            benchmark::DoNotOptimize(textio::format_str_single(v));
}
BENCHMARK(BM_format_str_single);

void BM_baseline_snprintf_g7(benchmark::State& state) {
    char buf[32];
    for (auto _ : state)
        for (float v : scores) {
            std::snprintf(buf, sizeof buf, "%.7g", static_cast<double>(v));
            benchmark::DoNotOptimize(std::string(buf));
        }
}
BENCHMARK(BM_baseline_snprintf_g7);

void BM_text_to_single(benchmark::State& state) {
    const char* items[] = {"0", "0.1", "0.25", "0.35", "0.65", "0.7", "0.75", "0.9"};
    for (auto _ : state)
        for (const char* s : items)
            benchmark::DoNotOptimize(textio::text_to_single(s));
}
BENCHMARK(BM_text_to_single);

void BM_baseline_strtof(benchmark::State& state) {
    const char* items[] = {"0", "0.1", "0.25", "0.35", "0.65", "0.7", "0.75", "0.9"};
    for (auto _ : state)
        for (const char* s : items)
            benchmark::DoNotOptimize(std::strtof(s, nullptr));
}
BENCHMARK(BM_baseline_strtof);

// One statement screen written through the engine onto an 80x25 console.
const std::string screen =
    "\r\nQ 11: You're very imaginative and creative, and you like to construct mental    "
    "images.\r\n\r\nType 'y' for YES, 'n' for NO, 'p' for previous question.\r\n";

void BM_console_write_raw_statement(benchmark::State& state) {
    platform::MemoryConsole console(80, 25);
    textio::start_afresh(&console);
    for (auto _ : state)
        textio::console_write_raw(screen.data(), screen.size(), 0);
    textio::start_afresh();
}
BENCHMARK(BM_console_write_raw_statement);

void BM_baseline_copy_cells(benchmark::State& state) {
    std::vector<platform::CharCell> cells(80 * 25);
    std::size_t at = 0;
    for (auto _ : state) {
        for (char c : screen) {
            cells[at].ch = static_cast<std::uint8_t>(c);
            at = (at + 1) % cells.size();
        }
        benchmark::DoNotOptimize(cells.data());
    }
}
BENCHMARK(BM_baseline_copy_cells);

// The field reader over a whole scripted run's answers.
struct Feed {
    std::string bytes;
    std::size_t at = 0;
    static int read(void* self) {
        auto* f = static_cast<Feed*>(self);
        return f->at < f->bytes.size() ? static_cast<unsigned char>(f->bytes[f->at++]) : -1;
    }
};

std::string answers() {
    std::string s = "ok\nILE\n80\n";
    for (int i = 0; i < 54; ++i)
        s += i % 2 ? "y\n" : "  n  ,x\n";
    return s + "ok\n";
}

void BM_read_input_field_script(benchmark::State& state) {
    platform::MemoryConsole console(80, 25);
    console.set_input_redirected(true);
    console.set_output_redirected(true);
    textio::start_afresh(&console);
    Feed feed{answers()};
    for (auto _ : state) {
        textio::reset_services();
        feed.at = 0;
        textio::set_stdin_source(textio::StdinSource{&Feed::read, &feed});
        while (true) {
            benchmark::DoNotOptimize(textio::read_input_field());
            if (textio::input_exhausted()) break;
        }
    }
    textio::start_afresh();
}
BENCHMARK(BM_read_input_field_script);

void BM_baseline_split_lines(benchmark::State& state) {
    const std::string s = answers();
    for (auto _ : state) {
        std::size_t start = 0;
        while (start < s.size()) {
            const std::size_t end = s.find('\n', start);
            benchmark::DoNotOptimize(std::string(s, start, end - start));
            start = end + 1;
        }
    }
}
BENCHMARK(BM_baseline_split_lines);

}  // namespace

BENCHMARK_MAIN();
