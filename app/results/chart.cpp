#include "app/results/chart.h"

#include <algorithm>
#include <cmath>

#include "app/results/ranking.h"
#include "platform/utf8.h"

namespace pelorin::results {
namespace {

constexpr std::string_view BOLD = "\x1b[1m";
constexpr std::string_view PLAIN = "\x1b[0m";
constexpr std::string_view FULL_BLOCK = "\u2588";
// The left one to seven eighths of a block.
constexpr std::string_view PARTIAL_BLOCKS[8] = {"",       "\u258f", "\u258e", "\u258d",
                                                "\u258c", "\u258b", "\u258a", "\u2589"};
// Names are shown when they leave a bar at least this long.
constexpr int BAR_WITH_NAMES = 16;

// Length of the UTF-8 character beyond ASCII at the start of `s`, 0 when
// the bytes are not one (or encode a C1 control, U+0080 to U+009F).
std::size_t utf8_character(std::string_view s) {
    const std::optional<platform::Utf8Character> c = platform::decode_utf8(s);
    return c && c->code_point >= 0xA0 ? c->length : 0;
}

// Length of the character at the start of a displayable text.
std::size_t character_length(std::string_view shown) {
    const std::size_t n = utf8_character(shown);
    return n == 0 ? 1 : n;
}

// Characters of the East Asian wide and full-width ranges, and emoji, take
// two columns; block elements and every other character one.
std::size_t character_width(std::string_view character) {
    const std::optional<platform::Utf8Character> decoded = platform::decode_utf8(character);
    if (!decoded || decoded->length == 1) return 1;
    const char32_t c = decoded->code_point;
    constexpr std::pair<char32_t, char32_t> wide[] = {
        {0x1100, 0x115F},   {0x2E80, 0x303E},  {0x3041, 0xA4CF}, {0xAC00, 0xD7A3},
        {0xF900, 0xFAFF},   {0xFE30, 0xFE4F},  {0xFF00, 0xFF60}, {0xFFE0, 0xFFE6},
        {0x1F300, 0x1FAFF}, {0x20000, 0x3FFFD}};
    for (const auto& [first, last] : wide)
        if (c >= first && c <= last) return 2;
    return 1;
}

std::string bar(double cells, bool blocks) {
    if (!(cells > 0)) return {};
    if (!blocks) return std::string(static_cast<std::size_t>(std::lround(cells)), '#');
    const long eighths = std::lround(cells * 8);
    std::string out;
    for (long i = 0; i < eighths / 8; ++i)
        out += FULL_BLOCK;
    return out += PARTIAL_BLOCKS[eighths % 8];
}

std::string padded(std::string_view text, std::size_t width, bool right_aligned) {
    const std::string blanks(width - std::min(width, display_width(text)), ' ');
    return right_aligned ? blanks + std::string(text) : std::string(text) + blanks;
}

}  // namespace

std::string draw_chart(std::span<const ChartRow> rows, const ChartStyle& style) {
    std::size_t value_width = 0;
    double largest = 0;
    for (const ChartRow& row : rows) {
        value_width = std::max(value_width, display_width(row.value));
        largest = std::max(largest, row.size);
    }
    // "* ILE " and the value with a blank after it; with names, "* ILE  ",
    // the name and two blanks before the value.
    const int narrow = static_cast<int>(6 + value_width + 1);
    const int named = narrow + 1 + static_cast<int>(LONGEST_TYPE_NAME) + 2;
    const int width = std::max(style.width, NARROWEST_CHART);
    const bool names = width - named >= BAR_WITH_NAMES;
    const int cells = std::max(width - (names ? named : narrow), 1);
    std::string out;
    for (const ChartRow& row : rows) {
        std::string line = row.top ? "* " : "  ";
        line += TypeOrder[row.type];
        line += names ? "  " + padded(TypeNames[row.type], LONGEST_TYPE_NAME, false) + "  " : " ";
        line += padded(row.value, value_width, true);
        const std::string drawn = bar(largest > 0 ? row.size / largest * cells : 0, style.blocks);
        if (!drawn.empty()) line.append(1, ' ').append(drawn);
        if (row.top && style.bold) line.insert(0, BOLD).append(PLAIN);
        out += line + '\n';
    }
    return out;
}

std::string displayable(std::string_view text, bool utf8) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t n = c >= 0x80 && utf8 ? utf8_character(text.substr(i)) : 0;
        if (n > 0) {
            out += text.substr(i, n);
            i += n;
            continue;
        }
        out += c < 0x20 || c >= 0x7F ? '?' : static_cast<char>(c);
        ++i;
    }
    return out;
}

std::size_t display_width(std::string_view shown) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < shown.size();) {
        const std::size_t n = character_length(shown.substr(i));
        width += character_width(shown.substr(i, n));
        i += n;
    }
    return width;
}

std::string wrap(std::string_view shown, std::size_t width) {
    std::string out;
    std::string line;
    std::size_t used = 0;
    const auto end_line = [&] {
        out += line + '\n';
        line.clear();
        used = 0;
    };
    std::size_t at = 0;
    while (at < shown.size()) {
        const std::size_t word_end = std::min(shown.find(' ', at), shown.size());
        const std::string_view word = shown.substr(at, word_end - at);
        at = word_end + 1;
        if (word.empty()) continue;
        if (used > 0 && used + 1 + display_width(word) <= width) {
            line += ' ';
            ++used;
        } else if (used > 0) {
            end_line();
        }
        for (std::size_t i = 0; i < word.size();) {
            const std::size_t n = character_length(word.substr(i));
            const std::size_t w = character_width(word.substr(i, n));
            if (used > 0 && used + w > width) end_line();
            line += word[i] == KEEP_TOGETHER ? std::string(1, ' ') : std::string(word.substr(i, n));
            used += w;
            i += n;
        }
    }
    if (used > 0 || out.empty()) end_line();
    return out;
}

}  // namespace pelorin::results
