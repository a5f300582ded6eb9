// Horizontal bar charts and the lines around them, drawn as text: within a
// given width, with Unicode block elements or '#', the top rows marked with
// '*' and, where escape sequences are allowed, in bold. Texts taken from a
// file reach the output only through displayable(), so no byte of theirs
// can act as a control character.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace pelorin::results {

// Charts are never narrower than this, whatever the window.
inline constexpr int NARROWEST_CHART = 20;

struct ChartStyle {
    int width = 80;       // columns a line may fill
    bool blocks = false;  // bars of Unicode block elements, else of '#'
    bool bold = false;    // the top rows in bold (escape sequences)
    bool utf8 = false;    // the output shows UTF-8: typed UTF-8 text is kept
};

struct ChartRow {
    std::size_t type = 0;  // 1 to 16 in TypeOrder
    std::string value;     // the number as shown beside the bar
    double size = 0;       // the bar is as long as size is against the largest
    bool top = false;      // marked with '*' and emphasised
};

// One line per row: mark, type code, the type's name when the width leaves
// room for it, value and bar. No line is wider than style.width.
std::string draw_chart(std::span<const ChartRow> rows, const ChartStyle& style);

// `text` safe to show: control bytes become '?', and so do bytes above 127
// unless they form UTF-8 characters (other than C1 controls) and `utf8`.
std::string displayable(std::string_view text, bool utf8);
// Columns a displayable text takes at most (2 for a character that may be wide).
std::size_t display_width(std::string_view shown);
// A displayable text cut to `width` columns where it is wider, its last
// column then a mark that it was cut: '~', or an ellipsis.
std::string fitted(std::string_view shown, std::size_t width, bool ellipsis);
// A blank that wrap() never breaks a line at ("80 %", "of 16").
inline constexpr char KEEP_TOGETHER = '\x1f';

// A displayable text in lines of at most `width` columns, each ending in
// '\n', broken at blanks; a word longer than a line is cut.
std::string wrap(std::string_view shown, std::size_t width);
// `shown` wrapped after `lead` (blanks and ASCII), its further lines indented
// as far.
std::string hanging(std::string_view lead, std::string_view shown, std::size_t width);

}  // namespace pelorin::results
