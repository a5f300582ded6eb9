#include "textio/text_ops.h"

#include <gtest/gtest.h>

namespace pelorin::textio {
namespace {

TEST(TextUpper, ChangesExactlyTheLettersAToZ) {
    EXPECT_EQ(text_upper("ok"), "OK");
    EXPECT_EQ(text_upper("y"), "Y");
    EXPECT_EQ(text_upper("aZz09 ,{`@[~"), "AZZ09 ,{`@[~");
    const Text high("\xE9\xFF\x80q", 4);
    EXPECT_EQ(text_upper(high), Text("\xE9\xFF\x80Q", 4));
    EXPECT_EQ(text_upper(""), "");
    const Text with_zero("a\0b", 3);
    EXPECT_EQ(text_upper(with_zero), Text("A\0B", 3));
    // Compared in capitals without a copy: the same verdict as the copy.
    for (const Text& t :
         {Text("ok"), Text("oK"), Text("OK"), Text("ok "), Text("o"), high, with_zero})
        for (const char* w : {"OK", "OK ", "O", "\xE9\xFF\x80Q"})
            EXPECT_EQ(text_upper_equals(t, w), text_upper(t) == w) << t << " " << w;
}

TEST(TextCompare, EqualExactlyWhenLengthAndBytesMatch) {
    EXPECT_EQ(text_compare(text_upper("ok"), "OK"), 0);
    EXPECT_LT(text_compare("", "END"), 0);
    EXPECT_GT(text_compare("OK ", "OK"), 0);
    EXPECT_LT(text_compare("OK", "OK "), 0);
    EXPECT_NE(text_compare("ok", "OK"), 0);
    // Bytes compare unsigned: 0xFF is above 'A'.
    EXPECT_GT(text_compare("\xFF", "A"), 0);
    EXPECT_LT(text_compare("A", "\xFF"), 0);
    // A text value keeps bytes after a zero; a literal stops at it.
    EXPECT_GT(text_compare(Text("Y\0", 2), "Y"), 0);
    EXPECT_EQ(text_compare("Y\0Z", "Y"), 0);
}

TEST(TextLeft, TakesAtMostNBytes) {
    EXPECT_EQ(text_left("17.69", 9), "17.69");
    EXPECT_EQ(text_left("0.6666667", 9), "0.6666667");
    EXPECT_EQ(text_left("-0.6666667", 9), "-0.666666");
    EXPECT_EQ(text_left("abc", 0), "");
    EXPECT_EQ(text_left("abc", -3), "");
    EXPECT_EQ(text_left("", 5), "");
}

TEST(TextJoin, ConcatAppendAssignClear) {
    EXPECT_EQ(text_concat("ILE : ", "16.6"), "ILE : 16.6");
    EXPECT_EQ(text_concat("", ""), "");
    Text answers;
    text_append(answers, "1");
    text_append(answers, "0");
    text_append(answers, "");
    EXPECT_EQ(answers, "10");
    Text v = "old";
    text_assign(v, "new value");
    EXPECT_EQ(v, "new value");
    text_assign(v, "");
    EXPECT_TRUE(v.empty());
    v = "something";
    text_clear(v);
    EXPECT_TRUE(v.empty());
    EXPECT_EQ(v.capacity(), Text().capacity());
}

}  // namespace
}  // namespace pelorin::textio
