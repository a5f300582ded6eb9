#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "platform/standard_streams.h"

namespace pelorin::platform {

void open_missing_standard_streams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lower descriptors are open, so this one is the lowest free.
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened < 0 || opened == fd) continue;
        (void)::dup2(opened, fd);
        (void)::close(opened);
    }
}

bool wait_for_standard_input() {
    pollfd wanted{STDIN_FILENO, POLLIN, 0};
    for (;;) {
        if (::poll(&wanted, 1, -1) >= 0) return true;
        if (errno != EINTR) return false;
    }
}

}  // namespace pelorin::platform
