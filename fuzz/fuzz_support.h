// Shared set-up of the fuzz targets: the text services on a memory console
// with standard input and output redirected, input from the fuzzer's bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/testing/memory_console.h"
#include "textio/answer_input.h"
#include "textio/testing/start_afresh.h"

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

// Starts the platform and the services afresh on a new console fed by
// `feed`.
inline void fresh_services(platform::MemoryConsole& console, ByteFeed& feed) {
    console.set_output_redirected(true);
    console.set_input_redirected(true);
    textio::start_afresh(&console);
    textio::set_stdin_source(textio::StdinSource{&ByteFeed::read, &feed});
}

}  // namespace pelorin::fuzz
