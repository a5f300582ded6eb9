#include "typetest/report.h"

#include <cmath>

#include "textio/answer_input.h"
#include "textio/channels.h"
#include "textio/number_text.h"
#include "textio/print.h"
#include "typetest/results_file.h"

namespace pelorin::typetest {
namespace {

using textio::console_newline;
using textio::console_print;
using textio::Text;

void print_scores(const TypeScores& scores) {
    for (std::size_t t = 1; t <= TYPE_COUNT; ++t) {
        const Text label = textio::text_concat(TypeOrder[t], " :");
        console_print(label, false);
        console_print(textio::format_print_single(scores[t]), true);
        textio::results_file_print(RESULTS_CHANNEL, results_score_line(t, scores[t]));
    }
}

void wait_for_final_ok(TestState& state) {
    for (;;) {
        textio::text_assign(state.answer, textio::read_input_field());
        if (answer_is(state.answer, "OK")) return;
        // The file is complete: input that has ended can only end the program.
        if (textio::input_exhausted()) return;
    }
}

// The one line the user gets when the results could not be kept: a
// participant must not walk away believing they were.
void tell_not_saved() {
    const auto& failure = textio::last_file_failure();
    textio::print_error_line("pelorin: the results were not saved to " + failure.file + ": " +
                             failure.reason);
}

}  // namespace

void finish_scores(TypeScores& scores) {
    for (std::size_t t = 1; t <= TYPE_COUNT; ++t) {
        // 100 times a single is exact in double; the quotient is rounded once
        // to single. This truncates: 17.6999989 becomes 17.69.
        const double hundredths = std::floor(100.0 * static_cast<double>(scores[t]));
        scores[t] = static_cast<float>(hundredths / 100.0);
    }
}

Text answers_text(const TestState& state) {
    Text answers;
    for (int i = 1; i < state.q; ++i)
        textio::text_append(answers,
                            textio::format_str_single(state.answers[static_cast<std::size_t>(i)]));
    return answers;
}

bool write_report(TestState& state) {
    const Text answers = answers_text(state);
    finish_scores(state.scores);
    const textio::Status opened = textio::results_file_open(RESULTS_FILE, RESULTS_CHANNEL);
    console_newline();
    console_print("Test Results :", true);
    textio::results_file_print(RESULTS_CHANNEL, RESULTS_TITLE);
    console_newline();
    print_scores(state.scores);
    console_newline();
    textio::results_file_print(RESULTS_CHANNEL, results_answers_line(answers));
    textio::results_file_print(RESULTS_CHANNEL,
                               results_expected_line(state.expected_type, state.confidence));
    const textio::Status closed = textio::results_file_close(RESULTS_CHANNEL);
    const bool saved = opened == textio::STATUS_OK && closed == textio::STATUS_OK;
    if (!saved) tell_not_saved();
    console_print("The more the type has a large number, the more it's probable for you.", true);
    console_print("Remember : this test is not 100% reliable.", true);
    console_print("type 'ok' and press [ENTER] to continue.", true);
    wait_for_final_ok(state);
    textio::text_clear(state.answer);
    textio::text_clear(state.expected_type);
    textio::text_clear(state.confidence);
    return saved;
}

}  // namespace pelorin::typetest
