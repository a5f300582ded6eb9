// Preloaded into a process (LD_PRELOAD): poll() refuses terminals as macOS's
// does, reporting POLLNVAL for every terminal descriptor at once; other
// descriptors are polled as usual.
#include <dlfcn.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

extern "C" int poll(pollfd* fds, nfds_t count, int timeout_ms) {
    const int saved_errno = errno;
    int refused = 0;
    for (nfds_t i = 0; i < count; ++i) {
        fds[i].revents = 0;
        if (fds[i].fd >= 0 && ::isatty(fds[i].fd) == 1) {
            fds[i].revents = POLLNVAL;
            ++refused;
        }
    }
    errno = saved_errno;
    if (refused > 0) return refused;
    using Poll = int (*)(pollfd*, nfds_t, int);
    static const Poll real = reinterpret_cast<Poll>(::dlsym(RTLD_NEXT, "poll"));
    return real(fds, count, timeout_ms);
}
