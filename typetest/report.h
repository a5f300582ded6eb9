// The end of the test: the truncated scores on the console, RESULTS.TXT with
// the scores, the raw answers and the self-reported type, the closing
// remarks and the final ok.
#pragma once

#include <string_view>

#include "typetest/test_state.h"

namespace pelorin::typetest {

inline constexpr std::string_view RESULTS_FILE = "RESULTS.TXT";
inline constexpr int RESULTS_CHANNEL = 1;

// Truncates every score to hundredths (toward minus infinity), in place.
void finish_scores(TypeScores& scores);
// One digit per answered statement, 1 for yes and 0 for no.
textio::Text answers_text(const TestState& state);
// Everything from the answers text to the final ok; false when RESULTS.TXT
// could not be saved (standard error has said so, before the closing
// remarks).
bool write_report(TestState& state);

}  // namespace pelorin::typetest
