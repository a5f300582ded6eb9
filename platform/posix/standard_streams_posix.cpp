#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "platform/posix/terminal_sys.h"
#include "platform/standard_streams.h"

namespace pelorin::platform {

// POSIX streams never translate line ends.
void set_standard_streams_binary() {}

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

void fail_writes_without_signals() {
    (void)std::signal(SIGPIPE, SIG_IGN);
    (void)std::signal(SIGXFSZ, SIG_IGN);
}

// Standard input may be a terminal (one that takes no escape sequences is
// read as a stream): waited on as every terminal is.
bool standard_input_ready() {
    return wait_for_descriptor(STDIN_FILENO, false, 0, nullptr) > 0;
}

long read_standard_input_once(unsigned char* buffer, std::size_t size) {
    return static_cast<long>(::read(STDIN_FILENO, buffer, size));
}

bool wait_for_standard_input() {
    for (;;) {
        if (wait_for_descriptor(STDIN_FILENO, false, -1, nullptr) >= 0) return true;
        if (errno != EINTR) return false;
    }
}

}  // namespace pelorin::platform
