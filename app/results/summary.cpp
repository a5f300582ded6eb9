// summary: the group in text. How many files, how often each type came out
// on top and each type's mean score (as charts), how often the expected type
// was on top, the statements most and least agreed with, and who gave no
// expected type.
#include <algorithm>

#include "app/results/commands.h"
#include "app/results/group.h"

namespace pelorin::results {
namespace {

constexpr std::size_t STATEMENTS_EACH_WAY = 5;

std::string plural(std::size_t n, std::string_view one, std::string_view many) {
    return std::to_string(n) + ' ' + std::string(n == 1 ? one : many);
}

class Summary : public Command {
  public:
    Summary(const Settings& settings, Write write)
        : settings_(settings),
          width_(static_cast<std::size_t>(std::max(settings.style.width, NARROWEST_CHART))),
          write_(std::move(write)) {}

    void add(const Person& person) override { group_.add(person); }

    void finish(std::size_t read) override {
        std::string files = plural(group_.files(), "results file", "results files");
        if (!settings_.selection.empty())
            files += ' ' + settings_.selection + ", of " + std::to_string(read) + " read";
        if (group_.files() == 0) {
            write_(wrap(read == 0 ? "No results file was read." : "No " + files + '.', width_));
            return;
        }
        write_(wrap(files + '.', width_) + '\n');
        write_(types());
        write_('\n' + statements());
        write_without_expected();
    }

  private:
    std::string types() const {
        const ChartStyle& style = settings_.style;
        std::string out = wrap("Top type, and in how many files:", width_) +
                          draw_chart(group_.top_count_rows(), style);
        if (group_.ties() > 0)
            out += wrap(plural(group_.ties(), "file has a tie at the top and counts",
                               "files have a tie at the top and count") +
                            " once for each tied type.",
                        width_);
        out += '\n' + wrap("Mean score of each type:", width_) +
               draw_chart(group_.mean_rows(), style) + '\n';
        return out + wrap("The expected type was the top type in " +
                              std::to_string(group_.expected_on_top()) + " of " +
                              plural(group_.files(), "file.", "files."),
                          width_);
    }

    // "  93 %  12  You like ...", the text's further lines under its first.
    std::string statement_line(const StatementShare& s) const {
        std::string share = percent(s.yes, s.answered);
        share.insert(0, 5 - std::min<std::size_t>(5, share.size()), ' ');
        std::string number = std::to_string(s.statement);
        number.insert(0, 2 - std::min<std::size_t>(2, number.size()), ' ');
        return hanging("  " + share + "  " + number + "  ", statement_texts()[s.statement], width_);
    }

    std::string statements() const {
        const std::vector<StatementShare> shares = group_.statements_by_share();
        const std::string of =
            " (the share of the " + plural(group_.files(), "file", "files") + " answering yes):";
        std::string out;
        if (settings_.all_statements || shares.size() <= 2 * STATEMENTS_EACH_WAY) {
            out += wrap("The statements, from the most agreed with to the least" + of, width_);
            for (const StatementShare& s : shares)
                out += statement_line(s);
            return out;
        }
        out += wrap("The statements most agreed with" + of, width_);
        for (std::size_t i = 0; i < STATEMENTS_EACH_WAY; ++i)
            out += statement_line(shares[i]);
        out += wrap("The statements least agreed with:", width_);
        const std::vector<StatementShare> least = group_.statements_by_share(false);
        for (std::size_t i = 0; i < STATEMENTS_EACH_WAY; ++i)
            out += statement_line(least[i]);
        return out;
    }

    void write_without_expected() {
        if (group_.without_expected() == 0) return;
        write_('\n' + wrap("No expected type, or none of the 16 types, in " +
                               plural(group_.without_expected(), "file:", "files:"),
                           width_));
        const bool utf8 = settings_.style.utf8;
        group_.drain_without_expected(
            [&](std::string_view name) { write_(hanging("  ", displayable(name, utf8), width_)); });
    }

    Settings settings_;
    std::size_t width_;
    Write write_;
    GroupTally group_;
};

}  // namespace

std::unique_ptr<Command> make_summary(const Settings& settings, Write write) {
    return std::make_unique<Summary>(settings, std::move(write));
}

}  // namespace pelorin::results
