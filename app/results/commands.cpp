#include "app/results/commands.h"

#include <algorithm>
#include <array>

#include "app/results/ranking.h"
#include "app/results/spool.h"

namespace pelorin::results {
namespace {

bool is_plain_number(std::string_view s) {
    return !s.empty() && s.find_first_not_of("0123456789.") == std::string_view::npos &&
           s.find_first_of("0123456789") != std::string_view::npos;
}

std::string confidence_in_parentheses(std::string_view typed, bool utf8) {
    typed = trim_blanks(typed);
    if (typed.empty()) return {};
    // The confidence was asked for in per cent.
    std::string shown = displayable(typed, utf8);
    if (is_plain_number(typed)) shown += std::string(1, KEEP_TOGETHER) + '%';
    return " (" + shown + ')';
}

// Eight bytes that compare as `value` does, the largest first.
std::string descending(std::uint64_t value) {
    std::string out(8, '\0');
    for (int i = 7; i >= 0; --i, value >>= 8)
        out[static_cast<std::size_t>(i)] = static_cast<char>(~value & 0xFF);
    return out;
}

std::string name_key(const Person& person) {
    std::string key;
    for (const char c : person.name)
        key += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return key + '\0' + person.name + '\0' + person.path;
}

// The number a confidence starts with ("80", "100 %", "55.5"), in
// thousandths; nothing for a text that starts otherwise.
std::optional<std::uint64_t> confidence_value(std::string_view typed) {
    typed = trim_blanks(typed);
    std::uint64_t value = 0;
    std::size_t at = 0;
    constexpr std::uint64_t most = 1'000'000'000'000'000;
    for (; at < typed.size() && typed[at] >= '0' && typed[at] <= '9'; ++at)
        value = std::min(most, value * 10 + static_cast<std::uint64_t>(typed[at] - '0'));
    if (at == 0) return std::nullopt;
    value = std::min(most, value * 1000);
    if (at < typed.size() && typed[at] == '.')
        for (std::uint64_t scale = 100; ++at < typed.size() && typed[at] >= '0' && typed[at] <= '9';
             scale /= 10)
            value += static_cast<std::uint64_t>(typed[at] - '0') * scale;
    return value;
}

class Show : public Command {
  public:
    Show(const Settings& settings, Write write)
        : style_(settings.style), write_(std::move(write)) {}

    void add(const Person& person) override {
        if (any_) write_("\n");
        any_ = true;
        std::vector<ChartRow> rows;
        const typetest::ResultsRecord& r = person.record;
        for (const std::size_t t : rank_order(r.scores))
            rows.push_back(
                {t, r.score_texts[t], static_cast<double>(r.scores[t]),
                 std::find(person.top.begin(), person.top.end(), t) != person.top.end()});
        std::string header = displayable(person.name, style_.utf8);
        if (person.path != person.name)
            header += " (" + displayable(person.path, style_.utf8) + ')';
        const auto width = static_cast<std::size_t>(std::max(style_.width, NARROWEST_CHART));
        write_(wrap(header + ": " + top_sentence(person), width) + '\n' + draw_chart(rows, style_) +
               '\n' + wrap(expected_sentence(person, style_.utf8), width));
    }
    void finish(std::size_t) override {}

  private:
    ChartStyle style_;
    Write write_;
    bool any_ = false;
};

}  // namespace

std::string top_codes(const Person& person) {
    std::string out;
    for (const std::size_t t : person.top) {
        if (!out.empty()) out += '+';
        out += TypeOrder[t];
    }
    return out;
}

std::string top_sentence(const Person& person) {
    const std::vector<std::size_t>& top = person.top;
    const std::string& score = person.record.score_texts[top[0]];
    if (top.size() == 1)
        return std::string(TypeOrder[top[0]]) + ' ' + std::string(TypeNames[top[0]]) +
               " comes out on top with " + score + '.';
    return type_list(top) + " share the top with " + score + '.';
}

std::string expected_sentence(const Person& person, bool utf8) {
    const typetest::ResultsRecord& r = person.record;
    const std::string typed = displayable(r.expected_type, utf8);
    if (typed.find_first_not_of(" \t") == std::string::npos) return "No expected type was given.";
    const std::string confidence = confidence_in_parentheses(r.confidence, utf8);
    const std::size_t t = person.expected;
    if (t == 0)
        return "You expected \"" + typed + '"' + confidence + ", which is not one of the 16 types.";
    std::string out = "You expected " + std::string(TypeOrder[t]) + confidence + ": it ranks " +
                      ordinal(person.expected_rank) + " of" + KEEP_TOGETHER + "16";
    const std::vector<std::size_t> tied = tied_with(r.scores, t);
    if (!tied.empty()) out += ", tied with " + type_list(tied);
    return out + '.';
}

std::string sort_key(const Person& person, SortKey sort) {
    switch (sort) {
        case SortKey::read:
            return {};
        case SortKey::name:
            return name_key(person);
        case SortKey::top: {
            // By top type, then the highest top score first.
            const auto score = static_cast<std::uint64_t>(person.record.scores[person.top[0]]);
            return static_cast<char>(person.top[0]) + descending(score ^ (1ULL << 63)) +
                   name_key(person);
        }
        case SortKey::rank:
            return static_cast<char>(person.expected == 0 ? TYPE_COUNT + 1 : person.expected_rank) +
                   name_key(person);
        case SortKey::confidence: {
            // The most confident first; a confidence that is no number last.
            const std::optional<std::uint64_t> value = confidence_value(person.record.confidence);
            return (value ? '\0' + descending(*value) : std::string(1, '\1')) + name_key(person);
        }
    }
    return {};
}

std::unique_ptr<Command> make_command(CommandKind kind, const Settings& settings, Write write) {
    switch (kind) {
        case CommandKind::show:
            return std::make_unique<Show>(settings, std::move(write));
        case CommandKind::table:
            return make_table(settings, std::move(write));
        case CommandKind::csv:
            return make_csv(settings, std::move(write));
        case CommandKind::summary:
            return make_summary(settings, std::move(write));
        case CommandKind::html:
            return make_html(settings, std::move(write));
    }
    return nullptr;
}

}  // namespace pelorin::results
