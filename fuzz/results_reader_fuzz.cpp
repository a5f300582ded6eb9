// Arbitrary bytes as a results file: the reader either names a line or
// gives a record that the writer's lines give back unchanged, and what
// pelorin-results shows of any record (show, table, summary) holds no control
// byte and no line wider than the chart.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "app/results/commands.h"
#include "app/results/ranking.h"
#include "typetest/results_file.h"

namespace {

using namespace pelorin;

std::string written_again(const typetest::ResultsRecord& r) {
    std::string out = std::string(typetest::RESULTS_TITLE) + "\r\n";
    for (std::size_t t = 1; t <= typetest::TYPE_COUNT; ++t)
        out += std::string(typetest::TypeOrder[t]) + " : " + r.score_texts[t] + "\r\n";
    out += typetest::results_answers_line(r.answers) + "\r\n";
    return out + typetest::results_expected_line(r.expected_type, r.confidence) + "\r\n";
}

void check_record(const typetest::ResultsRecord& r) {
    for (std::size_t t = 1; t <= typetest::TYPE_COUNT; ++t)
        if (typetest::score_units(r.score_texts[t]) != r.scores[t]) std::abort();
    const auto again = typetest::read_results(written_again(r));
    const auto* same = std::get_if<typetest::ResultsRecord>(&again);
    if (same == nullptr || same->score_texts != r.score_texts || same->answers != r.answers ||
        same->expected_type != r.expected_type || same->confidence != r.confidence)
        std::abort();
}

// What show, table and summary write of one file.
std::string shown_by_commands(const results::Person& person, const results::Settings& settings) {
    std::string shown;
    for (const auto kind :
         {results::CommandKind::show, results::CommandKind::table, results::CommandKind::summary}) {
        const auto command =
            results::make_command(kind, settings, [&](std::string_view text) { shown += text; });
        command->add(person);
        command->finish(1);
    }
    return shown;
}

void check_shown(const typetest::ResultsRecord& r, int width, bool utf8) {
    results::Settings settings;
    settings.style = {width, utf8, false, utf8};
    results::Person person{
        "f", "f", r, results::top_types(r.scores), results::named_type(r.expected_type), 0};
    if (person.expected != 0) person.expected_rank = results::rank_of(r.scores, person.expected);
    const std::string shown = shown_by_commands(person, settings);
    std::size_t start = 0;
    for (std::size_t end; (end = shown.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string_view line(shown.data() + start, end - start);
        if (results::display_width(line) > static_cast<std::size_t>(width)) std::abort();
        for (const char c : line)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) std::abort();
    }
    if (start != shown.size()) std::abort();
}

// The input's pieces (split at LF) after the labels of a results file, so
// that most inputs pass the labels and reach the values.
std::string framed(std::string_view pieces) {
    std::string out = std::string(typetest::RESULTS_TITLE) + "\r\n";
    const auto next = [&] {
        const std::size_t lf = pieces.find('\n');
        const std::string_view piece = pieces.substr(0, lf);
        pieces = lf == std::string_view::npos ? std::string_view{} : pieces.substr(lf + 1);
        return std::string(piece);
    };
    for (std::size_t t = 1; t <= typetest::TYPE_COUNT; ++t)
        out += std::string(typetest::TypeOrder[t]) + " : " + next() + "\r\n";
    out += "Answers : " + next() + "\r\n";
    return out + "Expected TIM : " + next() + "\n" + std::string(pieces);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const auto read =
        typetest::read_results((data[0] & 1) != 0 ? framed(input) : std::string(input));
    if (const auto* problem = std::get_if<typetest::ResultsProblem>(&read)) {
        if (problem->line < 1 || problem->line > typetest::RESULTS_LINE_COUNT + 1) std::abort();
        return 0;
    }
    const auto& record = std::get<typetest::ResultsRecord>(read);
    check_record(record);
    check_shown(record, results::NARROWEST_CHART + data[0] % 120, (data[0] & 0x80) != 0);
    return 0;
}
