// The steps of run_test, shared with its tests; callers use dialogue.h.
#pragma once

#include "typetest/dialogue.h"
#include "typetest/test_state.h"

namespace pelorin::typetest {

void show_introduction();
// False when the answer was not ok: the program ends there.
bool take_consent(TestState& state);
void take_self_assessment(TestState& state);
// False when redirected input ended before the last statement was answered.
bool run_statement_loop(TestState& state);
// score <- single(weight + score) for all 16 types.
void add_weights(TypeScores& scores, const QuestionBank& bank, int q, bool yes);

}  // namespace pelorin::typetest
