// The results file: its 19 lines as the report writes them and as
// pelorin-results reads them back. Writer and reader share these
// definitions, so that what one writes the other always reads.
//
//   Test Results from Pelorin 0.1.5
//   ILE : 16.6                       one line per type, in TypeOrder
//   ...
//   ESI : 19.64
//   Answers : 1111...                one digit per statement
//   Expected TIM : ILE (80)          the expected type and confidence as typed
//
// Lines end in CR LF when written; LF alone is accepted on reading.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "textio/text_ops.h"
#include "typetest/question_bank.h"

namespace pelorin::typetest {

inline constexpr std::string_view RESULTS_TITLE = "Test Results from Pelorin 0.1.5";
// What every title starts with; the version after it may differ.
inline constexpr std::string_view RESULTS_TITLE_START = "Test Results from Pelorin ";
inline constexpr std::size_t RESULTS_LINE_COUNT = 19;
// A score keeps the first 9 characters of its string form.
inline constexpr std::size_t SCORE_TEXT_LIMIT = 9;
inline constexpr std::string_view ANSWERS_LABEL = "Answers : ";
inline constexpr std::string_view EXPECTED_LABEL = "Expected TIM : ";
// No file the report writes is larger: 18 short lines, then an expected
// type and a confidence of at most 4096 characters each, which a terminal's
// UTF-8 writes in up to 3 bytes each.
inline constexpr std::size_t RESULTS_SIZE_LIMIT = 32768;

// ---- writing: the text of one line, without its line end -----------------

// "ILE : 16.6": the type's label and the first 9 characters of the score.
textio::Text results_score_line(std::size_t t, float score);
textio::Text results_answers_line(std::string_view answers);
// "Expected TIM : " + expected type + " (" + confidence + ")".
textio::Text results_expected_line(std::string_view expected_type, std::string_view confidence);

// ---- reading --------------------------------------------------------------

// Every score text is a whole number of these units (at most 7 decimals).
inline constexpr std::int64_t SCORE_UNITS_PER_ONE = 10'000'000;

struct ResultsRecord {
    // Index 1 to 16 in TypeOrder; 0 unused.
    std::array<std::string, TYPE_COUNT + 1> score_texts{};  // as written
    std::array<std::int64_t, TYPE_COUNT + 1> scores{};      // in score units
    std::string answers;                                    // the row of 0s and 1s
    std::string expected_type;                              // as typed
    std::string confidence;                                 // as typed
};

// What makes bytes not a results file: the first line (from 1) that is
// wrong, and how.
struct ResultsProblem {
    std::size_t line = 0;
    std::string what;
    friend bool operator==(const ResultsProblem&, const ResultsProblem&) = default;
};

// The value of a score text in score units: an optional minus sign, digits,
// and optionally a point and up to 7 digits; 9 characters at most.
std::optional<std::int64_t> score_units(std::string_view text);

// Reads the bytes of a whole file. The expected line is split at its last
// " (", so an expected type may hold " (" and a confidence may not.
std::variant<ResultsRecord, ResultsProblem> read_results(std::string_view bytes);

}  // namespace pelorin::typetest
