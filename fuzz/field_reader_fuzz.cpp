// Arbitrary bytes as redirected standard input to the field reader, with
// console prints between some reads (a byte read ahead waits through them).
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "textio/channels.h"
#include "textio/print.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelorin;
    if (size == 0) return 0;
    platform::MemoryConsole console(80, 25);
    fuzz::ByteFeed feed{data + 1, size - 1, 0};
    fuzz::fresh_services(console, feed);
    const unsigned print_mask = data[0];
    for (unsigned k = 0;; ++k) {
        if ((print_mask >> (k % 8)) & 1U) textio::console_newline();
        const std::size_t before = feed.at;
        const textio::Text field = textio::read_input_field();
        if (field.size() > textio::FIELD_LIMIT) std::abort();
        if (field.find('\0') != textio::Text::npos) std::abort();
        if (textio::input_exhausted()) break;
        // Every read that does not meet the end takes a byte (from the stream
        // or the push-back store), so reading always comes to an end.
        if (feed.at == before && textio::channel_table.records[0].read_back_count == 0 &&
            field.empty() && k > 2 * size + 8)
            std::abort();
    }
    textio::start_afresh();
    return 0;
}
