#include "app/results/commands.h"

#include <algorithm>

#include "app/results/ranking.h"

namespace pelorin::results {
namespace {

std::string joined(const std::vector<std::size_t>& types, std::string_view between) {
    std::string out;
    for (const std::size_t t : types) {
        if (!out.empty()) out += between;
        out += TypeOrder[t];
    }
    return out;
}

std::string plural(std::size_t n, std::string_view one, std::string_view many) {
    return std::to_string(n) + ' ' + std::string(n == 1 ? one : many);
}

// ---- show -------------------------------------------------------------------

std::string top_sentence(const ReadFile& file, const ChartStyle& style) {
    const typetest::ResultsRecord& r = file.record;
    const std::vector<std::size_t> top = top_types(r.scores);
    const std::string& score = r.score_texts[top[0]];
    std::string out = displayable(file.name, style.utf8) + ": ";
    if (top.size() == 1)
        return out + std::string(TypeOrder[top[0]]) + ' ' + std::string(TypeNames[top[0]]) +
               " comes out on top with " + score + '.';
    return out + type_list(top) + " share the top with " + score + '.';
}

bool is_plain_number(std::string_view s) {
    return !s.empty() && s.find_first_not_of("0123456789.") == std::string_view::npos &&
           s.find_first_of("0123456789") != std::string_view::npos;
}

std::string confidence_in_parentheses(std::string_view typed, const ChartStyle& style) {
    typed = trim_blanks(typed);
    if (typed.empty()) return {};
    // The confidence was asked for in per cent.
    std::string shown = displayable(typed, style.utf8);
    if (is_plain_number(typed)) shown += std::string(1, KEEP_TOGETHER) + '%';
    return " (" + shown + ')';
}

std::string expected_sentence(const typetest::ResultsRecord& r, const ChartStyle& style) {
    const std::string typed = displayable(r.expected_type, style.utf8);
    if (typed.find_first_not_of(" \t") == std::string::npos) return "No expected type was given.";
    const std::string confidence = confidence_in_parentheses(r.confidence, style);
    const std::size_t t = named_type(r.expected_type);
    if (t == 0)
        return "You expected \"" + typed + '"' + confidence + ", which is not one of the 16 types.";
    std::string out = "You expected " + std::string(TypeOrder[t]) + confidence + ": it ranks " +
                      ordinal(rank_of(r.scores, t)) + " of" + KEEP_TOGETHER + "16";
    const std::vector<std::size_t> tied = tied_with(r.scores, t);
    if (!tied.empty()) out += ", tied with " + type_list(tied);
    return out + '.';
}

// ---- summary ----------------------------------------------------------------

struct Tally {
    std::array<std::size_t, TYPE_COUNT + 1> tops{};  // files with the type on top
    std::size_t ties = 0;                            // files with more than one on top
    std::size_t expected_on_top = 0;
    std::size_t expected_unknown = 0;  // files naming none of the 16 types
};

Tally tally(std::span<const ReadFile> files) {
    Tally out;
    for (const ReadFile& f : files) {
        const std::vector<std::size_t> top = top_types(f.record.scores);
        for (const std::size_t t : top)
            ++out.tops[t];
        if (top.size() > 1) ++out.ties;
        const std::size_t expected = named_type(f.record.expected_type);
        if (expected == 0) ++out.expected_unknown;
        if (std::find(top.begin(), top.end(), expected) != top.end()) ++out.expected_on_top;
    }
    return out;
}

std::vector<ChartRow> top_count_rows(const Tally& t) {
    Scores counts{};
    for (std::size_t u = 1; u <= TYPE_COUNT; ++u)
        counts[u] = static_cast<std::int64_t>(t.tops[u]);
    const std::int64_t most = counts[rank_order(counts)[0]];
    std::vector<ChartRow> rows;
    for (const std::size_t u : rank_order(counts))
        if (counts[u] > 0)
            rows.push_back(
                {u, std::to_string(counts[u]), static_cast<double>(counts[u]), counts[u] == most});
    return rows;
}

std::vector<ChartRow> mean_rows(std::span<const ReadFile> files) {
    Scores means{};
    std::vector<std::int64_t> values(files.size());
    for (std::size_t t = 1; t <= TYPE_COUNT; ++t) {
        for (std::size_t i = 0; i < files.size(); ++i)
            values[i] = files[i].record.scores[t];
        means[t] = mean_hundredths(values);
    }
    const std::vector<std::size_t> top = top_types(means);
    std::vector<ChartRow> rows;
    for (const std::size_t t : rank_order(means))
        rows.push_back({t, hundredths_text(means[t]), static_cast<double>(means[t]),
                        std::find(top.begin(), top.end(), t) != top.end()});
    return rows;
}

}  // namespace

std::string show_results(const ReadFile& file, const ChartStyle& style) {
    const typetest::ResultsRecord& r = file.record;
    const std::vector<std::size_t> top = top_types(r.scores);
    std::vector<ChartRow> rows;
    for (const std::size_t t : rank_order(r.scores))
        rows.push_back({t, r.score_texts[t], static_cast<double>(r.scores[t]),
                        std::find(top.begin(), top.end(), t) != top.end()});
    const auto width = static_cast<std::size_t>(std::max(style.width, NARROWEST_CHART));
    return wrap(top_sentence(file, style), width) + '\n' + draw_chart(rows, style) + '\n' +
           wrap(expected_sentence(r, style), width);
}

std::string csv_header() {
    std::string out = "file";
    for (std::size_t t = 1; t <= TYPE_COUNT; ++t)
        out += ',' + std::string(TypeOrder[t]);
    return out + ",top,answers,expected_type,confidence\r\n";
}

std::string csv_row(const ReadFile& file) {
    const auto field = [](std::string_view text) {
        if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
        std::string quoted = "\"";
        for (const char c : text)
            quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        return quoted + '"';
    };
    const typetest::ResultsRecord& r = file.record;
    std::string out = field(file.name);
    for (std::size_t t = 1; t <= TYPE_COUNT; ++t)
        out += ',' + r.score_texts[t];
    out += ',' + joined(top_types(r.scores), "+") + ',' + r.answers;
    return out + ',' + field(r.expected_type) + ',' + field(r.confidence) + "\r\n";
}

std::string summarise(std::span<const ReadFile> files, const ChartStyle& style) {
    const auto width = static_cast<std::size_t>(std::max(style.width, NARROWEST_CHART));
    if (files.empty()) return wrap("No results file was read.", width);
    const Tally t = tally(files);
    std::string out = wrap(plural(files.size(), "results file.", "results files."), width) + '\n';
    out += wrap("Top type, and in how many files:", width) + draw_chart(top_count_rows(t), style);
    if (t.ties > 0)
        out += wrap(plural(t.ties, "file has a tie at the top and counts",
                           "files have a tie at the top and count") +
                        " once for each tied type.",
                    width);
    out +=
        '\n' + wrap("Mean score of each type:", width) + draw_chart(mean_rows(files), style) + '\n';
    std::string expected = "The expected type was the top type in " +
                           std::to_string(t.expected_on_top) + " of " +
                           plural(files.size(), "file.", "files.");
    if (t.expected_unknown > 0)
        expected += ' ' + plural(t.expected_unknown, "file names", "files name") +
                    " no expected type, or none of the 16.";
    return out + wrap(expected, width);
}

}  // namespace pelorin::results
