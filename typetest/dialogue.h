// typetest/: the questionnaire, on the text services of textio/ alone:
// question_bank (the 54 statements and their weights), test_state (what
// the questionnaire gathers), dialogue (this header, run_test and its steps)
// and report (the scores on the console and in RESULTS.TXT).
//
// The questionnaire's main flow: introduction, consent, expected type,
// confidence and the statement loop, then the report.
#pragma once

namespace pelorin::typetest {

// The exit code of a completed test whose results could not be saved.
inline constexpr int EXIT_NOT_SAVED = 4;

// The whole questionnaire; returns the exit code the program ends with:
// 0 after a refused consent or the final ok, 1 when redirected input ended
// before the last statement was answered, EXIT_NOT_SAVED after the final
// ok when RESULTS.TXT could not be saved.
int run_test();

}  // namespace pelorin::typetest
