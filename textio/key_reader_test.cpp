#include "textio/key_reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/testing/memory_console.h"
#include "textio/key_reader_internal.h"
#include "textio/testing/key_codes.h"
#include "textio/testing/start_afresh.h"

namespace pelorin::textio {
namespace {

namespace ks = platform::key_state;
using platform::EventKind;
using platform::InputEvent;
using platform::KeyEvent;

constexpr std::uint32_t ALT = ks::left_alt;
constexpr std::uint32_t CTRL = ks::left_ctrl;
constexpr std::uint32_t SHIFT = ks::shift;
constexpr std::uint32_t ENH = ks::enhanced;
constexpr std::uint32_t NUM = ks::num_lock;

KeyEvent press(std::uint8_t ch, std::uint16_t scan, std::uint16_t vk, std::uint32_t state = 0,
               std::uint16_t repeat = 1) {
    return KeyEvent{true, repeat, vk, scan, ch, state};
}

KeyEvent release(std::uint8_t ch, std::uint16_t scan, std::uint16_t vk, std::uint32_t state = 0) {
    return KeyEvent{false, 1, vk, scan, ch, state};
}

// The Alt key itself, and the keypad digit keys with Num Lock on.
KeyEvent alt_down() {
    return press(0, 0x38, 0x12, ALT | NUM);
}
KeyEvent alt_up() {
    return release(0, 0x38, 0x12, NUM);
}
constexpr std::uint16_t keypad_scan[10] = {0x52, 0x4F, 0x50, 0x51, 0x4B,
                                           0x4C, 0x4D, 0x47, 0x48, 0x49};

class KeyReader : public ::testing::Test {
  protected:
    void SetUp() override { start_afresh(&console); }
    void TearDown() override { start_afresh(); }

    // Types keypad digit `d` with Alt held; `ch` is the character the console
    // reports with it (usually none).
    void alt_keypad(int d, std::uint8_t ch = 0) {
        const auto vk = static_cast<std::uint16_t>(0x60 + d);
        console.push_key(press(ch, keypad_scan[d], vk, ALT | NUM));
        console.push_key(release(ch, keypad_scan[d], vk, ALT | NUM));
    }

    std::vector<int> read_all() {
        std::vector<int> codes;
        while (const std::optional<int> code = key_read())
            codes.push_back(*code);
        return codes;
    }

  public:  // what every test works with
    platform::MemoryConsole console{80, 25};
};

struct Translation {
    const char* what;
    std::uint8_t ch;
    std::uint16_t scan;
    std::uint16_t vk;
    std::uint32_t state;
    std::optional<int> expected;
};

void expect_translations(const std::vector<Translation>& rows) {
    for (const Translation& t : rows) {
        SCOPED_TRACE(t.what);
        EXPECT_EQ(translate_key(t.ch, t.scan, t.vk, t.state), t.expected);
    }
}

TEST_F(KeyReader, CharacterKeysGiveTheCharacterTheConsoleReports) {
    expect_translations({
        {"a", 'a', 0x1E, 0x41, 0, 'a'},
        {"Shift+a", 'A', 0x1E, 0x41, SHIFT, 'A'},
        {"a with Caps Lock", 'A', 0x1E, 0x41, ks::caps_lock, 'A'},
        {"m", 'm', 0x32, 0x4D, 0, 'm'},
        {"1", '1', 0x02, 0x31, 0, '1'},
        {"Shift+1", '!', 0x02, 0x31, SHIFT, '!'},
        {"Shift+2", '@', 0x03, 0x32, SHIFT, '@'},
        {"0", '0', 0x0B, 0x30, 0, '0'},
        {"semicolon", ';', 0x27, 0xBA, 0, ';'},
        {"Shift+semicolon", ':', 0x27, 0xBA, SHIFT, ':'},
        {"slash", '/', 0x35, 0xBF, 0, '/'},
        {"Shift+slash", '?', 0x35, 0xBF, SHIFT, '?'},
        {"space", ' ', 0x39, 0x20, 0, ' '},
        {"backslash", '\\', 0x2B, 0xDC, 0, '\\'},
        {"Shift+backslash", '|', 0x2B, 0xDC, SHIFT, '|'},
        {"grave", '`', 0x29, 0xC0, 0, '`'},
        {"Shift+grave", '~', 0x29, 0xC0, SHIFT, '~'},
        {"a character of code page 437", 0x82, 0x1A, 0xDB, 0, 0x82},
        {"Enter", 13, 0x1C, 0x0D, 0, 13},
        {"Backspace", 8, 0x0E, 0x08, 0, 8},
        {"Tab", 9, 0x0F, 0x09, 0, 9},
        {"Esc", 27, 0x01, 0x1B, 0, 27},
        {"Shift alone", 0, 0x2A, 0x10, SHIFT, std::nullopt},
        {"Caps Lock alone", 0, 0x3A, 0x14, 0, std::nullopt},
    });
}

TEST_F(KeyReader, CtrlKeysCountByTheirCharacter) {
    expect_translations({
        {"Ctrl+A", 1, 0x1E, 0x41, CTRL, 1},
        {"Ctrl+Z", 26, 0x2C, 0x5A, CTRL, 26},
        {"Ctrl+H", 8, 0x23, 0x48, CTRL, 8},
        {"Ctrl+I", 9, 0x17, 0x49, CTRL, 9},
        {"Ctrl+[", 27, 0x1A, 0xDB, CTRL, 27},
        {"Ctrl+M", 13, 0x32, 0x4D, CTRL, 13},
        {"Ctrl+J", 10, 0x24, 0x4A, CTRL, 10},
        {"Ctrl+Enter", 10, 0x1C, 0x0D, CTRL, 10},
        {"right Ctrl+Enter", 10, 0x1C, 0x0D, ks::right_ctrl, 10},
        {"Ctrl+Backspace", 127, 0x0E, 0x08, CTRL, 127},
        {"Ctrl+Tab", 9, 0x0F, 0x09, CTRL, extended_key(0x94)},
        {"Shift+Tab", 9, 0x0F, 0x09, SHIFT, extended_key(0x0F)},
        // Ctrl+2 comes with no character: its extended Ctrl entry needs the
        // key's own character, so nothing is queued.
        {"Ctrl+2", 0, 0x03, 0x32, CTRL, std::nullopt},
    });
}

TEST_F(KeyReader, GreyKeysGiveExtendedCodesWithAndWithoutShift) {
    const std::uint16_t scans[] = {0x47, 0x48, 0x49, 0x4B, 0x4D, 0x4F, 0x50, 0x51, 0x52, 0x53};
    for (const std::uint16_t scan : scans) {
        SCOPED_TRACE(scan);
        EXPECT_EQ(translate_key(0, scan, 0, ENH), extended_key(scan));
        EXPECT_EQ(translate_key(0, scan, 0, ENH | SHIFT), extended_key(scan));
        EXPECT_EQ(translate_key(0, scan, 0, ENH | NUM), extended_key(scan));
    }
    EXPECT_EQ(translate_key(0, 0x4B, 0x25, ENH), KEY_LEFT);
    expect_translations({
        {"Ctrl+Left", 0, 0x4B, 0x25, ENH | CTRL, extended_key(0x73)},
        {"Ctrl+Home", 0, 0x47, 0x24, ENH | CTRL, extended_key(0x77)},
        {"Ctrl+Down", 0, 0x50, 0x28, ENH | CTRL, extended_key(0x91)},
        {"Alt+Up", 0, 0x48, 0x26, ENH | ALT, extended_key(0x98)},
        {"Alt+Delete", 0, 0x53, 0x2E, ENH | ALT, extended_key(0xA3)},
        {"Alt wins over Ctrl", 0, 0x4D, 0x27, ENH | ALT | CTRL, extended_key(0x9D)},
        {"Ctrl wins over Shift", 0, 0x4F, 0x23, ENH | CTRL | SHIFT, extended_key(0x75)},
        {"enhanced key outside the table", 0, 0x1D, 0x11, ENH | CTRL, std::nullopt},
    });
}

TEST_F(KeyReader, KeypadWithNumLockOffActsAsTheGreyKeys) {
    expect_translations({
        {"keypad 7 (Home)", 0, 0x47, 0x24, 0, KEY_HOME},
        {"keypad 8 (Up)", 0, 0x48, 0x26, 0, KEY_UP},
        {"keypad 4 (Left)", 0, 0x4B, 0x25, 0, KEY_LEFT},
        {"keypad 6 (Right)", 0, 0x4D, 0x27, 0, KEY_RIGHT},
        {"keypad 1 (End)", 0, 0x4F, 0x23, 0, KEY_END},
        {"keypad 2 (Down)", 0, 0x50, 0x28, 0, KEY_DOWN},
        {"keypad 3 (Page Down)", 0, 0x51, 0x22, 0, extended_key(0x51)},
        {"keypad 0 (Insert)", 0, 0x52, 0x2D, 0, extended_key(0x52)},
        {"keypad full stop (Delete)", 0, 0x53, 0x2E, 0, KEY_DELETE},
        {"keypad 5", 0, 0x4C, 0x0C, 0, extended_key(0x4C)},
        {"Ctrl+keypad 4", 0, 0x4B, 0x25, CTRL, extended_key(0x73)},
        {"Ctrl+keypad 5", 0, 0x4C, 0x0C, CTRL, extended_key(0x8F)},
        {"keypad 7 with Num Lock", '7', 0x47, 0x67, NUM, '7'},
        {"keypad full stop with Num Lock", '.', 0x53, 0x6E, NUM, '.'},
        {"keypad Enter", 13, 0x1C, 0x0D, ENH, 13},
        {"Ctrl+keypad Enter", 10, 0x1C, 0x0D, ENH | CTRL, 10},
        {"keypad Enter with no character", 0, 0x1C, 0x0D, ENH, 13},
        {"Ctrl+keypad Enter with no character", 0, 0x1C, 0x0D, ENH | CTRL, 10},
        {"Alt+keypad Enter with no character", 0, 0x1C, 0x0D, ENH | ALT, extended_key(0xA6)},
        {"keypad slash", 0, 0x35, 0x6F, ENH, '/'},
        {"Shift+keypad slash", 0, 0x35, 0x6F, ENH | SHIFT, '?'},
        {"Ctrl+keypad slash", 0, 0x35, 0x6F, ENH | CTRL, extended_key(0x95)},
        {"keypad slash with its character", '/', 0x35, 0x6F, ENH | SHIFT, '/'},
    });
}

TEST_F(KeyReader, FunctionKeys) {
    expect_translations({
        {"F1", 0, 0x3B, 0x70, 0, extended_key(0x3B)},
        {"Shift+F1", 0, 0x3B, 0x70, SHIFT, extended_key(0x54)},
        {"Ctrl+F1", 0, 0x3B, 0x70, CTRL, extended_key(0x5E)},
        {"Alt+F1", 0, 0x3B, 0x70, ALT, extended_key(0x68)},
        {"Alt+F4", 0, 0x3E, 0x73, ALT, KEY_CLOSE},
        {"F10", 0, 0x44, 0x79, 0, extended_key(0x44)},
        {"Ctrl+F10", 0, 0x44, 0x79, CTRL, extended_key(0x67)},
        {"F11", 0, 0x57, 0x7A, 0, extended_key(0x85)},
        {"F12", 0, 0x58, 0x7B, 0, extended_key(0x86)},
        {"Shift+F12", 0, 0x58, 0x7B, SHIFT, extended_key(0x88)},
        {"Ctrl+F12", 0, 0x58, 0x7B, CTRL, extended_key(0x8A)},
        {"Alt+F12", 0, 0x58, 0x7B, ALT, extended_key(0x8C)},
        {"a scan code beyond the table with a character", 'x', 0x59, 0x7C, 0, 'x'},
        {"a scan code beyond the table without one", 0, 0x70, 0x7C, 0, std::nullopt},
    });
}

TEST_F(KeyReader, AltKeysAreExtendedOnlyWithTheKeysOwnCharacter) {
    expect_translations({
        {"Alt+Q", 'q', 0x10, 0x51, ALT, extended_key(0x10)},
        {"Alt+Q with Caps Lock", 'Q', 0x10, 0x51, ALT | ks::caps_lock, extended_key(0x10)},
        {"Alt+Shift+Q", 'Q', 0x10, 0x51, ALT | SHIFT, extended_key(0x10)},
        {"right Alt+M", 'm', 0x32, 0x4D, ks::right_alt, extended_key(0x32)},
        {"Alt+backslash", '\\', 0x2B, 0xDC, ALT, '\\'},
        {"Alt+1", '1', 0x02, 0x31, ALT, extended_key(0x78)},
        {"Alt+6", '6', 0x07, 0x36, ALT, extended_key(0x7D)},
        {"Alt+7", '7', 0x08, 0x37, ALT, extended_key(0x82)},
        {"Alt+0", '0', 0x0B, 0x30, ALT, extended_key(0x81)},
        {"Alt+equals", '=', 0x0D, 0xBB, ALT, extended_key(0x83)},
        {"Alt+Enter", 13, 0x1C, 0x0D, ALT, extended_key(0x1C)},
        {"Alt+Esc", 27, 0x01, 0x1B, ALT, extended_key(0x01)},
        {"Alt+Backspace", 8, 0x0E, 0x08, ALT, extended_key(0xE0)},
        {"Alt+Tab", 9, 0x0F, 0x09, ALT, extended_key(0x0F)},
        {"Alt+slash", '/', 0x35, 0xBF, ALT, extended_key(0x35)},
        {"Alt+Shift+1 carries another character", '!', 0x02, 0x31, ALT | SHIFT, '!'},
        // AltGr (right Alt with Ctrl) typing a character of another layout.
        {"AltGr+Q", '@', 0x10, 0x51, ks::right_alt | CTRL, '@'},
        {"Alt+Q without a character", 0, 0x10, 0x51, ALT, std::nullopt},
        {"Alt+space", ' ', 0x39, 0x20, ALT, ' '},
    });
}

TEST_F(KeyReader, PollQueuesKeyPressesInOrder) {
    EXPECT_FALSE(key_available());
    EXPECT_EQ(key_read(), std::nullopt);
    console.push_key(press('o', 0x18, 0x4F));
    console.push_key(release('o', 0x18, 0x4F));
    console.push_key(press('K', 0x25, 0x4B, SHIFT));
    console.push_key(release('K', 0x25, 0x4B, SHIFT));
    console.push_key(press(0, 0x4B, 0x25, ENH));
    console.push_key(press(13, 0x1C, 0x0D));
    EXPECT_TRUE(key_available());
    EXPECT_EQ(console.pending_events(), 0u);
    EXPECT_EQ(read_all(), (std::vector<int>{'o', 'K', KEY_LEFT, 13}));
    EXPECT_FALSE(key_available());
}

TEST_F(KeyReader, CodesNotTakenWaitForTheNextRead) {
    console.push_key(press('y', 0x15, 0x59));
    console.push_key(press(13, 0x1C, 0x0D));
    console.push_key(press('n', 0x31, 0x4E));
    EXPECT_EQ(key_read(), 'y');
    EXPECT_EQ(key_read(), 13);
    console.push_key(press(13, 0x1C, 0x0D));
    EXPECT_EQ(read_all(), (std::vector<int>{'n', 13}));
}

TEST_F(KeyReader, OneCodePerKeyEventWhateverTheRepeatCount) {
    console.push_key(press('x', 0x2D, 0x58, 0, 3));
    console.push_key(press('y', 0x15, 0x59, 0, 0));  // a repeat count of 0 is dropped
    console.push_key(press(0, 0x48, 0x26, ENH, 7));
    EXPECT_EQ(read_all(), (std::vector<int>{'x', KEY_UP}));
}

TEST_F(KeyReader, EventsOtherThanKeysAreDropped) {
    console.push_event(InputEvent{EventKind::mouse, press('m', 0x32, 0x4D)});
    console.push_key(press('a', 0x1E, 0x41));
    console.push_event(InputEvent{EventKind::window_buffer_size, press('w', 0x11, 0x57)});
    console.push_event(InputEvent{EventKind::focus, press('f', 0x21, 0x46)});
    console.push_event(InputEvent{EventKind::menu, press('u', 0x16, 0x55)});
    console.push_key(press('b', 0x30, 0x42));
    EXPECT_EQ(read_all(), (std::vector<int>{'a', 'b'}));
    EXPECT_EQ(console.pending_events(), 0u);
}

TEST_F(KeyReader, KeysTheQueueCannotTakeWaitInTheConsole) {
    for (int i = 0; i < 600; ++i) {
        const auto ch = static_cast<std::uint8_t>(1 + i % 255);
        console.push_key(press(ch, 0x59, 0));
    }
    EXPECT_TRUE(key_available());
    EXPECT_EQ(console.pending_events(), 600u - 511u);  // the queue holds 511
    const std::vector<int> codes = read_all();
    ASSERT_EQ(codes.size(), 600u);
    for (std::size_t k = 0; k < codes.size(); ++k) {
        EXPECT_EQ(codes[k], 1 + static_cast<int>(k) % 255) << k;
    }
}

TEST_F(KeyReader, AltKeypadDigitsComposeACharacterOnAltRelease) {
    console.push_key(alt_down());
    alt_keypad(9);
    alt_keypad(7);
    EXPECT_FALSE(key_available());  // nothing until Alt is released
    console.push_key(alt_up());
    EXPECT_EQ(read_all(), std::vector<int>{97});

    console.push_key(alt_down());
    alt_keypad(6);
    alt_keypad(0);
    alt_keypad(9);
    console.push_key(alt_up());
    EXPECT_EQ(read_all(), std::vector<int>{97});  // 609 mod 256

    console.push_key(alt_down());
    alt_keypad(7);
    alt_keypad(6);
    alt_keypad(8);
    console.push_key(alt_up());
    EXPECT_EQ(read_all(), std::vector<int>{0});  // 768 mod 256
}

TEST_F(KeyReader, AltNumbersOfAnyLengthComposeModulo256) {
    const struct {
        const char* digits;
        std::vector<int> codes;
    } cases[] = {
        {"3000000065", {65}},             // beyond any integer type: still 'A'
        {"99999999999999999999", {255}},  // 10^20 - 1, and 256 divides 10^20
        {"00065", {65}},
        {"256", {0}},  // a number that is not 0 gives a character, 0 here
        {"000", {}},   // the number 0 gives none
    };
    for (const auto& c : cases) {
        console.push_key(alt_down());
        for (const char* d = c.digits; *d != '\0'; ++d)
            alt_keypad(*d - '0');
        console.push_key(alt_up());
        EXPECT_EQ(read_all(), c.codes) << c.digits;
    }
}

TEST_F(KeyReader, AltKeypadDigitWithItsOwnCharacterIsQueuedToo) {
    console.push_key(alt_down());
    alt_keypad(9, '9');
    alt_keypad(7, '7');
    console.push_key(alt_up());
    EXPECT_EQ(read_all(), (std::vector<int>{'9', '7', 97}));
}

TEST_F(KeyReader, AltNumberEndsEarlyOrIsDropped) {
    // A press of another modifier without a key ends the number.
    console.push_key(alt_down());
    alt_keypad(6);
    alt_keypad(5);
    console.push_key(press(0, 0x2A, 0x10, ALT | SHIFT));
    console.push_key(alt_up());
    EXPECT_EQ(read_all(), std::vector<int>{65});

    // A key that gives a code drops the number under way.
    console.push_key(alt_down());
    alt_keypad(6);
    console.push_key(press(0, 0x3B, 0x70, ALT));
    console.push_key(alt_up());
    EXPECT_EQ(read_all(), std::vector<int>{extended_key(0x68)});

    // Keypad digits with Alt and Ctrl are no Alt number.
    console.push_key(press(0, keypad_scan[6], 0x66, ALT | CTRL | NUM));
    console.push_key(alt_up());
    EXPECT_EQ(read_all(), std::vector<int>{});
}

TEST_F(KeyReader, ControlHandlerIsInstalledOnceAtTheFirstPoll) {
    EXPECT_EQ(console.ctrl_handler_count(), 0u);
    key_poll_events();
    EXPECT_EQ(console.ctrl_handler_count(), 1u);
    EXPECT_FALSE(key_available());
    (void)key_read();
    key_poll_events();
    EXPECT_EQ(console.ctrl_handler_count(), 1u);
}

TEST_F(KeyReader, CloseLogOffAndShutDownQueueTheCloseCode) {
    key_poll_events();
    console.push_key(press('a', 0x1E, 0x41));
    EXPECT_TRUE(console.raise_ctrl_event(platform::ctrl_event::close));
    EXPECT_EQ(read_all(), (std::vector<int>{KEY_CLOSE, 'a'}));
    EXPECT_TRUE(console.raise_ctrl_event(platform::ctrl_event::logoff));
    EXPECT_TRUE(console.raise_ctrl_event(platform::ctrl_event::shutdown));
    EXPECT_EQ(read_all(), (std::vector<int>{KEY_CLOSE, KEY_CLOSE}));
}

TEST_F(KeyReader, CtrlCAndCtrlBreakAreLeftToThePlatform) {
    key_poll_events();
    EXPECT_FALSE(console.raise_ctrl_event(platform::ctrl_event::c));
    EXPECT_FALSE(console.raise_ctrl_event(platform::ctrl_event::brk));
    EXPECT_FALSE(console.raise_ctrl_event(3));
    EXPECT_FALSE(key_available());
}

TEST_F(KeyReader, CloseEventsFromAnotherThreadAreAllQueued) {
    key_poll_events();
    constexpr int events = 200;
    std::thread platform_thread([this] {
        for (int i = 0; i < events; ++i)
            (void)console.raise_ctrl_event(platform::ctrl_event::close);
    });
    int closes = 0;
    while (closes < events) {
        if (const std::optional<int> code = key_read()) {
            ASSERT_EQ(*code, KEY_CLOSE);
            ++closes;
        }
    }
    platform_thread.join();
    EXPECT_FALSE(key_available());
}

TEST_F(KeyReader, NoInputWhenTheConsoleCannotBePeeked) {
    console.set_input_redirected(true);
    console.push_key(press('a', 0x1E, 0x41));
    EXPECT_FALSE(key_available());
    EXPECT_EQ(console.pending_events(), 1u);
}

TEST(KeyReaderExit, HandlerIsRemovedByAnExitStep) {
    // A fresh process: one forked from this one would carry the exit steps
    // the other tests have registered already.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // Leaked on purpose: the exit steps still use it.
            static auto* const memory = new platform::MemoryConsole(80, 25);
            start_afresh(memory);
            // Registered first, so it runs after the removal.
            std::atexit([] { std::_Exit(memory->ctrl_handler_count() == 0 ? 3 : 4); });
            key_poll_events();
            std::exit(memory->ctrl_handler_count() == 1 ? 0 : 5);
        },
        ::testing::ExitedWithCode(3), "");
}

}  // namespace
}  // namespace pelorin::textio
