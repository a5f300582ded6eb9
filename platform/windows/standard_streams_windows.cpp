#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/standard_streams.h"

namespace pelorin::platform {

void set_standard_streams_binary() {
    (void)_setmode(_fileno(stdin), _O_BINARY);
    (void)_setmode(_fileno(stdout), _O_BINARY);
}

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

// Windows has no such signals: a failed write is a failed write already.
void fail_writes_without_signals() {}

bool standard_input_ready() {
    const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
    switch (::GetFileType(in)) {
        case FILE_TYPE_DISK:
            return true;
        case FILE_TYPE_PIPE: {
            DWORD waiting = 0;
            return ::PeekNamedPipe(in, nullptr, 0, nullptr, &waiting, nullptr) != FALSE &&
                   waiting > 0;
        }
        default:  // the null device, a console: looked at as if nothing were there
            return false;
    }
}

long read_standard_input_once(unsigned char* buffer, std::size_t size) {
    const unsigned most = size > 0x40000000 ? 0x40000000u : static_cast<unsigned>(size);
    return ::_read(0, buffer, most);
}

bool wait_for_standard_input() {
    // A pipe in no-wait mode has no way to be waited on: look again shortly.
    ::Sleep(25);
    return true;
}

}  // namespace pelorin::platform
