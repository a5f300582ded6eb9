#include "typetest/results_file.h"

#include <gtest/gtest.h>

#include <vector>

namespace pelorin::typetest {
namespace {

const char* const all_yes[] = {"16.6",  "17.55", "17.69", "18.59", "17.69", "19.55",
                               "15.79", "17.2",  "20.64", "20.84", "18.85", "19.4",
                               "18.94", "19.45", "20.44", "19.64"};

// The lines of a results file as the writer makes them.
std::vector<std::string> written_lines(const std::string& expected, const std::string& confidence) {
    std::vector<std::string> lines{std::string(RESULTS_TITLE)};
    for (std::size_t t = 1; t <= 16; ++t)
        lines.push_back(std::string(TypeOrder[t]) + " : " + all_yes[t - 1]);
    lines.push_back(results_answers_line(std::string(54, '1')));
    lines.push_back(results_expected_line(expected, confidence));
    return lines;
}

std::string join(const std::vector<std::string>& lines, const std::string& end = "\r\n") {
    std::string s;
    for (const std::string& line : lines)
        s += line + end;
    return s;
}

// The file with line `n` (from 1) replaced by `text`.
std::string with_line(std::size_t n, const std::string& text) {
    std::vector<std::string> lines = written_lines("ILE", "80");
    lines[n - 1] = text;
    return join(lines);
}

TEST(ResultsFileWriter, LinesOfTheReport) {
    EXPECT_EQ(results_score_line(1, 16.6f), "ILE : 16.6");
    EXPECT_EQ(results_score_line(10, 7.0f), "LII : 7");
    EXPECT_EQ(results_score_line(16, -1.0f / 3), "ESI : -0.333333") << "9 characters at most";
    EXPECT_EQ(results_answers_line("1010"), "Answers : 1010");
    EXPECT_EQ(results_expected_line("", ""), "Expected TIM :  ()");
    EXPECT_EQ(results_expected_line("ILE, maybe", "90"), "Expected TIM : ILE, maybe (90)");
}

struct Good {
    const char* name;
    std::string bytes;
    const char* expected_type;
    const char* confidence;
};

TEST(ResultsFileReader, ReadsWhatTheWriterWrites) {
    std::vector<std::string> lf_only = written_lines("ILE", "80");
    const Good cases[] = {
        {"CR LF", join(written_lines("ILE", "80")), "ILE", "80"},
        {"LF, last line without an end",
         join(lf_only, "\n").substr(0, join(lf_only, "\n").size() - 1), "ILE", "80"},
        {"nothing typed", join(written_lines("", "")), "", ""},
        {"parentheses in the type", join(written_lines("ILE (Don Quixote)", "80 %")),
         "ILE (Don Quixote)", "80 %"},
        {"commas, quotes, high bytes", join(written_lines("I\"L\"E, \xe9", "(\x1b)")),
         "I\"L\"E, \xe9", "(\x1b)"},
        {"another version", with_line(1, "Test Results from Pelorin 0.2.10"), "ILE", "80"},
    };
    for (const Good& c : cases) {
        const auto read = read_results(c.bytes);
        ASSERT_TRUE(std::holds_alternative<ResultsRecord>(read))
            << c.name << ": " << std::get<ResultsProblem>(read).what;
        const ResultsRecord& r = std::get<ResultsRecord>(read);
        for (std::size_t t = 1; t <= 16; ++t)
            EXPECT_EQ(r.score_texts[t], all_yes[t - 1]) << c.name;
        EXPECT_EQ(r.scores[1], 166'000'000) << c.name;
        EXPECT_EQ(r.scores[2], 175'500'000) << c.name;
        EXPECT_EQ(r.answers, std::string(54, '1')) << c.name;
        EXPECT_EQ(r.expected_type, c.expected_type) << c.name;
        EXPECT_EQ(r.confidence, c.confidence) << c.name;
    }
}

TEST(ResultsFileReader, ScoreTexts) {
    const std::pair<const char*, std::optional<std::int64_t>> cases[] = {
        {"0", 0},
        {"7", 70'000'000},
        {"17.69", 176'900'000},
        {"0.1234567", 1'234'567},
        {"123456789", 1'234'567'890'000'000},
        {"-0.5", -5'000'000},
        {"", std::nullopt},
        {"1.", std::nullopt},
        {".5", std::nullopt},
        {"-", std::nullopt},
        {"+1", std::nullopt},
        {"1e5", std::nullopt},
        {"1,5", std::nullopt},
        {"1.2.3", std::nullopt},
        {" 1", std::nullopt},
        {"1234567890", std::nullopt},
    };
    for (const auto& [text, units] : cases)
        EXPECT_EQ(score_units(text), units) << '"' << text << '"';
}

TEST(ResultsFileReader, NamesTheFirstWrongLine) {
    const std::string good = join(written_lines("ILE", "80"));
    const std::pair<std::string, ResultsProblem> cases[] = {
        {"", {1, "the file is empty"}},
        {"hello\n",
         {1,
          "not a Pelorin results file (the first line should be \"Test Results from Pelorin "
          "0.1.5\")"}},
        {with_line(1, "Test Results from Pelorin "), {1, ""}},
        {with_line(1, "Test Results from Pelorin 0.1.5\rILE : 16.6"), {1, ""}},
        {good.substr(0, good.find("LSE")), {7, "missing: the file ends after line 6"}},
        {with_line(2, "LIE : 16.6"), {2, "should be \"ILE : \" and a score"}},
        {with_line(3, "LIE :17.55"), {3, "should be \"LIE : \" and a score"}},
        {with_line(4, "IEE : "), {4, "no score after \"IEE : \""}},
        {with_line(5, "EIE : 18.5.9"), {5, "the score is not a number"}},
        {with_line(6, "SLE : 16.6000001"), {6, "the score is longer than 9 characters"}},
        {with_line(17, "ESI : 19.64\r"), {17, "the score is not a number"}},
        {with_line(18, "Answers : "), {18, "no answers after \"Answers : \""}},
        {with_line(18, "Answers : 1012"), {18, "an answer other than 0 or 1"}},
        {with_line(18, "Answers : " + std::string(256, '0')), {18, "more than 255 answers"}},
        {with_line(18, "Answer : 1"), {18, "should be \"Answers : \" and one digit per statement"}},
        {with_line(19, "Expected TIM : ILE"),
         {19, "should end with the confidence in parentheses, \" (80)\""}},
        {with_line(19, "Expected TIM : ILE (80"), {19, ""}},
        {with_line(19, "Expected TIM : ILE(80)"), {19, ""}},
        {with_line(19, "Expected TIM :)"), {19, ""}},
        {with_line(19, "Expected TIM: ILE (80)"),
         {19, "should be \"Expected TIM : \", the expected type and the confidence"}},
        {with_line(19, std::string("Expected TIM : I\0E (80)", 23)), {19, "holds a zero byte"}},
        {with_line(19, "Expected TIM : " + std::string(17000, 'x') + " (80)"),
         {19, "too long for a results file"}},
        {good + "\r\n", {20, "text after the last line of a results file"}},
        {good + "more", {20, ""}},
    };
    for (const auto& [bytes, want] : cases) {
        const auto read = read_results(bytes);
        if (!std::holds_alternative<ResultsProblem>(read)) {
            ADD_FAILURE() << "read as a results file: " << want.line << " " << want.what;
            continue;
        }
        const ResultsProblem& got = std::get<ResultsProblem>(read);
        EXPECT_EQ(got.line, want.line) << bytes.substr(0, 60);
        if (!want.what.empty()) {
            EXPECT_EQ(got.what, want.what);
        }
    }
    const auto longest = read_results(with_line(18, "Answers : " + std::string(255, '0')));
    EXPECT_TRUE(std::holds_alternative<ResultsRecord>(longest)) << "a bank holds 255 statements";
}

}  // namespace
}  // namespace pelorin::typetest
