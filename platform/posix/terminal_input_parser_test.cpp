#include "platform/posix/terminal_input_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelorin::platform {
namespace {

namespace ks = key_state;
constexpr std::uint32_t SHIFT = ks::shift;
constexpr std::uint32_t CTRL = ks::left_ctrl;
constexpr std::uint32_t ALT = ks::left_alt;
constexpr std::uint32_t ENH = ks::enhanced;
constexpr std::uint64_t TIMEOUT = TerminalInputParser::escape_timeout_ms;

KeyEvent ev(std::uint16_t vk, std::uint16_t scan, std::uint8_t ch, std::uint32_t state = 0) {
    return KeyEvent{true, 1, vk, scan, ch, state};
}

const KeyEvent esc = ev(0x1B, 0x01, 27);

// The event a key of the table makes, built from the key itself.
KeyEvent key_ev(PcKey k, std::uint32_t modifiers) {
    return ev(k.virtual_key, k.scan_code, key_event_char(k, modifiers),
              modifiers | (k.enhanced ? ENH : 0));
}

std::string describe(const std::vector<KeyEvent>& events) {
    std::string s;
    for (const KeyEvent& e : events) {
        s += "{vk " + std::to_string(e.virtual_key) + " scan " + std::to_string(e.scan_code) +
             " ch " + std::to_string(e.ch) + " state " + std::to_string(e.control_state) + "} ";
    }
    return s;
}

// A parser with its own clock.
struct Session {
    explicit Session(InputEncoding encoding = InputEncoding::utf8, CodePage page = CodePage::cp437)
        : parser(encoding, page) {}

    // Feeds `bytes`, `step` milliseconds apart.
    Session& feed(std::string_view bytes, std::uint64_t step = 0) {
        for (const char c : bytes) {
            keep(parser.feed(static_cast<std::uint8_t>(c), now));
            now += step;
        }
        return *this;
    }
    Session& wait(std::uint64_t ms) {
        now += ms;
        keep(parser.tick(now));
        return *this;
    }
    void keep(const ParsedInputs& got) {
        EXPECT_LE(got.size(), 4u);
        for (const ParsedInput& item : got) {
            items.push_back(item);
            if (item.kind == ParsedInput::Kind::key) events.push_back(item.key);
        }
    }

    TerminalInputParser parser;
    std::uint64_t now = 0;
    std::vector<ParsedInput> items;  // everything, in order
    std::vector<KeyEvent> events;    // the keys among them
};

// Everything `bytes` decodes to, the last Esc settled by time.
std::vector<KeyEvent> decode(std::string_view bytes, InputEncoding encoding = InputEncoding::utf8) {
    return Session(encoding).feed(bytes).wait(1000).events;
}

void expect_decodes(std::string_view bytes, const std::vector<KeyEvent>& expected) {
    const std::vector<KeyEvent> got = decode(bytes);
    EXPECT_EQ(got, expected) << "bytes: " << testing::PrintToString(std::string(bytes))
                             << "\n got: " << describe(got);
}

ParsedInput key(const KeyEvent& e) {
    ParsedInput item;
    item.kind = ParsedInput::Kind::key;
    item.key = e;
    return item;
}

ParsedInput report(int row, int column) {
    ParsedInput item;
    item.kind = ParsedInput::Kind::cursor_report;
    item.row = row;
    item.column = column;
    return item;
}

ParsedInput other() {
    return ParsedInput{};
}

// xterm's modifier parameters 2 to 8 and the key_state bits they stand for.
struct Modifier {
    int param;
    std::uint32_t state;
};
constexpr Modifier modifiers[] = {
    {2, SHIFT},        {3, ALT},        {4, SHIFT | ALT},       {5, CTRL},
    {6, SHIFT | CTRL}, {7, ALT | CTRL}, {8, SHIFT | ALT | CTRL}};

TEST(InputParserTable, EveryRowDecodesToItsKey) {
    for (const TerminalSequence& row : terminal_sequences()) {
        SCOPED_TRACE(testing::PrintToString(std::string(row.bytes)));
        EXPECT_EQ(decode(row.bytes), std::vector<KeyEvent>{key_ev(row.key, row.modifiers)});
        // The same with an Esc before it: a sequence with Alt, a byte after the Esc key.
        const std::vector<KeyEvent> with_esc =
            row.bytes[0] == '\x1b' ? std::vector<KeyEvent>{key_ev(row.key, row.modifiers | ALT)}
                                   : std::vector<KeyEvent>{esc, key_ev(row.key, row.modifiers)};
        std::string bytes(1, '\x1b');
        bytes += row.bytes;
        EXPECT_EQ(decode(bytes), with_esc);
    }
}

TEST(InputParserTable, EveryRowTakesTheXtermModifierParameter) {
    int vt220_rows = 0;
    int letter_rows = 0;
    for (const TerminalSequence& row : terminal_sequences()) {
        const std::string_view b = row.bytes;
        if (b.size() < 3) continue;
        for (const Modifier& m : modifiers) {
            std::string modified;
            if (b.back() == '~') {
                modified =
                    std::string(b.substr(0, b.size() - 1)) + ";" + std::to_string(m.param) + "~";
                ++vt220_rows;
            } else if (b.size() == 3 && b[1] == '[') {
                modified = "\x1b[1;" + std::to_string(m.param) + b.back();
                ++letter_rows;
            } else if (b.size() == 3 && b[1] == 'O') {
                modified = "\x1bO" + std::to_string(m.param) + b.back();
                ++letter_rows;
            } else {
                continue;
            }
            SCOPED_TRACE(testing::PrintToString(modified));
            EXPECT_EQ(decode(modified),
                      std::vector<KeyEvent>{key_ev(row.key, row.modifiers | m.state)});
        }
    }
    EXPECT_GT(vt220_rows, 0);
    EXPECT_GT(letter_rows, 0);
}

TEST(InputParserTable, KeysOfTheUsPcKeyboard) {
    // Independent of the table: the events a Windows console gives.
    expect_decodes("\x1b[D", {ev(0x25, 0x4B, 0, ENH)});
    expect_decodes("\x1bOA", {ev(0x26, 0x48, 0, ENH)});
    expect_decodes("\x1b[1~", {ev(0x24, 0x47, 0, ENH)});
    expect_decodes("\x1b[F", {ev(0x23, 0x4F, 0, ENH)});
    expect_decodes("\x1b[3~", {ev(0x2E, 0x53, 0, ENH)});
    expect_decodes("\x1b[6~", {ev(0x22, 0x51, 0, ENH)});
    expect_decodes("\x1bOP", {ev(0x70, 0x3B, 0)});
    expect_decodes("\x1b[[E", {ev(0x74, 0x3F, 0)});
    expect_decodes("\x1b[21~", {ev(0x79, 0x44, 0)});
    expect_decodes("\x1b[24~", {ev(0x7B, 0x58, 0)});
    expect_decodes("\x1b[Z", {ev(0x09, 0x0F, 9, SHIFT)});
    expect_decodes("\r", {ev(0x0D, 0x1C, 13)});
    expect_decodes("\n", {ev(0x0D, 0x1C, 13)});
    expect_decodes("\x7f", {ev(0x08, 0x0E, 8)});
    expect_decodes("\b", {ev(0x08, 0x0E, 8)});
    expect_decodes("\t", {ev(0x09, 0x0F, 9)});
    expect_decodes("\x1bOM", {ev(0x0D, 0x1C, 13, ENH)});
    expect_decodes("\x1bOo", {ev(0x6F, 0x35, '/', ENH)});
    expect_decodes("\x1bOq", {ev(0x61, 0x4F, '1')});
    expect_decodes("\x1b[E", {ev(0x0C, 0x4C, 0)});
}

TEST(InputParserModifiers, XtermAndRxvtForms) {
    expect_decodes("\x1b[1;5D", {ev(0x25, 0x4B, 0, CTRL | ENH)});
    expect_decodes("\x1b[1;2A", {ev(0x26, 0x48, 0, SHIFT | ENH)});
    expect_decodes("\x1b[1;3C", {ev(0x27, 0x4D, 0, ALT | ENH)});
    expect_decodes("\x1b[1;9C", {ev(0x27, 0x4D, 0, ALT | ENH)});  // Meta counts as Alt
    expect_decodes("\x1b[;5H", {ev(0x24, 0x47, 0, CTRL | ENH)});
    expect_decodes("\x1b[3;5~", {ev(0x2E, 0x53, 0, CTRL | ENH)});
    expect_decodes("\x1b[1;2P", {ev(0x70, 0x3B, 0, SHIFT)});
    expect_decodes("\x1b[1;5S", {ev(0x73, 0x3E, 0, CTRL)});
    expect_decodes("\x1bO2P", {ev(0x70, 0x3B, 0, SHIFT)});
    expect_decodes("\x1b[15;3~", {ev(0x74, 0x3F, 0, ALT)});
    expect_decodes("\x1b[24;6~", {ev(0x7B, 0x58, 0, SHIFT | CTRL)});
    expect_decodes("\x1b[5^", {ev(0x21, 0x49, 0, CTRL | ENH)});
    expect_decodes("\x1b[2$", {ev(0x2D, 0x52, 0, SHIFT | ENH)});
    expect_decodes("\x1b[7@", {ev(0x24, 0x47, 0, CTRL | SHIFT | ENH)});
    expect_decodes("\x1b[11^", {ev(0x70, 0x3B, 0, CTRL)});
    expect_decodes("\x1b[23$", {ev(0x7A, 0x57, 0, SHIFT)});
    expect_decodes("\x1b\x1b[A", {ev(0x26, 0x48, 0, ALT | ENH)});  // rxvt, Terminal.app
    expect_decodes("\x1b\x1b[1;5A", {ev(0x26, 0x48, 0, ALT | CTRL | ENH)});
    // The Ctrl+Enter and Ctrl+Backspace characters follow the modifiers.
    expect_decodes("\x1b[1;5M", {ev(0x0D, 0x1C, 10, CTRL | ENH)});
    expect_decodes("\x1bO5M", {ev(0x0D, 0x1C, 10, CTRL | ENH)});
}

TEST(InputParserCharacters, PrintableAsciiWithShiftWhereTheKeyNeedsIt) {
    expect_decodes("a", {ev(0x41, 0x1E, 'a')});
    expect_decodes("A", {ev(0x41, 0x1E, 'A', SHIFT)});
    expect_decodes("?", {ev(0xBF, 0x35, '?', SHIFT)});
    expect_decodes("/", {ev(0xBF, 0x35, '/')});
    expect_decodes("~", {ev(0xC0, 0x29, '~', SHIFT)});
    expect_decodes(" ", {ev(0x20, 0x39, ' ')});
    expect_decodes("5", {ev(0x35, 0x06, '5')});
    for (int c = 0x20; c < 0x7F; ++c) {
        const std::vector<KeyEvent> got = decode(std::string(1, static_cast<char>(c)));
        ASSERT_EQ(got.size(), 1u) << c;
        EXPECT_EQ(got[0].ch, c);
        const CharKey k = *us_char_key(static_cast<std::uint8_t>(c));
        EXPECT_EQ(got[0].virtual_key, k.key.virtual_key) << c;
        EXPECT_EQ(got[0].scan_code, k.key.scan_code) << c;
        EXPECT_EQ(got[0].control_state, k.shift ? SHIFT : 0u) << c;
    }
}

TEST(InputParserCharacters, ControlBytesAreCtrlWithTheirKey) {
    expect_decodes("\x01", {ev(0x41, 0x1E, 1, CTRL)});
    expect_decodes("\x1a", {ev(0x5A, 0x2C, 26, CTRL)});
    expect_decodes("\x03", {ev(0x43, 0x2E, 3, CTRL)});
    expect_decodes(std::string_view("\0", 1), {ev(0x32, 0x03, 0, CTRL | SHIFT)});
    expect_decodes("\x1c", {ev(0xDC, 0x2B, 28, CTRL)});
    expect_decodes("\x1d", {ev(0xDD, 0x1B, 29, CTRL)});
    expect_decodes("\x1e", {ev(0x36, 0x07, 30, CTRL | SHIFT)});
    expect_decodes("\x1f", {ev(0xBD, 0x0C, 31, CTRL | SHIFT)});
}

TEST(InputParserAlt, EscBeforeAKeyIsEscThenTheKey) {
    expect_decodes("\x1bq", {esc, ev(0x51, 0x10, 'q')});
    expect_decodes("\x1bQ", {esc, ev(0x51, 0x10, 'Q', SHIFT)});
    expect_decodes("\x1b\\", {esc, ev(0xDC, 0x2B, '\\')});
    expect_decodes("\x1b\r", {esc, ev(0x0D, 0x1C, 13)});
    expect_decodes("\x1b\x7f", {esc, ev(0x08, 0x0E, 8)});
    expect_decodes("\x1b\x01", {esc, ev(0x41, 0x1E, 1, CTRL)});
    expect_decodes("\x1b\xc3\xa9", {esc, ev(0, 0, 0x82)});
    // Esc, o, k queued behind Delete while it beeped.
    expect_decodes("x\x1b[3~\x1bok", {ev(0x58, 0x2D, 'x'), ev(0x2E, 0x53, 0, ENH), esc,
                                      ev(0x4F, 0x18, 'o'), ev(0x4B, 0x25, 'k')});
}

TEST(InputParserTiming, LoneEscIsSettledByTime) {
    Session s;
    s.feed("\x1b");
    EXPECT_EQ(s.parser.deadline(), std::optional<std::uint64_t>(TIMEOUT));
    s.wait(TIMEOUT - 1);
    EXPECT_TRUE(s.events.empty());
    s.wait(1);
    EXPECT_EQ(s.events, std::vector<KeyEvent>{ev(0x1B, 0x01, 27)});
    EXPECT_EQ(s.parser.deadline(), std::nullopt);
    // Nothing waits any more: later ticks give nothing.
    s.wait(1000);
    EXPECT_EQ(s.events.size(), 1u);
}

TEST(InputParserTiming, ABytePastTheTimeoutSettlesTheEscFirst) {
    Session s;
    s.feed("\x1b");
    s.now += TIMEOUT;
    s.feed("a");
    EXPECT_EQ(s.events, (std::vector<KeyEvent>{ev(0x1B, 0x01, 27), ev(0x41, 0x1E, 'a')}));
    // Pressed twice, slowly: two Esc keys.
    Session twice;
    twice.feed("\x1b").wait(100).feed("\x1b").wait(100);
    EXPECT_EQ(twice.events, (std::vector<KeyEvent>{ev(0x1B, 0x01, 27), ev(0x1B, 0x01, 27)}));
}

TEST(InputParserTiming, SequenceSplitAcrossReadsIsStillDecoded) {
    // Each byte within the timeout of the one before.
    Session s;
    s.feed("\x1b[1;5", TIMEOUT - 1).wait(0).feed("D").wait(1000);
    EXPECT_EQ(s.events, std::vector<KeyEvent>{ev(0x25, 0x4B, 0, CTRL | ENH)});
    // A UTF-8 character is never cut by time.
    Session u;
    u.feed("\xc3").wait(5000).feed("\xa9");
    EXPECT_EQ(u.events, std::vector<KeyEvent>{ev(0, 0, 0x82)});
}

TEST(InputParserTiming, EscEscAndIntroducersAlone) {
    expect_decodes("\x1b\x1b", {esc, esc});
    expect_decodes("\x1b\x1bx", {esc, esc, ev(0x58, 0x2D, 'x')});
    expect_decodes("\x1b\x1b\x1b", {esc, esc, esc});
    expect_decodes("\x1b[", {esc, ev(0xDB, 0x1A, '[')});
    expect_decodes("\x1bO", {esc, ev(0x4F, 0x18, 'O', SHIFT)});
    expect_decodes("\x1b\x1b[", {esc, esc, ev(0xDB, 0x1A, '[')});
    // A sequence cut short is dropped; what comes after it counts on its own.
    Session s;
    s.feed("\x1b[1;").wait(TIMEOUT).feed("A").wait(1000);
    EXPECT_EQ(s.events, std::vector<KeyEvent>{ev(0x41, 0x1E, 'A', SHIFT)});
}

TEST(InputParserTiming, ClockGoingBackwardsSettlesNothing) {
    Session s;
    s.now = 1000;
    s.feed("\x1b");
    EXPECT_TRUE(s.parser.tick(10).empty());
    s.now = 10;
    s.feed("[A");
    EXPECT_EQ(s.events, std::vector<KeyEvent>{ev(0x26, 0x48, 0, ENH)});
}

// A typed character with no glyph of its own, or whose glyph sits at a
// control position, is a question mark: text, never a command.
const KeyEvent question_mark = ev(0xBF, 0x35, '?', SHIFT);

TEST(InputParserUtf8, CharactersWithACodePage437Glyph) {
    expect_decodes("\xc3\xa9", {ev(0, 0, 0x82)});         // é
    expect_decodes("\xc3\x9f", {ev(0, 0, 0xE1)});         // ß
    expect_decodes("\xc2\xa0", {ev(0, 0, 0xFF)});         // no-break space
    expect_decodes("\xe2\x96\x91", {ev(0, 0, 0xB0)});     // light shade
    expect_decodes("\xe2\x8c\x82", {question_mark});      // the house of byte 127
    expect_decodes("\xe2\x98\xba", {question_mark});      // the smiling face of byte 1
    expect_decodes("\xe2\x99\xaa", {question_mark});      // the note of byte 13, not Enter
    expect_decodes("\xe2\x97\x98", {question_mark});      // the bullet of byte 8, not Backspace
    expect_decodes("\xe2\x82\xac", {question_mark});      // euro sign: no glyph
    expect_decodes("\xf0\x9f\x98\x80", {question_mark});  // emoji: no glyph
    expect_decodes("\xd0\x96z", {question_mark, ev(0x5A, 0x2C, 'z')});  // Cyrillic Zhe
    expect_decodes("\x1b\xe2\x82\xac", {esc, question_mark});
}

TEST(InputParserUtf8, CyrillicInCodePage866) {
    const std::vector<KeyEvent> got = Session(InputEncoding::utf8, CodePage::cp866)
                                          .feed("\xd0\x98\xd0\x9b\xd0\xad\xc3\xa9")
                                          .events;
    EXPECT_EQ(got, (std::vector<KeyEvent>{ev(0, 0, 0x88), ev(0, 0, 0x8B), ev(0, 0, 0x9D),
                                          question_mark}));  // И Л Э, and é it lacks
}

TEST(InputParserUtf8, InvalidBytesAreDroppedAndDecodingGoesOn) {
    const std::string_view invalid[] = {
        "\xa9",              // a continuation byte alone
        "\xc0\x80",          // overlong NUL
        "\xc1\xbf",          // overlong
        "\xe0\x80\xaf",      // overlong
        "\xed\xa0\x80",      // surrogate
        "\xf4\x90\x80\x80",  // beyond U+10FFFF
        "\xf5\x80\x80\x80",  // lead byte UTF-8 never uses
        "\xfe\xff",
    };
    for (const std::string_view bytes : invalid) {
        SCOPED_TRACE(testing::PrintToString(std::string(bytes)));
        EXPECT_EQ(decode(std::string(bytes) + "z"), std::vector<KeyEvent>{ev(0x5A, 0x2C, 'z')});
    }
    // A character cut short by another key: the key counts, the rest is dropped.
    expect_decodes("\xc3z", {ev(0x5A, 0x2C, 'z')});
    expect_decodes("\xe2\x98\r", {ev(0x0D, 0x1C, 13)});
    expect_decodes("\xe2\x1b[A", {ev(0x26, 0x48, 0, ENH)});
}

TEST(InputParserLatin1, BytesAreLatin1Characters) {
    const auto latin1 = [](std::string_view bytes) { return decode(bytes, InputEncoding::latin1); };
    EXPECT_EQ(latin1("\xe9"), std::vector<KeyEvent>{ev(0, 0, 0x82)});
    EXPECT_EQ(latin1("\xa0"), std::vector<KeyEvent>{ev(0, 0, 0xFF)});
    EXPECT_EQ(latin1("\xdf"), std::vector<KeyEvent>{ev(0, 0, 0xE1)});
    EXPECT_EQ(latin1("\x1b\xe9"), (std::vector<KeyEvent>{esc, ev(0, 0, 0x82)}));
    // C1 controls and the three quarters sign: no glyph.
    EXPECT_EQ(latin1("\x9b\x80\xbe"),
              (std::vector<KeyEvent>{question_mark, question_mark, question_mark}));
    // What would be UTF-8 is two characters here.
    EXPECT_EQ(latin1("\xc4\xe9"), (std::vector<KeyEvent>{ev(0, 0, 0x8E), ev(0, 0, 0x82)}));
}

TEST(InputParserMalformed, UnknownSequencesAreSwallowedWhole) {
    const std::string_view swallowed[] = {
        "\x1b[99~",     // no such VT220 key
        "\x1b[3;99~",   // modifier out of range
        "\x1b[1;5X",    // no such letter key
        "\x1b[5A",      // a count where none belongs
        "\x1b[2;5A",    // a first parameter other than 1
        "\x1b[3;5$",    // rxvt final with an xterm modifier
        "\x1b[?1;2c",   // a device attributes answer
        "\x1b[12;40R",  // a cursor position report
        "\x1b[200~",    // bracketed paste markers
        "\x1b[201~",
        "\x1b[I",                           // focus in
        "\x1b[O",                           // focus out
        "\x1b[<0;10;5M",                    // SGR mouse report
        "\x1b[M !!",                        // X10 mouse report
        "\x1b[M\x1b[A",                     // X10 mouse report whose bytes look like a key
        "\x1b[1;1;1;1;1;1;1;1;1;1;1;1;1A",  // too long for any key
        "\x1b[1111111111111111111111111111~",
        "\x1b[11111111111111111;5A",  // too long, with a tail that looks like a key
        "\x1bO[",
        "\x1b[[Z",  // not a linux console function key
        "\x1bOz",
    };
    for (const std::string_view bytes : swallowed) {
        SCOPED_TRACE(testing::PrintToString(std::string(bytes)));
        const Session s = Session().feed(std::string(bytes) + "x").wait(1000);
        EXPECT_EQ(s.items, (std::vector<ParsedInput>{other(), key(ev(0x58, 0x2D, 'x'))}));
    }
    // A control byte inside a sequence ends it and counts on its own.
    expect_decodes("\x1b[1\r", {ev(0x0D, 0x1C, 13)});
    expect_decodes("\x1b[1;\x1b[B", {ev(0x28, 0x50, 0, ENH)});
    expect_decodes("\x1bO\t", {ev(0x09, 0x0F, 9)});
}

TEST(InputParserReports, AwaitedReportIsFoundAmongTypedKeys) {
    Session s;
    s.parser.expect_report();
    s.feed("ab\x1b[12;40Rcd");
    EXPECT_EQ(s.items, (std::vector<ParsedInput>{key(ev(0x41, 0x1E, 'a')), key(ev(0x42, 0x30, 'b')),
                                                 report(12, 40), key(ev(0x43, 0x2E, 'c')),
                                                 key(ev(0x44, 0x20, 'd'))}));
    EXPECT_FALSE(s.parser.report_expected());
    // One report was awaited: the same bytes again are xterm's Alt+F3 key.
    s.feed("\x1b[1;3R");
    EXPECT_EQ(s.items.back(), key(ev(0x72, 0x3D, 0, ALT)));
}

TEST(InputParserReports, LookalikesAreNoReport) {
    for (const std::string bytes : {"\x1b[;5R", "\x1b[5R", "\x1b[123456;1R", "\x1b[2;x"}) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        Session s;
        s.parser.expect_report();
        s.feed(bytes + "q").wait(1000);
        for (const ParsedInput& item : s.items)
            EXPECT_NE(item.kind, ParsedInput::Kind::cursor_report);
        EXPECT_EQ(s.events.back(), ev(0x51, 0x10, 'q'));
        EXPECT_TRUE(s.parser.report_expected());
    }
}

TEST(InputParserReports, EscapeBeforeTheReportIsAKey) {
    Session s;
    s.parser.expect_report();
    s.feed("\x1b\x1b[3;4R");
    EXPECT_EQ(s.items, (std::vector<ParsedInput>{key(ev(0x1B, 0x01, 27)), report(3, 4)}));
}

TEST(InputParserReports, ReportInPiecesWithinTheTimeoutIsOneReport) {
    Session s;
    s.parser.expect_report();
    s.feed("x\x1b[7").wait(TIMEOUT - 1).feed(";9R");
    EXPECT_EQ(s.items, (std::vector<ParsedInput>{key(ev(0x58, 0x2D, 'x')), report(7, 9)}));
    // A beginning left alone past the timeout is set aside; what follows is keys.
    Session late;
    late.parser.expect_report();
    late.feed("\x1b[5").wait(TIMEOUT).feed("R");
    EXPECT_EQ(late.items, (std::vector<ParsedInput>{other(), key(ev(0x52, 0x13, 'R', SHIFT))}));
}

TEST(InputParserRuns, PastedTextComesOutKeyByKey) {
    expect_decodes("y\rok\r", {ev(0x59, 0x15, 'y'), ev(0x0D, 0x1C, 13), ev(0x4F, 0x18, 'o'),
                               ev(0x4B, 0x25, 'k'), ev(0x0D, 0x1C, 13)});
    expect_decodes("\x1b[200~Hi\n\x1b[201~",
                   {ev(0x48, 0x23, 'H', SHIFT), ev(0x49, 0x17, 'i'), ev(0x0D, 0x1C, 13)});
    expect_decodes("a\x1b[Db\x1bOHc",
                   {ev(0x41, 0x1E, 'a'), ev(0x25, 0x4B, 0, ENH), ev(0x42, 0x30, 'b'),
                    ev(0x24, 0x47, 0, ENH), ev(0x43, 0x2E, 'c')});
}

TEST(InputParserRuns, PacingWithinTheTimeoutChangesNothing) {
    std::string stream = "ok\r\x1b[1;5D\xc3\xa9\x1bq\x1b\x1b[A\x7f\x1b[[B\x1b[3~\x01 Z";
    for (const TerminalSequence& row : terminal_sequences())
        stream += row.bytes;
    const std::vector<KeyEvent> at_once = decode(stream);
    Session paced;
    for (const char c : stream) {
        paced.feed(std::string_view(&c, 1)).wait(TIMEOUT / 2);
        paced.now += TIMEOUT / 2 - 1;
    }
    paced.wait(1000);
    EXPECT_EQ(paced.events, at_once);
    EXPECT_EQ(at_once.size(), 14 + terminal_sequences().size());
}

}  // namespace
}  // namespace pelorin::platform
