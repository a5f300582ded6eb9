#include "app/results/csv.h"

#include <array>

#include "app/results/commands.h"
#include "app/results/group.h"
#include "app/results/ranking.h"

namespace pelorin::results {
namespace {

// A spreadsheet keeps 15 significant digits of a number.
constexpr std::size_t NUMBER_DIGITS = 15;
// The longest text a formula may hold in one piece.
constexpr std::size_t FORMULA_TEXT = 255;

bool is_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A number a spreadsheet shows exactly as written: no sign, no leading or
// trailing zero, at most 15 digits ("0", "17", "16.6", "0.25").
bool is_plain_number(std::string_view text) {
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
    const auto digits = [](std::string_view s) {
        return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (!digits(whole) || (whole.size() > 1 && whole[0] == '0')) return false;
    if (point != std::string_view::npos && (!digits(fraction) || fraction.back() == '0'))
        return false;
    return whole.size() + fraction.size() - (whole == "0" ? 1 : 0) <= NUMBER_DIGITS;
}

// Words a spreadsheet reads in dates and numbers: months, AM and PM, an
// exponent's E.
bool may_be_number_or_date(std::string_view word) {
    static constexpr std::array<std::string_view, 15> words{"jan", "feb", "mar", "apr", "may",
                                                            "jun", "jul", "aug", "sep", "oct",
                                                            "nov", "dec", "am",  "pm",  "e"};
    std::string w;
    for (const char c : word)
        w += lower(c);
    for (const std::string_view known : words)
        if (w == known || (known.size() == 3 && w.size() > 3 && w.starts_with(known))) return true;
    return w == "a" || w == "p";
}

bool spreadsheet_keeps(std::string_view text) {
    if (text.empty()) return true;
    // Formulas, signs, error values.
    if (std::string_view("=+-@#\t\r\n ").find(text[0]) != std::string_view::npos) return false;
    std::string lowered;
    for (const char c : text)
        lowered += lower(c);
    if (lowered == "true" || lowered == "false") return false;
    if (text.find_first_of("0123456789") == std::string_view::npos) return true;
    if (is_plain_number(text)) return true;
    // Digits with a word no date or number has: a text ("r01", "ILE (80)").
    for (std::size_t at = 0; at < text.size();) {
        if (!is_letter(text[at]) && static_cast<unsigned char>(text[at]) < 0x80) {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < text.size() &&
               (is_letter(text[end]) || static_cast<unsigned char>(text[end]) >= 0x80))
            ++end;
        if (!may_be_number_or_date(text.substr(at, end - at))) return true;
        at = end;
    }
    return false;
}

std::string rfc4180(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (const char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + '"';
}

// ="text", in pieces joined with & where it is long.
std::string formula(std::string_view text) {
    std::string out = "=";
    for (std::size_t at = 0; at < text.size() || at == 0; at += FORMULA_TEXT) {
        if (at > 0) out += '&';
        out += '"';
        for (const char c : text.substr(at, FORMULA_TEXT))
            out += c == '"' ? std::string("\"\"") : std::string(1, c);
        out += '"';
    }
    return out;
}

std::string header() {
    std::string out = "name,file";
    for (std::size_t t = 1; t <= TYPE_COUNT; ++t)
        out += ',' + std::string(TypeOrder[t]);
    out += ",top,expected,expected_rank,match,confidence,expected_text";
    for (std::size_t q = 1; q < statement_texts().size(); ++q)
        out += ",q" + std::to_string(q);
    return out + "\r\n";
}

class Csv : public Command {
  public:
    Csv(const Settings& settings, Write write)
        : terminal_(settings.terminal), utf8_(settings.style.utf8), write_(std::move(write)) {
        write_(header());
    }

    void add(const Person& person) override {
        const typetest::ResultsRecord& r = person.record;
        std::string row = field(person.name) + ',' + field(person.path);
        for (std::size_t t = 1; t <= TYPE_COUNT; ++t)
            row += ',' + field(r.score_texts[t]);
        row += ',' + top_codes(person) + ',';
        if (person.expected != 0)
            row += std::string(TypeOrder[person.expected]) + ',' +
                   std::to_string(person.expected_rank) + ',' +
                   (person.expected_rank == 1 ? '1' : '0');
        else
            row += ",,";
        row += ',' + field(r.confidence) + ',' + field(r.expected_type);
        for (std::size_t q = 0; q + 1 < statement_texts().size(); ++q)
            row += q < r.answers.size() ? std::string{',', r.answers[q]} : std::string(",");
        write_(row + "\r\n");
    }
    void finish(std::size_t) override {}

  private:
    // On a terminal, no byte of a file's acts on it.
    std::string field(std::string_view text) const {
        return csv_field(terminal_ ? displayable(text, utf8_) : text);
    }

    bool terminal_;
    bool utf8_;
    Write write_;
};

}  // namespace

std::string csv_field(std::string_view text) {
    return rfc4180(spreadsheet_keeps(text) ? std::string(text) : formula(text));
}

std::unique_ptr<Command> make_csv(const Settings& settings, Write write) {
    return std::make_unique<Csv>(settings, std::move(write));
}

}  // namespace pelorin::results
