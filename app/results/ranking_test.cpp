#include "app/results/ranking.h"

#include <gtest/gtest.h>

namespace pelorin::results {
namespace {

TEST(Ranking, NamedTypes) {
    const std::pair<const char*, std::size_t> cases[] = {
        {"ILE", 1}, {"lii", 10}, {" \tEsi  ", 16}, {"INTj", 10}, {"enfp", 3},    {"ISTJ", 14},
        {"", 0},    {"IL E", 0}, {"ILEE", 0},      {"INTx", 0},  {"ILE, LII", 0}};
    for (const auto& [typed, type] : cases)
        EXPECT_EQ(named_type(typed), type) << typed;
}

TEST(Ranking, MeansAreExactAndRoundHalfAwayFromZero) {
    constexpr std::int64_t one = typetest::SCORE_UNITS_PER_ONE;
    const std::int64_t big = 999'999'999 * one;  // the largest score text, 9 digits
    const std::pair<std::vector<std::int64_t>, std::int64_t> cases[] = {
        {{176'900'000, 177'000'000}, 1770},  // 17.695 rounds up
        {{176'900'000, 176'900'001}, 1769},  // just above 17.69
        {{-100'000, 0}, -1},                 // -0.005 rounds away from zero
        {{-99'999, 0}, 0},
        {{one, one, 0}, 67},                                     // 2/3
        {std::vector<std::int64_t>(1000, big), 99'999'999'900},  // no overflow
        {{big, -big, 1}, 0},
    };
    for (const auto& [values, hundredths] : cases)
        EXPECT_EQ(mean_hundredths(values), hundredths) << values.size();
    EXPECT_EQ(hundredths_text(5), "0.05");
    EXPECT_EQ(hundredths_text(-105), "-1.05");
}

}  // namespace
}  // namespace pelorin::results
