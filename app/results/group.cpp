#include "app/results/group.h"

#include <algorithm>

#include "typetest/question_bank.h"

namespace pelorin::results {
namespace {

// Each statement of the bank is its text, 16 yes weights and 16 no weights.
constexpr std::size_t ITEMS_PER_STATEMENT = 1 + 2 * TYPE_COUNT;

}  // namespace

const std::vector<std::string_view>& statement_texts() {
    static const std::vector<std::string_view> texts = [] {
        std::vector<std::string_view> out{""};
        const auto source = typetest::bank_source();
        for (std::size_t at = 0; at < source.size() && source[at] != typetest::BANK_END;
             at += ITEMS_PER_STATEMENT)
            out.push_back(source[at]);
        return out;
    }();
    return texts;
}

std::string percent(std::size_t part, std::size_t whole) {
    if (whole == 0) return "0 %";
    return std::to_string((200 * part + whole) / (2 * whole)) + " %";
}

void GroupTally::add(const Person& person) {
    const typetest::ResultsRecord& r = person.record;
    ++files_;
    for (const std::size_t t : person.top)
        ++tops_[t];
    if (person.top.size() > 1) ++ties_;
    for (std::size_t t = 1; t <= TYPE_COUNT; ++t)
        means_[t].add(r.scores[t]);
    if (person.expected == 0) without_expected_.add({}, person.name);
    if (std::find(person.top.begin(), person.top.end(), person.expected) != person.top.end())
        ++expected_on_top_;
    // Only the statements of the bank: a file of another bank's may have more.
    const std::size_t statements = statement_texts().size() - 1;
    yes_.resize(statements + 1);
    answered_.resize(statements + 1);
    for (std::size_t i = 0; i < r.answers.size() && i < statements; ++i) {
        ++answered_[i + 1];
        if (r.answers[i] == '1') ++yes_[i + 1];
    }
}

std::vector<ChartRow> GroupTally::top_count_rows() const {
    Scores counts{};
    for (std::size_t t = 1; t <= TYPE_COUNT; ++t)
        counts[t] = static_cast<std::int64_t>(tops_[t]);
    const std::int64_t most = counts[rank_order(counts)[0]];
    std::vector<ChartRow> rows;
    for (const std::size_t t : rank_order(counts))
        rows.push_back({t, std::to_string(counts[t]), static_cast<double>(counts[t]),
                        most > 0 && counts[t] == most});
    return rows;
}

std::vector<ChartRow> GroupTally::mean_rows() const {
    Scores means{};
    for (std::size_t t = 1; t <= TYPE_COUNT; ++t)
        means[t] = means_[t].hundredths();
    const std::vector<std::size_t> top = top_types(means);
    std::vector<ChartRow> rows;
    for (const std::size_t t : rank_order(means))
        rows.push_back({t, hundredths_text(means[t]), static_cast<double>(means[t]),
                        std::find(top.begin(), top.end(), t) != top.end()});
    return rows;
}

std::vector<StatementShare> GroupTally::statements_by_share(bool most_first) const {
    std::vector<StatementShare> out;
    for (std::size_t i = 1; i < yes_.size(); ++i)
        out.push_back({i, yes_[i], answered_[i]});
    // Exact: yes / answered compared across, a statement nobody answered last.
    std::stable_sort(out.begin(), out.end(),
                     [most_first](const StatementShare& a, const StatementShare& b) {
                         if ((a.answered == 0) != (b.answered == 0)) return b.answered == 0;
                         const std::size_t left = a.yes * b.answered;
                         const std::size_t right = b.yes * a.answered;
                         return most_first ? left > right : left < right;
                     });
    return out;
}

void GroupTally::drain_without_expected(const std::function<void(std::string_view)>& each) {
    without_expected_.drain(each);
}

}  // namespace pelorin::results
