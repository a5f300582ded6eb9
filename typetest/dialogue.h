// typetest/: the questionnaire, on the text services of textio/ alone:
// question_bank (the 54 statements and their weights), dialogue (this
// header, run_test and its steps) and report (the scores on the console and
// in RESULTS.TXT).
//
// The questionnaire's main flow: introduction, consent, expected type,
// confidence and the statement loop, then the report.
#pragma once

#include <array>
#include <string_view>

#include "textio/text_ops.h"
#include "typetest/question_bank.h"

namespace pelorin::typetest {

// Running score of each type, index 1 to 16 in TypeOrder; 0 unused.
using TypeScores = std::array<float, TYPE_COUNT + 1>;
// Last answer to each statement: 1 yes, 0 no; index 0 unused.
using AnswerLog = std::array<float, BANK_SLOTS>;

// Everything the dialogue gathers; the report reads and finishes it.
struct TestState {
    QuestionBank bank;
    TypeScores scores{};
    AnswerLog answers{};
    textio::Text answer;
    textio::Text expected_type;
    textio::Text confidence;
    int q = 1;  // the statement on screen; the terminator's slot at the end
};

// The exit code of a completed test whose results could not be saved.
inline constexpr int EXIT_NOT_SAVED = 4;

// The whole questionnaire; returns the exit code the program ends with:
// 0 after a refused consent or the final ok, 1 when redirected input ended
// before the last statement was answered, EXIT_NOT_SAVED after the final
// ok when RESULTS.TXT could not be saved.
int run_test();

// Whether the upper-case copy of `answer` is exactly `word` ("OK", "Y"...).
bool answer_is(const textio::Text& answer, std::string_view word);

}  // namespace pelorin::typetest
