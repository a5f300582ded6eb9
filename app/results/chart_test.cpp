#include "app/results/chart.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace pelorin::results {
namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

const std::vector<ChartRow> rows{
    {10, "20.84", 20.84, true}, {1, "16.6", 16.6, false}, {7, "0", 0, false}};

TEST(Chart, NamesWhenThereIsRoomAndBarsToTheWidth) {
    ChartStyle plain{60, false, false, false};
    EXPECT_EQ(
        lines_of(draw_chart(rows, plain)),
        (std::vector<std::string>{"* LII  logical-intuitive introtim  20.84 ###################",
                                  "  ILE  intuitive-logical extratim   16.6 ###############",
                                  "  SEE  sensory-ethical extratim        0"}));
    plain.width = 40;
    EXPECT_EQ(lines_of(draw_chart(rows, plain)),
              (std::vector<std::string>{"* LII 20.84 ############################",
                                        "  ILE  16.6 ######################", "  SEE     0"}));
}

TEST(Chart, BlocksInEighthsAndTheTopInBold) {
    const ChartStyle fancy{20, true, true, true};  // 12 cells of bar
    const std::vector<ChartRow> eighths{
        {1, "8", 8, true}, {2, "1", 1, false}, {3, "2", 2.5, false}, {4, "0", 0.1, false}};
    const std::vector<std::string> got = lines_of(draw_chart(eighths, fancy));
    std::string full;
    for (int i = 0; i < 12; ++i)
        full += "\u2588";
    EXPECT_EQ(got[0], "\x1b[1m* ILE 8 " + full + "\x1b[0m");
    EXPECT_EQ(got[1], "  LIE 1 \u2588\u258c") << "1.5 cells";
    EXPECT_EQ(got[2], "  IEE 2 \u2588\u2588\u2588\u258a") << "3.75 cells";
    EXPECT_EQ(got[3], "  EIE 0 \u258f") << "an eighth";
}

TEST(Chart, NoLineWiderThanTheWindow) {
    const std::vector<ChartRow> wide{{5, "123456789", 123456789, true},
                                     {6, "-0.123456", -1, false}};
    for (int width = NARROWEST_CHART; width <= 130; ++width) {
        for (const bool blocks : {false, true}) {
            const ChartStyle style{width, blocks, false, true};
            for (const std::string& line : lines_of(draw_chart(wide, style)))
                ASSERT_LE(display_width(line), static_cast<std::size_t>(width)) << line;
        }
    }
}

TEST(Chart, DisplayableTexts) {
    const std::tuple<std::string, bool, std::string> cases[] = {
        {"ILE (80 %)", false, "ILE (80 %)"},
        {"a\x1b[31mb\r\n\x7f", true, "a?[31mb???"},
        {"\xc3\xa9t\xc3\xa9", true, "\xc3\xa9t\xc3\xa9"},
        {"\xc3\xa9t\xc3\xa9", false, "??t??"},
        {"\xc2\x9b"
         "1m",
         true, "??1m"},              // C1 CSI
        {"\xe9t\xe9", true, "?t?"},  // Latin-1 bytes
        {"\xed\xa0\x80 \xf4\x90\x80\x80 \xe2\x82", true,
         "??? ???? ??"},  // surrogate, > U+10FFFF, cut
        {"\xe4\xb8\xad\xf0\x9f\x98\x80", true, "\xe4\xb8\xad\xf0\x9f\x98\x80"},
    };
    for (const auto& [text, utf8, shown] : cases)
        EXPECT_EQ(displayable(text, utf8), shown) << text;
    EXPECT_EQ(display_width("a\xc3\xa9"), 2U);
    EXPECT_EQ(display_width("\xe4\xb8\xad"), 2U) << "may be wide";
}

TEST(Chart, WrapsAtBlanksAndCutsLongWords) {
    const std::tuple<std::string, std::size_t, std::string> cases[] = {
        {"You expected LII (80\x1f%): it ranks 3rd of\x1f"
         "16.",
         20, "You expected LII\n(80 %): it ranks 3rd\nof 16.\n"},
        {"short", 20, "short\n"},
        {"", 20, "\n"},
        {"a  b", 20, "a b\n"},
        {"abcdefghijklmnopqrstuvwxyz0123456789 x", 20,
         "abcdefghijklmnopqrst\nuvwxyz0123456789 x\n"},
        {"\xc3\xa9\xc3\xa9\xc3\xa9", 2, "\xc3\xa9\xc3\xa9\n\xc3\xa9\n"},
    };
    for (const auto& [text, width, wrapped] : cases)
        EXPECT_EQ(wrap(text, width), wrapped) << text;
}

}  // namespace
}  // namespace pelorin::results
