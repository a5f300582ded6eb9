// Shared set-up of the fuzz targets: the text services on a memory console
// with standard input and output redirected, input from the fuzzer's bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/memory_console.h"
#include "textio/answer_input.h"
#include "textio/channels.h"
#include "textio/console_output.h"
#include "textio/number_text.h"

namespace pelorin::fuzz {

struct ByteFeed {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t at = 0;
    static int read(void* self) {
        auto* f = static_cast<ByteFeed*>(self);
        return f->at < f->size ? f->data[f->at++] : -1;
    }
};

// Starts the services afresh on a new console fed by `feed`.
inline void fresh_services(platform::MemoryConsole& console, ByteFeed& feed) {
    textio::reset_console_state();
    textio::clear_channel_table();
    textio::ConsoleDeviceOps = textio::DeviceOps{};
    textio::reset_input_context();
    textio::reset_pattern_state();
    console.set_output_redirected(true);
    console.set_input_redirected(true);
    platform::set_console(&console);
    textio::set_stdin_source(textio::StdinSource{&ByteFeed::read, &feed});
}

}  // namespace pelorin::fuzz
