#include "app/results/chart.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace pelorin::results {
namespace {

TEST(Chart, BlocksInEighthsAndTheTopInBold) {
    const ChartStyle fancy{20, true, true, true};  // "* ILE 8 " and 12 cells of bar
    const std::vector<ChartRow> rows{
        {1, "8", 8, true}, {2, "1", 1, false}, {3, "2", 2.5, false}, {4, "0", 0.1, false}};
    std::string full;
    for (int i = 0; i < 12; ++i)
        full += "\u2588";
    EXPECT_EQ(draw_chart(rows, fancy), "\x1b[1m* ILE 8 " + full + "\x1b[0m\n" +
                                           "  LIE 1 \u2588\u258c\n"              // 1.5 cells
                                           "  IEE 2 \u2588\u2588\u2588\u258a\n"  // 3.75 cells
                                           "  EIE 0 \u258f\n");                  // an eighth
}

TEST(Chart, DisplayableTexts) {
    const std::tuple<std::string, bool, std::string> cases[] = {
        {"a\x1b[31mb\r\n\x7f", true, "a?[31mb???"},
        {"\xc3\xa9t\xc3\xa9", true, "\xc3\xa9t\xc3\xa9"},
        {"\xc3\xa9t\xc3\xa9", false, "??t??"},
        {"\xc2\x9b"
         "1m",
         true, "??1m"},              // C1 CSI
        {"\xe9t\xe9", true, "?t?"},  // Latin-1 bytes
        {"\xed\xa0\x80 \xf4\x90\x80\x80 \xe2\x82", true,
         "??? ???? ??"},  // surrogate, too high, cut
    };
    for (const auto& [text, utf8, shown] : cases)
        EXPECT_EQ(displayable(text, utf8), shown) << text;
    EXPECT_EQ(display_width("a\xc3\xa9\xe2\x96\x88"), 3U);
    EXPECT_EQ(display_width("\xe4\xb8\xad"), 2U) << "wide";
    const std::tuple<std::string, std::size_t, bool, std::string> cut[] = {
        {"alice", 5, false, "alice"},
        {"alice", 4, false, "ali~"},
        {"alice", 4, true, "ali\u2026"},
        {"a\xe4\xb8\xad\xe4\xb8\xad"
         "b",
         5, false, "a\xe4\xb8\xad~"},  // no wide character cut in two
    };
    for (const auto& [shown, width, ellipsis, out] : cut)
        EXPECT_EQ(fitted(shown, width, ellipsis), out) << shown << ' ' << width;
    EXPECT_EQ(hanging("  1  ", "one two three", 12), "  1  one two\n     three\n");
}

}  // namespace
}  // namespace pelorin::results
