#include "platform/standard_streams.h"

#include <array>
#include <cerrno>

#include "platform/console_api.h"

namespace pelorin::platform {
namespace {

struct StandardInput {
    std::array<unsigned char, 8192> block{};
    std::size_t at = 0;
    std::size_t size = 0;
    bool ended = false;
};

StandardInput standard_input;

// The next block of standard input, waiting as long as it takes; false at
// its end.
bool read_block(StandardInput& in) {
    if (!standard_input_ready()) console().flush();
    for (;;) {
        errno = 0;
        const long n = read_standard_input_once(in.block.data(), in.block.size());
        if (n > 0) {
            in.at = 0;
            in.size = static_cast<std::size_t>(n);
            return true;
        }
        if (n == 0) return false;
        // "Nothing yet" from a non-blocking stream, or a signal: not an end.
        const int error = errno;
        if (error == EINTR) continue;
        const bool would_block = error == EAGAIN || error == EWOULDBLOCK;
        if (!would_block || !wait_for_standard_input()) return false;
    }
}

}  // namespace

int read_standard_input_byte() {
    StandardInput& in = standard_input;
    if (in.at == in.size && (in.ended || !read_block(in))) {
        in.ended = true;
        return -1;
    }
    return in.block[in.at++];
}

void reset_standard_input() {
    standard_input.at = 0;
    standard_input.size = 0;
    standard_input.ended = false;
}

}  // namespace pelorin::platform
