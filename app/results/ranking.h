// The 16 scores of a results file in order of rank, the type a user named as
// the one they expected, and the means of a group's scores. Scores are whole
// numbers of score units, so equal texts are equal scores and ties are exact.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "typetest/results_file.h"

namespace pelorin::results {

using typetest::TYPE_COUNT;
using typetest::TypeOrder;

// "intuitive-logical extratim": the name of each type, index 1 to 16 in TypeOrder.
extern const std::array<std::string_view, TYPE_COUNT + 1> TypeNames;
inline constexpr std::size_t LONGEST_TYPE_NAME = 26;

// Index 1 to 16 in TypeOrder; 0 unused.
using Scores = std::array<std::int64_t, TYPE_COUNT + 1>;

// The types from the highest score to the lowest; equal scores keep TypeOrder.
std::array<std::size_t, TYPE_COUNT> rank_order(const Scores& scores);
// The types that share the highest score, in TypeOrder.
std::vector<std::size_t> top_types(const Scores& scores);
// 1 + the number of types that score higher than type `t`.
int rank_of(const Scores& scores, std::size_t t);
// The other types with the same score as `t`, in TypeOrder.
std::vector<std::size_t> tied_with(const Scores& scores, std::size_t t);

// A typed text without the blanks and tabs around it.
std::string_view trim_blanks(std::string_view typed);

// The type an expected-type text names: its code ("LII", or "ЛИИ" in UTF-8
// or code page 866) or its four-letter form ("INTj"), in any letter case,
// with blanks around it; 0 for none.
std::size_t named_type(std::string_view typed);

// "1st", "2nd", "3rd", "4th", "11th", "22nd".
std::string ordinal(int n);
// "LII", "LII and ESI", "LII, ESI and SEI".
std::string type_list(const std::vector<std::size_t>& types);

// The mean of values in score units, added one at a time, in hundredths
// rounded half away from zero. Exact: the whole units and the parts of a
// unit are summed apart, so nothing overflows before some 10^9 files.
class MeanTally {
  public:
    void add(std::int64_t units);
    std::int64_t hundredths() const;

  private:
    std::int64_t count_ = 0;
    std::int64_t whole_ = 0;     // the sum of floor(value / one), in ones
    std::int64_t fraction_ = 0;  // the sum of what is left, in units; below one
};
// "17.70", "-0.05".
std::string hundredths_text(std::int64_t hundredths);

}  // namespace pelorin::results
