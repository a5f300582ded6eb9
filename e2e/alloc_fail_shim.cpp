// Preloaded into the program (LD_PRELOAD) to make its allocations fail.
//
// PELORIN_FAIL_ALLOCATIONS_AFTER=n: the first n calls of malloc, calloc and
// realloc work; every later one fails with ENOMEM, for good.
// PELORIN_COUNT_ALLOCATIONS=path: nothing fails; the number of calls is
// written to `path` when the program ends.
//
// The C library's own functions do the work; nothing here allocates.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
}

namespace {

long calls = 0;
long allowed = -2;  // -2: not read yet; -1: no limit

bool may_allocate() {
    if (allowed == -2) {
        const char* limit = std::getenv("PELORIN_FAIL_ALLOCATIONS_AFTER");
        allowed = limit != nullptr ? std::strtol(limit, nullptr, 10) : -1;
    }
    ++calls;
    if (allowed < 0 || calls <= allowed) return true;
    errno = ENOMEM;
    return false;
}

__attribute__((destructor)) void write_count() {
    const char* path = std::getenv("PELORIN_COUNT_ALLOCATIONS");
    if (path == nullptr) return;
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%ld\n", calls);
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    (void)::write(fd, text, static_cast<std::size_t>(length));
    (void)::close(fd);
}

}  // namespace

extern "C" {

void* malloc(std::size_t size) {
    return may_allocate() ? __libc_malloc(size) : nullptr;
}

void* calloc(std::size_t count, std::size_t size) {
    return may_allocate() ? __libc_calloc(count, size) : nullptr;
}

void* realloc(void* block, std::size_t size) {
    return may_allocate() ? __libc_realloc(block, size) : nullptr;
}

}  // extern "C"
