#include "app/results/ranking.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <optional>

#include "platform/code_page.h"
#include "platform/utf8.h"
#include "textio/text_ops.h"

namespace pelorin::results {

const std::array<std::string_view, TYPE_COUNT + 1> TypeNames{"",
                                                             "intuitive-logical extratim",
                                                             "logical-intuitive extratim",
                                                             "intuitive-ethical extratim",
                                                             "ethical-intuitive extratim",
                                                             "sensory-logical extratim",
                                                             "logical-sensory extratim",
                                                             "sensory-ethical extratim",
                                                             "ethical-sensory extratim",
                                                             "intuitive-logical introtim",
                                                             "logical-intuitive introtim",
                                                             "intuitive-ethical introtim",
                                                             "ethical-intuitive introtim",
                                                             "sensory-logical introtim",
                                                             "logical-sensory introtim",
                                                             "sensory-ethical introtim",
                                                             "ethical-sensory introtim"};

namespace {

// The four-letter form of each type, in TypeOrder: ILE is ENTp.
constexpr std::array<std::string_view, TYPE_COUNT + 1> four_letter_forms{
    "",     "ENTP", "ENTJ", "ENFP", "ENFJ", "ESTP", "ESTJ", "ESFP", "ESFJ",
    "INTP", "INTJ", "INFP", "INFJ", "ISTP", "ISTJ", "ISFP", "ISFJ"};

// The Latin letter of a Cyrillic letter of the Russian type codes: ИЛЭ is
// ILE, ЛСИ is LSI. Only И, Л, Э and С appear in them.
char latin_letter(char32_t c) {
    switch (c) {
        case 0x0418:  // И
        case 0x0438:  // и
            return 'I';
        case 0x041B:  // Л
        case 0x043B:  // л
            return 'L';
        case 0x042D:  // Э
        case 0x044D:  // э
            return 'E';
        case 0x0421:  // С
        case 0x0441:  // с
            return 'S';
        default:
            return 0;
    }
}

// The code point of a two-byte UTF-8 character at the start of `s`, or
// nothing. The four letters are all two bytes long in UTF-8.
std::optional<char32_t> two_byte_character(std::string_view s) {
    const std::optional<platform::Utf8Character> c = platform::decode_utf8(s);
    if (!c || c->length != 2) return std::nullopt;
    return c->code_point;
}

// A typed type code with its Cyrillic letters made Latin. A UTF-8 terminal
// stores them as UTF-8; a Cyrillic Windows console as code page 866. Other
// bytes stay as they are.
std::string latin_type_letters(std::string_view typed) {
    std::string out;
    for (std::size_t i = 0; i < typed.size();) {
        const auto byte = static_cast<std::uint8_t>(typed[i]);
        const std::optional<char32_t> utf8 = two_byte_character(typed.substr(i));
        const std::size_t n = utf8 ? 2 : 1;
        const char32_t c = utf8 ? *utf8
                           : byte >= 0x80
                               ? platform::code_page_to_unicode(platform::CodePage::cp866, byte)
                               : byte;
        if (const char latin = latin_letter(c))
            out += latin;
        else
            out += typed.substr(i, n);
        i += n;
    }
    return out;
}

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if (a % b != 0 && (a < 0) != (b < 0)) --q;
    return q;
}

}  // namespace

std::string_view trim_blanks(std::string_view typed) {
    const std::size_t first = typed.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return typed.substr(first, typed.find_last_not_of(" \t") - first + 1);
}

std::array<std::size_t, TYPE_COUNT> rank_order(const Scores& scores) {
    std::array<std::size_t, TYPE_COUNT> order{};
    std::iota(order.begin(), order.end(), std::size_t{1});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return scores[a] > scores[b]; });
    return order;
}

std::vector<std::size_t> top_types(const Scores& scores) {
    const std::int64_t best = *std::max_element(scores.begin() + 1, scores.end());
    std::vector<std::size_t> top;
    for (std::size_t t = 1; t <= TYPE_COUNT; ++t)
        if (scores[t] == best) top.push_back(t);
    return top;
}

int rank_of(const Scores& scores, std::size_t t) {
    int higher = 0;
    for (std::size_t u = 1; u <= TYPE_COUNT; ++u)
        if (scores[u] > scores[t]) ++higher;
    return higher + 1;
}

std::vector<std::size_t> tied_with(const Scores& scores, std::size_t t) {
    std::vector<std::size_t> tied;
    for (std::size_t u = 1; u <= TYPE_COUNT; ++u)
        if (u != t && scores[u] == scores[t]) tied.push_back(u);
    return tied;
}

std::size_t named_type(std::string_view typed) {
    const textio::Text name = textio::text_upper(trim_blanks(latin_type_letters(typed)));
    for (std::size_t t = 1; t <= TYPE_COUNT; ++t)
        if (name == TypeOrder[t] || name == four_letter_forms[t]) return t;
    return 0;
}

std::string ordinal(int n) {
    const int last = n % 10;
    const bool teen = n % 100 >= 11 && n % 100 <= 13;
    const char* suffix = teen || last > 3 || last == 0 ? "th"
                         : last == 1                   ? "st"
                         : last == 2                   ? "nd"
                                                       : "rd";
    return std::to_string(n) + suffix;
}

std::string type_list(const std::vector<std::size_t>& types) {
    std::string out;
    for (std::size_t i = 0; i < types.size(); ++i) {
        if (i > 0) out += i + 1 == types.size() ? " and " : ", ";
        out += TypeOrder[types[i]];
    }
    return out;
}

std::int64_t mean_hundredths(std::span<const std::int64_t> values) {
    const auto n = static_cast<std::int64_t>(values.size());
    if (n == 0) return 0;
    // The sum kept as q * n + r with 0 <= r < n: nothing grows past the
    // largest value, however many values there are.
    std::int64_t q = 0;
    std::int64_t r = 0;
    for (const std::int64_t v : values) {
        const std::int64_t vq = floor_div(v, n);
        q += vq;
        r += v - vq * n;
        if (r >= n) r -= n, ++q;
    }
    // The mean is q + r / n units: h hundredths and a fraction of one.
    constexpr std::int64_t hundredth = typetest::SCORE_UNITS_PER_ONE / 100;
    const std::int64_t h = floor_div(q, hundredth);
    const std::int64_t twice_fraction = 2 * ((q - h * hundredth) * n + r);
    const std::int64_t one = hundredth * n;
    const bool up = twice_fraction > one || (twice_fraction == one && h >= 0);
    return h + (up ? 1 : 0);
}

std::string hundredths_text(std::int64_t hundredths) {
    const std::int64_t magnitude = std::llabs(hundredths);
    const std::int64_t cents = magnitude % 100;
    std::string out = hundredths < 0 ? "-" : "";
    out += std::to_string(magnitude / 100);
    out += cents < 10 ? ".0" : ".";
    return out += std::to_string(cents);
}

}  // namespace pelorin::results
