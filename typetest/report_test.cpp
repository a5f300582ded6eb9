#include "typetest/report.h"

#include <gtest/gtest.h>

#include <cmath>

#include "typetest/dialogue.h"
#include "typetest/testing/questionnaire_fixture.h"

namespace pelorin::typetest {
namespace {

const char* const all_yes[] = {"16.6",  "17.55", "17.69", "18.59", "17.69", "19.55",
                               "15.79", "17.2",  "20.64", "20.84", "18.85", "19.4",
                               "18.94", "19.45", "20.44", "19.64"};
const char* const all_no[] = {"7.9", "7.4", "8.64", "7.75", "9.04", "8.64", "9.4",  "8.6",
                              "7.3", "7",   "7.25", "6.55", "7.95", "7.85", "7.69", "7.19"};

std::string file_text(const char* const (&scores)[16], const std::string& answers_row,
                      const std::string& expected_line) {
    std::string s = "Test Results from Pelorin 0.1.5\r\n";
    for (std::size_t t = 1; t <= 16; ++t)
        s += std::string(TypeOrder[t]) + " : " + scores[t - 1] + "\r\n";
    return s + "Answers : " + answers_row + "\r\n" + expected_line + "\r\n";
}

std::string console_report(const char* const (&scores)[16]) {
    std::string s = "\r\nTest Results :\r\n\r\n";
    for (std::size_t t = 1; t <= 16; ++t)
        s += std::string(TypeOrder[t]) + " : " + scores[t - 1] + "\r\n";
    return s + "\r\n" +
           "The more the type has a large number, the more it's probable for you.\r\n"
           "Remember : this test is not 100% reliable.\r\n"
           "type 'ok' and press [ENTER] to continue.\r\n";
}

using Report = QuestionnaireTest;

TEST_F(Report, EveryStatementYes) {
    feed("ok\nILE\n80\n" + answers(54, "y") + "ok\n");
    EXPECT_EQ(run_test(), 0);
    EXPECT_EQ(results(), file_text(all_yes, std::string(54, '1'), "Expected TIM : ILE (80)"));
    EXPECT_TRUE(transcript().ends_with(console_report(all_yes)));
}

TEST_F(Report, EveryStatementNoWithEmptySelfAssessment) {
    feed("ok\n\n\n" + answers(54, "n") + "nope\nOK\n");
    EXPECT_EQ(run_test(), 0);
    EXPECT_EQ(results(), file_text(all_no, std::string(54, '0'), "Expected TIM :  ()"));
    EXPECT_TRUE(transcript().ends_with(console_report(all_no)))
        << "the refused final answer prints nothing in stream mode";
}

TEST_F(Report, AnswersRowAfterDetoursHasOneDigitPerStatement) {
    std::string script = "ok\nx\ny\n";
    // No detour at 54: the loop ends as soon as it is answered.
    for (int q = 1; q <= 53; ++q)
        script += q % 3 == 0 ? "n\np\ny\n" : (q % 2 ? "n\n" : "y\n");
    script += "n\n";
    feed(script + "ok\n");
    EXPECT_EQ(run_test(), 0);
    std::string row;
    for (int q = 1; q <= 53; ++q)
        row += q % 3 == 0 ? '1' : (q % 2 ? '0' : '1');
    row += '0';
    EXPECT_NE(results().find("Answers : " + row + "\r\n"), std::string::npos);
}

TEST_F(Report, FinalPromptReadsUntilOkOrTheEndOfInput) {
    feed("ok\nA\nB\n" + answers(54, "y") + "no\nokay\n");
    EXPECT_EQ(run_test(), 0) << "input ended at the final prompt: the file is complete";
    EXPECT_EQ(results(), file_text(all_yes, std::string(54, '1'), "Expected TIM : A (B)"));
}

TEST_F(Report, ExistingFileIsReplacedAndAnUnwritableOneIsLeftAloneAndSaidSo) {
    {
        std::ofstream old("RESULTS.TXT", std::ios::binary);
        old << std::string(5000, 'x');
    }
    feed("ok\nILE\n80\n" + answers(54, "y") + "ok\n");
    EXPECT_EQ(run_test(), 0);
    EXPECT_EQ(results(), file_text(all_yes, std::string(54, '1'), "Expected TIM : ILE (80)"));

    std::filesystem::remove("RESULTS.TXT");
    std::filesystem::create_directory("RESULTS.TXT");
    textio::reset_services();
    feed("ok\nILE\n80\n" + answers(54, "y") + "ok\n");
    EXPECT_EQ(run_test(), EXIT_NOT_SAVED);
    EXPECT_TRUE(std::filesystem::is_directory("RESULTS.TXT"));
    const std::string report = console_report(all_yes);
    EXPECT_TRUE(transcript().ends_with(report)) << "the console report is complete";
    const std::string told = console_.error_output();
    EXPECT_TRUE(told.starts_with("pelorin: the results were not saved to RESULTS.TXT: ")) << told;

    // Where standard error shows on the console, the line is printed there.
    textio::reset_services();
    console_.set_standard_error_shown(true);
    feed("ok\nILE\n80\n" + answers(54, "y") + "ok\n");
    EXPECT_EQ(run_test(), EXIT_NOT_SAVED);
    EXPECT_EQ(console_.error_output(), told);
    const std::size_t remarks = report.find("The more");
    EXPECT_TRUE(transcript().ends_with(report.substr(0, remarks) + told.substr(0, told.size() - 1) +
                                       "\r\n" + report.substr(remarks)));
}

TEST(FinishScores, TruncatesToHundredths) {
    TypeScores scores{};
    scores[1] = 17.6999989f;
    scores[2] = 17.7f;
    scores[3] = 7.0f;
    scores[4] = 0.0f;
    scores[5] = 20.849998f;
    finish_scores(scores);
    EXPECT_EQ(scores[1], 17.69f);
    EXPECT_EQ(scores[2], 17.7f);
    EXPECT_EQ(scores[3], 7.0f);
    EXPECT_EQ(scores[4], 0.0f);
    EXPECT_EQ(scores[5], 20.84f);
}

TEST(FinishScores, DoubleIntermediatesGiveWhatExtendedOnesGive) {
    // The quotient rounded to double and then to single must equal the one
    // rounded from a 64-bit significand: no double rounding for any score.
    for (int n = 0; n < 10000; ++n) {
        for (float s :
             {static_cast<float>(n / 100.0), std::nextafter(static_cast<float>(n / 100.0), 0.0f),
              std::nextafter(static_cast<float>(n / 100.0), 100.0f)}) {
            TypeScores scores{};
            scores[1] = s;
            finish_scores(scores);
            const long double wide = std::floor(100.0L * s) / 100.0L;
            ASSERT_EQ(scores[1], static_cast<float>(wide)) << n;
        }
    }
    // A score a hair below a hundredth loses it.
    TypeScores scores{};
    scores[1] = 0.01f;  // 0.00999999977...
    finish_scores(scores);
    EXPECT_EQ(scores[1], 0.0f);
}

TEST(AnswersText, OneDigitPerAnsweredStatement) {
    TestState state;
    state.q = 5;
    state.answers[1] = 1;
    state.answers[3] = 1;
    EXPECT_EQ(answers_text(state), "1010");
}

}  // namespace
}  // namespace pelorin::typetest
