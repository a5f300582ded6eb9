#include "typetest/dialogue.h"

#include <gtest/gtest.h>

#include "typetest/dialogue_internal.h"
#include "typetest/testing/questionnaire_fixture.h"

namespace pelorin::typetest {
namespace {

const std::string intro =
    "\r\nPelorin 0.1.5\r\n\r\nThis test will help you to determine your socionic type.\r\n\r\n"
    "type 'ok' and press [ENTER] to continue.\r\n";
const std::string hint = "Type 'y' for YES, 'n' for NO, 'p' for previous question.\r\n";

class Dialogue : public QuestionnaireTest {
  protected:
    void SetUp() override {
        QuestionnaireTest::SetUp();
        load_question_bank(state_.bank);
    }
    std::string screen(int q) const {
        char number[8];
        std::snprintf(number, sizeof number, "Q%3d: ", q);
        return "\r\n" + std::string(number) +
               std::string(state_.bank.statements[static_cast<std::size_t>(q)]) + "\r\n\r\n" + hint;
    }
    int count(const std::string& needle, std::size_t from = 0) const {
        int n = 0;
        for (std::size_t at = transcript().find(needle, from); at != std::string::npos;
             at = transcript().find(needle, at + 1))
            ++n;
        return n;
    }
    TestState state_;
};

TEST_F(Dialogue, ConsentContinuesOnOkInAnyCase) {
    for (const char* answer : {"ok", "OK", "oK", "  Ok", "\tok", "\"ok\"", "ok,more"}) {
        feed(std::string(answer) + "\n");
        EXPECT_TRUE(take_consent(state_)) << answer;
    }
}

TEST_F(Dialogue, AnythingElseRefusesTheConsent) {
    for (const char* answer : {"okay", "o k", "ok ", "", "no", "0k"}) {
        feed(std::string(answer) + "\n");
        EXPECT_FALSE(take_consent(state_)) << answer;
    }
    feed("");
    EXPECT_FALSE(take_consent(state_)) << "end of input";
    EXPECT_FALSE(results_exist());
}

TEST_F(Dialogue, IntroductionAndSelfAssessmentTexts) {
    show_introduction();
    feed("I LE, 80\n  95 % \n");
    take_self_assessment(state_);
    EXPECT_EQ(
        transcript(),
        intro +
            "If you already know your socionic type, enter it here (3 or 4-letter format) :\r\n"
            "How are you sure on your socionic type ? (in %)\r\n");
    EXPECT_EQ(state_.expected_type, "I LE") << "taken as typed, without any check";
    EXPECT_EQ(state_.confidence, "80") << "the comma left a second field on the line";
}

TEST_F(Dialogue, EachStatementScreen) {
    feed(answers(54, "y"));
    EXPECT_TRUE(run_statement_loop(state_));
    std::string expected;
    for (int q = 1; q <= 54; ++q)
        expected += screen(q);
    EXPECT_EQ(transcript(), expected) << "no prompt for a 55th statement";
    EXPECT_EQ(state_.q, 55);
}

TEST_F(Dialogue, PreviousAtTheFirstStatementAndUnknownAnswers) {
    feed("p\nyes\nno\n\nY\n" + answers(53, "n"));
    EXPECT_TRUE(run_statement_loop(state_));
    EXPECT_EQ(count("Q  1: "), 5) << "p, yes, no and the empty line show statement 1 again";
    EXPECT_EQ(count("Q  2: "), 1);
    EXPECT_EQ(state_.answers[1], 1.0f);
    EXPECT_EQ(state_.answers[2], 0.0f);
}

TEST_F(Dialogue, GoingBackAddsOnTopAndKeepsTheLastAnswer) {
    TestState straight;
    load_question_bank(straight.bank);
    feed(answers(54, "y"));
    ASSERT_TRUE(run_statement_loop(straight));

    const std::size_t start = transcript().size();
    feed(answers(4, "y") + "n\np\ny\n" + answers(49, "y"));
    ASSERT_TRUE(run_statement_loop(state_));
    EXPECT_EQ(state_.answers[5], 1.0f);
    for (std::size_t t = 1; t <= TYPE_COUNT; ++t) {
        // Statement 5's no weights stayed in the scores.
        EXPECT_NEAR(state_.scores[t] - straight.scores[t], state_.bank.no[5][t], 1e-5) << t;
    }
    EXPECT_EQ(count("Q  5: ", start), 2);
    EXPECT_EQ(count("Q  6: ", start), 2) << "shown after the n, and again after the y";
    EXPECT_EQ(count("Q  7: ", start), 1);
}

TEST_F(Dialogue, InputEndingInTheLoopStopsIt) {
    feed(answers(10, "y"));
    EXPECT_FALSE(run_statement_loop(state_));
    EXPECT_EQ(count("Q 11: "), 1) << "statement 11 shown once, then nothing more";
    EXPECT_TRUE(transcript().ends_with(screen(11)));
    feed(answers(53, "n") + "  \t ");
    EXPECT_FALSE(run_statement_loop(state_)) << "blanks only before the end";
    feed(answers(53, "n") + "y");
    EXPECT_TRUE(run_statement_loop(state_)) << "a last y without a line feed is a yes";
}

TEST(AddWeights, EachSumIsRoundedOnceToSingle) {
    QuestionBank bank;
    for (std::size_t t = 1; t <= TYPE_COUNT; ++t)
        bank.yes[1][t] = 0.1f;
    TypeScores scores{};
    for (int k = 0; k < 10; ++k)
        add_weights(scores, bank, 1, true);
    // The single just above 1, as single-precision addition gives it.
    EXPECT_EQ(scores[1], 1.00000012f);
    EXPECT_GT(scores[1], 1.0f);
    EXPECT_EQ(scores[0], 0.0f) << "index 0 is never used";
}

}  // namespace
}  // namespace pelorin::typetest
