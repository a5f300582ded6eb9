#include "typetest/results_file.h"

#include <algorithm>

#include "textio/number_text.h"

namespace pelorin::typetest {
namespace {

using textio::Text;

// The report can show at most this many statements (slot 0 is unused).
constexpr std::size_t ANSWERS_LIMIT = BANK_SLOTS - 1;

bool all_digits(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

Text score_label(std::size_t t) {
    return textio::text_concat(TypeOrder[t], " : ");
}

using LineProblem = std::optional<std::string>;

LineProblem read_title(std::string_view line) {
    const std::string_view version = line.substr(std::min(line.size(), RESULTS_TITLE_START.size()));
    const bool has_version =
        !version.empty() && version.find_first_not_of("0123456789.") == std::string_view::npos;
    if (line.starts_with(RESULTS_TITLE_START) && has_version) return std::nullopt;
    return "not a Pelorin results file (the first line should be \"" + std::string(RESULTS_TITLE) +
           "\")";
}

LineProblem read_score(std::size_t t, std::string_view line, ResultsRecord& record) {
    const Text label = score_label(t);
    if (!line.starts_with(label)) return "should be \"" + label + "\" and a score";
    const std::string_view text = line.substr(label.size());
    if (text.empty()) return "no score after \"" + label + "\"";
    if (text.size() > SCORE_TEXT_LIMIT) return "the score is longer than 9 characters";
    const std::optional<std::int64_t> units = score_units(text);
    if (!units) return "the score is not a number";
    record.score_texts[t] = text;
    record.scores[t] = *units;
    return std::nullopt;
}

LineProblem read_answers(std::string_view line, ResultsRecord& record) {
    if (!line.starts_with(ANSWERS_LABEL))
        return "should be \"Answers : \" and one digit per statement";
    const std::string_view row = line.substr(ANSWERS_LABEL.size());
    if (row.empty()) return "no answers after \"Answers : \"";
    if (row.find_first_not_of("01") != std::string_view::npos) return "an answer other than 0 or 1";
    if (row.size() > ANSWERS_LIMIT) return "more than 255 answers";
    record.answers = row;
    return std::nullopt;
}

LineProblem read_expected(std::string_view line, ResultsRecord& record) {
    if (!line.starts_with(EXPECTED_LABEL))
        return "should be \"Expected TIM : \", the expected type and the confidence";
    std::string_view rest = line.substr(EXPECTED_LABEL.size());
    const std::size_t open = rest.empty() ? std::string_view::npos : rest.rfind(" (");
    if (open == std::string_view::npos || rest.back() != ')' || open + 2 > rest.size() - 1)
        return "should end with the confidence in parentheses, \" (80)\"";
    record.expected_type = rest.substr(0, open);
    rest.remove_suffix(1);
    record.confidence = rest.substr(open + 2);
    return std::nullopt;
}

LineProblem read_line(std::size_t n, std::string_view line, ResultsRecord& record) {
    if (n == 1) return read_title(line);
    if (n <= 1 + TYPE_COUNT) return read_score(n - 1, line, record);
    if (n == 2 + TYPE_COUNT) return read_answers(line, record);
    return read_expected(line, record);
}

}  // namespace

Text results_score_line(std::size_t t, float score) {
    return textio::text_concat(score_label(t),
                               textio::text_left(textio::format_str_single(score), 9));
}

Text results_answers_line(std::string_view answers) {
    return textio::text_concat(ANSWERS_LABEL, answers);
}

Text results_expected_line(std::string_view expected_type, std::string_view confidence) {
    Text line = textio::text_concat(EXPECTED_LABEL, expected_type);
    textio::text_append(line, " (");
    textio::text_append(line, confidence);
    textio::text_append(line, ")");
    return line;
}

std::optional<std::int64_t> score_units(std::string_view text) {
    if (text.empty() || text.size() > SCORE_TEXT_LIMIT) return std::nullopt;
    const bool negative = text.front() == '-';
    if (negative) text.remove_prefix(1);
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
    if (whole.empty() || !all_digits(whole) || !all_digits(fraction)) return std::nullopt;
    if (point != std::string_view::npos && fraction.empty()) return std::nullopt;
    // Nine characters hold at most 9 whole digits or 7 decimals: the value
    // stays far inside 64 bits.
    std::int64_t units = 0;
    for (char c : whole)
        units = units * 10 + (c - '0');
    std::int64_t scale = SCORE_UNITS_PER_ONE;
    units *= scale;
    for (char c : fraction) {
        scale /= 10;
        units += (c - '0') * scale;
    }
    return negative ? -units : units;
}

std::variant<ResultsRecord, ResultsProblem> read_results(std::string_view bytes) {
    if (bytes.empty()) return ResultsProblem{1, "the file is empty"};
    ResultsRecord record;
    std::size_t at = 0;
    for (std::size_t n = 1; n <= RESULTS_LINE_COUNT; ++n) {
        if (at >= bytes.size())
            return ResultsProblem{n, "missing: the file ends after line " + std::to_string(n - 1)};
        const std::size_t lf = bytes.find('\n', at);
        const std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
        std::string_view line = bytes.substr(at, end - at);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (LineProblem problem = read_line(n, line, record)) return ResultsProblem{n, *problem};
        if (line.find('\0') != std::string_view::npos)
            return ResultsProblem{n, "holds a zero byte"};
        if (end > RESULTS_SIZE_LIMIT) return ResultsProblem{n, "too long for a results file"};
        at = end + 1;
    }
    if (at < bytes.size())
        return ResultsProblem{RESULTS_LINE_COUNT + 1, "text after the last line of a results file"};
    return record;
}

}  // namespace pelorin::typetest
