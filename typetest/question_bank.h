// The 54 statements of the test and what a yes and a no add to each of the
// 16 socionic types. The bank is written as texts and turned into its tables
// while the program is compiled: loading it at start is a copy.
#pragma once

#include <array>
#include <span>
#include <string_view>

namespace pelorin::typetest {

inline constexpr int TYPE_COUNT = 16;
inline constexpr int BANK_SLOTS = 256;  // slot 0 unused; up to 254 statements and "END"
inline constexpr std::string_view BANK_END = "END";

// The 16 type codes in TypeOrder, index 1 to 16; index 0 unused.
extern const std::array<std::string_view, TYPE_COUNT + 1> TypeOrder;

using WeightRow = std::array<float, TYPE_COUNT + 1>;

struct QuestionBank {
    // Views of the source's texts: the shipped ones live as long as the program.
    std::array<std::string_view, BANK_SLOTS> statements{};
    std::array<WeightRow, BANK_SLOTS> yes{};
    std::array<WeightRow, BANK_SLOTS> no{};

    bool is_end(int slot) const;
};

// The bank's items in order: per statement its text, 16 yes weights and 16
// no weights, then "END".
std::span<const std::string_view> bank_source();

// Fills `bank` from `source` (the shipped bank by default), up to the "END"
// item, each weight the single text_to_single makes of its text. A source
// whose "END" does not stand within the 255 statement slots, or with a weight
// that is not digits with an optional point, is refused: a build error for
// the shipped bank, std::invalid_argument for another.
void load_question_bank(QuestionBank& bank);
void load_question_bank(QuestionBank& bank, std::span<const std::string_view> source);

}  // namespace pelorin::typetest
