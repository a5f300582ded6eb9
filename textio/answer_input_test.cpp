#include "textio/answer_input.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testing/memory_console.h"
#include "textio/answer_input_internal.h"
#include "textio/channels.h"
#include "textio/print.h"
#include "textio/testing/console_fixture.h"
#include "textio/testing/start_afresh.h"

namespace pelorin::textio {
namespace {

// Standard input and output both redirected: the field reader reads the
// scripted bytes, output goes to the memory console's byte log.
class StreamInput : public ::testing::Test {
  protected:
    void SetUp() override {
        console_.set_output_redirected(true);
        console_.set_input_redirected(true);
        start_afresh(&console_);
    }
    void TearDown() override { start_afresh(); }

    void feed(std::string bytes) {
        input_ = std::move(bytes);
        at_ = 0;
        set_stdin_source(StdinSource{&StreamInput::read_byte, this});
    }
    static int read_byte(void* self) {
        auto* t = static_cast<StreamInput*>(self);
        if (t->at_ >= t->input_.size()) return -1;
        return static_cast<unsigned char>(t->input_[t->at_++]);
    }
    std::vector<std::string> read_fields(int n) {
        std::vector<std::string> out;
        out.reserve(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            out.push_back(read_input_field());
        return out;
    }
    using Fields = std::vector<std::string>;

    platform::MemoryConsole console_{80, 25};
    std::string input_;
    std::size_t at_ = 0;
};

TEST_F(StreamInput, BlanksAroundAField) {
    feed("  y  \n\t \n  \t\nok\t\n");
    EXPECT_EQ(read_fields(4), (Fields{"y  ", "", "", "ok\t"}));
    EXPECT_EQ(console_.output(), "") << "stream mode echoes nothing and writes no line end";
}

TEST_F(StreamInput, CommasSplitALineIntoFields) {
    feed("y,n\nnext\n,y\n");
    EXPECT_EQ(read_fields(5), (Fields{"y", "n", "next", "", "y"}));
}

TEST_F(StreamInput, QuotedFields) {
    feed("\"ok\"\n\"\"\n\"abc");
    EXPECT_EQ(read_fields(3), (Fields{"ok", "", "abc"}));
    feed("say \"hi\"\n \"y\"\n\"a, b\" c\n");
    // A quote after the first stored character is ordinary; the text after a
    // closing quote stays in the stream for the next field.
    EXPECT_EQ(read_fields(4), (Fields{"say \"hi\"", "y", "a, b", "c"}));
}

TEST_F(StreamInput, LineEndsLfCrlfAndLoneCrReadTheSame) {
    // After a lone carriage return the next line's first byte is read ahead
    // and put back; a print before the next read keeps it, as the program
    // always prints between two reads.
    for (const char* script : {"y\nn\nok\n", "y\r\nn\r\nok\r\n", "y\rn\rok\r"}) {
        feed(script);
        Fields got;
        for (int i = 0; i < 3; ++i) {
            got.push_back(read_input_field());
            console_print("prompt", true);
        }
        EXPECT_EQ(got, (Fields{"y", "n", "ok"})) << script;
    }
}

TEST_F(StreamInput, ByteAfterAClosingQuoteIsTheNextField) {
    feed("\"y\"y\n\"y\" n\nnext\n");
    EXPECT_EQ(read_input_field(), "y");
    console_newline();
    EXPECT_EQ(read_input_field(), "y") << "the print kept the byte put back";
    EXPECT_EQ(read_input_field(), "y");
    console_newline();
    EXPECT_EQ(read_fields(2), (Fields{"n", "next"}));
}

TEST_F(StreamInput, ZeroBytesAndHighBytes) {
    feed(std::string("a\0b,c\n\xff\xfe\n", 9));
    EXPECT_EQ(read_input_field(), "a") << "the text stops at the zero byte";
    EXPECT_EQ(read_input_field(), "c") << "the reading went on to the comma";
    EXPECT_EQ(read_input_field(), "\xff\xfe");
}

TEST_F(StreamInput, FieldLimitKeepsTheFirst4096Characters) {
    feed(std::string(5000, 'x') + "\ny\n" + std::string(4096, 'z') + ",w\n");
    EXPECT_EQ(read_input_field(), std::string(4096, 'x'));
    EXPECT_EQ(read_input_field(), "y") << "the rest of the over-long field was dropped";
    EXPECT_EQ(read_input_field(), std::string(4096, 'z'));
    EXPECT_EQ(read_input_field(), "w");
}

TEST_F(StreamInput, EndOfInput) {
    feed("y");
    EXPECT_EQ(read_input_field(), "y");
    EXPECT_FALSE(input_exhausted()) << "a last line without a line feed is a valid answer";
    EXPECT_EQ(read_input_field(), "");
    EXPECT_TRUE(input_exhausted());
    EXPECT_EQ(read_input_field(), "");
    EXPECT_TRUE(input_exhausted());

    feed("\n   ");
    EXPECT_EQ(read_input_field(), "");
    EXPECT_FALSE(input_exhausted()) << "an empty line is an answer";
    EXPECT_EQ(read_input_field(), "");
    EXPECT_TRUE(input_exhausted()) << "only blanks before the end";

    feed("\"");
    EXPECT_EQ(read_input_field(), "");
    EXPECT_FALSE(input_exhausted()) << "the quote was taken";
}

TEST_F(StreamInput, TheFirstReadSetsUpTheConsoleChannel) {
    feed("a\n");
    (void)read_input_field();
    const Channel& ch = channel_table.records[CONSOLE_CHANNEL];
    EXPECT_EQ(ch.ops, &ConsoleDeviceOps);
    EXPECT_NE(ConsoleDeviceOps.read, nullptr);
}

}  // namespace
}  // namespace pelorin::textio

namespace pelorin::textio {
namespace {

// Standard input is the console: lines come from the line editor.
class ConsoleInput : public ConsoleTest {
  protected:
    void type(const std::string& text) {
        for (char c : text) {
            platform::KeyEvent k;
            k.ch = static_cast<std::uint8_t>(c);
            con().push_key(k);
        }
    }
    std::string row(int r) {
        std::string s = con().window_row(r);
        while (!s.empty() && s.back() == ' ')
            s.pop_back();
        return s;
    }
};

TEST_F(ConsoleInput, FirstFieldOfTheEditedLine) {
    install(40, 10);
    type("  y, n\r\"a, b\" c\rok\t\r\r");
    EXPECT_EQ(read_input_field(), "y");
    EXPECT_EQ(read_input_field(), "a, b") << "the rest of a console line is dropped";
    EXPECT_EQ(read_input_field(), "ok" + std::string(6, ' ')) << "Tab inserts blanks";
    EXPECT_EQ(read_input_field(), "");
    EXPECT_EQ(row(1), "  y, n");
    EXPECT_EQ(row(2), "\"a, b\" c");
    EXPECT_EQ(row(4), "") << "an empty line still gets its line end";
    EXPECT_EQ(con().cursor(), at(0, 4));
}

TEST_F(ConsoleInput, LongLinesAndHighBytes) {
    install(80, 25, 10);
    // Typed in bursts the key queue can hold (it keeps at most 511 codes).
    std::string keys = std::string(5000, 'x') + "\r" + "\xff" + "\r";
    con().on_sleep = [&](platform::MemoryConsole&) {
        type(keys.substr(0, 400));
        keys.erase(0, 400);
    };
    EXPECT_EQ(read_input_field(), std::string(4096, 'x'));
    EXPECT_EQ(read_input_field(), "\xff");
}

TEST_F(ConsoleInput, AdjustWriteCarriesOutAPendingScrollBeforeTheEcho) {
    install(10, 3);
    con().set_cursor(at(0, 2));
    write("0123456789");  // ends in the last cell: the scroll waits
    ASSERT_EQ(row(3), "0123456789") << "nothing has scrolled yet";
    type("ab\r");
    EXPECT_EQ(read_input_field(), "ab");
    EXPECT_EQ(row(1), "0123456789");
    EXPECT_EQ(row(2), "ab");
    EXPECT_EQ(row(3), "");
    EXPECT_EQ(con().cursor(), at(0, 2));
}

TEST_F(ConsoleInput, EachCallChoosesItsMode) {
    install(20, 5);
    type("typed\r");
    EXPECT_EQ(read_input_field(), "typed");
    con().set_input_redirected(true);
    set_stdin_source(StdinSource{[](void*) { return -1; }, nullptr});
    EXPECT_EQ(read_input_field(), "") << "redirected now: the stream has nothing";
    EXPECT_TRUE(input_exhausted());
}

}  // namespace
}  // namespace pelorin::textio
