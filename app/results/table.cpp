// table: one line per person (name, top type or types and their score, the
// expected type, its rank, whether it came out on top, the confidence),
// columns aligned within the width. The lines wait in a spool until the
// group is read, since a column is as wide as its widest entry; sorted
// there when asked.
#include <algorithm>
#include <array>

#include "app/results/commands.h"
#include "app/results/ranking.h"
#include "app/results/spool.h"

namespace pelorin::results {
namespace {

enum Column : std::size_t { NAME, TOP, SCORE, EXPECTED, RANK, MATCH, CONFIDENCE, COLUMNS };
constexpr std::array<std::string_view, COLUMNS> HEADINGS{"name", "top",   "score",     "expected",
                                                         "rank", "match", "confidence"};
constexpr std::size_t GAP = 2;
// When a line is too long, these columns give up width first, down to
// these widths; then the last columns are left out, down to the rank; then
// the top types are cut.
constexpr std::array<std::pair<Column, std::size_t>, 2> NARROWING{{{CONFIDENCE, 5}, {NAME, 6}}};
constexpr std::size_t NARROWEST_TOP = 3;

class Table : public Command {
  public:
    Table(const Settings& settings, Write write) : settings_(settings), write_(std::move(write)) {
        for (std::size_t c = 0; c < COLUMNS; ++c)
            widths_[c] = HEADINGS[c].size();
    }

    void add(const Person& person) override {
        const bool utf8 = settings_.style.utf8;
        const typetest::ResultsRecord& r = person.record;
        const bool expected = person.expected != 0;
        const std::string confidence = displayable(trim_blanks(r.confidence), utf8);
        const std::array<std::string, COLUMNS> cells{
            displayable(person.name, utf8),
            top_codes(person),
            r.score_texts[person.top[0]],
            expected ? std::string(TypeOrder[person.expected]) : "-",
            expected ? std::to_string(person.expected_rank) : "-",
            expected ? (person.expected_rank == 1 ? "yes" : "no") : "-",
            confidence.empty() ? "-" : confidence};
        for (std::size_t c = 0; c < COLUMNS; ++c)
            widths_[c] = std::max(widths_[c], display_width(cells[c]));
        rows_.add(sort_key(person, settings_.sort),
                  packed({cells[0], cells[1], cells[2], cells[3], cells[4], cells[5], cells[6]}));
    }

    void finish(std::size_t read) override {
        const auto width =
            static_cast<std::size_t>(std::max(settings_.style.width, NARROWEST_CHART));
        if (rows_.size() == 0) {
            write_(wrap(read == 0 ? "No results file was read." : "No results file is chosen.",
                        width));
            return;
        }
        narrow(width);
        std::vector<std::string_view> headings(HEADINGS.begin(), HEADINGS.end());
        write_(line(headings, width));
        rows_.drain([&](std::string_view row) { write_(line(unpacked(row), width)); });
    }

  private:
    void narrow(std::size_t width) {
        std::size_t total = GAP * (COLUMNS - 1);
        for (const std::size_t w : widths_)
            total += w;
        const auto narrow_column = [&](Column column, std::size_t narrowest) {
            const std::size_t cut =
                std::min(total - std::min(total, width),
                         widths_[column] - std::min(widths_[column], narrowest));
            widths_[column] -= cut;
            total -= cut;
        };
        for (const auto& [column, narrowest] : NARROWING)
            narrow_column(column, narrowest);
        for (; total > width && columns_ > RANK + 1; --columns_)
            total -= GAP + widths_[columns_ - 1];
        narrow_column(TOP, NARROWEST_TOP);
    }

    std::string line(const std::vector<std::string_view>& cells, std::size_t width) const {
        // The mark of a cut cell is an ellipsis where blocks are drawn.
        const bool blocks = settings_.style.blocks;
        std::string out;
        for (std::size_t c = 0; c < columns_; ++c) {
            const std::string cell = fitted(cells[c], widths_[c], blocks);
            const std::string blanks(widths_[c] - display_width(cell), ' ');
            const bool number = c == SCORE || c == RANK;
            if (c > 0) out.append(GAP, ' ');
            out += number ? blanks + cell : cell + blanks;
        }
        out.erase(out.find_last_not_of(' ') + 1);
        // Below some 50 columns not even narrowed columns fit: the line is cut.
        return fitted(out, width, blocks) + '\n';
    }

    Settings settings_;
    Write write_;
    std::array<std::size_t, COLUMNS> widths_{};
    std::size_t columns_ = COLUMNS;  // those shown
    Spool rows_;
};

}  // namespace

std::unique_ptr<Command> make_table(const Settings& settings, Write write) {
    return std::make_unique<Table>(settings, std::move(write));
}

}  // namespace pelorin::results
