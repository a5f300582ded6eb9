#include "textio/answer_input.h"

#include <new>
#include <utility>

#include "platform/console_api.h"
#include "platform/standard_streams.h"
#include "textio/answer_input_internal.h"
#include "textio/channels.h"
#include "textio/console_output.h"
#include "textio/line_editor.h"
#include "textio/print.h"

namespace pelorin::textio {

InputContext input_context;

namespace {

constexpr int END_OF_INPUT = -1;

int read_stdin_byte(void*) {
    return platform::read_standard_input_byte();
}

StdinSource stdin_source{read_stdin_byte, nullptr};

// The console channel's read operation: the next byte of standard input.
int console_read_op(Channel&) {
    return stdin_source.read(stdin_source.context);
}

Channel& console_channel() {
    return channel_table.records[CONSOLE_CHANNEL];
}

// One field read over the character source that begin_input_line chose.
struct FieldReader {
    int next() {
        InputContext& in = input_context;
        if (in.source == InputContext::Source::line) {
            if (in.position >= in.line.size()) return END_OF_INPUT;
            return static_cast<unsigned char>(in.line[in.position++]);
        }
        Channel& ch = console_channel();
        if (ch.read_back_count > 0) return ch.read_back[--ch.read_back_count];
        if (ch.ops == nullptr || ch.ops->read == nullptr) return END_OF_INPUT;
        return ch.ops->read(ch);
    }

    // End of input is never put back. The console channel keeps at most 4
    // bytes; one more is refused and lost.
    void put_back(int c) {
        if (c == END_OF_INPUT) return;
        InputContext& in = input_context;
        if (in.source == InputContext::Source::line) {
            --in.position;
            return;
        }
        Channel& ch = console_channel();
        if (ch.read_back_count >= ch.read_back.size()) return;
        ch.read_back[ch.read_back_count++] = static_cast<std::uint8_t>(c);
    }

    static bool is_blank(int c) { return c == ' ' || c == '\t'; }

    int skip_blanks(int c) {
        while (is_blank(c))
            c = next();
        return c;
    }

    // A carriage return takes a line feed right after it along; any other
    // character after it is put back for the next field.
    void finish_carriage_return() {
        const int c = next();
        if (c != '\n') put_back(c);
    }

    // After a field that ended at end of input or at its closing quote.
    void delimiter_step(int c) {
        c = skip_blanks(c);
        if (c == '\n' || c == ',' || c == END_OF_INPUT) return;
        if (c == '\r') {
            finish_carriage_return();
            return;
        }
        put_back(c);
    }

    // Reads the field into `field`, keeping at most FIELD_LIMIT characters.
    // Characters beyond the limit are read on to the field's delimiter and
    // dropped, so one over-long line is one answer, as on the console.
    void read_field(int c, Text& field) {
        bool quoted = false;
        bool started = false;
        for (;; c = next()) {
            if (c == END_OF_INPUT) return delimiter_step(c);
            if (c == '\n') return;
            if (c == '\r') return finish_carriage_return();
            if (c == ',' && !quoted) return;
            if (c == '"') {
                if (quoted) return delimiter_step(next());
                if (!started) {
                    quoted = true;
                    continue;
                }
            }
            started = true;
            if (field.size() < FIELD_LIMIT) field.push_back(static_cast<char>(c));
        }
    }
};

// Standard input is not a console: the console refuses its mode.
bool input_redirected() {
    const platform::Handle in = console_handles(platform::StdHandle::input);
    std::uint32_t mode = 0;
    return in == 0 || !platform::console().get_mode(in, mode);
}

// The first read sets up the console channel (if output has not) and gives
// it its read operation.
void prepare_channel() {
    if (input_context.channel_ready) return;
    input_context.channel_ready = true;
    ensure_console_channel();
    if (ConsoleDeviceOps.read == nullptr) ConsoleDeviceOps.read = console_read_op;
}

void begin_console_line() {
    InputContext& in = input_context;
    in.source = InputContext::Source::line;
    in.position = 0;
    console_write_raw(nullptr, 0, WRITE_ADJUST);
    std::optional<Text> line = read_console_line();
    console_write_raw(LINE_END.data(), LINE_END.size(), 0);
    // No text could be made for the line: the field read finds it empty.
    if (!line) {
        text_clear(in.line);
        return;
    }
    in.line = std::move(*line);
}

// A field of a console line as files keep what is typed at this console: on
// a terminal, in its encoding, so RESULTS.TXT shows what the user typed. The
// field was cut in the console's characters, so its limit counts what was
// typed and no character is cut in two.
Text field_for_files(const Text& field) {
    if (input_context.source != InputContext::Source::line) return field;
    try {
        return platform::console().text_for_files(field);
    } catch (const std::bad_alloc&) {
        return Text{};
    }
}

void begin_stream_line() {
    InputContext& in = input_context;
    in.source = InputContext::Source::channel;
    text_clear(in.line);
    in.position = 0;
}

}  // namespace

void reset_input_context() {
    input_context = InputContext{};
    stdin_source = StdinSource{read_stdin_byte, nullptr};
}

void set_stdin_source(StdinSource source) {
    stdin_source = source.read != nullptr ? source : StdinSource{read_stdin_byte, nullptr};
}

void begin_input_line() {
    const bool redirected = input_redirected();
    prepare_channel();
    if (redirected) {
        begin_stream_line();
    } else {
        begin_console_line();
    }
}

Text take_input_field() {
    FieldReader reader;
    Text field;
    input_context.exhausted = false;
    try {
        field.reserve(64);
        const int first = reader.skip_blanks(reader.next());
        if (first == END_OF_INPUT && input_context.source == InputContext::Source::channel) {
            input_context.exhausted = true;
        }
        reader.read_field(first, field);
    } catch (const std::bad_alloc&) {
        field.clear();
    }
    // The text stops at the first zero byte, though the reading went on to
    // the field's delimiter.
    const std::size_t zero = field.find('\0');
    if (zero != Text::npos) field.resize(zero);
    return field_for_files(field);
}

Text read_input_field() {
    begin_input_line();
    return take_input_field();
}

bool input_exhausted() {
    return input_context.exhausted;
}

}  // namespace pelorin::textio
