// The terminal's key sequences through the input parser and the key reader:
// the key codes a Windows console would give for the same keys.
#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "platform/posix/terminal_input_parser.h"
#include "platform/testing/memory_console.h"
#include "textio/key_reader_internal.h"
#include "textio/testing/key_codes.h"
#include "textio/testing/start_afresh.h"

namespace pelorin::textio {
namespace {

using platform::KeyEvent;

// The key events the parser makes of what a terminal sends.
std::vector<KeyEvent> key_events(std::string_view bytes) {
    platform::TerminalInputParser parser;
    std::vector<KeyEvent> events;
    auto keep = [&](const platform::ParsedInputs& items) {
        for (const platform::ParsedInput& item : items)
            if (item.kind == platform::ParsedInput::Kind::key) events.push_back(item.key);
    };
    for (const char c : bytes)
        keep(parser.feed(static_cast<std::uint8_t>(c), 0));
    keep(parser.tick(1000));
    return events;
}

// What a terminal sends, through the parser and translate_key, gives the key
// codes the console would.
class TerminalKeys : public ::testing::Test {
  protected:
    void SetUp() override { start_afresh(&console); }
    void TearDown() override { start_afresh(); }

    std::vector<int> read_all() {
        std::vector<int> codes;
        while (const std::optional<int> code = key_read())
            codes.push_back(*code);
        return codes;
    }

    std::vector<int> codes(std::string_view bytes) {
        std::vector<int> result;
        for (const KeyEvent& e : key_events(bytes)) {
            const std::optional<int> code =
                translate_key(e.ch, e.scan_code, e.virtual_key, e.control_state);
            result.push_back(code.value_or(-1));
        }
        return result;
    }

  public:  // what every test works with
    platform::MemoryConsole console{80, 25};
};

TEST_F(TerminalKeys, SequencesBecomeTheConsolesKeyCodes) {
    const struct {
        std::string_view bytes;
        int code;
        int then = 0;  // the code of a second key, if any
    } cases[] = {
        {"\x1b[D", KEY_LEFT},
        {"\x1bOD", KEY_LEFT},
        {"\x1b[1;5D", extended_key(0x73)},
        {"\x1b[1;3D", extended_key(0x9B)},
        {"\x1b[1;2D", KEY_LEFT},
        {"\x1bOd", extended_key(0x73)},
        {"\x1b[A", KEY_UP},
        {"\x1b\x1b[A", extended_key(0x98)},
        {"\x1b[B", KEY_DOWN},
        {"\x1b[C", KEY_RIGHT},
        {"\x1b[H", KEY_HOME},
        {"\x1b[1~", KEY_HOME},
        {"\x1b[7~", KEY_HOME},
        {"\x1b[F", KEY_END},
        {"\x1b[4~", KEY_END},
        {"\x1b[8~", KEY_END},
        {"\x1b[2~", extended_key(0x52)},
        {"\x1b[3~", KEY_DELETE},
        {"\x1b[3;5~", extended_key(0x93)},
        {"\x1b[5~", extended_key(0x49)},
        {"\x1b[5^", extended_key(0x84)},
        {"\x1b[6~", extended_key(0x51)},
        {"\x1bOP", extended_key(0x3B)},
        {"\x1b[11~", extended_key(0x3B)},
        {"\x1b[[A", extended_key(0x3B)},
        {"\x1b[1;2P", extended_key(0x54)},
        {"\x1b[1;5P", extended_key(0x5E)},
        {"\x1b[1;3P", extended_key(0x68)},
        {"\x1b[25~", extended_key(0x56)},
        {"\x1b[21~", extended_key(0x44)},
        {"\x1b[24~", extended_key(0x86)},
        {"\x1b[24;5~", extended_key(0x8A)},
        {"\x1b[E", extended_key(0x4C)},
        {"\x1b[Z", extended_key(0x0F)},
        {"\x1bOM", 13},
        {"\x1bO5M", 10},
        {"\x1bOo", '/'},
        {"\x1bOw", '7'},
        {"\r", 13},
        {"\n", 13},
        {"\x7f", 8},
        {"\b", 8},
        {"\t", 9},
        {"\x1b", 27},
        {"\x1b\x1b", 27, 27},
        {"\x1b\r", 27, 13},
        {"\x1b\x7f", 27, 8},
        {"\x1bq", 27, 'q'},
        {"\x1bQ", 27, 'Q'},
        {"\x1b\\", 27, '\\'},
        {"\x1b"
         "1",
         27, '1'},
        {"a", 'a'},
        {"A", 'A'},
        {"?", '?'},
        {"\x01", 1},
        {"\x1a", 26},
        {"\x1d", 29},
        {"\xc3\xa9", 0x82},
        {"\x1b\xc3\xa9", 27, 0x82},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
        std::vector<int> want{c.code};
        if (c.then != 0) want.push_back(c.then);
        EXPECT_EQ(codes(c.bytes), want);
    }
    // Ctrl+@ is a key event, but one the console gives no code for.
    EXPECT_EQ(codes(std::string_view("\0", 1)), std::vector<int>{-1});
}

TEST_F(TerminalKeys, EveryRowAndEveryPrintableCharacterGivesACode) {
    for (const platform::TerminalSequence& row : platform::terminal_sequences()) {
        SCOPED_TRACE(testing::PrintToString(std::string(row.bytes)));
        const std::vector<int> got = codes(row.bytes);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_GT(got[0], 0);
    }
    for (int c = 0x20; c < 0x7F; ++c) {
        const char byte = static_cast<char>(c);
        EXPECT_EQ(codes(std::string_view(&byte, 1)), std::vector<int>{c}) << c;
    }
}

TEST_F(TerminalKeys, ParsedKeysReachTheQueueThroughThePoll) {
    for (const KeyEvent& e : key_events("ok\x1b[D!\r"))
        console.push_key(e);
    EXPECT_EQ(read_all(), (std::vector<int>{'o', 'k', KEY_LEFT, '!', 13}));
}

}  // namespace
}  // namespace pelorin::textio
