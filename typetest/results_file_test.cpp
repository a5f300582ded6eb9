#include "typetest/results_file.h"

#include <gtest/gtest.h>

#include <vector>

namespace pelorin::typetest {
namespace {

// A results file as the writer makes it, line `n` (from 1) replaced when given.
std::string written(const std::string& expected = "ILE", const std::string& confidence = "80",
                    std::size_t n = 0, const std::string& line = "", const char* end = "\r\n") {
    std::vector<std::string> lines{std::string(RESULTS_TITLE)};
    for (std::size_t t = 1; t <= 16; ++t)
        lines.push_back(results_score_line(t, 16.6f + static_cast<float>(t)));
    lines.push_back(results_answers_line(std::string(54, '1')));
    lines.push_back(results_expected_line(expected, confidence));
    if (n > 0) lines[n - 1] = line;
    std::string s;
    for (const std::string& l : lines)
        s += l + end;
    return s;
}

TEST(ResultsFileWriter, LinesOfTheReport) {
    EXPECT_EQ(results_score_line(1, 16.6f), "ILE : 16.6");
    EXPECT_EQ(results_score_line(10, 7.0f), "LII : 7");
    EXPECT_EQ(results_score_line(16, -1.0f / 3), "ESI : -0.333333") << "9 characters at most";
    EXPECT_EQ(results_expected_line("", ""), "Expected TIM :  ()");
}

TEST(ResultsFileReader, ReadsWhatTheWriterWrites) {
    std::string block;
    for (int i = 0; i < 4096; ++i)
        block += "\u2588";
    const std::string lf = written("ILE", "80", 0, "", "\n");
    const std::tuple<std::string, const char*, const char*> cases[] = {
        {written(), "ILE", "80"},
        {lf.substr(0, lf.size() - 1), "ILE", "80"},  // LF, the last line without one
        {written("", ""), "", ""},
        {written("ILE (Don Quixote)", "80 %"), "ILE (Don Quixote)", "80 %"},
        {written("I\"L\"E, \xe9", "(\x1b)"), "I\"L\"E, \xe9", "(\x1b)"},
        {written("ILE", "80", 1, "Test Results from Pelorin 0.2.10"), "ILE", "80"},
        {written("ILE", "80", 18, "Answers : " + std::string(255, '0')), "ILE", "80"},
        {written(block, block), block.c_str(), block.c_str()},  // the longest a terminal types
    };
    for (const auto& [bytes, expected_type, confidence] : cases) {
        const auto read = read_results(bytes);
        ASSERT_TRUE(std::holds_alternative<ResultsRecord>(read)) << bytes;
        const ResultsRecord& r = std::get<ResultsRecord>(read);
        EXPECT_EQ(r.score_texts[1], "17.6");
        EXPECT_EQ(r.scores[16], 326'000'000);
        EXPECT_EQ(r.expected_type, expected_type);
        EXPECT_EQ(r.confidence, confidence);
    }
}

TEST(ResultsFileReader, ScoreTexts) {
    const std::pair<const char*, std::optional<std::int64_t>> cases[] = {
        {"0", 0},
        {"17.69", 176'900'000},
        {"0.1234567", 1'234'567},
        {"-0.5", -5'000'000},
        {"123456789", 1'234'567'890'000'000},
        {"", {}},
        {"1.", {}},
        {".5", {}},
        {"-", {}},
        {"+1", {}},
        {"1e5", {}},
        {"1,5", {}},
        {"1.2.3", {}},
        {" 1", {}},
        {"1234567890", {}}};
    for (const auto& [text, units] : cases)
        EXPECT_EQ(score_units(text), units) << '"' << text << '"';
}

TEST(ResultsFileReader, NamesTheFirstWrongLine) {
    const std::string good = written();
    const std::pair<std::string, ResultsProblem> cases[] = {
        {"", {1, "the file is empty"}},
        {"hello\n",
         {1,
          "not a Pelorin results file (the first line should be \"Test Results "
          "from Pelorin 0.1.5\")"}},
        {written("", "", 1, "Test Results from Pelorin 0.1.5\rILE : 17.6"), {1, ""}},
        {good.substr(0, good.find("LSE")), {7, "missing: the file ends after line 6"}},
        {written("", "", 2, "LIE : 16.6"), {2, "should be \"ILE : \" and a score"}},
        {written("", "", 4, "IEE : "), {4, "no score after \"IEE : \""}},
        {written("", "", 5, "EIE : 18.5.9"), {5, "the score is not a number"}},
        {written("", "", 6, "SLE : 16.6000001"), {6, "the score is longer than 9 characters"}},
        {written("", "", 17, "ESI : 19.64\r"), {17, "the score is not a number"}},
        {written("", "", 18, "Answers : "), {18, "no answers after \"Answers : \""}},
        {written("", "", 18, "Answers : 1012"), {18, "an answer other than 0 or 1"}},
        {written("", "", 18, "Answers : " + std::string(256, '0')), {18, "more than 255 answers"}},
        {written("", "", 18, "Answer : 1"),
         {18, "should be \"Answers : \" and one digit per statement"}},
        {written("", "", 19, "Expected TIM : ILE"),
         {19, "should end with the confidence in parentheses, \" (80)\""}},
        {written("", "", 19, "Expected TIM : ILE(80)"), {19, ""}},
        {written("", "", 19, "Expected TIM: ILE (80)"),
         {19, "should be \"Expected TIM : \", the expected type and the confidence"}},
        {written("", "", 19, std::string("Expected TIM : I\0E (80)", 23)),
         {19, "holds a zero byte"}},
        {written("", "", 19, "Expected TIM : " + std::string(33000, 'x') + " (80)"),
         {19, "too long for a results file"}},
        {good + "\r\n", {20, "text after the last line of a results file"}},
    };
    for (const auto& [bytes, want] : cases) {
        const auto read = read_results(bytes);
        const auto* got = std::get_if<ResultsProblem>(&read);
        ASSERT_NE(got, nullptr) << bytes.substr(0, 80);
        EXPECT_EQ(got->line, want.line) << bytes.substr(0, 80);
        if (!want.what.empty()) {
            EXPECT_EQ(got->what, want.what);
        }
    }
}

}  // namespace
}  // namespace pelorin::typetest
