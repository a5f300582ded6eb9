// Everything the questionnaire gathers from the user, which the dialogue
// fills and the report finishes, and how a typed answer is read.
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

// Whether the upper-case copy of `answer` is exactly `word` ("OK", "Y"...).
bool answer_is(const textio::Text& answer, std::string_view word);

}  // namespace pelorin::typetest
