// The line editor on the terminal console, over scripted system calls: keys
// typed on a terminal become the edited line, with one write per key.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/posix/testing/terminal_console_fixture.h"
#include "platform/posix/testing/terminal_emulator.h"
#include "textio/answer_input.h"
#include "textio/line_editor.h"
#include "textio/text_services.h"

namespace pelorin::platform {
namespace {

using testing::at;
using testing::report;

class TerminalEditorTest : public testing::TerminalConsoleTest {
  protected:
    void SetUp() override {
        TerminalConsoleTest::SetUp();
        textio::reset_services();
        t.time_limit = t.now + 60'000;  // a line that never ends fails the test
    }
    void TearDown() override {
        set_console(nullptr);
        textio::reset_services();
        TerminalConsoleTest::TearDown();
    }

    // The console on a cols x rows terminal, the cursor at `cursor`, as the
    // process's console.
    void start(int cols, int rows, Coord cursor) {
        ready(cols, rows, cursor);
        set_console(console.get());
    }

    // Keys typed `gap_ms` apart, from now on.
    void type(const std::vector<std::string>& keys, std::int64_t gap_ms = 100) {
        std::int64_t at_ms = 0;
        for (const std::string& k : keys)
            t.answer(k, at_ms += gap_ms);
    }

    std::vector<std::string> bursts() const {
        std::vector<std::string> all;
        for (const auto& w : t.writes)
            if (w.fd == 1) all.push_back(w.bytes);
        return all;
    }
};

TEST_F(TerminalEditorTest, OneWritePerKeyAndNoMoreThanTheChange) {
    start(20, 5, at(0, 1));
    type({"a", "b", "c", "\x1b[D", "X", "\r"});
    const std::optional<textio::Text> line = textio::read_console_line();
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(*line, "abXc");
    console->flush();
    EXPECT_EQ(bursts(),
              (std::vector<std::string>{"a", "b", "c", "\b", "Xc\b", "c"}));  // Right: the c again
    EXPECT_EQ(info().cursor, at(4, 1));
}

TEST_F(TerminalEditorTest, EditingKeysOfATerminal) {
    start(20, 5, at(0, 0));
    // Home, Delete, End, Backspace (DEL), Tab, Esc alone, then a new text.
    type({"x", "o", "k", "\x1b[H", "\x1b[3~", "\x1b[F", "\x7f", "\t", "\x1b", "o", "k", "\r"});
    const std::optional<textio::Text> line = textio::read_console_line();
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(*line, "ok");
    console->flush();
    EXPECT_EQ(info().cursor, at(2, 0));
}

TEST_F(TerminalEditorTest, EscFollowedAtOnceByAKeyIsEscThenTheKey) {
    start(20, 5, at(0, 0));
    // Esc and o typed while Delete at the end beeped come in one read.
    type({"x", "\x1b[3~", "\x1bo", "k", "\r"});
    const std::optional<textio::Text> line = textio::read_console_line();
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(*line, "ok");
}

TEST_F(TerminalEditorTest, WindowResizedWhileEditingIsLearntAtTheNextKey) {
    start(20, 5, at(0, 4));
    type({"a", "b", "c", "\r"});
    // Between b and c the window grows; the terminal says the line is now
    // on the third row of eight.
    t.actions.push_back({t.now + 250, [this] {
                             t.size = winsize{8, 30, 0, 0};
                             t.cursor_reply = report(3, 3);
                             testing::window_resized();
                         }});
    const std::optional<textio::Text> line = textio::read_console_line();
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(*line, "abc");
    console->flush();
    const std::vector<std::string> b = bursts();
    ASSERT_GE(b.size(), 4u);
    EXPECT_EQ(b[0], "a");
    EXPECT_EQ(b[1], "b");
    // The line is laid out again at the new width, then goes on.
    EXPECT_EQ(b[2], "\x1b[H\x1b[J\x1b[5Hab");
    EXPECT_EQ(b[3], "c");
    EXPECT_EQ(t.written(0), testing::cpr_request());
    EXPECT_EQ(info().size, at(30, 8));
    EXPECT_EQ(info().cursor, at(3, 4));
}

// Random keys from the top row or the bottom row (the line scrolls): the bytes
// sent show on a terminal the line returned, the cursor the console's.
class RandomKeys : public TerminalEditorTest, public ::testing::WithParamInterface<unsigned> {};

TEST_P(RandomKeys, TerminalShowsTheEditedLine) {
    const Coord origin = at(0, GetParam() % 2 == 0 ? 0 : 7);
    start(10, 8, origin);
    const char* keys[] = {"a",      "b",      "c",      "d",    "\x1b[D",  "\x1b[C", "\x1b[H",
                          "\x1b[F", "\x1b[A", "\x1b[B", "\x7f", "\x1b[3~", "\x1b"};
    std::mt19937 random(GetParam());
    std::vector<std::string> typed(40);
    for (std::string& key : typed)
        key = keys[random() % 13];
    type(typed);
    t.answer("\r", t.now + 5'000);
    const std::optional<textio::Text> line = textio::read_console_line();
    console->flush();
    testing::TerminalEmulator term(10, 8, U' ');
    term.place_cursor(origin.x, origin.y);
    for (const std::string& burst : bursts())
        if (burst != testing::cpr_request()) term.feed(burst);
    const std::u32string want =
        std::u32string(line->begin(), line->end()) + std::u32string(80, U' ');
    for (int y = origin.y - term.scrolled_off(), i = 0; y < 8; ++y, i += 10)
        EXPECT_EQ(term.row(y), want.substr(static_cast<std::size_t>(i), 10)) << y;
    EXPECT_EQ(at(term.x(), term.y()), info().cursor);
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomKeys, ::testing::Range(1u, 31u));

}  // namespace
}  // namespace pelorin::platform
