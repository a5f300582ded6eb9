#include "platform/standard_streams.h"

#include <cerrno>
#include <cstdio>

namespace pelorin::platform {

int read_standard_input_byte() {
    for (;;) {
        unsigned char byte = 0;
        errno = 0;
        if (std::fread(&byte, 1, 1, stdin) == 1) return byte;
        if (!std::ferror(stdin)) return -1;  // the end of the stream
        // "Nothing yet" from a non-blocking stream, or a signal: not an end.
        const int error = errno;
        const bool would_block = error == EAGAIN || error == EWOULDBLOCK;
        if (!would_block && error != EINTR) return -1;
        std::clearerr(stdin);
        if (would_block && !wait_for_standard_input()) return -1;
    }
}

}  // namespace pelorin::platform
