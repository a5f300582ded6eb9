#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include "platform/standard_streams.h"

namespace pelorin::platform {

void open_missing_standard_streams() {
    for (int fd = 0; fd <= 2; ++fd) {
        const intptr_t handle = ::_get_osfhandle(fd);
        if (handle != -1 && handle != -2) continue;
        const int opened = ::_open("NUL", (fd == 0 ? _O_RDONLY : _O_WRONLY) | _O_BINARY);
        if (opened < 0 || opened == fd) continue;
        (void)::_dup2(opened, fd);
        (void)::_close(opened);
    }
}

bool wait_for_standard_input() {
    // A pipe in no-wait mode has no way to be waited on: look again shortly.
    ::Sleep(25);
    return true;
}

}  // namespace pelorin::platform
