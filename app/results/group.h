// What a group's files add up to, kept as running tallies while the files
// are read: how often each type came out on top, each type's mean score, how
// many answered each statement yes, how often the expected type was on top,
// and (in a spool) the people without an expected type.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

#include "app/results/chart.h"
#include "app/results/inputs.h"
#include "app/results/ranking.h"
#include "app/results/spool.h"

namespace pelorin::results {

// The statements of the question bank, from 1; index 0 unused.
const std::vector<std::string_view>& statement_texts();

struct StatementShare {
    std::size_t statement = 0;  // from 1
    std::size_t yes = 0;
    std::size_t answered = 0;
};

// "93 %": a share in whole per cent, halves rounded up.
std::string percent(std::size_t part, std::size_t whole);

class GroupTally {
  public:
    void add(const Person& person);

    std::size_t files() const { return files_; }
    std::size_t ties() const { return ties_; }
    std::size_t expected_on_top() const { return expected_on_top_; }
    std::size_t without_expected() const { return without_expected_.size(); }

    // The 16 types by how many files have them on top, all of them.
    std::vector<ChartRow> top_count_rows() const;
    // The 16 types by their mean score.
    std::vector<ChartRow> mean_rows() const;
    // The statements from the most agreed with to the least, or from the
    // least to the most; equal shares in the statements' order.
    std::vector<StatementShare> statements_by_share(bool most_first = true) const;
    // The names of the files without an expected type, as read. Once.
    void drain_without_expected(const std::function<void(std::string_view name)>& each);

  private:
    std::size_t files_ = 0;
    std::size_t ties_ = 0;
    std::size_t expected_on_top_ = 0;
    std::array<std::size_t, TYPE_COUNT + 1> tops_{};
    std::array<MeanTally, TYPE_COUNT + 1> means_{};
    std::vector<std::size_t> yes_;
    std::vector<std::size_t> answered_;
    Spool without_expected_;
};

}  // namespace pelorin::results
