#include "platform/code_page.h"

#include <gtest/gtest.h>

namespace pelorin::platform {
namespace {

TEST(Cp437, KnownGlyphs) {
    EXPECT_EQ(cp437_to_unicode('A'), U'A');
    EXPECT_EQ(cp437_to_unicode(0), U' ');
    EXPECT_EQ(cp437_to_unicode(1), U'\u263A');
    EXPECT_EQ(cp437_to_unicode(7), U'\u2022');
    EXPECT_EQ(cp437_to_unicode(127), U'\u2302');
    EXPECT_EQ(cp437_to_unicode(0x82), U'\u00E9');
    EXPECT_EQ(cp437_to_unicode(0xB3), U'\u2502');
    EXPECT_EQ(cp437_to_unicode(0xE1), U'\u00DF');
    EXPECT_EQ(cp437_to_unicode(0xFF), U'\u00A0');
}

TEST(Cp437, EveryByteExceptZeroRoundTrips) {
    for (int b = 1; b < 256; ++b) {
        EXPECT_EQ(cp437_from_unicode(cp437_to_unicode(static_cast<std::uint8_t>(b))), b) << b;
    }
    EXPECT_EQ(cp437_from_unicode(U' '), ' ');
    EXPECT_EQ(cp437_from_unicode(U'\u20AC'), -1);  // the euro sign has no cell
    EXPECT_EQ(cp437_from_unicode(U'\u00E8'), 0x8A);
}

TEST(Cp866, CyrillicLettersAroundTheSameBoxDrawing) {
    const auto glyph = [](int b) {
        return code_page_to_unicode(CodePage::cp866, static_cast<std::uint8_t>(b));
    };
    EXPECT_EQ(glyph(0x80), U'\u0410');  // А
    EXPECT_EQ(glyph(0xAF), U'\u043F');  // п
    EXPECT_EQ(glyph(0xE0), U'\u0440');  // р
    EXPECT_EQ(glyph(0xF1), U'\u0451');  // ё
    EXPECT_EQ(glyph(0xFC), U'\u2116');  // №
    EXPECT_EQ(glyph('A'), U'A');
    EXPECT_EQ(glyph(13), U'\u266A');
    for (int b = 0xB0; b < 0xE0; ++b)
        EXPECT_EQ(glyph(b), cp437_to_unicode(static_cast<std::uint8_t>(b))) << b;
    for (int b = 1; b < 256; ++b)
        EXPECT_EQ(code_page_from_unicode(CodePage::cp866, glyph(b)), b) << b;
    EXPECT_EQ(code_page_from_unicode(CodePage::cp866, U'\u00E9'), -1);  // é: not in it
}

}  // namespace
}  // namespace pelorin::platform
