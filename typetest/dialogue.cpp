#include "typetest/dialogue.h"

#include "textio/answer_input.h"
#include "textio/number_text.h"
#include "textio/print.h"
#include "typetest/dialogue_internal.h"
#include "typetest/report.h"

namespace pelorin::typetest {
namespace {

using textio::console_newline;
using textio::console_print;

void show_statement(const TestState& state) {
    console_newline();
    console_print(textio::format_using("Q###: ", static_cast<float>(state.q)), false);
    console_print(state.bank.statements[static_cast<std::size_t>(state.q)], true);
    console_newline();
    console_print("Type 'y' for YES, 'n' for NO, 'p' for previous question.", true);
}

void record_answer(TestState& state, bool yes) {
    add_weights(state.scores, state.bank, state.q, yes);
    state.answers[static_cast<std::size_t>(state.q)] = yes ? 1.0f : 0.0f;
    ++state.q;
}

}  // namespace

void add_weights(TypeScores& scores, const QuestionBank& bank, int q, bool yes) {
    const WeightRow& w =
        yes ? bank.yes[static_cast<std::size_t>(q)] : bank.no[static_cast<std::size_t>(q)];
    for (std::size_t t = 1; t <= TYPE_COUNT; ++t) {
        // The sum of two singles is exact in double: rounded once to single.
        scores[t] = static_cast<float>(static_cast<double>(w[t]) + static_cast<double>(scores[t]));
    }
}

void show_introduction() {
    console_newline();
    console_print("Pelorin 0.1.5", true);
    console_newline();
    console_print("This test will help you to determine your socionic type.", true);
    console_newline();
    console_print("type 'ok' and press [ENTER] to continue.", true);
}

bool take_consent(TestState& state) {
    textio::text_assign(state.answer, textio::read_input_field());
    return answer_is(state.answer, "OK");
}

void take_self_assessment(TestState& state) {
    console_print("If you already know your socionic type, enter it here (3 or 4-letter format) :",
                  true);
    textio::text_assign(state.expected_type, textio::read_input_field());
    console_print("How are you sure on your socionic type ? (in %)", true);
    textio::text_assign(state.confidence, textio::read_input_field());
}

bool run_statement_loop(TestState& state) {
    state.q = 1;
    do {
        show_statement(state);
        textio::text_assign(state.answer, textio::read_input_field());
        // Input that ended before the last statement cannot finish the test:
        // stop here rather than show the same statement forever, and leave
        // any earlier results file alone.
        if (textio::input_exhausted()) return false;
        if (answer_is(state.answer, "Y")) {
            record_answer(state, true);
        } else if (answer_is(state.answer, "N")) {
            record_answer(state, false);
        } else if (answer_is(state.answer, "P")) {
            if (state.q > 1) --state.q;
        }
    } while (!state.bank.is_end(state.q));
    return true;
}

int run_test() {
    TestState state;
    load_question_bank(state.bank);
    show_introduction();
    if (!take_consent(state)) return 0;
    take_self_assessment(state);
    if (!run_statement_loop(state)) return 1;
    return write_report(state) ? 0 : EXIT_NOT_SAVED;
}

}  // namespace pelorin::typetest
