#include "textio/print.h"

#include <cstring>

#include "textio/console_output.h"

namespace pelorin::textio {
namespace {

bool wants_line_end(unsigned flags) {
    return (flags & (PRINT_NEWLINE | PRINT_NEWLINE_TOO)) != 0;
}

// Every channel write first makes sure the console channel exists with its
// write operation, whatever the channel.
Status write_on(int n, const void* bytes, std::size_t length) {
    ensure_console_channel();
    if (ConsoleDeviceOps.write == nullptr) ConsoleDeviceOps.write = console_write_op;
    return channel_write(channel_record(n), bytes, length);
}

}  // namespace

Status console_write_op(Channel&, const std::uint8_t* bytes, std::size_t length) {
    console_write_raw(bytes, length, 0);
    return STATUS_OK;
}

void print_text(int channel, std::string_view text, unsigned flags) {
    if (!text.empty()) (void)write_on(channel, text.data(), text.size());
    print_line_end(channel, flags);
}

void print_chars(int channel, const char* chars, unsigned flags) {
    if (chars != nullptr && chars[0] != '\0') (void)write_on(channel, chars, std::strlen(chars));
    print_line_end(channel, flags);
}

void print_line_end(int channel, unsigned flags) {
    if (wants_line_end(flags)) (void)write_on(channel, LINE_END.data(), LINE_END.size());
}

void results_file_print(int n, std::string_view text) {
    print_text(n, text, PRINT_NEWLINE);
}

void console_print(std::string_view text, bool line_end) {
    print_text(CONSOLE_CHANNEL, text, line_end ? PRINT_NEWLINE : 0);
}

void console_newline() {
    print_line_end(CONSOLE_CHANNEL, PRINT_NEWLINE);
}

void console_print_chars(const char* chars, bool line_end) {
    print_chars(CONSOLE_CHANNEL, chars, line_end ? PRINT_NEWLINE : 0);
}

void print_error_line(std::string_view text) {
    platform::ConsoleApi& console = platform::console();
    if (console.shows_standard_error()) {
        console_print(text, true);
    } else {
        console.write_error_line(text);
    }
}

}  // namespace pelorin::textio
