#include "app/results/ranking.h"

#include <gtest/gtest.h>

namespace pelorin::results {
namespace {

Scores scores_of(std::initializer_list<std::int64_t> values) {
    Scores s{};
    std::size_t t = 1;
    for (const std::int64_t v : values)
        s[t++] = v;
    return s;
}

TEST(Ranking, OrderTopAndRanksWithTies) {
    // LIE and LII share the top; IEE, EIE and SLE share 4th place.
    const Scores s = scores_of({5, 9, 7, 7, 7, 1, 0, 0, 0, 9, 8, 0, 0, 0, 0, 0});
    const std::array<std::size_t, 16> order{2, 10, 11, 3, 4, 5, 1, 6, 7, 8, 9, 12, 13, 14, 15, 16};
    EXPECT_EQ(rank_order(s), order);
    EXPECT_EQ(top_types(s), (std::vector<std::size_t>{2, 10}));
    EXPECT_EQ(rank_of(s, 10), 1);
    EXPECT_EQ(rank_of(s, 11), 3);
    EXPECT_EQ(rank_of(s, 5), 4);
    EXPECT_EQ(rank_of(s, 16), 9);
    EXPECT_EQ(tied_with(s, 4), (std::vector<std::size_t>{3, 5}));
    EXPECT_TRUE(tied_with(s, 11).empty());
    EXPECT_EQ(top_types(Scores{}).size(), 16U) << "all equal: all on top";
}

TEST(Ranking, NamedTypes) {
    const std::pair<const char*, std::size_t> cases[] = {
        {"ILE", 1}, {"lii", 10}, {" \tEsi  ", 16}, {"INTj", 10}, {"enfp", 3},     {"ISTJ", 14},
        {"", 0},    {"IL E", 0}, {"ILEE", 0},      {"INTx", 0},  {"ILE, LII", 0}, {"\xe9", 0}};
    for (const auto& [typed, type] : cases)
        EXPECT_EQ(named_type(typed), type) << typed;
}

TEST(Ranking, Words) {
    const std::pair<int, const char*> ordinals[] = {
        {1, "1st"},   {2, "2nd"},   {3, "3rd"},   {4, "4th"},   {11, "11th"},  {12, "12th"},
        {13, "13th"}, {16, "16th"}, {21, "21st"}, {22, "22nd"}, {111, "111th"}};
    for (const auto& [n, word] : ordinals)
        EXPECT_EQ(ordinal(n), word);
    EXPECT_EQ(type_list({10}), "LII");
    EXPECT_EQ(type_list({1, 10}), "ILE and LII");
    EXPECT_EQ(type_list({1, 2, 10}), "ILE, LIE and LII");
}

TEST(Ranking, MeansAreExactAndRoundHalfAwayFromZero) {
    constexpr std::int64_t one = typetest::SCORE_UNITS_PER_ONE;
    const std::int64_t big = 999'999'999 * one;  // the largest score text, 9 digits
    const std::pair<std::vector<std::int64_t>, std::int64_t> cases[] = {
        {{}, 0},
        {{176'900'000}, 1769},
        {{176'900'000, 177'000'000}, 1770},  // 17.695 rounds up
        {{176'900'000, 176'900'001}, 1769},  // just above 17.69
        {{-100'000, 0}, -1},                 // -0.005 rounds away from zero
        {{-99'999, 0}, 0},
        {{one, one, 0}, 67},        // 2/3
        {{one / 3 + 1, 0, 0}, 11},  // 0.1111111...
        {std::vector<std::int64_t>(1000, big), 99'999'999'900},
        {{big, -big, 1}, 0},
    };
    for (const auto& [values, hundredths] : cases)
        EXPECT_EQ(mean_hundredths(values), hundredths) << values.size();
    EXPECT_EQ(hundredths_text(1770), "17.70");
    EXPECT_EQ(hundredths_text(5), "0.05");
    EXPECT_EQ(hundredths_text(-105), "-1.05");
    EXPECT_EQ(hundredths_text(0), "0.00");
}

}  // namespace
}  // namespace pelorin::results
