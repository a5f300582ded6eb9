#include "app/results/ranking.h"

#include <gtest/gtest.h>

namespace pelorin::results {
namespace {

TEST(Ranking, NamedTypes) {
    const std::pair<const char*, std::size_t> cases[] = {
        {"ILE", 1},
        {"lii", 10},
        {" \tEsi  ", 16},
        {"INTj", 10},
        {"enfp", 3},
        {"ISTJ", 14},
        {"", 0},
        {"IL E", 0},
        {"ILEE", 0},
        {"INTx", 0},
        {"ILE, LII", 0},
        // Russian codes: UTF-8, code page 866, mixed with Latin letters.
        {"\xD0\x98\xD0\x9B\xD0\xAD", 1},    // ИЛЭ
        {" \xD0\xBB\xD0\xB8\xD0\xB8", 10},  // лии
        {"\x9D\x91\x88", 16},               // ЭСИ
        {"\xE1\xAB\xA8", 13},               // сли
        {"\xD0\xA1"
         "E\xD0\xAD",
         7},                              // СEЭ
        {"\xD0\x98\xD0\x9B\xD0\xAE", 0},  // ИЛЮ
        {"\xD0\x98\xD0\x9B", 0},          // ИЛ
        {"\xD0\x98\x9B\xD0\xAD", 0}};     // Л's second byte alone
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
        {{-one - 1}, -100},  // -1.0000001
    };
    for (const auto& [values, hundredths] : cases) {
        MeanTally mean;
        for (const std::int64_t v : values)
            mean.add(v);
        EXPECT_EQ(mean.hundredths(), hundredths) << values.size();
    }
    EXPECT_EQ(hundredths_text(5), "0.05");
    EXPECT_EQ(hundredths_text(-105), "-1.05");
}

}  // namespace
}  // namespace pelorin::results
