#include "textio/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "textio/number_text_internal.h"

namespace pelorin::textio {
namespace {

// Nine significant digits identify a single exactly.
std::string nine_digits(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v));
    return buf;
}

TEST(TextToSingle, BankWeightTextsBecomeTheNearestSingles) {
    const struct {
        const char* text;
        const char* single;
    } table[] = {{"0", "0"},
                 {"0.1", "0.100000001"},
                 {"0.2", "0.200000003"},
                 {"0.25", "0.25"},
                 {"0.3", "0.300000012"},
                 {"0.35", "0.349999994"},
                 {"0.4", "0.400000006"},
                 {"0.5", "0.5"},
                 {"0.6", "0.600000024"},
                 {"0.65", "0.649999976"},
                 {"0.7", "0.699999988"},
                 {"0.75", "0.75"},
                 {"0.8", "0.800000012"},
                 {"0.9", "0.899999976"}};
    for (const auto& row : table)
        EXPECT_EQ(nine_digits(text_to_single(row.text)), row.single) << row.text;
}

TEST(TextToSingle, LeadingPartAndOddItems) {
    EXPECT_EQ(text_to_single("   0.25"), 0.25f);
    EXPECT_EQ(text_to_single(""), 0.0f);
    EXPECT_EQ(text_to_single("   "), 0.0f);
    EXPECT_EQ(text_to_single("abc"), 0.0f);
    EXPECT_EQ(text_to_single("0.5abc"), 0.5f);
    EXPECT_EQ(text_to_single("-0.5"), -0.5f);
    EXPECT_EQ(text_to_single("+3"), 3.0f);
    EXPECT_EQ(text_to_single("1e2"), 100.0f);
    EXPECT_EQ(text_to_single("1E+2x"), 100.0f);
    EXPECT_EQ(text_to_single("2e"), 2.0f);  // an exponent without digits is not part of it
    EXPECT_EQ(text_to_single(".5"), 0.5f);
    EXPECT_EQ(text_to_single("5."), 5.0f);
    EXPECT_EQ(text_to_single("."), 0.0f);
    EXPECT_EQ(text_to_single("-"), 0.0f);
    EXPECT_EQ(text_to_single(" \t7"), 7.0f);  // blanks, then the decimal reading's own white space
    EXPECT_EQ(text_to_single("1e-400"), 0.0f);
    EXPECT_TRUE(std::isinf(text_to_single("1e400")));
    // The reading goes through the nearest double: the tiny excess over the
    // midpoint between two singles is lost there, and the tie goes to even.
    EXPECT_EQ(nine_digits(text_to_single("16777217.000000001")), "16777216");
    EXPECT_EQ(nine_digits(text_to_single("16777219")), "16777220");
}

TEST(TextToSingle, LongDecimalsGoThroughTheNearestDouble) {
    const std::string zeros(400, '0');
    const struct {
        std::string text;
        const char* single;
    } table[] = {{"0." + zeros + "1", "0"},  // 1e-401 is nearer to 0 than to any double
                 {"1" + zeros + "e-1", "inf"},
                 {"0." + zeros + "1e401", "1"},
                 {"1" + zeros + "e-400", "1"},
                 {"-0." + zeros + "25e401", "-2.5"},
                 {std::string(1000, '3') + "e-1000", "0.333333343"},
                 // Within half a double's spacing of a midpoint between two
                 // singles: the double is the midpoint, which goes to even.
                 {"16777217." + zeros + "1", "16777216"}};
    for (const auto& row : table)
        EXPECT_EQ(nine_digits(text_to_single(row.text)), row.single) << row.text.substr(0, 12);
}

TEST(TextToSingle, RadixForms) {
    EXPECT_EQ(text_to_single("&H1F"), 31.0f);
    EXPECT_EQ(text_to_single("&hff"), 255.0f);
    EXPECT_EQ(text_to_single("&HaB"), 171.0f);
    EXPECT_EQ(text_to_single("&B101"), 5.0f);
    EXPECT_EQ(text_to_single("&o17"), 15.0f);
    EXPECT_EQ(text_to_single("  &O10"), 8.0f);
    EXPECT_EQ(text_to_single("&HFFFFFFFF"), -1.0f);  // wraps as a signed 32-bit number
    EXPECT_EQ(text_to_single("&H100000001"), 1.0f);
    EXPECT_EQ(text_to_single("&H"), 0.0f);
    EXPECT_EQ(text_to_single("&B2"), 2.0f);   // digits are not validated
    EXPECT_EQ(text_to_single("&HG"), 16.0f);  // 'G' is code - 55, not above 16
    EXPECT_EQ(text_to_single("&X1"), 0.0f);   // not a radix prefix: no leading number
}

TEST(FormatSingle, StringAndPrintForms) {
    const struct {
        float v;
        const char* str;
        const char* print;
    } table[] = {{0.0f, "0", " 0"},
                 {1.0f, "1", " 1"},
                 {0.5f, "0.5", " 0.5"},
                 {0.1f, "0.1", " 0.1"},
                 {3.15f, "3.15", " 3.15"},
                 {12.34f, "12.34", " 12.34"},
                 {16.6f, "16.6", " 16.6"},
                 {100.0f, "100", " 100"},
                 {2.0f / 3.0f, "0.6666667", " 0.6666667"},
                 {-0.5f, "-0.5", "-0.5"},
                 {7.0f, "7", " 7"},
                 {17.69f, "17.69", " 17.69"},
                 {20.84f, "20.84", " 20.84"},
                 {7.19f, "7.19", " 7.19"},
                 {1234567.0f, "1234567", " 1234567"},
                 {9999999.0f, "9999999", " 9999999"},
                 {-1.0f, "-1", "-1"}};
    for (const auto& row : table) {
        EXPECT_EQ(format_str_single(row.v), row.str) << row.str;
        EXPECT_EQ(format_print_single(row.v), row.print) << row.str;
    }
}

TEST(FormatSingle, EveryHundredthFromATenthToOneHundredComesBackAsItsDecimal) {
    for (int n = 10; n < 10000; ++n) {
        std::string expected = std::to_string(n / 100);
        const int cents = n % 100;
        if (cents != 0) {
            expected += '.';
            expected += static_cast<char>('0' + cents / 10);
            if (cents % 10 != 0) expected += static_cast<char>('0' + cents % 10);
        }
        const auto v = static_cast<float>(n / 100.0);
        ASSERT_EQ(format_str_single(v), expected) << n;
        std::string print_form(1, ' ');
        print_form += expected;
        ASSERT_EQ(format_print_single(v), print_form) << n;
    }
}

TEST(FormatSingle, OutsideTheDecimalRangeUsesAnExponent) {
    EXPECT_EQ(format_str_single(1e7f), "1e+07");
    EXPECT_EQ(format_str_single(12345678.0f), "1.234568e+07");
    EXPECT_EQ(format_str_single(0.05f), "5e-02");
    EXPECT_EQ(format_str_single(0.09f), "9e-02");
    EXPECT_EQ(format_str_single(0.099999994f), "9.999999e-02");
    EXPECT_EQ(format_print_single(0.05f), " 5e-02");
    EXPECT_EQ(format_str_single(-2.5e-10f), "-2.5e-10");
    EXPECT_EQ(format_str_single(9999999.5f), "1e+07");  // rounds up out of the range
}

TEST(FormatUsing, StatementNumbers) {
    const struct {
        float v;
        const char* text;
    } table[] = {{1, "Q  1: "}, {7, "Q  7: "},   {10, "Q 10: "},       {54, "Q 54: "},
                 {0, "Q  0: "}, {999, "Q999: "}, {1000, "Q100%e+1: "}, {12345, "Q123%e+2: "}};
    for (const auto& row : table)
        EXPECT_EQ(format_using("Q###: ", row.v), row.text) << row.text;
    for (int q = 0; q <= 999; ++q)
        ASSERT_EQ(format_using("Q###: ", static_cast<float>(q)).size(), 6u);
}

TEST(FormatUsing, WholeNumbersAsTheRoundingThroughDoublesWritesThem) {
    // Every whole number up to 10001 in fields of one to four places: each
    // statement number a bank of 255 slots can show, and the field overflowing.
    // Up to 1001 the halves and quarters between them too, which only the
    // rounding through doubles writes.
    for (int width = 1; width <= 4; ++width) {
        const std::string field(static_cast<std::size_t>(width), '#');
        for (int quarters = -8; quarters <= 4 * 10'001; quarters += quarters < 4 * 1'001 ? 1 : 4) {
            const float v = static_cast<float>(quarters) / 4;
            ASSERT_EQ(format_using(field, v), rounded_number_field(v, width)) << v << " " << field;
        }
    }
}

TEST(FormatUsing, RoundingOfFractions) {
    // The bias makes a single's exact half go up; a fraction below one half goes down.
    EXPECT_EQ(format_using("###", 2.5f), "  3");
    EXPECT_EQ(format_using("###", 12.5f), " 13");
    EXPECT_EQ(format_using("###", 2.4f), "  2");
    EXPECT_EQ(format_using("###", 2.6f), "  3");
}

TEST(FormatUsing, LiteralsAndSteps) {
    EXPECT_EQ(format_using("No_#: ##!", 5), "No#:  5!");
    EXPECT_EQ(format_using("plain", 5), "plain");
    pattern_begin("[##]");
    EXPECT_EQ(pattern_value(4), "[ 4]");
    // A value step with nothing left starts again from the pattern's beginning.
    EXPECT_EQ(pattern_value(12), "[12]");
    EXPECT_EQ(pattern_end(), "");
    pattern_begin("#-#");
    EXPECT_EQ(pattern_value(1), "1-");
    EXPECT_EQ(pattern_end(), "");  // the second field stays unread; nothing literal is left
}

}  // namespace
}  // namespace pelorin::textio
