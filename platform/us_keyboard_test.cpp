#include "platform/us_keyboard.h"

#include <gtest/gtest.h>

#include <map>

namespace pelorin::platform {
namespace {

TEST(UsKeyboard, EveryPrintableCharacterHasAKeyWhoseUnshiftedCharacterFits) {
    std::map<std::uint16_t, std::uint16_t> scan_of_vk;
    std::map<std::uint16_t, int> characters_of_vk;
    for (int c = 0x20; c <= 0x7E; ++c) {
        SCOPED_TRACE(c);
        const std::optional<CharKey> k = us_char_key(static_cast<std::uint8_t>(c));
        ASSERT_TRUE(k.has_value());
        EXPECT_FALSE(k->key.enhanced);
        const std::uint32_t unshifted = us_vk_to_char(k->key.virtual_key);
        if (!k->shift) {
            // MapVirtualKeyA reports letters in upper case.
            const int expected = c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
            EXPECT_EQ(unshifted, static_cast<std::uint32_t>(expected));
        } else if (c >= 'A' && c <= 'Z') {
            EXPECT_EQ(unshifted, static_cast<std::uint32_t>(c));
        } else {
            EXPECT_NE(unshifted, static_cast<std::uint32_t>(c));
        }
        // One scan code per virtual key, whichever character it types.
        const auto [it, fresh] = scan_of_vk.emplace(k->key.virtual_key, k->key.scan_code);
        if (!fresh) {
            EXPECT_EQ(it->second, k->key.scan_code);
        }
        ++characters_of_vk[k->key.virtual_key];
    }
    // 47 keys with two characters each, and the space bar.
    EXPECT_EQ(scan_of_vk.size(), 48u);
    for (const auto& [vk, n] : characters_of_vk)
        EXPECT_EQ(n, vk == 0x20 ? 1 : 2) << vk;
}

TEST(UsKeyboard, KnownKeys) {
    const auto key = [](char c) { return us_char_key(static_cast<std::uint8_t>(c)).value(); };
    EXPECT_EQ(key('q').key, (PcKey{0x51, 0x10}));
    EXPECT_FALSE(key('q').shift);
    EXPECT_EQ(key('Q').key, (PcKey{0x51, 0x10}));
    EXPECT_TRUE(key('Q').shift);
    EXPECT_EQ(key('a').key.scan_code, 0x1E);
    EXPECT_EQ(key('l').key.scan_code, 0x26);
    EXPECT_EQ(key('z').key.scan_code, 0x2C);
    EXPECT_EQ(key('m').key.scan_code, 0x32);
    EXPECT_EQ(key('1').key, (PcKey{0x31, 0x02}));
    EXPECT_EQ(key('0').key, (PcKey{0x30, 0x0B}));
    EXPECT_EQ(key('@').key, (PcKey{0x32, 0x03}));
    EXPECT_TRUE(key('@').shift);
    EXPECT_EQ(key('?').key, (PcKey{0xBF, 0x35}));
    EXPECT_TRUE(key('?').shift);
    EXPECT_EQ(key('~').key, (PcKey{0xC0, 0x29}));
    EXPECT_EQ(key('\\').key, (PcKey{0xDC, 0x2B}));
    EXPECT_EQ(key('"').key, (PcKey{0xDE, 0x28}));
    EXPECT_EQ(key(' ').key, (PcKey{0x20, 0x39}));
    EXPECT_FALSE(key(' ').shift);
    for (int c : {0, 9, 13, 27, 31, 127, 128, 255})
        EXPECT_FALSE(us_char_key(static_cast<std::uint8_t>(c)).has_value()) << c;
}

TEST(UsKeyboard, FunctionAndKeypadKeys) {
    EXPECT_EQ(us_keys::function_key(1), (PcKey{0x70, 0x3B}));
    EXPECT_EQ(us_keys::function_key(10), (PcKey{0x79, 0x44}));
    EXPECT_EQ(us_keys::function_key(11), (PcKey{0x7A, 0x57}));
    EXPECT_EQ(us_keys::function_key(12), (PcKey{0x7B, 0x58}));
    EXPECT_EQ(us_keys::keypad_digit(0), (PcKey{0x60, 0x52}));
    EXPECT_EQ(us_keys::keypad_digit(5), (PcKey{0x65, 0x4C}));
    EXPECT_EQ(us_keys::keypad_digit(9), (PcKey{0x69, 0x49}));
    for (int d = 0; d <= 9; ++d)
        EXPECT_EQ(us_vk_to_char(us_keys::keypad_digit(d).virtual_key),
                  static_cast<std::uint32_t>('0' + d))
            << d;
    // The grey keys share their scan codes with the keypad keys.
    EXPECT_EQ(us_keys::home.scan_code, us_keys::keypad_digit(7).scan_code);
    EXPECT_EQ(us_keys::del.scan_code, us_keys::keypad_decimal.scan_code);
    EXPECT_TRUE(us_keys::left.enhanced);
    EXPECT_FALSE(us_keys::keypad_digit(4).enhanced);
    EXPECT_EQ(us_vk_to_char(us_keys::keypad_divide.virtual_key), std::uint32_t{'/'});
    EXPECT_EQ(us_vk_to_char(us_keys::enter.virtual_key), 13u);
}

}  // namespace
}  // namespace pelorin::platform
